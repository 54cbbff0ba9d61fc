#include "themes/CBToolbarSegmentedControl.h"

#include <QtGui/QPainter>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionToolButton>

CBToolbarSegmentedControl::CBToolbarSegmentedControl(QWidget* parent) : ZPHCustomSegmentedControl(parent)
{
  setFocusPolicy(Qt::NoFocus);
}

QIcon CBToolbarSegmentedControl::zph_imageWithBestRepresentationForSegment(int segment) const
{
  const QIcon image = imageForSegment(segment);
  if (image.isNull())
    return image;
  const qreal scale = devicePixelRatioF();
  const qreal limit = height() - 4;
  QSize best;
  for (const QSize& size : image.availableSizes()) {
    const qreal points = size.height() / scale;
    if (points > 0 && points < limit && (!best.isValid() || size.height() > best.height()))
      best = size;
  }
  if (!best.isValid())
    return image;
  QPixmap representation = image.pixmap(best, 1.0);
  representation.setDevicePixelRatio(scale);
  QIcon only(representation);
  only.setIsMask(image.isMask());
  return only;
}

void CBToolbarSegmentedControl::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  for (int segment = 0; segment < segmentCount(); ++segment) {
    QStyleOptionToolButton option;
    option.initFrom(this);
    option.rect = rectForSegment(segment).toAlignedRect();
    option.icon = zph_imageWithBestRepresentationForSegment(segment);
    const QList<QSize> sizes = option.icon.availableSizes();
    option.iconSize = sizes.isEmpty() ? QSize(16, 16) : (QSizeF(sizes.constFirst()) / devicePixelRatioF()).toSize();
    option.text = labelForSegment(segment);
    option.toolButtonStyle = option.text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon;
    option.subControls = QStyle::SC_ToolButton;
    option.state |= QStyle::State_Raised;
    if (!isEnabledForSegment(segment) || !isEnabled())
      option.state &= ~QStyle::State_Enabled;
    if (isHighlightedForSegment(segment))
      option.state |= QStyle::State_Sunken | QStyle::State_On;
    style()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, this);
  }
}
