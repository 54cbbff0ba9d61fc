#include "subscribe/ZPHFeedFinder.h"

#include "feeds/network/CBDownloadOperation.h"
#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/RSSDiscovery.h"
#include "feeds/parsers/ZPHSingleStringParser.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "foundation/ZPHErrors.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "subscribe/ESHTTPOperation.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "subscribe/ZPHURLAdditions.h"

#include <QtCore/QCoreApplication>

#include <algorithm>
#include <limits>

const QString ZPHFeedFinderDidSuccessfullyFindFeedNotification =
    QStringLiteral("ZPHFeedFinderDidSuccessfullyFindFeedNotification");
const QString ZPHFeedFinderDidFailToFindFeedNotification = QStringLiteral("ZPHFeedFinderDidFailToFindFeedNotification");
const QString ZPHFeedFinderFeedNameCaptializedPlaceholder = QStringLiteral("ZPH_FEED_FINDER_FEED_NAME_CAP");
const QString ZPHFeedFinderFeedNameUncapitalizedPlaceholder = QStringLiteral("ZPH_FEED_FINDER_FEED_NAME_UNCAP");

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ZPHFeedFinder", text); }

QUrl cleaned(const QUrl& url) { return zph_cleanedUpAbsoluteStandardizedURL(url); }

QString serverKey(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme + QStringLiteral("://") + url.host().toLower() + u':' +
         QString::number(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

// An address as written in a page: absolute when it says so, else relative
// to the base. Invalid when it does not parse.
QUrl resolvedAgainst(const QString& written, const QUrl& baseURL)
{
  if (written.isEmpty())
    return {};
  const QUrl url(written, QUrl::TolerantMode);
  if (!url.isValid())
    return {};
  if (written.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
      written.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
    return url;
  const QUrl resolved = baseURL.resolved(url);
  return resolved.isValid() ? resolved : QUrl();
}

// Where a link title is kept: the address the finder will ask for.
QUrl titleKey(const QUrl& url)
{
  const QUrl web = zph_urlWithRationalizedSchemeForFeed(cleaned(url));
  return cleaned(web.isValid() ? web : url);
}

bool isURLError(const ZPHError& error, qint64 code)
{
  return error.domain() == ZPHURLErrorDomain && error.code() == code;
}

// What a downloaded body holds, read off the main thread by the download's
// work block.
struct BodyAnalysis {
  enum class Kind { Feed, Media, Page } kind = Kind::Page;
  int feedType = CBFeedTypeNotAFeed;
  QString feedTitle;                // a feed's own title
  QString pageTitle;                // a page's title; null without one
  QList<QUrl> found;                // a page's link tags, meta refresh and XML redirect, in that order
  QHash<QUrl, QString> linkTitles;  // by cleaned address
};

BodyAnalysis analyseBody(const ZPHFeedFinderHTTPOperation& operation)
{
  BodyAnalysis analysis;
  const QByteArray body = operation.responseBody();
  if (CBDataIsFeed(body)) {
    analysis.kind = BodyAnalysis::Kind::Feed;
    analysis.feedType = int(CBFeedTypeForData(body));
    analysis.feedTitle = ZPHParseSingleStringWithTag(body, QStringLiteral("title")).simplified();
    return analysis;
  }
  if (CBDataIsProbablyMedia(body)) {
    analysis.kind = BodyAnalysis::Kind::Media;
    return analysis;
  }

  const QString page = CBStringUsefulStringWithData(body);
  const QUrl servedFrom = operation.finalURL();
  analysis.pageTitle = RSSDiscovery::getPageTitle(page);
  // The page's base element, when it names a web address, else the address
  // the page came from.
  QUrl base = servedFrom;
  if (const QString baseHref = RSSDiscovery::getBaseURL(page); !baseHref.isNull()) {
    const QUrl resolved = servedFrom.resolved(QUrl(baseHref, QUrl::TolerantMode));
    if (CBURLIsWebURL(resolved))
      base = resolved;
  }
  analysis.found = ZPHFeedFinder::findURLsViaLinkTag(page, base, &analysis.linkTitles);
  if (const QUrl refresh = ZPHFeedFinder::findURLViaMetaRefresh(page, base); refresh.isValid())
    analysis.found.append(refresh);
  if (const QUrl redirect = ZPHFeedFinder::findURLViaXMLRedirect(page, servedFrom); redirect.isValid())
    analysis.found.append(redirect);
  return analysis;
}

}  // namespace

Q_DECLARE_METATYPE(BodyAnalysis)

std::shared_ptr<ZPHFeedFinder> ZPHFeedFinder::finderWithURL(const QUrl& url, ZPHFeedFinderDelegate* delegate)
{
  return std::make_shared<ZPHFeedFinder>(url, delegate);
}

ZPHFeedFinder::ZPHFeedFinder(const QUrl& url, ZPHFeedFinderDelegate* delegate)
    : m_originalURL(url),
      m_delegate(delegate),
      m_questionTimeoutMs(ZPHFeedFinderHTTPOperation::DefaultQuestionTimeoutMs)
{
}

ZPHFeedFinder::~ZPHFeedFinder() = default;

ZPHOperationQueue* ZPHFeedFinder::finderQueue()
{
  // Lives for the whole process, like the searches that may still use it.
  static ZPHOperationQueue* queue = [] {
    auto* made = new ZPHOperationQueue(QStringLiteral("ZPHFeedFinder Queue"));
    made->setMaxConcurrentOperationCount(3);
    return made;
  }();
  return queue;
}

// ------------------------------------------------------------ texts and errors

QString ZPHFeedFinder::noFeedFoundErrorString()
{
  return tr("%1 isn’t set up for use with Zephlin.").arg(ZPHFeedFinderFeedNameCaptializedPlaceholder);
}

QString ZPHFeedFinder::siteNotAccessibleErrorString()
{
  return tr("%1 could not be found.").arg(ZPHFeedFinderFeedNameCaptializedPlaceholder);
}

QString ZPHFeedFinder::networkErrorString()
{
  return tr("%1 isn’t responding. It may be temporarily down.").arg(ZPHFeedFinderFeedNameCaptializedPlaceholder);
}

QString ZPHFeedFinder::authenticationErrorString()
{
  return tr("There was a problem logging in to %1.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder);
}

QString ZPHFeedFinder::notAWebAddressErrorString()
{
  return tr("%1 isn’t a web address.").arg(ZPHFeedFinderFeedNameCaptializedPlaceholder);
}

QString ZPHFeedFinder::untrustedCertificateErrorString()
{
  return tr("The identity of %1 can’t be verified.").arg(ZPHFeedFinderFeedNameUncapitalizedPlaceholder);
}

ZPHError ZPHFeedFinder::feedFinderErrorForNetworkError(const ZPHError& error, bool finderIsCanceled)
{
  if (error.isNull())
    return {};
  QString text;
  if (isURLError(error, ZPHURLErrorCannotConnectToHost) || isURLError(error, ZPHURLErrorCannotFindHost)) {
    text = siteNotAccessibleErrorString();
  } else if (isURLError(error, ZPHURLErrorNotConnectedToInternet)) {
    text = error.localizedDescription();
  } else if (error.domain() == ESHTTPOperationErrorDomain && error.code() == ESHTTPOperationErrorBadStatusCode) {
    const ZPHError status = error.value(ZPHUnderlyingErrorKey).value<ZPHError>();
    text = status.code() == 404 ? siteNotAccessibleErrorString() : networkErrorString();
  } else if (isURLError(error, ZPHURLErrorUserAuthenticationRequired) ||
             isURLError(error, ZPHURLErrorUserCancelledAuthentication)) {
    text = authenticationErrorString();
  } else if (error.code() == ZPHUserCancelledError) {
    if (finderIsCanceled)
      return {};
    text = authenticationErrorString();
  } else if (isURLError(error, ZPHURLErrorUnsupportedURL)) {
    text = notAWebAddressErrorString();
  } else if (isURLError(error, ZPHURLErrorServerCertificateUntrusted) ||
             isURLError(error, ZPHURLErrorSecureConnectionFailed)) {
    text = untrustedCertificateErrorString();
  } else {
    text = networkErrorString();
  }
  return ZPHErrors::errorWithCode(ZPHFeedFinderErrorDownloadFailed, text,
                                  {{ZPHUnderlyingErrorKey, QVariant::fromValue(error)}});
}

// ------------------------------------------------------------ reading pages

QList<QUrl> ZPHFeedFinder::findURLsViaLinkTag(const QString& page, const QUrl& baseURL, QHash<QUrl, QString>* outTitles)
{
  QList<QUrl> urls;
  if (page.isEmpty())
    return urls;
  QHash<QUrl, QString> titles;
  for (const QVariant& entry : RSSDiscovery::getLinkTagDictionariesWithOriginalXML(page)) {
    const QVariantMap dictionary = entry.toMap();
    const QUrl url = resolvedAgainst(dictionary.value(RSSDiscoveryURLStringKey).toString(), baseURL);
    if (!url.isValid() || urls.contains(url))
      continue;
    urls.append(url);
    const QString title = dictionary.value(RSSDiscoveryTitleKey).toString();
    if (!title.isEmpty())
      titles.insert(titleKey(url), title);
  }
  if (outTitles != nullptr && !titles.isEmpty())
    *outTitles = titles;
  return urls;
}

QUrl ZPHFeedFinder::findURLViaMetaRefresh(const QString& page, const QUrl& baseURL)
{
  if (page.isEmpty())
    return {};
  return resolvedAgainst(RSSDiscovery::getMetaRefreshURL(page), baseURL);
}

QUrl ZPHFeedFinder::findURLViaXMLRedirect(const QString& page, const QUrl& baseURL)
{
  if (page.isEmpty())
    return {};
  return resolvedAgainst(RSSDiscovery::getXMLRedirectURL(page), baseURL);
}

// ------------------------------------------------------------ the search

bool ZPHFeedFinder::findFeed()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_alreadyStarted) {
    qCWarning(zphNetwork) << "ZPHFeedFinder should be started only once!";
    return false;
  }
  if (m_originalURL.isEmpty()) {
    qCWarning(zphNetwork) << "a feed finder needs an address";
    return false;
  }
  m_alreadyStarted = true;

  // A feed: or rss: address stands for a web address; nothing else but http
  // and https is ever read.
  QUrl url = m_originalURL;
  if (!zph_urlIsHTTPOrHTTPS(url))
    url = zph_urlWithRationalizedSchemeForFeed(url);
  if (!CBURLIsWebURL(url)) {
    recordError(feedFinderErrorForNetworkError(
        ZPHError(ZPHURLErrorDomain, ZPHURLErrorUnsupportedURL,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("Only http and https addresses are read.")}}),
        false));
    std::shared_ptr<ZPHFeedFinder> self = shared_from_this();
    ZPHMainThread::async([self] { self->finish(); });
    return true;
  }
  queueURLs({url}, 0);
  return true;
}

void ZPHFeedFinder::cancel()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_isCanceled = true;
  m_delegate = nullptr;
  for (const std::shared_ptr<ZPHFeedFinderHTTPOperation>& operation : std::as_const(m_operationsWaiting))
    operation->cancel();
}

QString ZPHFeedFinder::userAgent() const
{
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate()) {
    const QString agent = delegate->userAgent();
    if (!agent.isEmpty())
      return agent;
  }
  return CBDownloadOperation::defaultUserAgent();
}

void ZPHFeedFinder::queueURLs(const QList<QUrl>& urls, int depth)
{
  const QString agent = userAgent();
  for (const QUrl& url : urls) {
    if (m_urlsRead.size() >= MaximumPagesPerSearch) {
      qCInfo(zphNetwork) << "the search for" << m_originalURL.toDisplayString(QUrl::RemoveUserInfo) << "stops after"
                         << MaximumPagesPerSearch << "addresses";
      return;
    }
    const QUrl cleanedURL = cleaned(url);
    m_urlsRead.append(cleanedURL);
    m_depthByURL.insert(cleanedURL, depth);

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(RequestTimeoutIntervalMs);
    if (!agent.isEmpty())
      request.setRawHeader("User-Agent", agent.toUtf8());

    std::shared_ptr<ZPHFeedFinder> self = shared_from_this();
    auto operation = std::make_shared<ZPHFeedFinderHTTPOperation>(
        request,
        [](ESHTTPOperation& downloaded, ZPHError*) {
          return QVariant::fromValue(analyseBody(static_cast<ZPHFeedFinderHTTPOperation&>(downloaded)));
        },
        [self](const std::shared_ptr<ESHTTPOperation>& finished) {
          self->operationDidComplete(std::static_pointer_cast<ZPHFeedFinderHTTPOperation>(finished));
        });
    operation->setAllowCachingResponses(false);
    operation->setAllowPromptForUserCredentials(m_allowsUserQuestions);
    operation->setQuestionTimeoutMs(m_questionTimeoutMs);
    const auto credentials = m_credentialsByServer.constFind(serverKey(url));
    if (credentials != m_credentialsByServer.constEnd())
      operation->setCredentials(credentials->username, credentials->password, credentials->url);
    m_operationsWaiting.append(operation);
    finderQueue()->addOperation(operation);
  }
}

void ZPHFeedFinder::operationDidComplete(const std::shared_ptr<ZPHFeedFinderHTTPOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  const ZPHError error = operation->error();
  if (!error.isNull()) {
    const ZPHError mapped = feedFinderErrorForNetworkError(error, m_isCanceled);
    if (!mapped.isNull())
      recordError(mapped);
  } else if (!m_isCanceled) {
    if (operation->usedCredentials()) {
      m_credentialsByServer.insert(serverKey(operation->credentialsURL()),
                                   {operation->username(), operation->password(), operation->credentialsURL()});
    }
    processResponseBody(*operation);
  }
  m_operationsWaiting.removeAll(operation);
  if (m_operationsWaiting.isEmpty())
    finish();
}

void ZPHFeedFinder::recordError(const ZPHError& error)
{
  qCInfo(zphNetwork).noquote() << QStringLiteral("Error finding feeds for URL %1: %2")
                                      .arg(m_originalURL.toDisplayString(QUrl::RemoveUserInfo), error.toString());
  m_errors.append(error);
}

ZPHFeedResult ZPHFeedFinder::resultForFeed(const QString& feedTitle, const QUrl& originalURL, const QUrl& finalURL,
                                           const QString& username, const QString& password) const
{
  QString title = feedTitle;
  if (title.isEmpty())
    title = m_foundLinkTagTitles.value(cleaned(originalURL));
  if (title.isEmpty())
    title = tr("Unnamed Site");
  // Credentials written into the address go with the result, not in its
  // address, so that they are kept in the keychain and never shown.
  QUrl url = cleaned(finalURL);
  QString user = username;
  QString secret = password;
  if (!url.userInfo().isEmpty()) {
    if (user.isEmpty()) {
      user = url.userName();
      secret = url.password();
    }
    url.setUserInfo(QString());
  }
  ZPHFeedResult result(url, title);
  result.setUsername(user);
  result.setPassword(secret);
  return result;
}

void ZPHFeedFinder::processResponseBody(const ZPHFeedFinderHTTPOperation& operation)
{
  const QVariant processed = operation.processedResponse();
  const BodyAnalysis analysis =
      processed.canConvert<BodyAnalysis>() ? processed.value<BodyAnalysis>() : analyseBody(operation);
  const QUrl requestedURL = operation.request().url();
  const QUrl cleanedRequestedURL = cleaned(requestedURL);

  switch (analysis.kind) {
    case BodyAnalysis::Kind::Feed: {
      const bool withCredentials = operation.usedCredentials();
      m_validRSSResultsFound.append(resultForFeed(analysis.feedTitle, requestedURL, operation.lastPermanentURL(),
                                                  withCredentials ? operation.username() : QString(),
                                                  withCredentials ? operation.password() : QString()));
      m_feedTypes.insert(cleanedRequestedURL, analysis.feedType);
      return;  // a feed's content is not searched further
    }
    case BodyAnalysis::Kind::Media:
      recordError(ZPHErrors::errorWithCode(ZPHFeedFinderErrorNoFeedFound, noFeedFoundErrorString()));
      return;
    case BodyAnalysis::Kind::Page:
      break;
  }

  if (cleanedRequestedURL == m_urlsRead.value(0) && !m_baseSiteURLAndTitle)
    m_baseSiteURLAndTitle =
        ZPHFeedResult(operation.finalURL(), analysis.pageTitle.isEmpty() ? tr("No Title") : analysis.pageTitle);

  const int depth = m_depthByURL.value(cleanedRequestedURL);
  if (depth >= MaximumSearchDepth) {
    qCInfo(zphNetwork) << "not following the addresses of" << requestedURL.toDisplayString(QUrl::RemoveUserInfo)
                       << "at depth" << depth;
    return;
  }

  QList<QUrl> candidates;
  QSet<QUrl> collected;
  for (const QUrl& url : analysis.found) {
    const QUrl web = zph_urlWithRationalizedSchemeForFeed(cleaned(url));
    if (!CBURLIsWebURL(web)) {
      qCDebug(zphNetwork) << "URL doesn't appear to have a valid scheme:" << url.toDisplayString(QUrl::RemoveUserInfo);
      continue;
    }
    const QUrl key = cleaned(web);
    if (m_urlsRead.contains(key) || collected.contains(key))
      continue;
    collected.insert(key);
    candidates.append(web);
  }
  for (auto it = analysis.linkTitles.cbegin(); it != analysis.linkTitles.cend(); ++it)
    m_foundLinkTagTitles.insert(it.key(), it.value());
  if (!candidates.isEmpty())
    queueURLs(candidates, depth + 1);
}

void ZPHFeedFinder::postProcessFoundRSSResults()
{
  // In queueing order; results whose address was never queued (reached
  // through a 301) after them, by title.
  auto position = [this](const ZPHFeedResult& result) -> qsizetype {
    const qsizetype index = m_urlsRead.indexOf(result.URL());
    return index >= 0 ? index : std::numeric_limits<qsizetype>::max();
  };
  std::stable_sort(m_validRSSResultsFound.begin(), m_validRSSResultsFound.end(),
                   [&](const ZPHFeedResult& a, const ZPHFeedResult& b) {
                     const qsizetype pa = position(a);
                     const qsizetype pb = position(b);
                     if (pa != pb)
                       return pa < pb;
                     return a.foundTitle() < b.foundTitle();
                   });

  QHash<QString, QList<qsizetype>> groups;
  for (qsizetype i = 0; i < m_validRSSResultsFound.size(); ++i)
    groups[m_validRSSResultsFound[i].foundTitle()].append(i);

  // RSS and Atom twins of one title: the Atom one stays.
  QSet<qsizetype> removed;
  for (auto it = groups.begin(); it != groups.end(); ++it) {
    QList<qsizetype>& members = it.value();
    if (members.size() != 2)
      continue;
    const auto first = m_feedTypes.constFind(m_validRSSResultsFound[members[0]].URL());
    const auto second = m_feedTypes.constFind(m_validRSSResultsFound[members[1]].URL());
    if (first == m_feedTypes.constEnd() || second == m_feedTypes.constEnd() || first.value() == second.value())
      continue;
    const qsizetype loser = first.value() == CBFeedTypeAtom ? members[1] : members[0];
    removed.insert(loser);
    members.removeAll(loser);
  }

  // Equal titles: each gets its link title, when it has one.
  for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
    if (it.value().size() < 2)
      continue;
    for (qsizetype index : it.value()) {
      ZPHFeedResult& result = m_validRSSResultsFound[index];
      const QString linkTitle = m_foundLinkTagTitles.value(result.URL());
      if (!linkTitle.isEmpty())
        result.setFoundTitle(QStringLiteral("%1 (%2)").arg(result.foundTitle(), linkTitle));
    }
  }

  QList<ZPHFeedResult> kept;
  for (qsizetype i = 0; i < m_validRSSResultsFound.size(); ++i) {
    if (!removed.contains(i))
      kept.append(m_validRSSResultsFound[i]);
  }
  m_validRSSResultsFound = kept;
}

void ZPHFeedFinder::finish()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (!m_operationsWaiting.isEmpty() || m_finished)
    return;
  m_finished = true;
  // Kept alive to the end of this step, whoever lets go of it meanwhile.
  const std::shared_ptr<ZPHFeedFinder> self = shared_from_this();
  if (m_isCanceled)
    return;

  if (!m_validRSSResultsFound.isEmpty())
    postProcessFoundRSSResults();
  if (!m_validRSSResultsFound.isEmpty()) {
    const QList<ZPHFeedResult> results = m_validRSSResultsFound;
    if (m_delegate != nullptr)
      m_delegate->feedFinderDidFindFeedsWithResults(this, results);
    if (!m_isCanceled)
      ZPHNotificationCenter::defaultCenter().post(ZPHFeedFinderDidSuccessfullyFindFeedNotification,
                                                  QVariant::fromValue(results));
    return;
  }

  if (m_errors.size() >= 2)
    qCDebug(zphNetwork) << "Multiple errors encountered finding feeds:" << m_errors.size();
  const ZPHError error = !m_errors.isEmpty()
                             ? m_errors.last()
                             : ZPHErrors::errorWithCode(ZPHFeedFinderErrorNoFeedFound, noFeedFoundErrorString());
  if (m_delegate != nullptr)
    m_delegate->feedFinderDidFailWithError(this, error);
  if (!m_isCanceled)
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedFinderDidFailToFindFeedNotification, m_originalURL,
                                                {{ZPHUnderlyingErrorKey, QVariant::fromValue(error)}});
}
