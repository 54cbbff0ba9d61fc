#include "web/ZPHNavigationPolicy.h"

#include <QtCore/QStringList>
#include <QtCore/QUrlQuery>

namespace {

using Action = ZPHNavigationPolicy::Action;
using Decision = ZPHNavigationPolicy::Decision;

Decision refuse(const char* reason) { return {Action::Refuse, QString::fromLatin1(reason)}; }

bool isAboutScheme(const QString& scheme) { return scheme == QLatin1String("about"); }

}  // namespace

bool ZPHNavigationPolicy::isWebScheme(const QString& scheme)
{
  return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool ZPHNavigationPolicy::isFeedScheme(const QString& scheme)
{
  return scheme == QLatin1String("feed") || scheme == QLatin1String("rss");
}

bool ZPHNavigationPolicy::isSameDocument(const QUrl& a, const QUrl& b)
{
  if (a.isEmpty() || b.isEmpty())
    return false;
  return a.adjusted(QUrl::RemoveFragment) == b.adjusted(QUrl::RemoveFragment);
}

ZPHNavigationPolicy::Decision ZPHNavigationPolicy::decide(const Request& request)
{
  const QUrl& url = request.url;
  // A script's window (window.open) the user opened: a new tab, empty or of
  // a web address, which the tab's own page then loads by its own policy.
  // The engine names an empty one "about:blank#blocked".
  if (request.kind == Kind::NewWindow && !request.followsUserInput && request.scriptWindowFollowsUserInput) {
    const bool empty = url.isEmpty() || (isAboutScheme(url.scheme()) && url.path() == QLatin1String("blank"));
    if (empty || (url.isValid() && isWebScheme(url.scheme())))
      return {Action::OpenInNewTab, {}};
    return refuse("a window of an address that is not a web address");
  }
  if (url.isEmpty() || !url.isValid())
    return refuse("no valid address");
  const QString scheme = url.scheme();
  const bool inPage = url.hasFragment() && isSameDocument(url, request.currentPageURL);

  if (request.kind == Kind::NewWindow) {
    if (!request.followsUserInput)
      return refuse("a window the user did not open");
    if (inPage)
      return {Action::JumpInPage, {}};
    const Decision handedOut = handOutClickedLink(request);
    if (handedOut.action != Action::Load)
      return handedOut;
    // A plain click on a link that asks for a window of its own: it opens in
    // this view, which may show it.
    return {Action::Load, {}};
  }

  // The controller's own load of its page, and its reload.
  if (request.type != Type::LinkClicked && !request.ownLoadURL.isEmpty() && isSameDocument(url, request.ownLoadURL))
    return {Action::Load, {}};
  // An in-page jump leaves the page where it is.
  if (inPage)
    return {Action::Load, {}};

  if (!request.isMainFrame) {
    if (request.pageNeverNavigates)
      return refuse("a frame of a page that never navigates");
    if (isWebScheme(scheme) || isAboutScheme(scheme))
      return {Action::Load, {}};
    return refuse("a frame of another scheme");
  }

  if (request.type == Type::LinkClicked && request.followsUserInput)
    return handOutClickedLink(request);

  // Everything else the page does by itself.
  if (request.pageNeverNavigates)
    return refuse("the page never navigates by itself");
  if (isWebScheme(scheme) || isAboutScheme(scheme))
    return {Action::Load, {}};
  return refuse("not the user's click");
}

ZPHNavigationPolicy::Decision ZPHNavigationPolicy::handOutClickedLink(const Request& request)
{
  const QString scheme = request.url.scheme();
  if (isWebScheme(scheme)) {
    if (request.modifiers.testFlag(Qt::ControlModifier) || request.middleButton ||
        request.modifiers.testFlag(Qt::AltModifier))
      return {Action::OpenURLRespectingPreferencesAndShortcuts, {}};
    if (request.modifiers.testFlag(Qt::ShiftModifier) && request.openLinksInBrowser)
      return {Action::OpenURLInExternalBrowser, {}};
    if (request.pageNeverNavigates)
      return {Action::OpenURLRespectingPreferencesAndShortcuts, {}};
    return {Action::Load, {}};
  }
  if (scheme == QLatin1String("mailto"))
    return {Action::OpenMail, {}};
  if (isFeedScheme(scheme))
    return {Action::Subscribe, {}};
  return refuse("a scheme that does not leave the view");
}

namespace {

// A recipient a mail client takes for an address and nothing else: no
// blanks, no brackets or separators, no leading "-" that a command line
// would read as an option.
bool isPlainMailAddress(const QString& address)
{
  const qsizetype at = address.indexOf(u'@');
  if (at <= 0 || at != address.lastIndexOf(u'@') || at == address.size() - 1 || address.startsWith(u'-') ||
      address.size() > 254)
    return false;
  for (const QChar c : address) {
    if (c.unicode() <= 0x20 || c == u'<' || c == u'>' || c == u'(' || c == u')' || c == u',' || c == u';' ||
        c == u':' || c == u'"' || c == u'\\' || c == u'[' || c == u']' || c.unicode() == 0x7F)
      return false;
  }
  return true;
}

void appendPlainAddresses(const QString& list, QStringList* addresses)
{
  for (const QString& part : list.split(u',', Qt::SkipEmptyParts)) {
    const QString address = part.trimmed();
    if (isPlainMailAddress(address))
      addresses->append(address);
  }
}

}  // namespace

QUrl ZPHNavigationPolicy::mailURLForMailClient(const QUrl& url)
{
  if (!url.isValid() || url.scheme() != QLatin1String("mailto"))
    return {};
  QStringList to;
  appendPlainAddresses(url.path(QUrl::FullyDecoded), &to);
  QStringList cc;
  QUrlQuery kept;
  for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
    const QString field = key.toLower();
    if (field == QLatin1String("to"))
      appendPlainAddresses(value, &to);
    else if (field == QLatin1String("cc"))
      appendPlainAddresses(value, &cc);
    else if ((field == QLatin1String("subject") || field == QLatin1String("body")) && !kept.hasQueryItem(field))
      kept.addQueryItem(field, QString::fromLatin1(QUrl::toPercentEncoding(value)));
  }
  if (to.isEmpty() && cc.isEmpty() && kept.isEmpty())
    return {};
  if (!cc.isEmpty())
    kept.addQueryItem(QStringLiteral("cc"), QString::fromLatin1(QUrl::toPercentEncoding(cc.join(u','), "@,")));
  QUrl mail;
  mail.setScheme(QStringLiteral("mailto"));
  mail.setPath(to.join(u','));
  if (!kept.isEmpty())
    mail.setQuery(kept.query(QUrl::FullyEncoded), QUrl::StrictMode);
  return mail;
}

const char* ZPHNavigationPolicy::actionName(Action action)
{
  switch (action) {
    case Action::Load:
      return "load";
    case Action::Refuse:
      return "refuse";
    case Action::JumpInPage:
      return "jump in page";
    case Action::OpenURLRespectingPreferencesAndShortcuts:
      return "open by preference";
    case Action::OpenURLInExternalBrowser:
      return "open in the default browser";
    case Action::OpenMail:
      return "open in the mail client";
    case Action::Subscribe:
      return "subscribe";
    case Action::OpenInNewTab:
      return "open in a new tab";
  }
  return "?";
}
