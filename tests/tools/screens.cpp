// vrn_screens OUTDIR: opens the program's windows on a copy of the shipped database and saves a
// picture of each into OUTDIR, so that layouts can be looked at without a desktop.
#include <QApplication>
#include <QCalendarWidget>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QThread>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QXmlStreamReader>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdio>

#include "shell/BusinessReminder.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmPass.h"
#include "app/data/DataAccess.h"
#include "parties/admin/frmDrExcel.h"
#include "parties/admin/frmKhdgl.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmTzr.h"
#include "parties/admin/frmSjys.h"
#include "parties/admin/frmXtsz.h"
#include "parties/admin/frmbackup.h"
#include "parties/frmAEDyg.h"
#include "parties/frmYg.h"
#include "parties/frmYhzh.h"
#include "parties/frmZxglb.h"
#include "platform/ChineseDesktop.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "app/services/Installation.h"
#include "app/services/SmsGateway.h"
#include "financing/FinancingData.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzZfmx.h"
#include "financing/frmRzZfrc.h"
#include "financing/frmRzdjB.h"
#include "loans/frmDkJh.h"
#include "loans/frmDkdjB.h"
#include "financing/frmRzjl.h"
#include "financing/frmRzzfqr.h"
#include "financing/frmrzZfjh.h"
#include "loans/LoanRecords.h"
#include "loans/frmCkrc.h"
#include "output/LoanContract.h"
#include "platform/ContractWriter.h"
#include "loans/frmDkck.h"
#include "loans/frmDkgh.h"
#include "loans/frmDkhk.h"
#include "loans/frmDkhkjl.h"
#include "loans/frmDkjl.h"
#include "loans/frmDktqhd.h"
#include "LocalHttpServer.h"
#include "output/frmPrint.h"
#include "output/frmTjDkbb.h"
#include "platform/Clock.h"
#include "platform/Grid.h"
#include "platform/MonthCalendar.h"

namespace {
QString g_out;

void save(QWidget* w, const QString& name) {
  w->show();
  QApplication::processEvents();
  QString path = g_out + QLatin1Char('/') + name + QStringLiteral(".png");
  w->grab().save(path);
  std::printf("%s\n", path.toUtf8().constData());
}

// Records of a busy business: amounts of twelve digits in every list, 19 financing documents due.
void fillBigBook() {
  const double big = 499999999.99;
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,手机) values ('欧阳大户','13800138000')"));
  Db().Execute(QStringLiteral("insert into PJ_Gd (姓名,手机) values ('诸葛投资','13700137000')"));
  const QString today = Clock::today().toString(QStringLiteral("yyyy-MM-dd"));
  for (int n = 1; n <= 19; ++n) {
    const QString d = QStringLiteral("D%1").arg(n, 3, 10, QLatin1Char('0')), c = QStringLiteral("C%1").arg(n, 3, 10, QLatin1Char('0'));
    if (n <= 3) {
      Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号,登记日期,客户性质,客户ID,客户名称,本金,利率类别,利率,利息,起息日期,止息日期,"
                                  "还款计划,业务经办,业务状态,结算状态,已还本金,已还利息) values (?,?,'个人',1,'欧阳大户',?,'月',1.5,?,?,?,"
                                  "'一次性还本付息','管理员','已审核','未还',?,?)"),
                   {d, today, big, big, today, today, big, big});
      Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,日期,本金,利息,手续费,还款状态,备注) values (?,1,?,?,?,?,'已还','按时归还')"),
                   {d, today + QStringLiteral(" 09:30:00"), big, big, big});
    }
    Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号,登记日期,客户ID,客户名称,拆借类别,本金,利率类别,利率,利息,起息日期,止息日期,支付计划,"
                                "业务经办,业务状态,结算状态,已付本金,待付本金,待付利息) values (?,?,1,'诸葛投资','外拆',?,'月',1,?,?,?,"
                                "'一次性支付本息','管理员','已审核','未付',0,?,?)"),
                 {c, today, big, big, today, today, big, big});
    Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,支付期次,拆借本金,应付本金,应付利息,已付本金,已付利息,结算状态,开始日期,约定支付日期,"
                                "计息天数,客户名称) values (?,1,?,?,?,0,0,'未付',?,?,30,'诸葛投资')"),
                 {c, big, big, big, today, today});
  }
}

// The pictures that go with the closing note: the lists with twelve-digit totals, the SMS refusals
// as the user sees them, and the 拆借日报 print as a PDF.
int closingShots(QWidget* main) {
  fillBigBook();
  frmDkjl loans(main);
  loans.resize(1200, 500);
  loans.Form_Load();
  save(&loans, QStringLiteral("list-loans-12-digits"));
  frmDkhkjl repayments(main);
  repayments.resize(1200, 500);
  repayments.Form_Load();
  save(&repayments, QStringLiteral("list-repayments-12-digits"));
  frmRzjl financing(main);
  financing.resize(1200, 760);
  financing.Form_Load();
  save(&financing, QStringLiteral("list-financing-12-digits"));

  SetModalHandler([](QDialog* d) {
    if (auto* p = qobject_cast<frmPrint*>(d)) p->PrintToPdf(g_out + QStringLiteral("/print-financing-daily.pdf"));
    return 0;
  });
  frmTjCjrb daily(main);
  daily.pbCTj_Click(2);

  LocalHttpServer gateway;
  gSmsGatewayServer = gateway.baseUrl();
  gSystemSettings[6] = QStringLiteral("acct");
  gSystemSettings[7] = QStringLiteral("pw");
  SetMessageHandler({});
  const auto boxShot = [](const QString& name) {
    QTimer::singleShot(400, [name] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        save(box, name);
        box->close();
      }
    });
  };
  gateway.answer(200, QStringLiteral("密码错误").toUtf8(), "text/html; charset=utf-8");
  boxShot(QStringLiteral("sms-refusal-utf8"));
  SendSmsMessage(QStringLiteral("尊敬的欧阳大户，您的借款已到期。"), QStringLiteral("13800138000"));
  boxShot(QStringLiteral("sms-emoji-refused"));
  SendSmsMessage(QStringLiteral("您好😀，您的借款已到期。"), QStringLiteral("13800138000"));
  gateway.answer(200, "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>", "text/html");
  boxShot(QStringLiteral("sms-gateway-page"));
  SendSmsMessage(QStringLiteral("尊敬的欧阳大户，您的借款已到期。"), QStringLiteral("13800138000"));
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  UseChineseDesktop();
  if (argc < 2) {
    std::fprintf(stderr, "usage: vrn_screens OUTDIR\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out);
  QTemporaryDir dir;
  SetAppDir(dir.path());
  QFile::copy(QStringLiteral(VRN_SHIPPED_DB), LocalDatabasePath());
  LoadDatabaseSettings();
  SetMessageHandler([](const MessageRequest& r) {
    std::printf("message: %s\n", r.text.toUtf8().constData());
    return int(Mb::Ok);
  });

  frmMain main;
  // The login window as it opens, then logged in as the reserved administrator.
  SetModalHandler([&](QDialog* d) {
    save(d, d->objectName());
    if (auto* login = qobject_cast<frmLogin*>(d)) {
      login->txtKl->setText(QStringLiteral("6173"));
      login->eButOK_Click();
    }
    return d->result();
  });
  main.resize(1200, 760);
  main.move(0, 0);  // placed here: the test screen is smaller than the window
  main.Form_Load();
  main.Timer1_Timer();
  if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("closing")) return closingShots(&main);
  save(&main, QStringLiteral("frmMain"));
  frmPass pass(&main);
  save(&pass, QStringLiteral("frmPass"));
  frmAbout about(&main);
  save(&about, QStringLiteral("frmAbout"));
  frmbackup backup(&main, 0);
  save(&backup, QStringLiteral("frmbackup"));
  frmbackup restore(&main, 1);
  save(&restore, QStringLiteral("frmbackup-restore"));
  gDatabaseType = 1;  // the note that the folder is the server's
  frmbackup serverBackup(&main, 0);
  gDatabaseType = 0;
  save(&serverBackup, QStringLiteral("frmbackup-server"));
  frmSjys compact(&main);
  save(&compact, QStringLiteral("frmSjys"));
  frmXtsz settings(&main);
  save(&settings, QStringLiteral("frmXtsz"));
  // The import window with a workbook of customers open and two fields bound.
  frmDrExcel import(&main);
  import.TargetKind = 4;
  import.Form_Load();
  import.OpenWorkbook(QStringLiteral(VRN_FIXTURES "/import/customers.xls"));
  import.eButton2_Click();
  import.eButton2_Click();
  save(&import, QStringLiteral("frmDrExcel"));
  // The same window with a customer list exported, edited in a spreadsheet program and saved as .xlsx.
  frmDrExcel importXlsx(&main);
  importXlsx.TargetKind = 4;
  importXlsx.Form_Load();
  importXlsx.OpenWorkbook(QStringLiteral(VRN_FIXTURES "/import/exported-customers.xlsx"));
  save(&importXlsx, QStringLiteral("frmDrExcel-xlsx"));
  Db().Execute(QStringLiteral("insert into PJ_Jq (机器ID,单位名称,客户端名称,主控权限,建账日期,参数) values (2,'示范借贷有限公司','前台收银','否','No','7')"));
  Db().Execute(QStringLiteral("insert into PJ_Jq (机器ID,单位名称,客户端名称,主控权限,建账日期,参数) values (3,'示范借贷有限公司城东分部','财务室','否','No','7')"));
  frmKhdgl workstations(&main);
  save(&workstations, QStringLiteral("frmKhdgl"));
  // Staff accounts with their editor, the lookup lists and the bank accounts.
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称,类别,代码,排序) values ('业务一部',9,40,2),('财务部',9,41,3)"));
  Db().Execute(QStringLiteral("insert into PJ_Admin (登录账号,登录密码,姓名,助记符,手机,科室,对应科室ID,账号级别,账号属性,锁定,模块权限,科室权限) values "
                              "('zhangsan','NjE3Mw==','张三','ZS','13800138000','业务一部',28,'公司管理员',1,'否','个人客户,企业客户,常用数值','业务一部'),"
                              "('lisi','NjE3Mw==','李四','LS','13900139000','财务部',29,'普通账户',0,'是','个人客户','财务部')"));
  frmYg staff(&main);
  save(&staff, QStringLiteral("frmYg"));
  frmAEDyg staffEditor(&main);
  staffEditor.EditMode = 1;
  staffEditor.AccountId = Db().scalar(QStringLiteral("select 编号 from PJ_Admin where 登录账号='zhangsan'")).toInt();
  save(&staffEditor, QStringLiteral("frmAEDyg"));
  staffEditor.SSTab1->setCurrentIndex(2);
  save(&staffEditor, QStringLiteral("frmAEDyg-rights"));
  frmZxglb lookups(&main);
  save(&lookups, QStringLiteral("frmZxglb"));
  Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values ('中国工商银行城东支行','示范借贷有限公司','6222020200112233445',0),"
                              "('中国农业银行营业部','示范借贷有限公司','6228480011223344',0)"));
  frmYhzh banks(&main);
  save(&banks, QStringLiteral("frmYhzh"));
  // Customers and investors: a person loaded for editing, the company picker, an investor.
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,助记符,性别,生日,手机,身份证号,家庭住址,职业,开户行,开户名,银行帐号,不良贷款记录) values "
                              "('张三','ZS','男','1985-06-01','13812345678','320102198506011234','南京市玄武区中山路100号','个体户','工商银行','张三','6222020000000001','无'),"
                              "('李四','LS','女','1990-03-15','13912345678','320102199003151234','南京市鼓楼区北京西路8号','职员','建设银行','李四','6227000000000002','有')"));
  Db().Execute(QStringLiteral("insert into PJ_Kehu_Gs (公司名称,助记符,法人姓名,法人职务,营业执照注册号,住所地,银行帐号,不良贷款记录,手机) values "
                              "('金陵建设有限公司','JLJSYXGS','王强','董事长','91320100MA1XYZ0001','南京市建邺区江东中路1号','6227000011112222','无','13900001111')"));
  Db().Execute(QStringLiteral("insert into PJ_Gd (姓名,助记符,性别,家庭住址,手机,身份证号,开户行,开户名,银行账号,备注) values "
                              "('赵敏','ZM','女','上海市浦东新区世纪大道2号','13700000000','310101198001010011','招商银行','赵敏','6225880000000000','老客户')"));
  frmKhgr persons(&main);
  save(&persons, QStringLiteral("frmKhgr"));
  persons.SelectOption(PartyListBase::optModify);
  save(&persons, QStringLiteral("frmKhgr-modify"));
  frmKhgs companies(&main);
  companies.PickMode = frmKhgs::PickBorrower;
  save(&companies, QStringLiteral("frmKhgs-pick"));
  frmTzr investors(&main);
  save(&investors, QStringLiteral("frmTzr"));
  // Financing: a registration with its plan, the list, the record view and the payment windows.
  gSystemSettings[5] = QStringLiteral("0");
  const qint32 investor = Db().scalar(QStringLiteral("select 编号 from PJ_Gd where 姓名='赵敏'")).toInt();
  frmRzdjB registration(&main);
  registration.Form_Load();
  registration.InvestorId = investor;
  registration.txtDkdj[2]->setText(QStringLiteral("赵敏"));
  registration.txtDkdj[3]->setText(QStringLiteral("管理员"));
  registration.txtDkdj[0]->setText(QStringLiteral("300000"));
  registration.txtDkdj[5]->setText(QStringLiteral("季度付息"));
  // Typed in after the fact: the plan dialogs open on the first date that follows from 起息日期.
  registration.dtpDjrq[0]->setDateValue(Clock::today().addDays(-40));
  registration.dtpDjrq[1]->setDateValue(Clock::today().addDays(-40));
  SetModalHandler([&](QDialog* d) {
    if (auto* plan = qobject_cast<frmrzZfjh*>(d)) {
      plan->Combo2->setCurrentIndex(5);
      save(d, d->objectName());
      plan->pbCommand1_Click();
    }
    if (qobject_cast<frmDkJh*>(d)) save(d, d->objectName());  // then closed
    return d->result();
  });
  registration.pbCDkdj_Click(btn等额本金后付);
  save(&registration, QStringLiteral("frmRzdjB"));
  {
    // A loan registration holding a plan it has not saved.
    frmDkdjB loan(&main);
    loan.Form_Load();
    loan.CustomerId = Db().scalar(QStringLiteral("select min(编号) from PJ_Kehu")).toInt();
    loan.取客户资料(false);
    loan.txtDkdj[6]->setText(QStringLiteral("管理员"));
    loan.dtpDjrq[0]->setDateValue(Clock::today().addDays(-40));
    loan.dtpDjrq[1]->setDateValue(Clock::today().addDays(-40));
    loan.dtpDjrq[2]->setDateValue(loan.dtpDjrq[1]->date().addDays(30));
    loan.comJkzl[1]->setCurrentIndex(1);
    loan.comJkzl_Click(1);
    loan.pbCDkdj_Click(LoanCalc::EqualPrincipalAhead);
    loan.pbCDkdj_Click(LoanCalc::OncePrepaid);
    save(&loan, QStringLiteral("frmDkdjB"));
  }
  registration.pbCDkgh_Click(0);
  const QString doc = registration.DocNo;
  frmRzjl list(&main);
  save(&list, QStringLiteral("frmRzjl"));
  frmRzLxzf view(&main);
  view.DocNo = doc;
  save(&view, QStringLiteral("frmRzLxzf"));
  const qint32 firstRow = Db().scalar(QStringLiteral("select min(编号) from PJ_Cjzfjh where 单号=?"), {doc}).toInt();
  frmRzzfqr confirm(&main);
  confirm.PlanRowId = firstRow;
  save(&confirm, QStringLiteral("frmRzzfqr"));
  frmRzTqzf early(&main);
  early.PlanRowId = firstRow;
  save(&early, QStringLiteral("frmRzTqzf"));
  early.Text1[0]->setText(QStringLiteral("20000"));
  early.归还总额();
  PaymentPosting post;
  post.planRowId = firstRow;
  post.date = Clock::today();
  post.本金 = 20000;
  post.利息 = 100;
  post.付款状态 = QStringLiteral("支付部分");
  post.early = true;
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  frmRzZfmx payments(&main);
  save(&payments, QStringLiteral("frmRzZfmx"));
  view.刷新约定();
  view.刷新支付();
  view.SSTab1->setCurrentIndex(1);
  save(&view, QStringLiteral("frmRzLxzf-after"));
  // Loans: two of 张三 and one of 金陵建设有限公司, with instalments around today.
  {
    const QDate t = Clock::today();
    const qint32 person = Db().scalar(QStringLiteral("select 编号 from PJ_Kehu where 姓名='张三'")).toInt();
    const qint32 company = Db().scalar(QStringLiteral("select 编号 from PJ_Kehu_Gs where 公司名称='金陵建设有限公司'")).toInt();
    struct L {
      const char* doc;
      const char* kind;
      qint32 id;
      const char* name;
      double amount;
      const char* approval;
    };
    const L loans[] = {{"D0010001" "20260101001", "个人", person, "张三", 100000, "已审核"},
                       {"D0010001" "20260102001", "企业", company, "金陵建设有限公司", 500000, "已审核"},
                       {"D0010001" "20260103001", "个人", person, "张三", 30000, "未审核"}};
    for (const L& l : loans) {
      const QString doc = QString::fromUtf8(l.doc);
      const QDate start = t.addMonths(-2);
      Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号,登记日期,客户性质,客户ID,客户名称,本金,利率类别,利率,逾期利率,日利率,逾期日利率,利息,计息天数,"
                                  "起息日期,止息日期,约定还款日期,还款计划,业务经办,保证人,担保企业,结算状态,业务状态,部门,操作员,贷款用途) "
                                  "values (?,?,?,?,?,?,'月',1.5,2.25,0.0005,0.00075,?,90,?,?,?,'等额本金 - 后付','管理员','0','0','未还',?,'综合部','管理员','经营周转')"),
                   {doc, DateText(t), QString::fromUtf8(l.kind), l.id, QString::fromUtf8(l.name), l.amount, l.amount * 0.045,
                    DateText(start), DateText(start.addMonths(3)), DateText(start.addMonths(3)), QString::fromUtf8(l.approval)});
      for (int k = 0; k < 3; ++k)
        Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号,还贷期次,贷款本金,应还本金,应还利息,归还状态,开始日期,约定归还日期,计息天数,客户名称) "
                                    "values (?,?,?,?,?,'未还',?,?,30,?)"),
                     {doc, k + 1, l.amount * (3 - k) / 3, l.amount / 3, l.amount * (3 - k) / 3 * 0.015, DateText(start.addMonths(k)),
                      DateText(start.addMonths(k + 1)), QString::fromUtf8(l.name)});
    }
    const QString first = QString::fromUtf8(loans[0].doc);
    const qint32 row1 = Db().scalar(QStringLiteral("select min(编号) from PJ_Hdjh where 单号=?"), {first}).toInt();
    RepaymentEntry e;
    e.planId = row1;
    e.principal = 33333.33;
    e.interest = 1500;
    e.status = QStringLiteral("已还");
    e.date = t.addMonths(-1);
    e.seen = ReadInstalmentRow(e.planId);
    SaveRepayment(e);
    Db().Execute(QStringLiteral("insert into PJ_Dxck (单号,内容) values (?,'电话已通知，答应月底前还款')"), {first});
    frmDkjl loanList(&main);
    loanList.resize(1400, 700);
    save(&loanList, QStringLiteral("frmDkjl"));
    frmDkhk loanView(&main);
    loanView.DocNo = first;
    save(&loanView, QStringLiteral("frmDkhk"));
    // The contract of a borrower lacking a birthday, as its text: no phrase stands without its value.
    {
      Db().Execute(QStringLiteral("update PJ_Kehu set 生日='' where 姓名='张三'"));
      const QString templates = QDir(gAppDir).filePath(QStringLiteral("template"));
      QDir().mkpath(templates);
      for (const char* name : {"gr.docx", "gs.docx"})
        QFile::copy(QStringLiteral(VRN_TEMPLATES "/") + QString::fromUtf8(name), templates + QLatin1Char('/') + QString::fromUtf8(name));
      SetOpenFileHandler([](const QString&) { return true; });
      const QString docx = GenerateLoanContract(first);
      QString text;
      for (const auto& [part, data] : ReadDocxParts(docx)) {
        if (part != QLatin1String("word/document.xml")) continue;
        QXmlStreamReader r(data);
        while (!r.atEnd()) {
          r.readNext();
          if (r.isStartElement() && r.name() == QLatin1String("t")) text += r.readElementText();
          if (r.isStartElement() && r.name() == QLatin1String("br")) text += QLatin1Char('\n');
          if (r.isEndElement() && r.name() == QLatin1String("p")) text += QLatin1Char('\n');
        }
      }
      QFile out(g_out + QStringLiteral("/contract-without-birthday.txt"));
      if (out.open(QIODevice::WriteOnly)) out.write(text.toUtf8());
      std::printf("%s\n", out.fileName().toUtf8().constData());
    }
    const qint32 row2 = Db().scalar(QStringLiteral("select min(编号) from PJ_Hdjh where 单号=? and 归还状态='未还'"), {first}).toInt();
    const qint32 row3 = Db().scalar(QStringLiteral("select max(编号) from PJ_Hdjh where 单号=?"), {first}).toInt();
    frmDkgh repay(&main);
    repay.PlanId = row2;
    save(&repay, QStringLiteral("frmDkgh"));
    frmDktqhd earlyRepay(&main);
    earlyRepay.PlanId = row3;
    save(&earlyRepay, QStringLiteral("frmDktqhd"));
    gSystemSettings[9] = QStringLiteral("1");
    frmDkck dunning(&main);
    dunning.DocNo = first;
    dunning.PlanId = row2;
    save(&dunning, QStringLiteral("frmDkck"));
    frmDkhkjl records(&main);
    records.comJd[0]->setCurrentIndex(4);
    records.comJd_Click(0);
    records.刷新();
    save(&records, QStringLiteral("frmDkhkjl"));
    // A busy day (seven instalments) and a day of three with the company's long name.
    const auto duePlanRow = [&](const L& l, int period, const QDate& due) {
      Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号,还贷期次,贷款本金,应还本金,应还利息,归还状态,开始日期,约定归还日期,计息天数,客户名称) "
                                  "values (?,?,?,?,?,'未还',?,?,30,?)"),
                   {QString::fromUtf8(l.doc), period, l.amount, 33333.34, 500 + period, DateText(due.addMonths(-1)), DateText(due),
                    QString::fromUtf8(l.name)});
    };
    const QDate busy = QDate(t.year(), t.month(), 1).addDays(15);
    for (int k = 0; k < 7; ++k) duePlanRow(loans[k % 2], 10 + k, busy);
    for (int k = 0; k < 3; ++k) duePlanRow(loans[(k + 1) % 2], 20 + k, busy.addDays(2));
    frmCkrc calendar(&main);
    save(&calendar, QStringLiteral("frmCkrc"));
  }
  {
    const QDate t = Clock::today();
    const QDate busy = QDate(t.year(), t.month(), 1).addDays(15);
    const char* const names[] = {"王投资", "华兴贸易有限公司第一分公司", "赵敏"};
    for (int k = 0; k < 9; ++k)
      Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,支付期次,客户名称,应付本金,应付利息,结算状态,约定支付日期) values (?,?,?,?,?,'未付',?)"),
                   {doc, 50 + k, QString::fromUtf8(names[k % 3]), 10000.0 * (k + 1), 240.5, DateText(k < 6 ? busy : busy.addDays(1))});
  }
  frmRzZfrc payCalendar(&main);
  save(&payCalendar, QStringLiteral("frmRzZfrc"));
  // A company name far wider than the window: the status bar cuts it, the window keeps its width.
  const QString unit = gUnitName;
  gUnitName = QString(30, QChar(0x501F)) + QStringLiteral("有限公司") + QString(250, QChar(0x8D37));
  main.初始参数();
  save(&main, QStringLiteral("frmMain-longname"));
  gUnitName = unit;
  main.初始参数();
  // The login when the database cannot be reached.
  gSettingsUnread = true;
  {
    frmLogin unconnected(&main);
    save(&unconnected, QStringLiteral("frmLogin-unconnected"));
  }
  gSettingsUnread = false;
  // Qt's own dialogs in Chinese: the choosers over a folder with a long file name, print, preview, calendar.
  {
    QFile f(dir.path() + QStringLiteral("/Databackup/二〇二六年十二月客户借款与还款明细表（城东分部财务室整理，供董事会季度审阅使用）.xlsx"));
    QDir().mkpath(dir.path() + QStringLiteral("/Databackup"));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(123456, 'x'));
  }
  SetModalHandler([](QDialog* d) {
    d->show();
    for (int i = 0; i < 30; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    save(d, d->objectName() + QStringLiteral("-") + QString::number(reinterpret_cast<quintptr>(d) % 1000));
    return int(QDialog::Rejected);
  });
  SetChooserHandler({});
  ChooseOpenFile(&main, QStringLiteral("恢复数据库"), QStringLiteral("数据库备份文件 (*.bak *.xlsx)"), dir.path() + QStringLiteral("/Databackup"));
  ChooseFolder(&main, QString(), dir.path());
  {
    QPrinter printer;
    QPrintDialog print(&printer, &main);
    save(&print, QStringLiteral("print-dialog"));
    QPrintPreviewDialog preview(&main);
    preview.resize(900, 600);
    save(&preview, QStringLiteral("print-preview"));
    DateBox date;
    date.calendarWidget()->resize(300, 220);
    save(date.calendarWidget(), QStringLiteral("datebox-calendar"));
  }
  // Real message boxes: a file no program opens; an unreachable SMS gateway.
  SetMessageHandler({});
  SetOpenFileHandler([](const QString&) { return false; });
  QTimer::singleShot(300, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      save(box, QStringLiteral("no-program"));
      box->close();
    }
  });
  OpenWithDesktop(dir.path() + QStringLiteral("/Databackup/二〇二六年十二月客户借款与还款明细表（城东分部财务室整理，供董事会季度审阅使用）.xlsx"));
  gSmsGatewayServer = QStringLiteral("http://127.0.0.1:9/");
  QTimer::singleShot(600, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      save(box, QStringLiteral("sms-unreachable"));
      box->close();
    }
  });
  SendSmsMessage(QStringLiteral("您好"), QStringLiteral("13900000000"));
  // The business reminder as the real message box shows it.
  SetMessageHandler({});
  gSystemSettings[12] = QStringLiteral("1");
  QTimer::singleShot(300, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      save(box, QStringLiteral("reminder"));
      box->close();
    }
  });
  ShowBusinessReminder();
  return 0;
}
