#include "browser/ZPHBrowserTab.h"

#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserImages.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsController.h"
#include "store/entities/AbstractTab.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

namespace {

QString noTitle() { return QCoreApplication::translate("Browser", "(No title)"); }

}  // namespace

ZPHBrowserTab::ZPHBrowserTab(AbstractTab* stored, ZPHTabsController* tabs)
    : ZPHTab(nullptr),
      m_stored(stored),
      m_objectID(stored != nullptr ? stored->objectID() : ZPHManagedObjectID()),
      m_tabs(tabs)
{
}

ZPHBrowserTab::~ZPHBrowserTab()
{
  if (m_loadingTimeoutTimer != 0)
    m_tabs->clock()->cancel(m_loadingTimeoutTimer);
  if (m_browserViewController)
    m_browserViewController->invalidate();
  m_browserViewController.reset();
}

ZPHManagedObjectID ZPHBrowserTab::objectID() const { return m_stored != nullptr ? m_stored->objectID() : m_objectID; }

void ZPHBrowserTab::forgetStoredTab()
{
  m_objectID = objectID();
  m_stored = nullptr;
}

bool ZPHBrowserTab::isDisposable() const { return m_stored != nullptr && m_stored->disposable(); }

void ZPHBrowserTab::setDisposable(bool disposable)
{
  if (m_stored != nullptr)
    m_stored->setDisposable(disposable);
  if (m_browserViewController) {
    m_browserViewController->setBackButtonClosesView(disposable);
    m_browserViewController->validateButtons();
  }
}

// ---- The browser view

ZPHBrowserViewController* ZPHBrowserTab::browserViewControllerCreatingIfNeeded()
{
  if (!m_browserViewController) {
    m_browserViewController =
        std::make_unique<ZPHBrowserViewController>(m_tabs->browserProfile(), m_tabs, m_tabs->clock());
    m_browserViewController->setTab(this);
    m_browserViewController->setBackButtonClosesView(isDisposable());
    m_browserViewController->updateAddressField();
    m_browserViewController->updateUI();
  }
  return m_browserViewController.get();
}

ZPHMacWebView* ZPHBrowserTab::webView() const
{
  return m_browserViewController ? m_browserViewController->webView() : nullptr;
}

ZPHMacWebView* ZPHBrowserTab::webViewCreatedIfNeeded() { return browserViewControllerCreatingIfNeeded()->webView(); }

void ZPHBrowserTab::setIsSelected(bool selected)
{
  if (selected == m_selected)
    return;
  m_selected = selected;
  if (selected && webView() == nullptr) {
    webViewCreatedIfNeeded();
    QPointer<ZPHBrowserTab> guard(this);
    QTimer::singleShot(0, this, [guard] {
      if (guard)
        guard->doLoadOnSelectIfNeeded();
    });
  }
}

void ZPHBrowserTab::doLoadOnSelectIfNeeded()
{
  if (!m_loadOnSelect || m_initialLoadAttempted || m_isClosing)
    return;
  m_initialLoadAttempted = true;
  // A stored address loads, but never subscribes or leaves by itself.
  browserViewControllerCreatingIfNeeded()->loadURLString(m_initialRequestedURL, false);
}

bool ZPHBrowserTab::loadURLString(const QString& urlString, bool userAsked)
{
  resetLoadingState();
  m_initialLoadAttempted = true;
  return browserViewControllerCreatingIfNeeded()->loadURLString(urlString, userAsked);
}

void ZPHBrowserTab::stopLoading()
{
  resetLoadingState();
  if (ZPHMacWebView* view = webView())
    view->stop();
}

// ---- Load tracking

void ZPHBrowserTab::startTrackingNewLoad()
{
  resetLoadingState();
  QPointer<ZPHBrowserTab> guard(this);
  m_loadingTimeoutTimer = m_tabs->clock()->schedule(LoadTimeout, this, [guard] {
    if (!guard)
      return;
    guard->m_loadingTimeoutTimer = 0;
    guard->m_loadTimedOut = true;
    guard->markSelfAsNeedingRedisplay();
  });
}

void ZPHBrowserTab::resetLoadingState()
{
  m_loadTimedOut = false;
  if (m_loadingTimeoutTimer != 0) {
    m_tabs->clock()->cancel(m_loadingTimeoutTimer);
    m_loadingTimeoutTimer = 0;
  }
  m_lastMainFrameURLForLoadingComplete = QUrl();
  markSelfAsNeedingRedisplay();
}

void ZPHBrowserTab::webViewDidFinishLoading(const QUrl& url)
{
  QPointer<ZPHBrowserTab> guard(this);
  QTimer::singleShot(0, this, [guard, url] {
    if (!guard)
      return;
    if (url != guard->m_lastMainFrameURLForLoadingComplete) {
      guard->resetLoadingState();
      guard->m_lastMainFrameURLForLoadingComplete = url;
    }
    guard->markSelfAsNeedingRedisplay();
  });
}

bool ZPHBrowserTab::loadInProgressAccordingToWebViewOrTimeOut() const
{
  if (m_isClosing || m_loadTimedOut)
    return false;
  ZPHMacWebView* view = webView();
  return view != nullptr && view->zph_loadIsInProgress();
}

double ZPHBrowserTab::estimatedProgress() const
{
  if (!loadInProgressAccordingToWebViewOrTimeOut())
    return 1.0;
  return m_browserViewController ? m_browserViewController->estimatedProgress() : 1.0;
}

// ---- Shown

QString ZPHBrowserTab::displayURL() const
{
  if ((loadInProgressAccordingToWebViewOrTimeOut() || m_lastRequestDidFail) && !m_lastRequestedURL.isEmpty())
    return m_lastRequestedURL;
  if (ZPHMacWebView* view = webView(); view != nullptr && !view->lastLoadedURL().isEmpty())
    return view->lastLoadedURL();
  if (!m_initialRequestedURL.isEmpty())
    return m_initialRequestedURL;
  return m_lastRequestedURL;
}

QString ZPHBrowserTab::displayTitle()
{
  QString title;
  if (ZPHMacWebView* view = webView()) {
    const QString current = view->title();
    // The engine names an untitled page after its address.
    if (!current.isEmpty() && current != view->zph_currentURLString() && current != view->url().toDisplayString() &&
        !view->url().toString().endsWith(current))
      title = current;
  }
  if (title.isEmpty())
    title = m_initialTitle;
  if (title.isEmpty())
    title = noTitle();
  if (!m_lastRequestDidFail)
    m_lastGoodTitle = title;
  return title;
}

QString ZPHBrowserTab::logicalLastGoodTitle() const
{
  if (!m_lastGoodTitle.isEmpty())
    return m_lastGoodTitle;
  if (!m_initialTitle.isEmpty())
    return m_initialTitle;
  return noTitle();
}

QIcon ZPHBrowserTab::icon() const
{
  ZPHMacWebView* view = webView();
  if (view != nullptr && !view->favicon().isNull())
    return view->favicon();
  return ZPHBrowserImages::defaultTabIcon();
}

QImage ZPHBrowserTab::thumbnailImage() const { return m_tabs->thumbnailingController()->thumbnailForTab(this); }

QString ZPHBrowserTab::description()
{
  const QString title = displayTitle();
  const QString url = displayURL();
  return QStringLiteral("%1: %2").arg(title.isEmpty() ? noTitle() : title,
                                      url.isEmpty() ? QStringLiteral("(No URL)") : url);
}

void ZPHBrowserTab::invalidate()
{
  m_isClosing = true;
  stopLoading();
  if (m_browserViewController) {
    m_browserViewController->invalidate();
    if (QWidget* view = m_browserViewController->contentView())
      view->hide();
    m_browserViewController.reset();
  }
}
