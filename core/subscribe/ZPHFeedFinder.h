#pragma once

#include "platform/ZPHError.h"
#include "subscribe/ZPHFeedFinderDelegate.h"
#include "subscribe/ZPHFeedResult.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <memory>
#include <optional>

class ZPHFeedFinderHTTPOperation;
class ZPHOperationQueue;

// Posted on the main thread after the delegate heard of the end of a search.
// Success: object the results (QList<ZPHFeedResult>), no user info. Failure:
// object the original URL (QUrl), user info {ZPHUnderlyingErrorKey: the
// error}. A cancelled search posts neither.
extern const QString
    ZPHFeedFinderDidSuccessfullyFindFeedNotification;             // "ZPHFeedFinderDidSuccessfullyFindFeedNotification"
extern const QString ZPHFeedFinderDidFailToFindFeedNotification;  // "ZPHFeedFinderDidFailToFindFeedNotification"

// Stand for the site's name in the error texts; the user interface puts the
// name in their place, capitalised or not.
extern const QString ZPHFeedFinderFeedNameCaptializedPlaceholder;    // "ZPH_FEED_FINDER_FEED_NAME_CAP"
extern const QString ZPHFeedFinderFeedNameUncapitalizedPlaceholder;  // "ZPH_FEED_FINDER_FEED_NAME_UNCAP"

// Codes of the finder's errors (ZPHErrors domain).
enum ZPHFeedFinderErrorCode : qint64 {
  // Nothing found: media, or pages without feeds.
  ZPHFeedFinderErrorNoFeedFound = 1000,
  // A download failed; the download's error is the underlying one.
  ZPHFeedFinderErrorDownloadFailed = 1001,
};

// Turns one address into the feeds behind it. It downloads the address; a
// feed ends the search there, and a web page is searched for its feed link
// tags, its meta refresh and its XML redirect, breadth-first, each address
// read once. Redirects, logins and self-signed certificates are handled by
// its downloads (ZPHFeedFinderHTTPOperation), which ask the application
// through notifications. The found feeds are put in order (as found), RSS
// and Atom twins of one title give way to the Atom one, and feeds of equal
// titles get their link titles added; then the delegate hears of them, or of
// one error that says why there are none.
//
// A search is bounded: at most MaximumPagesPerSearch addresses read, and
// the addresses of a page are followed only down to MaximumSearchDepth
// steps from the address asked; then it ends with what it found. Each
// response body is capped at ESHTTPOperation::MaximumResponseSize, and each
// exchange with a server at ESHTTPOperation::DefaultMaximumExchangeDurationMs. Only http
// and https addresses are read; feed: and rss: addresses become http ones,
// and any other (file:, javascript:, data:, ...) is dropped, or, when it is
// the address asked, refused with the finder's error. Addresses on a page are
// resolved against the page's base: its base element, else the address the
// page was finally served from.
//
// Everything runs on the main thread; the downloads run on the shared
// finder queue (three at a time for all searches), their bodies are read on
// a work queue, and they report back to the main thread. A finder keeps itself alive until its last download has
// reported; hold it in a std::shared_ptr. The delegate is not owned: clear
// it (setDelegate(nullptr) or cancel()) before it goes away.
//
// Without an application to answer, turn questions off
// (setAllowsUserQuestions(false)): a login then fails at once with the
// authentication error, and an untrusted certificate with its own.
class ZPHFeedFinder : public std::enable_shared_from_this<ZPHFeedFinder> {
public:
  static constexpr int MaximumPagesPerSearch = 30;
  static constexpr int MaximumSearchDepth = 3;
  static constexpr int RequestTimeoutIntervalMs = 60 * 1000;

  static std::shared_ptr<ZPHFeedFinder> finderWithURL(const QUrl& url, ZPHFeedFinderDelegate* delegate);
  ZPHFeedFinder(const QUrl& url, ZPHFeedFinderDelegate* delegate);
  ~ZPHFeedFinder();
  ZPHFeedFinder(const ZPHFeedFinder&) = delete;
  ZPHFeedFinder& operator=(const ZPHFeedFinder&) = delete;

  // Starts the search; false (and nothing starts) when it was started
  // before or has no address. Main thread.
  bool findFeed();
  // Stops the search: the delegate is cleared and the downloads cancelled;
  // nothing is reported after it. Main thread.
  void cancel();

  ZPHFeedFinderDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHFeedFinderDelegate* delegate) { m_delegate = delegate; }

  // Before findFeed(): whether the user may be asked for a login or about a
  // certificate (true), and how long a question may wait for its answer.
  bool allowsUserQuestions() const { return m_allowsUserQuestions; }
  void setAllowsUserQuestions(bool allow) { m_allowsUserQuestions = allow; }
  int questionTimeoutMs() const { return m_questionTimeoutMs; }
  void setQuestionTimeoutMs(int ms) { m_questionTimeoutMs = ms; }

  QUrl originalURL() const { return m_originalURL; }
  // Every address queued, cleaned, in queueing order.
  QList<QUrl> urlsRead() const { return m_urlsRead; }
  // Feeds found, in the order their downloads completed (tidied at the end).
  QList<ZPHFeedResult> validRSSResultsFound() const { return m_validRSSResultsFound; }
  // Link titles by cleaned link address.
  QHash<QUrl, QString> foundLinkTagTitlesByOriginalFeedURL() const { return m_foundLinkTagTitles; }
  // Sniffed feed types (CBFeedType) by cleaned requested address.
  QHash<QUrl, int> feedTypesByOriginalFeedURL() const { return m_feedTypes; }
  QList<ZPHError> errors() const { return m_errors; }
  // The first page read, when it was not a feed: its final address and its
  // title ("No Title" when it has none).
  std::optional<ZPHFeedResult> baseSiteURLAndTitle() const { return m_baseSiteURLAndTitle; }
  int operationsWaitingCount() const { return int(m_operationsWaiting.size()); }
  bool alreadyStarted() const { return m_alreadyStarted; }
  bool isCanceled() const { return m_isCanceled; }

  // The queue all finders share ("ZPHFeedFinder Queue", 3 at a time).
  static ZPHOperationQueue* finderQueue();

  // Error texts, with the site-name placeholder in them.
  static QString noFeedFoundErrorString();
  static QString siteNotAccessibleErrorString();
  static QString networkErrorString();
  static QString authenticationErrorString();
  static QString notAWebAddressErrorString();
  static QString untrustedCertificateErrorString();
  // The finder's error for a download's error; null for a cancellation
  // while the finder is cancelled.
  static ZPHError feedFinderErrorForNetworkError(const ZPHError& error, bool finderIsCanceled);

  // Reading a downloaded page. Addresses are resolved against `baseURL`;
  // link titles go into `outTitles` by cleaned address.
  static QList<QUrl> findURLsViaLinkTag(const QString& page, const QUrl& baseURL, QHash<QUrl, QString>* outTitles);
  static QUrl findURLViaMetaRefresh(const QString& page, const QUrl& baseURL);
  static QUrl findURLViaXMLRedirect(const QString& page, const QUrl& baseURL);

private:
  void queueURLs(const QList<QUrl>& urls, int depth);
  void operationDidComplete(const std::shared_ptr<ZPHFeedFinderHTTPOperation>& operation);
  void processResponseBody(const ZPHFeedFinderHTTPOperation& operation);
  ZPHFeedResult resultForFeed(const QString& feedTitle, const QUrl& originalURL, const QUrl& finalURL,
                              const QString& username, const QString& password) const;
  void recordError(const ZPHError& error);
  void finish();
  void postProcessFoundRSSResults();
  QString userAgent() const;

  QUrl m_originalURL;
  ZPHFeedFinderDelegate* m_delegate = nullptr;
  bool m_allowsUserQuestions = true;
  int m_questionTimeoutMs;
  QList<QUrl> m_urlsRead;
  QHash<QUrl, int> m_depthByURL;  // cleaned address -> steps from the address asked
  QList<ZPHFeedResult> m_validRSSResultsFound;
  QHash<QUrl, QString> m_foundLinkTagTitles;
  QHash<QUrl, int> m_feedTypes;
  QList<ZPHError> m_errors;
  std::optional<ZPHFeedResult> m_baseSiteURLAndTitle;
  QList<std::shared_ptr<ZPHFeedFinderHTTPOperation>> m_operationsWaiting;
  // Credentials that worked during this search, by server ("scheme://host:port").
  struct Credentials {
    QString username;
    QString password;
    QUrl url;
  };
  QHash<QString, Credentials> m_credentialsByServer;
  bool m_alreadyStarted = false;
  bool m_isCanceled = false;
  bool m_finished = false;
};
