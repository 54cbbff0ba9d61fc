#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtGui/QColor>

// The backdrop of the sharing popover: a rounded rectangle (radius 2) in its
// background colour, a faint shadow along the inside of its top edge and a
// light outline; redrawn when the theme changes.
class ZPHSharingPopoverPluginCommandContentView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  explicit ZPHSharingPopoverPluginCommandContentView(QWidget* parent = nullptr);

  // The fill; an invalid colour: the theme's (white in the light theme).
  QColor backgroundColor() const;
  void setBackgroundColor(const QColor& color);
  static constexpr qreal CornerRadius = 2.0;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor m_backgroundColor;
};
