#include "app/data/RuntimeError.h"

#include <QWidget>


QString RuntimeErrorText(const QString& context, QWidget* form, const AppError& error) {
  // A failure the system words itself needs no code and no context: the user reads what happened and
  // what to do, in the system's words alone.
  QString text = !error.details.isEmpty()
                     ? error.description
                     : context + QStringLiteral("程序出现异常！\r\n代码：") + QString::number(error.number) +
                           QStringLiteral("\r\n描述：") + error.description;
  if (form) text += QStringLiteral("\r\n窗口：") + form->windowTitle();
  return text;
}

void ReportRuntimeError(const QString& context, QWidget* form, const AppError& error) {
  if (error.number == 0) return;
  MsgBox(RuntimeErrorText(context, form, error), Mb::Critical, QString(), error.details);
}
