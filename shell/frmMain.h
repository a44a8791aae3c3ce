#pragma once
// The main window: menus, toolbar and status bar from which every window of the program opens.
#include <QMainWindow>
#include <QMap>

class QAction;
class QLabel;
class StatusPanel;
class QTimer;
class ButtonArray;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  // Shows the window, then the login modally (the load of the main window).
  void Form_Load();
  // Caption, status bar and the menus that depend on the login and the settings.
  void 初始参数();
  // Starts the one-shot timer that shows the login time and the business reminder.
  void EnableTimer1();
  // The timer's work: status bar panel 2, the reminder, and the timer off.
  void Timer1_Timer();
  // Toolbar click by button index.
  void pbMnu_Click(int index);
  // Runs a menu command by its control name ("mnu_grkh", ...).
  void RunCommand(const QString& name);
  // Shows the login window again (also the toolbar's "锁定帐号").
  void ShowLogin();

  QAction* action(const QString& name) const { return actions_.value(name); }
  StatusPanel* panel(int number) const;  // status bar panels 1 to 3
  QTimer* timer1() const { return Timer1; }
  ButtonArray* toolbar() const { return pbMnu; }
  // The caption's version text: major.minor.revision of the build.
  static QString VersionText();

 private:
  struct Command {
    QString name;
    QString right;  // empty: no rights check
  };
  void buildMenus();
  void buildToolbar();
  void openWindow(const Command& c);
  // Shares the status bar's width among the three panels, so that none pushes the window wider.
  void fitStatusPanels();
  bool eventFilter(QObject* watched, QEvent* event) override;

  QMap<QString, QAction*> actions_;
  QList<Command> commands_;
  StatusPanel* panels_[3] = {nullptr, nullptr, nullptr};
  QTimer* Timer1 = nullptr;
  ButtonArray* pbMnu = nullptr;
};
