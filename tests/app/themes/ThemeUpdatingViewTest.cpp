#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestSupport.h"
#include "themes/ZPHRegisterThemes.h"
#include "themes/ZPHTheme.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Counts its theme changes and paints, over any widget class.
template <class Base>
class CountingView : public ZPHThemeUpdatingView<Base> {
public:
  using ZPHThemeUpdatingView<Base>::ZPHThemeUpdatingView;
  int changes = 0;
  int paints = 0;

protected:
  void themeChanged(const ZPHNotification& notification) override
  {
    ++changes;
    ZPHThemeUpdatingView<Base>::themeChanged(notification);
  }
  void paintEvent(QPaintEvent* event) override
  {
    ++paints;
    Base::paintEvent(event);
  }
};

QString otherThemeIdentifier()
{
  return ZPHTheme::currenThemeIdentifier() == ZPHLightThemeIdentifier ? ZPHDarkThemeIdentifier
                                                                      : ZPHLightThemeIdentifier;
}

}  // namespace

TEST(ThemeUpdatingView, OneSwitchRepaintsEachThemedWidgetOnce)
{
  ZPHRegisterThemes();
  ASSERT_NE(ZPHTheme::currentTheme(), nullptr);

  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* plain = new CountingView<QWidget>(&window);
  auto* label = new CountingView<QLabel>(QStringLiteral("Label"), &window);
  auto* field = new CountingView<QLineEdit>(&window);
  plain->setMinimumSize(40, 40);
  layout->addWidget(plain);
  layout->addWidget(label);
  layout->addWidget(field);
  window.resize(200, 160);
  window.show();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return plain->paints > 0 && label->paints > 0 && field->paints > 0; }));
  ZPHTestSpinEventLoop(50);
  for (auto* counts : {&plain->paints, &label->paints, &field->paints}) *counts = 0;

  ZPHTheme::switchToThemeWithIdentifier(otherThemeIdentifier());
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(plain->changes, 1);
  EXPECT_EQ(label->changes, 1);
  EXPECT_EQ(field->changes, 1);
  EXPECT_EQ(plain->paints, 1);
  EXPECT_EQ(label->paints, 1);
  EXPECT_EQ(field->paints, 1);

  // Switching to the current theme repaints nothing.
  ZPHTheme::switchToThemeWithIdentifier(ZPHTheme::currenThemeIdentifier());
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(plain->changes, 1);
  EXPECT_EQ(plain->paints, 1);
}

TEST(ThemeUpdatingView, AViewStopsObservingWhenDestroyed)
{
  ZPHRegisterThemes();
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const int before = center.observerCount();
  auto view = std::make_unique<CountingView<QWidget>>();
  EXPECT_EQ(center.observerCount(), before + 1);
  view.reset();
  EXPECT_EQ(center.observerCount(), before);
  ZPHTheme::switchToThemeWithIdentifier(otherThemeIdentifier());  // reaches no dead view
}
