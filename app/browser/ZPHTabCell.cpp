#include "browser/ZPHTabCell.h"

#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <cmath>

namespace {

struct Resources {
  QImage closeButton;
};

Resources& resources()
{
  static Resources shared;
  return shared;
}

QLinearGradient vertical(const QRectF& rect, const QColor& top, const QColor& bottom)
{
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  return gradient;
}

}  // namespace

void ZPHTabCell::resetForThemeChange() { resources() = Resources(); }

QImage ZPHTabCell::closeButtonImage()
{
  Resources& r = resources();
  if (r.closeButton.isNull()) {
    ZPHTheme* theme = ZPHTheme::currentTheme();
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor stroke = theme ? theme->browserTabCloseButtonStrokeColor() : QColor(90, 90, 90);
    const QColor shadow = theme ? theme->browserTabCloseButtonShadowColor() : QColor(255, 255, 255, 160);
    for (const auto& [color, dy] : {std::pair{shadow, 1.0}, std::pair{stroke, 0.0}}) {
      painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(3, 3 + dy), QPointF(9, 9 + dy));
      painter.drawLine(QPointF(3, 9 + dy), QPointF(9, 3 + dy));
    }
    painter.end();
    r.closeButton = image;
  }
  return r.closeButton;
}

QRectF ZPHTabCell::drawingRect(const QRect& cellFrame)
{
  const QRectF aligned(std::round(cellFrame.x()), std::round(cellFrame.y()), std::round(cellFrame.width()),
                       std::round(cellFrame.height()));
  return aligned.adjusted(7.5, 4.5, -7.5, -4.5);
}

QRectF ZPHTabCell::labelContainerRect(const QRect& cellFrame)
{
  const QRectF drawing = drawingRect(cellFrame);
  return QRectF(drawing.left(), drawing.bottom() - LabelHeight, drawing.width(), LabelHeight);
}

QRectF ZPHTabCell::labelRect(const QRect& cellFrame, bool hasCloseButton)
{
  QRectF label = labelContainerRect(cellFrame).adjusted(2, 0, -2, 0);
  if (hasCloseButton)
    label.adjust(14, 0, 0, 0);
  else
    label.adjust(6, 0, 0, 0);
  return label;
}

QRectF ZPHTabCell::imageContainerRect(const QRect& cellFrame, int tabsViewState)
{
  if (tabsViewState == 1)
    return {};
  const QRectF drawing = drawingRect(cellFrame);
  return drawing.adjusted(0, 0, 0, -LabelHeight);
}

QRectF ZPHTabCell::progressBarRect(const QRect& cellFrame, int tabsViewState)
{
  if (tabsViewState == 1)
    return {};
  const QRectF image = imageContainerRect(cellFrame, tabsViewState).adjusted(15, 0, -15, 0);
  const qreal y = std::round(image.center().y() - 6) + 2;
  return QRectF(image.left(), y, image.width(), 12);
}

QRect ZPHTabCell::rectOfCloseButton(const QRect& cellFrame)
{
  const QRect container = labelContainerRect(cellFrame).toAlignedRect();
  const int y = container.top() + int(std::round((container.height() - 12) / 2.0));
  return QRect(container.left() + 3, y, 12, 12);
}

void ZPHTabCell::draw(QPainter& painter, const QRect& cellFrame, const State& state)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr)
    return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const bool active = state.windowActive;
  const bool labels = state.tabsViewState == 1;
  const QRectF drawing = drawingRect(cellFrame);
  const QRectF imageContainer = imageContainerRect(cellFrame, state.tabsViewState);
  const QRectF labelContainer = labelContainerRect(cellFrame);

  const QPainterPath imagePath =
      labels ? QPainterPath()
             : zph_bezierPathWithRoundedRect(imageContainer, ZPHRectCornerTopLeft | ZPHRectCornerTopRight, 4.0);
  const QPainterPath labelPath = zph_bezierPathWithRoundedRect(
      labelContainer,
      labels ? unsigned(ZPHRectCornerAll) : unsigned(ZPHRectCornerBottomLeft | ZPHRectCornerBottomRight), 4.0);

  // The frames on their shadow.
  const ZPHShadow tabShadow(4.0, theme->browserTabShadowColor(), QPointF(0, 1));
  QPainterPath both = labelPath;
  both.addPath(imagePath);
  tabShadow.drawForPath(painter, both);
  painter.fillPath(both, Qt::white);
  if (!labels)
    painter.fillPath(imagePath, vertical(imageContainer,
                                         active ? theme->browserTabThumbnailBackgroundGradientTopColor()
                                                : theme->browserTabThumbnailBackgroundGradientTopInactiveColor(),
                                         active ? theme->browserTabThumbnailBackgroundGradientBottomColor()
                                                : theme->browserTabThumbnailBackgroundGradientBottomInactiveColor()));
  painter.fillPath(labelPath, vertical(labelContainer,
                                       active ? theme->browserTabLabelBackgroundGradientTopColor()
                                              : theme->browserTabLabelBackgroundGradientTopInactiveColor(),
                                       active ? theme->browserTabLabelBackgroundGradientBottomColor()
                                              : theme->browserTabLabelBackgroundGradientBottomInactiveColor()));

  // The picture.
  if (!labels && !state.image.isNull()) {
    painter.save();
    painter.setClipPath(imagePath);
    painter.setOpacity(active ? 1.0 : 0.5);
    painter.drawImage(imageContainer.adjusted(0.5, 0.5, -0.5, -0.5), state.image);
    painter.restore();
  }

  painter.setPen(QPen(theme->browserTabOutlineColor(), 1));
  painter.setBrush(Qt::NoBrush);
  if (!labels)
    painter.drawPath(imagePath);
  painter.drawPath(labelPath);

  // The title, as plain text.
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  const QRectF label = labelRect(cellFrame, state.hasCloseButton);
  const QString title = QFontMetricsF(font).elidedText(state.title.simplified(), Qt::ElideRight, label.width());
  painter.setPen(theme->browserTabTitleShadowColor());
  painter.drawText(label.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
  painter.setPen(theme->browserTabTitleTextColor());
  painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);

  if (state.hasCloseButton) {
    painter.save();
    painter.setOpacity(state.closeButtonHighlighted ? 1.0 : 0.75);
    painter.drawImage(rectOfCloseButton(cellFrame), closeButtonImage());
    painter.restore();
  }

  // Progress while the page loads.
  if (!labels && progressIsDue(state.progress)) {
    if (!state.image.isNull())
      painter.fillPath(imagePath, theme->browserTabProgressIndicatorOverlayColor());
    const QRectF bar = progressBarRect(cellFrame, state.tabsViewState);
    QPainterPath well;
    well.addRoundedRect(bar, bar.height() / 2, bar.height() / 2);
    painter.fillPath(well, theme->browserTabProgressIndicatorWellFillColor());
    zph_drawInnerShadow(painter, well,
                        ZPHShadow(3.0, theme->browserTabProgressIndicatorWellShadowColor(), QPointF(0, 1)));
    painter.setPen(QPen(theme->browserTabProgressIndicatorWellOutlineColor(), 1));
    painter.drawPath(well);
    const QRectF inner = bar.adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal knobWidth = std::round((inner.width() - bar.height()) * state.progress + bar.height());
    QPainterPath knob;
    knob.addRoundedRect(QRectF(inner.left(), inner.top(), std::min(knobWidth, inner.width()), inner.height()),
                        inner.height() / 2, inner.height() / 2);
    painter.fillPath(knob, vertical(inner,
                                    active ? theme->browserTabProgressIndicatorKnobGradientAquaTopColor()
                                           : theme->browserTabProgressIndicatorKnobGradientAquaTopInactiveColor(),
                                    active ? theme->browserTabProgressIndicatorKnobGradientAquaBottomColor()
                                           : theme->browserTabProgressIndicatorKnobGradientAquaBottomInactiveColor()));
    if (state.image.isNull()) {
      painter.setPen(theme->browserTabLoadingMessageTextColor());
      painter.drawText(QRectF(imageContainer.left(), bar.top() - 18, imageContainer.width(), 16), Qt::AlignCenter,
                       QCoreApplication::translate("Browser", "Loading..."));
    }
  }

  // The selection outline.
  if (state.isSelected || state.highlightedForContextualMenu) {
    const qreal width = labels ? 1.0 : 4.0;
    const QRectF outlineRect =
        drawing.adjusted(width / 2, width / 2, -width / 2, -width / 2).adjusted(-1.5, -1.5, 1.5, 1.5);
    QPainterPath outline;
    outline.addRoundedRect(outlineRect, 4.0, 4.0);
    ZPHShadow(2.0, theme->browserTabSelectionOutlineShadowColor(), QPointF(0, 1))
        .draw(painter, outlineRect.adjusted(-width, -width, width, width), [&](QPainter& p) {
          p.setPen(QPen(Qt::black, width));
          p.drawPath(outline);
        });
    QGradientStops stops;
    stops << QGradientStop(0, active ? theme->browserTabSelectionOutlineGradientAquaTopColor()
                                     : theme->browserTabSelectionOutlineGradientAquaTopColorInactive());
    stops << QGradientStop(1, active ? theme->browserTabSelectionOutlineGradientAquaBottomColor()
                                     : theme->browserTabSelectionOutlineGradientAquaBottomColorInactive());
    zph_strokeWithGradient(painter, outline, width, stops, 90);
  }

  // A tab just dropped glows for a moment.
  if (state.dragHighlight) {
    QColor glow = theme->browserTabSelectionOutlineHighlightColor();
    glow.setAlphaF(glow.alphaF() * (1.0 - std::clamp(state.dragHighlightFraction, 0.0, 1.0)));
    painter.fillPath(both, glow);
  }
  painter.restore();
}
