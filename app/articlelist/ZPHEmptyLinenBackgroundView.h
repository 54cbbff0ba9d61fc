#pragma once

// Qt kind: QWidget.

#include "themes/ZPHThemeUpdatingView.h"

#include <QtGui/QBrush>

// The grey "linen" behind an empty-contents placeholder: the theme's
// under-page texture recoloured in the theme's linen tint (each pixel's
// luminance times the tint), then the tint itself laid over it.
class ZPHEmptyLinenBackgroundView : public ZPHThemeUpdatingView<> {
  Q_OBJECT

public:
  explicit ZPHEmptyLinenBackgroundView(QWidget* parent = nullptr);

  // The recoloured texture, made once for all views and made again after a
  // theme change; no brush without a texture.
  static QBrush patternColor();
  // The texture recoloured: every pixel takes the colour's red, green and
  // blue times the pixel's luminance, and keeps its alpha.
  static QImage monochromeImage(const QImage& image, const QColor& color);

protected:
  void themeChanged(const ZPHNotification& notification) override;
  void paintEvent(QPaintEvent* event) override;
};
