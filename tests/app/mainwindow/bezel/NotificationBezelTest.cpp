#include "kit/ZPHManualClock.h"
#include "kit/ZPHNamedImage.h"
#include "mainwindow/bezel/ZPHNotificationBezelContentView.h"
#include "mainwindow/bezel/ZPHNotificationBezelImageView.h"
#include "mainwindow/bezel/ZPHNotificationBezelTextField.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindowController.h"
#include "support/ZPHTestSupport.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace {

// A main window with a text field and a button under where the bezel goes.
class NotificationBezelTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    window.resize(640, 480);
    field = new QLineEdit(&window);
    field->setGeometry(10, 10, 200, 24);
    button = new QPushButton("Under", &window);
    button->setGeometry(220, 200, 200, 80);
    bezels.setParentWindow(&window);
  }

  bool showing() { return bezels.isShowingBezel() && bezels.window() != nullptr && bezels.window()->isVisible(); }

  ZPHManualClock clock;
  QWidget window;
  QLineEdit* field = nullptr;
  QPushButton* button = nullptr;
  ZPHNotificationBezelWindowController bezels{&clock};
};

TEST_F(NotificationBezelTest, RequestsWhileABezelIsUpAreDropped)
{
  window.show();
  bezels.showBezelWithText("Site Added", ZPHNamedImage("BezelNotificationSiteAdded"));
  EXPECT_TRUE(showing());
  clock.advance(1000);
  bezels.showBezelWithText("Opened in Browser");
  EXPECT_EQ(bezels.text(), "Site Added");

  clock.advance(1600);  // 2.6 s: fading out
  EXPECT_TRUE(bezels.isShowingBezel());
  EXPECT_FALSE(bezels.isDismissalTimerPending());
  bezels.showBezelWithText("Opened in Browser");
  EXPECT_EQ(bezels.text(), "Site Added");

  clock.advance(100);  // 2.7 s: the fade-out has ended
  EXPECT_FALSE(bezels.isShowingBezel());
  EXPECT_FALSE(bezels.window()->isVisible());
  bezels.showBezelWithText("Opened in Browser");
  EXPECT_EQ(bezels.text(), "Opened in Browser");
  EXPECT_TRUE(showing());
}

TEST_F(NotificationBezelTest, TheBezelTakesNeitherFocusNorClicks)
{
  window.show();
  QApplication::setActiveWindow(&window);
  field->setFocus();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window.isActiveWindow() && field->hasFocus(); }));

  bezels.showBezelWithText("Sites Added", ZPHNamedImage("BezelNotificationSitesAdded"));
  ZPHNotificationBezelWindow* bezel = bezels.window();
  ASSERT_TRUE(bezel->isVisible());
  EXPECT_TRUE(bezel->geometry().intersects(button->geometry()));
  EXPECT_TRUE(window.isActiveWindow());
  EXPECT_EQ(QApplication::focusWidget(), field);

  // Typing goes on in the field.
  for (const Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_C}) QTest::keyClick(window.windowHandle(), key);
  EXPECT_EQ(field->text(), "abc");
  EXPECT_EQ(QApplication::focusWidget(), field);

  // A click on the bezel reaches the button under it.
  const QPoint centre = button->geometry().center();
  EXPECT_EQ(window.childAt(centre), button);
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
  QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centre);
  EXPECT_EQ(clicks, 1);
}

TEST_F(NotificationBezelTest, ThePanelIsCentredAndBetween180And500PointsWide)
{
  window.show();
  bezels.showBezelWithText("Sent", ZPHNamedImage("BezelNotificationInstapaper"));
  ZPHNotificationBezelWindow* bezel = bezels.window();
  ZPHNotificationBezelContentView* panel = bezel->bezelContentView();
  EXPECT_EQ(panel->width(), ZPHNotificationBezelWindow::MinimumPanelWidth);
  const QRect onWindow(bezel->mapTo(&window, panel->pos()), panel->size());
  EXPECT_EQ(onWindow.x(), (640 - panel->width()) / 2);
  EXPECT_EQ(onWindow.y(), (480 - panel->height()) / 2);
  clock.advance(3000);

  bezels.showBezelWithText(QString(200, QLatin1Char('W')));
  EXPECT_EQ(panel->width(), ZPHNotificationBezelWindow::MaximumPanelWidth);
  EXPECT_TRUE(bezel->bezelTextField()->isTruncated());
  EXPECT_TRUE(bezel->imageView()->isHidden());  // no image: the text alone
}

TEST_F(NotificationBezelTest, TextsFromFeedsAndServersShowLiterally)
{
  window.show();
  const QString markup = QStringLiteral("<b>x</b><img src=x>");
  bezels.showBezelWithText(markup, ZPHNamedImage("BezelNotificationError"));
  ZPHNotificationBezelTextField* text = bezels.window()->bezelTextField();
  EXPECT_EQ(text->textFormat(), Qt::PlainText);
  EXPECT_EQ(text->displayedText(), markup);
}

}  // namespace
