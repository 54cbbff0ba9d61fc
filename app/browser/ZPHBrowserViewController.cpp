#include "browser/ZPHBrowserViewController.h"

#include "browser/CBBrowserTextField.h"
#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserImages.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHCloseButton.h"
#include "browser/ZPHFeedPopupButton.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsController.h"
#include "browser/ZPHToolbar.h"
#include "browser/ZPHTypedAddress.h"
#include "common/CBPasteboard.h"
#include "common/ZPHWebLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHNavigationPolicy.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWebEngineCore/QWebEngineLoadingInfo>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolButton>

const QString ZPHWebViewDidUpdateNotification = QStringLiteral("ZPHWebViewDidUpdateNotification");

namespace {

constexpr double kZoomStep = 0.1;
constexpr double kSmallestZoom = 0.5;
constexpr double kLargestZoom = 3.0;

QToolButton* makeButton(const QString& image, const QString& toolTip)
{
  auto* button = new QToolButton;
  button->setIcon(ZPHBrowserImages::icon(image));
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolTip(toolTip);
  button->setFixedSize(26, 22);
  return button;
}

QAction* addItem(QMenu* menu, const QString& title, int tag)
{
  QAction* item = menu->addAction(title);
  item->setData(tag);
  return item;
}

void addSeparatorIfNeeded(QMenu* menu)
{
  if (!menu->actions().isEmpty() && !menu->actions().constLast()->isSeparator())
    menu->addSeparator();
}

QString forLog(const QUrl& url) { return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo).left(200); }

}  // namespace

ZPHBrowserViewController::ZPHBrowserViewController(QWebEngineProfile* profile, ZPHTabsController* tabs, ZPHClock* clock,
                                                   QObject* parent)
    : ZPHWebContentViewController(profile, clock, parent), m_tabs(tabs)
{
  ZPHMacWebView* view = webView();
  view->setSkipKeystrokes(true);
  view->setRequestFavicons(true);
  view->setObjectName(QStringLiteral("ZPHBrowserWebView"));

  m_contentView = new ZPHBrowserContentView(this);
  buildToolbar();
  m_contentView->setToolbar(m_toolbar);
  mountWebView();

  QWebEnginePage* web = page();
  connect(web, &QWebEnginePage::loadingChanged, this, &ZPHBrowserViewController::loadingChanged);
  connect(web, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
    if (m_tab && m_pageLoadInProgress && !url.isEmpty())
      m_tab->setLastRequestedURL(url.toString(QUrl::FullyEncoded));
    updateAddressField();
    handleWebViewUpdated(false);
  });
  connect(web, &QWebEnginePage::titleChanged, this, [this] {
    updateUI();
    ZPHNotificationCenter::defaultCenter().post(ZPHWebViewDidUpdateNotification,
                                                QVariant::fromValue<QObject*>(webView()));
    handleWebViewUpdated(true);
  });
  connect(web, &QWebEnginePage::iconChanged, this, [this](const QIcon& icon) {
    webView()->setFavicon(icon);
    setImageForBrowserTextField(icon);
    handleWebViewUpdated(false);
  });
  connect(web, &QWebEnginePage::loadProgress, this, [this](int progress) {
    m_progress = std::clamp(progress, 0, 100) / 100.0;
    if (m_contentView)
      m_addressField->setEstimatedProgress(estimatedProgress());
    if (m_tab)
      m_tab->markSelfAsNeedingRedisplay();
  });
  connect(web, &QWebEnginePage::loadFinished, this, [this] {
    if (m_tab)
      m_tab->webViewDidFinishLoading(webView()->url());
  });
  connect(web, &QWebEnginePage::scrollPositionChanged, this, [this] {
    if (m_tab)
      m_tabs->thumbnailingController()->invalidateThumbnailForTab(m_tab);
  });
  setAddressStopReloadButton(false);
  validateButtons();
}

ZPHBrowserViewController::~ZPHBrowserViewController()
{
  *m_alive = false;
  // The tab's view holds the strip and the web view.
  delete m_contentView;
}

ZPHBrowserContentView* ZPHBrowserViewController::contentView() const { return m_contentView.data(); }

void ZPHBrowserViewController::buildToolbar()
{
  m_toolbar = new ZPHToolbar;
  connect(m_toolbar->closeButton(), &QAbstractButton::clicked, this, [this] {
    if (m_tab)
      m_tabs->closeTab(m_tab);
  });
  auto* backForward = new QWidget;
  auto* layout = new QHBoxLayout(backForward);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_backButton = makeButton(QStringLiteral("back"), tr("Back"));
  m_forwardButton = makeButton(QStringLiteral("forward"), tr("Forward"));
  layout->addWidget(m_backButton);
  layout->addWidget(m_forwardButton);
  connect(m_backButton, &QToolButton::clicked, this, &ZPHBrowserViewController::goBack);
  connect(m_forwardButton, &QToolButton::clicked, this, &ZPHBrowserViewController::goForward);
  m_refreshButton = makeButton(QStringLiteral("reloadTemplate"), tr("Reload"));
  connect(m_refreshButton, &QToolButton::clicked, this, [this] {
    if (m_pageLoadInProgress)
      stop();
    else
      reload();
  });
  m_addressField = new CBBrowserTextField;
  m_addressField->setObjectName(QStringLiteral("ZPHBrowserAddressField"));
  connect(m_addressField, &QLineEdit::returnPressed, this, [this] { openSpecifiedURL(m_addressField->text()); });
  m_toolbar->setToolbarItems({backForward, m_refreshButton, m_addressField}, m_addressField);
}

void ZPHBrowserViewController::mountWebView()
{
  if (m_contentView != nullptr)
    m_contentView->mountWebView(webView());
}

// ---- Loading

bool ZPHBrowserViewController::loadURLString(const QString& urlString, bool userAsked)
{
  const QUrl url = ZPHTypedAddress::urlForString(urlString);
  switch (ZPHTypedAddress::useForURL(url)) {
    case ZPHTypedAddress::Use::Load:
      setOwnLoadURL(url, userAsked);
      webView()->zph_loadRequest(url);
      updateUI();
      return true;
    case ZPHTypedAddress::Use::Subscribe:
      if (userAsked)
        subscribeFromWebKitHandlerWithAddSitesWindowToFeedAtURL(url);
      return false;
    case ZPHTypedAddress::Use::Refuse:
      break;
  }
  if (!urlString.isEmpty())
    qCInfo(zphWeb) << "a tab does not load" << forLog(url);
  return false;
}

void ZPHBrowserViewController::openSpecifiedURL(const QString& typed)
{
  if (!m_contentView)
    return;  // the view went with its window
  const QString address = ZPHTypedAddress::urlStringForTypedString(typed);
  if (address.isEmpty())
    return;
  if (address != typed)
    m_addressField->setText(address);
  // Only an address the tab loads becomes the tab's; a feed address goes to
  // the subscribe flow and the tab stays as it was.
  if (loadURLString(address, true)) {
    if (m_tab)
      m_tab->setLastRequestedURL(address);
  } else {
    updateAddressField();
  }
  makeWebViewFirstResponder();
  // Again once the field has let go.
  QPointer<ZPHBrowserViewController> guard(this);
  QTimer::singleShot(0, this, [guard] {
    if (guard)
      guard->makeWebViewFirstResponder();
  });
  updateUI();
}

void ZPHBrowserViewController::loadingChanged(const QWebEngineLoadingInfo& info)
{
  if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
    return;
  setProgressIndicatorRunning(true);
  webView()->setFavicon(QIcon());
  if (m_tab) {
    if (!info.url().isEmpty())
      m_tab->setLastRequestedURL(info.url().toString(QUrl::FullyEncoded));
    m_tab->startTrackingNewLoad();
  }
  updateAddressField();
  handleWebViewUpdated(false);
}

void ZPHBrowserViewController::webViewDidFinishLoad(const QUrl& url)
{
  Q_UNUSED(url);
  ZPHMacWebView* view = webView();
  const QString current = view->zph_currentURLString();
  if (m_tab) {
    m_tab->resetLoadingState();
    m_tab->setLastRequestDidFail(current.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0);
  }
  view->setLastLoadedURL(current);
  setProgressIndicatorRunning(false);
  updateAddressField();
  updateUI();
  handleWebViewUpdated(true);
}

void ZPHBrowserViewController::webViewDidFailLoad(const QUrl& url)
{
  if (m_tab && !m_tab->isClosing()) {
    m_tab->resetLoadingState();
    m_tab->setLastRequestDidFail(true);
    m_tab->setLastRequestedURL(!url.isEmpty() ? url.toString(QUrl::FullyEncoded) : webView()->zph_currentURLString());
  }
  setProgressIndicatorRunning(false);
  updateAddressField();
  handleWebViewUpdated(true);
}

void ZPHBrowserViewController::downloadWasHandedOut(const QUrl& url)
{
  Q_UNUSED(url);
  setProgressIndicatorRunning(false);
  if (m_tab)
    m_tab->resetLoadingState();
  // A fresh tab opened only for it goes.
  if (m_tab && webView()->url().isEmpty() && webView()->lastLoadedURL().isEmpty())
    m_tabs->closeTab(m_tab);
}

void ZPHBrowserViewController::webViewKeptPage(const QUrl& url)
{
  Q_UNUSED(url);
  if (m_tab && !m_tab->isClosing())
    m_tab->resetLoadingState();
  // The page that stays is loaded: Reload, its address and feed button.
  setProgressIndicatorRunning(false);
  updateAddressField();
  validateButtons();
  updateFeedButton();
  handleWebViewUpdated(false);
}

QWebEnginePage* ZPHBrowserViewController::pageForNewWindow()
{
  ZPHBrowserTab* tab = m_tabs->openTabForNewWindow();
  return tab != nullptr && tab->browserViewController() != nullptr ? tab->browserViewController()->page() : nullptr;
}

void ZPHBrowserViewController::handleWebViewUpdated(bool dirty)
{
  if (dirty)
    m_tabs->markTabsAsDirty();
  if (m_tab)
    m_tabs->thumbnailingController()->invalidateThumbnailForTab(m_tab);
  ZPHNotificationCenter::defaultCenter().post(ZPHWebViewDidUpdateNotification, QVariant::fromValue<QObject*>(this));
}

// ---- The strip

void ZPHBrowserViewController::updateUI()
{
  if (!m_contentView)
    return;  // the view went with its window
  ZPHMacWebView* view = webView();
  m_addressField->setTitle(view->zph_currentTitle());
  setProgressIndicatorRunning(view->zph_loadIsInProgress());
  if (!view->favicon().isNull())
    m_addressField->setImage(view->favicon());
  validateButtons();
  if (!m_pageLoadInProgress)
    updateFeedButton();
}

void ZPHBrowserViewController::updateAddressField()
{
  if (!m_contentView)
    return;  // the view went with its window
  ZPHMacWebView* view = webView();
  m_addressField->setImage(m_tab ? m_tab->icon() : ZPHBrowserImages::defaultTabIcon());
  QString address;
  if (view->zph_loadIsInProgress()) {
    address = view->zph_loadingURLString();
    if (address.isEmpty())
      address = view->displayURL();
    if (address.isEmpty())
      return;
  } else {
    address = m_tab ? m_tab->displayURL() : view->displayURL();
  }
  if (address.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0)
    address.clear();
  m_addressField->setDisplayTitle(false);
  m_addressField->setURLString(address);
}

void ZPHBrowserViewController::setURLStringForBrowserTextField(const QString& urlString)
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->setDisplayTitle(false);
  if (!urlString.isNull() && urlString.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) != 0)
    m_addressField->setURLString(urlString);
  updateUI();
}

void ZPHBrowserViewController::setImageForBrowserTextField(const QIcon& image)
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->setImage(image);
  updateUI();
}

void ZPHBrowserViewController::validateButtons()
{
  if (!m_contentView)
    return;  // the view went with its window
  m_backButton->setEnabled(webView()->history()->canGoBack() || m_backButtonClosesView);
  m_forwardButton->setEnabled(canGoForward());
}

bool ZPHBrowserViewController::canGoForward() const
{
  const ZPHMacWebView* view = webView();
  return view != nullptr && view->history() != nullptr && view->history()->canGoForward();
}

void ZPHBrowserViewController::setProgressIndicatorRunning(bool running)
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->setInProgress(running);
  m_pageLoadInProgress = running;
  m_addressField->setEstimatedProgress(estimatedProgress());
  setAddressStopReloadButton(running);
  m_toolbar->update();
}

void ZPHBrowserViewController::setAddressStopReloadButton(bool loading)
{
  if (!m_contentView)
    return;  // the view went with its window
  if (loading)
    m_addressField->setAddButtonHidden(true);
  m_refreshButton->setIcon(
      ZPHBrowserImages::icon(loading ? QStringLiteral("stopTemplate") : QStringLiteral("reloadTemplate")));
  m_refreshButton->setToolTip(loading ? tr("Stop") : tr("Reload"));
}

void ZPHBrowserViewController::makeAddressFieldFirstResponder()
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->setFocus(Qt::OtherFocusReason);
  m_addressField->selectAll();
}

void ZPHBrowserViewController::selectTextInAddressField()
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->selectAll();
}

// ---- Feeds

void ZPHBrowserViewController::disableFeedButton()
{
  if (!m_contentView)
    return;  // the view went with its window
  m_addressField->setAddButtonHidden(true);
  m_feedLinks.clear();
  m_feedLinksURL.clear();
  m_feedLinksKnown = false;
}

void ZPHBrowserViewController::updateFeedButton()
{
  if (!m_contentView)
    return;  // the view went with its window
  ZPHMacWebView* view = webView();
  const QString display = view->zph_currentURLString();
  if (display.isEmpty() || view->lastLoadedURL().isEmpty()) {
    disableFeedButton();
    return;
  }
  if (m_feedLinksKnown && display == m_feedLinksURL) {
    m_addressField->setAddButtonHidden(m_feedLinks.isEmpty());
    return;
  }
  const QUrl pageURL(display);
  if (const std::optional<QList<CBFeedLink>> cached = CBFeedLinkDetector::cachedFeedLinksForURLString(display)) {
    m_feedLinks = *cached;
    m_feedLinksURL = display;
    m_feedLinksKnown = true;
    m_addressField->addButton()->setAvailableFeeds(m_feedLinks);
    m_addressField->setAddButtonHidden(m_feedLinks.isEmpty());
    Q_EMIT feedLinksUpdated();
    return;
  }
  if (m_feedSearchURL == display)
    return;  // a search of this page is under way
  m_feedSearchURL = display;
  ++m_feedSearchCount;
  QPointer<ZPHBrowserViewController> guard(this);
  page()->runJavaScript(CBFeedLinkDetector::collectionScript(), QWebEngineScript::ApplicationWorld,
                        [guard, alive = m_alive, display, pageURL](const QVariant& result) {
                          if (!*alive || !guard || !guard->m_contentView)
                            return;
                          if (guard->m_feedSearchURL == display)
                            guard->m_feedSearchURL.clear();
                          const QList<CBFeedLink> links =
                              CBFeedLinkDetector::feedLinksInCollection(result.toString().toUtf8(), pageURL);
                          // The page moved on meanwhile: its own search comes.
                          if (guard->webView()->zph_currentURLString() != display)
                            return;
                          guard->m_feedLinks = links;
                          guard->m_feedLinksURL = display;
                          guard->m_feedLinksKnown = true;
                          guard->m_addressField->addButton()->setAvailableFeeds(links);
                          guard->m_addressField->setAddButtonHidden(links.isEmpty() || guard->m_pageLoadInProgress);
                          Q_EMIT guard->feedLinksUpdated();
                        });
}

// ---- Actions

void ZPHBrowserViewController::stop()
{
  webView()->stop();
  setProgressIndicatorRunning(false);
  updateUI();
}

void ZPHBrowserViewController::reload() { webView()->reload(); }

void ZPHBrowserViewController::goBack()
{
  webView()->checkWithUIDelegateAndGoBack();
  updateUI();
}

void ZPHBrowserViewController::goForward()
{
  webView()->checkWithUIDelegateAndGoForward();
  updateUI();
}

bool ZPHBrowserViewController::webViewShouldPerformAction(ZPHMacWebView* view, QWebEnginePage::WebAction action)
{
  // Back without history shows the news-items tab.
  if (action == QWebEnginePage::Back && view != nullptr && !view->history()->canGoBack()) {
    QPointer<ZPHTabsController> tabs(m_tabs);
    QTimer::singleShot(0, m_tabs, [tabs] {
      if (tabs)
        tabs->selectNewsItemsTab();
    });
    return false;
  }
  return true;
}

void ZPHBrowserViewController::makeTextLarger()
{
  webView()->setZoomFactor(std::min(kLargestZoom, webView()->zoomFactor() + kZoomStep));
}

void ZPHBrowserViewController::makeTextSmaller()
{
  webView()->setZoomFactor(std::max(kSmallestZoom, webView()->zoomFactor() - kZoomStep));
}

void ZPHBrowserViewController::invalidate()
{
  ZPHWebContentViewController::invalidate();
  m_tab = nullptr;
}

// ---- Context menu

void ZPHBrowserViewController::copyPageLink()
{
  const QString address = m_tab ? m_tab->displayURL() : webView()->displayURL();
  const QUrl url(address);
  if (!address.isEmpty() && url.isValid())
    CBCopyURLStringToPasteboard(url.toString(QUrl::FullyEncoded));
}

void ZPHBrowserViewController::addShareMenu(QMenu* menu, const QUrl& url, const QString& title,
                                            const QRect& elementRect)
{
  const ZPHTabsController::ShareMenuFiller& filler = m_tabs->shareMenuFiller();
  if (!filler || !url.isValid() || url.isEmpty())
    return;
  auto* shareMenu = new QMenu(QCoreApplication::translate("ZPHBrowserViewController", "Share"), menu);
  if (!filler(shareMenu, url, title)) {
    delete shareMenu;
    return;
  }
  m_clickedRect = elementRect;
  addSeparatorIfNeeded(menu);
  QAction* share = menu->addMenu(shareMenu);
  share->setData(int(ZPHWebContextMenuTagShare));
}

QMenu* ZPHBrowserViewController::contextualMenuForWebView(ZPHMacWebView* view, const ZPHWebElement& element)
{
  auto* menu = new QMenu(view);
  const QString link = element.linkURLString();
  const bool image = element.hasImage();
  const auto textSizeItems = [&] {
    addSeparatorIfNeeded(menu);
    connect(
        addItem(menu, QCoreApplication::translate("Browser", "Make Text Larger"), ZPHWebContextMenuTagMakeTextLarger),
        &QAction::triggered, this, &ZPHBrowserViewController::makeTextLarger);
    connect(
        addItem(menu, QCoreApplication::translate("Browser", "Make Text Smaller"), ZPHWebContextMenuTagMakeTextSmaller),
        &QAction::triggered, this, &ZPHBrowserViewController::makeTextSmaller);
    addSeparatorIfNeeded(menu);
  };
  const auto imageItems = [&] {
    QAction* copyImage =
        addItem(menu, QCoreApplication::translate("Browser", "Copy Image"), ZPHWebContextMenuTagCopyImage);
    connect(copyImage, &QAction::triggered, this,
            [this] { page()->triggerAction(QWebEnginePage::CopyImageToClipboard); });
    connect(addItem(menu, QCoreApplication::translate("ZPHBrowserViewController", "Save Image As\u2026"),
                    ZPHWebContextMenuTagSaveImageAs),
            &QAction::triggered, this, [this, element] { uiDelegateSaveImageAs(element); });
  };

  if (!link.isEmpty()) {
    QAction* copy = addItem(menu, QCoreApplication::translate("Browser", "Copy Link"), ZPHWebContextMenuTagCopyLink);
    connect(copy, &QAction::triggered, this, [link] { CBCopyURLStringToPasteboard(link); });
    if (ZPHNavigationPolicy::isWebScheme(element.linkURL.scheme())) {
      connect(addItem(menu, QCoreApplication::translate("ZPHBrowserViewController", "Open in New Tab"),
                      ZPHWebContextMenuTagOpenInNewTab),
              &QAction::triggered, this, [this, element] { uiDelegateOpenInNewTab(element); });
      connect(addItem(menu, QCoreApplication::translate("ZPHBrowserViewController", "Open in Browser"),
                      ZPHWebContextMenuTagOpenInBrowser),
              &QAction::triggered, this, [this, element] { uiDelegateOpenInBrowser(element); });
    }
    if (image) {
      addSeparatorIfNeeded(menu);
      imageItems();
    } else {
      textSizeItems();
    }
    addShareMenu(menu, element.linkURL, element.linkText, view->zph_clickedRectForElement(element));
  } else {
    QWebEngineHistory* history = view->history();
    if (history->canGoBack())
      connect(menu->addAction(QCoreApplication::translate("Browser", "Back")), &QAction::triggered, this,
              &ZPHBrowserViewController::goBack);
    if (history->canGoForward())
      connect(menu->addAction(QCoreApplication::translate("Browser", "Forward")), &QAction::triggered, this,
              &ZPHBrowserViewController::goForward);
    addSeparatorIfNeeded(menu);
    if (image) {
      QAction* copy =
          addItem(menu, QCoreApplication::translate("Browser", "Copy Link to Image"), ZPHWebContextMenuTagCopyLink);
      const QString imageLink = element.imageURL.toString(QUrl::FullyEncoded);
      connect(copy, &QAction::triggered, this, [imageLink] { CBCopyURLStringToPasteboard(imageLink); });
      addSeparatorIfNeeded(menu);
      imageItems();
      addSeparatorIfNeeded(menu);
    } else {
      connect(addItem(menu, QCoreApplication::translate("Browser", "Copy Article Link"), ZPHWebContextMenuTagCopyLink),
              &QAction::triggered, this, &ZPHBrowserViewController::copyPageLink);
      textSizeItems();
    }
    const QString page = m_tab ? m_tab->displayURL() : view->displayURL();
    addShareMenu(menu, QUrl(page), m_tab ? m_tab->displayTitle() : view->displayTitle(), QRect());
  }
  while (!menu->actions().isEmpty() && menu->actions().constLast()->isSeparator())
    menu->removeAction(menu->actions().constLast());
  if (menu->actions().isEmpty()) {
    delete menu;
    return nullptr;
  }
  return menu;
}
