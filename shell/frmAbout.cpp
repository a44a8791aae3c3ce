#include "shell/frmAbout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/AppPictures.h"
#include "app/services/Installation.h"
#include "shell/frmMain.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("关于"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* picture = new QLabel(this);
  picture->setPixmap(AppEmblem(96));
  auto* text = new QVBoxLayout;
  auto* title = new QLabel(kAppTitle + QStringLiteral(" V") + frmMain::VersionText(), this);
  title->setObjectName(QStringLiteral("lblGy_0"));
  title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold; color: #1F4E79;"));
  lblGy << title;
  text->addWidget(title);
  text->addSpacing(8);
  for (const QString& line : Installation::kContactLines) {
    auto* l = new QLabel(line, this);
    l->setObjectName(QStringLiteral("lblGy_%1").arg(lblGy.size()));
    lblGy << l;
    text->addWidget(l);
  }
  Label4 = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(Installation::kWebAddress.toHtmlEscaped()), this);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setCursor(Qt::PointingHandCursor);
  Label4->installEventFilter(this);
  text->addWidget(Label4);
  text->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(text, 1);
  auto* ok = MakeButton(QStringLiteral("确定(&O)"), this);
  MarkDefaultButton(ok);
  connect(ok, &pbCommand::Click, this, &QDialog::accept);
  auto* buttons = RightAlignedButtons({ok});
  auto* root = new QVBoxLayout(this);
  root->addLayout(top);
  root->addLayout(buttons);
  root->setContentsMargins(18, 16, 18, 12);
}

void frmAbout::Label4_Click() {
  OpenWithDesktop(Installation::kWebAddress);  // says so itself when no browser can open it
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label4 && event->type() == QEvent::MouseButtonRelease) {
    Label4_Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
