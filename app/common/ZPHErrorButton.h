#pragma once

// Qt kind: QWidget (QAbstractButton).

#include "platform/ZPHNotificationCenter.h"

#include <QtGui/QImage>
#include <QtWidgets/QAbstractButton>

// The small error button of a status item and of a source list row: one of
// six images by whether it is pressed, whether its window draws active, and
// whether it sits on a light or a dark (selected) background. It follows the
// active look of the window it is in.
class ZPHErrorButton : public QAbstractButton {
  Q_OBJECT

public:
  enum class BackgroundStyle { Light, Dark, Raised, Lowered };

  explicit ZPHErrorButton(QWidget* parent = nullptr);

  BackgroundStyle backgroundStyle() const { return m_backgroundStyle; }
  void setBackgroundStyle(BackgroundStyle style);
  bool windowIsActive() const { return m_windowIsActive; }
  // A change repaints.
  void setWindowIsActive(bool active);

  // The image for the state; null for the raised and lowered styles, which
  // draw nothing. The six images are loaded once by name: "SiteError",
  // "SiteErrorActive", "SiteErrorInactive", "SiteErrorSelected",
  // "SiteErrorSelectedActive", "SiteErrorSelectedInactive".
  static QImage imageForState(bool pressed, bool windowIsActive, BackgroundStyle style);
  // The image for the button's state now.
  QImage currentImage() const;

  // The size of "SiteError".
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  BackgroundStyle m_backgroundStyle = BackgroundStyle::Light;
  bool m_windowIsActive = true;
  ZPHObserverToken m_activeStateObserver;
};
