#pragma once

// Qt kind: validator (QValidator).

#include <QtGui/QValidator>

// The rule for a name typed into a source list row: one line. A text with a
// line break in it is refused whole, typed or pasted, so no name ever holds
// one. Stateless; one per source list.
class ZPHSourceListTextFieldFormatter : public QValidator {
  Q_OBJECT

public:
  explicit ZPHSourceListTextFieldFormatter(QObject* parent = nullptr);

  // Whether a partial name may stand: fewer than two parts when split at
  // line breaks.
  static bool isPartialStringValid(const QString& text);
  State validate(QString& input, int& position) const override;
};
