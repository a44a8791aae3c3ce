#include "loans/frmXjyh.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/BankInfo.h"
#include "app/services/ErrorReport.h"
#include "app/services/Ledger.h"
#include "app/services/SettingsList.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/TextStart.h"

namespace {
// What a cash side records in place of a bank: the journal then never shows a cash movement
// against an account number.
const QString kCash = QStringLiteral("现金");

// Which boxes and labels belong to a side.
constexpr std::array<int, 3> kOurBoxes = {0, 2, 3};
constexpr std::array<int, 3> kTheirBoxes = {1, 4, 5};
constexpr std::array<int, 3> kOurLabels = {0, 1, 2};
constexpr std::array<int, 3> kTheirLabels = {5, 4, 3};
}  // namespace

bool frmXjyh::InUse() {
  bool ok = false;
  const double v = gSystemSettings[5].trimmed().toDouble(&ok);
  return ok && v == 1;
}

std::optional<BankAccounts> frmXjyh::ChooseAccounts(QWidget* opener, int callerCode, Shown shown) {
  gBankInfo[50] = callerCode;
  frmXjyh picker(opener, shown);
  if (RunModal(&picker) != QDialog::Accepted || !picker.Chosen) return std::nullopt;
  const BankAccounts& a = *picker.Chosen;
  const std::array<QString, 6> items = {a.ourBank, a.ourName, a.ourAccount, a.theirBank, a.theirName, a.theirAccount};
  for (size_t i = 0; i < items.size(); ++i) gBankInfo[i] = items[i];
  return a;
}

std::optional<bool> frmXjyh::RegistrationAccounts(QWidget* opener, int callerCode, const QString& editDocNo,
                                                   const QString& principalSummary, bool amountsMoved) {
  if (!InUse()) return false;
  if (editDocNo.isEmpty()) {
    if (!ChooseAccounts(opener, callerCode)) return std::nullopt;
    return false;
  }
  if (!amountsMoved) return false;
  LoadLedgerRowAccounts(editDocNo, principalSummary);
  std::array<QString, 6> shown;
  for (size_t i = 0; i < shown.size(); ++i) shown[i] = VariantText(gBankInfo[i]);
  const auto chosen = ChooseAccounts(opener, callerCode, Shown::Given);
  if (!chosen) return std::nullopt;
  const std::array<QString, 6> now = {chosen->ourBank, chosen->ourName, chosen->ourAccount,
                                      chosen->theirBank, chosen->theirName, chosen->theirAccount};
  return now != shown;
}

frmXjyh::frmXjyh(QWidget* owner, Shown shown) : QDialog(owner) {
  setObjectName(QStringLiteral("frmXjyh"));
  setWindowTitle(QStringLiteral("记账"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  const QStringList frameCaptions = {QStringLiteral("我方账户信息"), QStringLiteral("对方账户信息")};
  const QStringList rowCaptions = {QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("账  号")};
  auto* sides = new QHBoxLayout;
  for (int side = 0; side < 2; ++side) {
    Frame2[side] = new QGroupBox(frameCaptions[side], this);
    Frame2[side]->setObjectName(QStringLiteral("Frame2_%1").arg(side));
    auto* grid = new QGridLayout(Frame2[side]);
    auto& opts = side == 0 ? optwf : optDf;
    const QString optName = side == 0 ? QStringLiteral("optwf_%1") : QStringLiteral("optDf_%1");
    auto* optRow = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
      opts[i] = new QRadioButton(i == 0 ? QStringLiteral("转账结算") : QStringLiteral("现金结算"), Frame2[side]);
      opts[i]->setObjectName(optName.arg(i));
      optRow->addWidget(opts[i]);
      connect(opts[i], &QRadioButton::clicked, this, [this, side, i] { side == 0 ? optwf_Click(i) : optDf_Click(i); });
    }
    opts[0]->setChecked(true);
    optRow->addStretch(1);
    grid->addLayout(optRow, 0, 0, 1, 2);
    const auto& boxes = side == 0 ? kOurBoxes : kTheirBoxes;
    const auto& labels = side == 0 ? kOurLabels : kTheirLabels;
    for (int r = 0; r < 3; ++r) {
      const int b = boxes[r], l = labels[r];
      lbljz[l] = new QLabel(rowCaptions[r], Frame2[side]);
      lbljz[l]->setObjectName(QStringLiteral("lbljz_%1").arg(l));
      cmbJz[b] = new QComboBox(Frame2[side]);
      cmbJz[b]->setObjectName(QStringLiteral("cmbJz_%1").arg(b));
      cmbJz[b]->setEditable(true);
      cmbJz[b]->setInsertPolicy(QComboBox::NoInsert);
      cmbJz[b]->setMinimumWidth(220);
      ShowTextStart(cmbJz[b]);
      QComboBox* box = cmbJz[b];
      connect(box, &QComboBox::activated, this, [this, b] { cmbJz_Click(b); });
      connect(box, &QComboBox::editTextChanged, box, [box] { ClearInputMark(box); });
      grid->addWidget(lbljz[l], r + 1, 0, Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(cmbJz[b], r + 1, 1);
    }
    grid->setColumnStretch(1, 1);
    sides->addWidget(Frame2[side], 1);
  }

  eButOK = MakeButton(QStringLiteral("保存(&S)"), this);
  eButOK->setObjectName(QStringLiteral("eButOK"));
  eButOK->setMinimumSize(100, 30);
  MarkDefaultButton(eButOK);
  connect(eButOK, &pbCommand::Click, this, [this] { eButOK_Click(); });

  auto* root = new QVBoxLayout(this);
  root->addLayout(sides);
  root->addLayout(RightAlignedButtons({eButOK}));
  root->setContentsMargins(10, 10, 10, 10);
  resize(640, 230);

  Guarded(QString(), nullptr, [this, shown] {
    取开户行(0);
    if (shown == Shown::Given) showSide(0, VariantText(gBankInfo[0]), VariantText(gBankInfo[1]), VariantText(gBankInfo[2]));
    showSide(1, VariantText(gBankInfo[3]), VariantText(gBankInfo[4]), VariantText(gBankInfo[5]));
  });
}

void frmXjyh::showSide(int side, const QString& bank, const QString& name, const QString& account) {
  const auto& boxes = side == 0 ? kOurBoxes : kTheirBoxes;
  auto& opts = side == 0 ? optwf : optDf;
  const bool cash = bank == kCash;
  // A cash side is shown as cash, never as a bank called "现金".
  const std::array<QString, 3> texts = {cash ? QString() : bank, cash ? QString() : name, cash ? QString() : account};
  for (size_t i = 0; i < boxes.size(); ++i) cmbJz[boxes[i]]->setEditText(texts[i]);
  opts[cash ? 1 : 0]->setChecked(true);
  enableSide(side, !cash);
}

void frmXjyh::取开户行(int side) {
  QComboBox* bank = cmbJz[side == 0 ? 0 : 1];
  bank->clear();
  OpenMainQuery(QStringLiteral("select 开户行 from PJ_Yhzh where  类别=? group by 开户行"), {side});
  for (; !gMainRecordset.isNothing() && !gMainRecordset.Eof(); gMainRecordset.MoveNext())
    bank->addItem(gMainRecordset.text(0));
  CloseRecordset(gMainRecordset);
  // Selecting a bank lists its names and numbers, as the user's own choice would.
  for (int b : {0, 1}) {
    if (cmbJz[b]->count() == 0) continue;
    cmbJz[b]->setCurrentIndex(0);
    cmbJz_Click(b);
  }
}

void frmXjyh::取开户名(const QString& bank, int side) {
  QComboBox* box = cmbJz[side == 0 ? 2 : 4];
  box->clear();
  OpenMainQuery(QStringLiteral("select * from PJ_Yhzh where 开户行=? and 类别=? order by 编号"), {bank, side});
  for (; !gMainRecordset.isNothing() && !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
    const QString name = gMainRecordset.text(QStringLiteral("开户名"));
    if (box->findText(name) < 0) box->addItem(name);
  }
  CloseRecordset(gMainRecordset);
  if (box->count() > 0) box->setCurrentIndex(0);
}

void frmXjyh::取账号(const QString& bank, const QString& name, int side) {
  QComboBox* box = cmbJz[side == 0 ? 3 : 5];
  box->clear();
  OpenMainQuery(QStringLiteral("select * from PJ_Yhzh where 开户行=? and 开户名=? and 类别=? order by 编号"), {bank, name, side});
  for (; !gMainRecordset.isNothing() && !gMainRecordset.Eof(); gMainRecordset.MoveNext())
    box->addItem(gMainRecordset.text(QStringLiteral("账号")));
  CloseRecordset(gMainRecordset);
  if (box->count() > 0) box->setCurrentIndex(0);
}

bool frmXjyh::看下拉框是否为空(QComboBox* box) {
  if (!box->currentText().isEmpty()) return true;
  MarkInputInvalid(box);
  MsgBox(QStringLiteral("信息填写不完整！"), Mb::Critical);
  return false;
}

void frmXjyh::存账户信息(const QString& bank, const QString& name, const QString& account, int side) {
  if (side == 0) {
    pending_.ourBank = bank;
    pending_.ourName = name;
    pending_.ourAccount = account;
  } else {
    pending_.theirBank = bank;
    pending_.theirName = name;
    pending_.theirAccount = account;
  }
}

void frmXjyh::cmbJz_Click(int index) {
  Guarded(QString(), nullptr, [this, index] {
    // A bank lists its names, a name its numbers; the numbers end the cascade.
    const int side = (index == 1 || index == 4) ? 1 : 0;
    QComboBox* bank = cmbJz[side == 0 ? 0 : 1];
    QComboBox* name = cmbJz[side == 0 ? 2 : 4];
    if (cmbJz[index] == bank) 取开户名(bank->currentText(), side);
    if (cmbJz[index] == bank || cmbJz[index] == name) 取账号(bank->currentText(), name->currentText(), side);
  });
}

void frmXjyh::optwf_Click(int index) { enableSide(0, index == 0); }

void frmXjyh::optDf_Click(int index) { enableSide(1, index == 0); }

void frmXjyh::enableSide(int side, bool on) {
  for (int i = 0; i < 3; ++i) {
    cmbJz[(side == 0 ? kOurBoxes : kTheirBoxes)[i]]->setEnabled(on);
    lbljz[(side == 0 ? kOurLabels : kTheirLabels)[i]]->setEnabled(on);
  }
}

void frmXjyh::eButOK_Click() {
  Guarded(QString(), this, [this] {
    for (int side = 0; side < 2; ++side) {
      const bool transfer = (side == 0 ? optwf : optDf)[0]->isChecked();
      const auto& boxes = side == 0 ? kOurBoxes : kTheirBoxes;
      if (transfer) {
        for (int b : boxes)
          if (!看下拉框是否为空(cmbJz[b])) return;
      }
    }
    for (int side = 0; side < 2; ++side) {
      const bool transfer = (side == 0 ? optwf : optDf)[0]->isChecked();
      const auto& boxes = side == 0 ? kOurBoxes : kTheirBoxes;
      if (transfer)
        存账户信息(cmbJz[boxes[0]]->currentText(), cmbJz[boxes[1]]->currentText(), cmbJz[boxes[2]]->currentText(), side);
      else
        存账户信息(kCash, QString(), QString(), side);
    }
    Chosen = pending_;
    accept();
  });
}
