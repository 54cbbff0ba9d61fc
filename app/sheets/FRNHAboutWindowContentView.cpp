#include "sheets/FRNHAboutWindowContentView.h"

#include <QtGui/QPainter>

FRNHAboutWindowContentView::FRNHAboutWindowContentView(QWidget* parent) : QWidget(parent) {}

void FRNHAboutWindowContentView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  QLinearGradient background(0, 0, 0, height());
  background.setColorAt(0, QColor(250, 250, 252));
  background.setColorAt(1, QColor(226, 230, 236));
  painter.fillRect(rect(), background);
  QLinearGradient band(0, 0, 200, 0);
  band.setColorAt(0, QColor(255, 255, 255, 180));
  band.setColorAt(1, QColor(255, 255, 255, 0));
  painter.fillRect(QRect(0, 0, 200, height()), band);
}
