#include "kit/CBMenuExtras.h"
#include "kit/CBPopupButton.h"
#include "kit/CBRectExtras.h"
#include "kit/CBTexturedButton.h"
#include "kit/YRKSpinningProgressIndicatorLayer.h"
#include "kit/ZPHErrorSheet.h"
#include "kit/ZPHImageAdditions.h"
#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "kit/ZPHManualClock.h"
#include "kit/ZPHMenuAdditions.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "platform/ZPHError.h"

#include <QtGui/QPainter>
#include <QtGui/QTextDocument>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

#include <gtest/gtest.h>

namespace {

// Answers a menu it makes, or null when told to.
class MenuSource : public CBPopupButtonDelegate {
public:
  QMenu* menuForPopupButton(CBPopupButton*) override
  {
    ++asked;
    if (answerNull)
      return nullptr;
    auto* menu = new QMenu;
    menu->addAction("Item");
    return menu;
  }
  bool answerNull = false;
  int asked = 0;
};

TEST(PullDownButton, TheMenuOpensUnderTheButtonAndANullAnswerLeavesTheButtonInert)
{
  QWidget window;
  window.resize(300, 200);
  auto* button = new CBPopupButton(&window);
  button->setGeometry(40, 30, 60, 24);
  window.show();
  EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);

  MenuSource source;
  button->setPullDownMenuDelegate(&source);
  QSignalSpy clicks(button, &CBPopupButton::clicked);
  for (const QPoint press : {QPoint(5, 5), QPoint(55, 20)}) {
    QTest::mousePress(button, Qt::LeftButton, {}, press);
    QMenu* menu = button->pullDownMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), button->mapToGlobal(QPoint(3, 24 + 3)));
    EXPECT_TRUE(button->isDown());
    menu->hide();
    EXPECT_FALSE(button->isDown());
    QTest::mouseRelease(button, Qt::LeftButton, {}, press);
  }

  source.answerNull = true;
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(source.asked, 3);
  EXPECT_EQ(button->pullDownMenu(), nullptr);
  EXPECT_FALSE(button->isDown());
  EXPECT_EQ(clicks.count(), 0);
}

TEST(MenuAdditions, ItemsAreFoundByRepresentedObjectAndGatheredLevelByLevel)
{
  QMenu menu;
  EXPECT_FALSE(cb_lastItemIsSeparatorItem(&menu));
  cb_addSeparatorItemIfLastItemIsNotSeparator(&menu);  // an empty menu gets one
  ASSERT_EQ(menu.actions().size(), 1);
  EXPECT_TRUE(menu.actions().constFirst()->isSeparator());
  menu.clear();

  QAction* a = menu.addAction("A");
  a->setData(1);
  QMenu* sub = menu.addMenu("B");
  QAction* c = sub->addAction("C");
  QAction* d = sub->addAction("D");
  QAction* e = menu.addAction("E");
  e->setData("e");
  EXPECT_EQ(cb_allMenuItems(&menu), QList<QAction*>({a, sub->menuAction(), e, c, d}));

  EXPECT_EQ(zph_menuItemForRepresentedObject(&menu, QVariant("e")), e);
  EXPECT_EQ(zph_menuItemForRepresentedObject(&menu, QVariant(1)), a);
  EXPECT_EQ(zph_menuItemForRepresentedObject(&menu, QVariant()), nullptr);  // no object matches nothing
  EXPECT_EQ(zph_menuItemForRepresentedObject(&menu, QVariant("C")), nullptr);
}

TEST(MenuAdditions, SeparatorsAreTidiedToSingleOnesBetweenItems)
{
  QMenu menu;
  const auto separator = [&] { return menu.addSeparator(); };
  const auto item = [&](const char* title) { return menu.addAction(QString::fromLatin1(title)); };
  // Separator, A, separator, separator, B, separator: A, separator, B.
  QAction* s1 = separator();
  QAction* a = item("A");
  QAction* s2 = separator();
  QAction* s3 = separator();
  QAction* b = item("B");
  QAction* s4 = separator();
  EXPECT_EQ(zph_menuItemsByCleaningUpSeparatorItems({s1, a, s2, s3, b, s4}), QList<QAction*>({a, s3, b}));
  EXPECT_EQ(zph_menuItemsByCleaningUpSeparatorItems({s1, s2, s3}), QList<QAction*>());
  EXPECT_EQ(zph_menuItemsByCleaningUpSeparatorItems({}), QList<QAction*>());
  EXPECT_EQ(zph_menuItemsByCleaningUpSeparatorItems({a, b}), QList<QAction*>({a, b}));
}

TEST(Spinner, StepsLightEachFinWhichThenFades)
{
  ZPHManualClock clock;
  YRKSpinningProgressIndicatorLayer layer(&clock);
  layer.startProgressAnimation();
  EXPECT_TRUE(layer.isRunning());
  EXPECT_EQ(layer.position(), 0u);  // the first step lights fin 0
  EXPECT_EQ(layer.finOpacity(0), 1.0);
  clock.advance(50);
  EXPECT_EQ(layer.position(), 1u);
  clock.advance(550);
  EXPECT_EQ(layer.position(), 0u);  // a turn in 0.6 s

  // A stop leaves the lit fins fading out over 0.7 s.
  layer.stopProgressAnimation();
  EXPECT_FALSE(layer.isRunning());
  EXPECT_EQ(layer.finOpacity(0), 1.0);
  clock.advance(350);
  EXPECT_EQ(layer.position(), 0u);
  EXPECT_DOUBLE_EQ(layer.finOpacity(0), 0.5);
  clock.advance(350);
  EXPECT_EQ(layer.finOpacity(0), 0.0);
  EXPECT_FALSE(layer.isFading());
  clock.advance(1000);
  EXPECT_EQ(clock.pendingTimerCount(), 0);

  // Geometry follows the smaller side.
  layer.setBounds(QRectF(0, 0, 32, 16));
  EXPECT_NEAR(layer.finBoundsForCurrentBounds().width(), 1.52, 1e-6);
  EXPECT_NEAR(layer.finBoundsForCurrentBounds().height(), 4.8, 1e-6);
  EXPECT_NEAR(layer.finCornerRadius(), 0.76, 1e-6);
  EXPECT_NEAR(layer.finAnchorPointForCurrentBounds().y(), -0.63, 1e-9);
}

TEST(Spinner, TheViewIgnoresItsOwnColourAgain)
{
  ZPHManualClock clock;
  ZPHIndeterminateProgressIndicator view(nullptr, &clock);
  QSignalSpy redraws(view.spinningProgressIndicatorLayer(), &YRKSpinningProgressIndicatorLayer::needsDisplay);
  view.setColor(QColor(Qt::black));
  EXPECT_EQ(redraws.count(), 0);
  view.setColor(QColor(Qt::red));
  EXPECT_EQ(redraws.count(), 1);
  EXPECT_EQ(view.spinningProgressIndicatorLayer()->color(), QColor(Qt::red));
}

TEST(ImageAdditions, NamedImagesAndImagesDrawnAtTwoScales)
{
  EXPECT_FALSE(zph_imageWithNames({}).has_value());
  const std::optional<QIcon> none = zph_imageWithNames({"NoSuchImage", "NorThis"});
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->isNull());
  const std::optional<QIcon> dots = zph_imageWithNames({"CloudDot", "NoSuchImage", "SiteError"});
  ASSERT_TRUE(dots.has_value());
  EXPECT_EQ(dots->availableSizes().size(), 2);

  int drawn = 0;
  const QIcon both = zph_imageByDrawingBothRepresentationsWithSize(QSize(20, 10), [&drawn](QPainter& painter) {
    ++drawn;
    painter.fillRect(QRectF(0, 0, 20, 10), Qt::red);  // in points at either scale
  });
  EXPECT_EQ(drawn, 2);
  EXPECT_EQ(both.availableSizes(), QList<QSize>({QSize(20, 10), QSize(40, 20)}));
  const QImage large = both.pixmap(QSize(20, 10), 2.0).toImage();
  ASSERT_EQ(large.size(), QSize(40, 20));
  EXPECT_EQ(large.pixelColor(39, 19), QColor(Qt::red));
}

TEST(TexturedButton, OnlyAReturnKeyEquivalentGetsTheBlueBezel)
{
  CBTexturedButton button("OK");
  EXPECT_FALSE(button.drawsReturnKeyBezel());
  button.setShortcut(QKeySequence(Qt::Key_Escape));
  EXPECT_FALSE(button.drawsReturnKeyBezel());
  button.setShortcut(QKeySequence(Qt::Key_Return));
  EXPECT_TRUE(button.drawsReturnKeyBezel());
  CBTexturedButton defaultButton("Add");
  defaultButton.setDefault(true);
  EXPECT_TRUE(defaultButton.drawsReturnKeyBezel());
}

TEST(DrawingAdditions, RectanglesAndPlainTextToolTips)
{
  EXPECT_EQ(CBRectWithIntegralOrigin(QRectF(1.7, -0.2, 3.5, 2)), QRectF(1, -1, 3.5, 2));
  EXPECT_EQ(CBRectOffsetByHalfPoint(QRectF(1, 2, 3, 4)), QRectF(1.5, 2.5, 3, 4));

  // A tool tip shows a feed's name literally, however it looks.
  for (const QString& text : {QStringLiteral("<b>x</b><img src=x>"), QStringLiteral("a &amp; b"),
                              QStringLiteral("two  spaces\nand a line")}) {
    const QString tip = ZPHPlainTextToolTip(text);
    ASSERT_TRUE(Qt::mightBeRichText(tip));
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), text);
  }
  EXPECT_TRUE(ZPHPlainTextToolTip(QString()).isEmpty());
}

// Remembers the recovery options it was asked to try.
class Attempter : public ZPHErrorRecoveryAttempter {
public:
  bool attemptRecovery(const ZPHError&, int optionIndex) override
  {
    attempts.append(optionIndex);
    return true;
  }
  QList<int> attempts;
};

TEST(ErrorSheet, EachRecoveryOptionIsAButtonThatTriesItsOwnIndex)
{
  QWidget window;
  window.show();
  ZPHError error("test", 404,
                 {{ZPHLocalizedDescriptionKey, "<b>Gone</b>"},
                  {ZPHLocalizedRecoverySuggestionKey, "<a href=\"x\">here</a>"},
                  {ZPHLocalizedRecoveryOptionsKey, QStringList({"Cancel", "Remove", "Try <i>Again</i>"})}});
  auto attempter = std::make_shared<Attempter>();
  error.setRecoveryAttempter(attempter);
  QMessageBox* box = ZPHErrorSheet::present(&window, error);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->parentWidget(), &window);
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  for (QLabel* label : box->findChildren<QLabel*>()) EXPECT_EQ(label->textFormat(), Qt::PlainText);
  const QList<QAbstractButton*> buttons = box->buttons();
  ASSERT_EQ(buttons.size(), 3);
  EXPECT_EQ(buttons.at(2)->text(), "Try <i>Again</i>");
  buttons.at(2)->click();
  EXPECT_EQ(attempter->attempts, QList<int>({2}));

  // Without an attempter the options mean nothing: OK alone.
  error.setRecoveryAttempter(nullptr);
  QMessageBox* plain = ZPHErrorSheet::present(&window, error);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->buttons().size(), 1);
  plain->close();
  EXPECT_EQ(ZPHErrorSheet::present(&window, ZPHError()), nullptr);
}

}  // namespace
