#include "platform/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
int g_depth = 0;
}

WaitCursor::WaitCursor() {
  if (g_depth++ > 0 || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  set_ = true;
}

WaitCursor::~WaitCursor() {
  --g_depth;
  if (set_) QGuiApplication::restoreOverrideCursor();
}

bool WaitCursor::shown() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return g_depth > 0;
  const QCursor* c = QGuiApplication::overrideCursor();
  return c && c->shape() == Qt::WaitCursor;
}
