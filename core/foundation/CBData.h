#pragma once

// Data helpers of the core library: MD5 digests, text decoding, base64 with
// line breaks and the PNG signature test.

#include <QtCore/QByteArray>
#include <QtCore/QString>

// The 16-byte MD5 digest of the string's UTF-8 bytes.
QByteArray cb_md5HashWithString(const QString& string);

// The 16-byte MD5 digest of the data (feed content hashes, cache keys).
QByteArray cb_md5Hash(const QByteArray& data);

// The data decoded as text the way CBStringUsefulStringWithData does; null
// when no encoding fits.
QString cb_usefulString(const QByteArray& data);

// Standard base64 (RFC 4648 alphabet, "=" padding). With a positive
// `lineLength`, a line feed follows the group of four characters that brings
// the running line count to or past `lineLength`, so a line feed may end the
// text. Empty for empty data.
QString base64EncodedStringWithLineLength(const QByteArray& data, int lineLength);

// True when the data starts with the 8-byte PNG signature.
bool dataIsPNG(const QByteArray& data);
