// Mouse, keyboard, focus and hover on a shown button: which events it raises and when it clicks.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "pbCommand.h"

namespace {

class ButtonInput : public ::testing::Test {
protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->resize(320, 120);
    b = new pbCommand(window.get());
    b->setGeometry(10, 10, 75, 23);
    b->setCaption(QStringLiteral("确定(&R)"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    clicks = std::make_unique<QSignalSpy>(b, &pbCommand::Click);
  }
  void click(Qt::MouseButton button, QPoint press, QPoint release) {
    QTest::mousePress(b, button, {}, press);
    QTest::mouseRelease(b, button, {}, release);
  }
  void activate() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  std::unique_ptr<QWidget> window;
  pbCommand* b = nullptr;
  std::unique_ptr<QSignalSpy> clicks;
};

}  // namespace

TEST_F(ButtonInput, LeftButtonClicksWhenReleasedOverTheButton) {
  QSignalSpy downs(b, &pbCommand::MouseDown), ups(b, &pbCommand::MouseUp);
  QTest::mousePress(b, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 10));
  EXPECT_EQ(b->lastState(), 2);  // drawn pressed
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(30, 12));
  EXPECT_EQ(clicks->count(), 1);
  ASSERT_EQ(downs.count(), 1);
  EXPECT_EQ(downs.at(0).at(0).toInt(), 1);  // left
  EXPECT_EQ(downs.at(0).at(1).toInt(), 1);  // Shift
  EXPECT_DOUBLE_EQ(downs.at(0).at(2).toDouble(), 20.0);
  EXPECT_EQ(ups.count(), 1);
  EXPECT_EQ(b->lastState(), 0);

  click(Qt::LeftButton, QPoint(20, 10), QPoint(200, 10));  // released beside it
  EXPECT_EQ(clicks->count(), 1);
  EXPECT_EQ(b->lastState(), 0);
}

TEST_F(ButtonInput, OtherButtonsAndDisabledButtonsDoNotClick) {
  QTest::mousePress(b, Qt::RightButton, {}, QPoint(20, 10));
  EXPECT_EQ(b->lastState(), 0);  // a right press is not drawn pressed
  QTest::mouseRelease(b, Qt::RightButton, {}, QPoint(20, 10));
  QTest::mousePress(b, Qt::MiddleButton, {}, QPoint(20, 10));
  EXPECT_EQ(b->lastState(), 2);  // a middle press is, but does not click
  QTest::mouseRelease(b, Qt::MiddleButton, {}, QPoint(20, 10));
  EXPECT_EQ(clicks->count(), 0);

  b->setEnabled(false);
  click(Qt::LeftButton, QPoint(20, 10), QPoint(20, 10));
  b->PerformClick();
  EXPECT_EQ(clicks->count(), 0);
  b->setEnabled(true);
  b->PerformClick();
  EXPECT_EQ(clicks->count(), 1);
}

TEST_F(ButtonInput, DoubleClickClicksTwice) {
  QSignalSpy downs(b, &pbCommand::MouseDown);
  // What a widget receives of a double click: press, release, double click, release.
  click(Qt::LeftButton, QPoint(20, 10), QPoint(20, 10));
  QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(b->lastState(), 2);
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(downs.count(), 2);
  EXPECT_EQ(clicks->count(), 2);
}

TEST_F(ButtonInput, SpaceClicksOnRelease) {
  QTest::keyPress(b, Qt::Key_Space);
  EXPECT_EQ(b->lastState(), 2);
  EXPECT_EQ(clicks->count(), 0);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(clicks->count(), 1);
  EXPECT_EQ(b->lastState(), 0);

  // A release without its press raises nothing; Enter does not click either.
  pbCommand other(window.get());
  QSignalSpy otherClicks(&other, &pbCommand::Click);
  QTest::keyRelease(&other, Qt::Key_Space);
  QTest::keyClick(&other, Qt::Key_Return);
  EXPECT_EQ(otherClicks.count(), 0);
}

TEST_F(ButtonInput, KeyHandlersCanChangeTheKey) {
  QList<int> pressed, released;
  QObject::connect(b, &pbCommand::KeyPress, b, [&pressed](int& ascii) { pressed << ascii; });
  QObject::connect(b, &pbCommand::KeyUp, b, [&released](int& code, int shift) { released << code << shift; });
  QObject::connect(b, &pbCommand::KeyDown, b, [](int& code, int) { if (code == 32) code = 0; });
  QTest::keyClick(b, ' ');
  EXPECT_EQ(clicks->count(), 0);  // the handler took the Space away
  EXPECT_EQ(pressed, QList<int>({32}));
  QTest::keyClick(b, Qt::Key_F2, Qt::ControlModifier);
  EXPECT_EQ(released, QList<int>({32, 0, 113, 2, 17, 0}));  // Windows key codes: F2 with Ctrl (2), then Ctrl
}

TEST_F(ButtonInput, CheckBoxBehaviourFlipsValueBeforeClick) {
  b->setCheckBoxBehaviour(true);
  QSignalSpy changes(b, &pbCommand::propertyChanged);
  QList<bool> seen;
  QObject::connect(b, &pbCommand::Click, b, [&] { seen << b->Value(); });
  click(Qt::LeftButton, QPoint(20, 10), QPoint(20, 10));
  EXPECT_EQ(b->lastState(), 2);  // stays drawn pressed while Value is True
  QTest::keyClick(b, Qt::Key_Space);
  b->PerformClick();
  EXPECT_EQ(seen, QList<bool>({true, false, true}));
  EXPECT_EQ(changes.count(), 0);  // not reported as a change of the design
}

TEST_F(ButtonInput, AccessKeyAndArrowKeys) {
  auto* second = new pbCommand(window.get());
  second->setGeometry(100, 10, 75, 23);
  auto* third = new pbCommand(window.get());
  third->setGeometry(190, 10, 75, 23);
  second->show();
  third->show();
  activate();
  b->setFocus();
  QTest::keyClick(b, Qt::Key_Right);
  EXPECT_TRUE(second->hasFocus());
  EXPECT_TRUE(second->hasFocusFlag());
  EXPECT_FALSE(b->hasFocusFlag());
  QTest::keyClick(second, Qt::Key_Down);
  EXPECT_TRUE(third->hasFocus());
  QTest::keyClick(third, Qt::Key_Up);
  EXPECT_TRUE(second->hasFocus());
  QTest::keyClick(second, Qt::Key_Left);
  EXPECT_TRUE(b->hasFocus());

  QTest::keyClick(third, Qt::Key_R, Qt::AltModifier);  // Alt+R anywhere in the window
  EXPECT_EQ(clicks->count(), 1);
  b->setCaption(QStringLiteral("确定"));
  QTest::keyClick(third, Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(clicks->count(), 1);
}

TEST_F(ButtonInput, HoverRaisesMouseOverOnceAndMouseOutWhenThePointerIsAway) {
  bool over = true;
  b->setPointerProbe([&over](const pbCommand*) { return over; });
  QSignalSpy overs(b, &pbCommand::MouseOver), outs(b, &pbCommand::MouseOut);
  QTest::mouseMove(b, QPoint(20, 10));
  QTest::mouseMove(b, QPoint(25, 11));
  EXPECT_EQ(overs.count(), 1);
  EXPECT_TRUE(b->isHovered());
  QTest::qWait(3 * pbCommand::kHoverInterval);
  EXPECT_EQ(outs.count(), 0);  // the pointer is still over it
  over = false;
  EXPECT_TRUE(outs.wait(1000));
  EXPECT_FALSE(b->isHovered());
  QTest::qWait(3 * pbCommand::kHoverInterval);
  EXPECT_EQ(outs.count(), 1);

  // A drag with the left button over it draws pressed and leaves the hover flag clear.
  over = true;
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 10));
  QTest::mouseMove(b, QPoint(22, 10));
  EXPECT_FALSE(b->isHovered());
  EXPECT_EQ(b->lastState(), 2);
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(22, 10));
  EXPECT_EQ(overs.count(), 1);
  QTest::mouseMove(b, QPoint(24, 10));
  EXPECT_EQ(overs.count(), 2);
}

TEST_F(ButtonInput, ClicksOutsideTheOvalDoNotReachIt) {
  b->setButtonType(pbCommand::OvalFlat);
  EXPECT_FALSE(b->mask().contains(QPoint(1, 1)));
  click(Qt::LeftButton, QPoint(1, 1), QPoint(1, 1));
  EXPECT_EQ(clicks->count(), 0);
  click(Qt::LeftButton, QPoint(37, 11), QPoint(37, 11));
  EXPECT_EQ(clicks->count(), 1);
}
