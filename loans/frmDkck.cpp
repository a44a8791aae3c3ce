#include "loans/frmDkck.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/SettingsList.h"
#include "app/services/SmsGateway.h"
#include "loans/LoanRecords.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "platform/TextStart.h"

namespace {
// A sum in its shortest text: 600, 50.5, 0.
QString shortNumber(double v) { return QString::number(Money::round(v), 'g', 15); }
}  // namespace

QString FillDunningTemplate(const QString& templ, const QString& name, const QDate& due, double amount) {
  QString text = templ;
  text.replace(QStringLiteral("[客户名称]"), name);
  text.replace(QStringLiteral("[约定日期]"), due.isValid() ? ChineseDateText(due) : QString());
  text.replace(QStringLiteral("[还贷金额]"), shortNumber(amount));
  return text;
}

frmDkck::frmDkck(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkck"));
  setWindowTitle(QStringLiteral("催款"));
  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  auto* customer = new QWidget(SSTab1);
  auto* cg = new QGridLayout(customer);
  const char* const captions[] = {"客户名称", "手机", "联系地址", "证件号码"};
  for (int i = 0; i < 4; ++i) {
    txtCk[i] = new QLineEdit(customer);
    txtCk[i]->setObjectName(QStringLiteral("txtCk_%1").arg(i));
    txtCk[i]->setReadOnly(i != 1);  // the mobile number may be corrected before a send
    auto* l = new QLabel(QString::fromUtf8(captions[i]), customer);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cg->addWidget(l, i / 2, (i % 2) * 2);
    cg->addWidget(txtCk[i], i / 2, (i % 2) * 2 + 1);
  }
  FitIdentityNumber(txtCk[3]);
  auto* noteCaption = new QLabel(QStringLiteral("催款内容"), customer);
  noteCaption->setAlignment(Qt::AlignRight | Qt::AlignTop);
  txtNote = new QPlainTextEdit(customer);
  txtNote->setObjectName(QStringLiteral("txtCk_4"));
  cg->addWidget(noteCaption, 2, 0);
  cg->addWidget(txtNote, 2, 1, 1, 3);
  Label1 = new QLabel(customer);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setStyleSheet(QStringLiteral("color: #B22222; font-weight: bold;"));
  cg->addWidget(Label1, 3, 1, 1, 3);
  SSTab1->addTab(customer, QStringLiteral("客户信息"));
  Fg2 = new Grid(SSTab1);
  Fg2->setObjectName(QStringLiteral("Fg2"));
  ApplyGridLook(Fg2);
  SSTab1->addTab(Fg2, QStringLiteral("担保人信息"));

  auto* notes = new QGroupBox(QStringLiteral("催款记录"), this);
  Fg = new Grid(notes);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  auto* nl = new QVBoxLayout(notes);
  nl->addWidget(Fg);

  pbCommand1 = MakeButton(QStringLiteral("保存内容"), this);
  pbCommand1->setObjectName(QStringLiteral("pbCommand1"));
  PbC = MakeButton(QStringLiteral("短信提醒"), this);
  PbC->setObjectName(QStringLiteral("PbC"));
  for (pbCommand* b : {pbCommand1, PbC}) b->setMinimumSize(96, 32);
  connect(pbCommand1, &pbCommand::Click, this, [this] { pbCommand1_Click(); });
  connect(PbC, &pbCommand::Click, this, [this] { PbC_Click(); });

  auto* root = new QVBoxLayout(this);
  root->addWidget(SSTab1, 3);
  root->addWidget(notes, 2);
  root->addLayout(RightAlignedButtons({pbCommand1, PbC}));
  resize(760, 600);
}

void frmDkck::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void frmDkck::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    PbC->setEnabled(SettingOn(9));
    // A company borrower is reached through its own table, never a person of the same key.
    Recordset loan;
    OpenRecordset(loan, QStringLiteral("select 客户性质,客户ID,客户名称,保证人 from PJ_Dkjl where 单号=?"), {DocNo});
    if (!loan.Eof()) {
      const bool person = loan.text(QStringLiteral("客户性质")) == QStringLiteral("个人");
      txtCk[0]->setText(loan.text(QStringLiteral("客户名称")));
      guarantors_ = loan.text(QStringLiteral("保证人"));
      Recordset party;
      OpenRecordset(party,
                    person ? QStringLiteral("select 手机,(家庭住址) as 地址,(身份证号) as 证件 from PJ_Kehu where 编号=?")
                           : QStringLiteral("select 手机,(住所地) as 地址,(营业执照注册号) as 证件 from PJ_Kehu_Gs where 编号=?"),
                    {loan.integer(QStringLiteral("客户ID"))});
      if (!party.Eof()) {
        txtCk[1]->setText(party.text(QStringLiteral("手机")));
        txtCk[2]->setText(party.text(QStringLiteral("地址")));
        txtCk[3]->setText(party.text(QStringLiteral("证件")));
      }
      CloseRecordset(party);
    }
    CloseRecordset(loan);
    Recordset plan;
    OpenRecordset(plan, QStringLiteral("select * from PJ_Hdjh where 编号=?"), {PlanId});
    if (!plan.Eof()) {
      principal_ = Money::round(plan.number(QStringLiteral("应还本金")) - plan.number(QStringLiteral("已还本金")));
      interest_ = Money::round(plan.number(QStringLiteral("应还利息")) - plan.number(QStringLiteral("已还利息")));
      due_ = plan.text(QStringLiteral("约定归还日期"));
    }
    CloseRecordset(plan);
    loadNotes();
    const KeyListCondition k = KeyListIn(QStringLiteral("编号"), guarantors_);
    gCurrentSql = QStringLiteral("select 编号,姓名,性别,身份证号,手机,家庭住址 from PJ_Kehu where ") + k.sql;
    gCurrentParams = k.params;
    LoadGridFromQuery(Fg2, false, QString());
    CloseRecordset(gMainRecordset);
    Label1->setText(QStringLiteral("其中未还本金：") + shortNumber(principal_) + QStringLiteral(" 未还利息：") + shortNumber(interest_));
    if (SettingOn(9))
      txtNote->setPlainText(FillDunningTemplate(gSystemSettings[10], txtCk[0]->text(), ParseDateText(due_), principal_ + interest_));
  });
}

void frmDkck::loadNotes() {
  gCurrentSql = QStringLiteral("select 日期,内容 from PJ_Dxck where 单号=? order by 编号");
  gCurrentParams = {DocNo};
  LoadGridFromQuery(Fg, false, QString());
  CloseRecordset(gMainRecordset);
  Fg->setColWidth(0, 2200);
  Fg->setColWidth(1, 7000);
}

bool frmDkck::noteGiven() {
  if (!txtNote->toPlainText().trimmed().isEmpty()) return true;
  MsgBox(QStringLiteral("跟踪内容不能为空！"), Mb::Critical);
  MarkInputInvalid(txtNote);
  return false;
}

bool frmDkck::saveNote() {
  if (!noteGiven()) return false;
  Db().Execute(QStringLiteral("insert into PJ_Dxck (单号,内容) values (?,?)"), {DocNo, txtNote->toPlainText()});
  loadNotes();
  return true;
}

void frmDkck::pbCommand1_Click() {
  Guarded(QString(), this, [this] { saveNote(); });
}

void frmDkck::PbC_Click() {
  Guarded(QString(), this, [this] {
    if (!noteGiven()) return;
    if (!ValidateTextInput(txtCk[1], QStringLiteral("手机号"), 0)) return;
    const QString mobile = txtCk[1]->text().trimmed();
    if (!IsMobileNumber(mobile)) {
      MsgBox(QStringLiteral("手机号输入不合法！"), Mb::Critical);
      MarkInputInvalid(txtCk[1]);
      return;
    }
    const SmsReply reply = SendSmsMessage(txtNote->toPlainText(), mobile);
    if (!reply.accepted()) return;  // shown by the sender; no note claims a message that never left
    MsgBox(reply.text);
    saveNote();
  });
}
