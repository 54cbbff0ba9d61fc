#include "feeds/parsers/ZPHHTMLSanitizer.h"

#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>

#include <gtest/gtest.h>

namespace {

const QUrl kBase(QStringLiteral("http://example.com/dir/article.html?x=1"));

QString sanitized(const QString& html) { return ZPHHTMLSanitizer::sanitizedHTML(html, kBase); }

TEST(HTMLSanitizer, KeepsTheDocumentAndDropsWhatCouldActOrEscape)
{
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      // Text and plain markup stay; text is escaped again on the way out.
      {"<p>Tom &amp; <b>Jerry</b> &lt;3</p>", "<p>Tom &amp; <b>Jerry</b> &lt;3</p>"},
      {"a > b \"quoted\"", "a &gt; b \"quoted\""},
      {"", ""},
      // Scripts, styles, frames, plug-ins, forms, foreign markup, head
      // elements go with their content.
      {"x<script>alert(1)</script>y", "xy"},
      {"x<script src=\"http://evil/x.js\"></script>y", "xy"},
      {"x<style>body{display:none}</style>y", "xy"},
      {"x<iframe src=\"http://x/\">inside</iframe>y", "xy"},
      {"x<object data=\"a.swf\"><param name=a value=b>fallback</object><embed src=\"b.swf\">y", "xy"},
      {"x<form action=\"http://x/\"><input name=q><button>Go</button><textarea>t</textarea></form>y", "xy"},
      {"x<svg onload=\"alert(1)\"><script>alert(2)</script><a href=\"http://e.com/\">l</a></svg>y", "xy"},
      {"x<math><mi>m</mi></math>y", "xy"},
      {"x<meta http-equiv=\"refresh\" content=\"0;url=http://evil/\"><base href=\"http://evil/\">"
       "<link rel=\"stylesheet\" href=\"http://evil/x.css\">y",
       "xy"},
      {"x<noscript><img src=\"http://t.example/pixel\"></noscript><template><b>t</b></template>y", "xy"},
      {"x<!-- a comment -->y", "xy"},
      // Void elements swallow nothing that follows them.
      {"<p>x<embed src=\"b.swf\">y<input name=q>z<meta name=a>w</p>", "<p>xyzw</p>"},
      // Attributes: only the listed ones.
      {"<p onclick=\"a()\" style=\"color:red\" class=\"c\" title=\"t\" lang=\"en\" data-x=\"1\">p</p>",
       "<p title=\"t\" lang=\"en\">p</p>"},
      {"<img src=\"a.png\" srcset=\"a2.png 2x\" onerror=\"alert(1)\" alt='say \"hi\" &amp; <go>'>",
       "<img src=\"http://example.com/dir/a.png\" alt=\"say &quot;hi&quot; &amp; &lt;go&gt;\">"},
      {"<a href=\"http://e.com/\" target=\"_blank\" rel=\"opener\" ping=\"http://t/\">l</a>",
       "<a href=\"http://e.com/\">l</a>"},
      // Links: only http, https, mailto and the page itself.
      {"<a href=\"JaVaScRiPt:alert(1)\">a</a>", "<a>a</a>"},
      {"<a href=\"&#106;avascript:alert(1)\">a</a>", "<a>a</a>"},
      {"<a href=\" java\tscript:alert(1)\">a</a>", "<a>a</a>"},
      {"<a href=\"data:text/html,<script>alert(1)</script>\">a</a>", "<a>a</a>"},
      {"<a href=\"vbscript:x\">a</a><a href=\"file:///etc/passwd\">b</a><a href=\"feed://e.com/\">c</a>",
       "<a>a</a><a>b</a><a>c</a>"},
      {"<a href=\"mailto:ed@example.com?subject=Hi%20there\">m</a>",
       "<a href=\"mailto:ed@example.com?subject=Hi%20there\">m</a>"},
      {"<a href=\"HTTPS://Example.COM/a b\">w</a>", "<a href=\"https://example.com/a%20b\">w</a>"},
      // Relative addresses resolve against the base, query and all.
      {"<a href=\"page?id=3\">r</a>", "<a href=\"http://example.com/dir/page?id=3\">r</a>"},
      {"<a href=\"../x\">r</a>", "<a href=\"http://example.com/x\">r</a>"},
      {"<a href=\"//other.example.com/y\">r</a>", "<a href=\"http://other.example.com/y\">r</a>"},
      {"<a href=\"?q=1&amp;r=2\">r</a>", "<a href=\"http://example.com/dir/article.html?q=1&amp;r=2\">r</a>"},
      // In-page links and the names they point at share the prefix.
      {"<a href=\"#f\">to f</a><h2 id=\"f\">F</h2><a name=\"n\">n</a>",
       "<a href=\"#zph-f\">to f</a><h2 id=\"zph-f\">F</h2><a name=\"zph-n\">n</a>"},
      {"<a href=\"#\">top</a><div id=\"zph-kept\">k</div>", "<a href=\"#\">top</a><div id=\"zph-kept\">k</div>"},
      {"<div id=\"article\">fake</div>", "<div id=\"zph-article\">fake</div>"},
      // Sources: http and https only; an image without one goes.
      {"<img src=\"javascript:alert(1)\" alt=\"x\"><img src=\"data:image/png;base64,AAAA\">", ""},
      {"<video src=\"v.mp4\" poster=\"ftp://x/p.jpg\" controls autoplay><source src=\"data:x\"></video>",
       "<video src=\"http://example.com/dir/v.mp4\" controls=\"\"></video>"},
      {"<blockquote cite=\"javascript:x\">q</blockquote>", "<blockquote>q</blockquote>"},
      // Unknown elements give way to their content.
      {"<p><font color=\"red\">red</font> <custom-tag>c</custom-tag></p>", "<p>red c</p>"},
      // A page of its own inside the article is flattened into the article.
      {"<html><head><title>T</title></head><body onload=\"x()\"><p>b</p></body></html>", "<p>b</p>"},
      {"a</div></body></html><script>alert(1)</script>b", "a<p>b</p>"},
      // Placeholders are text like any other.
      {"[[newsitem_title]] {{stylesheet_url}}", "[[newsitem_title]] {{stylesheet_url}}"},
  };
  for (const Case& c : cases) EXPECT_EQ(sanitized(QString::fromUtf8(c.in)).toStdString(), c.out) << c.in;
  EXPECT_FALSE(sanitized(QString()).isNull());
}

TEST(HTMLSanitizer, SanitisingTwiceGivesWhatOnceGave)
{
  QStringList inputs = {
      QStringLiteral("<table><form></form> <tr><td>x</td></tr></table>"),
      QStringLiteral("<p><font><div>x</div></font>tail</p>"),
      QStringLiteral("<a href=1><font><a href=2>y</a></font></a>"),
      QStringLiteral("<b>x</b> <script>s</script>"),
      QStringLiteral("<ul><custom><li>a</custom></ul>x<li>loose"),
      QStringLiteral("<p>a<center>b</center>c</p><pre>\nfirst</pre>"),
      QStringLiteral("a&#13;b&#1;c\r\nd\u0001e"),
      QStringLiteral("<table><tr><td><table><td>nested</table>cell"),
  };
  for (const QString& name : QDir(QStringLiteral(ZPH_FIXTURES_DIR "/html")).entryList(QDir::Files))
    inputs.append(QString::fromUtf8(ZPHTestFixture(QStringLiteral("html/") + name)));
  for (const QString& name : QDir(QStringLiteral(ZPH_FIXTURES_DIR "/articles")).entryList(QDir::Files))
    inputs.append(QString::fromUtf8(ZPHTestFixture(QStringLiteral("articles/") + name)));
  for (const QString& input : inputs) {
    const QString once = sanitized(input);
    EXPECT_EQ(sanitized(once), once) << qPrintable(input.left(80));
  }
}

TEST(HTMLSanitizer, ImagesMapOnlyInTheAnswer)
{
  ZPHHTMLSanitizer::Options options;
  options.baseURL = kBase;
  QList<QUrl> asked;
  options.imageSourceMapper = [&](const QUrl& url) {
    asked.append(url);
    return url.path().endsWith(QLatin1String("cached.png")) ? QUrl(QStringLiteral("zph-image-cache://0123.png"))
                                                            : QUrl();
  };
  const QString html = ZPHHTMLSanitizer::sanitizedHTML(
      QStringLiteral("<img src=\"cached.png\" alt=\"c\"><img src=\"http://e.com/other.png\"><a "
                     "href=\"cached.png\">link</a>"),
      options);
  EXPECT_EQ(html,
            QStringLiteral("<img src=\"zph-image-cache://0123.png\" alt=\"c\"><img "
                           "src=\"http://e.com/other.png\"><a href=\"http://example.com/dir/cached.png\">link</a>"));
  EXPECT_TRUE(asked.contains(QUrl(QStringLiteral("http://example.com/dir/cached.png"))));
  EXPECT_TRUE(asked.contains(QUrl(QStringLiteral("http://e.com/other.png"))));
}

TEST(HTMLSanitizer, ABaseThatIsNotAbsoluteDropsRelativeAddresses)
{
  EXPECT_EQ(ZPHHTMLSanitizer::sanitizedHTML(QStringLiteral("<a href=\"x\">x</a><img src=\"y.png\">"), QUrl()),
            QStringLiteral("<a>x</a>"));
  EXPECT_EQ(ZPHHTMLSanitizer::sanitizedHTML(QStringLiteral("<a href=\"x\">x</a><a href=\"http://e.com/\">e</a>"),
                                            QUrl(QStringLiteral("about:blank"))),
            QStringLiteral("<a>x</a><a href=\"http://e.com/\">e</a>"));
}

TEST(HTMLSanitizer, HostileSizesStayBoundedInTimeAndMemory)
{
  QElapsedTimer timer;
  timer.start();

  // Thousands of attributes on one tag: the parser compares each with all
  // the others; cut to the first ones.
  QString attributes = QStringLiteral("<p id=\"first\"");
  for (int i = 0; i < 60000; ++i) attributes += QStringLiteral(" a%1=1").arg(i);
  attributes += QStringLiteral(" title=\"late\">text</p>after");
  EXPECT_EQ(sanitized(attributes), QStringLiteral("<p id=\"zph-first\">text</p>after"));

  // Deep nesting stops at the parser's depth limit, without recursion.
  const QString deep = QStringLiteral("<div>").repeated(100000) + QStringLiteral("deep");
  const QString flat = sanitized(deep);
  EXPECT_LE(flat.count(QStringLiteral("<div>")), 256);

  // Input past the limit is cut, at a character boundary.
  const QString big = QStringLiteral("\u00e9").repeated(ZPHHTMLSanitizer::MaximumInputBytes / 2 + 1000);
  const QString cut = sanitized(big);
  EXPECT_EQ(cut.size(), ZPHHTMLSanitizer::MaximumInputBytes / 2);
  EXPECT_FALSE(cut.contains(QChar(QChar::ReplacementCharacter)));

  // Relative links against a long base grow the output up to its budget,
  // not without end.
  const QUrl longBase(QStringLiteral("http://example.com/") + QString(4000, QLatin1Char('p')));
  const QString links = QStringLiteral("<a href=\"x\">x</a>").repeated(2000);
  const QString grown = ZPHHTMLSanitizer::sanitizedHTML(links, longBase);
  EXPECT_LT(grown.size(), 4 * links.size() + 256 * 1024 + 10000);
  EXPECT_EQ(ZPHHTMLSanitizer::sanitizedHTML(grown, longBase), grown);

  EXPECT_LT(timer.elapsed(), 60000);
}

}  // namespace
