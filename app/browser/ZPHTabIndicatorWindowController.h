#pragma once

// Qt kind: QObject that owns widgets.

#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <vector>

class QGraphicsOpacityEffect;
class QLabel;
class QVariantAnimation;
class ZPHTabIndicatorBackgroundView;
class ZPHTabIndicatorGlyphView;
class ZPHUserDefaults;

// The small tab glyph that floats over the bottom right corner of the main
// window's article view while browser tabs are open but their column is
// hidden (ZPHBrowserTabsVisibility 2), or, with the column always shown
// (1), while the mouse is over the article view. A click shows or hides the
// column. When a link opens in a background tab it widens for a moment to
// show a label. It sits 10 pixels above the window's bottom edge and left
// of the tabs column, above the link status bar, fades in and out in 0.2
// seconds, and once faded out it is hidden: it takes no clicks then.
//
// An overlay widget of the main window (Wayland lets no program place its
// windows), made with the window and kept by its controller. Main thread.
class ZPHTabIndicatorWindowController : public QObject {
  Q_OBJECT

public:
  static constexpr int FadeDuration = 200;      // ms
  static constexpr qint64 HoldDuration = 1000;  // ms, widened
  static constexpr int BottomMargin = 10;
  static constexpr int NarrowWidth = 32;
  static constexpr int Height = 28;

  // The clock times the hold (the system clock when null); the settings are
  // the standard ones when null.
  explicit ZPHTabIndicatorWindowController(ZPHClock* clock = nullptr, ZPHUserDefaults* defaults = nullptr,
                                           QObject* parent = nullptr);
  ~ZPHTabIndicatorWindowController() override;

  // Floats the indicator over the window (once; a second window is a
  // programming error).
  void addToFloatAboveWindow(QWidget* window);
  QWidget* parentWindow() const { return m_parentWindow; }
  // The indicator itself; null before it is attached.
  QWidget* window() const { return m_window; }
  ZPHTabIndicatorBackgroundView* backgroundView() const { return m_backgroundView; }
  ZPHTabIndicatorGlyphView* glyphView() const { return m_glyphView; }
  QLabel* textField() const { return m_textField; }

  // ---- What decides (set by the main window)
  void setHasMoreThanOneTab(bool more);
  void setShowingDetailsViewTab(bool showing);
  void setMouseInArticleDetailArea(bool inside);
  void setLastTabsWidth(double width);
  bool hasMoreThanOneTab() const { return m_hasMoreThanOneTab; }
  bool showingDetailsViewTab() const { return m_showingDetailsViewTab; }
  bool mouseInArticleDetailArea() const { return m_mouseInArticleDetailArea; }

  // The rule: shown for visibility 1 or 2, more than one tab, the article
  // view current, the always-hide setting off and, for 1, the mouse over the
  // article view.
  static bool shouldShow(qint64 visibility, bool hasMoreThanOneTab, bool alwaysHide, bool showingDetailsViewTab,
                         bool mouseInArticleDetailArea);
  bool showingWindow() const { return m_showingWindow; }
  bool animating() const { return m_animating; }
  void updateWindowShowStatus();
  // Where the indicator goes in its window; empty before it is attached.
  QRect currentWindowFrame() const;
  void updateWindowFrame();
  // "Hide Tabs" for visibility 1, else "Show Tabs".
  QString glyphToolTip() const;

  // A click: visibility 2 shows the column ("showTabBar:"), 1 hides it
  // ("hideTabBar:"); nothing while the indicator is not showing.
  void mouseClickedInWindow();
  // A link opened in a background tab: the widen-and-shrink, once at a time.
  void backgroundTabOpened();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void fadeTo(qreal opacity);
  void setWide(bool wide);
  void themeChanged();

  ZPHClock* m_clock;
  ZPHUserDefaults* m_defaults;
  QPointer<QWidget> m_parentWindow;
  QPointer<QWidget> m_window;
  ZPHTabIndicatorBackgroundView* m_backgroundView = nullptr;
  ZPHTabIndicatorGlyphView* m_glyphView = nullptr;
  QLabel* m_textField = nullptr;
  QGraphicsOpacityEffect* m_opacity = nullptr;
  QPointer<QVariantAnimation> m_fade;
  QPointer<QVariantAnimation> m_widen;
  double m_lastTabsWidth = 0;
  bool m_hasMoreThanOneTab = false;
  bool m_showingDetailsViewTab = true;
  bool m_mouseInArticleDetailArea = false;
  bool m_showingWindow = false;
  bool m_animating = false;
  bool m_wide = false;
  ZPHClock::TimerID m_animationTimer = 0;
  std::vector<ZPHObserverToken> m_observers;
};
