// Text boxes hold no more than their column does on the server: typing stops at the length, a
// longer paste is refused and said, a longer stored text shows whole and is refused at the save
// only when the user edited it; every text box of the editing windows carries its column's length.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <memory>

#include "TestSupport.h"
#include "app/services/LoginState.h"
#include "app/services/TextLimits.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzdjB.h"
#include "loans/frmDkdjB.h"
#include "loans/frmDkgh.h"
#include "parties/admin/frmKhdgl.h"
#include "parties/admin/frmXtsz.h"
#include "parties/frmAEDyg.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmTzr.h"
#include "parties/frmYhzh.h"
#include "parties/frmZxglb.h"

namespace {

class TextLimitTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
  }
};

QString repeat(const char* s, int n) { return QString::fromUtf8(s).repeated(n); }

}  // namespace

TEST(TextLimits, ColumnLengthsComeFromTheSchema) {
  struct Case {
    const char* table;
    const char* column;
    int length;
  };
  for (const Case& c : {Case{"PJ_Dkjl", "备注", 255}, Case{"PJ_Kehu", "身份证号", 255}, Case{"PJ_Dkjl", "保证人", 0},
                        Case{"PJ_Dkjl", "借款金额", 0}, Case{"PJ_Dkjl", "登记日期", 0}, Case{"PJ_Dkjl", "没有这列", 0},
                        Case{"没有这表", "备注", 0}})
    EXPECT_EQ(TextColumnLength(QString::fromUtf8(c.table), QString::fromUtf8(c.column)), c.length) << c.table << "." << c.column;
}

TEST_F(TextLimitTest, TypingStopsAPasteIsSaidAndALoadedTextStaysWhole) {
  QWidget form;
  auto* box = new QLineEdit(&form);
  LimitTextBox(box, QStringLiteral("PJ_Dkjl"), QStringLiteral("备注"), QStringLiteral("备 注："));
  ASSERT_EQ(TextBoxLimit(box), 255);
  const QString said = QStringLiteral("备注不能超过255个字！");

  // Typing stops at the limit, without a word.
  box->setText(repeat("甲", 254));
  box->end(false);
  QTest::keyClicks(box, QStringLiteral("yz"));
  EXPECT_EQ(box->text(), repeat("甲", 254) + QStringLiteral("y"));
  QApplication::processEvents();
  EXPECT_TRUE(responder_.texts().isEmpty()) << responder_.texts().join('|').toStdString();
  EXPECT_TRUE(CheckTextLimits(&form));

  // A paste that would pass the limit is not taken, and said once the edit is over.
  box->setText(QStringLiteral("前"));
  box->setCursorPosition(1);
  box->insert(repeat("长", 300));
  EXPECT_EQ(box->text(), QStringLiteral("前"));
  QApplication::processEvents();
  EXPECT_EQ(responder_.texts(), QStringList{said});
  responder_.clear();

  // A stored text longer than the column shows whole; untouched, the save takes it as it is.
  const QString stored = repeat("存", 300);
  box->setText(stored);
  EXPECT_EQ(box->text(), stored);
  EXPECT_TRUE(CheckTextLimits(&form));
  // It can be shortened but not lengthened; edited and still too long, the save refuses it.
  box->end(false);
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(box->text().size(), 299);
  QTest::keyClick(box, Qt::Key_A);
  EXPECT_EQ(box->text().size(), 299);
  EXPECT_FALSE(CheckTextLimits(&form));
  EXPECT_EQ(responder_.texts(), QStringList{said});
  // The program setting the text again forgets the edit.
  box->setText(stored);
  EXPECT_TRUE(CheckTextLimits(&form));
}

TEST_F(TextLimitTest, EveryTypedTextBoxOfTheEditingWindowsCarriesItsColumnsLength) {
  struct Window {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    int limited;              // how many boxes it binds to text columns
    QStringList unbound = {};  // boxes bound to no text column: searches, passwords, settings items
  };
  const std::vector<Window> windows = {
      {"frmKhgr", [] { return std::make_unique<frmKhgr>(); }, 12, {QStringLiteral("txtCzxx")}},
      {"frmKhgs", [] { return std::make_unique<frmKhgs>(); }, 10, {QStringLiteral("txtCzxx")}},
      {"frmTzr", [] { return std::make_unique<frmTzr>(); }, 10, {QStringLiteral("txtCzxx")}},
      {"frmYhzh", [] { return std::make_unique<frmYhzh>(); }, 3},
      {"frmZxglb", [] { return std::make_unique<frmZxglb>(); }, 2},
      {"frmAEDyg", [] { return std::make_unique<frmAEDyg>(); }, 4, {QStringLiteral("txtQx_1")}},
      {"frmKhdgl", [] { return std::make_unique<frmKhdgl>(); }, 2},
      // The other boxes are items of the workstation's settings list, a text without a limit.
      {"frmXtsz", [] { return std::make_unique<frmXtsz>(nullptr); }, 1,
       {QStringLiteral("txt_1"), QStringLiteral("txt_2"), QStringLiteral("txt_3"), QStringLiteral("txt_4"), QStringLiteral("txt_5"),
        QStringLiteral("txt_6"), QStringLiteral("txt_7")}},
      {"frmDkdjB", [] { return std::make_unique<frmDkdjB>(); }, 5},
      {"frmRzdjB", [] { return std::make_unique<frmRzdjB>(); }, 1},
      {"frmDkgh", [] { return std::make_unique<frmDkgh>(); }, 1},
      {"frmRzTqzf", [] { return std::make_unique<frmRzTqzf>(); }, 1},
  };
  for (const Window& w : windows) {
    SCOPED_TRACE(w.name);
    const std::unique_ptr<QWidget> window = w.make();
    int limited = 0;
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
      const int limit = TextBoxLimit(box);
      if (limit > 0) {
        EXPECT_EQ(limit, 255) << box->objectName().toStdString();
        ++limited;
        continue;
      }
      // Amount, rate and date boxes take digits only; boxes the program fills are read-only.
      const bool free = !box->isReadOnly() && !box->validator() && box->objectName() != QLatin1String("qt_spinbox_lineedit");
      if (free && !w.unbound.contains(box->objectName()))
        ADD_FAILURE() << "no length: " << box->objectName().toStdString() << " in " << box->parent()->objectName().toStdString();
    }
    EXPECT_EQ(limited, w.limited);
  }
}
