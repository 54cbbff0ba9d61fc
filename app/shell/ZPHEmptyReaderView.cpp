#include "shell/ZPHEmptyReaderView.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

ZPHEmptyReaderView::ZPHEmptyReaderView(QWidget* parent) : ZPHThemeUpdatingView<QWidget>(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor ZPHEmptyReaderView::backgroundColor() const
{
  return ZPHTheme::currentTheme()->articleListEmptyBackgroundColor();
}

void ZPHEmptyReaderView::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  const QColor color = backgroundColor();
  painter.fillRect(event->rect(), color.isValid() ? color : palette().color(QPalette::Window));
}
