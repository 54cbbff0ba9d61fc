#include "articleview/ZPHArticleDetailViewController.h"

#include "articleview/ZPHArticleDetailChecks.h"
#include "articleview/ZPHArticleSchemeHandler.h"
#include "articleview/ZPHArticleTheme.h"
#include "articleview/ZPHArticleWebConsole.h"
#include "articleview/ZPHImagePreviewWindowController.h"
#include "articleview/ZPHStyleSheetController.h"
#include "common/ZPHAppServices.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHArticlesLog.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/images/ZPHImageCacheProtocol.h"
#include "foundation/CBPrefs.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHWindowActions.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/CBSharableItem.h"
#include "sharing/ZPHSharing.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFeed.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtGui/QGuiApplication>
#include <QtWebChannel/QWebChannel>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWidgets/QFrame>
#include <QtWidgets/QMenu>
#include <QtWidgets/QVBoxLayout>

#include <cmath>

namespace {

const QString kWebChannelScript = QStringLiteral(":/qtwebchannel/qwebchannel.js");

// A number the page answered, when it is one.
std::optional<double> pageNumber(const QVariant& value)
{
  switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
      const double number = value.toDouble();
      if (std::isfinite(number))
        return number;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

QString readResource(const QString& path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(file.readAll());
}

void addSeparatorIfNeeded(QMenu* menu)
{
  const QList<QAction*> actions = menu->actions();
  if (actions.isEmpty() || actions.last()->isSeparator())
    return;
  menu->addSeparator();
}

QAction* addItem(QMenu* menu, const QString& title, int tag)
{
  QAction* item = menu->addAction(title);
  item->setData(tag);
  return item;
}

bool onMainThreadOrAgain(std::function<void()> work)
{
  if (ZPHMainThread::isMainThread())
    return true;
  ZPHMainThread::async(std::move(work));
  return false;
}

}  // namespace

ZPHArticleDetailViewController::ZPHArticleDetailViewController(QWebEngineProfile* articleProfile,
                                                               ZPHStyleSheetController* styles,
                                                               ZPHUserDefaults* defaults, ZPHClock* clock,
                                                               QObject* parent)
    : ZPHWebContentViewController(articleProfile, clock, parent),
      m_styles(styles ? styles : ZPHStyleSheetController::sharedController()),
      m_defaults(defaults ? defaults : &ZPHUserDefaults::standardUserDefaults())
{
  // One article scheme handler per profile; the view shown last owns its
  // page.
  m_schemeHandler = qobject_cast<ZPHArticleSchemeHandler*>(
      const_cast<QWebEngineUrlSchemeHandler*>(articleProfile->urlSchemeHandler(ZPHArticleSchemeHandler::scheme())));
  if (!m_schemeHandler)
    m_schemeHandler = ZPHArticleSchemeHandler::installOnProfile(articleProfile);

  QWebEngineSettings* settings = page()->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
  page()->setBackgroundColor(Qt::transparent);
  webView()->setRequestFavicons(false);
  webView()->setCanBeDragDestination(true);
  const QString name = ZPHAppServices::current().applicationNameForWebviewUserAgent();
  if (!name.isEmpty() && !articleProfile->httpUserAgent().contains(name))
    articleProfile->setHttpUserAgent(articleProfile->httpUserAgent() + QLatin1Char(' ') + name);

  ZPHArticleWebConsole::Handlers handlers;
  handlers.toggleFlagged = [this] { zph_toggleFlaggedForSelectedArticle(); };
  handlers.setImageLayout = [this](int layout) { zph_toggleImageayout(layout); };
  handlers.viewSize = [this] { return QSizeF(webView()->size()); };
  handlers.share = [this](const QRectF& rect) { zph_shareSelectedArticleFromRect(rect); };
  handlers.webViewReady = [this] { zph_webViewReady(); };
  handlers.publicURLForImageCachedURL = [this](const QString& url) { return zph_publicURLForImageCachedURL(url); };
  m_webConsole = new ZPHArticleWebConsole(std::move(handlers), this);
  m_webChannel = new QWebChannel(this);
  m_webChannel->registerObject(ZPHArticleWebConsole::channelName(), m_webConsole);
  page()->setWebChannel(m_webChannel, QWebEngineScript::ApplicationWorld);
  installScripts();

  applyStyles();
  m_stylesObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHStylesDidChangeNotification, QVariant(), this, [this](const ZPHNotification&) { applyStyles(); });
}

ZPHArticleDetailViewController::~ZPHArticleDetailViewController()
{
  // Sharing: a popover opened from this page closes with it.
  if (m_sharingPopoverShown) {
    disconnect(m_sharingPopoverClosed);
    ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
  }
  if (page())
    page()->setWebChannel(nullptr, QWebEngineScript::ApplicationWorld);
}

void ZPHArticleDetailViewController::installScripts()
{
  // The article page has no frames. The sanitizer removes them from the
  // article's text; should one still reach the page, a frame of inline
  // markup (srcdoc) or of about:blank loads without the navigation policy
  // being asked (a frame of an address is refused by it). So every frame
  // element leaves the page as soon as it is added: the observer runs at the
  // end of the parser's task that added it, before the frame's document can
  // load.
  QWebEngineScript noFrames;
  noFrames.setName(QStringLiteral("zephlin-no-frames"));
  noFrames.setSourceCode(
      QStringLiteral("(function () {"
                     "  var frames = 'iframe, frame, frameset, object, embed, portal, fencedframe';"
                     "  function removeFrames(node) {"
                     "    if (node.nodeType !== 1) return;"
                     "    if (node.matches(frames)) { node.remove(); return; }"
                     "    node.querySelectorAll(frames).forEach(function (frame) { frame.remove(); });"
                     "  }"
                     "  new MutationObserver(function (records) {"
                     "    records.forEach(function (record) { record.addedNodes.forEach(removeFrames); });"
                     "  }).observe(document, {childList: true, subtree: true});"
                     "})();"));
  noFrames.setWorldId(QWebEngineScript::ApplicationWorld);
  noFrames.setInjectionPoint(QWebEngineScript::DocumentCreation);
  noFrames.setRunsOnSubFrames(false);
  page()->scripts().insert(noFrames);

  // The channel's script first, at the document's start; the theme's once
  // the document is there. Both in the application's world only.
  QWebEngineScript channel;
  channel.setName(QStringLiteral("zephlin-webchannel"));
  channel.setSourceCode(readResource(kWebChannelScript));
  channel.setWorldId(QWebEngineScript::ApplicationWorld);
  channel.setInjectionPoint(QWebEngineScript::DocumentCreation);
  channel.setRunsOnSubFrames(false);
  if (channel.sourceCode().isEmpty())
    qCWarning(zphArticles) << "the web channel's script is missing:" << kWebChannelScript;
  page()->scripts().insert(channel);

  QWebEngineScript theme;
  theme.setName(QStringLiteral("zephlin-article-theme"));
  theme.setSourceCode(m_styles->defaultArticleTheme()->themeScript());
  theme.setWorldId(QWebEngineScript::ApplicationWorld);
  theme.setInjectionPoint(QWebEngineScript::DocumentReady);
  theme.setRunsOnSubFrames(false);
  if (theme.sourceCode().isEmpty())
    qCWarning(zphArticles) << "the article theme has no script";
  page()->scripts().insert(theme);
}

void ZPHArticleDetailViewController::applyStyles() { m_styles->applyToSettings(page()->settings()); }

// ---- Style sheets

QString ZPHArticleDetailViewController::stylesheetURLStringForPath(const QString& path)
{
  return ZPHArticleTheme::stylesheetURLStringForPath(path);
}

QString ZPHArticleDetailViewController::zph_stylesheetURLForSubtheme(const QString& name) const
{
  return m_styles->defaultArticleTheme()->stylesheetURLStringForSubtheme(name);
}

QString ZPHArticleDetailViewController::subthemeStylesheetURL() const
{
  return zph_stylesheetURLForSubtheme(m_styles->defaultArticleTheme()->activeSubthemeName());
}

void ZPHArticleDetailViewController::activateSubthemeStylesheetWithName(const QString& name)
{
  if (!onMainThreadOrAgain([guard = QPointer(this), name] {
        if (guard)
          guard->activateSubthemeStylesheetWithName(name);
      }))
    return;
  // No sub-theme: an empty address, which the page's policy never loads.
  const QString url = zph_stylesheetURLForSubtheme(name);
  QPointer<ZPHArticleDetailViewController> guard(this);
  webView()->frnh_safeWindowScriptCallWebScriptMethod(QStringLiteral("setSubthemeStylesheet"),
                                                      QJsonArray{url.isNull() ? QStringLiteral("") : url},
                                                      [guard](const QVariant&) {
                                                        if (!guard)
                                                          return;
                                                        guard->webView()->update();
                                                        Q_EMIT guard->detailViewDidFinishChangingTheme();
                                                      });
}

// ---- Loading

void ZPHArticleDetailViewController::loadArticle(CBDataArticle* shown, const ZPHArticlePageSettings& settings)
{
  if (!shown)
    return;
  m_article = shown;
  setSelectedArticles({shown});
  ZPHArticlePageSettings pageSettings = settings;
  pageSettings.articleWidth = m_styles->marginAtCurrentIndex();
  loadArticlePage(
      ZPHHTMLBuilderArticle::articlePage(shown, *m_styles->defaultArticleTheme(), pageSettings, m_defaults));
  if (const CBDataArticleContent* content = shown->content())
    ZPHArticleImageCacheController::sharedController()->cacheImagesFoundInArticleContentHTML(content->htmlText(),
                                                                                             shown->baseURL());
}

void ZPHArticleDetailViewController::loadArticlePage(const ZPHArticlePage& page)
{
  m_searchHighlightScript = page.searchHighlightScript;
  m_articleWidth.reset();
  m_stepIncrement.reset();
  const QUrl url = m_schemeHandler->setCurrentPage(page.html);
  setOwnLoadURL(url);
  m_awaitingMainFrameLoad = true;
  webView()->zph_loadRequest(url);
}

void ZPHArticleDetailViewController::webViewDidFinishLoad(const QUrl& url)
{
  if (!ZPHNavigationPolicy::isSameDocument(url, ownLoadURL()))
    return;
  // The tabs list draws the news-items tab's picture again.
  ZPHNotificationCenter::defaultCenter().post(ZPHTabsTableViewControllerTabsNeedsDisplayNotification);
  m_awaitingMainFrameLoad = false;
  // The article view keeps no history.
  page()->history()->clear();
  if (!m_searchHighlightScript.isEmpty())
    page()->runJavaScript(m_searchHighlightScript, QWebEngineScript::ApplicationWorld);
  updateArticleWidths();
  Q_EMIT detailViewDidFinishLoading();
}

void ZPHArticleDetailViewController::webViewDidFailLoad(const QUrl& url)
{
  // A page whose load a newer one replaced is no failure.
  if (!ZPHNavigationPolicy::isSameDocument(url, ownLoadURL()))
    return;
  ZPHNotificationCenter::defaultCenter().post(ZPHTabsTableViewControllerTabsNeedsDisplayNotification);
  qCInfo(zphArticles) << "the article page did not load";
  m_awaitingMainFrameLoad = false;
  Q_EMIT detailViewDidFailLoading();
}

// ---- Page functions

void ZPHArticleDetailViewController::setMarginWidth(double width)
{
  if (!onMainThreadOrAgain([guard = QPointer(this), width] {
        if (guard)
          guard->setMarginWidth(width);
      }))
    return;
  const QByteArray value = QJsonDocument(QJsonArray{QString::asprintf("%fem", width)}).toJson(QJsonDocument::Compact);
  const QString script = QStringLiteral(
                             "(function () { var e = document.getElementById('article'); if (!e) return false; "
                             "e.style.setProperty('width', %1, ''); return true; })()")
                             .arg(QString::fromUtf8(value.mid(1, value.size() - 2)));
  QPointer<ZPHArticleDetailViewController> guard(this);
  webView()->frnh_safeWindowScriptEvaluateWebScript(script, [guard](const QVariant&) {
    if (guard)
      guard->updateArticleWidths();
  });
}

void ZPHArticleDetailViewController::updateArticleFlaggedState()
{
  if (!onMainThreadOrAgain([guard = QPointer(this)] {
        if (guard)
          guard->updateArticleFlaggedState();
      }))
    return;
  const CBDataArticle* shown = article();
  webView()->frnh_safeWindowScriptCallWebScriptMethod(QStringLiteral("updateArticleFlaggedState"),
                                                      QJsonArray{shown != nullptr && shown->flagged()});
}

void ZPHArticleDetailViewController::setImageLayout(int layout)
{
  if (!onMainThreadOrAgain([guard = QPointer(this), layout] {
        if (guard)
          guard->setImageLayout(layout);
      }))
    return;
  QPointer<ZPHArticleDetailViewController> guard(this);
  webView()->frnh_safeWindowScriptCallWebScriptMethod(QStringLiteral("setPictureLayout"), QJsonArray{layout, 0},
                                                      [guard](const QVariant&) {
                                                        if (guard)
                                                          guard->webView()->update();
                                                      });
}

void ZPHArticleDetailViewController::updateArticleWidths(std::function<void()> done)
{
  QPointer<ZPHArticleDetailViewController> guard(this);
  webView()->frnh_safeWindowScriptCallWebScriptMethod(
      QStringLiteral("leftMarginWidth"), {}, [guard, done = std::move(done)](const QVariant& margin) mutable {
        if (!guard)
          return;
        guard->webView()->frnh_safeWindowScriptCallWebScriptMethod(
            QStringLiteral("fourEmWidth"), {}, [guard, margin, done = std::move(done)](const QVariant& step) {
              if (!guard)
                return;
              guard->m_articleWidth = pageNumber(margin);
              guard->m_stepIncrement = pageNumber(step);
              Q_EMIT guard->articleWidthsChanged();
              if (done)
                done();
            });
      });
}

bool ZPHArticleDetailViewController::allowsArticleWidthDecrease(double viewWidth, double leftMargin, double step)
{
  const double margin = leftMargin + step / 2;
  return margin > 68 && margin < viewWidth * double(0.9f) * 0.5;
}

bool ZPHArticleDetailViewController::allowsArticleWidthIncrease(double viewWidth, double leftMargin, double step)
{
  const double margin = leftMargin - step / 2;
  return margin > 68 && margin > viewWidth * double(0.1f) * 0.5;
}

bool ZPHArticleDetailViewController::shouldAllowArticleWidthDecrease() const
{
  if (!ZPHMainThread::isMainThread()) {
    qCWarning(zphArticles) << Q_FUNC_INFO << "should not be run on a secondary thread";
    return false;
  }
  if (!m_articleWidth || !m_stepIncrement)
    return false;
  return allowsArticleWidthDecrease(webView()->width(), *m_articleWidth, *m_stepIncrement);
}

bool ZPHArticleDetailViewController::shouldAllowArticleWidthIncrease() const
{
  if (!ZPHMainThread::isMainThread()) {
    qCWarning(zphArticles) << Q_FUNC_INFO << "should not be run on a secondary thread";
    return false;
  }
  if (!m_articleWidth || !m_stepIncrement)
    return false;
  return allowsArticleWidthIncrease(webView()->width(), *m_articleWidth, *m_stepIncrement);
}

CBFeed* ZPHArticleDetailViewController::zph_feedForArticle(const CBDataArticle* article) const
{
  if (!article)
    return nullptr;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  CBDataController* dataController = delegate ? delegate->dataController() : nullptr;
  CBDataAccount* account = dataController ? dataController->localAccount() : nullptr;
  return account ? account->feedWithURL(QUrl(article->feedURL())) : nullptr;
}

// ---- The page's calls

void ZPHArticleDetailViewController::zph_toggleFlaggedForSelectedArticle()
{
  // The window's command when it offers one, else the same change here.
  if (zph_sendWindowAction(webView(), QStringLiteral("toggleFlagged:")))
    return;
  const QList<CBDataArticle*> articles = selectedArticles();
  if (articles.isEmpty() || !articles.first())
    return;
  CBDataArticle::markArticlesAsFlagged(articles, !articles.first()->flagged());
}

void ZPHArticleDetailViewController::zph_toggleImageayout(int layout)
{
  m_defaults->setInteger(ZPHPictureLayoutKey, layout);
}

void ZPHArticleDetailViewController::zph_shareSelectedArticleFromRect(const QRectF& rect)
{
  // Sharing: the shared popover, for the shown article, under the control.
  ZPHSharingPopoverViewController* sharing = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (m_sharingPopoverShown) {
    sharing->closePopOver();
    return;
  }
  const CBDataArticle* shown = article();
  if (shown == nullptr ||
      !sharing->togglePopoverForItem(CBSharableItem::sharableItemWithArticle(shown), webView(), rect.toAlignedRect())) {
    popoverDidClose();
    return;
  }
  m_sharingPopoverShown = true;
  m_sharingPopoverClosed =
      connect(sharing, &ZPHSharingPopoverViewController::popoverDidClose, this, [this] { popoverDidClose(); });
}

void ZPHArticleDetailViewController::popoverDidClose()
{
  disconnect(m_sharingPopoverClosed);
  m_sharingPopoverShown = false;
  webView()->frnh_safeWindowScriptCallWebScriptMethod(QStringLiteral("hideShareControlForSharedArticle"), {});
}

QString ZPHArticleDetailViewController::zph_publicURLForImageCachedURL(const QString& cachedURL) const
{
  const CBDataArticle* shown = article();
  const CBDataArticleContent* content = shown ? shown->content() : nullptr;
  if (!content)
    return QStringLiteral("");
  const QUrl source =
      ZPHArticleDetailChecks::publicURLForImageCachedURL(cachedURL, content->htmlText(), shown->baseURL());
  return source.isEmpty() ? QStringLiteral("") : source.toString(QUrl::FullyEncoded);
}

// ---- Image preview

QUrl ZPHArticleDetailViewController::zph_previewURLForURL(const QUrl& imageURL) const
{
  const QString source = zph_publicURLForImageCachedURL(imageURL.toString(QUrl::FullyEncoded));
  return source.isEmpty() ? imageURL : QUrl(source);
}

ZPHImagePreviewWindowController* ZPHArticleDetailViewController::imagePreviewWindowController()
{
  if (!m_imagePreview) {
    m_imagePreview = std::make_unique<ZPHImagePreviewWindowController>([](const QUrl& url) -> QByteArray {
      if (ZPHImageCacheProtocol::canInitWithURL(url))
        return ZPHImageCacheProtocol::dataForURL(url);
      if (ZPHNavigationPolicy::isWebScheme(url.scheme()))
        return CBWebCacheController::sharedController()->cachedObjectAtURL(url);
      return {};
    });
  }
  return m_imagePreview.get();
}

void ZPHArticleDetailViewController::showQLPreview(const ZPHWebElement& element)
{
  if (!element.hasImage())
    return;
  const QString script = QStringLiteral(
      "JSON.stringify(Array.prototype.map.call(document.images, function (image) {"
      " var box = image.getBoundingClientRect();"
      " return {src: image.src, alt: image.alt || '', hidden: getComputedStyle(image).display === 'none',"
      " x: box.left, y: box.top, width: box.width, height: box.height}; }))");
  const CBDataArticle* shown = article();
  const QString title = shown ? shown->plainTextTitleForDisplay() : QString();
  const QUrl clicked = element.imageURL;
  QPointer<ZPHArticleDetailViewController> guard(this);
  webView()->frnh_safeWindowScriptEvaluateWebScript(script, [guard, title, clicked](const QVariant& result) {
    if (!guard)
      return;
    QList<ZPHQLImagePreviewItem> items;
    int chosenIndex = 0;
    const QJsonArray images = QJsonDocument::fromJson(result.toString().toUtf8()).array();
    for (const QJsonValue& value : images) {
      const QJsonObject image = value.toObject();
      const QString source = image.value(QStringLiteral("src")).toString();
      if (cb_isIgnorableImgURLString(source))
        continue;
      const QUrl url(source);
      ZPHQLImagePreviewItem item;
      item.imageURL = url;
      item.previewURL = guard->zph_previewURLForURL(url);
      item.articleTitle = title;
      if (url == clicked) {
        const QRect box(int(image.value(QStringLiteral("x")).toDouble()),
                        int(image.value(QStringLiteral("y")).toDouble()),
                        int(image.value(QStringLiteral("width")).toDouble()),
                        int(image.value(QStringLiteral("height")).toDouble()));
        item.screenFrame = QRect(guard->webView()->mapToGlobal(box.topLeft()), box.size());
        chosenIndex = int(items.size());
      } else if (image.value(QStringLiteral("hidden")).toBool()) {
        continue;
      } else {
        item.altText = image.value(QStringLiteral("alt")).toString();
      }
      items.append(item);
    }
    if (items.isEmpty())
      return;
    guard->imagePreviewWindowController()->showItems(items, chosenIndex);
  });
}

// ---- Links and the context menu

QUrl ZPHArticleDetailViewController::adjustedURLForClickedLink(const QUrl& url) const
{
  const CBDataArticle* shown = selectedArticles().isEmpty() ? nullptr : selectedArticles().last();
  return ZPHArticleDetailChecks::urlAdjustedForArticleRelativity(url, shown ? shown->baseURL() : QUrl());
}

QMenu* ZPHArticleDetailViewController::contextualMenuForWebView(ZPHMacWebView* webView, const ZPHWebElement& element)
{
  auto* menu = new QMenu(webView);
  const QString link = element.linkURLString();
  const bool image = element.hasImage();

  if (!link.isEmpty()) {
    connect(addItem(menu, QCoreApplication::translate("ZPHArticleDetailViewController", "Open in New Tab"),
                    ZPHWebContextMenuTagOpenInNewTab),
            &QAction::triggered, this, [this, element] { uiDelegateOpenInNewTab(element); });
    connect(addItem(menu, QCoreApplication::translate("ZPHArticleDetailViewController", "Open in Browser"),
                    ZPHWebContextMenuTagOpenInBrowser),
            &QAction::triggered, this, [this, element] { uiDelegateOpenInBrowser(element); });
  }

  addSeparatorIfNeeded(menu);
  menu->addAction(copyLinkMenuItemFromElement(element, menu));

  if (image && QGuiApplication::applicationState() == Qt::ApplicationActive)
    connect(
        addItem(menu, QCoreApplication::translate("Browser", "Quick Look Image"), ZPHWebContextMenuTagQuickLookImage),
        &QAction::triggered, this, [this, element] { showQLPreview(element); });

  addSeparatorIfNeeded(menu);
  if (image) {
    QAction* copyImage = menu->addAction(QCoreApplication::translate("Browser", "Copy Image"));
    copyImage->setData(int(ZPHWebContextMenuTagCopyImage));
    connect(copyImage, &QAction::triggered, this,
            [this] { page()->triggerAction(QWebEnginePage::CopyImageToClipboard); });
    connect(addItem(menu, QCoreApplication::translate("ZPHArticleDetailViewController", "Save Image As\u2026"),
                    ZPHWebContextMenuTagSaveImageAs),
            &QAction::triggered, this, [this, element] { uiDelegateSaveImageAs(element); });
  } else {
    QAction* larger =
        addItem(menu, QCoreApplication::translate("Browser", "Make Text Larger"), ZPHWebContextMenuTagMakeTextLarger);
    larger->setEnabled(zph_windowActionNamed(webView, QStringLiteral("zph_makeTextLarger:")) != nullptr);
    connect(larger, &QAction::triggered, this,
            [this] { zph_sendWindowAction(this->webView(), QStringLiteral("zph_makeTextLarger:")); });
    QAction* smaller =
        addItem(menu, QCoreApplication::translate("Browser", "Make Text Smaller"), ZPHWebContextMenuTagMakeTextSmaller);
    smaller->setEnabled(zph_windowActionNamed(webView, QStringLiteral("zph_makeTextSmaller:")) != nullptr);
    connect(smaller, &QAction::triggered, this,
            [this] { zph_sendWindowAction(this->webView(), QStringLiteral("zph_makeTextSmaller:")); });
  }

  addSeparatorIfNeeded(menu);
  auto* shareMenu = new QMenu(QCoreApplication::translate("ZPHArticleDetailViewController", "Share"), menu);
  QRect clickedRect;
  // Sharing: the commands for the link clicked, else for the article.
  if (!link.isEmpty() && element.linkURL.isValid()) {
    ZPHSharing::addSharingCommandsToMenu(shareMenu, CBSharableItem::sharableItemWithURL(element.linkURL), view());
    clickedRect = webView->zph_clickedRectForElement(element);
  } else if (const CBDataArticle* shown = article()) {
    ZPHSharing::addSharingCommandsToMenu(shareMenu, CBSharableItem::sharableItemWithArticle(shown), view());
  }
  QAction* share = menu->addMenu(shareMenu);
  share->setData(int(ZPHWebContextMenuTagShare));
  share->setEnabled(!shareMenu->isEmpty());

  Q_EMIT willPresentContextMenuFromWebViewForFullArticle(link.isEmpty(), clickedRect);
  return menu;
}

void ZPHArticleDetailViewController::invalidate()
{
  ZPHWebContentViewController::invalidate();
  if (m_sharingPopoverShown)
    ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
}
