#include "core/store/entities/ArticleStoreFixture.h"

namespace {

class ArticleTextTest : public ArticleStoreFixture {};

}  // namespace

TEST(NormalizedText, RealWorldSnippetsFoldForSearch)
{
  struct Case {
    const char* html;
    const char* normalized;
  } cases[] = {
      // Entities, named and numeric; the decoder never makes markup, so "&"
      // stays a reference.
      {"<p>Caf&eacute; &amp; Cr&#232;me Br&ucirc;l&eacute;e</p>", "cafe &amp; creme brulee"},
      // Diacritics, composed and already decomposed; blocks keep their words
      // apart, inline tags leave no space.
      {"<h1>\xC3\x85ngstr\xC3\xB6m</h1> <p>Zu\xCC\x88rich</p><p>!</p>", "angstrom zurich !"},
      {"<p>foot<b>note</b>[1].</p><p>RELATIVE</p><td>cell</td>", "footnote[1]. relative cell"},
      // Full-width letters and digits, ideographic space.
      {"<span>\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3\xE3\x80\x80\xEF\xBC\x91\xEF\xBC\x92</span>", "abc 12"},
      // Scripts and style sheets over several lines are not text.
      {"<style type=\"text/css\">\n.a { color: red; }\n</style><p>Visible</p><SCRIPT>\nif (a < b) {\n"
       "document.write('<b>hidden</b>');\n}\n</SCRIPT><p>text</p>",
       "visible text"},
      // A typical blog body.
      {"<div class=\"entry\"><p>Don&#8217;t <a href=\"https://x.example/\">miss</a> the <em>na&iuml;ve</em> "
       "r&eacute;sum&eacute;.</p></div>",
       "don\xE2\x80\x99t miss the naive resume."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CBDataArticleContent::normalizedTextFromHtmlText(QString::fromUtf8(c.html)).simplified(),
              QString::fromUtf8(c.normalized))
        << c.html;
  }
  EXPECT_TRUE(CBDataArticleContent::normalizedTextFromHtmlText(QString()).isNull());
}

TEST_F(ArticleTextTest, SettingTheHTMLKeepsTheNormalizedTextInStep)
{
  CBDataArticleContent* content =
      static_cast<CBDataArticleContent*>(main->insertNewObject(CBDataEntityNameArticleContent));
  content->setHtmlText(QStringLiteral("<p>\u00C9T\u00C9</p>"));
  EXPECT_EQ(content->normalizedText().simplified(), QStringLiteral("ete"));
  content->setHtmlText(QString());
  EXPECT_TRUE(content->normalizedText().isNull());
  EXPECT_TRUE(content->htmlText().isNull());
  content->setHtmlText(QStringLiteral("bad ") + QChar(0xD801));
  EXPECT_EQ(content->htmlText(), QStringLiteral("bad \uFFFD"));
}

// Search text is folded in runs; it must equal the fold of the whole text
// (decomposed, lower case, without non-spacing marks, width forms made
// plain) for every character, alone and between ASCII and other text.
TEST(NormalizedText, FoldsEveryCharacterAsTheWholeTextWould)
{
  const auto wholeFold = [](const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D).toLower();
    QString result;
    for (const QChar c : decomposed) {
      if (c.category() == QChar::Mark_NonSpacing)
        continue;
      if (c.decompositionTag() == QChar::Wide || c.decompositionTag() == QChar::Narrow)
        result += c.decomposition();
      else
        result += c;
    }
    return result;
  };
  QStringList texts;
  for (char32_t code = 0x80; code <= 0x10FFFF; code += code < 0x10000 ? 1 : 97) {
    if (code >= 0xD800 && code <= 0xDFFF)
      continue;
    const QString c = QString::fromUcs4(&code, 1);
    texts << c << QStringLiteral("Ab") + c + QStringLiteral("\u0301 Z") + c;
  }
  // Marks in an order to sort, around ASCII and between other letters.
  texts << QStringLiteral("a\u0323\u0302\u0301B\u0301\u0323 \u1EAC\u0301x") << QStringLiteral("\u0301\u0323A")
        << QStringLiteral("\u0130stanbul \u03A3\u039F\u03A3 \uAC00\u1100 \uFF21b\u00C5")
        << QStringLiteral("\U0001F600 E\u0301");
  for (const QString& text : texts)
    ASSERT_EQ(CBDataArticleContent::normalizedTextFromPlainText(text), wholeFold(text)) << text.toStdString();
}
