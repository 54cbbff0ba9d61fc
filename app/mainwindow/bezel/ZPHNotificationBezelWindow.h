#pragma once

// Qt kind: QWidget.

#include <QtWidgets/QWidget>

class QGraphicsOpacityEffect;
class ZPHNotificationBezelContentView;
class ZPHNotificationBezelImageView;
class ZPHNotificationBezelTextField;
class ZPHShadow;

// What a notification bezel is drawn in: an overlay over the whole of its
// parent window, raised above the window's other contents and transparent
// to the mouse and to the keyboard focus, so clicks reach what lies under it
// and typing stays where it was. It holds the panel with the image above the
// text and draws the panel's shadow; its content alpha fades it in and out.
//
// The panel is between 180 and 500 points wide: it takes the image's width
// plus the room beside the text, widens for the text, and at 500 points cuts
// the text at its tail.
class ZPHNotificationBezelWindow : public QWidget {
  Q_OBJECT

public:
  static constexpr int MinimumPanelWidth = 180;
  static constexpr int MaximumPanelWidth = 500;
  // The room beside the text, on both sides together.
  static constexpr int HorizontalRoom = 48;

  explicit ZPHNotificationBezelWindow(QWidget* parent = nullptr);

  // The small dark shadow under the bezel's text and image: black, one point
  // down, blur radius 2.
  static ZPHShadow contentShadow();

  ZPHNotificationBezelContentView* bezelContentView() const { return m_bezelContentView; }
  ZPHNotificationBezelTextField* bezelTextField() const { return m_bezelTextField; }
  ZPHNotificationBezelImageView* imageView() const { return m_imageView; }

  // Shows the text and the image (none when null) and sizes the panel and
  // the overlay for them.
  void setContents(const QString& text, const QImage& image);
  // Centres the panel on the parent, its origin rounded down to whole points.
  void centreOnParent();

  qreal contentAlpha() const;
  void setContentAlpha(qreal alpha);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  ZPHNotificationBezelContentView* m_bezelContentView;
  ZPHNotificationBezelTextField* m_bezelTextField;
  ZPHNotificationBezelImageView* m_imageView;
  QGraphicsOpacityEffect* m_opacity;
};
