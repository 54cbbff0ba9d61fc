#include "articlelist/ZPHArticleGroupHeaderView.h"

#include "themes/ZPHTheme.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>

QString ZPHArticleGroupHeaderView::titleForDisplay(const QString& title)
{
  QString text = title.toLower();
  bool startOfWord = true;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isLetterOrNumber()) {
      if (startOfWord)
        text[i] = c.toTitleCase();
      startOfWord = false;
    } else {
      startOfWord = c.isSpace() || c.isPunct();
    }
  }
  return text;
}

QFont ZPHArticleGroupHeaderView::titleFont()
{
  QFont font = QGuiApplication::font();
  font.setPixelSize(13);
  font.setBold(true);
  return font;
}

QRectF ZPHArticleGroupHeaderView::titleFrame(const QString& title, const QRectF& bounds)
{
  const QFontMetricsF metrics(titleFont());
  const QSizeF size(metrics.horizontalAdvance(titleForDisplay(title)), metrics.height());
  const QRectF frame(bounds.left() + TitleX, bounds.top() + (bounds.height() - size.height()) / 2, size.width(),
                     size.height());
  return frame.toAlignedRect();
}

void ZPHArticleGroupHeaderView::paintLines(QPainter* painter, const QRectF& bounds, bool active)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const QRectF rect = bounds.toAlignedRect();
  painter->fillRect(QRectF(rect.left(), rect.top(), rect.width(), 1),
                    active ? theme->splitGroupHeaderTopLineColor() : theme->splitGroupHeaderTopLineInactiveColor());
  painter->fillRect(
      QRectF(rect.left(), rect.top() + 1, rect.width(), 1),
      active ? theme->splitGroupHeaderTopMostLineColor() : theme->splitGroupHeaderTopMostLineInactiveColor());
}

void ZPHArticleGroupHeaderView::paintTitle(QPainter* painter, const QRectF& bounds, const QString& title)
{
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const QString text = titleForDisplay(title);
  const QRectF frame = titleFrame(title, bounds);
  painter->save();
  painter->setFont(titleFont());
  const QColor shadow = theme->splitGroupHeaderTextShadowColor();
  if (shadow.isValid() && shadow.alpha() > 0) {
    painter->setPen(shadow);
    painter->drawText(frame.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
  painter->setPen(theme->splitGroupHeaderTextColor());
  painter->drawText(frame, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  painter->restore();
}

void ZPHArticleGroupHeaderView::paint(QPainter* painter, const QRectF& bounds, const QString& title,
                                      const QColor& background, bool active)
{
  painter->fillRect(bounds, background);
  paintLines(painter, bounds, active);
  paintTitle(painter, bounds, title);
}
