// Article HTML through the sanitiser: never a crash, never a hang; the output
// is made only of allowed tags and attributes, every link is http, https,
// mailto or in the page, every source http or https; and sanitising the
// output again changes nothing.
// Seeds: tests/fixtures/html tests/fixtures/articles
// Fuzz options: -max_len=100000 -len_control=0

#include "ZPHFuzzSupport.h"

#include "feeds/parsers/ZPHHTMLSanitizer.h"

#include <QtCore/QSet>
#include <QtCore/QUrl>

namespace {

const QUrl& baseURL()
{
  static const QUrl url(QStringLiteral("https://example.com/news/item?id=7"));
  return url;
}

bool isAllowedElement(const QString& name)
{
  static const QSet<QString> names = {
      QStringLiteral("a"),       QStringLiteral("abbr"),     QStringLiteral("acronym"),    QStringLiteral("address"),
      QStringLiteral("article"), QStringLiteral("aside"),    QStringLiteral("audio"),      QStringLiteral("b"),
      QStringLiteral("bdi"),     QStringLiteral("bdo"),      QStringLiteral("big"),        QStringLiteral("blockquote"),
      QStringLiteral("br"),      QStringLiteral("caption"),  QStringLiteral("cite"),       QStringLiteral("code"),
      QStringLiteral("col"),     QStringLiteral("colgroup"), QStringLiteral("dd"),         QStringLiteral("del"),
      QStringLiteral("details"), QStringLiteral("dfn"),      QStringLiteral("div"),        QStringLiteral("dl"),
      QStringLiteral("dt"),      QStringLiteral("em"),       QStringLiteral("figcaption"), QStringLiteral("figure"),
      QStringLiteral("footer"),  QStringLiteral("h1"),       QStringLiteral("h2"),         QStringLiteral("h3"),
      QStringLiteral("h4"),      QStringLiteral("h5"),       QStringLiteral("h6"),         QStringLiteral("header"),
      QStringLiteral("hgroup"),  QStringLiteral("hr"),       QStringLiteral("i"),          QStringLiteral("img"),
      QStringLiteral("ins"),     QStringLiteral("kbd"),      QStringLiteral("li"),         QStringLiteral("main"),
      QStringLiteral("mark"),    QStringLiteral("nav"),      QStringLiteral("ol"),         QStringLiteral("p"),
      QStringLiteral("pre"),     QStringLiteral("q"),        QStringLiteral("rp"),         QStringLiteral("rt"),
      QStringLiteral("ruby"),    QStringLiteral("s"),        QStringLiteral("samp"),       QStringLiteral("section"),
      QStringLiteral("small"),   QStringLiteral("source"),   QStringLiteral("span"),       QStringLiteral("strike"),
      QStringLiteral("strong"),  QStringLiteral("sub"),      QStringLiteral("summary"),    QStringLiteral("sup"),
      QStringLiteral("table"),   QStringLiteral("tbody"),    QStringLiteral("td"),         QStringLiteral("tfoot"),
      QStringLiteral("th"),      QStringLiteral("thead"),    QStringLiteral("time"),       QStringLiteral("tr"),
      QStringLiteral("tt"),      QStringLiteral("u"),        QStringLiteral("ul"),         QStringLiteral("var"),
      QStringLiteral("video"),   QStringLiteral("wbr")};
  return names.contains(name);
}

bool isWebAddress(const QString& value)
{
  return value.startsWith(QLatin1String("http://")) || value.startsWith(QLatin1String("https://"));
}

// The output is our own serialisation: "<name>" or "<name a="v" ...>" and
// "</name>"; text and values never hold a raw "<", ">" or '"'.
void checkOutput(const QString& html)
{
  qsizetype i = 0;
  const qsizetype n = html.size();
  while (i < n) {
    const QChar c = html[i];
    ZPH_FUZZ_CHECK(c != QLatin1Char('>') && c != QChar(u'\0'));
    if (c != QLatin1Char('<')) {
      ++i;
      continue;
    }
    const qsizetype end = html.indexOf(QLatin1Char('>'), i);
    ZPH_FUZZ_CHECK(end > i);
    const QString tag = html.mid(i + 1, end - i - 1);
    i = end + 1;
    if (tag.startsWith(QLatin1Char('/'))) {
      ZPH_FUZZ_CHECK(isAllowedElement(tag.mid(1)));
      continue;
    }
    const qsizetype space = tag.indexOf(QLatin1Char(' '));
    const QString name = space < 0 ? tag : tag.left(space);
    ZPH_FUZZ_CHECK(isAllowedElement(name));
    QString rest = space < 0 ? QString() : tag.mid(space + 1);
    while (!rest.isEmpty()) {
      const qsizetype equals = rest.indexOf(QLatin1String("=\""));
      ZPH_FUZZ_CHECK(equals > 0);
      const QString attribute = rest.left(equals);
      const qsizetype close = rest.indexOf(QLatin1Char('"'), equals + 2);
      ZPH_FUZZ_CHECK(close > equals);
      const QString value = rest.mid(equals + 2, close - equals - 2);
      ZPH_FUZZ_CHECK(!attribute.startsWith(QLatin1String("on")) && attribute != QLatin1String("style") &&
                     attribute != QLatin1String("class") && attribute != QLatin1String("srcset") &&
                     attribute != QLatin1String("target"));
      if (attribute == QLatin1String("href"))
        ZPH_FUZZ_CHECK(isWebAddress(value) || value.startsWith(QLatin1String("mailto:")) ||
                       value.startsWith(QLatin1Char('#')));
      if (attribute == QLatin1String("src") || attribute == QLatin1String("poster") ||
          attribute == QLatin1String("cite"))
        ZPH_FUZZ_CHECK(isWebAddress(value));
      if (attribute == QLatin1String("id") || attribute == QLatin1String("name"))
        ZPH_FUZZ_CHECK(value.startsWith(ZPHHTMLSanitizer::idPrefix()));
      rest = rest.mid(close + 1);
      if (rest.startsWith(QLatin1Char(' ')))
        rest.remove(0, 1);
      else
        ZPH_FUZZ_CHECK(rest.isEmpty());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const QString html = zphFuzzUTF8(data, size);
  const QString once = ZPHHTMLSanitizer::sanitizedHTML(html, baseURL());
  ZPH_FUZZ_CHECK(!once.isNull());
  checkOutput(once);
  const QString twice = ZPHHTMLSanitizer::sanitizedHTML(once, baseURL());
  ZPH_FUZZ_CHECK(twice == once);
  return 0;
}
