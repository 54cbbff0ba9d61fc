#pragma once

// Qt kind: QWidget.

#include "platform/ZPHNotificationCenter.h"

#include <QtWidgets/QWidget>

class ZPHTexturedBoxOverlayView;

// The background of the article layouts: white, or the current theme's
// under-page pattern with a soft shadow inside its left and top edges. Its
// overlay view lies in front of its other children, hidden unless the
// linen is shown with the styles.
class ZPHTexturedBox : public QWidget {
  Q_OBJECT

public:
  explicit ZPHTexturedBox(QWidget* parent = nullptr);

  // Each repaints.
  void showLinen();            // linen, overlay hidden
  void showLinenWithStyles();  // linen, overlay shown
  void showWhite();            // white, overlay hidden

  bool isShowingLinen() const { return m_showLinen; }
  ZPHTexturedBoxOverlayView* overlayView() const { return m_overlayView; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  bool m_showLinen = false;
  ZPHTexturedBoxOverlayView* m_overlayView = nullptr;
  ZPHObserverToken m_stylesObserver;
};
