#include "articlelist/ZPHEmptyContentsViewController.h"

#include "articlelist/ZPHEmptyLinenBackgroundView.h"
#include "common/ZPHAppServices.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHElidingLabel.h"
#include "kit/ZPHImageAdditions.h"
#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHSimpleColorView.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/tree/ZPHModel.h"
#include "themes/ZPHEmptyContentsViewButton.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QEvent>
#include <QtGui/QAction>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include <cmath>

const QString ZPHEmptyContentsViewController::ShowNoArticleSelectedTextKey =
    QStringLiteral("showNoArticlerSelectedText");
const QString ZPHEmptyContentsViewController::FirstLineKey = QStringLiteral("firstLine");
const QString ZPHEmptyContentsViewController::SecondLineKey = QStringLiteral("secondLine");
const QString ZPHEmptyContentsViewController::ButtonTextKey = QStringLiteral("buttonText");

namespace {

constexpr int ImageTextVerticalPadding = 26;
constexpr int TextFieldVerticalPadding = 10;
constexpr int ButtonVerticalPadding = 15;
constexpr int SecondaryTextFieldFittingWidth = 350;

bool hideReadArticles() { return CBPrefsGetBool(ZPHHideReadArticles); }

}  // namespace

ZPHEmptyContentsViewController::ZPHEmptyContentsViewController(QObject* parent) : QObject(parent)
{
  ZPHUserDefaults::standardUserDefaults().registerDefaults({{ShowNoArticleSelectedTextKey, false}});
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  m_themeObserver = center.addObserver(ZPHThemeChangedNotification, QVariant(), this,
                                       [this](const ZPHNotification&) { updateForChangedTheme(); });
  m_windowObserver = center.addObserver(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, QVariant(), this,
                                        [this](const ZPHNotification& notification) {
                                          if (m_view == nullptr || m_view->window() == m_view)
                                            return;
                                          if (notification.object.value<QObject*>() == m_view->window())
                                            updateForWindowStateChange();
                                        });
}

ZPHEmptyContentsViewController::~ZPHEmptyContentsViewController()
{
  setMostRecentFeed(nullptr);
  if (m_view != nullptr)
    m_view->removeEventFilter(this);
  delete m_view.data();
}

// MARK: - Entry operations

void ZPHEmptyContentsViewController::configureForNoArticlesWithGlobalFeed(const CBGlobalFeed* globalFeed)
{
  if (globalFeed == nullptr)
    return;
  switch (globalFeed->globalFeedType()) {
    case CBGlobalFeedTypeAllUnread:
      configureForState(ZPHEmptyContentsViewControllerStateNoUnreadArticles, nullptr, false);
      return;
    case CBGlobalFeedTypeToday:
      configureForState(ZPHEmptyContentsViewControllerStateNoArticlesToday, nullptr, false);
      return;
    case CBGlobalFeedTypeFlagged:
      configureForState(ZPHEmptyContentsViewControllerStateNoBookmarks, nullptr, false);
      return;
    default:
      qCWarning(zphInterface) << "no empty view for a smart feed of type" << globalFeed->globalFeedType();
      return;
  }
}

void ZPHEmptyContentsViewController::configureForNoFeedsInFavoriteFeeds()
{
  configureForState(ZPHEmptyContentsViewControllerStateNoFavoriteFeeds, nullptr, false);
}

void ZPHEmptyContentsViewController::configureForNoArticlesInFavoriteFeeds()
{
  configureForState(ZPHEmptyContentsViewControllerStateNoFavoriteArticles, nullptr, false);
}

void ZPHEmptyContentsViewController::configureForNoArticlesSelectedWithFolder(const CBFolder* folder)
{
  const bool hasFeeds = folder != nullptr && !folder->allDescendantsThatAreFeeds().isEmpty();
  configureForState(
      hasFeeds ? ZPHEmptyContentsViewControllerStateNoArticlesInFolder : ZPHEmptyContentsViewControllerStateEmptyFolder,
      nullptr, false);
}

void ZPHEmptyContentsViewController::configureForNoArticleSelectedWithFeed(CBFeed* feed)
{
  configureForState(ZPHEmptyContentsViewControllerStateNoArticleSelected, feed, false);
}

void ZPHEmptyContentsViewController::configureForNoSelection()
{
  const ZPHModel* model = ZPHModel::sharedModel();
  const bool hasFeeds = model != nullptr && model->hasFeedsOtherThanGlobalFeeds();
  configureForState(
      hasFeeds ? ZPHEmptyContentsViewControllerStateNoSelection : ZPHEmptyContentsViewControllerStateNoFeeds, nullptr,
      false);
}

void ZPHEmptyContentsViewController::configureForSearchResultsForQuery(const QString& query)
{
  m_primaryStringFormatValue = query;
  configureForState(ZPHEmptyContentsViewControllerStateSearchResults, nullptr, true);
}

void ZPHEmptyContentsViewController::configureForEmptySearchResults()
{
  configureForState(ZPHEmptyContentsViewControllerStateNoSearchResults, nullptr, false);
}

void ZPHEmptyContentsViewController::configureForNoArticlesWithFeed(CBFeed* feed)
{
  const bool failed = !errorForFeedFolderOrGlobalFeed(feed).isNull();
  configureForState(
      failed ? ZPHEmptyContentsViewControllerStateFeedError : ZPHEmptyContentsViewControllerStateNoArticlesInFeed, feed,
      false);
}

ZPHError ZPHEmptyContentsViewController::errorForFeedFolderOrGlobalFeed(const CBFeed* feed)
{
  return feed != nullptr ? feed->lastFeedRefreshError() : ZPHError();
}

// MARK: - The common path

void ZPHEmptyContentsViewController::configureForState(State state, CBFeed* feed, bool force)
{
  if (state <= ZPHEmptyContentsViewControllerStateNotSet || state > ZPHEmptyContentsViewControllerStateFeedError) {
    qCWarning(zphInterface) << "Invalid parameter not satisfying: state != ZPHEmptyContentsViewControllerStateNotSet"
                            << state;
    return;
  }
  const bool isErrorState = state == ZPHEmptyContentsViewControllerStateFeedError;
  const ZPHError error = isErrorState ? errorForFeedFolderOrGlobalFeed(feed) : ZPHError();
  const int mode = isErrorState ? 1 : 0;

  // The texts follow settings too (hide read): a state shown again with
  // other texts is shown anew.
  const QVariantMap texts = textDictionaryForState(state, error);
  if (!force && feed == m_feed && error == m_error && error.recoveryAttempter() == m_error.recoveryAttempter() &&
      state == m_state && texts == m_texts) {
    setMostRecentFeed(feed);
    updateButtonEnabled();
    return;
  }
  m_state = state;
  m_error = error;
  m_texts = texts;
  m_currentTabThumbnailImage.reset();

  if (m_viewHasLoaded) {
    updateImageForState(state);
    QString firstLine = texts.value(FirstLineKey).toString();
    if (firstLine.contains(QStringLiteral("%1")))
      firstLine = firstLine.arg(m_primaryStringFormatValue);
    firstLine = firstLine.toUpper();
    const QString secondLine = texts.value(SecondLineKey).toString();
    const QString buttonText = texts.value(ButtonTextKey).toString();

    m_primaryTextField->setText(firstLine);
    m_secondaryTextField->setText(secondLine);
    m_button->setText(buttonText);

    // The button does what it shows.
    if (buttonText.isEmpty())
      m_buttonAction = ButtonAction::None;
    else if (state == ZPHEmptyContentsViewControllerStateNoFeeds)
      m_buttonAction = ButtonAction::AddSites;
    else if (isErrorState && texts.value(SecondLineKey).isValid())
      m_buttonAction = ButtonAction::RecoverFromError;
    else
      m_buttonAction = ButtonAction::ToggleHideReadArticles;

    const bool hasHeadline = !firstLine.isEmpty();
    const bool hasExplanation = !secondLine.isEmpty();
    const bool hasImage = !m_imageView->pixmap().isNull();
    int layoutMode = 0;
    if (hasHeadline && hasExplanation && hasImage)
      layoutMode = 4;
    else if (hasHeadline && hasImage && !hasExplanation)
      layoutMode = 3;
    else if (hasImage && !hasHeadline && !hasExplanation)
      layoutMode = 2;
    else if (hasHeadline && !hasImage && !hasExplanation)
      layoutMode = 1;

    configureSecondaryTextFieldSettingsForMode(mode);
    if (layoutMode != 0) {
      configureConstraintsForLayoutMode(layoutMode);
      m_secondaryTextField->setVisible(hasExplanation && layoutMode == 4);
      if (hasExplanation)
        configureSecondaryTextFieldSizing();
      m_button->setVisible(!buttonText.isEmpty() && layoutMode >= 3);
    }
    updateButtonEnabled();
  }
  setMostRecentFeed(feed);
}

QVariantMap ZPHEmptyContentsViewController::textDictionaryForState(State state, const ZPHError& error)
{
  const bool hideRead = hideReadArticles();
  const QString showRead = tr("Show Read Articles");
  switch (state) {
    case ZPHEmptyContentsViewControllerStateNotSet:
      return {};
    case ZPHEmptyContentsViewControllerStateNoUnreadArticles:
      return {{FirstLineKey, tr("No Unread Articles")}};
    case ZPHEmptyContentsViewControllerStateNoArticlesToday:
      if (hideRead)
        return {{FirstLineKey, tr("No Unread Articles Today")}, {ButtonTextKey, showRead}};
      return {{FirstLineKey, tr("No Articles Today")}};
    case ZPHEmptyContentsViewControllerStateNoBookmarks:
      return {{FirstLineKey, tr("No Bookmarks")}};
    case ZPHEmptyContentsViewControllerStateNoFavoriteFeeds:
      return {{FirstLineKey, tr("No Favorite Sites")},
              {SecondLineKey, tr("Drag any site into Favorites to add it as a favorite.")}};
    case ZPHEmptyContentsViewControllerStateNoFavoriteArticles:
      if (hideRead)
        return {{FirstLineKey, tr("No Unread Favorite Articles")}, {ButtonTextKey, showRead}};
      return {{FirstLineKey, tr("No  Favorite Articles")}};
    case ZPHEmptyContentsViewControllerStateEmptyFolder:
      return {{FirstLineKey, tr("Empty Folder")}, {SecondLineKey, tr("Move sites to this folder to read articles.")}};
    case ZPHEmptyContentsViewControllerStateNoArticlesInFolder:
      return {{FirstLineKey, tr("No Unread Articles")}};
    case ZPHEmptyContentsViewControllerStateNoArticleSelected:
      if (ZPHUserDefaults::standardUserDefaults().boolForKey(ShowNoArticleSelectedTextKey))
        return {{FirstLineKey, tr("No Article Selected")}};
      return {};
    case ZPHEmptyContentsViewControllerStateNoSelection:
      return {};
    case ZPHEmptyContentsViewControllerStateNoFeeds:
      return {{FirstLineKey, tr("No Sites")}, {ButtonTextKey, tr("Add Some Sites")}};
    case ZPHEmptyContentsViewControllerStateSearchResults:
      return {{FirstLineKey, tr("Results For \"%1\"")}};
    case ZPHEmptyContentsViewControllerStateNoSearchResults:
      return {{FirstLineKey, tr("No Search Results")}};
    case ZPHEmptyContentsViewControllerStateFeedError: {
      const QString description = error.isNull() ? QString() : error.localizedDescription();
      const QString suggestion = error.isNull() ? QString() : error.localizedRecoverySuggestion();
      if (!description.isEmpty() && !suggestion.isEmpty()) {
        QVariantMap texts{{FirstLineKey, description}, {SecondLineKey, suggestion}};
        // The last recovery option is the button; without options, or
        // without anyone to carry them out, there is no button.
        const QStringList options = error.localizedRecoveryOptions();
        if (!options.isEmpty() && !options.constLast().isEmpty() && error.recoveryAttempter() != nullptr)
          texts.insert(ButtonTextKey, options.constLast());
        return texts;
      }
      return textDictionaryForState(ZPHEmptyContentsViewControllerStateNoArticlesInFeed, ZPHError());
    }
    case ZPHEmptyContentsViewControllerStateNoArticlesInFeed:
      if (hideRead)
        return {{FirstLineKey, tr("No Unread Articles")}, {ButtonTextKey, showRead}};
      return {{FirstLineKey, tr("No Articles")}};
  }
  return {};
}

QString ZPHEmptyContentsViewController::imageNameForState(State state)
{
  switch (state) {
    case ZPHEmptyContentsViewControllerStateNoUnreadArticles:
      return QStringLiteral("emptyUnread");
    case ZPHEmptyContentsViewControllerStateNoArticlesToday:
      return QStringLiteral("emptyToday");
    case ZPHEmptyContentsViewControllerStateNoBookmarks:
      return QStringLiteral("emptyBookmarks");
    case ZPHEmptyContentsViewControllerStateNoFavoriteFeeds:
    case ZPHEmptyContentsViewControllerStateNoFavoriteArticles:
      return QStringLiteral("emptyFavorites");
    case ZPHEmptyContentsViewControllerStateEmptyFolder:
      return QStringLiteral("emptyFolder");
    case ZPHEmptyContentsViewControllerStateNoArticlesInFolder:
    case ZPHEmptyContentsViewControllerStateNoArticleSelected:
    case ZPHEmptyContentsViewControllerStateNoArticlesInFeed:
      return QStringLiteral("emptyNoArticles");
    case ZPHEmptyContentsViewControllerStateNoSelection:
    case ZPHEmptyContentsViewControllerStateNoFeeds:
      return QStringLiteral("emptyAll");
    case ZPHEmptyContentsViewControllerStateSearchResults:
    case ZPHEmptyContentsViewControllerStateNoSearchResults:
      return QStringLiteral("emptySearch");
    case ZPHEmptyContentsViewControllerStateFeedError:
      return QStringLiteral("emptyError");
    case ZPHEmptyContentsViewControllerStateNotSet:
      break;
  }
  return QString();
}

QString ZPHEmptyContentsViewController::tabThumbnailImageNameForState(State state)
{
  const QString glyph = imageNameForState(state);
  if (glyph.isEmpty())
    return QString();
  // "emptyUnread" -> "emptyThumbUnread"
  return QStringLiteral("emptyThumb") + glyph.mid(5);
}

QImage ZPHEmptyContentsViewController::imageForState(State state, bool windowIsActive)
{
  const QString name = imageNameForState(state);
  if (name.isEmpty())
    return QImage();
  const QString imageName = windowIsActive ? name : name + QStringLiteral("Inactive");
  const QImage image = ZPHTheme::currentTheme()->imageNamed(imageName);
  if (image.isNull())
    qCWarning(zphInterface) << "should have empty glyph image:" << imageName;
  return image;
}

QIcon ZPHEmptyContentsViewController::tabThumbnailImageForState(State state)
{
  const QString name = tabThumbnailImageNameForState(state);
  const QImage glyph = name.isEmpty() ? QImage() : ZPHTheme::currentTheme()->imageNamed(name);
  if (glyph.isNull())
    qCWarning(zphInterface) << "should have empty thumbnail inner image:" << name;
  return zph_imageByDrawingBothRepresentationsWithSize(TabThumbnailSize, [&glyph](QPainter& painter) {
    if (glyph.isNull())
      return;
    const QSizeF size = QSizeF(glyph.size()) / glyph.devicePixelRatio();
    // Centred on whole points, two points below the middle.
    const QRectF frame(std::round((TabThumbnailSize.width() - size.width()) / 2),
                       std::round((TabThumbnailSize.height() - size.height()) / 2) + 2, size.width(), size.height());
    painter.drawImage(frame, glyph);
  });
}

QIcon ZPHEmptyContentsViewController::tabThumbnailImageForCurrentState()
{
  if (!m_currentTabThumbnailImage.has_value())
    m_currentTabThumbnailImage = tabThumbnailImageForState(m_state);
  return *m_currentTabThumbnailImage;
}

// MARK: - The view

QWidget* ZPHEmptyContentsViewController::view()
{
  if (!m_viewHasLoaded)
    loadView();
  return m_view;
}

void ZPHEmptyContentsViewController::loadView()
{
  m_view = new ZPHEmptyLinenBackgroundView;
  m_view->setObjectName(QStringLiteral("emptyContentsView"));
  m_view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  m_containerView = new QWidget(m_view);
  m_containerLayout = new QVBoxLayout(m_containerView);
  m_containerLayout->setContentsMargins(0, 0, 0, 0);
  m_containerLayout->setSpacing(0);

  m_imageView = new QLabel(m_containerView);
  m_imageView->setAlignment(Qt::AlignCenter);
  m_imageView->setScaledContents(false);

  m_primaryTextField = new ZPHElidingLabel(m_containerView);
  m_primaryTextField->setAlignment(Qt::AlignCenter);
  QFont headline = m_primaryTextField->font();
  headline.setPixelSize(16);
  headline.setBold(true);
  m_primaryTextField->setFont(headline);

  m_secondaryTextField = new ZPHElidingLabel(m_containerView);
  m_secondaryTextField->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  configureSecondaryTextFieldSettingsForMode(0);

  m_button = new ZPHEmptyContentsViewButton(m_containerView);
  connect(m_button, &ZPHEmptyContentsViewButton::clicked, this, &ZPHEmptyContentsViewController::zph_buttonClicked);
  // Without sites: a subscription list of another reader can come in too.
  m_importButton = new ZPHEmptyContentsViewButton(m_containerView);
  m_importButton->setObjectName(QStringLiteral("importSites"));
  m_importButton->setText(tr("Import Sites\u2026"));
  m_importButton->hide();
  connect(m_importButton, &ZPHEmptyContentsViewButton::clicked, this, [] {
    if (QAction* action = ZPHAppServices::current().commandAction(QStringLiteral("importFeedsFromOPML:")))
      action->trigger();
  });
  // Hidden pieces keep their place, so the whole stays centred the same.
  for (QWidget* piece : {static_cast<QWidget*>(m_secondaryTextField), static_cast<QWidget*>(m_button)}) {
    QSizePolicy policy = piece->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    piece->setSizePolicy(policy);
  }

  configureThemedControlColorsForSecondaryTextFieldMode(0);

  auto* centring = new QVBoxLayout(m_view);
  centring->setContentsMargins(0, 0, 0, 0);
  centring->addStretch(1);
  centring->addWidget(m_containerView, 0, Qt::AlignHCenter);
  centring->addStretch(1);

  m_view->installEventFilter(this);
  // A view destroyed with its window takes its pieces along; the next call
  // of view() builds them again.
  connect(m_view, &QObject::destroyed, this, [this] {
    m_viewHasLoaded = false;
    m_imageView = nullptr;
    m_primaryTextField = nullptr;
    m_secondaryTextField = nullptr;
    m_button = nullptr;
    m_importButton = nullptr;
    m_containerView = nullptr;
    m_containerLayout = nullptr;
    m_layoutMode = 0;
  });
  m_viewHasLoaded = true;
  configureConstraintsForLayoutMode(4);
  if (m_state != ZPHEmptyContentsViewControllerStateNotSet)
    configureForState(m_state, m_feed, true);
  updateInactiveOverlayViewPresence();
}

void ZPHEmptyContentsViewController::configureSecondaryTextFieldSettingsForMode(int mode)
{
  m_secondaryTextFieldMode = mode;
  if (m_secondaryTextField == nullptr)
    return;
  QFont font = m_secondaryTextField->font();
  if (mode == 1) {
    m_secondaryTextField->setWordWrap(true);
    font.setPixelSize(13);
    font.setBold(false);
  } else {
    m_secondaryTextField->setWordWrap(false);
    font.setPixelSize(14);
    font.setBold(true);
  }
  m_secondaryTextField->setFont(font);
  configureThemedControlColorsForSecondaryTextFieldMode(mode);
}

void ZPHEmptyContentsViewController::configureThemedControlColorsForSecondaryTextFieldMode(int mode)
{
  if (m_primaryTextField == nullptr)
    return;
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const QColor foreground = theme->emptyViewTextForegroundColor();
  const QColor secondary = mode == 1 ? theme->emptyViewTextErrorForegroundColor() : foreground;
  for (auto [label, color] : {std::pair<QLabel*, QColor>(m_primaryTextField, foreground),
                              std::pair<QLabel*, QColor>(m_secondaryTextField, secondary)}) {
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, color);
    label->setPalette(colors);
  }
}

void ZPHEmptyContentsViewController::configureConstraintsForLayoutMode(int mode)
{
  if (!m_viewHasLoaded)
    return;
  m_layoutMode = mode;
  while (QLayoutItem* item = m_containerLayout->takeAt(0)) delete item;

  QList<QWidget*> fitted;
  QList<int> spacings;  // before each fitted view but the first
  switch (mode) {
    case 1:
      fitted = {m_primaryTextField};
      break;
    case 2:
      fitted = {m_imageView};
      break;
    case 3:
      fitted = {m_imageView, m_primaryTextField, m_button};
      spacings = {ImageTextVerticalPadding, ButtonVerticalPadding};
      break;
    default:
      fitted = {m_imageView, m_primaryTextField, m_secondaryTextField, m_button};
      spacings = {ImageTextVerticalPadding, TextFieldVerticalPadding, ButtonVerticalPadding};
      break;
  }
  for (QWidget* piece : {static_cast<QWidget*>(m_imageView), static_cast<QWidget*>(m_primaryTextField),
                         static_cast<QWidget*>(m_secondaryTextField), static_cast<QWidget*>(m_button)}) {
    if (!fitted.contains(piece))
      piece->hide();
  }
  for (qsizetype index = 0; index < fitted.size(); ++index) {
    if (index > 0)
      m_containerLayout->addSpacing(spacings.at(index - 1));
    m_containerLayout->addWidget(fitted.at(index), 0, Qt::AlignHCenter);
  }
  const bool offersImport = m_state == ZPHEmptyContentsViewControllerStateNoFeeds && fitted.contains(m_button);
  if (offersImport) {
    m_containerLayout->addSpacing(8);
    m_containerLayout->addWidget(m_importButton, 0, Qt::AlignHCenter);
  }
  m_importButton->setVisible(offersImport);
  m_imageView->setVisible(fitted.contains(m_imageView));
  m_primaryTextField->setVisible(fitted.contains(m_primaryTextField));
  if (mode != 4) {
    m_secondaryTextField->setMinimumSize(0, 0);
    m_secondaryTextField->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
}

void ZPHEmptyContentsViewController::configureSecondaryTextFieldSizing()
{
  const QString text = m_secondaryTextField->text();
  const QFontMetrics metrics(m_secondaryTextField->font());
  if (m_secondaryTextFieldMode == 1) {
    // Several lines, at most 350 points wide.
    const QRect fitting = metrics.boundingRect(QRect(0, 0, SecondaryTextFieldFittingWidth, 1 << 20),
                                               int(Qt::TextWordWrap) | Qt::AlignHCenter, text);
    m_secondaryTextField->setFixedSize(std::min(SecondaryTextFieldFittingWidth, fitting.width() + 1), fitting.height());
    return;
  }
  // One line as wide as its text, cut at the tail when the view is narrower.
  m_secondaryTextField->setMinimumSize(0, 0);
  m_secondaryTextField->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QSize hint = m_secondaryTextField->sizeHint();
  m_secondaryTextField->setMaximumSize(hint);
  m_secondaryTextField->setMinimumHeight(hint.height());
}

bool ZPHEmptyContentsViewController::windowIsActive() const
{
  if (m_view == nullptr)
    return true;
  return zph_windowShouldDrawActive(m_view);
}

void ZPHEmptyContentsViewController::updateImageForState(State state)
{
  if (m_imageView == nullptr)
    return;
  const QImage image = imageForState(state, windowIsActive());
  m_imageView->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
  m_imageView->updateGeometry();
}

void ZPHEmptyContentsViewController::setUsesInactiveOverlay(bool usesInactiveOverlay)
{
  if (m_usesInactiveOverlay == usesInactiveOverlay)
    return;
  m_usesInactiveOverlay = usesInactiveOverlay;
  if (m_state != ZPHEmptyContentsViewControllerStateNotSet)
    updateInactiveOverlayViewPresence();
}

void ZPHEmptyContentsViewController::updateForWindowStateChange()
{
  if (m_viewHasLoaded && m_state != ZPHEmptyContentsViewControllerStateNotSet)
    updateImageForState(m_state);
  updateInactiveOverlayViewPresence();
}

void ZPHEmptyContentsViewController::updateInactiveOverlayViewPresence()
{
  const QColor color = ZPHTheme::currentTheme()->detailWebViewOverlayColor();
  if (!color.isValid() || !m_usesInactiveOverlay) {
    delete m_inactiveWindowOverlayView.data();
    return;
  }
  if (m_view == nullptr || m_view->window() == m_view)
    return;
  if (m_inactiveWindowOverlayView == nullptr) {
    m_inactiveWindowOverlayView = new ZPHSimpleColorView(m_view);
    m_inactiveWindowOverlayView->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  m_inactiveWindowOverlayView->setBackgroundColor(color);
  m_inactiveWindowOverlayView->setShouldBeOpaque(false);
  if (windowIsActive()) {
    m_inactiveWindowOverlayView->hide();
  } else {
    m_inactiveWindowOverlayView->setGeometry(m_view->rect());
    m_inactiveWindowOverlayView->raise();
    m_inactiveWindowOverlayView->show();
  }
}

bool ZPHEmptyContentsViewController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_view && event->type() == QEvent::Resize && m_inactiveWindowOverlayView != nullptr)
    m_inactiveWindowOverlayView->setGeometry(m_view->rect());
  // The application's commands may have come since the state was set.
  if (watched == m_view && event->type() == QEvent::Show)
    updateButtonEnabled();
  return QObject::eventFilter(watched, event);
}

void ZPHEmptyContentsViewController::updateInactiveOverlayViewColors()
{
  const QColor color = ZPHTheme::currentTheme()->detailWebViewOverlayColor();
  if (!color.isValid() || !m_usesInactiveOverlay) {
    delete m_inactiveWindowOverlayView.data();
    return;
  }
  if (m_inactiveWindowOverlayView != nullptr)
    m_inactiveWindowOverlayView->setBackgroundColor(color);
}

void ZPHEmptyContentsViewController::updateForChangedTheme()
{
  configureThemedControlColorsForSecondaryTextFieldMode(m_state == ZPHEmptyContentsViewControllerStateFeedError ? 1
                                                                                                                : 0);
  updateInactiveOverlayViewColors();
  if (m_viewHasLoaded && m_state != ZPHEmptyContentsViewControllerStateNotSet)
    updateImageForState(m_state);
  m_currentTabThumbnailImage.reset();
}

// MARK: - The feed shown

void ZPHEmptyContentsViewController::setMostRecentFeed(CBFeed* feed)
{
  if (feed == m_feed)
    return;
  if (m_feed != nullptr && m_feedObserver >= 0)
    m_feed->removeChangeObserver(m_feedObserver);
  m_feedObserver = -1;
  m_feed = feed;
  if (m_feed != nullptr) {
    QPointer<ZPHEmptyContentsViewController> self(this);
    m_feedObserver = m_feed->addChangeObserver([self](ZPHManagedObject*, const QString& key) {
      if (self != nullptr)
        self->feedDidChange(key);
    });
  }
}

void ZPHEmptyContentsViewController::feedDidChange(const QString& key)
{
  if (key != CBFeedLastFeedRefreshErrorKey || m_feed == nullptr)
    return;
  // A failing refresh turns the placeholder into the error view, a
  // successful one turns it back.
  if (m_state == ZPHEmptyContentsViewControllerStateNoArticlesInFeed ||
      m_state == ZPHEmptyContentsViewControllerStateFeedError)
    configureForNoArticlesWithFeed(m_feed);
}

// MARK: - The button

QString ZPHEmptyContentsViewController::commandForButtonAction(ButtonAction action)
{
  switch (action) {
    case ButtonAction::AddSites:
      return QStringLiteral("addPopularSites:");
    case ButtonAction::ToggleHideReadArticles:
      return QStringLiteral("toggleHideReadArticles:");
    case ButtonAction::RecoverFromError:
    case ButtonAction::None:
      break;
  }
  return {};
}

void ZPHEmptyContentsViewController::updateButtonEnabled()
{
  // A button whose command the application does not have is off.
  if (m_button == nullptr)
    return;
  const QString command = commandForButtonAction(m_buttonAction);
  m_button->setEnabled(command.isEmpty() || !ZPHAppServices::hasApplication() ||
                       ZPHAppServices::enabledCommandAction(command) != nullptr);
}

void ZPHEmptyContentsViewController::zph_buttonClicked()
{
  if (QAction* command = ZPHAppServices::hasApplication()
                             ? ZPHAppServices::enabledCommandAction(commandForButtonAction(m_buttonAction))
                             : nullptr)
    command->trigger();
  switch (m_buttonAction) {
    case ButtonAction::AddSites:
      // The application's Add Site window, on its popular sites.
      if (QAction* action = ZPHAppServices::current().commandAction(QStringLiteral("addPopularSites:")))
        action->trigger();
      Q_EMIT addPopularSitesRequested();
      return;
    case ButtonAction::ToggleHideReadArticles:
      Q_EMIT toggleHideReadArticlesRequested();
      return;
    case ButtonAction::RecoverFromError:
      zph_recoverFromError();
      return;
    case ButtonAction::None:
      qCWarning(zphInterface) << "Button clicked in invalid state:" << m_state;
      return;
  }
}

void ZPHEmptyContentsViewController::zph_recoverFromError()
{
  if (m_error.isNull() || m_feed == nullptr)
    return;
  const std::shared_ptr<ZPHErrorRecoveryAttempter> attempter = m_error.recoveryAttempter();
  const QStringList options = m_error.localizedRecoveryOptions();
  if (attempter == nullptr || options.isEmpty())
    return;
  // The option the button shows: the last one.
  attempter->attemptRecovery(m_error, static_cast<int>(options.size() - 1));
}
