#include "foundation/CBData.h"

#include "foundation/CBString.h"

#include <QtCore/QCryptographicHash>

QByteArray cb_md5HashWithString(const QString& string)
{
  return QCryptographicHash::hash(string.toUtf8(), QCryptographicHash::Md5);
}

QByteArray cb_md5Hash(const QByteArray& data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); }

QString cb_usefulString(const QByteArray& data) { return CBStringUsefulStringWithData(data); }

QString base64EncodedStringWithLineLength(const QByteArray& data, int lineLength)
{
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  QString text(QLatin1String(""));
  const qsizetype length = data.size();
  if (length == 0)
    return text;
  text.reserve((length + 2) / 3 * 4 + (lineLength > 0 ? (length / 3 * 4) / lineLength + 2 : 0));
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  int lineCount = 0;
  for (qsizetype i = 0; i < length; i += 3) {
    const qsizetype remaining = length - i;
    const unsigned b0 = bytes[i];
    const unsigned b1 = remaining > 1 ? bytes[i + 1] : 0;
    const unsigned b2 = remaining > 2 ? bytes[i + 2] : 0;
    text += QLatin1Char(alphabet[b0 >> 2]);
    text += QLatin1Char(alphabet[((b0 & 0x03) << 4) | (b1 >> 4)]);
    text += remaining > 1 ? QLatin1Char(alphabet[((b1 & 0x0F) << 2) | (b2 >> 6)]) : QLatin1Char('=');
    text += remaining > 2 ? QLatin1Char(alphabet[b2 & 0x3F]) : QLatin1Char('=');
    if (lineLength > 0) {
      lineCount += 4;
      if (lineCount >= lineLength) {
        text += QLatin1Char('\n');
        lineCount = 0;
      }
    }
  }
  return text;
}

bool dataIsPNG(const QByteArray& data)
{
  static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
  return data.size() >= 8 && data.startsWith(QByteArrayView(signature, 8));
}
