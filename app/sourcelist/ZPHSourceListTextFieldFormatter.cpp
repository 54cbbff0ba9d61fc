#include "sourcelist/ZPHSourceListTextFieldFormatter.h"

ZPHSourceListTextFieldFormatter::ZPHSourceListTextFieldFormatter(QObject* parent) : QValidator(parent) {}

bool ZPHSourceListTextFieldFormatter::isPartialStringValid(const QString& text)
{
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 || u == 0x2029)
      return false;
  }
  return true;
}

QValidator::State ZPHSourceListTextFieldFormatter::validate(QString& input, int& position) const
{
  Q_UNUSED(position);
  return isPartialStringValid(input) ? Acceptable : Invalid;
}
