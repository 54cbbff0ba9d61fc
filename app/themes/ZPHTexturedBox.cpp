#include "themes/ZPHTexturedBox.h"

#include "foundation/CBPrefs.h"
#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"
#include "themes/ZPHTexturedBoxOverlayView.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

ZPHTexturedBox::ZPHTexturedBox(QWidget* parent) : QWidget(parent), m_overlayView(new ZPHTexturedBoxOverlayView(this))
{
  m_overlayView->setGeometry(rect());
  m_overlayView->hide();
  m_overlayView->raise();
  // A change of the article styles may change the look of the linen.
  m_stylesObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this, [this](const ZPHNotification&) { update(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

void ZPHTexturedBox::showLinen()
{
  m_showLinen = true;
  m_overlayView->hide();
  update();
}

void ZPHTexturedBox::showLinenWithStyles()
{
  m_showLinen = true;
  m_overlayView->raise();
  m_overlayView->show();
  update();
}

void ZPHTexturedBox::showWhite()
{
  m_showLinen = false;
  m_overlayView->hide();
  update();
}

void ZPHTexturedBox::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  m_overlayView->setGeometry(rect());
}

void ZPHTexturedBox::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  const QRectF bounds = rect();
  const ZPHTheme* theme = m_showLinen ? ZPHTheme::currentTheme() : nullptr;
  if (theme == nullptr) {
    painter.fillRect(bounds, Qt::white);
    return;
  }
  // The pattern starts at the top-left corner.
  painter.setBrushOrigin(0, 0);
  painter.fillRect(bounds, theme->underPageBackgroundColor());
  // The shadow's rectangle reaches 20 points past the right and bottom
  // edges, so the shadow falls inside the left and top edges only.
  QPainterPath shadowed;
  shadowed.addRect(bounds.adjusted(0, 0, 20, 20));
  zph_drawInnerShadow(painter, shadowed, ZPHShadow(3, QColor::fromRgbF(0.1, 0.1, 0.1, 0.3), QPointF(0, 0)));
}
