#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ZPHFeedFinderDelegate.h"
#include "subscribe/ZPHSubscribeRequest.h"
#include "subscriptions/ZPHAddSiteContentViewController.h"

#include <QtCore/QPointer>

#include <functional>
#include <memory>

class CBSolidColorView;
class QLabel;
class QTimer;
class ZPHAddSiteAddressSubscriptionListViewController;
class ZPHAddSiteOrFolderTextView;
class ZPHBottomBorderView;
class ZPHFeedFinder;
class ZPHIndeterminateProgressIndicator;
class ZPHInnerGlowClipView;

// The first pane of the Add Site window, "Address": the user types a site's
// or a feed's address; the pane cleans it up, runs the feed finder (20
// seconds at most), shows what went wrong under the address, and lists the
// feeds found, of which the checked ones are subscribed through the window.
//
// States (what shows, and whether Add can run):
//   1 editing                          text (editable)      Add: an address
//   2 finding feeds                    text, spinner        Add: no
//   3 error shown, editing             text, error          Add: an address
//   4 finding, the error still shown   text, error, spinner Add: no
//   5 found feeds listed               list                 Add: a checked feed
//   6 subscribing the checked feeds    list                 Add: no
// Escape stops the search in state 2 and the subscribing in state 6 (unless
// a sheet is on the window); otherwise it closes the window.
//
// Main thread.
class ZPHAddSiteAddressContentViewController : public ZPHAddSiteContentViewController, public ZPHFeedFinderDelegate {
  Q_OBJECT
public:
  static constexpr int DefaultFeedFinderTimeoutMs = 20 * 1000;
  static constexpr int TextWidth = 350;
  static constexpr int ListWidth = 480;

  // What shows in a state.
  struct StateLayout {
    bool textShown = false;
    bool textEditable = false;
    bool errorShown = false;
    bool spinnerShown = false;
    bool listShown = false;
    bool operator==(const StateLayout& other) const = default;
  };
  static StateLayout layoutForState(int state);
  static bool allowsAddSitesInState(int state, const QString& address, bool listHasCheckedRequest);

  explicit ZPHAddSiteAddressContentViewController(QObject* parent = nullptr);
  // Made for a request (its address filled in), searching at once or not.
  ZPHAddSiteAddressContentViewController(std::shared_ptr<ZPHSubscribeRequest> request, bool searchImmediately,
                                         QObject* parent = nullptr);
  ~ZPHAddSiteAddressContentViewController() override;

  // The time a search may take (tests shorten it).
  void setFeedFinderTimeoutMs(int ms) { m_feedFinderTimeoutMs = ms; }
  // Called when a search stops, to withdraw a login question it asked (the
  // application's authentication controller; none when it is not set).
  static void setCancelCurrentCredentialsRequest(std::function<void()> cancel);

  int state() const { return m_state; }
  QString siteURLString() const { return m_siteURLString; }
  void setSiteURLString(const QString& address);
  QString errorString() const { return m_errorString; }
  ZPHAddSiteOrFolderTextView* urlStringTextView() const { return m_urlStringTextView; }
  ZPHAddSiteAddressSubscriptionListViewController* subscriptionListViewController() const { return m_list; }
  QLabel* errorStringTextField() const { return m_errorStringTextField; }
  ZPHIndeterminateProgressIndicator* progressIndicatorView() const { return m_progressIndicatorView; }
  bool isFindingFeeds() const { return m_feedFinder != nullptr; }

  // The pane.
  QWidget* view() override;
  QString titleForToolbarItem() const override;
  QImage templateImageForToolbarItem() const override;
  bool allowsResizing() const override { return m_state == 5; }
  QSize contentSize() override;
  QWidget* initialKeyView() override;
  void viewWillAppear() override;
  void viewDidAppear() override;
  void viewWillMeasureWithTargetSize(const QSize& size) override;
  void addSitesAction() override;
  bool allowsAddSites() const override;
  void invalidate() override;

  void startFindingFeeds();
  void cancelFindingFeeds();
  void cancelAddingFeeds();
  void configureForState(int state, bool force);
  void configureForErrorWithErrorString(const QString& error);
  static QString generalFeedFinderErrorString();
  static QString invalidAddressErrorString();

  // ZPHFeedFinderDelegate
  void feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder, const QList<ZPHFeedResult>& results) override;
  void feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void loadView();
  void textDidChange();
  void clearFeedFinder();
  void feedFinderTimedOut();
  QSize idealContentSizeForState(int state) const;
  int idealTextHeight() const;
  ZPHSubscribeRequests subscribeRequestsForResults(const QList<ZPHFeedResult>& results) const;
  void themeChanged();
  void installEscapeMonitor();
  void removeEscapeMonitor();

  int m_state = 0;
  QString m_siteURLString;
  QString m_errorString;
  std::shared_ptr<ZPHSubscribeRequest> m_initialSubscribeRequest;
  std::shared_ptr<ZPHFeedFinder> m_feedFinder;
  QTimer* m_feedFinderTimer = nullptr;
  int m_feedFinderTimeoutMs = DefaultFeedFinderTimeoutMs;
  bool m_searchImmediately = false;
  std::function<void(const QSize&)> m_viewWillMeasureBlock;
  std::function<void()> m_viewDidAppearBlock;
  bool m_escapeMonitorInstalled = false;

  QPointer<CBSolidColorView> m_view;
  ZPHBottomBorderView* m_bottomBorderView = nullptr;
  ZPHInnerGlowClipView* m_textBackdrop = nullptr;
  ZPHAddSiteOrFolderTextView* m_urlStringTextView = nullptr;
  ZPHIndeterminateProgressIndicator* m_progressIndicatorView = nullptr;
  QWidget* m_errorContainerView = nullptr;
  QLabel* m_errorImageView = nullptr;
  QLabel* m_errorStringTextField = nullptr;
  ZPHAddSiteAddressSubscriptionListViewController* m_list = nullptr;
  ZPHObserverToken m_themeObserver;
};
