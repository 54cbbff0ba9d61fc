#include "kit/CBTexturedButton.h"

#include "kit/CBTexturedButtonCell.h"

#include <QtCore/QEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionButton>

CBTexturedButton::CBTexturedButton(QWidget* parent) : QPushButton(parent) {}

CBTexturedButton::CBTexturedButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {}

bool CBTexturedButton::drawsReturnKeyBezel() const { return CBTexturedButtonCell::hasReturnKeyEquivalent(*this); }

void CBTexturedButton::paintEvent(QPaintEvent* event)
{
  if (!drawsReturnKeyBezel()) {
    QPushButton::paintEvent(event);
    return;
  }
  QPainter painter(this);
  CBTexturedButtonCell::drawBezelWithFrame(painter, QRectF(rect()), *this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // The title in white on the blue, the bezel drawn already.
  option.palette.setColor(QPalette::ButtonText, QColor(Qt::white));
  option.rect = rect().adjusted(0, 0, 0, -2);
  style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
}

void CBTexturedButton::changeEvent(QEvent* event)
{
  QPushButton::changeEvent(event);
  // The bezel fades with the window's active state.
  if (event->type() == QEvent::ActivationChange)
    update();
}
