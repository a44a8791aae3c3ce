#include "parties/OptionFrame.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

void BuildOptionFrame(QGroupBox* frame, const QStringList& captions, std::array<QRadioButton*, 4>& options,
                      QObject* context, std::function<void(int)> onClick) {
  auto* grid = new QGridLayout(frame);
  for (int i = 0; i < 4; ++i) {
    options[i] = new QRadioButton(captions.value(i), frame);
    options[i]->setObjectName(QStringLiteral("optGn_%1").arg(i));
    grid->addWidget(options[i], i / 2, i % 2);
    QObject::connect(options[i], &QRadioButton::clicked, context, [onClick, i] { onClick(i); });
  }
  options[0]->setChecked(true);
}
