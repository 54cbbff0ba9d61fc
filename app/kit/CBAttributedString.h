#pragma once

// Qt kind: none (a value type).

#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QTextCharFormat>

#include <optional>

// A label's text with its attributes: a QTextCharFormat (font, foreground,
// background, underline) and how it is cut when it does not fit (at the
// tail for the truncating forms). The makers below build the label styles
// of the older drawing code. A missing font is the system font of 11
// points; an invalid colour sets no colour.
struct CBAttributedString {
  QString string;
  QTextCharFormat format;
  Qt::TextElideMode truncation = Qt::ElideNone;

  // Truncating at the tail, the font, the colour, a single underline when
  // asked.
  static CBAttributedString cb_truncatedString(const QString& string, const QColor& color,
                                               const std::optional<QFont>& font, bool underlining);
  static CBAttributedString cb_truncatedString(const QString& string, const QColor& color,
                                               const std::optional<QFont>& font);
  // The same in blue / red, underlined.
  static CBAttributedString cb_truncatedBlueUnderlinedString(const QString& string, const std::optional<QFont>& font);
  static CBAttributedString cb_truncatedRedUnderlinedString(const QString& string, const std::optional<QFont>& font);
  // The font and the colour only (not truncated).
  static CBAttributedString cb_attributedString(const QString& string, const QColor& color,
                                                const std::optional<QFont>& font);
  // The font, the colour and the background colour.
  static CBAttributedString cb_attributedString(const QString& string, const QColor& color,
                                                const std::optional<QFont>& font, const QColor& backgroundColor);

  // The text as it is shown in `width` pixels: cut with an ellipsis at the
  // tail when it truncates and does not fit; whole otherwise.
  QString textForWidth(qreal width) const;
};
