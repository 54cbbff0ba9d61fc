#include "mainwindow/bezel/ZPHNotificationBezelTextField.h"

#include "kit/ZPHShadow.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"

#include <QtGui/QPainter>

ZPHNotificationBezelTextField::ZPHNotificationBezelTextField(QWidget* parent) : ZPHElidingLabel(parent)
{
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setAlignment(Qt::AlignCenter);
  QFont bold = font();
  bold.setPixelSize(16);
  bold.setBold(true);
  setFont(bold);
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, QColor(Qt::white));
  setPalette(colors);
}

void ZPHNotificationBezelTextField::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  const QString shown = displayedText();
  const QRectF area = contentsRect();
  const int flags = static_cast<int>(alignment() | Qt::TextSingleLine);
  painter.setFont(font());
  ZPHNotificationBezelWindow::contentShadow().draw(painter, area, [&](QPainter& shadowPainter) {
    shadowPainter.setFont(font());
    shadowPainter.drawText(area, flags, shown);
  });
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(area, flags, shown);
}
