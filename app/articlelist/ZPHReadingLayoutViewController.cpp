#include "articlelist/ZPHReadingLayoutViewController.h"

#include "articlelist/ZPHArticleLinkOpener.h"
#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHPlainArticleDetailPane.h"
#include "articlelist/ZPHTableViewContextualMenu.h"
#include "common/CBPasteboard.h"
#include "keys/ZPHResponderChain.h"
#include "kit/CBMenuExtras.h"
#include "sharing/CBSharableItem.h"
#include "sharing/ZPHSharing.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFeed.h"
#include "web/ZPHSearchUIProtocol.h"

#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QWidget>

ZPHReadingLayoutDataSource::~ZPHReadingLayoutDataSource() = default;
ZPHReadingLayoutDelegate::~ZPHReadingLayoutDelegate() = default;

namespace {

ZPHArticleDetailPane::Factory& detailPaneFactory()
{
  static ZPHArticleDetailPane::Factory factory;
  return factory;
}

}  // namespace

ZPHReadingLayoutViewController::ZPHReadingLayoutViewController(QObject* parent) : QObject(parent) {}

ZPHReadingLayoutViewController::~ZPHReadingLayoutViewController()
{
  m_delegate = nullptr;
  if (m_view && m_view->parent() == nullptr)
    delete m_view;
}

void ZPHReadingLayoutViewController::setDetailPaneFactory(ZPHArticleDetailPane::Factory factory)
{
  detailPaneFactory() = std::move(factory);
}

std::unique_ptr<ZPHArticleDetailPane> ZPHReadingLayoutViewController::makeDetailPane()
{
  if (detailPaneFactory()) {
    if (std::unique_ptr<ZPHArticleDetailPane> pane = detailPaneFactory()())
      return pane;
  }
  return std::make_unique<ZPHPlainArticleDetailPane>();
}

QWidget* ZPHReadingLayoutViewController::view()
{
  if (!m_view) {
    m_view = loadView();
    // Sharing: commands run from the layout's views find it here and ask it
    // where to point their popover.
    ZPHResponderChain::setViewController(m_view, this);
  }
  return m_view;
}

CBDataArticle* ZPHReadingLayoutViewController::contextualMenuArticle() const
{
  return ZPHManagedObject::isLive(m_contextualMenuArticle) ? m_contextualMenuArticle : nullptr;
}

CBDataArticle* ZPHReadingLayoutViewController::articleAtRow(int row) const
{
  ZPHArticleListModel* model = m_dataSource ? m_dataSource->articleListModel() : nullptr;
  CBDataArticle* article = model ? model->articleAtRow(row) : nullptr;
  return ZPHManagedObject::isLive(article) ? article : nullptr;
}

bool ZPHReadingLayoutViewController::isArticleListFocused() const
{
  const QWidget* control = controlView();
  const QWidget* focus = QApplication::focusWidget();
  return control != nullptr && focus != nullptr && (focus == control || control->isAncestorOf(focus));
}

namespace {

ZPHSearchUIProtocol* searchUserInterface(ZPHArticleDetailPane* pane)
{
  return pane != nullptr ? dynamic_cast<ZPHSearchUIProtocol*>(pane->view()) : nullptr;
}

}  // namespace

void ZPHReadingLayoutViewController::showFindPanel()
{
  if (ZPHSearchUIProtocol* search = searchUserInterface(m_detailViewController.get()))
    search->showFindPanelAnimated(true);
}

void ZPHReadingLayoutViewController::highlightNextSearchResult()
{
  if (ZPHSearchUIProtocol* search = searchUserInterface(m_detailViewController.get()))
    search->highlightNextSearchResult();
}

void ZPHReadingLayoutViewController::highlightPreviousSearchResult()
{
  if (ZPHSearchUIProtocol* search = searchUserInterface(m_detailViewController.get()))
    search->highlightPreviousSearchResult();
}

void ZPHReadingLayoutViewController::moveFocusToArticleListAndSelectTopRowIfNeeded()
{
  selectTopRowIfNoneSelected();
  if (QWidget* control = controlView())
    control->setFocus(Qt::OtherFocusReason);
}

void ZPHReadingLayoutViewController::moveFocusToArticleListAndSelectNone()
{
  selectRow(-1);
  if (QWidget* control = controlView())
    control->setFocus(Qt::OtherFocusReason);
}

void ZPHReadingLayoutViewController::menuNeedsUpdate(QMenu* menu)
{
  cb_removeAllItems(menu);
  int row = -1;
  if (const auto* tableMenu = qobject_cast<const ZPHTableViewContextualMenu*>(menu);
      tableMenu != nullptr && tableMenu->clickedRow() != -1) {
    row = tableMenu->clickedRow();
  } else if (m_dataSource != nullptr && !m_dataSource->selectedArticles().isEmpty()) {
    const CBDataArticle* first = m_dataSource->selectedArticles().first();
    ZPHArticleListModel* model = m_dataSource->articleListModel();
    row = first && model ? model->rowForObjectID(first->objectID()) : -1;
  }
  if (row < 0)
    return;
  CBDataArticle* article = articleAtRow(row);
  if (article == nullptr)
    return;  // a header, past the end, or gone
  m_contextualMenuArticle = article;

  const bool hasLink = article->hasLink();
  if (hasLink) {
    menu->addAction(tr("Copy Article Link"), this, &ZPHReadingLayoutViewController::copyURLWithContextualMenuArticle);
    menu->addAction(tr("Open in New Tab"), this,
                    &ZPHReadingLayoutViewController::openLinkWithContextualMenuArticleAccordingToUserPreferneces);
    menu->addAction(tr("Open in Browser"), this,
                    &ZPHReadingLayoutViewController::openLinkInDefaultExternalBrowserWithContextualMenuArticle);
  }
  if (!menu->actions().isEmpty())
    menu->addSeparator();
  if (article->canMarkAsRead())
    menu->addAction(tr("Mark as Read"), this, &ZPHReadingLayoutViewController::markAsReadWithContextualMenuArticle);
  if (article->canMarkAsUnread())
    menu->addAction(tr("Mark as Unread"), this, &ZPHReadingLayoutViewController::markAsUnreadWithContextualMenuArticle);
  if (article->canMarkAsFlagged())
    menu->addAction(tr("Bookmark"), this, &ZPHReadingLayoutViewController::markAsFlaggedWithContextualMenuArticle);
  if (article->canMarkAsUnflagged())
    menu->addAction(tr("Unbookmark"), this, &ZPHReadingLayoutViewController::markAsUnflaggedWithContextualMenuArticle);
  if (!menu->actions().isEmpty() && !menu->actions().constLast()->isSeparator())
    menu->addSeparator();
  if (CBFeed* feed = CBFeed::feedWithURL(article->feedURL()))
    menu->addAction(tr("Remove Site \u201C%1\u201D").arg(feed->nameForDisplay()), this,
                    &ZPHReadingLayoutViewController::removeContextualMenuArticleSite);
  // Sharing: the "Share" submenu, for the article, pointing at the list.
  auto* share = new QMenu(tr("Share"), menu);
  ZPHSharing::addSharingCommandsToMenu(share, CBSharableItem::sharableItemWithArticle(article),
                                       viewForPresentingPopOver(), this);
  QAction* shareItem = menu->addMenu(share);
  shareItem->setEnabled(!share->isEmpty());
}

void ZPHReadingLayoutViewController::tableViewMenuWillOpen() { m_pluginPopoverFromTableViewMenu = true; }

void ZPHReadingLayoutViewController::tableViewMenuDidClose()
{
  // One turn later, so a command chosen from the menu still sees it set.
  QPointer<ZPHReadingLayoutViewController> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self)
      self->m_pluginPopoverFromTableViewMenu = false;
  });
}

void ZPHReadingLayoutViewController::openLinkWithContextualMenuArticleAccordingToUserPreferneces()
{
  if (CBDataArticle* article = contextualMenuArticle())
    openExternalURLForArticle(article, false);
}

void ZPHReadingLayoutViewController::openLinkInDefaultExternalBrowserWithContextualMenuArticle()
{
  if (CBDataArticle* article = contextualMenuArticle())
    openExternalURLForArticle(article, true);
}

void ZPHReadingLayoutViewController::copyURLWithContextualMenuArticle()
{
  if (CBDataArticle* article = contextualMenuArticle())
    copyURLWithArticle(article);
}

void ZPHReadingLayoutViewController::removeContextualMenuArticleSite()
{
  CBDataArticle* article = contextualMenuArticle();
  m_contextualMenuArticle = nullptr;
  if (article == nullptr || delegate() == nullptr)
    return;
  if (CBFeed* feed = CBFeed::feedWithURL(article->feedURL()))
    delegate()->deleteFeed(feed);
}

void ZPHReadingLayoutViewController::copyTitleWithContextualMenuArticle()
{
  if (CBDataArticle* article = contextualMenuArticle())
    copyTitleWithArticle(article);
}

void ZPHReadingLayoutViewController::copyArticleHTML()
{
  CBDataArticle* article = contextualMenuArticle();
  const CBDataArticleContent* content = article ? article->content() : nullptr;
  if (content != nullptr)
    QGuiApplication::clipboard()->setText(content->htmlText());
}

void ZPHReadingLayoutViewController::markContextualMenuArticleWithReadState(bool read)
{
  if (CBDataArticle* article = contextualMenuArticle())
    CBDataArticle::markArticles({article}, read);
}

void ZPHReadingLayoutViewController::markContextualMenuArticleWithFlag(bool flagged)
{
  if (CBDataArticle* article = contextualMenuArticle())
    CBDataArticle::markArticlesAsFlagged({article}, flagged);
}

void ZPHReadingLayoutViewController::copyURLWithArticle(const CBDataArticle* article)
{
  if (!ZPHManagedObject::isLive(article))
    return;
  // The link the article opens: a permalink counts only as a web address.
  CBCopyURLStringToPasteboard(article->bestLink());
}

void ZPHReadingLayoutViewController::copyTitleWithArticle(const CBDataArticle* article)
{
  if (ZPHManagedObject::isLive(article))
    QGuiApplication::clipboard()->setText(article->plainTextTitle());
}

void ZPHReadingLayoutViewController::openExternalURLForArticle(const CBDataArticle* article, bool forcingExternal)
{
  if (!ZPHManagedObject::isLive(article))
    return;
  // Forced: the web browser; else where the preferences and keys say (the
  // web browser too while there are no tabs).
  const QString link = article->bestLink();
  if (link.trimmed().isEmpty())
    return;
  ZPHArticleLinkOpener::openLink(
      link, forcingExternal ? ZPHAppServices::LinkPlace::ExternalBrowser : ZPHAppServices::LinkPlace::Preferred);
}

void ZPHReadingLayoutViewController::openExternalURLForSelectedArticle()
{
  if (m_dataSource == nullptr)
    return;
  const QList<CBDataArticle*> selected = m_dataSource->selectedArticles();
  if (!selected.isEmpty())
    openExternalURLForArticle(selected.first(), false);
}

QWidget* ZPHReadingLayoutViewController::pluginCommandPopoverRelativeView()
{
  if (m_pluginPopoverFromTableViewMenu) {
    m_pluginPopoverFromTableViewMenu = false;
    return nullptr;
  }
  if (m_clickedSpecificElementRectForSharing.isNull()) {
    // The main window's share control.
    const ZPHSharingHost* window =
        ZPHSharingPopoverViewController::sharingPopoverViewController()->mainWindowController();
    return window != nullptr ? window->presentedSharableItemPopoverRelativeView() : nullptr;
  }
  return m_detailViewController ? m_detailViewController->view() : nullptr;
}

QWidget* ZPHReadingLayoutViewController::pluginCommandPopoverRelativeView(ZPHSharingPluginCommand* command)
{
  Q_UNUSED(command);
  return pluginCommandPopoverRelativeView();
}

QRect ZPHReadingLayoutViewController::pluginCommandPopoverPositioningRectRelativeOfView(
    ZPHSharingPluginCommand* command, QWidget* view)
{
  Q_UNUSED(command);
  return pluginCommandPopoverPositioningRectRelativeOfView(view);
}

QRect ZPHReadingLayoutViewController::pluginCommandPopoverPositioningRectRelativeOfView(QWidget* view) const
{
  if (!m_clickedSpecificElementRectForSharing.isNull())
    return m_clickedSpecificElementRectForSharing;
  return view ? view->rect() : QRect();
}

void ZPHReadingLayoutViewController::willPresentContextMenuFromWebViewForFullArticle(bool fullArticle,
                                                                                     const QRect& elementRect)
{
  m_clickedSpecificElementRectForSharing = fullArticle || elementRect.isNull() ? QRect() : elementRect;
}
