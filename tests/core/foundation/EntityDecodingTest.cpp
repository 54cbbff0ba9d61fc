#include "foundation/CBEntityDecoding.h"
#include "foundation/ZPHHTMLNamedCharacterReferences.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(CBEntityDecoding, TableHoldsTheNamedAndNumericReferences)
{
  const QHash<QString, QString>& table = CBEntitiesDictionary();
  EXPECT_EQ(&table, &CBEntitiesDictionary());
  EXPECT_EQ(table.size(), 234);
  qsizetype numeric = 0;
  for (auto it = table.cbegin(); it != table.cend(); ++it) numeric += it.key().startsWith(u'#') ? 1 : 0;
  EXPECT_EQ(numeric, 118);
  for (int code = 160; code <= 255; ++code) EXPECT_TRUE(table.contains(QStringLiteral("#%1").arg(code))) << code;

  struct Case {
    const char* key;
    const char16_t* value;
  };
  const Case cases[] = {
      // Encoded on purpose: decoding never makes markup.
      {"amp", u"&amp;"},
      {"lt", u"&lt;"},
      {"gt", u"&gt;"},
      // Windows-1252 meanings.
      {"#145", u"\u2018"},
      {"#146", u"\u2019"},
      {"#147", u"\u201C"},
      {"#148", u"\u201D"},
      {"#149", u"\u2022"},
      {"#150", u"\u2013"},
      {"#151", u"\u2014"},
      {"#153", u"\u2122"},
      // Their own characters, never a question mark.
      {"#164", u"\u00A4"},
      {"#166", u"\u00A6"},
      {"#208", u"\u00D0"},
      {"#222", u"\u00DE"},
      {"#240", u"\u00F0"},
      {"#254", u"\u00FE"},
      {"curren", u"\u00A4"},
      {"brvbar", u"\u00A6"},
      {"brkbar", u"\u00A6"},
      {"die", u"\u00A8"},
      {"ETH", u"\u00D0"},
      {"eth", u"\u00F0"},
      {"THORN", u"\u00DE"},
      {"thorn", u"\u00FE"},
      {"Dstrok", u"\u0110"},
      // The characters HTML names, never a blank or an ASCII stand-in.
      {"#32", u" "},
      {"#160", u"\u00A0"},
      {"#173", u"\u00AD"},
      {"#178", u"\u00B2"},
      {"#179", u"\u00B3"},
      {"#185", u"\u00B9"},
      {"#8194", u"\u2002"},
      {"#8195", u"\u2003"},
      {"nbsp", u"\u00A0"},
      {"shy", u"\u00AD"},
      {"sup1", u"\u00B9"},
      {"sup2", u"\u00B2"},
      {"sup3", u"\u00B3"},
      {"#8211", u"\u2013"},
      {"ndash", u"\u2013"},
      {"#215", u"\u00D7"},
      {"times", u"\u00D7"},
      {"#221", u"\u00DD"},
      {"Yacute", u"\u00DD"},
      {"#253", u"\u00FD"},
      {"yacute", u"\u00FD"},
      {"#188", u"\u00BC"},
      {"#189", u"\u00BD"},
      {"#190", u"\u00BE"},
      {"frac14", u"\u00BC"},
      {"frac12", u"\u00BD"},
      {"frac34", u"\u00BE"},
      // Punctuation and symbols.
      {"#8212", u"\u2014"},
      {"mdash", u"\u2014"},
      {"#8216", u"\u2018"},
      {"lsquo", u"\u2018"},
      {"#8217", u"\u2019"},
      {"rsquo", u"\u2019"},
      {"#8220", u"\u201C"},
      {"ldquo", u"\u201C"},
      {"#8221", u"\u201D"},
      {"rdquo", u"\u201D"},
      {"#8230", u"\u2026"},
      {"hellip", u"\u2026"},
      {"euro", u"\u20AC"},
      {"hearts", u"\u2665"},
      {"Pi", u"\u03A0"},
      {"pi", u"\u03C0"},
      {"trade", u"\u2122"},
      {"#34", u"\""},
      {"#034", u"\""},
      {"quot", u"\""},
      {"#39", u"'"},
      {"#039", u"'"},
      {"apos", u"'"},
      // Plain ISO 8859-1.
      {"#233", u"\u00E9"},
      {"eacute", u"\u00E9"},
      {"#198", u"\u00C6"},
      {"AElig", u"\u00C6"},
      {"#168", u"\u00A8"},
      {"uml", u"\u00A8"},
      {"#255", u"\u00FF"},
      {"yuml", u"\u00FF"},
  };
  for (const Case& c : cases) EXPECT_EQ(table.value(QString::fromLatin1(c.key)), QString::fromUtf16(c.value)) << c.key;

  // Every name HTML knows gives HTML's character.
  for (auto it = table.cbegin(); it != table.cend(); ++it) {
    const QString name = it.key();
    if (name.startsWith(u'#') || name == "amp" || name == "lt" || name == "gt" || name == "brkbar")
      continue;
    const char* html = ZPHHTMLNamedCharacterReferenceValue(name.toStdString());
    ASSERT_NE(html, nullptr) << name.toStdString();
    EXPECT_EQ(it.value(), QString::fromUtf8(html)) << name.toStdString();
  }

  // A named reference and the numeric one of the same character agree.
  for (auto it = table.cbegin(); it != table.cend(); ++it) {
    if (it.key().startsWith(u'#') || it.value().size() != 1)
      continue;
    const ushort code = it.value().at(0).unicode();
    if (code >= 160 && code <= 255) {
      EXPECT_EQ(table.value(QStringLiteral("#%1").arg(code)), it.value()) << it.key().toStdString();
    }
  }
}

TEST(CBEntityDecoding, DecodesReferencesButNeverMakesMarkup)
{
  struct Case {
    const char16_t* input;
    bool convertCarets;
    bool numericOnly;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"AT&amp;T", true, false, u"AT&amp;T"},
      {u"AT&amp;T", false, false, u"AT&amp;T"},
      {u"&lt;b&gt;", true, false, u"&lt;b&gt;"},
      {u"&lt;b&gt;", false, false, u"&lt;b&gt;"},
      {u"caf&eacute;", true, false, u"caf\u00E9"},
      {u"caf&#233;", true, false, u"caf\u00E9"},
      {u"caf&#xe9;", true, false, u"caf\u00E9"},
      {u"&#39;&apos;&#8217;", true, false, u"''\u2019"},
      {u"&#65;&#x42;&#0067;", true, false, u"ABC"},
      {u"&#150;", true, false, u"\u2013"},
      {u"&nbsp;", true, false, u"\u00A0"},
      {u"&frac12;&times;&ndash;&sup2;&shy;&Yacute;&lang;", true, false, u"\u00BD\u00D7\u2013\u00B2\u00AD\u00DD\u27E8"},
      // A hexadecimal reference, whatever the case of its x.
      {u"&#X41;&#Xe9;&#x1f600;", true, false, u"A\u00E9\U0001F600"},
      // 128 to 159 as HTML reads them: Windows-1252.
      {u"&#128;&#x96;&#159;&#129;", true, false, u"\u20AC\u2013\u0178\u0081"},
      // Left as written.
      {u"&#X;&#x;&#Xzz;", true, false, u"&#X;&#x;&#Xzz;"},
      {u"&#x0;&#0;", true, false, u"&#x0;&#0;"},
      {u"&#-65;", true, false, u"&#-65;"},
      {u"a & b; c", true, false, u"a & b; c"},
      {u"&unknown;", true, false, u"&unknown;"},
      {u"&amp &lt", true, false, u"&amp &lt"},
      {u"&&amp;x&", true, false, u"&&amp;x&"},
      {u"&;", true, false, u"&;"},
      // Code points above the basic plane become surrogate pairs.
      {u"&#128512;", true, false, u"\U0001F600"},
      {u"&#x1F600;", true, false, u"\U0001F600"},
      {u"&#x10FFFF;", true, false, u"\U0010FFFF"},
      // Surrogates and values past Unicode stay as written.
      {u"&#xD800;&#56320;", true, false, u"&#xD800;&#56320;"},
      {u"&#x110000;&#1114112;", true, false, u"&#x110000;&#1114112;"},
      {u"&#99999999999;&#xFFFFFFFFFF;", true, false, u"&#99999999999;&#xFFFFFFFFFF;"},
      // Numeric references to "&", "<" and ">" stay encoded.
      {u"&#38;&#x26;", true, false, u"&amp;&amp;"},
      {u"&#38;", false, false, u"&amp;"},
      {u"&#60;script&#x3E;", true, false, u"&lt;script&gt;"},
      {u"&#x3c;b&#62;", true, false, u"&lt;b&gt;"},
      {u"&#60;script&#x3E;", false, false, u"&#60;script&#x3E;"},
      {u"&#60;script&#x3E;", true, true, u"&#60;script&#x3E;"},
      {u"&#X3C;script&#X3e;", true, false, u"&lt;script&gt;"},
      // Numeric only: the table is skipped, decimal references still decode.
      {u"&eacute;&#233;", true, true, u"&eacute;\u00E9"},
      {u"&#150;", true, true, u"\u2013"},
      {u"&lt;&amp;", true, true, u"&lt;&amp;"},
  };
  for (const Case& c : cases) {
    const QString input = QString::fromUtf16(c.input);
    EXPECT_EQ(cb_stringWithDecodedEntities(input, c.convertCarets, c.numericOnly), QString::fromUtf16(c.result))
        << input.toStdString() << " carets " << c.convertCarets << " numeric-only " << c.numericOnly;
  }

  EXPECT_EQ(QString::fromUtf16(u"\U0001F600").size(), 2);
  EXPECT_EQ(CBStringWithDecodedEntities("caf&eacute; &lt;"), "caf\u00e9 &lt;");
  EXPECT_EQ(cb_stringWithDecodedEntities("&#60;"), "&lt;");
  EXPECT_TRUE(CBStringWithDecodedEntities(QString()).isNull());
  EXPECT_EQ(CBStringWithDecodedEntities("no references"), "no references");
}

TEST(CBEntityDecoding, TheGeneratedTableIsHTMLsWholeTable)
{
  std::size_t count = 0;
  const ZPHHTMLNamedCharacterReference* table = ZPHHTMLNamedCharacterReferenceTable(&count);
  EXPECT_EQ(count, 2125u);
  for (std::size_t i = 1; i < count; ++i) EXPECT_LT(std::strcmp(table[i - 1].name, table[i].name), 0) << table[i].name;
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("bull"), "\u2022");
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("Alpha"), "\u0391");
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("alpha"), "\u03B1");
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("NotEqualTilde"), "\u2242\u0338");  // two code points
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("Afr"), "\U0001D504");
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("AElig"), "\u00C6");  // the first
  EXPECT_STREQ(ZPHHTMLNamedCharacterReferenceValue("zwnj"), "\u200C");   // the last
  EXPECT_EQ(ZPHHTMLNamedCharacterReferenceValue("bull;"), nullptr);
  EXPECT_EQ(ZPHHTMLNamedCharacterReferenceValue("BULL"), nullptr);
  EXPECT_EQ(ZPHHTMLNamedCharacterReferenceValue("brkbar"), nullptr);
  EXPECT_EQ(ZPHHTMLNamedCharacterReferenceValue(""), nullptr);
}

TEST(CBEntityDecoding, EveryHTMLNameDecodesOthersStayAsWritten)
{
  struct Case {
    const char16_t* input;
    bool convertCarets;
    const char16_t* result;
  };
  const Case cases[] = {
      // Names outside the old table.
      {u"&bull; &rarr; &alpha; &dagger; &Dagger;", true, u"\u2022 \u2192 \u03B1 \u2020 \u2021"},
      {u"&hookrightarrow;&fjlig;&NotEqualTilde;&Afr;", true,
       u"\u21AA"
       u"fj"
       u"\u2242\u0338"
       u"\U0001D504"},
      {u"&ETH;&eth;&THORN;&thorn;&curren;&brvbar;&brkbar;&die;&Dstrok;", true,
       u"\u00D0\u00F0\u00DE\u00FE\u00A4\u00A6\u00A6\u00A8\u0110"},
      // The table's own values are HTML's.
      {u"&nbsp;&ndash;&times;&frac12;", true, u"\u00A0\u2013\u00D7\u00BD"},
      // Never markup, in any spelling.
      {u"&LT;b&GT; &AMP; &nvlt;", true, u"&lt;b&gt; &amp; &lt;\u20D2"},
      {u"&LT;b&GT; &nvgt;", false, u"&LT;b&GT; &nvgt;"},
      // Names are case-sensitive; unknown ones stay.
      {u"&BULL; &Bull; &bull", true, u"&BULL; &Bull; &bull"},
      {u"&notanentity; &amp;bull;", true, u"&notanentity; &amp;bull;"},
  };
  for (const Case& c : cases) {
    const QString input = QString::fromUtf16(c.input);
    EXPECT_EQ(cb_stringWithDecodedEntities(input, c.convertCarets, false), QString::fromUtf16(c.result))
        << input.toStdString();
  }
  EXPECT_EQ(cb_stringWithDecodedEntities("&bull;&#8226;", true, true), "&bull;\u2022");

  EXPECT_EQ(CBNamedCharacterReferenceText(u"bull"), "\u2022");
  EXPECT_EQ(CBNamedCharacterReferenceText(u"nbsp"), "\u00A0");
  EXPECT_EQ(CBNamedCharacterReferenceText(u"amp"), "&amp;");
  EXPECT_TRUE(CBNamedCharacterReferenceText(u"#8226").isNull());
  EXPECT_TRUE(CBNamedCharacterReferenceText(u"bu\u00E9ll").isNull());
  EXPECT_TRUE(CBNamedCharacterReferenceText(QString(200, u'a')).isNull());
  std::size_t length = 0;
  EXPECT_STREQ(CBNamedCharacterReferenceUTF8("rarr", &length), "\u2192");
  EXPECT_EQ(length, 3u);
  EXPECT_STREQ(CBNamedCharacterReferenceUTF8("brkbar", &length), "\u00A6");
  EXPECT_EQ(CBNamedCharacterReferenceUTF8("bogus", &length), nullptr);
}

TEST(CBEntityDecoding, TextForPeopleAndMarkupForAnotherParser)
{
  // Text: every reference decoded once, "&", "<" and ">" too. Markup: the
  // same characters, but those of markup's syntax as numeric references.
  struct Case {
    const char16_t* input;
    const char16_t* text;
    const char16_t* markup;
  };
  const Case cases[] = {
      {u"AT&amp;T &lt;b&gt;", u"AT&T <b>", u"AT&#38;T &#60;b&#62;"},
      {u"&amp;lt; &amp;amp;", u"&lt; &amp;", u"&#38;lt; &#38;amp;"},
      {u"&#60;&#x3E;&#38;&LT;&GT;&AMP;", u"<>&<>&", u"&#60;&#62;&#38;&#60;&#62;&#38;"},
      {u"&quot;&#34;&apos;&#39;", u"\"\"''", u"&#34;&#34;&#39;&#39;"},
      {u"&lang;&frac12; &#X41;&#150;", u"\u27E8\u00BD A\u2013", u"\u27E8\u00BD A\u2013"},
      {u"&nvlt;", u"<\u20D2", u"&#60;\u20D2"},
      {u"&bogus; & b; &#0;", u"&bogus; & b; &#0;", u"&bogus; & b; &#0;"},
      {u"<p>&eacute;</p>", u"<p>\u00E9</p>", u"<p>\u00E9</p>"},
  };
  for (const Case& c : cases) {
    const QString input = QString::fromUtf16(c.input);
    EXPECT_EQ(CBTextWithDecodedEntities(input), QString::fromUtf16(c.text)) << input.toStdString();
    EXPECT_EQ(CBMarkupWithDecodedEntities(input), QString::fromUtf16(c.markup)) << input.toStdString();
  }
  EXPECT_TRUE(CBTextWithDecodedEntities(QString()).isNull());
  EXPECT_EQ(CBTextWithDecodedEntities("plain"), "plain");
}

TEST(CBEntityDecoding, HexDigitsScanning)
{
  struct Case {
    const char* text;
    bool scanned;
    quint32 value;
  };
  const Case cases[] = {
      {"ff", true, 255},    {"0x1F", true, 31}, {" 0X2a", true, 42},
      {"41zz", true, 0x41}, {"0x", true, 0},    {"FFFFFFFFFF", true, 0xFFFFFFFF},
      {"zz", false, 7},     {"", false, 7},     {"x41", false, 7},
  };
  for (const Case& c : cases) {
    quint32 value = 7;
    EXPECT_EQ(cb_intValueFromHexDigit(c.text, &value), c.scanned) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}
