#include "output/ReportLayout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/Buttons.h"
#include "platform/Grid.h"

Grid* LayoutReportWindow(QDialog* window, QHBoxLayout* top, ButtonArray* buttons, const QString& name, const QStringList& captions) {
  top->addStretch(1);
  for (int i = 0; i < captions.size(); ++i) {
    auto* b = buttons->add(i, captions[i], window);
    b->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
    top->addWidget(b);
  }
  MarkDefaultButton(buttons->at(0));
  auto* grid = new Grid(window);
  grid->setObjectName(QStringLiteral("Fg"));
  auto* v = new QVBoxLayout(window);
  v->addLayout(top);
  v->addWidget(grid, 1);
  return grid;
}
