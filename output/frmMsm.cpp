#include "output/frmMsm.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "app/services/SmsGateway.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

namespace {
QString recipientsSql(bool staff) {
  return staff ? QStringLiteral("select 姓名,手机 from PJ_Admin order by 编号") : QStringLiteral("select 姓名,手机 from PJ_Kehu order by 编号");
}
}  // namespace

QString AppendMobileNumber(const QString& box, const QString& number) {
  return box.isEmpty() ? number : box + QLatin1Char(',') + number;
}

QString JoinMobileNumbers(const QStringList& numbers) {
  QStringList kept;
  for (const QString& n : numbers)
    if (!n.trimmed().isEmpty()) kept << n.trimmed();
  return kept.join(QLatin1Char(','));
}

frmMsm::frmMsm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmMsm"));
  setWindowTitle(QStringLiteral("短信管理"));
  resize(900, 600);
  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));

  // ---- 发送短信
  auto* send = new QWidget(SSTab1);
  auto* pick = new QGroupBox(QStringLiteral("快捷选择"), send);
  optXz[0] = new QRadioButton(QStringLiteral("员工"), pick);
  optXz[1] = new QRadioButton(QStringLiteral("客户"), pick);
  optXz[0]->setChecked(true);
  Fg = new Grid(pick);
  Fg->setObjectName(QStringLiteral("Fg"));
  eButton4 = MakeButton(QStringLiteral("添加选中"), pick);
  eButton5 = MakeButton(QStringLiteral("添加全部"), pick);
  auto* pv = new QVBoxLayout(pick);
  auto* opts = new QHBoxLayout;
  opts->addWidget(optXz[0]);
  opts->addWidget(optXz[1]);
  opts->addStretch(1);
  pv->addLayout(opts);
  pv->addWidget(new QLabel(QStringLiteral("双击添加号码"), pick));
  pv->addWidget(Fg, 1);
  pv->addLayout(RightAlignedButtons({eButton4, eButton5}));

  txtShouji = new QLineEdit(send);
  txtShouji->setObjectName(QStringLiteral("txtShouji"));
  txtShouji->installEventFilter(this);
  eButton3 = MakeButton(QStringLiteral("清空号码"), send);
  txtNeirong = new QPlainTextEdit(send);
  txtNeirong->setObjectName(QStringLiteral("txtNeirong"));
  eButton1 = MakeButton(QStringLiteral("发送"), send);
  eButton2 = MakeButton(QStringLiteral("查询余额"), send);
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(QStringLiteral("手机号码（用\",\"分隔，双击清空号码）"), send));
  auto* numbers = new QHBoxLayout;
  numbers->addWidget(txtShouji, 1);
  numbers->addWidget(eButton3);
  right->addLayout(numbers);
  right->addWidget(new QLabel(QStringLiteral("短信内容"), send));
  right->addWidget(txtNeirong, 1);
  right->addLayout(RightAlignedButtons({eButton1, eButton2}));
  auto* sendLayout = new QHBoxLayout(send);
  sendLayout->addWidget(pick, 2);
  sendLayout->addLayout(right, 3);
  SSTab1->addTab(send, QStringLiteral("发送短信"));

  // ---- 记录查询
  auto* history = new QWidget(SSTab1);
  DTPstr = new DateBox(history);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(history);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  Combo1 = new QComboBox(history);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("本日"), QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本年"), QStringLiteral("全部")});
  Combo2 = new QComboBox(history);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  Combo2->addItems({QStringLiteral("手机"), QStringLiteral("发信人")});
  Text1 = new QLineEdit(history);
  Text1->setObjectName(QStringLiteral("Text1"));
  eButton6 = MakeButton(QStringLiteral("查询"), history);
  Fg2 = new Grid(history);
  Fg2->setObjectName(QStringLiteral("Fg2"));
  auto* filter = new QHBoxLayout;
  filter->addWidget(Combo1);
  filter->addWidget(DTPstr);
  filter->addWidget(new QLabel(QStringLiteral("至"), history));
  filter->addWidget(DTPovr);
  filter->addSpacing(12);
  filter->addWidget(Combo2);
  filter->addWidget(Text1);
  filter->addWidget(eButton6);
  filter->addStretch(1);
  auto* hv = new QVBoxLayout(history);
  hv->addLayout(filter);
  hv->addWidget(Fg2, 1);
  SSTab1->addTab(history, QStringLiteral("记录查询"));

  auto* v = new QVBoxLayout(this);
  v->addWidget(SSTab1);

  const auto guarded = [this](void (frmMsm::*f)()) { return [this, f] { Guarded(QString(), this, [this, f] { (this->*f)(); }); }; };
  for (QRadioButton* o : optXz) connect(o, &QRadioButton::clicked, this, guarded(&frmMsm::刷新));
  connect(Combo1, &QComboBox::activated, this, [this](int i) { cxSjkj(DTPstr, DTPovr, i); });
  connect(Fg, &Grid::cellDoubleClicked, this, guarded(&frmMsm::AddSelected));
  connect(eButton4, &pbCommand::Click, this, guarded(&frmMsm::AddSelected));
  connect(eButton5, &pbCommand::Click, this, guarded(&frmMsm::AddAll));
  connect(eButton3, &pbCommand::Click, this, [this] { txtShouji->clear(); });
  connect(eButton6, &pbCommand::Click, this, guarded(&frmMsm::刷新记录));
  connect(eButton1, &pbCommand::Click, this, guarded(&frmMsm::Send));
  connect(eButton2, &pbCommand::Click, this, guarded(&frmMsm::QueryBalance));

  Combo1->setCurrentIndex(1);
  cxSjkj(DTPstr, DTPovr, 1);
  Combo2->setCurrentIndex(0);
  Guarded(QString(), this, [this] {
    刷新();
    刷新记录();
  });
}

bool frmMsm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtShouji && event->type() == QEvent::MouseButtonDblClick) {
    txtShouji->clear();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void frmMsm::刷新() {
  gCurrentSql = recipientsSql(optXz[0]->isChecked());
  gCurrentParams.clear();
  LoadGridFromQuery(Fg, false, QString());
  CloseRecordset(gMainRecordset);
}

void frmMsm::刷新记录() {
  QString sql = QStringLiteral(" select 时间,发信人,手机,内容 from PJ_Duanxin where ") +
                sqlDate(QStringLiteral("时间"), DTPstr->dateText(), DTPovr->dateText());
  QVariantList params;
  if (!Text1->text().isEmpty()) {
    // The search column comes from the fixed list of the combo, the text is bound.
    const QString column = Combo2->currentIndex() == 1 ? QStringLiteral("发信人") : QStringLiteral("手机");
    sql += QStringLiteral(" and ") + column + QStringLiteral(" like ? ") + CurrentDialect().likeEscape();
    params << CurrentDialect().likeContains(Text1->text());
  }
  sql += BuildScopeInFilter(gDeptRights, QStringLiteral("部门"), QStringLiteral("and"), params) + QStringLiteral(" order by 编号 desc");
  gCurrentSql = sql;
  gCurrentParams = params;
  LoadGridFromQuery(Fg2, false, QString());
  AddGridTotalRow(Fg2, QStringLiteral("0"), QStringLiteral("合计"), 0);
  CloseRecordset(gMainRecordset);
}

void frmMsm::AddSelected() {
  if (!IsGridDataRow(Fg)) return;
  txtShouji->setText(AppendMobileNumber(txtShouji->text(), Fg->textMatrix(Fg->row(), 1)));
}

void frmMsm::AddAll() {
  OpenMainQuery(recipientsSql(optXz[0]->isChecked()));
  QStringList numbers;
  for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) numbers << gMainRecordset.text(QStringLiteral("手机"));
  CloseRecordset(gMainRecordset);
  txtShouji->setText(JoinMobileNumbers(numbers));
}

void frmMsm::Send() {
  for (auto [box, caption] : {std::pair<QWidget*, QString>{txtNeirong, QStringLiteral("短信内容")}, {txtShouji, QStringLiteral("手机号码")}}) {
    const bool empty = box == txtNeirong ? txtNeirong->toPlainText().isEmpty() : txtShouji->text().isEmpty();
    if (!empty) continue;
    MsgBox(caption + QStringLiteral("不能为空！"), Mb::Critical);
    MarkInputInvalid(box);
    return;
  }
  // Every number is checked before anything is sent, so that no list half goes out.
  for (const QString& n : txtShouji->text().split(QLatin1Char(','))) {
    if (IsMobileNumber(n.trimmed())) continue;
    MsgBox(QStringLiteral("手机号码填写有误，请检查：") + n, Mb::Critical);
    MarkInputInvalid(txtShouji);
    return;
  }
  const SmsReply r = SendSmsMessage(txtNeirong->toPlainText(), txtShouji->text());
  if (!r.accepted()) return;
  MsgBox(r.text, Mb::Information);
  刷新记录();
}

void frmMsm::QueryBalance() {
  const SmsReply r = QuerySmsAccount(gSystemSettings[6], gSystemSettings[7]);
  if (r.accepted())
    MsgBox(r.text, Mb::Information);
  else if (r.outcome == SmsReply::Outcome::WrongAccount)
    MsgBox(r.failure, Mb::Critical);
}
