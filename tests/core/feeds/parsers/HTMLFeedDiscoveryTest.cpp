#include "feeds/parsers/RSSDiscovery.h"

#include <QtCore/QFile>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

QString fixture(const char* name)
{
  QFile file(QStringLiteral(ZPH_FIXTURES_DIR "/html/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "missing fixture " << name;
    return {};
  }
  return QString::fromUtf8(file.readAll());
}

// "url|title" per found link, in order.
std::vector<std::string> links(const QString& page)
{
  std::vector<std::string> found;
  for (const QVariant& entry : RSSDiscovery::getLinkTagDictionariesWithOriginalXML(page)) {
    const QVariantMap dictionary = entry.toMap();
    std::string line = dictionary.value(RSSDiscoveryURLStringKey).toString().toStdString();
    if (dictionary.contains(RSSDiscoveryTitleKey))
      line += "|" + dictionary.value(RSSDiscoveryTitleKey).toString().toStdString();
    found.push_back(line);
  }
  return found;
}

std::string str(const QString& s) { return s.isNull() ? "(null)" : s.toStdString(); }

}  // namespace

TEST(HTMLFeedDiscovery, KnowsTheFeedMIMETypes)
{
  EXPECT_EQ(RSSDiscovery::feedMIMETypes(),
            QStringList({"application/rss+xml", "application/atom+xml", "application/rdf+xml"}));
  EXPECT_EQ(&RSSDiscovery::feedMIMETypes(), &RSSDiscovery::feedMIMETypes());
}

TEST(HTMLFeedDiscovery, FindsEveryFeedLinkOfAPageOnce)
{
  // Relative addresses come back as written: the caller resolves them against the page's address.
  const std::vector<std::string> expected = {
      "/feed.xml|my feed",
      "/atom",
      "http://example.com/service|rss",
      "comments.xml?a=1&b=2|caf\u00e9 & comments \u2014 \u00e9",
      "//cdn.example.com/rdf/",
      "../late-atom.xml|atom",
  };
  EXPECT_EQ(links(fixture("link-tags.html")), expected);
}

TEST(HTMLFeedDiscovery, QualifiesLinkTagsByRelTypeAndTitle)
{
  struct Case {
    const char* page;
    const char* expected;  // "url|title", or "" for none
  } cases[] = {
      {R"(<link rel="alternate" type="application/rss+xml" title="My Feed" href="/feed.xml"/>)", "/feed.xml|my feed"},
      {R"(<LINK REL="ALTERNATE" TYPE="application/atom+xml" HREF='/atom'>)", "/atom"},
      {R"(<link rel="alternate" type="application/rdf+xml" href="/rdf">)", "/rdf"},
      {R"(<link rel="alternate" type="text/html" href="/m/">)", ""},
      {R"(<link rel="alternate" type="text/html" title="RSS" href="/rss-titled">)", "/rss-titled|rss"},
      {R"(<link rel="alternate" title='atom' href="/atom-titled">)", "/atom-titled|atom"},
      {R"(<link rel="alternate" title=atom href=/unquoted>)", "/unquoted|atom"},
      {R"(<link rel="service.feed" title="rss" href="/service">)", "/service|rss"},
      {R"(<link rel="stylesheet" type="application/rss+xml" href="/not-alternate">)", ""},
      {R"(<link type="application/rss+xml" href="/no-rel">)", ""},
      {R"(<link rel="alternate" type="application/rss+xml">)", ""},
      {R"(<link rel="alternate" type="application/rss+xml" href="  ">)", ""},
      {R"(<link rel="alternate" type="application/rss+xml" href="  /spaced.xml  ">)", "/spaced.xml"},
      {R"(<link rel="alternate" type="application/rss+xml" href="/feed/">)", "/feed/"},
      {R"(<link rel="alternate" type="application/rss+xml" title="" href="/untitled">)", "/untitled"},
      {R"(<link rel="alternate" type="application/rss+xml" title="T&amp;C &lt;b&gt;" href="/t">)", "/t|t&c <b>"},
      {R"(<link rel="alternate" type="application/rss+xml" title="&amp;eacute;t&amp;#233;" href="/d">)",
       "/d|\u00e9t\u00e9"},
      {R"(<!-- <link rel="alternate" type="application/rss+xml" href="/comment"> -->)", ""},
      {R"(<script>"<link rel='alternate' type='application/rss+xml' href='/script'>"</script>)", ""},
      {"", ""},
      {"no markup at all", ""},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> found = links(QString::fromUtf8(c.page));
    if (*c.expected == '\0') {
      EXPECT_TRUE(found.empty()) << c.page << " gave " << (found.empty() ? "" : found.front());
    } else {
      ASSERT_EQ(found.size(), 1u) << c.page;
      EXPECT_EQ(found.front(), c.expected) << c.page;
    }
  }
}

TEST(HTMLFeedDiscovery, GivesTheFirstLinkTagWithItsRangeAndTitle)
{
  const QString page = QStringLiteral(
      "<p>see /feed.xml</p>"
      "<link rel=alternate type=application/rss+xml href=/feed.xml title=\"Main\">"
      "<link rel=alternate type=application/rss+xml href=/other.xml>");
  RSSDiscoveryRange range;
  QString title;
  EXPECT_EQ(str(RSSDiscovery::getNextLinkTagURLWithXML(page, &range, &title)), "/feed.xml");
  EXPECT_EQ(range.location, page.indexOf(QLatin1String("/feed.xml")));  // its first occurrence anywhere
  EXPECT_EQ(range.length, 9);
  EXPECT_EQ(str(title), "main");
  EXPECT_EQ(str(RSSDiscovery::getNextLinkTagURLWithXML(page)), "/feed.xml");

  // A URL written with references is not in the text as is.
  range = {};
  title = QStringLiteral("unchanged");
  EXPECT_EQ(str(RSSDiscovery::getNextLinkTagURLWithXML(
                QStringLiteral("<link rel=alternate type=application/rss+xml href='/f?a=1&amp;b=2'>"), &range, &title)),
            "/f?a=1&b=2");
  EXPECT_EQ(range.location, -1);
  EXPECT_EQ(str(title), "unchanged");

  EXPECT_TRUE(RSSDiscovery::getNextLinkTagURLWithXML(QStringLiteral("<p>nothing</p>"), &range, &title).isNull());
}

TEST(HTMLFeedDiscovery, FindsTheMetaRefreshAddress)
{
  // The description meta tag and the content type are passed over; the first refresh wins.
  EXPECT_EQ(str(RSSDiscovery::getMetaRefreshURL(fixture("meta-refresh.html"))), "/new?a=1&b=2");

  struct Case {
    const char* page;
    const char* expected;
  } cases[] = {
      {R"(<meta http-equiv="refresh" content="0;url='/quoted'">)", "/quoted"},
      {R"(<META HTTP-EQUIV=REFRESH CONTENT="10; URL=http://example.com/next/">)", "http://example.com/next"},
      {R"(<meta http-equiv="refresh" content="0; url=/a b">)", "/a"},
      {R"(<meta http-equiv="refresh" content="0; URL = /new">)", "/new"},
      {R"(<meta http-equiv="refresh" content="0; url= '/quoted spaced'">)", "/quoted"},
      {R"(<meta http-equiv="refresh" content="30">)", "(null)"},
      {R"(<meta http-equiv="refresh" content="0; url=">)", ""},
      {R"(<meta name="refresh" content="0; url=/named">)", "(null)"},
      {"<html><body>no meta</body></html>", "(null)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(str(RSSDiscovery::getMetaRefreshURL(QString::fromUtf8(c.page))), c.expected) << c.page;
}

TEST(HTMLFeedDiscovery, FindsTheXMLRedirectAddress)
{
  // The blank element is passed over; the name is matched in any case.
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(fixture("xml-redirect.xml"))), "http://example.com/feed.xml?x=1&y=2");
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<newLocation>/feed.xml</newLocation>"))), "/feed.xml");
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<newLocation>/cut-off.xml"))), "/cut-off.xml");
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<newLocation>/a<b>c</b></newLocation>"))), "/a");
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<newLocation></newLocation>"))), "(null)");
  EXPECT_EQ(str(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<location>/x</location>"))), "(null)");
}

TEST(HTMLFeedDiscovery, NormalizesOnlyToWebAddresses)
{
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"  example.com/feed  ", "http://example.com/feed"},
      {"http://example.com/feed", "http://example.com/feed"},
      {"HTTPS://Example.com/Feed", "HTTPS://Example.com/Feed"},
      {"localhost:8080/feed", "http://localhost:8080/feed"},
      {"feed://example.com/x", "http://example.com/x"},
      {"FEED://example.com/x", "http://example.com/x"},
      {"feed:https://example.com/x", "https://example.com/x"},
      {"feed:http://example.com/x", "http://example.com/x"},
      {"feed:javascript://alert(1)", "(null)"},
      {"feed:", "(null)"},
      {"file:///etc/passwd", "(null)"},
      {"FILE:///etc/passwd", "(null)"},
      {"javascript:alert(1)", "(null)"},
      {"mailto:someone@example.com", "(null)"},
      {"ftp://example.com/feed", "(null)"},
      {"data:text/html,<b>x</b>", "(null)"},
      {"http:/example.com", "(null)"},
      {"", "(null)"},
      {"   ", "(null)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(str(RSSDiscovery::normalizeURL(QString::fromUtf8(c.input))), c.expected) << c.input;
}

TEST(HTMLFeedDiscovery, SurvivesHostilePages)
{
  // Broken nesting, value-less attributes, a page encoding that must not be applied to text that is already decoded,
  // a stray CDATA section and a last tag cut off in the middle of its href (read up to the end of the page).
  EXPECT_EQ(links(fixture("hostile.html")),
            std::vector<std::string>(
                {"/broken.xml|\u00fcn\u00efc\u00f6d\u00e9 <b>", "/after-mess.xml", "/cdata.xml", "/unclosed.xml"}));

  // Several megabytes of deep nesting with the feed link at the very end.
  QString deep;
  for (int i = 0; i < 200000; ++i) deep += QStringLiteral("<div><span>");
  deep += QStringLiteral("<link rel=alternate type=application/rss+xml href=/deep.xml>");
  EXPECT_EQ(links(deep), std::vector<std::string>({"/deep.xml"}));

  // Thousands of feed links, a few distinct.
  QString many;
  for (int i = 0; i < 20000; ++i)
    many += QStringLiteral("<link rel=alternate type=application/rss+xml href=/f%1.xml>").arg(i % 3);
  EXPECT_EQ(links(many).size(), 3u);

  // A huge attribute value and a huge newLocation text.
  const QString longValue(4 * 1024 * 1024, u'a');
  EXPECT_EQ(
      links(QStringLiteral("<link rel=alternate type=application/rss+xml title=\"%1\" href=/x>").arg(longValue)).size(),
      1u);
  EXPECT_EQ(RSSDiscovery::getXMLRedirectURL(QStringLiteral("<newLocation>%1</newLocation>").arg(longValue)).size(),
            64 * 1024);

  // NUL characters and lone surrogates in the text.
  QString odd = QStringLiteral("<link rel=alternate type=application/rss+xml href=/before.xml>");
  odd += QChar(0);
  odd += QChar(0xD800);
  odd += QStringLiteral("<link rel=alternate type=application/rss+xml href=/after.xml>");
  EXPECT_FALSE(links(odd).empty());
  EXPECT_EQ(links(odd).front(), "/before.xml");

  // An external entity or a DTD is never loaded.
  const QString external = QStringLiteral(
      "<!DOCTYPE html SYSTEM \"file:///etc/passwd\" [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
      "<link rel=alternate type=application/rss+xml title=\"&e;\" href=\"/e.xml\">");
  const std::vector<std::string> found = links(external);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found.front().find("root:"), std::string::npos);
}

TEST(HTMLFeedDiscovery, ReadsCharactersThatStraddleTheParsersSlices)
{
  // Pages reach the parser in slices of 64 KiB; a character cut in two by a slice boundary is still one character, and
  // so is everything after it.
  for (int shift = 0; shift < 4; ++shift) {
    QString page = QStringLiteral("<p>") + QString(65536 - 3 - 1 - shift, u'a');
    page += QStringLiteral("\u00e9\u20ac\U0001F600</p>");
    page +=
        QStringLiteral("<link rel=alternate type=application/rss+xml title=\"\u00c9t\u00e9 \u20ac\" href=/\u00e9.xml>");
    EXPECT_EQ(links(page), std::vector<std::string>({"/\u00e9.xml|\u00e9t\u00e9 \u20ac"})) << "shift " << shift;
  }
}

TEST(HTMLFeedDiscovery, ReadsPagesOnManyThreadsAtOnce)
{
  const QString page = fixture("link-tags.html");
  const std::vector<std::string> expected = links(page);
  std::vector<std::thread> threads;
  std::vector<int> failures(6, 0);
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        if (links(page) != expected)
          ++failures[std::size_t(t)];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(HTMLFeedDiscovery, ReadsLinkTagsAsABrowserDoes)
{
  struct Case {
    const char* page;
    const char* expected;  // "url|title", or "" for none
  } cases[] = {
      // Attributes spread over several lines, values with blanks around them.
      {"<link\n  rel=\"alternate\"\n  type=\" application/rss+xml \"\n  title=\"Lines\"\n  href=\"\n/lines.xml\n\">",
       "/lines.xml|lines"},
      // Character references in the attribute values.
      {"<link rel=\"&#65;lternate\" type=\"application/&#x61;tom+xml\" href=\"/refs&#46;xml\">", "/refs.xml"},
      // rel is a list of words: "alternate" among others counts, a word that merely contains it does not.
      {"<link rel=\"home alternate\" type=\"application/rss+xml\" href=\"/words.xml\">", "/words.xml"},
      {"<link rel=\"ALTERNATE\tfeed\" type=\"application/rss+xml\" href=\"/tab.xml\">", "/tab.xml"},
      {"<link rel=\"nonalternate\" type=\"application/rss+xml\" href=\"/not-a-word.xml\">", ""},
      {"<link rel=\"alternates\" type=\"application/rss+xml\" href=\"/plural.xml\">", ""},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> found = links(QString::fromUtf8(c.page));
    if (*c.expected == '\0') {
      EXPECT_TRUE(found.empty()) << c.page;
    } else {
      ASSERT_EQ(found.size(), 1u) << c.page;
      EXPECT_EQ(found.front(), c.expected) << c.page;
    }
  }
}

TEST(HTMLFeedDiscovery, FindsThePagesBaseAndTitle)
{
  struct Case {
    const char* page;
    const char* base;
    const char* title;
  } cases[] = {
      {"<html><head><base href=\" https://cdn.example.com/feeds/ \"><title>Home &amp; Away</title></head></html>",
       "https://cdn.example.com/feeds/", "Home & Away"},
      // The first base that has an href counts; the title's white space collapses.
      {"<base target=_blank><base href=/first/><base href=/second/><title>\n  Two\n  Lines </title>", "/first/",
       "Two Lines"},
      {"<title></title><p>no base</p>", "(null)", ""},
      {"<p>neither</p>", "(null)", "(null)"},
      {"<title>cut off", "(null)", "cut off"},
  };
  for (const Case& c : cases) {
    const QString page = QString::fromUtf8(c.page);
    EXPECT_EQ(str(RSSDiscovery::getBaseURL(page)), c.base) << c.page;
    EXPECT_EQ(str(RSSDiscovery::getPageTitle(page)), c.title) << c.page;
  }
}
