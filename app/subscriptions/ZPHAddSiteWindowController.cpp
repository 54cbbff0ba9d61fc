#include "subscriptions/ZPHAddSiteWindowController.h"

#include "kit/CBSolidColorView.h"
#include "store/accounts/CBDataAccount.h"
#include "subscribe/ZPHSubscriber.h"
#include "subscriptions/ZPHAddSiteAddressContentViewController.h"
#include "subscriptions/ZPHAddSitePopularSitesContentViewController.h"
#include "subscriptions/ZPHAddSitesSubscriptionErrorViewController.h"
#include "subscriptions/ZPHSubscriptionsLog.h"
#include "themes/ZPHTheme.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHAddSiteWindowController::ZPHAddSiteWindowController(QObject* parent) : QObject(parent)
{
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

ZPHAddSiteWindowController::ZPHAddSiteWindowController(const QUrl& url, bool searchImmediately,
                                                       bool useCurrentlySelectedContainer, QObject* parent)
    : ZPHAddSiteWindowController(parent)
{
  Q_ASSERT_X(!url.isEmpty(), Q_FUNC_INFO, "Invalid parameter not satisfying: url");
  m_initialURL = url;
  m_searchImmediately = searchImmediately;
  m_useCurrentlySelectedContainer = useCurrentlySelectedContainer;
}

ZPHAddSiteWindowController::ZPHAddSiteWindowController(std::shared_ptr<ZPHSubscribeRequest> request, QObject* parent)
    : ZPHAddSiteWindowController(request != nullptr ? request->feedURL() : QUrl(), true, false, parent)
{
  m_initialSubscribeRequest = std::move(request);
}

std::unique_ptr<ZPHAddSiteWindowController> ZPHAddSiteWindowController::showingPopularSites(QObject* parent)
{
  auto controller = std::make_unique<ZPHAddSiteWindowController>(parent);
  controller->m_initialToolbarIndex = 1;
  return controller;
}

ZPHAddSiteWindowController::~ZPHAddSiteWindowController()
{
  m_themeObserver = {};
  if (m_currentSubscriber != nullptr)
    m_currentSubscriber->cancel();
  if (m_address != nullptr)
    m_address->invalidate();
  if (m_popular != nullptr)
    m_popular->invalidate();
  if (m_window != nullptr) {
    // The panes' views belong to the panes.
    for (ZPHAddSiteContentViewController* pane : {static_cast<ZPHAddSiteContentViewController*>(m_address),
                                                  static_cast<ZPHAddSiteContentViewController*>(m_popular)}) {
      if (pane != nullptr && pane->view() != nullptr)
        pane->view()->setParent(nullptr);
    }
    delete m_window.data();
  }
  delete m_address;
  delete m_popular;
}

QDialog* ZPHAddSiteWindowController::window()
{
  if (m_window == nullptr)
    windowDidLoad();
  return m_window;
}

QRect ZPHAddSiteWindowController::frameForContentSize(const QRect& windowFrame, int containerHeight,
                                                      const QSize& contentSize)
{
  const int width = contentSize.width();
  const int height = windowFrame.height() - containerHeight + contentSize.height();
  const int x = windowFrame.x() + windowFrame.width() / 2 - width / 2;
  return QRect(x, windowFrame.y(), width, height);
}

void ZPHAddSiteWindowController::makePanes()
{
  if (m_initialSubscribeRequest != nullptr) {
    m_address = new ZPHAddSiteAddressContentViewController(m_initialSubscribeRequest, m_searchImmediately);
  } else if (!m_initialURL.isEmpty()) {
    m_address = new ZPHAddSiteAddressContentViewController(std::make_shared<ZPHSubscribeRequest>(m_initialURL),
                                                           m_searchImmediately);
  } else {
    m_address = new ZPHAddSiteAddressContentViewController;
  }
  m_popular = new ZPHAddSitePopularSitesContentViewController(m_defaultFeedManager);
  for (ZPHAddSiteContentViewController* pane : {static_cast<ZPHAddSiteContentViewController*>(m_address),
                                                static_cast<ZPHAddSiteContentViewController*>(m_popular)}) {
    pane->setDelegate(this);
    connect(pane, &ZPHAddSiteContentViewController::allowsAddSitesChanged, this,
            &ZPHAddSiteWindowController::updateAddButton);
  }
}

void ZPHAddSiteWindowController::windowDidLoad()
{
  auto* dialog = new QDialog;
  dialog->setObjectName(QStringLiteral("AddSite"));
  dialog->setWindowTitle(tr("Add Site"));
  m_window = dialog;
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  m_toolbar = new ZPHSelectableToolbar(dialog);
  layout->addWidget(m_toolbar);
  m_contentContainerView = new QWidget(dialog);
  m_contentContainerView->setObjectName(QStringLiteral("contentContainer"));
  auto* container = new QVBoxLayout(m_contentContainerView);
  container->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_contentContainerView, 1);

  m_bottomControlsContainerView = new CBSolidColorView(dialog);
  auto* buttons = new QHBoxLayout(m_bottomControlsContainerView);
  buttons->setContentsMargins(12, 10, 12, 10);
  m_leftCancelButton = new QPushButton(tr("Cancel"), m_bottomControlsContainerView);
  m_leftCancelButton->setAutoDefault(false);
  m_addSiteButton = new QPushButton(tr("Add"), m_bottomControlsContainerView);
  m_addSiteButton->setObjectName(QStringLiteral("addSite"));
  m_addSiteButton->setDefault(true);
  buttons->addWidget(m_leftCancelButton);
  buttons->addStretch(1);
  buttons->addWidget(m_addSiteButton);
  layout->addWidget(m_bottomControlsContainerView);
  connect(m_leftCancelButton, &QPushButton::clicked, this, &ZPHAddSiteWindowController::cancel);
  connect(m_addSiteButton, &QPushButton::clicked, this, &ZPHAddSiteWindowController::addSitesAction);
  connect(dialog, &QDialog::rejected, this, &ZPHAddSiteWindowController::cancelCurrentSubscriber);
  connect(dialog, &QDialog::finished, this, [this] {
    if (m_finished)
      return;
    m_finished = true;
    if (m_address != nullptr)
      m_address->invalidate();
    if (m_popular != nullptr)
      m_popular->invalidate();
    Q_EMIT finished();
  });

  makePanes();
  m_toolbar->setDataSource(this);
  m_toolbar->setDelegate(this);
  m_toolbar->reloadData();
  m_toolbar->selectItemAtIndex(m_initialToolbarIndex);
  themeChanged();
  updateAddButton();
}

void ZPHAddSiteWindowController::themeChanged()
{
  if (m_window == nullptr)
    return;
  const QColor background = ZPHTheme::currentTheme()->addSiteOrFolderContainerBackgroundColor();
  m_bottomControlsContainerView->setBackgroundColor(background);
  QPalette colors = m_window->palette();
  colors.setColor(QPalette::Window, background);
  m_window->setPalette(colors);
}

ZPHAddSiteContentViewController* ZPHAddSiteWindowController::paneAtIndex(int index) const
{
  Q_ASSERT_X(index == 0 || index == 1, Q_FUNC_INFO, "invalid Content View Controller index");
  if (index == 0)
    return m_address;
  if (index == 1)
    return m_popular;
  return nullptr;
}

ZPHAddSiteContentViewController* ZPHAddSiteWindowController::currentContentViewController() const
{
  return m_shownPane;
}

QString ZPHAddSiteWindowController::titleForItemInToolbar(ZPHSelectableToolbar*, int index)
{
  ZPHAddSiteContentViewController* pane = paneAtIndex(index);
  const QString title = pane != nullptr ? pane->titleForToolbarItem() : QString();
  Q_ASSERT_X(!title.isEmpty(), Q_FUNC_INFO, "Should have title for add site content VC");
  return title;
}

QImage ZPHAddSiteWindowController::templateImageForItemInToolbar(ZPHSelectableToolbar*, int index)
{
  ZPHAddSiteContentViewController* pane = paneAtIndex(index);
  return pane != nullptr ? pane->templateImageForToolbarItem() : QImage();
}

void ZPHAddSiteWindowController::toolbarDidSelectItemAtIndex(ZPHSelectableToolbar*, int index)
{
  ZPHAddSiteContentViewController* pane = paneAtIndex(index);
  if (pane == nullptr || pane == m_shownPane)
    return;
  m_isAnimatingInNewView = true;
  pane->viewWillMeasureWithTargetSize(m_contentContainerView->size());
  QWidget* paneView = pane->view();
  if (m_shownPane != nullptr) {
    QWidget* old = m_shownPane->view();
    old->hide();
    m_contentContainerView->layout()->removeWidget(old);
    old->setParent(nullptr);
  }
  pane->viewWillAppear();
  m_shownPane = pane;
  paneView->setParent(m_contentContainerView);
  m_contentContainerView->layout()->addWidget(paneView);
  paneView->show();
  applyContentSize(pane->contentSize(), pane->allowsResizing());
  if (QWidget* key = pane->initialKeyView())
    key->setFocus();
  pane->viewDidAppear();
  m_isAnimatingInNewView = false;
  updateAddButton();
}

void ZPHAddSiteWindowController::applyContentSize(const QSize& size, bool resizable)
{
  Q_UNUSED(resizable);
  const QRect before = m_window->geometry();
  const int containerHeight = m_contentContainerView->height();
  m_contentContainerView->setFixedSize(size);
  m_window->layout()->activate();
  if (m_window->isVisible()) {
    // geometry() is inside the window manager's frame and move() places the
    // frame: only the change moves, or the title bar's height adds up with
    // every resize (the window walked down the screen as one typed).
    const QRect frame = frameForContentSize(before, containerHeight, size);
    m_window->move(m_window->pos() + (frame.topLeft() - before.topLeft()));
  }
}

void ZPHAddSiteWindowController::updateAddButton()
{
  if (m_addSiteButton != nullptr)
    m_addSiteButton->setEnabled(m_shownPane != nullptr && m_shownPane->allowsAddSites());
}

void ZPHAddSiteWindowController::addSitesAction()
{
  if (m_shownPane != nullptr && m_shownPane->allowsAddSites())
    m_shownPane->addSitesAction();
}

void ZPHAddSiteWindowController::cancel()
{
  cancelCurrentSubscriber();
  if (m_window != nullptr)
    m_window->reject();
}

void ZPHAddSiteWindowController::cancelCurrentSubscriber()
{
  if (std::shared_ptr<ZPHSubscriber> subscriber = std::exchange(m_currentSubscriber, nullptr))
    subscriber->cancel();
}

void ZPHAddSiteWindowController::makeAddSiteButtonFirstResponder()
{
  if (m_addSiteButton != nullptr)
    m_addSiteButton->setFocus();
}

void ZPHAddSiteWindowController::addSiteViewControllerDidFinishByAddingFeeds(ZPHAddSiteContentViewController*,
                                                                             const QList<CBFeed*>& feeds)
{
  if (!feeds.isEmpty())
    m_feedsAdded = feeds;
  if (m_window != nullptr)
    m_window->accept();
}

void ZPHAddSiteWindowController::addSiteViewControllerResizeToSize(ZPHAddSiteContentViewController* pane,
                                                                   const QSize& size, bool animate,
                                                                   std::function<void(bool)> completion)
{
  Q_UNUSED(animate);
  if (m_window == nullptr || m_isAnimatingInNewView || pane != m_shownPane)
    return;
  applyContentSize(size, pane->allowsResizing());
  if (completion)
    completion(true);
}

QList<ZPHFolderMenuItem> ZPHAddSiteWindowController::folderMenuForAddSiteViewController(
    ZPHAddSiteContentViewController*)
{
  return ZPHGenerateMenuOfAllModifiableFolders();
}

ZPHFolderTarget ZPHAddSiteWindowController::defaultFolderOrAccountForAddSiteViewController(
    ZPHAddSiteContentViewController*)
{
  ZPHFolderTarget target{CBDataAccount::localAccount(), nullptr};
  if (m_initialSubscribeRequest != nullptr && m_initialSubscribeRequest->parentFolder() != nullptr)
    target = {CBDataAccount::localAccount(), m_initialSubscribeRequest->parentFolder()};
  if (m_useCurrentlySelectedContainer && target.folder == nullptr) {
    const ZPHFolderTarget selected = ZPHTargetOfSelectedTreeNode();
    if (selected.isValid())
      target = selected;
  }
  return target;
}

void ZPHAddSiteWindowController::subscribeToSubscribeRequests(
    const ZPHSubscribeRequests& requests, std::function<void(const QList<CBFeed*>& feeds)> completion)
{
  if (requests.isEmpty())
    return;
  ZPHSubscribeRequests copies;
  for (const std::shared_ptr<ZPHSubscribeRequest>& request : requests) {
    std::shared_ptr<ZPHSubscribeRequest> copy = request->copy();
    if (copy->account() == nullptr)
      copy->setAccount(CBDataAccount::localAccount());
    copies.append(copy);
  }
  cancelCurrentSubscriber();
  QPointer<ZPHAddSiteWindowController> self(this);
  std::shared_ptr<ZPHSubscriber> subscriber = ZPHSubscriber::subscriberUsingSubscriptionRequests(
      copies, [self, completion](const QList<CBFeed*>& feeds, const ZPHFeedSubscriptionResults& failures) {
        if (self == nullptr)
          return;
        if (!failures.isEmpty() && self->m_window != nullptr) {
          ZPHAddSitesSubscriptionErrorViewController::presentSubscriptionErrorsForSubscribeResults(
              failures, self->m_window, [self, completion, feeds] {
                if (self == nullptr)
                  return;
                self->m_currentSubscriber.reset();
                if (completion)
                  completion(feeds);
              });
          return;
        }
        self->m_currentSubscriber.reset();
        if (completion)
          completion(feeds);
      });
  m_currentSubscriber = subscriber;
  subscriber->subscribe();
}

QWidget* ZPHAddSiteWindowController::addSiteWindow() { return window(); }
