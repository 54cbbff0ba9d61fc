#include "foundation/CBString.h"

#include <QtCore/QFileInfo>
#include <QtCore/QStringDecoder>
#include <QtCore/QStringList>

QString CBStringUsefulStringWithData(const QByteArray& data)
{
  if (data.isNull())
    return {};
  if (data.size() >= 3) {
    const auto b0 = static_cast<unsigned char>(data.at(0));
    const auto b1 = static_cast<unsigned char>(data.at(1));
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      QStringDecoder decoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
      QString text = decoder.decode(data);
      if (!decoder.hasError())
        return text;
    }
  }
  static const char* const encodings[] = {"UTF-8",        "ISO-8859-1",   "macintosh",    "US-ASCII",    "windows-1251",
                                          "windows-1252", "windows-1253", "windows-1254", "windows-1250"};
  for (const char* name : encodings) {
    QStringDecoder decoder(name, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
      continue;
    QString text = decoder.decode(data);
    if (!decoder.hasError())
      return text;
  }
  return {};
}

QString cb_stringByStrippingURLQuery(const QString& string)
{
  if (!string.contains(QLatin1Char('?')))
    return string;
  QStringList parts = string.split(QLatin1Char('?'));
  parts.removeLast();
  return parts.join(QLatin1Char('?'));
}

void cb_splitFilenameWithSuffix(const QString& filenameWithSuffix, QString* filename, QString* suffix)
{
  if (filenameWithSuffix.isEmpty())
    return;
  const int dot = filenameWithSuffix.lastIndexOf(QLatin1Char('.'));
  const int slash = filenameWithSuffix.lastIndexOf(QLatin1Char('/'));
  const bool hasExtension = dot > slash + 1 && dot < filenameWithSuffix.size() - 1;
  if (filename != nullptr)
    *filename = hasExtension ? filenameWithSuffix.left(dot) : filenameWithSuffix;
  if (suffix != nullptr)
    *suffix = hasExtension ? filenameWithSuffix.mid(dot + 1) : QString(QLatin1String(""));
}
