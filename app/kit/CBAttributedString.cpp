#include "kit/CBAttributedString.h"

#include "kit/CBSystemFont.h"

#include <QtGui/QFontMetricsF>

namespace {

CBAttributedString make(const QString& string, const QColor& color, const std::optional<QFont>& font)
{
  CBAttributedString attributed;
  attributed.string = string;
  attributed.format.setFont(font.value_or(CBSystemFontOfSize(11.0)));
  if (color.isValid())
    attributed.format.setForeground(color);
  return attributed;
}

}  // namespace

CBAttributedString CBAttributedString::cb_truncatedString(const QString& string, const QColor& color,
                                                          const std::optional<QFont>& font, bool underlining)
{
  CBAttributedString attributed = make(string, color, font);
  attributed.truncation = Qt::ElideRight;
  if (underlining)
    attributed.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
  return attributed;
}

CBAttributedString CBAttributedString::cb_truncatedString(const QString& string, const QColor& color,
                                                          const std::optional<QFont>& font)
{
  return cb_truncatedString(string, color, font, false);
}

CBAttributedString CBAttributedString::cb_truncatedBlueUnderlinedString(const QString& string,
                                                                        const std::optional<QFont>& font)
{
  return cb_truncatedString(string, QColor(Qt::blue), font, true);
}

CBAttributedString CBAttributedString::cb_truncatedRedUnderlinedString(const QString& string,
                                                                       const std::optional<QFont>& font)
{
  return cb_truncatedString(string, QColor(Qt::red), font, true);
}

CBAttributedString CBAttributedString::cb_attributedString(const QString& string, const QColor& color,
                                                           const std::optional<QFont>& font)
{
  return make(string, color, font);
}

CBAttributedString CBAttributedString::cb_attributedString(const QString& string, const QColor& color,
                                                           const std::optional<QFont>& font,
                                                           const QColor& backgroundColor)
{
  CBAttributedString attributed = make(string, color, font);
  if (backgroundColor.isValid())
    attributed.format.setBackground(backgroundColor);
  return attributed;
}

QString CBAttributedString::textForWidth(qreal width) const
{
  if (truncation == Qt::ElideNone)
    return string;
  return QFontMetricsF(format.font()).elidedText(string, truncation, width);
}
