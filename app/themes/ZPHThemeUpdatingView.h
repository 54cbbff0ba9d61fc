#pragma once

// Qt kind: QWidget (a template over a widget class: it follows the theme).

#include "platform/ZPHNotificationCenter.h"
#include "themes/ZPHTheme.h"

#include <QtWidgets/QWidget>

#include <type_traits>
#include <utility>

// A widget that repaints itself when the theme changes. It observes
// ZPHThemeChangedNotification from creation to destruction and answers it
// with themeChanged(), whose base behaviour schedules one repaint of the
// whole widget. Any widget class can be the base:
//
//   class ZPHBadgeView : public ZPHThemeUpdatingView<> { ... };          // a QWidget
//   class ZPHFindField : public ZPHThemeUpdatingView<QLineEdit> { ... };
//
// Subclasses paint with ZPHTheme::currentTheme() in paintEvent(); those that
// must do more on a change override themeChanged() and call the base.
template <class Base = QWidget>
class ZPHThemeUpdatingView : public Base {
  static_assert(std::is_base_of_v<QWidget, Base>, "the base of a theme-updating view is a widget");

public:
  // Takes the arguments of the base's constructors.
  template <class... Args>
  requires std::is_constructible_v<Base, Args&&...>
  explicit ZPHThemeUpdatingView(Args&&... args) : Base(std::forward<Args>(args)...)
  {
    m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHThemeChangedNotification, QVariant(),
        [this](const ZPHNotification& notification) { themeChanged(notification); });
  }

protected:
  virtual void themeChanged(const ZPHNotification& notification)
  {
    Q_UNUSED(notification);
    this->update();
  }

private:
  ZPHObserverToken m_themeObserver;
};
