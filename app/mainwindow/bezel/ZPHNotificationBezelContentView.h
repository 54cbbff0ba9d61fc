#pragma once

// Qt kind: QWidget.

#include <QtGui/QPainterPath>
#include <QtWidgets/QWidget>

// The panel of a notification bezel: black at 60 % opacity with corners of
// radius 20. Its soft shadow (black at 10 %, blur 10, one point down, over
// the panel grown by 10 points) reaches beyond the panel, so the bezel's
// overlay draws it underneath (shadowPath()).
class ZPHNotificationBezelContentView : public QWidget {
  Q_OBJECT

public:
  static constexpr qreal CornerRadius = 20;
  static constexpr qreal ShadowSpread = 10;

  explicit ZPHNotificationBezelContentView(QWidget* parent = nullptr);

  // The shadow's shape in the parent's coordinates.
  QPainterPath shadowPath() const;

protected:
  void paintEvent(QPaintEvent* event) override;
};
