#include "feeds/parsers/ZPHMarkupParser.h"

#include <gtest/gtest.h>

TEST(MarkupParser, TextBelowTheBodyJoinedWithoutSeparators)
{
  struct Case {
    const char* markup;
    const char* text;
  } cases[] = {
      {"<p>a</p><p>b</p>", "ab"},
      {"  <html><body><div>one <b>two</b><!-- no --></div> three</body></html>\n", "one two three"},
      {"<html><head><title>only a head</title></head></html>", ""},
      {"", ""},
      {"plain &amp; simple", "plain & simple"},
      {"<p>caf\xC3\xA9</p>", "caf\xC3\xA9"},
      {"<p>x<script>var a = 'y';</script><style>z</style></p>", "x"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHMarkupParser::stringFromMarkup(QString::fromUtf8(c.markup)), QString::fromUtf8(c.text)) << c.markup;
  EXPECT_FALSE(ZPHMarkupParser::stringFromMarkup(QString()).isNull());
}

TEST(MarkupParser, ReferencesAreReadWithHTMLsWholeTable)
{
  // The parser alone knows HTML 4's names; the text is read as HTML reads it
  // today, and what references stand for stays text.
  struct Case {
    const char16_t* markup;
    const char16_t* text;
  };
  const Case cases[] = {
      {u"&lang;x&rang; &check; &bigstar; &NotEqualTilde;", u"\u27E8x\u27E9 \u2713 \u2605 \u2242\u0338"},
      {u"&frac12; &times; &ndash; &sup2; &shy;&Yacute; &nbsp;", u"\u00BD \u00D7 \u2013 \u00B2 \u00AD\u00DD \u00A0"},
      {u"&#150;&#X41;&#x42;&#67;", u"\u2013ABC"},
      {u"&lt;b&gt; &amp;amp; &LT;i&GT; &quot;q&apos;", u"<b> &amp; <i> \"q'"},
      {u"<p title=\"&quot;&gt;leak\">kept</p>", u"kept"},
      {u"&bogus; &", u"&bogus; &"},
  };
  for (const Case& c : cases) {
    const QString markup =
        QStringLiteral("<html><body>") + QString::fromUtf16(c.markup) + QStringLiteral("</body></html>");
    EXPECT_EQ(ZPHMarkupParser::stringFromMarkup(markup), QString::fromUtf16(c.text)) << markup.toStdString();
  }
}

TEST(MarkupParser, TextAloneInABodyComesBackAsTheParserGivesIt)
{
  // Text alone in a body is answered without building a document; a comment
  // after the document makes the parser read the same body. Both must agree,
  // also for the characters the parser drops or changes.
  const QString texts[] = {
      QStringLiteral("plain words"),
      QStringLiteral("  spaced\tout\nlines  "),
      QStringLiteral("   "),
      QString(),
      QString::fromUtf16(u"caf\u00E9 \u4E2D\u6587 \U0001F600 \u00A0nbsp"),
      QString::fromUtf16(u"\uFEFFbyte order mark"),
      QString::fromUtf16(u"carriage\r\nreturn"),
      QString::fromUtf16(u"control\u0001\u0085\u009F characters"),
      QString::fromUtf16(u"non\uFFFEcharacters\uFFFF"),
      QStringLiteral("a > b, \"quoted\" 'text'"),
      QStringLiteral("an &amp; entity"),
      QString(3000, QLatin1Char('x')) + QStringLiteral(" long"),
  };
  for (const QString& text : texts) {
    const QString alone = QStringLiteral("<html><body>%1</body></html>").arg(text);
    const QString parsed = alone + QStringLiteral("<!---->");
    const QString answer = ZPHMarkupParser::stringFromMarkup(alone);
    EXPECT_EQ(answer, ZPHMarkupParser::stringFromMarkup(parsed)) << qPrintable(text.left(40));
    EXPECT_FALSE(answer.isNull());
  }
  // A lone surrogate, which UTF-8 cannot carry, is left to the parser too.
  const QString lone = QStringLiteral("<html><body>a") + QChar(0xD800) + QStringLiteral("b</body></html>");
  EXPECT_EQ(ZPHMarkupParser::stringFromMarkup(lone),
            ZPHMarkupParser::stringFromMarkup(lone + QStringLiteral("<!---->")));
}

TEST(MarkupParser, NeverLoadsExternalEntitiesAndSurvivesDeepNesting)
{
  const QString external = QStringLiteral(
      "<!DOCTYPE html [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><html><body><p>&x;</p>ok</body></html>");
  const QString text = ZPHMarkupParser::stringFromMarkup(external);
  EXPECT_FALSE(text.contains(QStringLiteral("root:")));
  EXPECT_TRUE(text.endsWith(QStringLiteral("ok")));

  const auto nested = [](int depth) {
    QString markup;
    for (int i = 0; i < depth; ++i) markup += QStringLiteral("<div>");
    return markup + QStringLiteral("deep");
  };
  EXPECT_EQ(ZPHMarkupParser::stringFromMarkup(nested(200)), QStringLiteral("deep"));
  // Far past the parser's own depth limit: it stops, the walk never recurses.
  ZPHMarkupParser::stringFromMarkup(nested(50000));
}
