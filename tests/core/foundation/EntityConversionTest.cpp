#include "foundation/CBEntityConversion.h"
#include "foundation/CBEntityDecoding.h"

#include <gtest/gtest.h>

using namespace CobbletonExtras;

TEST(CBEntityConversion, SharesTheDecoderTable)
{
  EXPECT_EQ(&_entitiesDictionary(), &CBEntitiesDictionary());
  EXPECT_EQ(ZPHAmp38, "&#38;");
  EXPECT_EQ(ZPHAmpersand, "&");

  EXPECT_EQ(stringWithDecodedEntities("caf&eacute; &#60;"), "caf\u00e9 &lt;");
  EXPECT_EQ(stringWithDecodedEntities("&#60;", false), "&#60;");
  EXPECT_EQ(stringWithDecodedEntities("&eacute;&#233;", true, true), "&eacute;\u00e9");
  EXPECT_EQ(convertFromCommonEntities("&#60;&eacute;", QVariant(), false), "&#60;\u00e9");

  uint value = 3;
  EXPECT_TRUE(intValueFromHexDigit("ff", &value));
  EXPECT_EQ(value, 255u);
  EXPECT_FALSE(intValueFromHexDigit("zz", &value));
  EXPECT_EQ(value, 255u);
}

TEST(CBEntityConversion, EscapingAndUnescaping)
{
  EXPECT_EQ(convertEntities("Tom & \"Jerry\" > x"), "Tom &amp; &quot;Jerry&quot; &gt; x");
  EXPECT_EQ(convertEntities("&lt;'"), "&amp;lt;'");

  EXPECT_EQ(CBStringUnescapeXMLEntities("&amp;lt;"), "&lt;");
  EXPECT_EQ(CBStringUnescapeXMLEntities("&lt;&#60;&#x3C;&#x3c;&gt;&#62;&#x3E;&#x3e;&quot;&#34;&#x22;&apos;&#39;&#x27;"
                                        "&amp;&#38;&#x26;"),
            "<<<<>>>>\"\"\"'''&&&");
  EXPECT_EQ(CBStringUnescapeXMLEntities("&nbsp;"), "&nbsp;");
  EXPECT_TRUE(CBStringUnescapeXMLEntities(QString()).isNull());

  QString noSemicolon = "fish &amp chips &lt";
  replaceXMLCharacterReferences(noSemicolon);
  EXPECT_EQ(noSemicolon, "fish &amp chips &lt");
  QString references = "&amp;lt; &#62;";
  replaceXMLCharacterReferences(references);
  EXPECT_EQ(references, "&lt; >");

  QString ampersands = "a &amp; b &#38; c";
  replaceAmpersandEntities(ampersands);
  EXPECT_EQ(ampersands, "a & b & c");
  QString entity38 = "&#38;&amp;";
  replaceEntity38WithAmpersand(entity38);
  EXPECT_EQ(entity38, "&&amp;");
  EXPECT_EQ(stringWithAmpersandEntitiesDecoded("R&amp;D &#38; Co"), "R&D & Co");
}

TEST(CBEntityConversion, HighCharactersBecomeEntities)
{
  EXPECT_FALSE(hasHighChars("plain ascii"));
  EXPECT_TRUE(hasHighChars("caf\u00e9"));

  EXPECT_EQ(entityForCharacterString("\u00e9"), "&eacute;");
  EXPECT_EQ(entityForCharacterString("\u2022"), "&#149;");
  EXPECT_EQ(entityForCharacterString("\u2014"), "&mdash;");
  // The table's characters are HTML's, so they come back under their names.
  EXPECT_EQ(entityForCharacterString("\u00b9"), "&sup1;");
  EXPECT_EQ(entityForCharacterString("\u00bd"), "&frac12;");
  EXPECT_EQ(entityForCharacterString("\u2013"), "&ndash;");
  EXPECT_TRUE(entityForCharacterString("\u4e2d").isNull());
  EXPECT_TRUE(entityForCharacterString("-").isNull());

  struct Case {
    const char16_t* input;
    const char* result;
  };
  const Case cases[] = {
      {u"caf\u00e9", "caf&eacute;"},
      {u"\u00b9\u00d7\u00a0", "&sup1;&times;&nbsp;"},
      {u"\u2022 item", "&#149; item"},
      {u"\u2019\u20ac", "&rsquo;&euro;"},
      {u"\u4e2d", "&#20013;"},
      // One reference per code point, with the full code point.
      {u"a\U0001F600b", "a&#128512;b"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(convertHighCharsToEntities(QString::fromUtf16(c.input)), QString::fromLatin1(c.result)) << c.result;

  // Unpaired surrogates are written as the replacement character.
  const QChar high(0xD83D);
  const QChar low(0xDE00);
  EXPECT_EQ(convertHighCharsToEntities(QString("a") + high), "a&#65533;");
  EXPECT_EQ(convertHighCharsToEntities(QString(low) + "b"), "&#65533;b");
  EXPECT_EQ(convertHighCharsToEntities(QString(high) + high + low), "&#65533;&#128512;");

  const QString ascii = "nothing high";
  EXPECT_EQ(convertHighCharsToEntities(ascii).constData(), ascii.constData());
}

TEST(CBEntityConversion, UnpairedSurrogatesAreReplaced)
{
  const QString ascii = "plain";
  EXPECT_EQ(zph_stringByReplacingSingularSurrogates(ascii).constData(), ascii.constData());
  const QString paired = QString::fromUtf16(u"a\U0001F600b");
  EXPECT_EQ(zph_stringByReplacingSingularSurrogates(paired).constData(), paired.constData());
  EXPECT_TRUE(zph_stringByReplacingSingularSurrogates(QString()).isNull());

  const QChar high(0xD83D);
  const QChar low(0xDE00);
  const QChar fffd(0xFFFD);
  struct Case {
    QString input;
    QString result;
  };
  const Case cases[] = {
      {QString("ab") + high, QString("ab") + fffd},
      {QString("a") + low + "b", QString("a") + fffd + "b"},
      {QString(high) + high + low, QString(fffd) + high + low},
      {QString(low) + high + low + low + high, QString(fffd) + high + low + fffd + fffd},
  };
  for (const Case& c : cases) {
    const QString repaired = zph_stringByReplacingSingularSurrogates(c.input);
    EXPECT_EQ(repaired, c.result);
    EXPECT_EQ(repaired.size(), c.input.size());
  }

  // Longer text is ruled out several units at a time: a lone surrogate and a
  // pair at every position, a pair also across each block boundary.
  for (int at = 0; at < 99; ++at) {
    QString lone(100, QChar(u'a'));
    lone[at] = at % 2 == 0 ? high : low;
    QString expected = lone;
    expected[at] = fffd;
    EXPECT_EQ(zph_stringByReplacingSingularSurrogates(lone), expected) << at;
    QString pair(100, QChar(u'a'));
    pair[at] = high;
    pair[at + 1] = low;
    EXPECT_EQ(zph_stringByReplacingSingularSurrogates(pair).constData(), pair.constData()) << at;
  }
}
