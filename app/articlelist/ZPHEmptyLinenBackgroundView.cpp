#include "articlelist/ZPHEmptyLinenBackgroundView.h"

#include <QtGui/QPainter>

#include <optional>

namespace {

std::optional<QBrush> g_patternColor;
// The theme it was made for: a switch while no view lives leaves it behind.
const ZPHTheme* g_patternTheme = nullptr;

}  // namespace

ZPHEmptyLinenBackgroundView::ZPHEmptyLinenBackgroundView(QWidget* parent) : ZPHThemeUpdatingView<>(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QImage ZPHEmptyLinenBackgroundView::monochromeImage(const QImage& image, const QColor& color)
{
  if (image.isNull() || !color.isValid())
    return image;
  QImage result = image.convertToFormat(QImage::Format_ARGB32);
  const QColor tint = color.toRgb();
  for (int y = 0; y < result.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x) {
      const QRgb pixel = line[x];
      const qreal luminance = (0.2125 * qRed(pixel) + 0.7154 * qGreen(pixel) + 0.0721 * qBlue(pixel)) / 255.0;
      line[x] = qRgba(qRound(tint.redF() * luminance * 255), qRound(tint.greenF() * luminance * 255),
                      qRound(tint.blueF() * luminance * 255), qAlpha(pixel));
    }
  }
  result.setDevicePixelRatio(image.devicePixelRatio());
  return result;
}

QBrush ZPHEmptyLinenBackgroundView::patternColor()
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme != g_patternTheme)
    g_patternColor.reset();
  if (!g_patternColor.has_value()) {
    g_patternTheme = theme;
    const QImage texture = theme != nullptr ? theme->underPageBackgroundColor().textureImage() : QImage();
    g_patternColor = theme == nullptr || texture.isNull()
                         ? QBrush()
                         : QBrush(monochromeImage(texture, theme->emptyLinenTintColor()));
  }
  return *g_patternColor;
}

void ZPHEmptyLinenBackgroundView::themeChanged(const ZPHNotification& notification)
{
  g_patternColor.reset();
  ZPHThemeUpdatingView<>::themeChanged(notification);
}

void ZPHEmptyLinenBackgroundView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  const QBrush pattern = patternColor();
  if (pattern.style() != Qt::NoBrush)
    painter.fillRect(rect(), pattern);
  const QColor tint = ZPHTheme::currentTheme()->emptyLinenTintColor();
  if (tint.isValid())
    painter.fillRect(rect(), tint);
}
