#include "articlelist/ZPHArticleLinkOpener.h"

#include "kit/ZPHInterfaceLog.h"
#include "subscribe/ZPHURLAdditions.h"

namespace {

std::function<void(const QUrl& url)>& subscribeHandler()
{
  static std::function<void(const QUrl& url)> handler;
  return handler;
}

}  // namespace

ZPHArticleLinkOpener::Action ZPHArticleLinkOpener::actionForLink(const QString& link, QUrl* url)
{
  const QString trimmed = link.trimmed();
  const QUrl parsed(trimmed, QUrl::StrictMode);
  if (url != nullptr)
    *url = parsed;
  if (trimmed.isEmpty() || !parsed.isValid() || parsed.isRelative())
    return Action::Drop;
  const QString scheme = parsed.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
    return parsed.host().isEmpty() ? Action::Drop : Action::Open;
  if (scheme == QLatin1String("feed") || scheme == QLatin1String("rss"))
    return Action::Subscribe;
  return Action::Drop;
}

bool ZPHArticleLinkOpener::openLink(const QString& link, ZPHAppServices::LinkPlace place)
{
  QUrl url;
  switch (actionForLink(link, &url)) {
    case Action::Open:
      return ZPHAppServices::current().openLink(url, place) != ZPHAppServices::LinkOutcome::Refused;
    case Action::Subscribe:
      if (subscribeHandler()) {
        subscribeHandler()(url);
      } else {
        // The Add Site window takes its web address.
        const QUrl web = zph_urlWithRationalizedSchemeForFeed(url);
        if (!web.isValid() || web.isEmpty() || !zph_urlIsHTTPOrHTTPS(web))
          return false;
        ZPHAppServices::current().handleSubscribeToFeedRequest(web.toString(QUrl::FullyEncoded), true, false);
      }
      return true;
    case Action::Drop:
      qCInfo(zphInterface) << "an article link that is no web address was not opened";
      return false;
  }
  return false;
}

void ZPHArticleLinkOpener::setSubscribeHandler(std::function<void(const QUrl& url)> handler)
{
  subscribeHandler() = std::move(handler);
}
