#include "web/ZPHMacWebViewFindBarDoneButton.h"

#include "web/ZPHMacWebViewFindBarDoneButtonCell.h"

#include <QtGui/QPainter>

ZPHMacWebViewFindBarDoneButton::ZPHMacWebViewFindBarDoneButton(QWidget* parent)
    : ZPHThemeUpdatingView<QPushButton>(parent)
{
  setFixedSize(sizeHint());
  setFocusPolicy(Qt::NoFocus);
  setFlat(true);
  QFont font = this->font();
  font.setPixelSize(11);
  setFont(font);
}

void ZPHMacWebViewFindBarDoneButton::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  ZPHMacWebViewFindBarDoneButtonCell::drawWithFrame(painter, rect(), *this);
}
