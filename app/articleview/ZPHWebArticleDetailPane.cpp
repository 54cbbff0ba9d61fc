#include "articleview/ZPHWebArticleDetailPane.h"

#include "articleview/ZPHArticleDetailPaneView.h"
#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHArticleTheme.h"
#include "articleview/ZPHStyleSheetController.h"
#include "store/entities/CBDataArticle.h"
#include "themes/ZPHTheme.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>

ZPHWebArticleDetailPane::ZPHWebArticleDetailPane(ZPHInternalPagesProfile* profile, ZPHStyleSheetController* styles,
                                                 ZPHUserDefaults* defaults, ZPHClock* clock)
    : m_profile(profile),
      m_styles(styles ? styles : ZPHStyleSheetController::sharedController()),
      m_defaults(defaults),
      m_clock(clock)
{
  m_width = m_styles->marginAtCurrentIndex();
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { followInterfaceTheme(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

ZPHWebArticleDetailPane::~ZPHWebArticleDetailPane()
{
  m_themeObserver = {};
  if (m_controller) {
    m_controller->invalidate();
    if (m_view)
      m_view->setDetailContentView(nullptr);
    // The web view and its page go before the profile they use.
    m_controller.reset();
  }
  if (m_view && m_view->parent() == nullptr)
    delete m_view;
}

QWidget* ZPHWebArticleDetailPane::view()
{
  if (m_view)
    return m_view;
  m_view = new ZPHArticleDetailPaneView;
  m_view->setObjectName(QStringLiteral("ZPHWebArticleDetailPane"));
  // The first page fades in over the empty pane.
  m_view->setShouldAnimateIn(true);
  // A new size moves the column's limits: the page is measured again once
  // the size settles.
  m_remeasureTimer = new QTimer(this);
  m_remeasureTimer->setSingleShot(true);
  m_remeasureTimer->setInterval(RemeasureDelay);
  connect(m_remeasureTimer, &QTimer::timeout, this, [this] {
    if (m_controller && m_controller->article() && !m_controller->awaitingMainFrameLoad())
      m_controller->updateArticleWidths();
  });
  m_view->installEventFilter(this);
  return m_view;
}

ZPHArticleDetailViewController* ZPHWebArticleDetailPane::ensureController()
{
  if (m_controller)
    return m_controller.get();
  if (!m_profile)
    return nullptr;
  QWebEngineProfile* profile = m_profile->profile();
  if (!profile)
    return nullptr;
  m_controller = std::make_unique<ZPHArticleDetailViewController>(profile, m_styles, m_defaults, m_clock);
  connect(m_controller.get(), &ZPHArticleDetailViewController::detailViewDidFinishLoading, this,
          &ZPHArticleDetailPane::mainFrameDidFinishLoading);
  // A page that failed ends the wait as well: the layout shows the pane
  // rather than what it showed before.
  connect(m_controller.get(), &ZPHArticleDetailViewController::detailViewDidFailLoading, this,
          &ZPHArticleDetailPane::mainFrameDidFinishLoading);
  connect(m_controller.get(), &ZPHArticleDetailViewController::detailViewDidFinishChangingTheme, this,
          &ZPHArticleDetailPane::didFinishChangingTheme);
  connect(m_controller.get(), &ZPHArticleDetailViewController::articleWidthsChanged, this,
          &ZPHWebArticleDetailPane::articleWidthsChanged);
  // Sharing: where a popover from the page's context menu points.
  connect(m_controller.get(), &ZPHArticleDetailViewController::willPresentContextMenuFromWebViewForFullArticle, this,
          &ZPHArticleDetailPane::willPresentContextMenuForFullArticle);
  view();
  m_view->setDetailContentView(m_controller->view());
  return m_controller.get();
}

ZPHMacWebView* ZPHWebArticleDetailPane::webView() const { return m_controller ? m_controller->webView() : nullptr; }

CBDataArticle* ZPHWebArticleDetailPane::shownArticle() const
{
  return m_controller ? m_controller->article() : nullptr;
}

void ZPHWebArticleDetailPane::loadArticle(const LoadRequest& request)
{
  if (!request.article)
    return;
  ZPHArticleDetailViewController* controller = ensureController();
  if (!controller)
    return;
  ++m_loads;
  ZPHArticlePageSettings settings;
  settings.searchTerm = request.searchQuery;
  settings.searchScope = request.searchScope;
  m_width = m_styles->marginAtCurrentIndex();
  controller->loadArticle(request.article, settings);
}

void ZPHWebArticleDetailPane::stopLoading()
{
  if (m_controller)
    m_controller->page()->triggerAction(QWebEnginePage::Stop);
}

void ZPHWebArticleDetailPane::updateArticleFlaggedState()
{
  if (m_controller)
    m_controller->updateArticleFlaggedState();
}

bool ZPHWebArticleDetailPane::shouldAllowArticleWidthIncrease() const
{
  return m_controller && m_controller->shouldAllowArticleWidthIncrease();
}

bool ZPHWebArticleDetailPane::shouldAllowArticleWidthDecrease() const
{
  return m_controller && m_controller->shouldAllowArticleWidthDecrease();
}

void ZPHWebArticleDetailPane::setMarginWidth(double width)
{
  m_width = width;
  if (m_controller)
    m_controller->setMarginWidth(width);
}

void ZPHWebArticleDetailPane::invalidate()
{
  if (m_view)
    m_view->hideFindPanelAnimated(false);
  if (m_controller)
    m_controller->invalidate();
}

bool ZPHWebArticleDetailPane::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_view && event->type() == QEvent::Resize && m_remeasureTimer != nullptr)
    m_remeasureTimer->start();
  return ZPHArticleDetailPane::eventFilter(watched, event);
}

void ZPHWebArticleDetailPane::followInterfaceTheme()
{
  // The sub-theme the stored choice names (the light or dark one), on the
  // page shown.
  if (m_controller && m_controller->article())
    m_controller->activateSubthemeStylesheetWithName(m_styles->defaultArticleTheme()->activeSubthemeName());
}
