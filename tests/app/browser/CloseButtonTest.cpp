// The small close button of a browser tab's strip: its images follow the
// mouse, and a click that only activates its window does not press it.

#include "browser/ZPHCloseButton.h"
#include "support/ZPHTestSupport.h"

#include <QtGui/QPixmap>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

namespace {

QIcon coloured(Qt::GlobalColor colour)
{
  QPixmap pixmap(16, 16);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

bool shows(const ZPHCloseButton& button, const QIcon& image)
{
  return button.shownImage().cacheKey() == image.cacheKey();
}

// A window holding a close button with its three images.
struct ButtonWindow {
  QWidget window;
  ZPHCloseButton* button = new ZPHCloseButton(&window);
  QIcon real = coloured(Qt::gray);
  QIcon mouseOver = coloured(Qt::darkGray);
  QIcon pressed = coloured(Qt::black);

  ButtonWindow()
  {
    window.resize(120, 80);
    button->move(40, 30);
    button->setRealImage(real);
    button->setMouseOverImage(mouseOver);
    button->setPressedImage(pressed);
  }
  bool activate()
  {
    window.show();
    QApplication::setActiveWindow(&window);
    return ZPHTestWaitUntil(
        [&] { return window.isActiveWindow() && QGuiApplication::applicationState() == Qt::ApplicationActive; });
  }
  void moveMouseTo(const QPoint& inWindow) { QTest::mouseMove(window.windowHandle(), inWindow); }
};

}  // namespace

TEST(CloseButton, TheMouseOverImageShowsWhileTheMouseIsOverTheButton)
{
  ButtonWindow w;
  ASSERT_TRUE(w.activate());
  EXPECT_TRUE(shows(*w.button, w.real));
  w.moveMouseTo(QPoint(5, 5));
  w.moveMouseTo(w.button->geometry().center());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shows(*w.button, w.mouseOver); }));
  // Pressed, then released over it: the pressed image, then the mouse-over one.
  QTest::mousePress(w.window.windowHandle(), Qt::LeftButton, {}, w.button->geometry().center());
  EXPECT_TRUE(shows(*w.button, w.pressed));
  QTest::mouseRelease(w.window.windowHandle(), Qt::LeftButton, {}, w.button->geometry().center());
  EXPECT_TRUE(shows(*w.button, w.mouseOver));
  w.moveMouseTo(QPoint(5, 5));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shows(*w.button, w.real); }));

  // The region follows the button when it moves and grows.
  w.button->setFixedSize(40, 40);
  w.button->move(70, 20);
  w.moveMouseTo(QPoint(105, 55));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shows(*w.button, w.mouseOver); }));
  w.moveMouseTo(QPoint(50, 40));  // where the button was
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shows(*w.button, w.real); }));

  // Without a mouse-over image the button keeps its own.
  w.button->setMouseOverImage(QIcon());
  w.moveMouseTo(w.button->geometry().center());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return w.button->underMouse(); }));
  EXPECT_TRUE(shows(*w.button, w.real));
}

TEST(CloseButton, TheFirstClickIntoAnInactiveWindowOnlyActivatesIt)
{
  ButtonWindow w;
  QSignalSpy clicks(w.button, &QAbstractButton::clicked);
  ASSERT_TRUE(w.activate());
  QWidget other;
  other.resize(100, 100);
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return other.isActiveWindow() && !w.window.isActiveWindow(); }));

  QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.button->geometry().center());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return w.window.isActiveWindow(); }));
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_FALSE(w.button->isDown());
  EXPECT_FALSE(shows(*w.button, w.pressed));

  // Now that the window is active, a click presses it.
  QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.button->geometry().center());
  EXPECT_EQ(clicks.count(), 1);
}
