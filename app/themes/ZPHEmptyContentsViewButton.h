#pragma once

// Qt kind: QWidget (QPushButton).

#include "platform/ZPHNotificationCenter.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtWidgets/QPushButton>

#include <memory>

class FRNHStretchableImage;

// The button of the empty-contents placeholder ("Add Sites…"): a bezel from
// the current theme's stretchable images and a title in the theme's colours,
// with its own look in a window that does not draw active. Made without
// size; the caller sets the title and connects clicked().
//
// The three bezel images are shared by every such button and loaded on first
// use: "emptyButtonActive" while pressed, "emptyButton" otherwise, and
// "emptyButtonInactive" in a window that does not draw active (each with the
// theme's suffix, cap insets 4, 5, 4, 5). Any of these buttons empties them
// when the theme changes.
class ZPHEmptyContentsViewButton : public ZPHThemeUpdatingView<QPushButton> {
  Q_OBJECT

public:
  explicit ZPHEmptyContentsViewButton(QWidget* parent = nullptr);

  // The title's size plus 36 points of width and 10 of height.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

  // The bezel for the button's state now; null when the theme has no image.
  std::shared_ptr<FRNHStretchableImage> bezelImage() const;

  static std::shared_ptr<FRNHStretchableImage> backgroundStretchableActiveImage();
  static std::shared_ptr<FRNHStretchableImage> backgroundStretchableRegularImage();
  static std::shared_ptr<FRNHStretchableImage> backgroundStretchableInactiveImage();
  // Forgets the three images, so that the next paint loads the new theme's.
  static void clearImages();

protected:
  void themeChanged(const ZPHNotification& notification) override;
  void paintEvent(QPaintEvent* event) override;

private:
  QSize titleSize() const;

  ZPHObserverToken m_activeStateObserver;
};
