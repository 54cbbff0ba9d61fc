#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscriptions/ZPHAddSiteContentViewController.h"
#include "subscriptions/ZPHSelectableToolbar.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QUrl>

#include <memory>

class CBDefaultFeedManager;
class CBSolidColorView;
class QDialog;
class QPushButton;
class ZPHAddSiteAddressContentViewController;
class ZPHAddSitePopularSitesContentViewController;
class ZPHSubscriber;

// The Add Site window: a toolbar of two panes (the address pane and the
// popular-sites pane), the pane shown, Cancel at the left of the bottom bar
// and Add at the right. It subscribes what a pane asks through the core's
// subscriber, shows failures in the subscription error sheet, and records
// the feeds added. It is a window-modal dialog run with open(); it ends
// when a pane reports added feeds (accepted) or the user cancels
// (rejected), and finished() follows.
//
// A pane switch resizes the window at once to the pane's size, keeping its
// top edge and its horizontal centre.
//
// Main thread.
class ZPHAddSiteWindowController : public QObject,
                                   public ZPHSelectableToolbarDataSource,
                                   public ZPHSelectableToolbarDelegate,
                                   public ZPHAddSiteContentViewControllerDelegate {
  Q_OBJECT
public:
  // Plain: the address pane, new sites into the selected folder.
  explicit ZPHAddSiteWindowController(QObject* parent = nullptr);
  // An address filled in, searched at once or not.
  ZPHAddSiteWindowController(const QUrl& url, bool searchImmediately, bool useCurrentlySelectedContainer,
                             QObject* parent = nullptr);
  // For a request (a dropped address): searched at once, into the request's
  // folder.
  explicit ZPHAddSiteWindowController(std::shared_ptr<ZPHSubscribeRequest> request, QObject* parent = nullptr);
  // The popular-sites pane first.
  static std::unique_ptr<ZPHAddSiteWindowController> showingPopularSites(QObject* parent = nullptr);
  ~ZPHAddSiteWindowController() override;

  // The catalogue of the popular-sites pane (the shared one unless set
  // before the window is made).
  void setDefaultFeedManager(CBDefaultFeedManager* manager) { m_defaultFeedManager = manager; }

  // The window (made on first use).
  QDialog* window();
  ZPHSelectableToolbar* toolbar() const { return m_toolbar; }
  QPushButton* addSiteButton() const { return m_addSiteButton; }
  QPushButton* leftCancelButton() const { return m_leftCancelButton; }
  ZPHAddSiteAddressContentViewController* addressContentViewController() const { return m_address; }
  ZPHAddSitePopularSitesContentViewController* popularSitesContentViewController() const { return m_popular; }
  ZPHAddSiteContentViewController* currentContentViewController() const;
  bool useCurrentlySelectedContainer() const { return m_useCurrentlySelectedContainer; }
  int initialToolbarIndex() const { return m_initialToolbarIndex; }

  // The feeds added when the window finished; empty until then.
  QList<CBFeed*> feedsAdded() const { return m_feedsAdded; }
  std::shared_ptr<ZPHSubscriber> currentSubscriber() const { return m_currentSubscriber; }

  void cancel();
  void addSitesAction();

  // The window's frame for a content size: the new width, the height grown
  // by the change of the content's, the top edge and the horizontal centre
  // kept.
  static QRect frameForContentSize(const QRect& windowFrame, int containerHeight, const QSize& contentSize);

  // ZPHSelectableToolbarDataSource, ZPHSelectableToolbarDelegate
  int numberOfItemsInToolbar(ZPHSelectableToolbar*) override { return 2; }
  QString titleForItemInToolbar(ZPHSelectableToolbar* toolbar, int index) override;
  QImage templateImageForItemInToolbar(ZPHSelectableToolbar* toolbar, int index) override;
  void toolbarDidSelectItemAtIndex(ZPHSelectableToolbar* toolbar, int index) override;

  // ZPHAddSiteContentViewControllerDelegate
  void addSiteViewControllerDidFinishByAddingFeeds(ZPHAddSiteContentViewController* pane,
                                                   const QList<CBFeed*>& feeds) override;
  void addSiteViewControllerResizeToSize(ZPHAddSiteContentViewController* pane, const QSize& size, bool animate,
                                         std::function<void(bool)> completion) override;
  QList<ZPHFolderMenuItem> folderMenuForAddSiteViewController(ZPHAddSiteContentViewController* pane) override;
  ZPHFolderTarget defaultFolderOrAccountForAddSiteViewController(ZPHAddSiteContentViewController* pane) override;
  void subscribeToSubscribeRequests(const ZPHSubscribeRequests& requests,
                                    std::function<void(const QList<CBFeed*>& feeds)> completion) override;
  void cancelCurrentSubscriber() override;
  void makeAddSiteButtonFirstResponder() override;
  QWidget* addSiteWindow() override;

Q_SIGNALS:
  // The window ended; feedsAdded() holds what was added.
  void finished();

private:
  void windowDidLoad();
  void makePanes();
  ZPHAddSiteContentViewController* paneAtIndex(int index) const;
  void applyContentSize(const QSize& size, bool resizable);
  void updateAddButton();
  void themeChanged();

  QUrl m_initialURL;
  std::shared_ptr<ZPHSubscribeRequest> m_initialSubscribeRequest;
  bool m_searchImmediately = false;
  bool m_useCurrentlySelectedContainer = true;
  int m_initialToolbarIndex = 0;
  CBDefaultFeedManager* m_defaultFeedManager = nullptr;

  QPointer<QDialog> m_window;
  ZPHSelectableToolbar* m_toolbar = nullptr;
  QWidget* m_contentContainerView = nullptr;
  CBSolidColorView* m_bottomControlsContainerView = nullptr;
  QPushButton* m_addSiteButton = nullptr;
  QPushButton* m_leftCancelButton = nullptr;
  ZPHAddSiteAddressContentViewController* m_address = nullptr;
  ZPHAddSitePopularSitesContentViewController* m_popular = nullptr;
  ZPHAddSiteContentViewController* m_shownPane = nullptr;
  bool m_isAnimatingInNewView = false;
  std::shared_ptr<ZPHSubscriber> m_currentSubscriber;
  QList<CBFeed*> m_feedsAdded;
  bool m_finished = false;
  ZPHObserverToken m_themeObserver;
};
