// The individual-customer, corporate-customer and investor lists as their users keep them: adding,
// modifying the loaded record after a search, the required fields, deleting with the business
// guards, the literal mnemonic search, the mnemonic and key rules of the boxes, export and print.
#include <QCalendarWidget>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "PartyFixture.h"
#include "app/services/LoginState.h"
#include "output/frmPrint.h"
#include "parties/PartyData.h"
#include "parties/admin/frmDrExcel.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmTzr.h"
#include "platform/DateBox.h"

namespace {

class KhgrTest : public PartyFixture {
 protected:
  // Every required box filled, as a user types a new person.
  static void fillPerson(frmKhgr& w, const QString& name) {
    w.txtZX.at(0)->setText(name);
    w.txtZX.at(3)->setText(QStringLiteral("13912345678"));
    w.txtZX.at(5)->setText(QStringLiteral("320102199001011234"));
    w.txtZX.at(6)->setText(QStringLiteral("南京市玄武区中山路1号"));
    w.txtZX.at(8)->setText(QStringLiteral("工商银行"));
    w.txtZX.at(10)->setText(name);
    w.txtZX.at(13)->setText(QStringLiteral("6222020000000001"));
  }
};

TEST_F(KhgrTest, AddStoresTheBoxesWithStampAndMnemonicAndShowsTheNewRow) {
  const qint32 first = person(QStringLiteral("李四"), QStringLiteral("LS"));
  frmKhgr w;
  w.Form_Load();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("个人客户"));
  EXPECT_FALSE(w.Frame3->isEnabled()) << "opens in 浏览 with the frame disabled";
  EXPECT_EQ(listed(w), QList<qint32>{first});

  option(w, PartyListBase::optAdd);
  EXPECT_TRUE(w.Frame3->isEnabled());
  fillPerson(w, QStringLiteral("张三"));
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("ZS")) << "the mnemonic follows the name";
  w.txtZX.at(4)->setText(QStringLiteral("025-8888"));
  w.txtZX.at(9)->setText(QStringLiteral("良好"));
  w.txtZX.at(11)->setText(QStringLiteral("20万"));
  w.txtZX.at(12)->setText(QStringLiteral("住房一套"));
  w.Combo1->setCurrentText(QStringLiteral("个体户"));
  w.Combo2->setCurrentText(QStringLiteral("女"));
  w.dtpCs->setDateValue(QDate(1990, 1, 1));
  w.Check1->setChecked(true);
  confirm(w);

  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
  ASSERT_EQ(count(QStringLiteral("PJ_Kehu")), 2);
  const qint32 id = Db().scalar(QStringLiteral("select max(编号) from PJ_Kehu")).toInt();
  const QStringList cols = {"姓名", "助记符", "性别", "生日", "手机", "座机", "身份证号", "家庭住址", "职业", "开户行",
                            "开户名", "银行帐号", "健康状况", "不良贷款记录", "年收入", "资产描述", "建档人"};
  QStringList stored;
  for (const QString& c : cols) stored << column(QStringLiteral("PJ_Kehu"), c, id);
  EXPECT_EQ(stored, (QStringList{"张三", "ZS", "女", "1990-01-01", "13912345678", "025-8888", "320102199001011234",
                                 "南京市玄武区中山路1号", "个体户", "工商银行", "张三", "6222020000000001", "良好", "有",
                                 "20万", "住房一套", "管理员"}));

  EXPECT_EQ(listed(w), (QList<qint32>{first, id}));
  EXPECT_EQ(w.Fg->textMatrix(w.Fg->row(), 0), QString::number(id)) << "the new row is current";
  EXPECT_TRUE(w.optGn[PartyListBase::optAdd]->isChecked());
  EXPECT_FALSE(w.Frame3->isEnabled());

  // The next new person starts empty: no name, no birthday carried over, first combo items.
  option(w, PartyListBase::optAdd);
  EXPECT_TRUE(w.txtZX.at(0)->text().isEmpty());
  EXPECT_TRUE(w.dtpCs->isEmpty());
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("管理人员"));
  EXPECT_EQ(w.Combo2->currentText(), QStringLiteral("男"));
  EXPECT_FALSE(w.Check1->isChecked());
  fillPerson(w, QStringLiteral("王五"));
  confirm(w);
  const qint32 third = Db().scalar(QStringLiteral("select max(编号) from PJ_Kehu")).toInt();
  EXPECT_TRUE(Db().scalar(QStringLiteral("select 生日 from PJ_Kehu where 编号=?"), {third}).isNull());
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("不良贷款记录"), third), QStringLiteral("无"));
}

TEST_F(KhgrTest, ModifyAfterASearchReloadSavesTheLoadedRecordOnly) {
  const qint32 zs = person(QStringLiteral("张三"), QStringLiteral("ZS"));
  const qint32 ls = person(QStringLiteral("李四"), QStringLiteral("LS"));
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optModify);
  clickRow(w, zs);
  EXPECT_EQ(w.CurrentId, zs);
  EXPECT_EQ(w.txtZX.at(0)->text(), QStringLiteral("张三"));
  fillPerson(w, QStringLiteral("张三丰"));
  w.txtZX.at(1)->setText(QStringLiteral("ZSF"));

  // The search leaves 李四 as the grid's only and current row.
  w.txtCzxx->setText(QStringLiteral("ls"));
  ASSERT_EQ(listed(w), QList<qint32>{ls});
  confirm(w);

  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), zs), QStringLiteral("张三丰"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("助记符"), zs), QStringLiteral("ZSF"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), ls), QStringLiteral("李四"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("身份证号"), ls), QString());
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 2);
  EXPECT_TRUE(w.Frame3->isEnabled()) << "the frame stays enabled after a modify";
  EXPECT_EQ(w.txtZX.at(0)->text(), QStringLiteral("张三丰"));
  EXPECT_TRUE(w.txtCzxx->text().isEmpty()) << "the full list is back";
  EXPECT_EQ(w.Fg->textMatrix(w.Fg->row(), 0), QString::number(zs));
}

TEST_F(KhgrTest, ModifyWithNothingLoadedWritesNothing) {
  person(QStringLiteral("张三"), QStringLiteral("ZS"));
  frmKhgr w;
  w.Form_Load();
  w.txtCzxx->setText(QStringLiteral("QQ"));  // no match: nothing to load
  option(w, PartyListBase::optModify);
  fillPerson(w, QStringLiteral("赵六"));
  confirm(w);
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), 1), QStringLiteral("张三"));
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 1);
}

TEST_F(KhgrTest, EachEmptyRequiredFieldIsNamedMarkedAndNothingIsSaved) {
  const std::pair<int, QString> required[] = {{0, "姓名："},   {3, "手机："},   {5, "身份证号："}, {6, "家庭住址："},
                                              {8, "开户行："}, {10, "开户名："}, {13, "账号："}};
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  for (const auto& [box, caption] : required) {
    responder_.clear();
    fillPerson(w, QStringLiteral("张三"));
    w.txtZX.at(box)->clear();
    confirm(w);
    ASSERT_EQ(responder_.messages.size(), 1u) << caption.toStdString();
    EXPECT_EQ(responder_.messages[0].text, caption + QStringLiteral("不能为空！"));
    EXPECT_EQ(responder_.messages[0].style & 0x70, int(Mb::Critical));
    EXPECT_TRUE(marked(w.txtZX.at(box))) << caption.toStdString();
    EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 0) << caption.toStdString();
    // Typing into the box removes the mark.
    QTest::keyClicks(w.txtZX.at(box), QStringLiteral("1"));
    EXPECT_FALSE(marked(w.txtZX.at(box)));
  }
}

TEST_F(KhgrTest, MobileBoxKeepsDigitsAndDotsOnly) {
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  QTest::keyClicks(w.txtZX.at(3), QStringLiteral("139a-12.5 x8"));
  EXPECT_EQ(w.txtZX.at(3)->text(), QStringLiteral("13912.58"));
  QTest::keyClicks(w.txtZX.at(4), QStringLiteral("025-a"));
  EXPECT_EQ(w.txtZX.at(4)->text(), QStringLiteral("025-a")) << "the landline has no filter";
}

TEST_F(KhgrTest, EnterIsSwallowedAndMovesAlongTheChain) {
  frmKhgr w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  option(w, PartyListBase::optAdd);
  w.txtZX.at(8)->setFocus();
  QTest::keyClick(w.txtZX.at(8), Qt::Key_Return);
  EXPECT_TRUE(w.txtZX.at(10)->hasFocus()) << "开户行 to 开户名";
  w.txtZX.at(9)->setFocus();
  QTest::keyClick(w.txtZX.at(9), Qt::Key_Return);
  EXPECT_TRUE(w.Check1->hasFocus()) << "健康状况 to the check box";
  QTest::keyClick(w.txtZX.at(12), Qt::Key_Return);
  EXPECT_TRUE(w.isVisible()) << "Enter does not close the window";
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 0) << "nor confirm";
  w.close();
}

TEST_F(KhgrTest, LoadShowsStoredValuesKeepsUnlistedTextsAndEmptiesNulls) {
  const qint32 full = insertRow(QStringLiteral("PJ_Kehu"),
                                {"姓名", "助记符", "性别", "职业", "生日", "手机", "身份证号", "不良贷款记录"},
                                {"张三", "ZHANG", "M", "司机", "1980-02-29", "13800000000", "X1", "有"});
  // An imported row: only some columns hold values.
  const qint32 sparse = insertRow(QStringLiteral("PJ_Kehu"), {"姓名", "手机"}, {"李四", "13900000000"});
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optModify);
  clickRow(w, full);
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("ZHANG")) << "the stored mnemonic, not the initials";
  EXPECT_EQ(w.Combo2->currentText(), QStringLiteral("M"));
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("司机"));
  EXPECT_EQ(w.dtpCs->dateText(), QStringLiteral("1980-02-29"));
  EXPECT_TRUE(w.Check1->isChecked());
  // Every loaded text is shown from its start, however narrow its box.
  for (const auto& [index, box] : w.txtZX)
    if (!box->text().isEmpty()) EXPECT_EQ(box->cursorPosition(), 0) << box->objectName().toStdString();

  clickRow(w, sparse);
  EXPECT_EQ(w.CurrentId, sparse);
  EXPECT_TRUE(w.txtZX.at(5)->text().isEmpty()) << "no value of the person loaded before";
  EXPECT_TRUE(w.Combo2->currentText().isEmpty());
  EXPECT_TRUE(w.Combo1->currentText().isEmpty());
  EXPECT_TRUE(w.dtpCs->isEmpty());
  EXPECT_FALSE(w.Check1->isChecked());

  // Saving the first person unchanged keeps its texts that the lists do not offer.
  clickRow(w, full);
  w.txtZX.at(6)->setText(QStringLiteral("地址"));
  w.txtZX.at(8)->setText(QStringLiteral("银行"));
  w.txtZX.at(10)->setText(QStringLiteral("张三"));
  w.txtZX.at(13)->setText(QStringLiteral("1"));
  confirm(w);
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("性别"), full), QStringLiteral("M"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("职业"), full), QStringLiteral("司机"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("生日"), full), QStringLiteral("1980-02-29"));
}

TEST_F(KhgrTest, BirthdayMayStayUnknownAndIsShownBlank) {
  const qint32 id = insertRow(QStringLiteral("PJ_Kehu"), {"姓名", "生日"}, {"张三", "1990-01-01"});
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optModify);
  clickRow(w, id);
  ASSERT_EQ(w.dtpCs->text(), QStringLiteral("1990-01-01"));
  option(w, PartyListBase::optAdd);
  EXPECT_TRUE(w.dtpCs->text().isEmpty()) << "the box shows no date, not the last person's";
  EXPECT_TRUE(w.dtpCs->dateText().isEmpty());
  // Picking in the calendar the very day the box kept hidden fills it.
  emit w.dtpCs->calendarWidget()->clicked(QDate(1990, 1, 1));
  EXPECT_EQ(w.dtpCs->dateText(), QStringLiteral("1990-01-01"));
  EXPECT_EQ(w.dtpCs->text(), QStringLiteral("1990-01-01"));
  // Delete empties it again.
  QTest::keyClick(w.dtpCs, Qt::Key_Delete);
  EXPECT_TRUE(w.dtpCs->dateText().isEmpty());
  EXPECT_TRUE(w.dtpCs->text().isEmpty());
}

TEST_F(KhgrTest, SearchMatchesTheTypedTextLiterally) {
  const qint32 pct = person(QStringLiteral("百分"), QStringLiteral("A%B"));
  const qint32 plain = person(QStringLiteral("普通"), QStringLiteral("AXB"));
  const qint32 under = person(QStringLiteral("下划"), QStringLiteral("A_B"));
  const qint32 quote = person(QStringLiteral("O'Neil"), QStringLiteral("O'N"));
  const qint32 none = insertRow(QStringLiteral("PJ_Kehu"), {QStringLiteral("姓名")}, {QStringLiteral("导入的人")});
  frmKhgr w;
  w.Form_Load();
  EXPECT_EQ(listed(w), (QList<qint32>{pct, plain, under, quote, none}));
  w.txtCzxx->setText(QStringLiteral("%"));
  EXPECT_EQ(listed(w), QList<qint32>{pct});
  w.txtCzxx->setText(QStringLiteral("_"));
  EXPECT_EQ(listed(w), QList<qint32>{under});
  w.txtCzxx->setText(QStringLiteral("'"));
  EXPECT_EQ(listed(w), QList<qint32>{quote});
  w.txtCzxx->setText(QStringLiteral("xb"));
  EXPECT_EQ(listed(w), QList<qint32>{plain}) << "letters match in either case";
  w.txtCzxx->setText(QStringLiteral("none"));
  EXPECT_TRUE(listed(w).isEmpty());
  w.txtCzxx->clear();
  EXPECT_EQ(listed(w).size(), 5) << "an empty box lists everyone, also rows without a mnemonic";
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
}

TEST_F(KhgrTest, NameWithQuoteSavesAndIsFoundAsTyped) {
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  fillPerson(w, QStringLiteral("O'Brien张"));
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("OBRIENZ"));
  w.txtZX.at(6)->setText(QStringLiteral("10% 'A' 路"));
  confirm(w);
  const qint32 id = Db().scalar(QStringLiteral("select max(编号) from PJ_Kehu")).toInt();
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), id), QStringLiteral("O'Brien张"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu"), QStringLiteral("家庭住址"), id), QStringLiteral("10% 'A' 路"));
  w.txtCzxx->setText(QStringLiteral("brien"));
  EXPECT_EQ(listed(w), QList<qint32>{id});
  EXPECT_EQ(w.Fg->textMatrix(1, 1), QStringLiteral("O'Brien张"));
}

TEST_F(KhgrTest, DeleteAsksNamingTheRowAndDeletesByKey) {
  const qint32 a = person(QStringLiteral("张三"), QStringLiteral("ZS"));
  const qint32 b = person(QStringLiteral("李四"), QStringLiteral("LS"));
  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optDelete);
  w.Fg->setRow(rowOf(w, a));

  responder_.answer(Mb::No);
  confirm(w);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("张三")));
  EXPECT_EQ(responder_.messages[0].style, Mb::YesNo + Mb::Question);
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 2) << "No keeps the row";

  responder_.clear();
  responder_.answer(Mb::Yes);
  confirm(w);
  EXPECT_EQ(responder_.texts(), (QStringList{responder_.messages[0].text, QStringLiteral("删除成功！")}));
  EXPECT_EQ(listed(w), QList<qint32>{b});
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 1);
  EXPECT_FALSE(w.Frame3->isEnabled());

  // A grid without data rows deletes nothing and asks nothing.
  responder_.clear();
  w.txtCzxx->setText(QStringLiteral("QQQ"));
  confirm(w);
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), 1);
}

TEST_F(KhgrTest, BorrowersAndGuarantorsAreNotDeleted) {
  const qint32 borrower = person(QStringLiteral("借款人"), QStringLiteral("JKR"));
  const qint32 guarantor = person(QStringLiteral("保证人"), QStringLiteral("BZR"));
  const qint32 free = person(QStringLiteral("无业务"), QStringLiteral("WYW"));
  loan(QStringLiteral("个人"), borrower, QStringLiteral("%1,%2").arg(guarantor + 100).arg(guarantor));
  // A company loan whose key equals the free person's does not protect the person, nor do list
  // elements that only contain the key's digits.
  loan(QStringLiteral("企业"), free, QStringLiteral("%1%1,1%1").arg(free));
  EXPECT_TRUE(PartyHasBusiness(PartyKind::Person, borrower));
  EXPECT_TRUE(PartyHasBusiness(PartyKind::Person, guarantor));
  EXPECT_FALSE(PartyHasBusiness(PartyKind::Person, free));

  frmKhgr w;
  w.Form_Load();
  option(w, PartyListBase::optDelete);
  for (qint32 id : {borrower, guarantor}) {
    responder_.clear();
    responder_.answer(Mb::Yes);
    w.Fg->setRow(rowOf(w, id));
    confirm(w);
    EXPECT_EQ(responder_.texts().value(1), QStringLiteral("该客户已发生业务，程序拒绝删除！")) << id;
    EXPECT_EQ(responder_.messages.back().style & 0x70, int(Mb::Critical));
    EXPECT_FALSE(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), id).isEmpty()) << id;
  }
  responder_.answer(Mb::Yes);
  w.Fg->setRow(rowOf(w, free));
  w.Fg_DblClick();  // a double click in 删除 confirms too
  EXPECT_TRUE(column(QStringLiteral("PJ_Kehu"), QStringLiteral("姓名"), free).isEmpty());
  EXPECT_EQ(listed(w), (QList<qint32>{borrower, guarantor}));
}

TEST_F(KhgrTest, ExportWritesTheWorkbook) {
  person(QStringLiteral("张三"), QStringLiteral("ZS"));
  setNow(QDateTime(QDate(2024, 3, 5), QTime(9, 30, 7)));
  frmKhgr w;
  w.Form_Load();
  w.eCmdzx_Click(PartyListBase::cmdExport);
  const QString path = appDir() + QStringLiteral("报表/Khgr20240305093007.xlsx");
  EXPECT_TRUE(QFileInfo(path).size() > 0) << path.toStdString();
  ASSERT_FALSE(responder_.messages.empty());
  EXPECT_TRUE(responder_.messages.back().text.contains(QStringLiteral("Khgr20240305093007.xlsx")));
}

// Prints the window's list through the preview into a PDF and returns its text.
QString printedText(PartyListBase& w, ModalScript& modal, const QString& pdf) {
  modal.handlers.push_back([pdf](QDialog* d) {
    auto* preview = qobject_cast<frmPrint*>(d);
    EXPECT_NE(preview, nullptr);
    if (preview) EXPECT_TRUE(preview->PrintToPdf(pdf));
    return 0;
  });
  w.eCmdzx_Click(PartyListBase::cmdPrint);
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// ---- corporate customers

class KhgsTest : public PartyFixture {
 protected:
  static void fillCompany(frmKhgs& w, const QString& name) {
    w.txtZX.at(0)->setText(name);
    w.txtZX.at(2)->setText(QStringLiteral("王总"));
    w.txtZX.at(3)->setText(QStringLiteral("董事长"));
    w.txtZX.at(4)->setText(QStringLiteral("91320100MA1"));
    w.txtZX.at(5)->setText(QStringLiteral("南京市建邺区"));
  }
};

TEST_F(KhgsTest, AddStoresTheCompanyAndLeavesTheBoxesReadyForTheNext) {
  frmKhgs w;
  w.Form_Load();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("企业客户"));
  EXPECT_EQ(w.eCmdzx->at(0)->Caption(), QStringLiteral("确定(&R)"));
  option(w, PartyListBase::optAdd);
  fillCompany(w, QStringLiteral("金陵建设有限公司"));
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("JLJSYXGS"));
  w.txtZX.at(6)->setText(QStringLiteral("建设银行"));
  w.txtZX.at(7)->setText(QStringLiteral("金陵建设"));
  QTest::keyClicks(w.txtZX.at(8), QStringLiteral("62a27.0b1"));
  QTest::keyClicks(w.txtZX.at(9), QStringLiteral("138abc"));
  EXPECT_EQ(w.txtZX.at(8)->text(), QStringLiteral("6227.01")) << "letters dropped in 银行账号";
  EXPECT_EQ(w.txtZX.at(9)->text(), QStringLiteral("138abc")) << "letters kept in 手机号";
  w.Check1->setChecked(true);
  confirm(w);

  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
  const qint32 id = Db().scalar(QStringLiteral("select max(编号) from PJ_Kehu_Gs")).toInt();
  const QStringList cols = {"公司名称", "助记符", "法人姓名", "法人职务", "营业执照注册号", "住所地",
                            "开户行",   "开户名", "银行帐号", "不良贷款记录", "手机", "建档人"};
  QStringList stored;
  for (const QString& c : cols) stored << column(QStringLiteral("PJ_Kehu_Gs"), c, id);
  EXPECT_EQ(stored, (QStringList{"金陵建设有限公司", "JLJSYXGS", "王总", "董事长", "91320100MA1", "南京市建邺区", "建设银行",
                                 "金陵建设", "6227.01", "有", "138abc", "管理员"}));
  EXPECT_TRUE(w.optGn[PartyListBase::optAdd]->isChecked());
  EXPECT_TRUE(w.Frame3->isEnabled());
  EXPECT_TRUE(w.txtZX.at(0)->text().isEmpty());
  EXPECT_FALSE(w.Check1->isChecked());
}

TEST_F(KhgsTest, RequiredFieldsInOrder) {
  const std::pair<int, QString> required[] = {
      {0, "公司名称："}, {2, "法人姓名："}, {3, "法人职务："}, {4, "营业执照注册号："}, {5, "住所地："}};
  frmKhgs w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  for (const auto& [box, caption] : required) {
    responder_.clear();
    fillCompany(w, QStringLiteral("公司"));
    w.txtZX.at(box)->clear();
    confirm(w);
    EXPECT_EQ(responder_.texts(), QStringList{caption + QStringLiteral("不能为空！")});
    EXPECT_TRUE(marked(w.txtZX.at(box)));
  }
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu_Gs")), 0);
}

TEST_F(KhgsTest, RowClickUnderAddEditsThatRowInsteadOfCopyingIt) {
  const qint32 a = company(QStringLiteral("甲公司"), QStringLiteral("JGS"));
  const qint32 b = company(QStringLiteral("乙公司"), QStringLiteral("YGS"));
  frmKhgs w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  clickRow(w, b);
  EXPECT_TRUE(w.optGn[PartyListBase::optModify]->isChecked());
  EXPECT_EQ(w.txtZX.at(0)->text(), QStringLiteral("乙公司"));
  fillCompany(w, QStringLiteral("乙公司（新）"));
  confirm(w);
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu_Gs")), 2);
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu_Gs"), QStringLiteral("公司名称"), b), QStringLiteral("乙公司（新）"));
  EXPECT_EQ(column(QStringLiteral("PJ_Kehu_Gs"), QStringLiteral("公司名称"), a), QStringLiteral("甲公司"));
  EXPECT_TRUE(w.txtZX.at(0)->text().isEmpty()) << "emptied after a modify";
  EXPECT_EQ(w.CurrentId, 0);
}

TEST_F(KhgsTest, CompanyBorrowersAndGuaranteeCompaniesAreNotDeleted) {
  const qint32 borrower = company(QStringLiteral("借款公司"), QStringLiteral("JKGS"));
  const qint32 guarantee = company(QStringLiteral("担保公司"), QStringLiteral("DBGS"));
  const qint32 free = company(QStringLiteral("空闲公司"), QStringLiteral("KXGS"));
  loan(QStringLiteral("企业"), borrower, QStringLiteral("0"), QStringLiteral(",%1,").arg(guarantee));
  loan(QStringLiteral("个人"), free, QStringLiteral("%1").arg(free));  // a person's key, a person's list
  EXPECT_TRUE(PartyHasBusiness(PartyKind::Company, borrower));
  EXPECT_TRUE(PartyHasBusiness(PartyKind::Company, guarantee));
  EXPECT_FALSE(PartyHasBusiness(PartyKind::Company, free));

  frmKhgs w;
  w.Form_Load();
  option(w, PartyListBase::optDelete);
  responder_.answer(Mb::Yes);
  w.Fg->setRow(rowOf(w, guarantee));
  confirm(w);
  EXPECT_TRUE(responder_.saw(QStringLiteral("该客户已发生业务，程序拒绝删除！")));
  responder_.answer(Mb::Yes);
  w.Fg->setRow(rowOf(w, free));
  confirm(w);
  EXPECT_EQ(listed(w), (QList<qint32>{borrower, guarantee}));
}

// ---- investors

class TzrTest : public PartyFixture {};

TEST_F(TzrTest, AddKeepsTheSavedValuesAndModifySavesTheLoadedInvestor) {
  const qint32 other = investor(QStringLiteral("钱七"), QStringLiteral("QQ"));
  frmTzr w;
  w.Form_Load();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("投资人"));
  option(w, PartyListBase::optAdd);
  w.txtZX.at(0)->setText(QStringLiteral("孙八"));
  w.txtZX.at(4)->setText(QStringLiteral("110101199001010022"));
  w.txtZX.at(7)->setText(QStringLiteral("6222 0200 0000 0009"));
  w.Combo1->setCurrentText(QStringLiteral("未知"));
  confirm(w);
  const qint32 id = Db().scalar(QStringLiteral("select max(编号) from PJ_Gd")).toInt();
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("助记符"), id), QStringLiteral("SB"));
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("性别"), id), QStringLiteral("未知"));
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("银行账号"), id), QStringLiteral("6222 0200 0000 0009"));
  EXPECT_TRUE(w.optGn[PartyListBase::optAdd]->isChecked());
  EXPECT_TRUE(w.Frame3->isEnabled());
  EXPECT_EQ(w.txtZX.at(0)->text(), QStringLiteral("孙八")) << "the boxes keep the saved values";

  // Modify the new investor after a search has left only the other one in the grid.
  option(w, PartyListBase::optModify);
  clickRow(w, id);
  EXPECT_EQ(w.txtZX.at(7)->text(), QStringLiteral("6222 0200 0000 0009"));
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("未知"));
  w.txtZX.at(8)->setText(QStringLiteral("老客户"));
  w.txtCzxx->setText(QStringLiteral("QQ"));
  ASSERT_EQ(listed(w), QList<qint32>{other});
  confirm(w);
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("备注"), id), QStringLiteral("老客户"));
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("备注"), other), QString());
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("身份证号"), other), QStringLiteral("110101198001010011"));
}

TEST_F(TzrTest, RequiredCaptionsDifferBetweenAddAndModify) {
  const qint32 id = investor(QStringLiteral("周九"), QStringLiteral("ZJ"));
  frmTzr w;
  w.Form_Load();
  option(w, PartyListBase::optAdd);
  w.txtZX.at(0)->clear();
  confirm(w);
  w.txtZX.at(0)->setText(QStringLiteral("吴十"));
  w.txtZX.at(4)->clear();
  confirm(w);
  option(w, PartyListBase::optModify);
  clickRow(w, id);
  w.txtZX.at(0)->clear();
  confirm(w);
  w.txtZX.at(0)->setText(QStringLiteral("周九"));
  w.txtZX.at(4)->clear();
  confirm(w);
  EXPECT_EQ(responder_.texts(), (QStringList{"姓名不能为空！", "身份证号不能为空！", "姓名：不能为空！", "身份证号：不能为空！"}));
  EXPECT_TRUE(marked(w.txtZX.at(4)));
  EXPECT_EQ(count(QStringLiteral("PJ_Gd")), 1);
  EXPECT_EQ(column(QStringLiteral("PJ_Gd"), QStringLiteral("身份证号"), id), QStringLiteral("110101198001010011"));
}

TEST_F(TzrTest, MnemonicAlwaysShowsTheInitialsOfTheName) {
  const qint32 id = investor(QStringLiteral("郑十一"), QStringLiteral("OLD"));
  frmTzr w;
  w.Form_Load();
  option(w, PartyListBase::optModify);
  clickRow(w, id);
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("ZSY")) << "the initials, not the stored mnemonic";
  QTest::keyClicks(w.txtZX.at(1), QStringLiteral("X"));
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("ZSY"));
  w.txtZX.at(0)->setText(QStringLiteral("王二"));
  EXPECT_EQ(w.txtZX.at(1)->text(), QStringLiteral("WE"));
}

TEST_F(TzrTest, InvestorsAreGuardedByKeyNotByName) {
  const qint32 funded = investor(QStringLiteral("O'Hara"), QStringLiteral("OHARA"));
  const qint32 namesake = investor(QStringLiteral("同名"), QStringLiteral("TM"));
  financing(funded, QStringLiteral("旧名字"));     // renamed since: still protected
  financing(namesake + 100, QStringLiteral("同名"));  // someone else of the same name
  frmTzr w;
  w.Form_Load();
  option(w, PartyListBase::optDelete);
  responder_.answer(Mb::Yes);
  w.Fg->setRow(rowOf(w, funded));
  confirm(w);
  EXPECT_TRUE(responder_.messages.front().text.contains(QStringLiteral("O'Hara")));
  EXPECT_TRUE(responder_.saw(QStringLiteral("该客户已发生业务，程序拒绝删除！")));
  responder_.answer(Mb::Yes);
  w.Fg->setRow(rowOf(w, namesake));
  confirm(w);
  EXPECT_EQ(listed(w), QList<qint32>{funded});
}

// ---- what the three lists share

class AllListsTest : public PartyFixture {};

TEST_F(AllListsTest, ImportOpensTheImportWindowForTheListsKindAndShowsTheNewRows) {
  frmKhgr persons;
  frmKhgs companies;
  frmTzr investors;
  const std::pair<PartyListBase*, QString> lists[] = {
      {&persons, QStringLiteral("PJ_Kehu")}, {&companies, QStringLiteral("PJ_Kehu_Gs")}, {&investors, QStringLiteral("PJ_Gd")}};
  QList<int> kinds;
  for (const auto& [w, table] : lists) {
    w->Form_Load();
    modal_.handlers.push_back([&kinds, table = table](QDialog* d) {
      auto* import = qobject_cast<frmDrExcel*>(d);
      EXPECT_NE(import, nullptr);
      if (import) kinds << import->TargetKind;
      Db().Execute(QStringLiteral("insert into %1 (助记符) values ('NEW')").arg(table));  // what the import appends
      return 0;
    });
    w->eCmdzx_Click(PartyListBase::cmdImport);
    EXPECT_EQ(listed(*w).size(), 1) << table.toStdString();
  }
  EXPECT_EQ(kinds, (QList<int>{4, 5, 6}));
}

TEST_F(AllListsTest, PrintShowsEachListUnderTheCompanyName) {
  person(QStringLiteral("张三"), QStringLiteral("ZS"));
  company(QStringLiteral("金陵建设"), QStringLiteral("JLJS"));
  investor(QStringLiteral("冯十二"), QStringLiteral("FSE"));
  frmKhgr persons;
  frmKhgs companies;
  frmTzr investors;
  const std::tuple<PartyListBase*, QString, QString> lists[] = {
      {&persons, QStringLiteral("客户列表"), QStringLiteral("张三")},
      {&companies, QStringLiteral("客户列表"), QStringLiteral("金陵建设")},
      {&investors, QStringLiteral("投资人列表"), QStringLiteral("冯十二")}};
  for (const auto& [w, title, name] : lists) {
    w->Form_Load();
    const QString text = printedText(*w, modal_, dir_.filePath(w->objectName() + QStringLiteral(".pdf")));
    EXPECT_TRUE(text.contains(QStringLiteral("示范借贷有限公司") + title)) << text.toStdString();
    EXPECT_TRUE(text.contains(name)) << text.toStdString();
  }
}

}  // namespace
