#include "parties/admin/frmXtsz.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/Installation.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "app/services/SmsGateway.h"
#include "app/services/TextLimits.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"

namespace {
constexpr int kEditedItems = 13;

QCheckBox* makeCheck(const QString& caption, const QString& name, QWidget* parent) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(name);
  return c;
}

QLabel* makeLabel(const QString& caption, const QString& name, QWidget* parent) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(name);
  return l;
}

void setFromItem(QCheckBox* box, const QString& item) { box->setChecked(item.trimmed().toDouble() != 0); }
QString itemOf(const QCheckBox* box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }
}  // namespace

frmXtsz::frmXtsz(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmXtsz"));
  setWindowTitle(QStringLiteral("参数设置"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  for (int i = 0; i < 8; ++i) {
    txt[i] = new QLineEdit(this);
    txt[i]->setObjectName(QStringLiteral("txt_%1").arg(i));
    QLineEdit* box = txt[i];
    connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  }
  txt[1]->setMaximumWidth(70);
  LimitTextBox(txt[0], QStringLiteral("PJ_Jq"), QStringLiteral("单位名称"), QStringLiteral("公司名称"));

  // Business settings.
  auto* business = new QGroupBox(QStringLiteral("业务参数"), this);
  business->setObjectName(QStringLiteral("fraYw"));
  labMz[5] = makeLabel(QStringLiteral("公司名称"), QStringLiteral("labMz_5"), business);
  labMz[1] = makeLabel(QStringLiteral("指定债权人"), QStringLiteral("labMz_1"), business);
  Check3 = makeCheck(QStringLiteral("业务经办为债权人"), QStringLiteral("Check3"), business);
  Check6 = makeCheck(QStringLiteral("启用业务到期天数提醒功能,提前天数"), QStringLiteral("Check6"), business);
  Check1 = makeCheck(QStringLiteral("贷款单据需要审核"), QStringLiteral("Check1"), business);
  Check2 = makeCheck(QStringLiteral("拆借单据需要审核"), QStringLiteral("Check2"), business);
  Check4 = makeCheck(QStringLiteral("是否启用现金银行"), QStringLiteral("Check4"), business);
  Check4->setToolTip(QStringLiteral("启用该选项后，所有贷款、融资操作必须指定转入、转出银行账号。"));
  auto* g1 = new QGridLayout(business);
  g1->addWidget(labMz[5], 0, 0, Qt::AlignRight);
  g1->addWidget(txt[0], 0, 1, 1, 3);
  g1->addWidget(labMz[1], 1, 0, Qt::AlignRight);
  g1->addWidget(txt[2], 1, 1);
  g1->addWidget(Check3, 1, 2, 1, 2);
  auto* reminder = new QHBoxLayout;
  reminder->addWidget(Check6);
  reminder->addWidget(txt[1]);
  reminder->addStretch(1);
  g1->addLayout(reminder, 2, 0, 1, 4);
  auto* switches = new QHBoxLayout;
  switches->addWidget(Check1);
  switches->addSpacing(18);
  switches->addWidget(Check2);
  switches->addSpacing(18);
  switches->addWidget(Check4);
  switches->addStretch(1);
  g1->addLayout(switches, 3, 0, 1, 4);
  g1->setColumnStretch(1, 1);
  g1->setHorizontalSpacing(10);
  g1->setVerticalSpacing(9);

  // SMS centre.
  auto* sms = new QGroupBox(QStringLiteral("短信中心"), this);
  sms->setObjectName(QStringLiteral("fraDx"));
  Check5 = makeCheck(QStringLiteral("启用短信中心(未联网状态下不能使用该项)"), QStringLiteral("Check5"), sms);
  lbl[2] = makeLabel(QStringLiteral("短信账号"), QStringLiteral("lbl_2"), sms);
  lbl[0] = makeLabel(QStringLiteral("短信密码"), QStringLiteral("lbl_0"), sms);
  lbl[1] = makeLabel(QStringLiteral("短信签名"), QStringLiteral("lbl_1"), sms);
  lbl[3] = makeLabel(QStringLiteral("催款短信格式"), QStringLiteral("lbl_3"), sms);
  lbl[4] = makeLabel(QStringLiteral("汇款短信格式"), QStringLiteral("lbl_4"), sms);
  lbl[5] = makeLabel(QStringLiteral("提示：短信格式[]中内容为保留参数，千万不要修改。"), QStringLiteral("lbl_5"), sms);
  lbl[5]->setStyleSheet(QStringLiteral("QLabel:enabled { color: #B22222; }"));
  txt[6]->setMinimumWidth(660);
  auto* g2 = new QGridLayout(sms);
  g2->addWidget(Check5, 0, 0, 1, 4);
  g2->addWidget(lbl[2], 1, 0, Qt::AlignRight);
  g2->addWidget(txt[3], 1, 1);
  g2->addWidget(lbl[0], 1, 2, Qt::AlignRight);
  g2->addWidget(txt[4], 1, 3);
  g2->addWidget(lbl[1], 2, 0, Qt::AlignRight);
  g2->addWidget(txt[5], 2, 1);
  g2->addWidget(lbl[3], 3, 0, Qt::AlignRight);
  g2->addWidget(txt[6], 3, 1, 1, 3);
  g2->addWidget(lbl[4], 4, 0, Qt::AlignRight);
  g2->addWidget(txt[7], 4, 1, 1, 3);
  g2->addWidget(lbl[5], 5, 1, 1, 3);
  g2->setColumnStretch(1, 1);
  g2->setColumnStretch(3, 1);
  g2->setHorizontalSpacing(10);
  g2->setVerticalSpacing(9);

  eButOK = MakeButton(QStringLiteral("保存(&Z)"), this);
  eButOK->setObjectName(QStringLiteral("eButOK"));
  eButExit = MakeButton(QStringLiteral("取消(&Esc)"), this);
  eButExit->setObjectName(QStringLiteral("eButExit"));
  MarkDefaultButton(eButOK);
  auto* buttons = RightAlignedButtons({eButOK, eButExit});

  auto* root = new QVBoxLayout(this);
  root->addWidget(business);
  root->addWidget(sms);
  root->addLayout(buttons);
  root->setContentsMargins(14, 12, 14, 12);
  root->setSpacing(10);

  connect(Check3, &QCheckBox::toggled, this, [this](bool on) { txt[2]->setEnabled(!on); });
  connect(Check6, &QCheckBox::toggled, this, [this](bool on) { txt[1]->setEnabled(on); });
  connect(Check5, &QCheckBox::toggled, this, [this] { 短信中心状态(); });
  connect(eButOK, &pbCommand::Click, this, [this] { eButOK_Click(); });
  connect(eButExit, &pbCommand::Click, this, [this] { eButExit_Click(); });

  Form_Load();
}

QStringList frmXtsz::EditedItems() {
  const QStringList defaults = DefaultSettingsList(QString()).split(QLatin1Char(','));
  QStringList items;
  for (int i = 0; i < kEditedItems; ++i) items << (i < gSettingCount ? gSystemSettings[static_cast<size_t>(i)] : defaults.value(i));
  return items;
}

void frmXtsz::Form_Load() {
  const QStringList s = EditedItems();
  txt[0]->setText(gUnitName);
  setFromItem(Check6, s[12]);
  txt[1]->setText(s[0]);
  txt[2]->setText(s[1]);
  setFromItem(Check3, s[2]);
  setFromItem(Check1, s[3]);
  setFromItem(Check2, s[4]);
  setFromItem(Check4, s[5]);
  setFromItem(Check5, s[9]);
  txt[3]->setText(s[6]);
  txt[4]->setText(s[7]);
  txt[5]->setText(s[8]);
  txt[6]->setText(s[10]);
  txt[7]->setText(s[11]);
  // Long texts show their beginning, not their end.
  for (QLineEdit* box : txt) box->setCursorPosition(0);
  txt[2]->setEnabled(!Check3->isChecked());
  txt[1]->setEnabled(Check6->isChecked());
  短信中心状态();
}

void frmXtsz::短信中心状态() {
  const bool on = Check5->isChecked();
  for (int i = 3; i <= 7; ++i) txt[i]->setEnabled(on);
  for (QLabel* l : lbl) l->setEnabled(on);
}

void frmXtsz::eButExit_Click() { reject(); }

void frmXtsz::eButOK_Click() {
  Guarded(QString(), this, [this] { save(); });
}

bool frmXtsz::refuseComma(QLineEdit* box, const QString& caption) {
  if (!box->text().contains(QLatin1Char(','))) return false;
  // The settings list is split at every ",": one inside an item would move all later items.
  MsgBox(caption + QStringLiteral("中不能含有英文逗号“,”，请删除或改用中文逗号“，”！"), Mb::Critical, QStringLiteral("提示"));
  MarkInputInvalid(box);
  return true;
}

void frmXtsz::save() {
  if (!CheckTextLimits(this)) return;
  if (!ValidateTextInput(txt[0], QStringLiteral("公司名称"), 0)) return;
  // The day count matters only with the reminder on; a switched-off box is not checked.
  if (Check6->isChecked() && !ValidateTextInput(txt[1], QStringLiteral("提前天数"), 1)) return;
  if (refuseComma(txt[1], QStringLiteral("提前天数")) || refuseComma(txt[2], QStringLiteral("指定债权人")) ||
      refuseComma(txt[3], QStringLiteral("短信账号")) || refuseComma(txt[4], QStringLiteral("短信密码")) ||
      refuseComma(txt[5], QStringLiteral("短信签名")))
    return;
  if (Check5->isChecked()) {
    const char* const captions[] = {"短信账号", "短信密码", "短信签名", "催款短信格式", "汇款短信格式"};
    for (int i = 3; i <= 7; ++i)
      if (!ValidateTextInput(txt[i], QString::fromUtf8(captions[i - 3]), 0)) return;
    const SmsReply reply = QuerySmsAccount(txt[3]->text(), txt[4]->text());
    if (reply.outcome == SmsReply::Outcome::WrongAccount) {
      // The typed texts stay: only the account and password are wrong.
      MsgBox(QStringLiteral("短信账号或密码错误，请联系") + Installation::kSupportText + QStringLiteral("开户充值！"), Mb::Critical);
      MarkInputInvalid(txt[3]);
      return;
    }
    // Any other failure has been shown; the user may still keep the settings (for example offline).
    if (!reply.accepted() &&
        MsgBox(QStringLiteral("短信账号未能验证。仍然保存参数设置吗？"), Mb::YesNo + Mb::Question, QStringLiteral("提示")) != Mb::Yes)
      return;
  }

  // The new list is built on the shared array and taken back if it cannot be stored.
  const auto previous = gSystemSettings;
  const qint16 previousCount = gSettingCount;
  auto restore = [&] {
    gSystemSettings = previous;
    gSettingCount = previousCount;
  };
  if (gSettingCount < kEditedItems) gSettingCount = kEditedItems;
  QString dunning = txt[6]->text();
  QString remittance = txt[7]->text();
  dunning.replace(QLatin1Char(','), QLatin1Char('.'));
  remittance.replace(QLatin1Char(','), QLatin1Char('.'));
  const QString items[kEditedItems] = {txt[1]->text(), txt[2]->text(), itemOf(Check3), itemOf(Check1), itemOf(Check2),
                                       itemOf(Check4), txt[3]->text(), txt[4]->text(), txt[5]->text(), itemOf(Check5),
                                       dunning,        remittance,     itemOf(Check6)};
  for (int i = 0; i < kEditedItems; ++i) gSystemSettings[static_cast<size_t>(i)] = items[i];
  try {
    OpenMainQuery(QStringLiteral("select * from PJ_Jq  where 机器ID=?"), {gMachineId});
    if (gMainRecordset.isNothing()) {
      restore();
      return;
    }
    if (gMainRecordset.Eof()) {
      CloseRecordset(gMainRecordset);
      restore();
      MsgBox(QStringLiteral("没有找到本机（机器ID：%1）的客户端记录，参数没有保存！").arg(gMachineId), Mb::Critical);
      return;
    }
    gMainRecordset.setValue(QStringLiteral("单位名称"), txt[0]->text());
    gMainRecordset.setValue(QStringLiteral("参数"), ConvertSettingsList(QString(), QStringLiteral("写")));
    gMainRecordset.Update();
    CloseRecordset(gMainRecordset);
  } catch (...) {
    restore();
    throw;
  }
  gUnitName = txt[0]->text();
  if (onSaved) onSaved();
  accept();
}
