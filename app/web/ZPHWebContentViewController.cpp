#include "web/ZPHWebContentViewController.h"

#include "common/ZPHAppServices.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHWebLog.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/images/ZPHImageCacheProtocol.h"
#include "feeds/parsers/RSSDiscovery.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "subscribe/ZPHURLAdditions.h"
#include "web/CBShadowTextField.h"
#include "web/ZPHInternalSchemes.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
#include "web/ZPHMacWebViewStatusBarWindow.h"
#include "web/ZPHMacWebViewStatusBarWindowController.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMimeData>
#include <QtCore/QSaveFile>
#include <QtCore/QTimer>
#include <QtCore/QUuid>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWebEngineCore/QWebEngineDownloadRequest>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWebEngineCore/QWebEngineLoadingInfo>
#include <QtWebEngineCore/QWebEngineNewWindowRequest>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMenu>

namespace {

using Action = ZPHNavigationPolicy::Action;
using Type = ZPHNavigationPolicy::Type;

Type policyType(int engineType)
{
  switch (engineType) {
    case QWebEnginePage::NavigationTypeLinkClicked:
      return Type::LinkClicked;
    case QWebEnginePage::NavigationTypeTyped:
      return Type::Typed;
    case QWebEnginePage::NavigationTypeFormSubmitted:
      return Type::FormSubmitted;
    case QWebEnginePage::NavigationTypeBackForward:
      return Type::BackForward;
    case QWebEnginePage::NavigationTypeReload:
      return Type::Reload;
    case QWebEnginePage::NavigationTypeRedirect:
      return Type::Redirect;
    default:
      return Type::Other;
  }
}

QString forLog(const QUrl& url)
{
  // Enough to recognise the address, without its query or anything a
  // script put after it.
  return url.toString(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).left(200);
}

}  // namespace

ZPHWebContentViewController::ZPHWebContentViewController(QWebEngineProfile* profile, ZPHClock* clock, QObject* parent)
    : QObject(parent), m_profile(profile), m_clock(clock ? clock : &ZPHClock::systemClock())
{
  m_webView = new ZPHMacWebView;
  m_page = new ZPHWebEnginePage(profile);
  m_webView->setClock(m_clock);
  m_webView->setWebPage(m_page);
  m_webView->setUIDelegate(this);
  m_page->setNavigationPolicy([this](const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
    return decideNavigation(url, type, isMainFrame);
  });
  connect(m_page, &QWebEnginePage::newWindowRequested, this, &ZPHWebContentViewController::decideNewWindow);
  connect(m_page, &QWebEnginePage::windowCloseRequested, this, &ZPHWebContentViewController::webViewClose);
  connect(m_page, &QWebEnginePage::loadingChanged, this, &ZPHWebContentViewController::loadingChanged);
  connect(m_page, &QWebEnginePage::linkHovered, this, &ZPHWebContentViewController::mouseDidMoveOverLink);
  connect(profile, &QWebEngineProfile::downloadRequested, this, &ZPHWebContentViewController::decideDownload);
}

ZPHWebContentViewController::~ZPHWebContentViewController()
{
  hideStatusBar();
  m_findBarViewController.reset();
  m_statusBarWindowController.reset();
  if (m_webView)
    m_webView->detachDelegates();
  delete m_webView;
  if (m_page)
    m_page->setNavigationPolicy({});
  delete m_page;
}

QWidget* ZPHWebContentViewController::view() const { return m_webView; }

QWidget* ZPHWebContentViewController::window() const { return m_webView ? m_webView->window() : nullptr; }

ZPHMacWebViewFindBarViewController* ZPHWebContentViewController::findBarViewController()
{
  if (!m_findBarViewController)
    m_findBarViewController = std::make_unique<ZPHMacWebViewFindBarViewController>();
  return m_findBarViewController.get();
}

QWidget* ZPHWebContentViewController::findBarView() { return findBarViewController()->view(); }

QRect ZPHWebContentViewController::webViewRect() const { return m_webView ? m_webView->geometry() : QRect(); }

ZPHMacWebViewStatusBarWindowController* ZPHWebContentViewController::statusBarWindowController()
{
  if (!m_statusBarWindowController)
    m_statusBarWindowController = std::make_unique<ZPHMacWebViewStatusBarWindowController>();
  return m_statusBarWindowController.get();
}

void ZPHWebContentViewController::makeWebViewFirstResponder()
{
  if (m_webView && m_webView->window())
    m_webView->setFocus(Qt::OtherFocusReason);
}

void ZPHWebContentViewController::invalidate()
{
  hideStatusBar();
  if (m_page) {
    m_page->triggerAction(QWebEnginePage::Stop);
    m_page->setNavigationPolicy({});
  }
}

QMenu* ZPHWebContentViewController::contextualMenuForWebView(ZPHMacWebView* webView, const ZPHWebElement& element)
{
  Q_UNUSED(webView);
  Q_UNUSED(element);
  return nullptr;
}

// ---- Navigation

ZPHNavigationPolicy::Request ZPHWebContentViewController::requestForNavigation(const QUrl& url, Type type,
                                                                               bool isMainFrame)
{
  ZPHNavigationPolicy::Request request;
  request.kind = ZPHNavigationPolicy::Kind::Navigation;
  request.type = type;
  request.isMainFrame = isMainFrame;
  request.url = url;
  if (type == Type::LinkClicked) {
    request.url = adjustedURLForClickedLink(url);
    takeUserInput(url, request);
  }
  fillPageState(request);
  return request;
}

void ZPHWebContentViewController::takeUserInput(const QUrl& url, ZPHNavigationPolicy::Request& request)
{
  if (const auto input = m_webView->takeUserInputForURL(url)) {
    request.followsUserInput = true;
    request.modifiers = input->modifiers;
    request.middleButton = input->button == Qt::MiddleButton;
  }
}

void ZPHWebContentViewController::fillPageState(ZPHNavigationPolicy::Request& request) const
{
  request.openLinksInBrowser = CBPrefsGetBool(ZPHBrowserOpenLinksInZephlin);
  request.currentPageURL = m_webView->url();
  request.ownLoadURL = m_ownLoadURL;
  request.pageNeverNavigates = pageNeverNavigates();
}

bool ZPHWebContentViewController::decideNavigation(const QUrl& url, int engineType, bool isMainFrame)
{
  const ZPHNavigationPolicy::Request request = requestForNavigation(url, policyType(engineType), isMainFrame);
  const ZPHNavigationPolicy::Decision decision = ZPHNavigationPolicy::decide(request);
  switch (decision.action) {
    case Action::Load:
    case Action::JumpInPage:
      if (isMainFrame && !ZPHNavigationPolicy::isSameDocument(url, m_webView->url())) {
        // A server's redirect goes on with the navigation it redirects; the
        // controller's own load is the user's when the user asked for it.
        const bool ownLoad =
            request.type != Type::LinkClicked && ZPHNavigationPolicy::isSameDocument(url, m_ownLoadURL);
        if (request.type != Type::Redirect)
          m_navigationFollowsUserInput = request.followsUserInput || (ownLoad && m_ownLoadIsUsers);
      }
      return true;
    case Action::Refuse:
      qCInfo(zphWeb) << "refused a navigation to" << forLog(url) << "-" << decision.reason;
      m_refusedURLs.append(url);
      Q_EMIT navigationRefused(url, decision.reason);
      return false;
    default:
      // The link leaves the view; the view stays where it is.
      m_refusedURLs.append(url);
      handOut(request.url, decision.action);
      return false;
  }
}

void ZPHWebContentViewController::decideNewWindow(QWebEngineNewWindowRequest& newWindow)
{
  const QUrl url = newWindow.requestedUrl();
  ZPHNavigationPolicy::Request request;
  request.kind = ZPHNavigationPolicy::Kind::NewWindow;
  request.url = adjustedURLForClickedLink(url);
  if (newWindow.isUserInitiated()) {
    // A link the user clicked (or chose and pressed Return on), else the
    // page's script acting on the user's click or key.
    takeUserInput(url, request);
    if (!request.followsUserInput)
      request.scriptWindowFollowsUserInput = m_webView->takeUserInputForScriptWindow().has_value();
  }
  fillPageState(request);
  const ZPHNavigationPolicy::Decision decision = ZPHNavigationPolicy::decide(request);
  switch (decision.action) {
    case Action::Refuse:
      qCInfo(zphWeb) << "refused a new window for" << forLog(url) << "-" << decision.reason;
      Q_EMIT navigationRefused(url, decision.reason);
      return;
    case Action::OpenInNewTab: {
      QWebEnginePage* target = pageForNewWindow();
      if (target == nullptr) {
        qCInfo(zphWeb) << "refused a new window for" << forLog(url) << "- no tab to open it in";
        Q_EMIT navigationRefused(url, QStringLiteral("no tab to open it in"));
        return;
      }
      qCInfo(zphWeb) << "the user's window for" << forLog(url) << "- open in a new tab";
      newWindow.openIn(target);
      Q_EMIT linkHandedOut(url, Action::OpenInNewTab);
      return;
    }
    case Action::Load:
      // The link opens in this view.
      m_webView->zph_loadRequest(request.url);
      m_navigationFollowsUserInput = true;
      return;
    case Action::JumpInPage: {
      const QByteArray fragment =
          QJsonDocument(QJsonArray{QLatin1Char('#') + url.fragment(QUrl::FullyEncoded)}).toJson(QJsonDocument::Compact);
      m_page->runJavaScript(
          QStringLiteral("window.location.hash = %1").arg(QString::fromUtf8(fragment.mid(1, fragment.size() - 2))),
          QWebEngineScript::ApplicationWorld);
      return;
    }
    default:
      handOut(request.url, decision.action);
      return;
  }
}

void ZPHWebContentViewController::webViewClose()
{
  // A page's script closing its window: the view goes back when it can.
  if (m_webView && m_webView->history()->canGoBack())
    m_webView->back();
}

void ZPHWebContentViewController::handOut(const QUrl& url, Action action)
{
  qCInfo(zphWeb) << "the user's link to" << forLog(url) << "-" << ZPHNavigationPolicy::actionName(action);
  switch (action) {
    case Action::OpenURLRespectingPreferencesAndShortcuts:
      openURLRespectingPreferencesAndShortcuts(url);
      break;
    case Action::OpenURLInExternalBrowser:
      openURLInExternalBrowserRespectingPreferencesAndShortcuts(url);
      break;
    case Action::OpenMail:
      openMailURL(url);
      break;
    case Action::Subscribe:
      subscribeFromWebKitHandlerWithAddSitesWindowToFeedAtURL(url);
      break;
    default:
      return;
  }
  Q_EMIT linkHandedOut(url, action);
}

void ZPHWebContentViewController::openURLRespectingPreferencesAndShortcuts(const QUrl& url)
{
  if (!ZPHNavigationPolicy::isWebScheme(url.scheme()))
    return;
  ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::Preferred);
}

void ZPHWebContentViewController::openURLInExternalBrowserRespectingPreferencesAndShortcuts(const QUrl& url)
{
  if (!ZPHNavigationPolicy::isWebScheme(url.scheme()))
    return;
  ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::ExternalBrowser);
}

void ZPHWebContentViewController::openMailURL(const QUrl& url)
{
  // Only the recipients, the subject and the body reach the mail client
  // (never a file to attach).
  const QUrl mail = ZPHNavigationPolicy::mailURLForMailClient(url);
  if (mail.isEmpty()) {
    qCInfo(zphWeb) << "nothing of the mail link to hand out:" << forLog(url);
    return;
  }
  ZPHAppServices::current().openLink(mail, ZPHAppServices::LinkPlace::MailProgram);
}

void ZPHWebContentViewController::subscribeFromWebKitHandlerWithAddSitesWindowToFeedAtURL(const QUrl& url)
{
  if (url.isEmpty())
    return;
  // After the engine's question has been answered.
  QTimer::singleShot(0, this, [url] {
    const QUrl webURL = zph_urlWithRationalizedSchemeForFeed(url);
    if (!webURL.isValid()) {
      qCInfo(zphWeb) << "no web address for the feed link" << forLog(url);
      return;
    }
    ZPHAppServices::current().handleSubscribeToFeedRequest(webURL.toString(QUrl::FullyEncoded), true, true);
  });
}

void ZPHWebContentViewController::decideDownload(QWebEngineDownloadRequest* download)
{
  if (!download || download->page() != m_page)
    return;
  const QUrl url = download->url();
  const QString mimeType = download->mimeType();
  const QString imagePath = m_pendingImageSaves.take(url);
  if (!imagePath.isEmpty()) {
    // An image the user saves: its bytes as the server sends them.
    const QFileInfo target(imagePath);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    download->accept();
    return;
  }
  // Nothing a page starts is saved: a download is never accepted here. The
  // load that became the download is no failure of the page.
  download->cancel();
  m_refusedURLs.append(url);
  if (!m_navigationFollowsUserInput) {
    qCInfo(zphWeb) << "refused a download the user did not ask for:" << forLog(url) << mimeType;
    return;
  }
  m_navigationFollowsUserInput = false;
  if (RSSDiscovery::feedMIMETypes().contains(mimeType)) {
    subscribeFromWebKitHandlerWithAddSitesWindowToFeedAtURL(url);
    Q_EMIT linkHandedOut(url, Action::Subscribe);
    downloadWasHandedOut(url);
    return;
  }
  if (!ZPHNavigationPolicy::isWebScheme(url.scheme())) {
    qCInfo(zphWeb) << "refused a download of" << forLog(url);
    return;
  }
  // Not shown here (archives, documents): the default browser takes it (a
  // tab opened only for it closes).
  openURLInExternalBrowserRespectingPreferencesAndShortcuts(url);
  Q_EMIT linkHandedOut(url, Action::OpenURLInExternalBrowser);
  downloadWasHandedOut(url);
}

void ZPHWebContentViewController::loadingChanged(const QWebEngineLoadingInfo& info)
{
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      m_refusedURLs.clear();
      m_navigationFollowsUserInput = false;
      webViewDidFinishLoad(info.url());
      return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus: {
      const QUrl url = info.url();
      if (m_refusedURLs.removeAll(url) > 0) {
        // A navigation that was refused or handed out: the page is still
        // there.
        webViewKeptPage(url);
        return;
      }
      if (!url.isEmpty() && !ZPHNavigationPolicy::isWebScheme(url.scheme()) &&
          !ZPHInternalSchemes::isInternalScheme(url.scheme()) && url.scheme() != QLatin1String("about") &&
          !ZPHNavigationPolicy::isSameDocument(url, m_webView->url())) {
        // A link of a scheme the engine does not load (mail, feeds, …)
        // ends here without the page having asked: decided now, as a link.
        decideLinkTheEngineDoesNotLoad(url);
        webViewKeptPage(url);
        return;
      }
      m_navigationFollowsUserInput = false;
      webViewDidFailLoad(url);
      return;
    }
  }
}

void ZPHWebContentViewController::decideLinkTheEngineDoesNotLoad(const QUrl& url)
{
  const ZPHNavigationPolicy::Request request = requestForNavigation(url, Type::LinkClicked, true);
  const ZPHNavigationPolicy::Decision decision = ZPHNavigationPolicy::decide(request);
  switch (decision.action) {
    case Action::Load:
    case Action::Refuse:
    case Action::JumpInPage:
      qCInfo(zphWeb) << "refused a navigation to" << forLog(url) << "-"
                     << (decision.reason.isEmpty() ? QStringLiteral("not loaded here") : decision.reason);
      Q_EMIT navigationRefused(url, decision.reason);
      return;
    default:
      handOut(request.url, decision.action);
      return;
  }
}

const QStringList& ZPHWebContentViewController::mimeTypesToOpenExternally()
{
  static const QStringList types{
      QStringLiteral("application/x-diskcopy"),
      QStringLiteral("application/x-gzip"),
      QStringLiteral("application/mac-binhex40"),
      QStringLiteral("application/x-compress"),
      QStringLiteral("application/macbinary"),
      QStringLiteral("application/zip"),
      QStringLiteral("application/x-stuffit"),
      QStringLiteral("application/x-tar"),
      QStringLiteral("application/pdf"),
      QStringLiteral("application/x-pdf"),
      QStringLiteral("application/acrobat"),
      QStringLiteral("applications/vnd.pdf"),
      QStringLiteral("text/pdf"),
      QStringLiteral("text/x-pdf"),
      QStringLiteral("application/x-zip"),
      QStringLiteral("application/octet-stream"),
  };
  return types;
}

// ---- Status bar

void ZPHWebContentViewController::mouseDidMoveOverLink(const QString& link)
{
  // The window's link under the mouse ("" once the mouse left the link).
  {
    QVariantMap userInfo{{CBURLKey, link}};
    if (m_webView)
      userInfo.insert(ZPHURLNotificationViewKey, QVariant::fromValue<QObject*>(m_webView.data()));
    ZPHNotificationCenter::defaultCenter().post(ZPHMouseOverURLDidUpdateNotification,
                                                QVariant::fromValue<QObject*>(this), userInfo);
  }
  ZPHMacWebViewStatusBarWindowController* bar = statusBarWindowController();
  const QUrl url(link);
  if (link.isEmpty() || url.isLocalFile()) {
    bar->textField()->setText(QStringLiteral(""));
    bar->setAssociatedLink(QString());
    hideStatusBar();
    return;
  }
  if (link == bar->associatedLink())
    return;
  hideStatusBar();
  bar->setAssociatedLink(link);
  bar->textField()->setText(url.toString(QUrl::FullyEncoded));
  QPointer<ZPHMacWebView> webView = m_webView;
  m_statusBarTimer =
      m_clock->schedule(ZPHMacWebViewStatusBarWindowController::standardPauseDuration(), this, [this, webView] {
        m_statusBarTimer = 0;
        if (webView)
          showStatusBarForWebView(webView);
      });
}

void ZPHWebContentViewController::showStatusBarForWebView(ZPHMacWebView* webView)
{
  ZPHMacWebViewStatusBarWindowController* bar = statusBarWindowController();
  if (!bar->positionAtBottomOfWebView(webView))
    return;
  if (isBrowserTab())
    bar->setAllowDarkTheme(false);
  bar->show();
  watchWindowState(false);
  watchWindowState(true);
}

void ZPHWebContentViewController::hideStatusBar()
{
  if (m_statusBarTimer) {
    m_clock->cancel(m_statusBarTimer);
    m_statusBarTimer = 0;
  }
  if (m_statusBarWindowController)
    m_statusBarWindowController->hide();
  watchWindowState(false);
}

void ZPHWebContentViewController::watchWindowState(bool watch)
{
  if (!watch) {
    if (m_watchedWindow)
      m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = nullptr;
    return;
  }
  m_watchedWindow = window();
  if (m_watchedWindow)
    m_watchedWindow->installEventFilter(this);
}

bool ZPHWebContentViewController::eventFilter(QObject* watched, QEvent* event)
{
  // Going into or out of full screen hides the bar.
  if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange)
    hideStatusBar();
  return QObject::eventFilter(watched, event);
}

// ---- Context menu

QMenu* ZPHWebContentViewController::webViewContextMenuForElement(ZPHMacWebView* webView, const ZPHWebElement& element)
{
  hideStatusBar();
  if (element.isPlugin)
    return nullptr;
  return contextualMenuForWebView(webView, element);
}

QList<QAction*> ZPHWebContentViewController::findMenuItemsWithTag(int tag, const QList<QAction*>& items)
{
  QList<QAction*> found;
  for (QAction* item : items)
    if (item && item->data().toInt() == tag && !item->isSeparator())
      found.append(item);
  return found;
}

QAction* ZPHWebContentViewController::copyLinkMenuItemFromElement(const ZPHWebElement& element, QObject* parent)
{
  QString title;
  if (!element.linkURLString().isEmpty() && element.linkURL.isValid())
    title = QCoreApplication::translate("Browser", "Copy Link");
  else if (element.hasImage())
    title = QCoreApplication::translate("Browser", "Copy Link to Image");
  else
    title = QCoreApplication::translate("Browser", "Copy Article Link");
  auto* item = new QAction(title, parent);
  item->setData(int(ZPHWebContextMenuTagCopyLink));
  connect(item, &QAction::triggered, this, [this, element] { uiCopyLink(element); });
  return item;
}

QUrl ZPHWebContentViewController::zph_urlForElement(const ZPHWebElement* element) const
{
  if (!element)
    return {};
  if (!element->linkURLString().isEmpty())
    return element->linkURL;
  if (m_selectedArticles.isEmpty() || !m_selectedArticles.first())
    return {};
  const QString bestLink = m_selectedArticles.first()->bestLink();
  return bestLink.isEmpty() ? QUrl() : QUrl(bestLink);
}

QUrl ZPHWebContentViewController::publicURLForImageURL(const QUrl& imageURL) const
{
  if (!m_selectedArticles.isEmpty() && m_selectedArticles.last()) {
    const CBDataArticle* article = m_selectedArticles.last();
    const CBDataArticleContent* content = article->content();
    if (content) {
      const QUrl found = ZPHArticleImageCacheController::sharedController()->URLOfImageInArticleContentHTML(
          content->htmlText(), imageURL, article->baseURL());
      if (found.isValid() && !found.isEmpty())
        return found;
    }
  }
  return imageURL;
}

void ZPHWebContentViewController::copyURLStringToClipboard(const QString& urlString)
{
  auto* data = new QMimeData;
  const QUrl url(urlString);
  if (url.isValid())
    data->setUrls({url});
  data->setText(urlString);
  QGuiApplication::clipboard()->setMimeData(data);
}

void ZPHWebContentViewController::uiCopyLink(const ZPHWebElement& element)
{
  QUrl url = zph_urlForElement(&element);
  if (element.linkURLString().isEmpty() && element.hasImage())
    url = publicURLForImageURL(element.imageURL);
  if (url.isValid() && !url.isEmpty())
    copyURLStringToClipboard(url.toString(QUrl::FullyEncoded));
}

void ZPHWebContentViewController::uiDelegateOpenInNewTab(const ZPHWebElement& element)
{
  const QUrl url = zph_urlForElement(&element);
  if (!ZPHNavigationPolicy::isWebScheme(url.scheme()))
    return;
  ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::NewTab);
}

void ZPHWebContentViewController::uiDelegateOpenInBrowser(const ZPHWebElement& element)
{
  const QUrl url = zph_urlForElement(&element);
  openURLInExternalBrowserRespectingPreferencesAndShortcuts(url);
}

void ZPHWebContentViewController::uiDelegateCopySource()
{
  m_webView->zph_htmlSource([](const QString& source) {
    if (!source.isEmpty())
      QGuiApplication::clipboard()->setText(source);
  });
}

QString ZPHWebContentViewController::filenameForImage(const QString& urlString, bool deletePathExtension)
{
  const auto uuid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces); };
  QString name;
  if (urlString.isEmpty()) {
    name = uuid();
  } else {
    const QUrl url(urlString);
    name = url.isValid() ? url.fileName(QUrl::FullyDecoded) : QString();
    if (name.size() < 2)
      name = uuid();
  }
  if (deletePathExtension) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
      name.truncate(dot);
  }
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  name.replace(QLatin1Char(':'), QLatin1Char('_'));
  name.replace(QLatin1String(".."), QLatin1String("_"));
  return name;
}

void ZPHWebContentViewController::imageDataForURL(const QUrl& imageURL, std::function<void(const QByteArray&)> done)
{
  if (ZPHImageCacheProtocol::canInitWithURL(imageURL)) {
    done(ZPHImageCacheProtocol::dataForURL(imageURL));
    return;
  }
  if (!ZPHNavigationPolicy::isWebScheme(imageURL.scheme())) {
    done({});
    return;
  }
  const QByteArray cached = CBWebCacheController::sharedController()->cachedObjectAtURL(imageURL);
  if (!cached.isEmpty()) {
    done(cached);
    return;
  }
  done({});
}

void ZPHWebContentViewController::saveImageData(const QByteArray& data, const QString& fileName)
{
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
    qCWarning(zphWeb) << Q_FUNC_INFO << "could not save the image to" << fileName << file.errorString();
}

void ZPHWebContentViewController::uiDelegateSaveImageAs(const ZPHWebElement& element)
{
  if (!element.hasImage())
    return;
  const QUrl imageURL = element.imageURL;
  const QString fileName = filenameForImage(publicURLForImageURL(imageURL).toString(QUrl::FullyEncoded), false);
  auto* dialog = new QFileDialog(window(), QCoreApplication::translate("Browser", "Save Image"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->selectFile(fileName);
  connect(dialog, &QFileDialog::fileSelected, this, [this, imageURL](const QString& path) {
    if (!path.isEmpty())
      saveImageAtURLToFile(imageURL, path);
  });
  dialog->open();
}

void ZPHWebContentViewController::saveImageAtURLToFile(const QUrl& imageURL, const QString& path)
{
  const QUrl publicURL = publicURLForImageURL(imageURL);
  QPointer<ZPHWebContentViewController> guard(this);
  imageDataForURL(imageURL, [this, guard, publicURL, path](const QByteArray& data) {
    if (!guard)
      return;
    if (!data.isEmpty()) {
      saveImageData(data, path);
      return;
    }
    // Not cached: the server's bytes, as they come, through the page's
    // profile.
    if (!ZPHNavigationPolicy::isWebScheme(publicURL.scheme()))
      return;
    m_pendingImageSaves.insert(publicURL, path);
    m_page->download(publicURL, QFileInfo(path).fileName());
  });
}
