#include "mainwindow/ZPHMainWindow.h"

#include "keys/ZPHEditableFocusReporter.h"
#include "keys/ZPHKeyMappingController.h"
#include "keys/ZPHMainWindowKeyDelegate.h"
#include "platform/ZPHNotificationCenter.h"
#include "sourcelist/ZPHSourceListView.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWindow>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QTextEdit>

const QString CBMainResponderDidChangeNotification = QStringLiteral("CBMainResponderDidChangeNotification");
const QString ZPHSharingHitTestWindowClickEvent = QStringLiteral("kFRNHSharingHitTestWindowClickEvent");

namespace {

bool isEditableTextWidget(const QWidget* widget)
{
  if (const auto* line = qobject_cast<const QLineEdit*>(widget))
    return !line->isReadOnly();
  if (const auto* text = qobject_cast<const QTextEdit*>(widget))
    return !text->isReadOnly();
  if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
    return !plain->isReadOnly();
  if (qobject_cast<const QAbstractSpinBox*>(widget) != nullptr)
    return true;
  if (const auto* combo = qobject_cast<const QComboBox*>(widget))
    return combo->isEditable();
  // A list whose current row may be renamed takes input methods for it, but
  // types only into the editor it opens, which then has the focus.
  if (qobject_cast<const QAbstractItemView*>(widget) != nullptr)
    return false;
  // Views of our own that take text say so.
  return widget->testAttribute(Qt::WA_InputMethodEnabled);
}

const QWebEngineView* enclosingWebView(const QWidget* widget)
{
  for (const QWidget* view = widget; view != nullptr; view = view->parentWidget()) {
    if (const auto* webView = qobject_cast<const QWebEngineView*>(view))
      return webView;
  }
  return nullptr;
}

}  // namespace

ZPHMainWindow::ZPHMainWindow(QWidget* parent) : ZPHActiveTrackingWindow(parent)
{
  qApp->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && now->window() == this)
      ZPHNotificationCenter::defaultCenter().post(CBMainResponderDidChangeNotification,
                                                  QVariant::fromValue(static_cast<QWidget*>(this)));
  });
}

ZPHMainWindow::~ZPHMainWindow()
{
  qApp->removeEventFilter(this);
  disconnect(qApp, nullptr, this, nullptr);
}

void ZPHMainWindow::addChildWindow(QWidget* child)
{
  if (child == nullptr)
    return;
  const QVariantMap userInfo{{ZPHMainWindowChildWindowKey, QVariant::fromValue(child)}};
  const QVariant object = QVariant::fromValue(static_cast<QWidget*>(this));
  ZPHNotificationCenter::defaultCenter().post(ZPHMainWindowChildWindowWillAddNotification, object, userInfo);
  child->setParent(this, child->windowFlags() | Qt::Tool | Qt::FramelessWindowHint);
  child->show();
  ZPHNotificationCenter::defaultCenter().post(ZPHMainWindowChildWindowDidAddNotification, object, userInfo);
}

ZPHMainWindow::FocusKind ZPHMainWindow::focusKindForWidget(const QWidget* focus)
{
  if (focus == nullptr)
    return FocusKind::Other;
  if (qobject_cast<const ZPHSourceListView*>(focus) != nullptr)
    return FocusKind::SourceList;
  // The article list's table, by name.
  if (focus->inherits("ZPHArticleListTableView"))
    return FocusKind::ArticleList;
  if (enclosingWebView(focus) != nullptr)
    return FocusKind::WebContent;
  return FocusKind::Other;
}

bool ZPHMainWindow::isFocusOutOfBoundsForCustomKeyHandling(const QWidget* focus) const
{
  if (focus == nullptr)
    return false;
  if (focus->window() != this)
    return true;
  if (enclosingWebView(focus) != nullptr)
    return ZPHEditableFocusReporter::widgetHasEditableWebFocus(focus);
  return isEditableTextWidget(focus);
}

bool ZPHMainWindow::handleKeyPress(QKeyEvent* event, QWidget* focus)
{
  if (event->text().isEmpty() && event->key() != Qt::Key_Left && event->key() != Qt::Key_Right &&
      event->key() != Qt::Key_Down && event->key() != Qt::Key_Delete && event->key() != Qt::Key_Backspace)
    return false;
  ZPHMainWindowKeyTable::Flags flags;
  if (m_keyDelegate != nullptr)
    flags = m_keyDelegate->keyRoutingFlags(focus);
  flags.focusIsEditable = isFocusOutOfBoundsForCustomKeyHandling(focus);
  flags.singleKeyShortcuts =
      m_singleKeyShortcuts
          ? m_singleKeyShortcuts()
          : ZPHKeyMappingController::sharedMappingController()->shouldSupportUnmodifiedSingleKeyShortcuts();
  const ZPHMainWindowKeyTable::Action action =
      ZPHMainWindowKeyTable::actionForKey(focusKindForWidget(focus), event->key(), event->modifiers(), flags);
  if (action.hideCursor && !flags.focusIsEditable)
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
  if (!action.handled() || m_keyDelegate == nullptr)
    return false;
  return m_keyDelegate->performKeyAction(action, focus);
}

bool ZPHMainWindow::eventFilter(QObject* watched, QEvent* event)
{
  // Each press reaches the window's own QWindow once, after the shortcuts
  // and before the focused view.
  if (watched != nullptr && watched == windowHandle()) {
    switch (event->type()) {
      case QEvent::KeyPress:
        // The window sends its keys to its focus widget.
        return handleKeyPress(static_cast<QKeyEvent*>(event), focusWidget());
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_fireClickEvents && mouse->button() == Qt::LeftButton)
          ZPHNotificationCenter::defaultCenter().post(ZPHSharingHitTestWindowClickEvent,
                                                      QVariant::fromValue(mouse->position()));
        break;
      }
      case QEvent::MouseMove:
        // The pointer hidden by Space comes back when the mouse moves.
        while (QGuiApplication::overrideCursor() != nullptr &&
               QGuiApplication::overrideCursor()->shape() == Qt::BlankCursor)
          QGuiApplication::restoreOverrideCursor();
        break;
      default:
        break;
    }
  }
  return ZPHActiveTrackingWindow::eventFilter(watched, event);
}
