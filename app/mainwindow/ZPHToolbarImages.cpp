#include "mainwindow/ZPHToolbarImages.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPalette>
#include <QtGui/QPixmap>

#include <cmath>

QColor ZPHToolbarImages::templateColor()
{
  // The toolbar is drawn with the desktop's colours, whatever the theme:
  // the pictures take its button text colour, a little softened.
  QColor color = QGuiApplication::palette().color(QPalette::ButtonText);
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
  bool known = true;
  if (name == QLatin1String("AddFeedTemplate")) {
    painter.drawLine(QPointF(8, 2.5), QPointF(8, 13.5));
    painter.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
  } else if (name == QLatin1String("RefreshFeedsTemplate")) {
    painter.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(10.2, 1.6);
    head.lineTo(13.6, 3.4);
    head.lineTo(10.6, 5.8);
    painter.drawPath(head);
  } else if (name == QLatin1String("MarkAllReadTemplate")) {
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    QPainterPath tick;
    tick.moveTo(5, 8.2);
    tick.lineTo(7.2, 10.4);
    tick.lineTo(11, 5.8);
    painter.drawPath(tick);
  } else if (name == QLatin1String("NextUnreadTemplate")) {
    painter.drawLine(QPointF(8, 2.5), QPointF(8, 12.5));
    QPainterPath head;
    head.moveTo(4, 8.8);
    head.lineTo(8, 12.8);
    head.lineTo(12, 8.8);
    painter.drawPath(head);
  } else if (name == QLatin1String("StyleTemplate")) {
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("Aa"));
  } else if (name == QLatin1String("ShareTemplate")) {
    QPainterPath box;
    box.moveTo(5.5, 6);
    box.lineTo(3.5, 6);
    box.lineTo(3.5, 14);
    box.lineTo(12.5, 14);
    box.lineTo(12.5, 6);
    box.lineTo(10.5, 6);
    painter.drawPath(box);
    painter.drawLine(QPointF(8, 1.8), QPointF(8, 10));
    QPainterPath head;
    head.moveTo(5.2, 4.4);
    head.lineTo(8, 1.6);
    head.lineTo(10.8, 4.4);
    painter.drawPath(head);
  } else if (name == QLatin1String("BookmarkTemplate")) {
    QPainterPath ribbon;
    ribbon.moveTo(4.5, 2);
    ribbon.lineTo(11.5, 2);
    ribbon.lineTo(11.5, 14);
    ribbon.lineTo(8, 10.6);
    ribbon.lineTo(4.5, 14);
    ribbon.closeSubpath();
    painter.drawPath(ribbon);
  } else if (name == QLatin1String("OpenInBrowserTemplate")) {
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    QPainterPath needle;
    needle.moveTo(10.5, 5.5);
    needle.lineTo(6.8, 6.8);
    needle.lineTo(5.5, 10.5);
    needle.lineTo(9.2, 9.2);
    needle.closeSubpath();
    painter.setBrush(color);
    painter.drawPath(needle);
  } else if (name == QLatin1String("NewFolderTemplate")) {
    QPainterPath folder;
    folder.moveTo(2, 4);
    folder.lineTo(6, 4);
    folder.lineTo(7.5, 5.5);
    folder.lineTo(14, 5.5);
    folder.lineTo(14, 13);
    folder.lineTo(2, 13);
    folder.closeSubpath();
    painter.drawPath(folder);
    painter.drawLine(QPointF(8, 7.5), QPointF(8, 11.5));
    painter.drawLine(QPointF(6, 9.5), QPointF(10, 9.5));
  } else {
    known = false;
  }
  painter.end();
  return known ? image : QImage();
}

QIcon ZPHToolbarImages::icon(const QString& name, const QColor& color)
{
  QIcon icon;
  for (int pixels : {16, 32}) {
    const QImage picture = image(name, pixels, color);
    if (picture.isNull())
      return QIcon();
    icon.addPixmap(QPixmap::fromImage(picture));
  }
  return icon;
}
