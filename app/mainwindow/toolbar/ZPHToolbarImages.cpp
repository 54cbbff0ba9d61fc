#include "mainwindow/toolbar/ZPHToolbarImages.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPalette>
#include <QtGui/QPixmap>

#include <cmath>
#include <initializer_list>

QColor ZPHToolbarImages::templateColor(const QPalette& palette)
{
  // The toolbar is drawn with the window's colours (the desktop's, or the
  // dark theme's): the pictures take its button text colour, a little
  // softened.
  QColor color = palette.color(QPalette::ButtonText);
  color.setAlphaF(0.8f);
  return color;
}

QImage ZPHToolbarImages::image(const QString& name, int pixels, const QColor& color)
{
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 16-point grid.
  painter.scale(pixels / 16.0, pixels / 16.0);
  QPen pen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // Lines through the points on the 16-point grid, open or closed.
  const auto pathThrough = [](std::initializer_list<QPointF> points, bool closed) {
    QPainterPath path;
    path.moveTo(*points.begin());
    for (auto point = points.begin() + 1; point != points.end(); ++point) path.lineTo(*point);
    if (closed)
      path.closeSubpath();
    return path;
  };
  const auto drawOpen = [&](std::initializer_list<QPointF> points) { painter.drawPath(pathThrough(points, false)); };
  const auto drawClosed = [&](std::initializer_list<QPointF> points) { painter.drawPath(pathThrough(points, true)); };
  bool known = true;
  if (name == QLatin1String("AddFeedTemplate")) {
    painter.drawLine(QPointF(8, 2.5), QPointF(8, 13.5));
    painter.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
  } else if (name == QLatin1String("RefreshFeedsTemplate")) {
    painter.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 290 * 16);
    drawOpen({{10.2, 1.6}, {13.6, 3.4}, {10.6, 5.8}});
  } else if (name == QLatin1String("MarkAllReadTemplate")) {
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    drawOpen({{5, 8.2}, {7.2, 10.4}, {11, 5.8}});
  } else if (name == QLatin1String("NextUnreadTemplate")) {
    painter.drawLine(QPointF(8, 2.5), QPointF(8, 12.5));
    drawOpen({{4, 8.8}, {8, 12.8}, {12, 8.8}});
  } else if (name == QLatin1String("StyleTemplate")) {
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("Aa"));
  } else if (name == QLatin1String("ShareTemplate")) {
    drawOpen({{5.5, 6}, {3.5, 6}, {3.5, 14}, {12.5, 14}, {12.5, 6}, {10.5, 6}});
    painter.drawLine(QPointF(8, 1.8), QPointF(8, 10));
    drawOpen({{5.2, 4.4}, {8, 1.6}, {10.8, 4.4}});
  } else if (name == QLatin1String("BookmarkTemplate")) {
    drawClosed({{4.5, 2}, {11.5, 2}, {11.5, 14}, {8, 10.6}, {4.5, 14}});
  } else if (name == QLatin1String("OpenInBrowserTemplate")) {
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    painter.setBrush(color);
    drawClosed({{10.5, 5.5}, {6.8, 6.8}, {5.5, 10.5}, {9.2, 9.2}});
  } else {
    known = false;
  }
  painter.end();
  return known ? image : QImage();
}

QIcon ZPHToolbarImages::icon(const QString& name, const QColor& color)
{
  // An item that is off shows its picture faded, as its label is.
  QColor faded = color;
  faded.setAlphaF(color.alphaF() * 0.35f);
  QIcon icon;
  for (int pixels : {16, 32}) {
    const QImage picture = image(name, pixels, color);
    if (picture.isNull())
      return QIcon();
    icon.addPixmap(QPixmap::fromImage(picture));
    icon.addPixmap(QPixmap::fromImage(image(name, pixels, faded)), QIcon::Disabled);
  }
  return icon;
}
