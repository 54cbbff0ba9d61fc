#include "kit/ZPHColorFilter.h"

QImage ZPHColorFilter::outputImage() const
{
  if (m_inputImage.isNull())
    return {};
  const QImage source = m_inputImage.convertToFormat(QImage::Format_ARGB32);
  QImage output(source.size(), QImage::Format_ARGB32_Premultiplied);
  if (output.isNull())
    return {};
  const QColor color = m_inputColor.isValid() ? m_inputColor.toRgb() : QColor(255, 255, 255);
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(output.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      const QRgb pixel = in[x];
      const int luminance = qGray(pixel);
      const int alpha = qAlpha(pixel) * (255 - luminance) / 255 * color.alpha() / 255;
      out[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), alpha));
    }
  }
  output.setDevicePixelRatio(m_inputImage.devicePixelRatio());
  return output;
}
