#include "subscriptions/ZPHAddSiteAddressContentViewController.h"

#include "kit/CBSolidColorView.h"
#include "kit/ZPHBottomBorderView.h"
#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "kit/ZPHInnerGlowClipView.h"
#include "kit/ZPHNamedImage.h"
#include "kit/ZPHPlainTextToolTip.h"
#include "store/accounts/CBDataAccount.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHURLAdditions.h"
#include "subscriptions/ZPHAddSiteAddressSubscriptionListViewController.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHAddSitesSubscriptionErrorViewController.h"
#include "subscriptions/ZPHSubscriptionsLog.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

std::function<void()> g_cancelCurrentCredentialsRequest;

constexpr int MinimumTextHeight = 28;
constexpr int MaximumTextHeight = 250;
constexpr int ErrorRowHeight = 16;

}  // namespace

ZPHAddSiteAddressContentViewController::StateLayout ZPHAddSiteAddressContentViewController::layoutForState(int state)
{
  switch (state) {
    case 1:
      return {true, true, false, false, false};
    case 2:
      return {true, false, false, true, false};
    case 3:
      return {true, true, true, false, false};
    case 4:
      return {true, false, true, true, false};
    case 5:
    case 6:
      return {false, false, false, false, true};
    default:
      return {};
  }
}

bool ZPHAddSiteAddressContentViewController::allowsAddSitesInState(int state, const QString& address,
                                                                   bool listHasCheckedRequest)
{
  switch (state) {
    case 1:
    case 3:
      return !address.trimmed().isEmpty();
    case 5:
      return listHasCheckedRequest;
    default:
      return false;
  }
}

void ZPHAddSiteAddressContentViewController::setCancelCurrentCredentialsRequest(std::function<void()> cancel)
{
  g_cancelCurrentCredentialsRequest = std::move(cancel);
}

QString ZPHAddSiteAddressContentViewController::generalFeedFinderErrorString()
{
  return tr("There was a problem accessing the site.");
}

QString ZPHAddSiteAddressContentViewController::invalidAddressErrorString()
{
  return tr("The site address you entered is not valid.");
}

ZPHAddSiteAddressContentViewController::ZPHAddSiteAddressContentViewController(QObject* parent)
    : ZPHAddSiteContentViewController(parent)
{
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); },
      ZPHNotificationCenter::Delivery::MainThread);
  m_list = new ZPHAddSiteAddressSubscriptionListViewController(this);
  connect(m_list, &ZPHAddSiteAddressSubscriptionListViewController::hasValidRequestsToSubscribeChanged, this,
          &ZPHAddSiteContentViewController::allowsAddSitesChanged);
}

ZPHAddSiteAddressContentViewController::ZPHAddSiteAddressContentViewController(
    std::shared_ptr<ZPHSubscribeRequest> request, bool searchImmediately, QObject* parent)
    : ZPHAddSiteAddressContentViewController(parent)
{
  m_initialSubscribeRequest = std::move(request);
  m_searchImmediately = searchImmediately;
  if (m_initialSubscribeRequest == nullptr)
    return;
  m_viewWillMeasureBlock = [this](const QSize&) {
    view();
    setSiteURLString(m_initialSubscribeRequest->feedURL().toString(QUrl::FullyEncoded));
  };
  m_viewDidAppearBlock = [this] {
    if (m_searchImmediately)
      startFindingFeeds();
    else if (!m_siteURLString.isEmpty())
      m_urlStringTextView->selectAll();
  };
}

ZPHAddSiteAddressContentViewController::~ZPHAddSiteAddressContentViewController()
{
  invalidate();
  delete m_view.data();
}

QString ZPHAddSiteAddressContentViewController::titleForToolbarItem() const { return tr("Address"); }

QImage ZPHAddSiteAddressContentViewController::templateImageForToolbarItem() const
{
  return ZPHNamedImage(QStringLiteral("AddressToolbarTemplate"));
}

QWidget* ZPHAddSiteAddressContentViewController::view()
{
  if (m_view == nullptr)
    loadView();
  return m_view;
}

void ZPHAddSiteAddressContentViewController::loadView()
{
  auto* root = new CBSolidColorView;
  root->setObjectName(QStringLiteral("addressPane"));
  m_view = root;
  auto* layout = new QVBoxLayout(root);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  m_bottomBorderView = new ZPHBottomBorderView(root);
  auto* textRow = new QHBoxLayout(m_bottomBorderView);
  textRow->setContentsMargins(0, 0, 8, 1);
  textRow->setSpacing(4);
  m_urlStringTextView = ZPHAddSiteOrFolderTextView::makeInBackdrop(m_bottomBorderView, &m_textBackdrop);
  m_urlStringTextView->setObjectName(QStringLiteral("address"));
  m_urlStringTextView->setRefusesLineBreaks(true);
  m_urlStringTextView->setCustomPlaceholderString(tr("Web site address, such as \u201cwww.example.com\u201d"));
  textRow->addWidget(m_textBackdrop, 1);
  m_progressIndicatorView = new ZPHIndeterminateProgressIndicator(m_bottomBorderView);
  m_progressIndicatorView->setFixedSize(16, 16);
  m_progressIndicatorView->hide();
  textRow->addWidget(m_progressIndicatorView, 0, Qt::AlignVCenter);
  layout->addWidget(m_bottomBorderView);

  m_errorContainerView = new QWidget(root);
  auto* errorRow = new QHBoxLayout(m_errorContainerView);
  errorRow->setContentsMargins(8, 12, 8, 6);
  errorRow->setSpacing(12);
  errorRow->addStretch(1);
  m_errorImageView = new QLabel(m_errorContainerView);
  m_errorImageView->setPixmap(QPixmap::fromImage(ZPHNamedImage(QStringLiteral("Error"))));
  errorRow->addWidget(m_errorImageView);
  m_errorStringTextField = new QLabel(m_errorContainerView);
  m_errorStringTextField->setObjectName(QStringLiteral("error"));
  m_errorStringTextField->setTextFormat(Qt::PlainText);
  m_errorStringTextField->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont errorFont = m_errorStringTextField->font();
  errorFont.setPixelSize(12);
  m_errorStringTextField->setFont(errorFont);
  errorRow->addWidget(m_errorStringTextField);
  errorRow->addStretch(1);
  m_errorContainerView->hide();
  layout->addWidget(m_errorContainerView);

  QWidget* list = m_list->view();
  list->setParent(root);
  list->hide();
  layout->addWidget(list, 1);
  layout->addStretch(0);

  connect(m_urlStringTextView, &QPlainTextEdit::textChanged, this,
          &ZPHAddSiteAddressContentViewController::textDidChange);
  connect(m_urlStringTextView, &ZPHAddSiteOrFolderTextView::returnPressed, this, [this] {
    if (allowsAddSites())
      addSitesAction();
    else
      QApplication::beep();
  });
  themeChanged();
  configureForState(1, true);
}

void ZPHAddSiteAddressContentViewController::themeChanged()
{
  if (m_view == nullptr)
    return;
  ZPHTheme* theme = ZPHTheme::currentTheme();
  m_view->setBackgroundColor(theme->addSiteOrFolderContainerBackgroundColor());
  m_bottomBorderView->setBorderColor(theme->addSiteOrFolderBorderColor());
  m_bottomBorderView->setBorderHeight(1.0);
  m_textBackdrop->setInnerGlowColor(theme->addSiteOrFolderTextViewBlueGlowColor());
  QPalette colors = m_errorStringTextField->palette();
  colors.setColor(QPalette::WindowText, theme->addSiteErrorTextColor());
  m_errorStringTextField->setPalette(colors);
  m_view->update();
}

void ZPHAddSiteAddressContentViewController::setSiteURLString(const QString& address)
{
  view();
  if (m_urlStringTextView->toPlainText() != address)
    m_urlStringTextView->setPlainText(address);
  m_siteURLString = address;
}

bool ZPHAddSiteAddressContentViewController::allowsAddSites() const
{
  return allowsAddSitesInState(m_state, m_siteURLString, m_list->hasValidRequestsToSubscribe());
}

QWidget* ZPHAddSiteAddressContentViewController::initialKeyView()
{
  return m_urlStringTextView != nullptr && m_textBackdrop->isVisibleTo(m_view) ? m_urlStringTextView : nullptr;
}

// ------------------------------------------------------------------ states

void ZPHAddSiteAddressContentViewController::configureForState(int state, bool force)
{
  view();
  if (state == m_state && !force)
    return;
  const int previous = m_state;
  m_state = state;
  const bool keepsListLayout = (previous == 5 && state == 6) || (previous == 6 && state == 5);
  if (!keepsListLayout) {
    const StateLayout layout = layoutForState(state);
    m_bottomBorderView->setVisible(layout.textShown);
    m_urlStringTextView->setReadOnly(!layout.textEditable);
    m_urlStringTextView->viewport()->update();
    m_errorContainerView->setVisible(layout.errorShown);
    m_progressIndicatorView->setVisible(layout.spinnerShown);
    if (layout.spinnerShown)
      m_progressIndicatorView->startProgressAnimation();
    else
      m_progressIndicatorView->stopProgressAnimation();
    m_list->view()->setVisible(layout.listShown);
    if (layout.textShown && layout.textEditable)
      m_urlStringTextView->setFocus();
  }
  Q_EMIT allowsAddSitesChanged();
}

int ZPHAddSiteAddressContentViewController::idealTextHeight() const
{
  return std::clamp(m_urlStringTextView->textHeightForWidth(TextWidth), MinimumTextHeight, MaximumTextHeight);
}

QSize ZPHAddSiteAddressContentViewController::idealContentSizeForState(int state) const
{
  const StateLayout layout = layoutForState(state);
  QSize size(0, 0);
  if (layout.textShown) {
    size.rheight() += idealTextHeight() + 1;
    size.setWidth(TextWidth);
  }
  if (layout.errorShown) {
    const int rowHeight = std::max(ErrorRowHeight, m_errorStringTextField->sizeHint().height());
    size.rheight() += rowHeight + 18;
    size.setWidth(std::max(size.width(), std::min(ListWidth + 120, m_errorStringTextField->sizeHint().width() + 60)));
  }
  if (layout.listShown) {
    size.setWidth(ListWidth);
    size.rheight() += m_list->fittingHeight() + 1;
  }
  return size;
}

QSize ZPHAddSiteAddressContentViewController::contentSize()
{
  view();
  return idealContentSizeForState(m_state);
}

// ------------------------------------------------------------------ typing

void ZPHAddSiteAddressContentViewController::textDidChange()
{
  m_siteURLString = m_urlStringTextView->toPlainText();
  Q_EMIT allowsAddSitesChanged();
  if (delegate() != nullptr && m_view != nullptr && m_view->isVisible())
    delegate()->addSiteViewControllerResizeToSize(this, contentSize(), true, [](bool) {});
}

// ------------------------------------------------------------- appearance

void ZPHAddSiteAddressContentViewController::viewWillMeasureWithTargetSize(const QSize& size)
{
  if (std::function<void(const QSize&)> block = std::exchange(m_viewWillMeasureBlock, nullptr))
    block(QSize(m_state == 5 ? ListWidth : TextWidth, size.height()));
}

void ZPHAddSiteAddressContentViewController::viewWillAppear() { view(); }

void ZPHAddSiteAddressContentViewController::viewDidAppear()
{
  installEscapeMonitor();
  if (std::function<void()> block = std::exchange(m_viewDidAppearBlock, nullptr))
    block();
}

void ZPHAddSiteAddressContentViewController::invalidate()
{
  clearFeedFinder();
  removeEscapeMonitor();
}

void ZPHAddSiteAddressContentViewController::installEscapeMonitor()
{
  if (m_escapeMonitorInstalled || QCoreApplication::instance() == nullptr)
    return;
  QCoreApplication::instance()->installEventFilter(this);
  m_escapeMonitorInstalled = true;
}

void ZPHAddSiteAddressContentViewController::removeEscapeMonitor()
{
  if (!m_escapeMonitorInstalled)
    return;
  if (QCoreApplication::instance() != nullptr)
    QCoreApplication::instance()->removeEventFilter(this);
  m_escapeMonitorInstalled = false;
}

bool ZPHAddSiteAddressContentViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape || m_view == nullptr)
    return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  QWidget* window = m_view->window();
  if (widget == nullptr || widget->window() != window || !window->isActiveWindow())
    return false;
  if (m_state == 2) {
    cancelFindingFeeds();
    return true;
  }
  if (m_state == 6) {
    QDialog* sheet = ZPHAddSitesSubscriptionErrorViewController::currentSheet();
    if (sheet == nullptr || !sheet->isVisible() || sheet->parentWidget() != window) {
      cancelAddingFeeds();
      return true;
    }
  }
  return false;
}

// ------------------------------------------------------------------ adding

void ZPHAddSiteAddressContentViewController::addSitesAction()
{
  if (m_state == 1 || m_state == 3) {
    startFindingFeeds();
    return;
  }
  if (m_state != 5 || !m_list->hasValidRequestsToSubscribe())
    return;
  if (QWidget* window = m_view->window())
    window->setFocus();
  configureForState(6, false);
  QPointer<ZPHAddSiteAddressContentViewController> self(this);
  m_list->subscribeWithCompletionHandler([self](const QList<CBFeed*>& feeds) {
    if (self == nullptr)
      return;
    if (feeds.isEmpty()) {
      self->cancelAddingFeeds();
      return;
    }
    if (self->delegate() != nullptr)
      self->delegate()->addSiteViewControllerDidFinishByAddingFeeds(self, feeds);
  });
}

void ZPHAddSiteAddressContentViewController::cancelAddingFeeds()
{
  configureForState(5, false);
  if (delegate() != nullptr) {
    delegate()->cancelCurrentSubscriber();
    delegate()->makeAddSiteButtonFirstResponder();
  }
}

// ------------------------------------------------------------ finding feeds

void ZPHAddSiteAddressContentViewController::startFindingFeeds()
{
  if ((m_state != 1 && m_state != 3) || m_siteURLString.trimmed().isEmpty())
    return;
  const QUrl url = zph_cleanedUpURLWithUserInputString(m_siteURLString.trimmed());
  if (!url.isValid() || url.isEmpty() || !zph_urlIsHTTPOrHTTPS(url) || url.host().isEmpty()) {
    configureForErrorWithErrorString(invalidAddressErrorString());
    return;
  }
  QString address = url.toString(QUrl::FullyEncoded);
  while (address.startsWith(QLatin1Char('/'))) address.remove(0, 1);
  while (address.endsWith(QLatin1Char('/'))) address.chop(1);
  setSiteURLString(address);
  configureForState(m_state == 3 ? 4 : 2, false);

  m_feedFinder = ZPHFeedFinder::finderWithURL(url, this);
  if (m_feedFinderTimer == nullptr) {
    m_feedFinderTimer = new QTimer(this);
    m_feedFinderTimer->setSingleShot(true);
    connect(m_feedFinderTimer, &QTimer::timeout, this, &ZPHAddSiteAddressContentViewController::feedFinderTimedOut);
  }
  m_feedFinderTimer->start(m_feedFinderTimeoutMs);
  if (QWidget* window = m_view->window())
    window->setFocus();
  const std::shared_ptr<ZPHFeedFinder> finder = m_feedFinder;
  if (!finder->findFeed())
    feedFinderDidFailWithError(finder.get(), ZPHError());
}

void ZPHAddSiteAddressContentViewController::feedFinderTimedOut()
{
  qCInfo(zphSubscriptions) << "the search for feeds took too long";
  clearFeedFinder();
  configureForErrorWithErrorString(generalFeedFinderErrorString());
}

void ZPHAddSiteAddressContentViewController::clearFeedFinder()
{
  if (g_cancelCurrentCredentialsRequest && m_feedFinder != nullptr)
    g_cancelCurrentCredentialsRequest();
  if (m_feedFinderTimer != nullptr)
    m_feedFinderTimer->stop();
  if (std::shared_ptr<ZPHFeedFinder> finder = std::exchange(m_feedFinder, nullptr)) {
    finder->cancel();
    finder->setDelegate(nullptr);
  }
}

void ZPHAddSiteAddressContentViewController::cancelFindingFeeds()
{
  clearFeedFinder();
  configureForState(1, false);
}

void ZPHAddSiteAddressContentViewController::feedFinderDidFailWithError(ZPHFeedFinder* finder, const ZPHError& error)
{
  if (finder != m_feedFinder.get())
    return;
  QString text = error.isNull() ? QString() : error.localizedDescription();
  text.replace(ZPHFeedFinderFeedNameUncapitalizedPlaceholder, tr("this site"));
  text.replace(ZPHFeedFinderFeedNameCaptializedPlaceholder, tr("This site"));
  if (text.isEmpty())
    text = generalFeedFinderErrorString();
  clearFeedFinder();
  configureForErrorWithErrorString(text);
}

void ZPHAddSiteAddressContentViewController::configureForErrorWithErrorString(const QString& error)
{
  Q_ASSERT(!error.isEmpty());
  QApplication::beep();
  m_errorString = error;
  m_errorStringTextField->setText(error);
  m_errorStringTextField->setToolTip(ZPHPlainTextToolTip(error));
  configureForState(3, false);
  if (delegate() != nullptr)
    delegate()->addSiteViewControllerResizeToSize(this, idealContentSizeForState(3), true, [](bool) {});
}

ZPHSubscribeRequests ZPHAddSiteAddressContentViewController::subscribeRequestsForResults(
    const QList<ZPHFeedResult>& results) const
{
  qint64 index = ZPHSubscribeRequest::AppendIndex;
  if (m_initialSubscribeRequest != nullptr)
    index = m_initialSubscribeRequest->targetIndexInParentFolder();
  const ZPHFolderTarget target = delegate() != nullptr ? delegate()->defaultFolderOrAccountForAddSiteViewController(
                                                             const_cast<ZPHAddSiteAddressContentViewController*>(this))
                                                       : ZPHFolderTarget{CBDataAccount::localAccount(), nullptr};
  ZPHSubscribeRequests requests;
  for (const ZPHFeedResult& result : results) {
    auto request = std::make_shared<ZPHSubscribeRequest>(result.URL());
    request->setTitle(result.foundTitle().isEmpty() ? result.URL().host() : result.foundTitle());
    if (target.folder != nullptr) {
      request->setAccount(CBDataAccount::localAccount());
      request->setParentFolder(target.folder);
    } else {
      request->setAccount(target.account);
    }
    if (m_initialSubscribeRequest != nullptr && m_initialSubscribeRequest->markAsFavorite())
      request->setMarkAsFavorite(true);
    if (index != ZPHSubscribeRequest::AppendIndex)
      request->setTargetIndexInParentFolder(index++);
    requests.append(request);
  }
  return requests;
}

void ZPHAddSiteAddressContentViewController::feedFinderDidFindFeedsWithResults(ZPHFeedFinder* finder,
                                                                               const QList<ZPHFeedResult>& results)
{
  if (finder != m_feedFinder.get())
    return;
  const std::optional<ZPHFeedResult> base = finder->baseSiteURLAndTitle();
  clearFeedFinder();
  if (m_view == nullptr || !m_view->isVisible() || results.isEmpty())
    return;
  QString title = base.has_value() ? base->foundTitle() : QString();
  if (results.size() > 1 && title.isEmpty())
    title = results.constLast().URL().host();
  if (delegate() != nullptr) {
    m_list->setFolderMenu(delegate()->folderMenuForAddSiteViewController(this));
    m_list->setDefaultFolderOrAccount(delegate()->defaultFolderOrAccountForAddSiteViewController(this));
    m_list->setSubscriber(delegate());
  }
  m_list->setCategoryTitle(title);
  m_list->setAllSubscribeRequests(subscribeRequestsForResults(results));
  configureForState(5, false);
  if (delegate() != nullptr) {
    QPointer<ZPHAddSiteAddressContentViewController> self(this);
    const bool one = results.size() == 1;
    delegate()->addSiteViewControllerResizeToSize(this, idealContentSizeForState(5), true, [self, one](bool) {
      if (self == nullptr || self->delegate() == nullptr)
        return;
      if (one && self->m_list->hasValidRequestsToSubscribe())
        self->delegate()->makeAddSiteButtonFirstResponder();
    });
  }
}
