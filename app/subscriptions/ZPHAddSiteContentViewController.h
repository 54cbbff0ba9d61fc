#pragma once

// Qt kind: QObject that owns widgets (the abstract pane of the Add Site
// window).

#include "subscribe/ZPHSubscribeRequest.h"
#include "subscriptions/ZPHModelAdditions.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSize>
#include <QtGui/QImage>

#include <functional>

class CBFeed;
class QPushButton;
class QWidget;
class ZPHAddSiteContentViewController;

// What a pane asks of the Add Site window.
class ZPHAddSiteContentViewControllerDelegate {
public:
  virtual ~ZPHAddSiteContentViewControllerDelegate() = default;
  // The pane is done: these feeds were added (not empty).
  virtual void addSiteViewControllerDidFinishByAddingFeeds(ZPHAddSiteContentViewController* pane,
                                                           const QList<CBFeed*>& feeds) = 0;
  // The window takes the pane's new content size (ignored while it is not
  // shown or switches panes; then the completion is not called).
  virtual void addSiteViewControllerResizeToSize(ZPHAddSiteContentViewController* pane, const QSize& size, bool animate,
                                                 std::function<void(bool)> completion) = 0;
  virtual QList<ZPHFolderMenuItem> folderMenuForAddSiteViewController(ZPHAddSiteContentViewController* pane) = 0;
  virtual ZPHFolderTarget defaultFolderOrAccountForAddSiteViewController(ZPHAddSiteContentViewController* pane) = 0;
  // Subscribes the requests (through the core's subscriber); failures are
  // shown on the window first; then `completion` gets the feeds added.
  virtual void subscribeToSubscribeRequests(const ZPHSubscribeRequests& requests,
                                            std::function<void(const QList<CBFeed*>& feeds)> completion) = 0;
  virtual void cancelCurrentSubscriber() = 0;
  virtual void makeAddSiteButtonFirstResponder() = 0;
  // The window (the pane's sheets go on it).
  virtual QWidget* addSiteWindow() = 0;
};

// A pane of the Add Site window. The base answers as a pane that neither
// resizes nor adds.
class ZPHAddSiteContentViewController : public QObject {
  Q_OBJECT
public:
  explicit ZPHAddSiteContentViewController(QObject* parent = nullptr) : QObject(parent) {}

  ZPHAddSiteContentViewControllerDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHAddSiteContentViewControllerDelegate* delegate) { m_delegate = delegate; }

  virtual QWidget* view() = 0;
  virtual QString titleForToolbarItem() const = 0;
  virtual QImage templateImageForToolbarItem() const = 0;

  virtual bool allowsResizing() const { return false; }
  virtual QSize contentSize();
  virtual QWidget* initialKeyView() { return view(); }
  virtual void viewWillAppear() {}
  virtual void viewDidAppear() {}
  virtual void viewWillMeasureWithTargetSize(const QSize&) {}
  virtual void addSitesAction() {}
  virtual bool allowsAddSites() const { return false; }
  virtual bool allowsSwitchingPanes() const { return true; }
  // The window goes away: stop what runs.
  virtual void invalidate() {}

Q_SIGNALS:
  // allowsAddSites() may have changed.
  void allowsAddSitesChanged();

private:
  ZPHAddSiteContentViewControllerDelegate* m_delegate = nullptr;
};
