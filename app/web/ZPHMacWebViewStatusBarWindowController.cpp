#include "web/ZPHMacWebViewStatusBarWindowController.h"

#include "common/ZPHApplicationNotifications.h"
#include "themes/ZPHTheme.h"
#include "web/CBShadowTextField.h"
#include "web/ZPHMacWebViewStatusBarContentView.h"
#include "web/ZPHMacWebViewStatusBarWindow.h"

#include <QtWidgets/QHBoxLayout>

ZPHMacWebViewStatusBarWindowController::ZPHMacWebViewStatusBarWindowController(QObject* parent)
    : QObject(parent), m_window(new ZPHMacWebViewStatusBarWindow)
{
  m_contentView = new ZPHMacWebViewStatusBarContentView;
  auto* layout = new QHBoxLayout(m_contentView);
  layout->setContentsMargins(6, 0, 6, 0);
  m_textField = new CBShadowTextField(m_contentView);
  QFont font = m_textField->font();
  font.setPixelSize(11);
  m_textField->setFont(font);
  m_textField->setAttribute(Qt::WA_TransparentForMouseEvents);
  layout->addWidget(m_textField);
  m_window->setContentView(m_contentView);

  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { themeChanged(); });
  setCurrentTheme(ZPHTheme::currentTheme());
  configureTextField();
}

ZPHMacWebViewStatusBarWindowController::~ZPHMacWebViewStatusBarWindowController() { delete m_window; }

void ZPHMacWebViewStatusBarWindowController::setAllowDarkTheme(bool allow)
{
  if (allow == m_allowDarkTheme)
    return;
  m_allowDarkTheme = allow;
  if (!allow && m_currentTheme == ZPHTheme::darkTheme())
    setCurrentTheme(ZPHTheme::lightTheme());
}

void ZPHMacWebViewStatusBarWindowController::setCurrentTheme(ZPHTheme* theme)
{
  if (theme == m_currentTheme)
    return;
  m_currentTheme = theme;
  configureTextField();
  m_contentView->setCurrentTheme(theme);
}

void ZPHMacWebViewStatusBarWindowController::themeChanged()
{
  // A bar over a web page stays light whatever the theme.
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!m_allowDarkTheme && theme == ZPHTheme::darkTheme())
    theme = ZPHTheme::lightTheme();
  setCurrentTheme(theme);
}

void ZPHMacWebViewStatusBarWindowController::configureTextField()
{
  if (!m_currentTheme)
    return;
  ZPHShadow shadow = m_textField->shadow();
  shadow.setShadowWithBlurRadius(shadow.blurRadius(), m_currentTheme->browserStatusBarTextShadowColor(),
                                 shadow.offset());
  m_textField->setShadow(shadow);
  QPalette palette = m_textField->palette();
  palette.setColor(QPalette::WindowText, m_currentTheme->browserStatusBarTextColor());
  m_textField->setPalette(palette);
}

bool ZPHMacWebViewStatusBarWindowController::positionAtBottomOfWebView(QWidget* webView)
{
  if (!m_window || !webView || m_textField->text().isEmpty())
    return false;
  QWidget* window = webView->window();
  if (!window || !window->isVisible() || !webView->isVisible())
    return false;
  if (m_window->parentWidget() != window) {
    const bool wasHidden = m_window->isHidden();
    m_window->setParent(window);
    if (wasHidden)
      m_window->hide();
  }
  const int height = m_window->height();
  const QPoint origin = webView->mapTo(window, QPoint(0, webView->height() - height));
  m_window->setGeometry(QRect(origin, QSize(webView->width(), height)));
  m_window->update();
  return true;
}

void ZPHMacWebViewStatusBarWindowController::show()
{
  if (!m_window || !m_window->parentWidget())
    return;
  // What floats over the window (the tab indicator) stays above the bar.
  QWidget* window = m_window->parentWidget();
  const QVariantMap userInfo{{ZPHMainWindowChildWindowKey, QVariant::fromValue<QObject*>(m_window.data())}};
  ZPHNotificationCenter::defaultCenter().post(ZPHMainWindowChildWindowWillAddNotification,
                                              QVariant::fromValue<QObject*>(window), userInfo);
  m_window->raise();
  m_window->show();
  ZPHNotificationCenter::defaultCenter().post(ZPHMainWindowChildWindowDidAddNotification,
                                              QVariant::fromValue<QObject*>(window), userInfo);
}

void ZPHMacWebViewStatusBarWindowController::hide()
{
  if (!m_window)
    return;
  m_window->hide();
  m_window->setParent(nullptr);
}

bool ZPHMacWebViewStatusBarWindowController::isShown() const
{
  return m_window && m_window->parentWidget() && m_window->isVisible();
}
