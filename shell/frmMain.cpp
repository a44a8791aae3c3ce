#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QWindow>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "shell/BusinessReminder.h"
#include "app/data/ConnectionSettings.h"
#include "app/services/BookStart.h"
#include "app/services/ErrorReport.h"
#include "app/services/Installation.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmPass.h"
#include "control/pbCommand.h"
#include "financing/frmRzLxzf.h"
#include "loans/LoanLinks.h"
#include "loans/frmCkrc.h"
#include "loans/frmDkhkjl.h"
#include "loans/frmDkjl.h"
#include "financing/frmRzZfmx.h"
#include "financing/frmRzZfrc.h"
#include "financing/FinancingLinks.h"
#include "financing/frmRzjl.h"
#include "output/LoanContract.h"
#include "output/MyFastReport.h"
#include "output/OutputLinks.h"
#include "loans/frmMenu.h"
#include "output/frmMsmFr.h"
#include "output/frmPrintFr3.h"
#include "output/frmMsm.h"
#include "output/frmTjDkbb.h"
#include "output/frmTjLs.h"
#include "output/frmTjZjrb.h"
#include "parties/admin/frmKhdgl.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmTzr.h"
#include "parties/admin/frmSjys.h"
#include "parties/admin/frmXtsz.h"
#include "parties/admin/frmbackup.h"
#include "parties/frmYg.h"
#include "parties/frmYhzh.h"
#include "parties/frmZxglb.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/StatusPanel.h"

namespace {
// The toolbar's buttons run these commands, by index.
const char* const kToolbarCommands[] = {"mnu_jddj", "mnu_ckrc", "mnu_hkjl", "mnu_cjrzdj", "mnu_zfrc", "mnu_zfmx",
                                        "mnu_dkrb", "mnu_cjrb", "mnu_zjrb", "tb_pass", "tb_lock"};
const char* const kToolbarCaptions[] = {"借贷登记", "催款日程", "回款明细", "拆借登记", "支付日程", "支付明细",
                                        "贷款日报", "拆借日报", "资金日报", "修改密码", "锁定帐号"};
const QStyle::StandardPixmap kToolbarIcons[] = {
    QStyle::SP_FileDialogNewFolder, QStyle::SP_FileDialogDetailedView, QStyle::SP_FileDialogListView,
    QStyle::SP_DirOpenIcon,         QStyle::SP_FileDialogContentsView, QStyle::SP_FileDialogInfoView,
    QStyle::SP_FileIcon,            QStyle::SP_FileLinkIcon,           QStyle::SP_DriveHDIcon,
    QStyle::SP_DialogResetButton,   QStyle::SP_BrowserStop};
}  // namespace

namespace {
// The windows that one subsystem's windows open in another, handed over here once.
void linkWindows() {
  gShowLoanPrint = [](QWidget* owner, int kind, const QString& key) { ShowDocumentPrint(owner, kind, key); };
  gPrintLoanList = [](QWidget* owner, const QString& sql, const QVariantList& params) {
    PrintListReport(QStringLiteral("JJ4.fr3"), QStringLiteral("贷款记录"), sql, params, owner);
  };
  gShowLoanSms = [](QWidget* owner, const QString& docNo) { ShowSmsNotice(owner, 1, docNo, 0); };
  gMakeLoanContract = [](const QString& docNo) { GenerateLoanContract(docNo); };
  // The collection calendar's popup opens a financing record with the list's own checks.
  gShowPaymentView = &OpenFinancingPaymentView;
  gShowLoanListFor = [](QWidget* owner, const QString& name) {
    frmDkjl w(owner);
    w.QueryMode = 1;
    w.QueryText = name;
    RunModal(&w);
  };
}

// The financing windows reach the printing, SMS and list windows, and the calendar and the daily
// report reach the financing windows, through the shell.
void linkFinancingWindows() {
  gShowFinancingPrint = [](QWidget* owner, int kind, const QString& key) { ShowDocumentPrint(owner, kind, key); };
  gPrintFinancingList = [](QWidget* owner, const QString& sql, const QVariantList& params) {
    PrintListReport(QStringLiteral("JJ6.fr3"), QStringLiteral("融资记录"), sql, params, owner);
  };
  gShowFinancingSms = [](QWidget* owner, int kind, const QString& docNo, qint32 recordId) {
    ShowSmsNotice(owner, kind, docNo, recordId);
  };
  gShowFinancingListFor = [](QWidget* owner, const QString& name) {
    frmRzjl list(owner);
    list.QueryMode = 1;
    list.QueryText = name;
    RunModal(&list);
  };
}
}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  linkFinancingWindows();
  setObjectName(QStringLiteral("frmMain"));
  linkWindows();
  // A document dated before the book start moved it back: the status bar says the new date.
  SetBookStartListener([this] { 初始参数(); });
  setWindowTitle(kAppTitle);
  resize(1200, 760);
  buildMenus();
  buildToolbar();

  auto* bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("SBar"));
  setStatusBar(bar);
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new StatusPanel(bar);
    panels_[i]->setObjectName(QStringLiteral("SBar_panel%1").arg(i + 1));
    panels_[i]->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(panels_[i]);
  }
  bar->installEventFilter(this);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

  // A plain, calm workspace behind the toolbar.
  auto* centre = new QLabel(this);
  centre->setObjectName(QStringLiteral("workspace"));
  centre->setAlignment(Qt::AlignCenter);
  centre->setStyleSheet(QStringLiteral("QLabel#workspace { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #EAF4F7, stop:1 #C9DDE6);"
                                       " color: #42627A; font-size: 28px; }"));
  centre->setText(QStringLiteral("Varnel民间借贷管理"));
  setCentralWidget(centre);
}

frmMain::~frmMain() { SetBookStartListener({}); }

void frmMain::buildMenus() {
  struct Item { const char* name; const char* caption; const char* right; };
  struct Menu { const char* name; const char* caption; std::vector<Item> items; };
  const std::vector<Menu> menus = {
      {"mnu_jbzl", "基本资料(&Q)",
       {{"mnu_xtsz", "系统设置(&X)", "系统设置"}, {"mnu_cysz", "常用数值(&S)", "常用数值"}, {"mnu_zhqx", "帐号权限(&A)", "帐号权限"},
        {"mnu_grkh", "个人客户(&F)", "个人客户"}, {"mnu_qykh", "企业客户(&Z)", "企业客户"}, {"mnu_tzr", "投资人(&C)", "投资人"},
        {"mnu_yhzh", "银行账号(&V)", ""}, {"mnu_khd", "客户端管理(&B)", "客户端管理"}, {"mnu_dxgl", "短信中心(&B)", ""}}},
      {"mnu_ywgl", "借贷业务(&E)",
       {{"mnu_jddj", "借贷登记/回款(&A)", "增加借贷登记"}, {"mnu_ckrc", "催款日程(&S)", "催款日程"}, {"mnu_hkjl", "回款明细(&D)", "回款明细"}}},
      {"mnu_rzyw", "拆借业务(&R)",
       {{"mnu_cjrzdj", "拆借登记/支付(&A)", "增加拆借记录"}, {"mnu_zfrc", "支付日程(&S)", "支付日程"}, {"mnu_zfmx", "支付明细(&D)", "支付明细"}}},
      {"mnu_tjcx", "统计查询(&T)",
       {{"mnu_dkrb", "贷款日报(&A)", "贷款日报"}, {"mnu_cjrb", "拆借日报(&S)", "拆借日报"}, {"mnu_zjrb", "资金日报(&D)", "资金日报"},
        {"mnu_lsz", "流水账(&F)", "流水账"}}},
      {"mnu_sjwh", "数据维护(&W)", {{"mnu_sjbf", "数据备份(&A)", "数据备份"}, {"mnu_sjhf", "数据恢复(&S)", "数据恢复"}, {"mnu_sjys", "数据压缩(&D)", ""}}},
      {"mnu_bz", "帮助(&Y)", {{"mnu_gy", "关于(&D)", ""}, {"mnu_yssp", "演示视频(&G)", ""}, {"mnu_jcgx", "检查新版本(&A)", ""}, {"mnu_end", "退出(&S)", ""}}},
  };
  for (const Menu& m : menus) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
    menu->setObjectName(QString::fromUtf8(m.name));
    for (const Item& it : m.items) {
      const QString name = QString::fromUtf8(it.name);
      QAction* a = menu->addAction(QString::fromUtf8(it.caption));
      a->setObjectName(name);
      actions_[name] = a;
      commands_.append({name, QString::fromUtf8(it.right)});
      connect(a, &QAction::triggered, this, [this, name] { RunCommand(name); });
    }
  }
  // The toolbar's own two commands.
  commands_.append({QStringLiteral("tb_pass"), QString()});
  commands_.append({QStringLiteral("tb_lock"), QString()});
}

void frmMain::buildToolbar() {
  auto* tb = new QToolBar(QStringLiteral("工具栏"), this);
  tb->setObjectName(QStringLiteral("toolbar"));
  tb->setMovable(false);
  tb->setStyleSheet(QStringLiteral("QToolBar { spacing: 4px; padding: 4px; }"));
  addToolBar(Qt::TopToolBarArea, tb);
  pbMnu = new ButtonArray(this);
  for (int i = 0; i < 11; ++i) {
    pbCommand* b = pbMnu->add(i, QString::fromUtf8(kToolbarCaptions[i]), tb);
    b->setObjectName(QStringLiteral("pbMnu_%1").arg(i));
    SetButtonPicture(b, style()->standardIcon(kToolbarIcons[i]).pixmap(24, 24).toImage());
    b->setMinimumSize(78, 56);
    tb->addWidget(b);
    if (i == 2 || i == 5 || i == 8) tb->addSeparator();
  }
  connect(pbMnu, &ButtonArray::clicked, this, [this](int index) { pbMnu_Click(index); });
}

StatusPanel* frmMain::panel(int number) const { return (number >= 1 && number <= 3) ? panels_[number - 1] : nullptr; }

QString frmMain::VersionText() {
  return QStringLiteral("%1.%2.%3").arg(VRN_VERSION_MAJOR).arg(VRN_VERSION_MINOR).arg(VRN_VERSION_PATCH);
}

void frmMain::Form_Load() {
  // The main window's load: nothing here may stop the program from reaching the login.
  try {
    // Placed by the program, not left to the window manager, so that the login (centred on this
    // window as it shows) finds the window where it will stay.
    if (!testAttribute(Qt::WA_Moved)) {
      const QRect screenArea = screen()->availableGeometry();
      resize(size().boundedTo(screenArea.size() - (frameGeometry().size() - size())));
      QRect frame = frameGeometry();
      frame.moveCenter(screenArea.center());
      // Wider or taller than a small screen: its title bar and left edge stay on the screen.
      move(std::max(frame.left(), screenArea.left()), std::max(frame.top(), screenArea.top()));
    }
    show();
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 1000)
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
    ShowLogin();
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
  }
}

void frmMain::ShowLogin() {
  frmLogin login(this);
  RunModal(&login);
}

void frmMain::初始参数() {
  setWindowTitle(kAppTitle + QStringLiteral(" V") + VersionText());
  const QString mode = gDatabaseType != 0 ? QStringLiteral("网络版") : QStringLiteral("单机版");
  const QDate book = ParseDateText(gBookStartDate);
  panels_[0]->setPanelText(QStringLiteral("软件使用单位：") + gUnitName + QStringLiteral(" 系统建账日期：") +
                           (book.isValid() ? ChineseDateText(book) : gBookStartDate) + QStringLiteral("  数据连接模式：") + mode);
  panels_[2]->setPanelText(Installation::kSupportText);
  fitStatusPanels();
  actions_[QStringLiteral("mnu_khd")]->setVisible(gDatabaseType == 1 && gCurrentUserRole == 3);
  actions_[QStringLiteral("mnu_dxgl")]->setVisible(SettingOn(9));
}

void frmMain::fitStatusPanels() {
  QStatusBar* bar = statusBar();
  // What the bar keeps for itself: its size grip, the gaps between panels and its margins.
  const int reserved = 44;
  const std::vector<int> widths = ShareWidths({panels_[0]->sizeHint().width(), panels_[1]->sizeHint().width(),
                                               panels_[2]->sizeHint().width()},
                                              bar->width() - reserved);
  for (int i = 0; i < 3; ++i) panels_[i]->setMaximumWidth(std::max(widths[i], panels_[i]->minimumSizeHint().width()));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::Resize) fitStatusPanels();
  return QMainWindow::eventFilter(watched, event);
}

void frmMain::EnableTimer1() { Timer1->start(); }

void frmMain::Timer1_Timer() {
  // Off first: the reminder's message box must not let the timer fire again meanwhile.
  Timer1->stop();
  Guarded(QString(), this, [this] {
    panels_[1]->setPanelText(QStringLiteral("登录时间：") + DateTimeText(Clock::now()) + QStringLiteral("  当前用户：") + gLoginAccount);
    fitStatusPanels();
    ShowBusinessReminder();
  });
}

void frmMain::pbMnu_Click(int index) {
  if (index < 0 || index > 10) return;
  RunCommand(QString::fromUtf8(kToolbarCommands[index]));
}

void frmMain::RunCommand(const QString& name) {
  for (const Command& c : commands_)
    if (c.name == name) {
      Guarded(QString(), this, [&] { openWindow(c); });
      return;
    }
}

namespace {
// Shows a window modally, owned by the main window.
template <class W>
void showWindow(frmMain* owner) {
  W w(owner);
  RunModal(&w);
}

// The windows the commands open, by command.
const QMap<QString, void (*)(frmMain*)> kWindows = {
    {QStringLiteral("mnu_gy"), &showWindow<frmAbout>},
    {QStringLiteral("mnu_sjbf"), [](frmMain* o) { frmbackup w(o, 0); RunModal(&w); }},
    {QStringLiteral("mnu_sjhf"), [](frmMain* o) { frmbackup w(o, 1); RunModal(&w); }},
    {QStringLiteral("mnu_sjys"), &showWindow<frmSjys>},
    {QStringLiteral("mnu_grkh"), &showWindow<frmKhgr>},
    {QStringLiteral("mnu_qykh"), &showWindow<frmKhgs>},
    {QStringLiteral("mnu_tzr"), &showWindow<frmTzr>},
    {QStringLiteral("mnu_xtsz"),
     [](frmMain* o) {
       frmXtsz w(o);
       w.onSaved = [o] { o->初始参数(); };
       RunModal(&w);
     }},
    {QStringLiteral("mnu_khd"), &showWindow<frmKhdgl>},
    {QStringLiteral("mnu_zhqx"), &showWindow<frmYg>},
    {QStringLiteral("mnu_cysz"), &showWindow<frmZxglb>},
    {QStringLiteral("mnu_yhzh"), &showWindow<frmYhzh>},
    {QStringLiteral("mnu_jddj"), &showWindow<frmDkjl>},
    {QStringLiteral("mnu_ckrc"), &showWindow<frmCkrc>},
    {QStringLiteral("mnu_hkjl"), &showWindow<frmDkhkjl>},
    {QStringLiteral("mnu_cjrzdj"), &showWindow<frmRzjl>},
    {QStringLiteral("mnu_zfmx"), &showWindow<frmRzZfmx>},
    {QStringLiteral("mnu_zfrc"), &showWindow<frmRzZfrc>},
    {QStringLiteral("mnu_dkrb"), &showWindow<frmTjDkbb>},
    {QStringLiteral("mnu_cjrb"), &showWindow<frmTjCjrb>},
    {QStringLiteral("mnu_zjrb"), &showWindow<frmTjZjrb>},
    {QStringLiteral("mnu_lsz"), &showWindow<frmTjLs>},
    {QStringLiteral("mnu_dxgl"), &showWindow<frmMsm>},
};
}  // namespace

void frmMain::openWindow(const Command& c) {
  if (!c.right.isEmpty() && !CheckUserRight(c.right)) return;
  const QString& n = c.name;
  if (n == QLatin1String("mnu_end")) {
    EndProgram();
  } else if (n == QLatin1String("tb_pass")) {
    auto* w = new frmPass(this);
    int r = RunModal(w);
    delete w;
    // After a successful change the user logs in again with the new password.
    if (r == QDialog::Accepted) ShowLogin();
  } else if (n == QLatin1String("tb_lock")) {
    ShowLogin();
  } else if (n == QLatin1String("mnu_jcgx")) {
    const QString updater = gAppDir + Installation::kUpdaterName;
    if (!QFileInfo(updater).isExecutable() || !QProcess::startDetached(updater, {}, gAppDir))
      MsgBox(QStringLiteral("没有找到升级程序，无法检查新版本。\r\n请与软件供应商联系获取新版本。"), Mb::Information);
  } else if (n == QLatin1String("mnu_yssp")) {
    OpenWithDesktop(Installation::kDemoVideoAddress);  // says so itself when nothing can open it
  } else if (auto open = kWindows.find(n); open != kWindows.end()) {
    open.value()(this);
  } else {
    // A command whose window is not part of this version yet.
    MsgBox(QStringLiteral("此功能尚未安装。"), Mb::Information);
  }
}
