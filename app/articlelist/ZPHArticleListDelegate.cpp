#include "articlelist/ZPHArticleListDelegate.h"

#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHClassicLayoutViewController.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "articlelist/ZPHStandardLayoutViewController.h"
#include "articleview/ZPHArticleDetailPaneView.h"
#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBDateManager.h"
#include "foundation/CBEventThrottler.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/tree/ZPHModel.h"
#include "themes/ZPHTheme.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QStackedWidget>

namespace {

const QString StyleSheetNameKey = QStringLiteral("styleSheetName");

QPointer<ZPHArticleListDelegate>& sharedDelegate()
{
  static QPointer<ZPHArticleListDelegate> shared;
  return shared;
}

}  // namespace

ZPHArticleListDelegate::ZPHArticleListDelegate(QObject* parent) : QObject(parent)
{
  sharedDelegate() = this;
  m_articleListController = std::make_unique<ZPHArticleListController>();
  m_articleListController->setDelegate(this);
  m_model = std::make_unique<ZPHArticleListModel>(m_articleListController.get());
  m_fullArticleRefreshEventThrottler = std::make_unique<CBEventThrottler>(
      this, [this](const QVariantList&) { reloadArticlesFully(); }, FullReloadDelay);

  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.observe(StyleSheetNameKey, this, [this](const QVariant&) {
    if (m_currentLayoutViewController)
      m_currentLayoutViewController->reloadDetailView();
  });
  defaults.observe(ZPHSortArticlesOldestAtTopKey, this, [this](const QVariant&) { updateSortOrder(); });
  defaults.observe(ZPHContentLayoutMode, this,
                   [this](const QVariant& value) { switchToLayoutMode(value.toLongLong()); });
  defaults.observe(ZPHHideReadArticles, this, [this](const QVariant&) { reloadArticlesFully(); });

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  const auto observe = [&](const QString& name, std::function<void(const ZPHNotification&)> handler) {
    m_observers.push_back(center.addObserver(name, QVariant(), this, std::move(handler), D::MainThread));
  };
  observe(ZPHFeedRefreshArticlesUpdatedNotification, [this](const ZPHNotification& notification) {
    refreshDidUpdateFeed(notification.userInfo.value(CBURLKey).toUrl());
  });
  observe(ZPHArticleListPrefsDidChangeNotification,
          [this](const ZPHNotification&) { articleListDisplayPreferencesDidChange(); });
  observe(ZPHThemeChangedNotification, [this](const ZPHNotification&) {
    recolor();
    if (m_currentLayoutViewController)
      m_currentLayoutViewController->updateForChangedTheme();
  });
  observe(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, [this](const ZPHNotification&) {
    recolor();
    if (m_currentLayoutViewController)
      m_currentLayoutViewController->updateWindowForActiveStateChange();
  });
  observe(CBDataDidDeleteArticlesNotification,
          [this](const ZPHNotification&) { updateArticlesShowingEmptyViewsIfNeeded(); });
  observe(CBDatesDidChangeNotification, [this](const ZPHNotification&) { reloadArticlesFully(); });
}

ZPHArticleListDelegate::~ZPHArticleListDelegate()
{
  if (m_observedArticle != nullptr && m_flaggedObserver != 0)
    m_observedArticle->removeChangeObserver(m_flaggedObserver);
  m_observers.clear();
  if (m_currentLayoutViewController)
    m_currentLayoutViewController->invalidate();
  m_currentLayoutViewController.reset();
  if (m_contentView && m_contentView->parent() == nullptr)
    delete m_contentView;
  m_articleListController->setDelegate(nullptr);
}

ZPHArticleListDelegate* ZPHArticleListDelegate::sharedArticleListDelegate() { return sharedDelegate().data(); }

void ZPHArticleListDelegate::setDateManager(const CBDateManager* dateManager)
{
  m_dateManager = dateManager;
  m_model->setDateManager(dateManager);
}

const CBDateManager* ZPHArticleListDelegate::dateManager() const
{
  return m_dateManager ? m_dateManager : CBDateManager::sharedManager();
}

// ------------------------------------------------------------------ set-up

void ZPHArticleListDelegate::setSourceListSelectionProvider(std::function<QList<ZPHRepresentedObject>()> provider)
{
  m_sourceListSelectionProvider = std::move(provider);
}

void ZPHArticleListDelegate::deleteFeed(CBFeed* feed)
{
  if (feed != nullptr && m_feedRemover)
    m_feedRemover(feed);
}

void ZPHArticleListDelegate::setSearchWindowController(ZPHSearchWindowController* controller)
{
  m_searchWindowController = controller;
}

ZPHSearchWindowController* ZPHArticleListDelegate::searchWindowController() const
{
  return m_searchWindowController.data();
}

QList<ZPHRepresentedObject> ZPHArticleListDelegate::sourceListSelection() const
{
  return m_sourceListSelectionProvider ? m_sourceListSelectionProvider() : QList<ZPHRepresentedObject>();
}

void ZPHArticleListDelegate::setUp()
{
  if (m_setUp)
    return;
  m_setUp = true;
  m_contentStack = new QStackedWidget;
  m_contentView = m_contentStack;

  m_layoutMode = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHContentLayoutMode) == 1 ? 1 : 0;
  installLayout(makeLayoutController(m_layoutMode));

  m_sortAscending = ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHSortArticlesOldestAtTopKey);
  if (ZPHModel* model = ZPHModel::sharedModel()) {
    connect(model, &ZPHModel::hasFeedsOtherThanGlobalFeedsChanged, this,
            &ZPHArticleListDelegate::showOrHideOverallEmptyContentsViewAsNeeded);
    connect(model, &ZPHModel::hasFavoriteFeedsChanged, this,
            &ZPHArticleListDelegate::showOrHideOverallEmptyContentsViewAsNeeded);
  }
  m_overallEmptyContentsViewController = std::make_unique<ZPHEmptyContentsViewController>();
  m_overallEmptyContentsViewController->setUsesInactiveOverlay(true);
  m_overallEmptyContentsViewController->configureForNoSelection();
  m_contentStack->addWidget(m_overallEmptyContentsViewController->view());
  m_overallEmptyContentsViewController->updateForWindowStateChange();
  recolor();
  showOrHideOverallEmptyContentsViewAsNeeded();
}

std::unique_ptr<ZPHReadingLayoutViewController> ZPHArticleListDelegate::makeLayoutController(qint64 mode)
{
  std::unique_ptr<ZPHReadingLayoutViewController> layout;
  if (mode == 1)
    layout = std::make_unique<ZPHClassicLayoutViewController>();
  else
    layout = std::make_unique<ZPHStandardLayoutViewController>();
  layout->setDelegate(this);
  layout->setDataSource(this);
  return layout;
}

void ZPHArticleListDelegate::installLayout(std::unique_ptr<ZPHReadingLayoutViewController> layout)
{
  QWidget* view = layout->view();
  if (auto* classic = qobject_cast<ZPHClassicLayoutViewController*>(layout.get()))
    connect(classic, &ZPHClassicLayoutViewController::moveFocusToSourceListRequested, this,
            &ZPHArticleListDelegate::moveFocusToSourceListRequested);
  m_contentStack->addWidget(view);
  m_contentStack->setCurrentWidget(view);
  followMouseInDetailArea();
  if (m_currentLayoutViewController) {
    QWidget* old = m_currentLayoutViewController->isViewLoaded() ? m_currentLayoutViewController->view() : nullptr;
    m_currentLayoutViewController->invalidate();
    if (old != nullptr) {
      m_contentStack->removeWidget(old);
      old->deleteLater();
    }
  }
  m_currentLayoutViewController = std::move(layout);
}

void ZPHArticleListDelegate::recolor()
{
  if (m_overallEmptyContentsViewController)
    m_overallEmptyContentsViewController->updateForWindowStateChange();
  if (m_currentLayoutViewController && m_currentLayoutViewController->isViewLoaded())
    m_currentLayoutViewController->updateViewColors();
}

// ------------------------------------------------------------- the list

bool ZPHArticleListDelegate::showingMultipleFeeds() const
{
  if (m_feeds.size() >= 2)
    return true;
  if (!m_feeds.isEmpty()) {
    const ZPHRepresentedObject& first = m_feeds.first();
    if (const auto* node = std::get_if<CBNode*>(&first)) {
      if (*node != nullptr && (*node)->isFolder())
        return true;
    } else if (const auto* object = std::get_if<CBTreeNodeRepresentedObject*>(&first)) {
      if (dynamic_cast<const CBGlobalFeed*>(*object) || dynamic_cast<const ZPHGlobalFavoritesGroup*>(*object))
        return true;
    }
  }
  if (m_showingSearchResultSet && m_currentSearchOperation) {
    if (!m_currentSearchOperation->isConstrainedToSelectedFeeds())
      return true;
    return m_currentSearchOperation->selectedFeeds().size() > 1;
  }
  return false;
}

void ZPHArticleListDelegate::setFeeds(const QList<ZPHRepresentedObject>& feeds)
{
  m_feeds = feeds;
  Q_EMIT showingMultipleFeedsChanged();
  updateArticlesShowingEmptyViewsIfNeeded();
}

QList<ZPHArticleListModel::Entry> ZPHArticleListDelegate::entriesForControllerArticles() const
{
  if (m_layoutMode == 0)
    return ZPHArticleListModel::groupedEntries(m_articleListController->articles(), dateManager());
  return ZPHArticleListModel::entriesForArticles(m_articleListController->count());
}

void ZPHArticleListDelegate::setEntries(const QList<ZPHArticleListModel::Entry>& entries, bool notify)
{
  m_model->setEntries(entries);
  if (notify && m_currentLayoutViewController)
    m_currentLayoutViewController->reloadDataWithScrollingToTop(false);
  Q_EMIT articlesChanged();
}

QList<ZPHManagedObjectID> ZPHArticleListDelegate::selectedObjectIDs() const
{
  QList<ZPHManagedObjectID> objectIDs;
  for (const CBDataArticle* article : m_selectedArticles) {
    if (article != nullptr)
      objectIDs.append(article->objectID());
  }
  return objectIDs;
}

void ZPHArticleListDelegate::keepSelectionIntersectingRows()
{
  QList<CBDataArticle*> kept;
  for (CBDataArticle* article : std::as_const(m_selectedArticles)) {
    if (ZPHManagedObject::isLive(article) && m_model->rowForObjectID(article->objectID()) >= 0)
      kept.append(article);
  }
  if (kept != m_selectedArticles)
    setSelectedArticles(kept);
}

void ZPHArticleListDelegate::showControllerRows()
{
  setEntries(entriesForControllerArticles());
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
  keepSelectionIntersectingRows();
  if (!m_selectedArticles.isEmpty()) {
    navigateToSelectedArticleInCurrentList();
  } else if (m_currentLayoutViewController) {
    m_currentLayoutViewController->selectRow(-1);
    m_currentLayoutViewController->reloadDataWithScrollingToTop(true);
  }
  if (m_currentLayoutViewController)
    m_currentLayoutViewController->reloadDetailView();
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
  showOrHideOverallEmptyContentsViewAsNeeded();
}

void ZPHArticleListDelegate::updateArticlesShowingEmptyViewsIfNeeded()
{
  Q_EMIT showingMultipleFeedsChanged();
  m_articleListController->setSortAscending(m_sortAscending);
  m_articleListController->setFeedsAndFolders(m_feeds);
  if (m_showingSearchResultSet) {
    showOrHideOverallEmptyContentsViewAsNeeded();
    announceSelectedArticles();
    return;
  }
  m_afterUpdate = [this] {
    showControllerRows();
    announceSelectedArticles();
  };
  m_showsFirstRows = true;
  m_articleListController->updateArticles();
}

void ZPHArticleListDelegate::articleListControllerDidReceiveFirstArticles(ZPHArticleListController*)
{
  if (m_showsFirstRows && !m_showingSearchResultSet)
    showControllerRows();
}

void ZPHArticleListDelegate::articleListControllerDidUpdateArticles(ZPHArticleListController*)
{
  m_showsFirstRows = false;
  std::function<void()> next = std::move(m_afterUpdate);
  m_afterUpdate = {};
  if (next)
    next();
}

bool ZPHArticleListDelegate::rowsEqual(const QList<ZPHArticleListModel::Entry>& a,
                                       const QList<ZPHArticleListRow>& rowsA,
                                       const QList<ZPHArticleListModel::Entry>& b,
                                       const QList<ZPHArticleListRow>& rowsB) const
{
  if (a.size() != b.size())
    return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    const ZPHArticleListModel::Entry& x = a.at(i);
    const ZPHArticleListModel::Entry& y = b.at(i);
    if (x.isGroup() != y.isGroup())
      return false;
    if (x.isGroup() ? x.group != y.group : rowsA.at(x.article).objectID != rowsB.at(y.article).objectID)
      return false;
  }
  return true;
}

void ZPHArticleListDelegate::reloadArticlesFully()
{
  if (m_feeds.isEmpty() || m_showingSearchResultSet)
    return;
  const QList<CBDataArticle*> previous = m_selectedArticles;
  const QList<ZPHArticleListModel::Entry> oldEntries = m_model->entries();
  const QList<ZPHArticleListRow> oldRows = m_articleListController->articles();
  m_articleListController->setSortAscending(m_sortAscending);
  m_articleListController->setFeedsAndFolders(m_feeds);
  m_showsFirstRows = false;  // the rows shown stay until the whole list is there
  m_afterUpdate = [this, previous, oldEntries, oldRows] {
    const QList<ZPHArticleListModel::Entry> entries = entriesForControllerArticles();
    if (rowsEqual(entries, m_articleListController->articles(), oldEntries, oldRows)) {
      // The same rows: only their states may have changed.
      m_model->allRowsChanged();
      return;
    }
    // The same source: the rows that stay keep their place, with the
    // selection and the scroll position.
    if (moveRowsInPlace(entries)) {
      showOrHideOverallEmptyContentsViewAsNeeded();
      return;
    }
    if (previous.isEmpty()) {
      setEntries(entries);
    } else {
      setEntries(entries, false);
      int row = -1;
      for (const CBDataArticle* article : previous) {
        if (ZPHManagedObject::isLive(article))
          row = m_model->rowForObjectID(article->objectID());
        if (row >= 0)
          break;
      }
      m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
      if (m_currentLayoutViewController) {
        m_currentLayoutViewController->reloadDataWithScrollingToTop(true);
        // A selected article that is gone takes the selection with it.
        m_currentLayoutViewController->selectRow(row, true);
      }
      if (row < 0)
        setSelectedArticles({});
      m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
    }
    showOrHideOverallEmptyContentsViewAsNeeded();
  };
  m_articleListController->updateArticles(selectedObjectIDs());
}

void ZPHArticleListDelegate::refreshDidUpdateFeed(const QUrl& feedURL)
{
  if (m_showingSearchResultSet)
    return;
  for (const ZPHRepresentedObject& item : std::as_const(m_feeds)) {
    if (const auto* node = std::get_if<CBNode*>(&item)) {
      if (!ZPHManagedObject::isLive(*node))
        continue;
      if (!(*node)->isFolder()) {
        if (static_cast<const CBFeed*>(*node)->URL() == feedURL) {
          reloadArticlesFully();
          return;
        }
      } else if (static_cast<const CBFolder*>(*node)->containsFeedWithURL(feedURL)) {
        m_fullArticleRefreshEventThrottler->setEventTriggered(true);
        return;
      }
      continue;
    }
    const auto* object = std::get_if<CBTreeNodeRepresentedObject*>(&item);
    if (object == nullptr || *object == nullptr)
      continue;
    if (dynamic_cast<const CBGlobalFeed*>(*object) != nullptr) {
      m_fullArticleRefreshEventThrottler->setEventTriggered(true);
      return;
    }
    if (const auto* favorites = dynamic_cast<const ZPHGlobalFavoritesGroup*>(*object);
        favorites != nullptr && favorites->containsFeedWithURL(feedURL)) {
      m_fullArticleRefreshEventThrottler->setEventTriggered(true);
      return;
    }
  }
}

bool ZPHArticleListDelegate::isFullReloadScheduled() const { return !m_fullArticleRefreshEventThrottler->isIdle(); }

void ZPHArticleListDelegate::updateSortOrder()
{
  CBDataArticle* kept = selectedArticle();
  m_sortAscending = ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHSortArticlesOldestAtTopKey);
  updateArticlesShowingEmptyViewsIfNeeded();
  if (kept == nullptr || !m_afterUpdate)
    return;
  std::function<void()> listUpdate = std::move(m_afterUpdate);
  m_afterUpdate = [this, listUpdate, kept] {
    listUpdate();
    if (ZPHManagedObject::isLive(kept)) {
      m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
      navigateToArticleInCurrentList(kept);
      m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
    }
  };
}

void ZPHArticleListDelegate::articleListDisplayPreferencesDidChange()
{
  if (!m_currentLayoutViewController)
    return;
  m_currentLayoutViewController->reloadDataWithScrollingToTop(false);
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
  navigateToSelectedArticleInCurrentList();
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
}

void ZPHArticleListDelegate::articleListControllerDidRemoveArticles(ZPHArticleListController*,
                                                                    const QList<ZPHManagedObjectID>& removed)
{
  if (removed.isEmpty())
    return;
  if (m_showingSearchResultSet) {
    // The rows go at once; the list of the selection follows.
    setEntries(ZPHArticleListModel::entriesForArticles(m_articleListController->count()));
    setSelectedArticles({});
    searchCanceledUpdatingArticles(true, true, true);
    return;
  }
  if (moveRowsInPlace(entriesForControllerArticles())) {
    showOrHideOverallEmptyContentsViewAsNeeded();
    return;
  }
  showControllerRows();
}

bool ZPHArticleListDelegate::moveRowsInPlace(const QList<ZPHArticleListModel::Entry>& entries)
{
  ZPHReadingLayoutViewController* layout = m_currentLayoutViewController.get();
  if (layout != nullptr)
    layout->rowsWillMoveInPlace();
  // A selected row that goes takes itself out of the selection; what stays
  // selected is not marked read again.
  const bool wasChanging = m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions;
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
  const std::optional<std::vector<int>> moved = m_model->updateEntries(entries);
  if (moved.has_value()) {
    if (layout != nullptr)
      layout->rowsDidMoveInPlace(*moved);
    keepSelectionIntersectingRows();
    Q_EMIT articlesChanged();
  }
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = wasChanging;
  return moved.has_value();
}

void ZPHArticleListDelegate::articleListControllerDidChangeStates(ZPHArticleListController*,
                                                                  const QList<qsizetype>& indexes)
{
  m_model->articleStatesChanged(indexes);
}

// ------------------------------------------------------------ selection

void ZPHArticleListDelegate::setSelectedArticles(const QList<CBDataArticle*>& articles)
{
  if (m_observedArticle != nullptr && m_flaggedObserver != 0)
    m_observedArticle->removeChangeObserver(m_flaggedObserver);
  m_observedArticle = nullptr;
  m_flaggedObserver = 0;
  m_selectedArticles = articles;
  if (CBDataArticle* first = selectedArticle(); ZPHManagedObject::isLive(first)) {
    m_observedArticle = first;
    m_flaggedObserver = first->addChangeObserver([this](ZPHManagedObject*, const QString& key) {
      if (key == CBDataArticleFlaggedKey && m_currentLayoutViewController &&
          m_currentLayoutViewController->detailViewController())
        m_currentLayoutViewController->detailViewController()->updateArticleFlaggedState();
    });
  }
  Q_EMIT selectedArticlesChanged();
}

void ZPHArticleListDelegate::updateForSelectionChange()
{
  if (!m_currentLayoutViewController)
    return;
  const QList<int> rows = m_currentLayoutViewController->selectedRowIndexes();
  if (rows.isEmpty() || rows.first() < m_model->rowCount()) {
    QList<CBDataArticle*> articles;
    for (const int row : rows) {
      if (CBDataArticle* article = m_model->articleAtRow(row); ZPHManagedObject::isLive(article))
        articles.append(article);
    }
    if (articles != m_selectedArticles)
      setSelectedArticles(articles);
  }
  announceSelectedArticles();
  Q_EMIT layoutSelectionChanged();
}

void ZPHArticleListDelegate::announceSelectedArticles()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (CBDataController* data = delegate ? delegate->dataController() : nullptr)
    data->setCurrentArticles(m_selectedArticles);
  Q_EMIT presentedArticleChanged();
}

bool ZPHArticleListDelegate::mouseInDetailViewArea() const
{
  return m_currentLayoutViewController && m_currentLayoutViewController->mouseInArticleDetailArea();
}

void ZPHArticleListDelegate::markCurrentArticleAsRead()
{
  CBDataArticle* article = selectedArticle();
  if (ZPHManagedObject::isLive(article) && !article->read() &&
      !m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions)
    article->markAsRead(true);
  // Sharing: the current article is the item the share commands act on.
  Q_EMIT presentedArticleChanged();
}

void ZPHArticleListDelegate::hideEmptyContentsView() { hideOverallEmptyContentsView(); }

// ----------------------------------------------------------- navigation

void ZPHArticleListDelegate::navigateToArticleInCurrentList(CBDataArticle* article)
{
  if (!m_currentLayoutViewController || !ZPHManagedObject::isLive(article))
    return;
  if (ZPHArticleDetailPane* pane = m_currentLayoutViewController->detailViewController())
    pane->stopLoading();
  const int row = m_model->rowForObjectID(article->objectID());
  if (row < 0)
    return;
  if (m_currentLayoutViewController->scrollRowToMiddleIfNotVisible(row))
    m_currentLayoutViewController->selectRow(row);
  else
    m_currentLayoutViewController->selectRow(row, true);
}

void ZPHArticleListDelegate::navigateToSelectedArticleInCurrentList()
{
  if (!m_currentLayoutViewController)
    return;
  // Every selected article that is still listed (the first leads).
  QList<int> rows;
  for (const CBDataArticle* article : std::as_const(m_selectedArticles)) {
    const int row = ZPHManagedObject::isLive(article) ? m_model->rowForObjectID(article->objectID()) : -1;
    if (row >= 0)
      rows.append(row);
  }
  if (rows.size() <= 1) {
    navigateToArticleInCurrentList(selectedArticle());
    return;
  }
  m_currentLayoutViewController->selectRowIndexes(rows, false, rows.first());
}

void ZPHArticleListDelegate::navigateToFirstUnreadArticle()
{
  if (m_afterUpdate) {
    std::function<void()> listUpdate = std::move(m_afterUpdate);
    m_afterUpdate = [this, listUpdate] {
      listUpdate();
      navigateToFirstUnreadArticle();
    };
    return;
  }
  if (CBDataArticle* article = m_articleListController->firstUnreadArticle())
    navigateToArticleInCurrentList(article);
}

void ZPHArticleListDelegate::makeArticleListFirstResponder()
{
  if (m_currentLayoutViewController && m_currentLayoutViewController->controlView())
    m_currentLayoutViewController->controlView()->setFocus(Qt::OtherFocusReason);
}

// --------------------------------------------------------------- layouts

void ZPHArticleListDelegate::switchToLayoutMode(qint64 mode)
{
  mode = mode == 1 ? 1 : 0;
  if (mode == m_layoutMode || !m_setUp)
    return;
  m_layoutMode = mode;
  std::unique_ptr<ZPHReadingLayoutViewController> layout = makeLayoutController(mode);
  bool hadFocus = false;
  if (m_currentLayoutViewController) {
    hadFocus = m_currentLayoutViewController->isArticleListFocused();
    if (!hadFocus && m_currentLayoutViewController->isViewLoaded()) {
      const QWidget* focus = QApplication::focusWidget();
      hadFocus = focus != nullptr && m_currentLayoutViewController->view()->isAncestorOf(focus);
    }
  }
  CBDataArticle* kept = selectedArticle();
  const QList<CBDataArticle*> keptSelection = m_selectedArticles;
  // Everything the switch selects and loads is the program's: nothing is
  // marked read by it.
  const bool wasChanging = m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions;
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
  installLayout(std::move(layout));
  if (m_showingSearchResultSet)
    buildListForSearch();
  else
    setEntries(entriesForControllerArticles());
  const int row = ZPHManagedObject::isLive(kept) ? m_model->rowForObjectID(kept->objectID()) : -1;
  m_layoutSwapSelectedArticleIndex = row >= 0 ? row : NoRow;
  // The news-items tab counts as selected: the layout's view is in place.
  if (m_showingSearchResultSet && m_currentSearchOperation)
    m_currentLayoutViewController->configureForSearchResults(m_currentSearchOperation->queryString());
  m_currentLayoutViewController->reloadDataWithScrollingToTop(true);
  m_selectedArticles = keptSelection;
  completeLayoutSwitchWithSelection(m_layoutSwapSelectedArticleIndex);
  if (hadFocus)
    m_currentLayoutViewController->moveFocusToArticleListAndSelectTopRowIfNeeded();
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = wasChanging;
  showOrHideOverallEmptyContentsViewAsNeeded();
}

void ZPHArticleListDelegate::completeLayoutSwitchWithSelection(qint64 index)
{
  recolor();
  if (index != NoRow) {
    const bool wasChanging = m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions;
    m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
    m_currentLayoutViewController->selectRow(int(index), true);
    m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = wasChanging;
    m_layoutSwapSelectedArticleIndex = NoRow;
  } else if (m_currentLayoutViewController->selectedRow() < 0) {
    setSelectedArticles({});
    m_currentLayoutViewController->showEmptyDetailContentView();
  }
}

// -------------------------------------------------------- empty contents

bool ZPHArticleListDelegate::overallEmptyContentsViewShown() const
{
  return m_overallEmptyContentsViewController && m_contentStack &&
         m_contentStack->currentWidget() == m_overallEmptyContentsViewController->view();
}

void ZPHArticleListDelegate::showOrHideOverallEmptyContentsViewAsNeeded()
{
  if (!m_overallEmptyContentsViewController)
    return;
  ZPHEmptyContentsViewController* empty = m_overallEmptyContentsViewController.get();
  const int n = m_model->rowCount();
  const ZPHRepresentedObject* first = m_feeds.isEmpty() ? nullptr : &m_feeds.first();
  CBNode* node = first ? (std::get_if<CBNode*>(first) ? *std::get_if<CBNode*>(first) : nullptr) : nullptr;
  CBTreeNodeRepresentedObject* object =
      first ? (std::get_if<CBTreeNodeRepresentedObject*>(first) ? *std::get_if<CBTreeNodeRepresentedObject*>(first)
                                                                : nullptr)
            : nullptr;
  const auto* smartFeed = dynamic_cast<const CBGlobalFeed*>(object);
  const auto* favorites = dynamic_cast<const ZPHGlobalFavoritesGroup*>(object);
  ZPHModel* model = ZPHModel::sharedModel();
  // NOLINTNEXTLINE(bugprone-branch-clone): no selection is said twice, before and after the smart feeds' cases
  if (model != nullptr && !model->hasFeedsOtherThanGlobalFeeds()) {
    empty->configureForNoSelection();
  } else if (n == 0 && smartFeed != nullptr) {
    empty->configureForNoArticlesWithGlobalFeed(smartFeed);
  } else if (n == 0 && favorites != nullptr) {
    if (model != nullptr && model->hasFavoriteFeeds())
      empty->configureForNoArticlesInFavoriteFeeds();
    else
      empty->configureForNoFeedsInFavoriteFeeds();
  } else if (first == nullptr) {
    empty->configureForNoSelection();
  } else if (n == 0 && node != nullptr && ZPHManagedObject::isLive(node) && node->isFolder()) {
    empty->configureForNoArticlesSelectedWithFolder(static_cast<const CBFolder*>(node));
  } else if (n == 0 && node != nullptr && ZPHManagedObject::isLive(node)) {
    empty->configureForNoArticlesWithFeed(static_cast<CBFeed*>(node));
  } else {
    hideOverallEmptyContentsView();
    return;
  }
  showOverallEmptyContentsView();
}

void ZPHArticleListDelegate::showOverallEmptyContentsView()
{
  if (!m_contentStack || !m_overallEmptyContentsViewController)
    return;
  m_overallEmptyContentsViewController->updateForWindowStateChange();
  const bool hadFocus = m_currentLayoutViewController && m_currentLayoutViewController->isViewLoaded() &&
                        QApplication::focusWidget() != nullptr &&
                        m_currentLayoutViewController->view()->isAncestorOf(QApplication::focusWidget());
  m_contentStack->setCurrentWidget(m_overallEmptyContentsViewController->view());
  if (hadFocus)
    Q_EMIT moveFocusToSourceListRequested();
}

void ZPHArticleListDelegate::hideOverallEmptyContentsView()
{
  if (m_contentStack && m_currentLayoutViewController)
    m_contentStack->setCurrentWidget(m_currentLayoutViewController->view());
}

// --------------------------------------------------------- source list

void ZPHArticleListDelegate::sourcelistSelectionDidChange(const QList<ZPHRepresentedObject>& items)
{
  QWidget* focus = QApplication::focusWidget();
  Q_EMIT articleListShowRequested(false);
  searchCanceledUpdatingArticles(false, false, true);
  QList<ZPHRepresentedObject> feeds;
  for (const ZPHRepresentedObject& item : items) {
    const bool empty = std::visit([](auto* pointer) { return pointer == nullptr; }, item);
    if (!empty)
      feeds.append(item);
  }
  setFeeds(feeds);
  if (m_searchWindowController)
    m_searchWindowController->setSelectedFeeds(m_feeds);
  invalidateUnreadCountsOfFeeds();
  if (focus != nullptr && m_contentView && focus->window() == m_contentView->window() &&
      focus != QApplication::focusWidget())
    focus->setFocus(Qt::OtherFocusReason);
}

void ZPHArticleListDelegate::invalidateUnreadCountsOfFeeds()
{
  QList<ZPHManagedObjectID> objectIDs;
  for (const ZPHRepresentedObject& item : std::as_const(m_feeds)) {
    if (const auto* node = std::get_if<CBNode*>(&item); node != nullptr && ZPHManagedObject::isLive(*node))
      objectIDs.append((*node)->objectID());
  }
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (objectIDs.isEmpty() || delegate == nullptr)
    return;
  delegate->addMainThreadCoreDataQueueBlock([objectIDs] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* main = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
    if (main == nullptr)
      return;
    for (ZPHManagedObject* object : main->existingObjectsWithIDs(objectIDs)) {
      if (auto* node = dynamic_cast<CBNode*>(object); node != nullptr && !node->isDeleted())
        node->setUnreadCountIsValid(false);
    }
  });
}

// ---------------------------------------------------------------- search

void ZPHArticleListDelegate::setCurrentSearchOperation(std::shared_ptr<ZPHSearchOperation> operation)
{
  m_currentSearchOperation = std::move(operation);
}

QString ZPHArticleListDelegate::highlightedSearchTerm() const
{
  return m_currentSearchOperation ? m_currentSearchOperation->queryString() : QString();
}

void ZPHArticleListDelegate::searchTypeChosen(int type)
{
  if (m_searchWindowController)
    m_searchWindowController->executeSearchWithType(type);
}

void ZPHArticleListDelegate::buildListForSearch()
{
  m_articleListController->setFeedsAndFolders({});
  m_articleListController->setArticles(m_currentSearchOperation ? m_currentSearchOperation->searchResultRows()
                                                                : QList<ZPHArticleListRow>());
  const qsizetype count = m_articleListController->count();
  if (m_currentLayoutViewController && m_currentLayoutViewController->supportsGroupHeaders())
    setEntries(ZPHArticleListModel::entriesUnderHeader(count, tr("Search:")));
  else
    setEntries(ZPHArticleListModel::entriesForArticles(count));
  const bool constrained = m_currentSearchOperation && m_currentSearchOperation->isConstrainedToSelectedFeeds();
  Q_EMIT sourceListSelectionHiddenChanged(!constrained);
}

void ZPHArticleListDelegate::searchResultsObtained(std::shared_ptr<ZPHSearchOperation> operation)
{
  if (!operation || !m_currentLayoutViewController)
    return;
  setCurrentSearchOperation(operation);
  m_showingSearchResultSet = true;
  Q_EMIT showingMultipleFeedsChanged();
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = true;
  buildListForSearch();
  m_currentLayoutViewController->selectRow(-1);
  setSelectedArticles({});
  m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
  m_currentLayoutViewController->configureForSearchResults(operation->queryString());
  hideOverallEmptyContentsView();
  announceSelectedArticles();
  Q_EMIT articleListShowRequested(true);
}

void ZPHArticleListDelegate::searchCanceledUpdatingArticles(bool updateArticles, bool changeFirstResponder,
                                                            bool clearingSearchField)
{
  const bool wasSearching = m_showingSearchResultSet;
  m_showingSearchResultSet = false;
  m_currentSearchOperation.reset();
  if (clearingSearchField && m_searchWindowController)
    m_searchWindowController->clearSearchFieldQuietly();
  if (updateArticles) {
    if (m_sourceListSelectionProvider)
      m_feeds = sourceListSelection();
    updateArticlesShowingEmptyViewsIfNeeded();
  }
  if (wasSearching)
    Q_EMIT sourceListSelectionHiddenChanged(false);
  if (m_currentLayoutViewController && (wasSearching || updateArticles))
    m_currentLayoutViewController->searchCanceled(changeFirstResponder);
}

// ------------------------------------------------------ the detail area

void ZPHArticleListDelegate::followMouseInDetailArea()
{
  if (!m_currentLayoutViewController)
    return;
  // The detail pane reports the mouse over it.
  if (auto* pane = qobject_cast<ZPHArticleDetailPaneView*>(m_currentLayoutViewController->detailView()))
    connect(pane, &ZPHArticleDetailPaneView::mouseInViewChanged, this,
            &ZPHArticleListDelegate::mouseInDetailViewAreaChanged, Qt::UniqueConnection);
}
