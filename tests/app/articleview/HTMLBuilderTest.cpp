#include "ArticleTestSupport.h"

#include "articleview/CBHTMLBuilder.h"
#include "articleview/CBHTMLDataSource.h"

#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>

#include <gtest/gtest.h>

namespace {

// Answers from a table and records the keys in the order asked.
class TableDataSource : public CBHTMLDataSource {
public:
  explicit TableDataSource(QHash<QString, QString> values) : m_values(std::move(values)) {}
  QString valueForPlaceholderKey(const QString& key) const override
  {
    asked.append(key);
    return m_values.value(key);
  }
  mutable QStringList asked;

private:
  QHash<QString, QString> m_values;
};

QString substituted(const QString& htmlTemplate, const QHash<QString, QString>& values,
                    const QHash<QString, QString>& pageValues = {})
{
  CBHTMLBuilder builder(std::make_shared<TableDataSource>(values), htmlTemplate);
  builder.setPageValues(pageValues);
  return builder.buildHTMLUsingTemplate(htmlTemplate);
}

TEST(HTMLBuilder, FillsBothKindsOfPlaceholderInOneBackwardPass)
{
  const QHash<QString, QString> values = {
      {QStringLiteral("a"), QStringLiteral("A")},
      {QStringLiteral("b"), QStringLiteral("B")},
      // Feed text that looks like placeholders stays as it is.
      {QStringLiteral("feed"), QStringLiteral("[[a]] {{width}} [[b")},
  };
  const QHash<QString, QString> page = {{QStringLiteral("width"), QStringLiteral("42")},
                                        {QStringLiteral("url"), QStringLiteral("cbstylesheet:///x?a=1&b=\"2\"")}};
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"no placeholders here", "no placeholders here"},
      {"", ""},
      {"[[a]][[b]]", "AB"},
      {"x[[a]]y{{width}}z", "xAy42z"},
      {"[[feed]] then {{width}}", "[[a]] {{width}} [[b then 42"},
      {"<p style=\"w:{{width}}\">[[feed]]</p>", "<p style=\"w:42\">[[a]] {{width}} [[b</p>"},
      // Page values are written as attribute values.
      {"<link href=\"{{url}}\">", "<link href=\"cbstylesheet:///x?a=1&amp;b=&quot;2&quot;\">"},
      // Unknown keys: nothing from the data source; a page placeholder
      // without a value stays.
      {"<[[unknown]]>{{nothing}}", "<>{{nothing}}"},
      {"[[]]", ""},
      // An unmatched closing mark ends the pass; what lies before stays.
      // The last opening mark before a closing one wins: "a]] x " is a key.
      {"[[a]] x ]] [[b]]", " B"},
      {"x ]] [[b]]", "x ]] B"},
      {"x }} {{width}}", "x }} 42"},
      {"]]", "]]"},
      {"[[a", "[[a"},
  };
  for (const Case& c : cases) EXPECT_EQ(text(substituted(QString::fromUtf8(c.in), values, page)), c.out) << c.in;
}

TEST(HTMLBuilder, AdjacentPlaceholdersAreFilledRightToLeft)
{
  auto source = std::make_shared<TableDataSource>(QHash<QString, QString>{});
  CBHTMLBuilder builder(source, QString());
  builder.buildHTMLUsingTemplate(QStringLiteral("[[first]][[second]] [[third]]"));
  EXPECT_EQ(source->asked, (QStringList{"third", "second", "first"}));
}

TEST(HTMLBuilder, ThePageCarriesAFreshPolicyFirstInItsHead)
{
  const QString htmlTemplate = QStringLiteral(
      "<!DOCTYPE html>\n<html>\n<HEAD>\n<meta charset=\"utf-8\">\n<style>#a{}</style><style media=\"x\">b{}</style>"
      "\n</head>\n<body>[[a]]</body></html>");
  CBHTMLBuilder builder(std::make_shared<TableDataSource>(QHash<QString, QString>{{"a", "<p>A</p>"}}), htmlTemplate);
  const QString page = builder.renderedHTML();
  const QString nonce = builder.contentSecurityPolicyNonce();
  EXPECT_GE(nonce.size(), 20);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]+$")).match(nonce).hasMatch());
  const QString policy = QStringLiteral(
                             "default-src 'none'; script-src 'none'; style-src cbstylesheet: 'nonce-%1'; img-src http: "
                             "https: cbfavicon: zph-image-cache: cbstylesheet:; media-src http: https:; font-src "
                             "cbstylesheet:; base-uri 'none'; form-action 'none'")
                             .arg(nonce);
  EXPECT_EQ(CBHTMLBuilder::contentSecurityPolicy(nonce), policy);
  EXPECT_TRUE(
      page.startsWith(QStringLiteral("<!DOCTYPE html>\n<html>\n<HEAD><meta http-equiv=\"Content-Security-Policy\" "
                                     "content=\"") +
                      policy + QStringLiteral("\">\n<meta charset=\"utf-8\">")))
      << text(page);
  EXPECT_TRUE(
      page.contains(QStringLiteral("<style nonce=\"%1\">#a{}</style><style nonce=\"%1\" media=\"x\">").arg(nonce)));
  EXPECT_TRUE(page.endsWith(QStringLiteral("<body><p>A</p></body></html>")));
  EXPECT_EQ(builder.renderedHTMLResult(), page);
  EXPECT_FALSE(page.contains(QStringLiteral("<base")));

  const QString again = builder.renderedHTML();
  EXPECT_NE(builder.contentSecurityPolicyNonce(), nonce);
  EXPECT_FALSE(again.contains(nonce));
}

TEST(HTMLBuilder, ATemplateWithoutAHeadIsGivenOne)
{
  CBHTMLBuilder builder(std::make_shared<TableDataSource>(QHash<QString, QString>{{"newsitem_title", "T"}}), QString());
  const QString page = builder.renderedHTML();
  EXPECT_TRUE(
      page.startsWith(QStringLiteral("<!DOCTYPE html>\n<html><head>\n<meta http-equiv=\"Content-Security-Policy\"")));
  EXPECT_TRUE(
      page.contains(QStringLiteral("<body id=\"detailViewBody\">\n<div class=\"newsItemContainer\">\n<div "
                                   "class=\"newsItemTitle\"><strong>T</strong></div>")));
  EXPECT_TRUE(page.endsWith(QStringLiteral("</div>\n</body></html>")));

  // The header of the page as the builder writes it itself.
  builder.setIncludeHTMLHeader(true);
  builder.setIncludeHTMLFooter(true);
  builder.setStyleSheetPath(QStringLiteral("cbstylesheet:///a/style sheet\".css"));
  builder.setHtmlTemplate(QStringLiteral("<p>[[newsitem_title]]</p>"));
  const QString withHeader = builder.renderedHTML();
  const QString nonce = builder.contentSecurityPolicyNonce();
  EXPECT_TRUE(withHeader.startsWith(QStringLiteral("<html><head>\n<meta http-equiv=\"Content-Security-Policy\"")));
  EXPECT_TRUE(withHeader.contains(QStringLiteral("<style type=\"text/css\" media=\"screen\" nonce=\"%1\">@import "
                                                 "\"cbstylesheet:///a/style sheet%22.css\";</style>\n")
                                      .arg(nonce)));
  EXPECT_TRUE(withHeader.contains(QStringLiteral("<body id='detailViewBody'>\n<p>T</p>\n\n</body></html>")));
}

TEST(HTMLBuilder, TheSearchTermReachesTheHighlightCallJSONEncoded)
{
  CBHTMLBuilder builder(nullptr, QStringLiteral("<p>x</p>"));
  EXPECT_EQ(text(builder.searchHighlightScript()), "");
  builder.setIncludeAuthorSearchHighlightScript(true);
  EXPECT_EQ(text(builder.searchHighlightScript()), "") << "no term, no highlighting";

  struct Case {
    QString term;
  } cases[] = {{QStringLiteral("it's")},
               {QStringLiteral("back\\slash")},
               {QStringLiteral("\"quoted\"")},
               {QStringLiteral("');alert(1);('")},
               {QStringLiteral("</script><script>alert(1)</script>")},
               {QStringLiteral("line\nbreak \u2028 caf\u00e9")}};
  for (const Case& c : cases) {
    builder.setSearchHighlightTerm(c.term);
    const QString call = builder.searchHighlightScript();
    ASSERT_TRUE(call.startsWith(QStringLiteral("doHighlight(")) && call.endsWith(QStringLiteral(");"))) << text(call);
    // The arguments read back as exactly the three strings.
    const QString arguments = call.mid(12, call.size() - 14);
    const QJsonArray parsed =
        QJsonDocument::fromJson((QLatin1Char('[') + arguments + QLatin1Char(']')).toUtf8()).array();
    EXPECT_EQ(parsed, (QJsonArray{"author", "highlightedtext", c.term})) << text(call);
  }

  // The body comes first, then the author, then the title.
  builder.setSearchHighlightTerm(QStringLiteral("t"));
  builder.setIncludeTitleSearchHighlightScript(true);
  EXPECT_TRUE(builder.searchHighlightScript().startsWith(QStringLiteral("doHighlight(\"author\"")));
  builder.setIncludeSearchHighlightScript(true);
  EXPECT_TRUE(builder.searchHighlightScript().startsWith(QStringLiteral("doHighlight(\"detailViewBody\"")));
  builder.setIncludeSearchHighlightScript(false);
  builder.setIncludeAuthorSearchHighlightScript(false);
  EXPECT_TRUE(builder.searchHighlightScript().startsWith(QStringLiteral("doHighlight(\"title\"")));
  // Never part of the page: its scripts do not run.
  EXPECT_FALSE(builder.renderedHTML().contains(QStringLiteral("doHighlight")));
}

}  // namespace
