#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <functional>

class QAbstractAnimation;
class QWidget;
class ZPHMacWebViewFindBarViewController;

// The slide of a find bar into and out of the view that hosts it above a
// web content (the article pane, a browser tab's content view): the bar
// comes down from above the content's top while the content gives it room,
// and goes back up the same way. The host says where the bar and the
// content stand either way, keeps whether the bar shows, and owns both
// views; this only moves them. Made with the host as its parent. Main
// thread only.
class ZPHSlidingFindBar : public QObject {
  Q_OBJECT

public:
  static constexpr int SlideDuration = 200;  // ms

  // Where the bar and the content stand with the bar shown and hidden.
  struct Frames {
    QRect barShown;
    QRect barHidden;
    QRect contentShown;
    QRect contentHidden;
  };

  explicit ZPHSlidingFindBar(QWidget* host);
  ~ZPHSlidingFindBar() override;

  // A slide is under way.
  bool isSliding() const;
  // Ends a slide where it is.
  void stop();

  // Puts the bar into the host, under its other views, above the content
  // and slides it down (at once when not animated), the content giving it
  // room. `afterSlide` runs once the slide's time is over (it checks that
  // the bar still shows).
  void slideIn(ZPHMacWebViewFindBarViewController* bar, QWidget* content, const Frames& frames, bool animated,
               std::function<void()> afterSlide);
  // Slides the bar back up (at once when not animated), the content (may be
  // null) taking its room back; with `hideBarWhenOut` the bar is hidden
  // once out of sight.
  void slideOut(QWidget* bar, QWidget* content, const Frames& frames, bool animated, bool hideBarWhenOut);

  // The focus, when it is in the bar, goes to `target` (may be null).
  static void moveFocusOutOf(QWidget* bar, QWidget* target);

private:
  QWidget* m_host;
  QPointer<QAbstractAnimation> m_animation;
};
