#include "kit/ZPHPlainTextToolTip.h"

QString ZPHPlainTextToolTip(const QString& text)
{
  if (text.isEmpty())
    return QString();
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}
