// What Qt draws itself reads Chinese whatever LANG says: file, folder and print dialogs, the print
// preview, the text boxes' context menus and the date box's calendar; the choosers list whole names.
#include <QAbstractButton>
#include <QAction>
#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

#include "TestSupport.h"
#include "platform/ChineseDesktop.h"
#include "platform/DateBox.h"

namespace {
// Every text a user reads on the window: its title, labels, buttons, group and tab captions, menu and
// toolbar actions with their tooltips, list headers. Item texts (file names, printer names) are data.
QStringList visibleTexts(QWidget* root) {
  QStringList out{root->windowTitle()};
  for (auto* l : root->findChildren<QLabel*>()) out << l->text();
  for (auto* b : root->findChildren<QAbstractButton*>()) out << b->text() << b->toolTip();
  for (auto* g : root->findChildren<QGroupBox*>()) out << g->title();
  for (auto* t : root->findChildren<QTabWidget*>())
    for (int i = 0; i < t->count(); ++i) out << t->tabText(i);
  for (auto* a : root->findChildren<QAction*>()) out << a->text() << a->toolTip();
  for (auto* h : root->findChildren<QHeaderView*>()) {
    if (!h->model()) continue;
    for (int i = 0; i < h->count(); ++i) out << h->model()->headerData(i, h->orientation()).toString();
  }
  return out;
}

// The texts holding an English word; accelerators ("&U") and the few names that stay as they are
// in Chinese Windows too (PDF, Esc) do not count.
QStringList english(const QStringList& texts) {
  static const QRegularExpression accelerator(QStringLiteral("&[A-Za-z]"));
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
  static const QRegularExpression allowed(QStringLiteral("\\b(PDF|Esc|Ctrl|Shift|Alt|Del)\\b"));
  QStringList out;
  for (const QString& t : texts) {
    QString s = t;
    s.remove(accelerator).remove(allowed);
    if (s.contains(word)) out << t;
  }
  out.removeDuplicates();
  return out;
}

bool hasChinese(const QStringList& texts) {
  for (const QString& t : texts)
    for (QChar c : t)
      if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  return false;
}

// An empty file at `path`; returns the path.
QString emptyFile(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  return path;
}

QStringList menuTexts(const QMenu& menu) {
  QStringList out;
  for (QAction* a : menu.actions())
    if (!a->isSeparator()) out << a->text();
  return out;
}

class ChineseDesktopTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetChooserHandler({});  // the real choosers, answered through the modal handler
  }
};
}  // namespace

TEST(ChineseDesktop, TranslationsAndLocaleAreChineseWhateverLang) {
  // The test main starts the desktop as the program's main does; nothing here sets it again.
  ASSERT_EQ(qgetenv("LANG"), QByteArray("C.UTF-8"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("打开(&O)")) << "qt6-translations-l10n is installed by scripts/setup";
  EXPECT_EQ(QLocale().language(), QLocale::Chinese);
  EXPECT_EQ(QLocale().territory(), QLocale::China);
  EXPECT_EQ(QLocale().monthName(12), QStringLiteral("十二月"));
  EXPECT_EQ(QLocale().toString(1234.5, 'f', 2), QStringLiteral("1,234.50"));
  // A second start changes nothing.
  EXPECT_TRUE(UseChineseDesktop());
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("打开(&O)"));
}

TEST_F(ChineseDesktopTest, FileAndFolderChoosersSpeakChineseAndAnswerWithThePath) {
  QTemporaryDir dir;
  const QString file = emptyFile(dir.path() + QStringLiteral("/备份.bak"));
  struct Case {
    const char* name;
    std::function<QString()> choose;
    QString title;  // expected window title
    QFileDialog::AcceptMode accept;
    QString answer;  // what the dialog's user picks
  };
  const Case cases[] = {
      {"open", [&] { return ChooseOpenFile(nullptr, QStringLiteral("恢复数据库"), QStringLiteral("数据库备份文件 (*.bak)"), dir.path()); },
       QStringLiteral("恢复数据库"), QFileDialog::AcceptOpen, file},
      {"open without caption", [&] { return ChooseOpenFile(nullptr, QString(), QString(), dir.path()); }, QStringLiteral("打开文件"),
       QFileDialog::AcceptOpen, file},
      {"save", [&] { return ChooseSaveFile(nullptr, QString(), QStringLiteral("Excel工作簿 (*.xlsx)"), dir.path()); },
       QStringLiteral("保存文件"), QFileDialog::AcceptSave, dir.path() + QStringLiteral("/新文件.xlsx")},
      {"folder", [&] { return ChooseFolder(nullptr, QString(), dir.path()); }, QStringLiteral("选择文件夹"), QFileDialog::AcceptOpen,
       dir.path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    modal_.handlers.push_back([&](QDialog* d) {
      auto* fd = qobject_cast<QFileDialog*>(d);
      EXPECT_NE(fd, nullptr);
      if (!fd) return int(QDialog::Rejected);
      fd->show();
      QApplication::processEvents();
      EXPECT_EQ(fd->windowTitle(), c.title);
      EXPECT_EQ(fd->acceptMode(), c.accept);
      EXPECT_TRUE(fd->testOption(QFileDialog::DontUseNativeDialog));
      EXPECT_EQ(fd->viewMode(), QFileDialog::Detail);
      const QStringList texts = visibleTexts(fd);
      EXPECT_TRUE(hasChinese(texts));
      EXPECT_EQ(english(texts).join(" | ").toStdString(), "") << "English left in the dialog";
      // The user types the name (or stays in the folder) and presses the dialog's OK.
      auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      EXPECT_NE(name, nullptr);
      if (!name) return int(QDialog::Rejected);
      if (QFileInfo(c.answer).isDir()) {
        fd->setDirectory(c.answer);
        name->clear();
      } else {
        name->setText(c.answer);
      }
      QMetaObject::invokeMethod(fd, "accept");
      return fd->result();
    });
    EXPECT_EQ(QDir::cleanPath(c.choose()).toStdString(), QDir::cleanPath(c.answer).toStdString());
  }
  // A cancelled dialog answers nothing.
  modal_.handlers.push_back([](QDialog* d) { d->reject(); return d->result(); });
  EXPECT_EQ(ChooseOpenFile(nullptr, QString(), QString(), dir.path()), QString());
}

TEST_F(ChineseDesktopTest, FileListsShowWholeNamesSizesTypesAndDates) {
  QTemporaryDir dir;
  // Wider than the dialog itself.
  const QString name = QStringLiteral("二〇二六年十二月客户借款与还款明细表（城东分部财务室整理，供董事会季度审阅使用，含逾期客户催收记录与担保企业代偿情况说明）.xlsx");
  {
    QFile f(dir.path() + QLatin1Char('/') + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(123456, 'x'));
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Databackup")));
  // First on the test's empty profile, as a new user sees it; then after a dialog left its state.
  for (const bool remembered : {false, true}) {
    SCOPED_TRACE(remembered ? "remembered view" : "first run");
    if (remembered) {
      // Qt's dialogs remember the last user's view and column widths (in the profile, when they
      // close); the chooser shows the whole detail list whatever that was, and on a first run too.
      QFileDialog previous;
      previous.setOption(QFileDialog::DontUseNativeDialog);
      previous.setViewMode(QFileDialog::List);
      if (auto* list = previous.findChild<QTreeView*>(QStringLiteral("treeView"))) list->header()->resizeSection(0, 100);
    }
    modal_.handlers.push_back([&](QDialog* d) {
      auto* fd = qobject_cast<QFileDialog*>(d);
      auto* list = fd ? fd->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
      EXPECT_NE(list, nullptr);
      if (!list) return int(QDialog::Rejected);
      fd->show();
      EXPECT_TRUE(list->isVisible()) << "the detail list is the one shown";
      QAbstractItemModel* model = list->model();
      EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(list->rootIndex()) == 2; }, 5000));
      QApplication::processEvents();
      const QFontMetrics fm(list->font());
      for (int row = 0; row < 2; ++row) {
        const auto cell = [&](int column) { return model->index(row, column, list->rootIndex()).data().toString(); };
        const bool folder = cell(0) == QStringLiteral("Databackup");
        SCOPED_TRACE(cell(0).toStdString());
        if (!folder) {
          EXPECT_EQ(cell(0), name);
          EXPECT_TRUE(cell(1).contains(QRegularExpression(QStringLiteral("^120[.,]\\d+ ?Ki?B$")))) << cell(1).toStdString();
        } else {
          EXPECT_EQ(cell(2), QStringLiteral("文件夹"));
        }
        EXPECT_TRUE(hasChinese({cell(2)})) << cell(2).toStdString();
        EXPECT_TRUE(QDateTime::fromString(cell(3), QStringLiteral("yyyy-MM-dd HH:mm")).isValid()) << cell(3).toStdString();
        // Every column is as wide as its text: nothing is cut.
        const int icon = list->iconSize().width();
        for (int column = 0; column < 4; ++column)
          EXPECT_GE(list->header()->sectionSize(column), fm.horizontalAdvance(cell(column)) + (column == 0 ? icon : 0)) << "column " << column;
      }
      return int(QDialog::Rejected);
    });
    ChooseOpenFile(nullptr, QString(), QString(), dir.path());
    EXPECT_TRUE(modal_.handlers.empty());
  }
}

TEST(ChineseDesktop, PrintDialogAndPreviewSpeakChinese) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog print(&printer);
  print.show();
  QApplication::processEvents();
  QStringList texts = visibleTexts(&print);
  EXPECT_TRUE(hasChinese(texts));
  EXPECT_EQ(english(texts).join(QStringLiteral(" | ")).toStdString(), "");

  QPrintPreviewDialog preview;
  preview.show();
  QApplication::processEvents();
  texts = visibleTexts(&preview);
  EXPECT_TRUE(hasChinese(texts));
  EXPECT_EQ(english(texts).join(QStringLiteral(" | ")).toStdString(), "");
}

TEST(ChineseDesktop, DateBoxCalendarAndContextMenusSpeakChinese) {
  DateBox box;
  box.setDateValue(QDate(2026, 12, 9));
  QCalendarWidget* calendar = box.calendarWidget();
  auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
  ASSERT_NE(month, nullptr);
  EXPECT_EQ(month->text(), QStringLiteral("十二月"));
  auto* days = calendar->findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview"));
  ASSERT_NE(days, nullptr);
  QStringList heads;
  for (int c = 0; c < days->model()->columnCount(); ++c) heads << days->model()->index(0, c).data().toString();
  EXPECT_TRUE(heads.contains(QStringLiteral("周一"))) << heads.join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(english(heads + visibleTexts(calendar)).join(QStringLiteral(" | ")).toStdString(), "");

  // The context menus of a text box and of the date box's own text.
  QLineEdit text;
  std::unique_ptr<QMenu> menu(text.createStandardContextMenu());
  QStringList items = menuTexts(*menu);
  EXPECT_TRUE(items.contains(QStringLiteral("全选")) || hasChinese(items)) << items.join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(english(items).join(QStringLiteral(" | ")).toStdString(), "");
  std::unique_ptr<QMenu> dateMenu(box.findChild<QLineEdit*>()->createStandardContextMenu());
  items = menuTexts(*dateMenu);
  EXPECT_TRUE(hasChinese(items));
  EXPECT_EQ(english(items).join(QStringLiteral(" | ")).toStdString(), "");
}

TEST_F(ChineseDesktopTest, OpeningAFileNothingCanOpenSaysSo) {
  QTemporaryDir dir;
  const QString workbook = emptyFile(dir.path() + QStringLiteral("/客户列表20240305070809.xlsx"));
  struct Case {
    const char* name;
    QString path;
    bool programFound;  // what the desktop's opener answers
    bool opened;
    QString message;    // the start of the message, "" for none
    bool openerAsked;
  };
  const QString web = QStringLiteral("https://www.varnel.example/video/");
  const Case cases[] = {
      {"a workbook with a program", workbook, true, true, QString(), true},
      {"a workbook without one", workbook, false, false, QStringLiteral("本机没有可以打开这个文件的程序。"), true},
      {"a file that is gone", dir.path() + QStringLiteral("/已删除.xlsx"), true, false, QStringLiteral("找不到文件"), false},
      {"an address with a browser", web, true, true, QString(), true},
      {"an address without one", web, false, false, QStringLiteral("本机没有可以打开网址的浏览器。"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    responder_.clear();
    QStringList asked;
    SetOpenFileHandler([&](const QString& p) {
      asked << p;
      return c.programFound;
    });
    EXPECT_EQ(OpenWithDesktop(c.path), c.opened);
    EXPECT_EQ(asked, c.openerAsked ? QStringList{c.path} : QStringList());
    if (c.message.isEmpty()) {
      EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(" | ").toStdString();
      continue;
    }
    ASSERT_EQ(responder_.messages.size(), 1u);
    const MessageRequest& m = responder_.messages[0];
    EXPECT_TRUE(m.text.startsWith(c.message)) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QDir::toNativeSeparators(c.path))) << "says which file or address";
    EXPECT_EQ(m.style, int(Mb::Exclamation));
  }
}
