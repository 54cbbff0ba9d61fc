// findfeeds ADDRESS...
//
// Runs the feed finder on each address and writes one JSON object per
// address to standard output, one line each (compact, UTF-8), in the order
// the addresses were named. The developers' window into the finder, and how
// it is checked from outside: keep this format stable.
//
// An address is taken as a user would type it into the Add Site window
// ("example.com", "feed://example.com/rss", "https://example.com/"); text
// that makes no web address is the finder's error. No store is used, and
// nobody is asked anything: a site that wants a login, or shows a
// certificate the system does not trust, ends in the finder's error.
//
// The object of an address:
//   address   string: the argument as given
//   feeds     array, in the finder's order, of objects:
//     url     string: the feed's address
//     title   string: the title chosen for it
//   error     null when feeds were found; else an object:
//     code    number: the finder's error code (1000 nothing found, 1001 a
//             download failed)
//     text    string: the error's text, the site's name in it written as
//             the address given
// Keys come out in alphabetical order.
//
// Exit status: 0 when every address gave feeds, 1 when at least one ended
// in an error, 2 when no address was named.

#include "feeds/network/CBDownloadOperation.h"
#include "foundation/ZPHErrors.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHURLAdditions.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>

#include <cstdio>
#include <optional>

namespace {

constexpr int ExitSomeFailed = 1;
constexpr int ExitUsage = 2;

// What one search ended with.
struct Outcome : ZPHFeedFinderDelegate {
  bool done = false;
  QList<ZPHFeedResult> results;
  ZPHError error;

  void feedFinderDidFindFeedsWithResults(ZPHFeedFinder*, const QList<ZPHFeedResult>& found) override
  {
    results = found;
    done = true;
  }
  void feedFinderDidFailWithError(ZPHFeedFinder*, const ZPHError& failure) override
  {
    error = failure;
    done = true;
  }
};

QJsonValue errorValue(const ZPHError& error, const QString& address)
{
  if (error.isNull())
    return QJsonValue::Null;
  QString text = error.value(ZPHLocalizedDescriptionKey).toString();
  text.replace(ZPHFeedFinderFeedNameCaptializedPlaceholder, address);
  text.replace(ZPHFeedFinderFeedNameUncapitalizedPlaceholder, address);
  return QJsonObject{{QStringLiteral("code"), double(error.code())}, {QStringLiteral("text"), text}};
}

QJsonObject search(const QString& address)
{
  Outcome outcome;
  const QUrl url = zph_cleanedUpURLWithUserInputString(address);
  if (!url.isValid()) {
    outcome.error = ZPHFeedFinder::feedFinderErrorForNetworkError(
        ZPHError(ZPHURLErrorDomain, ZPHURLErrorUnsupportedURL,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("Not a web address.")}}),
        false);
  } else {
    std::shared_ptr<ZPHFeedFinder> finder = ZPHFeedFinder::finderWithURL(url, &outcome);
    finder->setAllowsUserQuestions(false);
    if (finder->findFeed())
      ZPHMainThread::processEventsUntil([&] { return outcome.done; }, QDeadlineTimer(QDeadlineTimer::Forever));
    finder->setDelegate(nullptr);
  }

  QJsonArray feeds;
  for (const ZPHFeedResult& result : std::as_const(outcome.results))
    feeds.append(QJsonObject{{QStringLiteral("url"), result.URL().toString(QUrl::FullyEncoded)},
                             {QStringLiteral("title"), result.foundTitle()}});
  return {{QStringLiteral("address"), address},
          {QStringLiteral("feeds"), feeds},
          {QStringLiteral("error"), outcome.results.isEmpty() ? errorValue(outcome.error, address) : QJsonValue::Null}};
}

}  // namespace

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  ZPHInstallLogHandler("findfeeds", false);
  CBDownloadOperation::setDefaultUserAgent(QStringLiteral("Zephlin findfeeds"));

  const QStringList addresses = QCoreApplication::arguments().mid(1);
  if (addresses.isEmpty()) {
    std::fprintf(stderr, "usage: findfeeds ADDRESS...\n");
    return ExitUsage;
  }

  int status = 0;
  for (const QString& address : addresses) {
    const QJsonObject object = search(address);
    if (!object.value(QStringLiteral("error")).isNull())
      status = ExitSomeFailed;
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
  }
  return status;
}
