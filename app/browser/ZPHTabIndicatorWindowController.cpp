#include "browser/ZPHTabIndicatorWindowController.h"

#include "browser/ZPHTabIndicatorBackgroundView.h"
#include "browser/ZPHTabIndicatorGlyphView.h"
#include "common/ZPHAppServices.h"
#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHUserDefaults.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QEvent>
#include <QtCore/QVariantAnimation>
#include <QtGui/QAction>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>

namespace {

constexpr int kGlyphMargin = 6;

// Overlay scroll bars (drawn over the content) leave less room to keep
// clear of than classic ones.
int scrollerMargin(const QWidget* window)
{
  const QStyle* style = window != nullptr ? window->style() : nullptr;
  const bool overlay = style != nullptr && style->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, window) != 0;
  return overlay ? 7 : 14;
}

}  // namespace

ZPHTabIndicatorWindowController::ZPHTabIndicatorWindowController(ZPHClock* clock, ZPHUserDefaults* defaults,
                                                                 QObject* parent)
    : QObject(parent),
      m_clock(clock != nullptr ? clock : &ZPHClock::systemClock()),
      m_defaults(defaults != nullptr ? defaults : &ZPHUserDefaults::standardUserDefaults())
{
  m_defaults->observe(ZPHBrowserTabsVisibility, this, [this](const QVariant&) {
    updateWindowShowStatus();
    if (m_glyphView != nullptr)
      m_glyphView->setToolTip(glyphToolTip());
  });
  m_defaults->observe(ZPHAlwaysHideTabIndicatorKey, this, [this](const QVariant&) { updateWindowShowStatus(); });
}

ZPHTabIndicatorWindowController::~ZPHTabIndicatorWindowController()
{
  m_observers.clear();
  if (m_animationTimer != 0)
    m_clock->cancel(m_animationTimer);
  if (m_parentWindow)
    m_parentWindow->removeEventFilter(this);
  delete m_window;
}

void ZPHTabIndicatorWindowController::addToFloatAboveWindow(QWidget* window)
{
  Q_ASSERT_X(window, Q_FUNC_INFO, "Invalid parameter not satisfying: parentWindow");
  if (window == nullptr || window == m_parentWindow)
    return;
  Q_ASSERT_X(!m_parentWindow, Q_FUNC_INFO, "the indicator floats over one window");
  if (m_parentWindow)
    return;
  m_parentWindow = window;

  m_window = new QWidget(window);
  m_window->setObjectName(QStringLiteral("ZPHTabIndicator"));
  m_window->setAttribute(Qt::WA_TranslucentBackground);
  m_backgroundView = new ZPHTabIndicatorBackgroundView(m_window);
  m_glyphView = new ZPHTabIndicatorGlyphView(m_backgroundView);
  m_glyphView->setToolTip(glyphToolTip());
  m_textField = new QLabel(tr("Opened in a New Tab"), m_backgroundView);
  m_textField->setTextFormat(Qt::PlainText);
  m_textField->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont font = m_textField->font();
  font.setPixelSize(11);
  font.setBold(true);
  m_textField->setFont(font);
  m_opacity = new QGraphicsOpacityEffect(m_window);
  m_opacity->setOpacity(0.0);
  m_window->setGraphicsEffect(m_opacity);
  connect(m_backgroundView, &QAbstractButton::clicked, this, &ZPHTabIndicatorWindowController::mouseClickedInWindow);
  themeChanged();
  setWide(false);
  m_window->hide();

  window->installEventFilter(this);
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const auto observe = [&](const QString& name, std::function<void(const ZPHNotification&)> handler) {
    m_observers.push_back(center.addObserver(name, QVariant(), this, std::move(handler)));
  };
  observe(ZPHThemeChangedNotification, [this](const ZPHNotification&) { themeChanged(); });
  observe(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
          [this](const ZPHNotification&) { themeChanged(); });
  observe(ZPHAppDelegateBackgroundTabOpenedNotification, [this](const ZPHNotification&) { backgroundTabOpened(); });
  // Another view laid over the window goes below the indicator.
  observe(ZPHMainWindowChildWindowDidAddNotification, [this](const ZPHNotification& notification) {
    if (notification.object.value<QObject*>() == m_parentWindow && m_window && m_showingWindow)
      m_window->raise();
  });
  updateWindowFrame();
  updateWindowShowStatus();
}

bool ZPHTabIndicatorWindowController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_parentWindow && (event->type() == QEvent::Resize || event->type() == QEvent::StyleChange))
    updateWindowFrame();
  return QObject::eventFilter(watched, event);
}

// ---- Deciding

bool ZPHTabIndicatorWindowController::shouldShow(qint64 visibility, bool hasMoreThanOneTab, bool alwaysHide,
                                                 bool showingDetailsViewTab, bool mouseInArticleDetailArea)
{
  if (visibility == 0 || !hasMoreThanOneTab || alwaysHide || !showingDetailsViewTab)
    return false;
  return visibility != 1 || mouseInArticleDetailArea;
}

void ZPHTabIndicatorWindowController::setHasMoreThanOneTab(bool more)
{
  m_hasMoreThanOneTab = more;
  updateWindowShowStatus();
}

void ZPHTabIndicatorWindowController::setShowingDetailsViewTab(bool showing)
{
  m_showingDetailsViewTab = showing;
  updateWindowShowStatus();
}

void ZPHTabIndicatorWindowController::setMouseInArticleDetailArea(bool inside)
{
  m_mouseInArticleDetailArea = inside;
  updateWindowShowStatus();
}

void ZPHTabIndicatorWindowController::setLastTabsWidth(double width)
{
  m_lastTabsWidth = width;
  updateWindowFrame();
}

void ZPHTabIndicatorWindowController::updateWindowShowStatus()
{
  if (!m_parentWindow || !m_window)
    return;
  m_showingWindow = shouldShow(m_defaults->integerForKey(ZPHBrowserTabsVisibility), m_hasMoreThanOneTab,
                               m_defaults->boolForKey(ZPHAlwaysHideTabIndicatorKey), m_showingDetailsViewTab,
                               m_mouseInArticleDetailArea);
  if (m_showingWindow) {
    if (!m_window->isVisible()) {
      updateWindowFrame();
      m_opacity->setOpacity(0.0);
      m_window->show();
    }
    m_window->raise();
    fadeTo(1.0);
  } else if (m_window->isVisible()) {
    fadeTo(0.0);
  }
}

void ZPHTabIndicatorWindowController::fadeTo(qreal opacity)
{
  if (m_fade)
    m_fade->stop();
  auto* fade = new QVariantAnimation(this);
  fade->setDuration(FadeDuration);
  fade->setStartValue(m_opacity->opacity());
  fade->setEndValue(opacity);
  connect(fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    if (m_opacity)
      m_opacity->setOpacity(value.toReal());
  });
  connect(fade, &QVariantAnimation::finished, this, [this, opacity] {
    // Faded out, it is hidden: it takes no clicks.
    if (opacity <= 0.0 && m_window && !m_showingWindow)
      m_window->hide();
  });
  m_fade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---- Where

QRect ZPHTabIndicatorWindowController::currentWindowFrame() const
{
  if (!m_parentWindow || !m_window)
    return {};
  const int width = m_window->width();
  const int x = m_parentWindow->width() - width - scrollerMargin(m_parentWindow) - int(std::lround(m_lastTabsWidth));
  const int y = m_parentWindow->height() - BottomMargin - Height;
  return QRect(x, y, width, Height);
}

void ZPHTabIndicatorWindowController::updateWindowFrame()
{
  if (m_window)
    m_window->setGeometry(currentWindowFrame());
}

QString ZPHTabIndicatorWindowController::glyphToolTip() const
{
  return m_defaults->integerForKey(ZPHBrowserTabsVisibility) == 1 ? tr("Hide Tabs") : tr("Show Tabs");
}

void ZPHTabIndicatorWindowController::themeChanged()
{
  if (m_textField == nullptr)
    return;
  ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = !m_parentWindow || zph_windowShouldDrawActive(m_parentWindow);
  QPalette palette = m_textField->palette();
  if (theme != nullptr)
    palette.setColor(QPalette::WindowText,
                     active ? theme->tabIndicatorTextColor() : theme->tabIndicatorTextInactiveColor());
  m_textField->setPalette(palette);
  m_glyphView->update();
  m_backgroundView->update();
}

// ---- Clicks and the widening

void ZPHTabIndicatorWindowController::mouseClickedInWindow()
{
  if (!m_window || !m_window->isVisible() || m_opacity->opacity() <= 0.01)
    return;
  const qint64 visibility = m_defaults->integerForKey(ZPHBrowserTabsVisibility);
  const QString selector = visibility == 2   ? QStringLiteral("showTabBar:")
                           : visibility == 1 ? QStringLiteral("hideTabBar:")
                                             : QString();
  if (selector.isEmpty())
    return;
  if (QAction* action = ZPHAppServices::current().commandAction(selector))
    action->trigger();
}

void ZPHTabIndicatorWindowController::setWide(bool wide)
{
  m_wide = wide;
  const int glyph = 20;
  const int textWidth = wide ? m_textField->sizeHint().width() + kGlyphMargin : 0;
  const int width = NarrowWidth + textWidth;
  m_window->resize(width, Height);
  m_backgroundView->setGeometry(0, 0, width, Height);
  m_glyphView->move(kGlyphMargin, (Height - glyph) / 2);
  m_textField->setGeometry(kGlyphMargin + glyph + kGlyphMargin, 0, textWidth, Height);
  m_textField->setVisible(wide);
  m_backgroundView->configureForAnimatedOutState(wide);
  updateWindowFrame();
}

void ZPHTabIndicatorWindowController::backgroundTabOpened()
{
  if (m_animating || !m_showingWindow || !m_window)
    return;
  m_animating = true;
  setWide(true);
  m_animationTimer = m_clock->schedule(FadeDuration + HoldDuration, this, [this] {
    m_animationTimer = 0;
    setWide(false);
    m_animating = false;
  });
}
