#include "browser/ZPHBrowserImages.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPixmap>

QImage ZPHBrowserImages::image(const QString& name, int pixels, const QColor& color)
{
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(pixels / 16.0, pixels / 16.0);
  QPen pen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  bool known = true;
  const auto polyline = [&](std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.moveTo(*points.begin());
    for (auto point = points.begin() + 1; point != points.end(); ++point) path.lineTo(*point);
    painter.drawPath(path);
  };
  if (name == QLatin1String("site")) {
    // A page with a folded corner.
    pen.setWidthF(1.1);
    painter.setPen(pen);
    painter.setBrush(QColor(255, 255, 255, 230));
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    painter.drawPath(page);
    painter.setBrush(Qt::NoBrush);
    polyline({{9.5, 1.5}, {9.5, 4.5}, {12.5, 4.5}});
    for (const qreal y : {7.0, 9.5, 12.0}) painter.drawLine(QPointF(5.5, y), QPointF(10.5, y));
  } else if (name == QLatin1String("back")) {
    polyline({{10, 3}, {5, 8}, {10, 13}});
  } else if (name == QLatin1String("forward")) {
    polyline({{6, 3}, {11, 8}, {6, 13}});
  } else if (name == QLatin1String("stopTemplate")) {
    painter.drawLine(QPointF(4, 4), QPointF(12, 12));
    painter.drawLine(QPointF(4, 12), QPointF(12, 4));
  } else if (name == QLatin1String("reloadTemplate")) {
    painter.drawArc(QRectF(3, 3, 10, 10), 70 * 16, 280 * 16);
    polyline({{9.6, 1.6}, {12.4, 3.4}, {9.8, 5.6}});
  } else if (name.startsWith(QLatin1String("tab_close"))) {
    // A cross on a disc that darkens under the mouse and when pressed.
    const bool over = name.endsWith(QLatin1String("Mouseover"));
    const bool pressed = name.endsWith(QLatin1String("Pressed"));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, pressed ? 150 : over ? 110 : 60));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(5.5, 10.5), QPointF(10.5, 5.5));
  } else {
    known = false;
  }
  painter.end();
  return known ? image : QImage();
}

QIcon ZPHBrowserImages::icon(const QString& name, const QColor& color)
{
  const QImage small = image(name, 16, color);
  if (small.isNull())
    return {};
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(small));
  QImage large = image(name, 32, color);
  large.setDevicePixelRatio(2);
  icon.addPixmap(QPixmap::fromImage(large));
  return icon;
}

QIcon ZPHBrowserImages::defaultTabIcon()
{
  static const QIcon icon = ZPHBrowserImages::icon(QStringLiteral("site"));
  return icon;
}
