#pragma once

// Qt kind: QWidget.

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <functional>

class QLabel;
class QVariantAnimation;

// Object: the container (QObject*); userInfo "view" -> the view replaced
// (QObject*). Posted when an animated change of view has ended.
extern const QString CBOverlayViewWasPoppedNotification;  // "CBOverlayViewWasPoppedNotification"
// Object: the container. Posted on a later turn of the event loop each time
// the picture laid over a change is taken away.
extern const QString CBOverlayViewPopAnimationCompleteNotification;  // "CBOverlayViewPopAnimationCompleteNotification"

// The right side of the main window: it shows one view at a time (the
// article list, the empty-contents placeholder or a browser tab) filling it,
// and swaps it, when asked, with a cross-fade: a picture of the container
// is laid over the new view and fades out over 0.25 s. A change made in
// place can fade the same way. A new request while a fade runs ends the
// fade at once and happens without one. White where no view covers it.
// Main thread only.
class ZPHRightPaneContainerView : public QWidget {
  Q_OBJECT

public:
  static constexpr int FadeDuration = 250;  // ms

  explicit ZPHRightPaneContainerView(QWidget* parent = nullptr);
  ~ZPHRightPaneContainerView() override;

  QWidget* currentView() const { return m_currentView; }
  // The view last asked for.
  QWidget* rightPaneView() const { return m_rightPaneView; }
  bool isShowingRightPaneSplitView() const { return m_currentView != nullptr && m_currentView == m_rightPaneView; }
  bool doingAnimatedViewTransition() const { return m_doingAnimatedViewTransition; }
  // The picture over a fade (made on first use).
  QLabel* screenshotViewForAnimation();

  // Shows `view` (not null, not the current view) in place of the current
  // one; the container takes it. `preAnimation` runs once the new view is in
  // place, `completion` (with true) when the change has ended. The first
  // view never fades in. The replaced view is hidden and handed back to
  // its owner's care (its parent stays the container).
  void transitionToView(QWidget* view, bool animateIfPossible, std::function<void()> preAnimation = {},
                        std::function<void(bool finished)> completion = {});
  // Runs `work` under a picture of the container that then fades out.
  void animatedFadeTransitionInViewWithWorkBlock(std::function<void()> work, std::function<void()> completion = {});

  // The view's picture (the container's for null).
  QPixmap screenshotOfView(QWidget* view);
  void hideScreenshotView();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void placeView(QWidget* view);
  void showScreenshotOverEverything();
  void fadeScreenshotOut(std::function<void()> finished);

  QPointer<QWidget> m_currentView;
  QPointer<QWidget> m_rightPaneView;
  QPointer<QLabel> m_screenshotView;
  QPointer<QVariantAnimation> m_fade;
  bool m_doingAnimatedViewTransition = false;
};
