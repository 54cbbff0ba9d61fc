#include "foundation/CBData.h"

#include <gtest/gtest.h>

TEST(Data, MD5OfStringsAndData)
{
  EXPECT_EQ(cb_md5HashWithString(QString("")).toHex(), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(cb_md5HashWithString("The quick brown fox jumps over the lazy dog").toHex(),
            "9e107d9d372bb6826bd81d3542a419d6");
  EXPECT_EQ(cb_md5HashWithString(QStringLiteral("caf\u00e9")), cb_md5Hash(QByteArray("caf\xc3\xa9")));
  EXPECT_EQ(cb_md5Hash(QByteArray()).size(), 16);
}

TEST(Data, UsefulStringDecodes)
{
  EXPECT_EQ(cb_usefulString(QByteArray("caf\xc3\xa9")), QStringLiteral("caf\u00e9"));
  EXPECT_EQ(cb_usefulString(QByteArray("caf\xe9")), QStringLiteral("caf\u00e9"));
  EXPECT_TRUE(cb_usefulString(QByteArray()).isNull());
}

TEST(Data, Base64)
{
  const struct {
    const char* input;
    int lineLength;
    const char* expected;
  } cases[] = {
      {"", 0, ""},
      {"f", 0, "Zg=="},
      {"fo", 0, "Zm8="},
      {"foo", 0, "Zm9v"},
      {"foob", 0, "Zm9vYg=="},
      {"fooba", 0, "Zm9vYmE="},
      {"foobar", -1, "Zm9vYmFy"},
      {"foobar", 4, "Zm9v\nYmFy\n"},
      {"foobar", 6, "Zm9vYmFy\n"},
      {"foobarf", 8, "Zm9vYmFy\nZg=="},
      {"\xff\xfe\xfd", 0, "//79"},
  };
  for (const auto& c : cases) {
    const QString text = base64EncodedStringWithLineLength(QByteArray(c.input), c.lineLength);
    EXPECT_EQ(text, QString::fromLatin1(c.expected)) << c.input << " / " << c.lineLength;
    EXPECT_FALSE(text.isNull());
  }

  // Every length ends, and matches the standard encoding once line feeds are
  // taken out.
  QByteArray data;
  for (int length = 0; length < 100; ++length) {
    EXPECT_EQ(base64EncodedStringWithLineLength(data, 0).toLatin1(), data.toBase64());
    EXPECT_EQ(base64EncodedStringWithLineLength(data, 76).remove(QLatin1Char('\n')).toLatin1(), data.toBase64());
    data.append(static_cast<char>(length * 37));
  }
}

TEST(Data, PNGSignature)
{
  const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
  EXPECT_TRUE(dataIsPNG(signature));
  EXPECT_TRUE(dataIsPNG(signature + "IHDR"));
  EXPECT_FALSE(dataIsPNG(signature.left(7)));
  EXPECT_FALSE(dataIsPNG(QByteArray()));
  QByteArray wrong = signature;
  wrong[7] = '\r';
  EXPECT_FALSE(dataIsPNG(wrong));
}
