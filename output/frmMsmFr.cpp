#include "output/frmMsmFr.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/SettingsList.h"
#include "app/services/SmsGateway.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/Money.h"

QString FillRemittanceText(const QString& templ, const QString& name, const QString& date, double amount) {
  QString t = templ;
  t.replace(QStringLiteral("[客户名称]"), name);
  t.replace(QStringLiteral("[短信签名]"), gSystemSettings[8]);
  t.replace(QStringLiteral("[汇款日期]"), date);
  t.replace(QStringLiteral("[借款金额]"), Money::format(amount, QStringLiteral("0.00")));
  return t;
}

SmsNotice PrepareSmsNotice(int kind, const QString& docNo, qint64 recordId) {
  SmsNotice n;
  double amount = 0;
  QString date;
  if (kind == 1) {
    OpenMainQuery(QStringLiteral("select 客户性质,客户ID,本金,已还本金,已还利息,起息日期 from PJ_Dkjl where 单号=?"), {docNo});
    if (gMainRecordset.Eof()) return n;
    const bool person = gMainRecordset.text(QStringLiteral("客户性质")) == QStringLiteral("个人");
    const qint64 customer = gMainRecordset.integer(QStringLiteral("客户ID"));
    amount = gMainRecordset.number(QStringLiteral("本金")) - gMainRecordset.number(QStringLiteral("已还本金")) -
             gMainRecordset.number(QStringLiteral("已还利息"));
    date = gMainRecordset.text(QStringLiteral("起息日期"));
    // A company borrower is reached through its own table, never a person of the same key.
    OpenMainQuery(person ? QStringLiteral("select 姓名 as 名称,手机 from PJ_Kehu where 编号=?")
                         : QStringLiteral("select 公司名称 as 名称,手机 from PJ_Kehu_Gs where 编号=?"),
                  {customer});
  } else if (kind == 2) {
    OpenMainQuery(QStringLiteral("select b.姓名 as 名称,b.手机,a.本金,a.利息,a.提前支取扣款,a.日期 from PJ_Cjzfjl a,PJ_Gd b,PJ_Cjjl c "
                                 "where a.编号=? and c.单号=a.单号 and b.编号=c.客户ID"),
                  {recordId});
    if (!gMainRecordset.Eof()) {
      amount = gMainRecordset.number(QStringLiteral("本金")) + gMainRecordset.number(QStringLiteral("利息")) -
               gMainRecordset.number(QStringLiteral("提前支取扣款"));
      date = gMainRecordset.text(QStringLiteral("日期"));
    }
  } else {
    return n;
  }
  if (gMainRecordset.Eof()) {
    CloseRecordset(gMainRecordset);
    return n;
  }
  n.found = true;
  n.name = gMainRecordset.text(QStringLiteral("名称"));
  n.mobile = gMainRecordset.text(QStringLiteral("手机"));
  CloseRecordset(gMainRecordset);
  const QDate d = ParseDateText(date);
  n.text = FillRemittanceText(gSystemSettings[11], n.name, d.isValid() ? ChineseDateText(d) : date, Money::round(amount, 2));
  return n;
}

frmMsmFr::frmMsmFr(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmMsmFr"));
  setWindowTitle(QStringLiteral("短信发送"));
  resize(460, 300);
  lbl[0] = new QLabel(QStringLiteral("客户名称"), this);
  lbl[1] = new QLabel(this);
  lbl[1]->setObjectName(QStringLiteral("lbl_1"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  // Only digits and "." can be typed into the number.
  Text1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), Text1));
  txtText1 = new QPlainTextEdit(this);
  txtText1->setObjectName(QStringLiteral("txtText1"));
  PbCZ = MakeButton(QStringLiteral("发送(&Z)"), this);
  PbCZ->setObjectName(QStringLiteral("PbCZ"));
  PbCEsc = MakeButton(QStringLiteral("取消(&Esc)"), this);
  PbCEsc->setObjectName(QStringLiteral("PbCEsc"));
  auto* g = new QGridLayout;
  g->addWidget(lbl[0], 0, 0);
  g->addWidget(lbl[1], 0, 1);
  g->addWidget(new QLabel(QStringLiteral("手机号码"), this), 1, 0);
  g->addWidget(Text1, 1, 1);
  g->addWidget(new QLabel(QStringLiteral("短信内容"), this), 2, 0, Qt::AlignTop);
  g->addWidget(txtText1, 2, 1);
  auto* v = new QVBoxLayout(this);
  v->addLayout(g, 1);
  v->addLayout(RightAlignedButtons({PbCZ, PbCEsc}));
  connect(PbCZ, &pbCommand::Click, this, [this] { Guarded(QString(), this, [this] { PbCZ_Click(); }); });
  connect(PbCEsc, &pbCommand::Click, this, [this] { reject(); });
}

void frmMsmFr::Form_Load() {
  Guarded(QString(), this, [this] {
    const SmsNotice n = PrepareSmsNotice(NoticeKind, NoticeDocNo, NoticeRecordId);
    if (!n.found) return;
    lbl[1]->setText(n.name);
    Text1->setText(n.mobile);
    txtText1->setPlainText(n.text);
  });
}

void frmMsmFr::PbCZ_Click() {
  if (txtText1->toPlainText().isEmpty()) {
    MsgBox(QStringLiteral("短信内容不能为空！"), Mb::Critical);
    MarkInputInvalid(txtText1);
    return;
  }
  if (!IsMobileNumber(Text1->text())) {
    MsgBox(QStringLiteral("手机号码填写有误，请检查!"), Mb::Critical);
    MarkInputInvalid(Text1);
    return;
  }
  const SmsReply r = SendSmsMessage(txtText1->toPlainText(), Text1->text());
  if (!r.accepted()) return;
  MsgBox(r.text, Mb::Information, QStringLiteral("提醒"));
  accept();
}

void ShowSmsNotice(QWidget* owner, int kind, const QString& docNo, qint64 recordId) {
  frmMsmFr w(owner);
  w.NoticeKind = qint16(kind);
  w.NoticeDocNo = docNo;
  w.NoticeRecordId = recordId;
  w.Form_Load();
  RunModal(&w);
}
