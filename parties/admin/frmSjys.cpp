#include "parties/admin/frmSjys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/data/ConnectionSettings.h"
#include "app/services/ErrorReport.h"
#include "control/pbCommand.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "parties/admin/frmbackup.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"

frmSjys::frmSjys(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmSjys"));
  setWindowTitle(QStringLiteral("数据压缩"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  lblNote = new QLabel(QStringLiteral("说明：使用该项将提升数据读取能力，建议定期操作。"), this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  lblNote->setWordWrap(true);
  lblNote->setMinimumWidth(320);

  Prg = MakeWorkProgressBar(this);

  cmdYs = MakeButton(QStringLiteral("压缩数据"), this);
  cmdYs->setObjectName(QStringLiteral("cmdYs"));
  SetButtonPicture(cmdYs, style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(16, 16).toImage());
  MarkDefaultButton(cmdYs);
  auto* buttons = RightAlignedButtons({cmdYs});

  auto* root = new QVBoxLayout(this);
  root->addWidget(lblNote);
  root->addWidget(Prg);
  root->addLayout(buttons);
  root->setContentsMargins(16, 14, 16, 12);
  root->setSpacing(12);

  connect(cmdYs, &pbCommand::Click, this, [this] { cmdYs_Click(); });
}

void frmSjys::cmdYs_Click() {
  Guarded(QString(), this, [this] {
    cmdYs->setEnabled(false);
    if (gDatabaseType != 0) {
      MsgBox(QStringLiteral("请联系管理员，使用MSSql自带的企业管理器进行维护。"), Mb::Information, QStringLiteral("提示"));
    } else {
      CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword, ShowProgressIn(Prg));
    }
  });
  cmdYs->setEnabled(true);
  accept();
}
