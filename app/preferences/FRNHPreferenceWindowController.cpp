#include "preferences/FRNHPreferenceWindowController.h"

#include "kit/CBViewExtras.h"
#include "platform/ZPHUserDefaults.h"
#include "preferences/FRNHPreferenceViewController.h"
#include "preferences/FRNHPreferenceWindowImageOverlayView.h"

#include <QtCore/QEasingCurve>
#include <QtCore/QEvent>
#include <QtCore/QVariantAnimation>
#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QShortcut>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QToolBar>

#include <utility>

const QString FRNHPreferencesWindowSelectedIdentifier = QStringLiteral("FRNHPreferencesWindowSelectedIdentifier");

FRNHPreferenceWindowController::FRNHPreferenceWindowController(QObject* parent)
    : QObject(parent), m_window(std::make_unique<QMainWindow>())
{
  m_window->setObjectName(QStringLiteral("FRNHPreferenceWindow"));
  m_window->setWindowTitle(tr("Preferences"));
  m_toolbar = new QToolBar(m_window.get());
  m_toolbar->setObjectName(QStringLiteral("FRNHPreferenceToolbar"));
  m_toolbar->setMovable(false);
  m_toolbar->setFloatable(false);
  m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  m_toolbar->setIconSize(QSize(32, 32));
  m_toolbar->toggleViewAction()->setVisible(false);
  m_window->setContextMenuPolicy(Qt::NoContextMenu);
  m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);
  auto* content = new QWidget(m_window.get());
  content->setObjectName(QStringLiteral("FRNHPreferenceContentView"));
  content->setAutoFillBackground(true);
  m_window->setCentralWidget(content);
  m_itemGroup = new QActionGroup(this);
  m_itemGroup->setExclusive(true);
  m_window->installEventFilter(this);
  // The menus' Close Window belongs to the main window: this one closes
  // with Ctrl+W, and with Escape as a dialog does (an Escape that no
  // control took: an open drop-down closes by itself first).
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), m_window.get()), &QShortcut::activated, m_window.get(),
          &QWidget::close);
  m_keyboardModifiers = [] { return QGuiApplication::queryKeyboardModifiers(); };
}

FRNHPreferenceWindowController::~FRNHPreferenceWindowController()
{
  if (m_transition != nullptr)
    m_transition->stop();
  m_window->removeEventFilter(this);
  // The window takes the current pane's view along; a pane deletes a view
  // no window holds.
}

bool FRNHPreferenceWindowController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_window.get() && event->type() == QEvent::Close)
    Q_EMIT windowWillClose();
  // Escape: the window sees a key first as the question whether a
  // shortcut takes it; a drop-down open then closes on it, and the key that
  // follows is the drop-down's, not the window's.
  const auto isEscape = [](QEvent* key) {
    return static_cast<QKeyEvent*>(key)->key() == Qt::Key_Escape &&
           static_cast<QKeyEvent*>(key)->modifiers() == Qt::NoModifier;
  };
  if (watched == m_window.get() && event->type() == QEvent::Show && m_window->windowHandle() != nullptr)
    m_window->windowHandle()->installEventFilter(this);
  if (watched == m_window->windowHandle() && event->type() == QEvent::ShortcutOverride && isEscape(event))
    m_escapeClosesPopup = QApplication::activePopupWidget() != nullptr;
  if (watched == m_window.get() && event->type() == QEvent::KeyPress && isEscape(event)) {
    if (!std::exchange(m_escapeClosesPopup, false))
      m_window->close();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void FRNHPreferenceWindowController::setKeyboardModifiersProvider(std::function<Qt::KeyboardModifiers()> provider)
{
  if (provider)
    m_keyboardModifiers = std::move(provider);
}

QStringList FRNHPreferenceWindowController::identifiers() const
{
  QStringList list;
  for (FRNHPreferenceViewController* pane : preferenceViewControllers()) list.append(pane->identifier());
  return list;
}

void FRNHPreferenceWindowController::showWindow()
{
  if (!m_window->isVisible())
    reloadViewControllers();
  cb_showWindowCentered(m_window.get());
}

void FRNHPreferenceWindowController::reloadViewControllers()
{
  for (QAction* action : m_itemGroup->actions()) {
    m_toolbar->removeAction(action);
    m_itemGroup->removeAction(action);
    delete action;
  }
  const QList<FRNHPreferenceViewController*> panes = preferenceViewControllers();
  for (FRNHPreferenceViewController* pane : panes) {
    auto* item = new QAction(pane->image(), pane->title(), m_itemGroup);
    item->setObjectName(pane->identifier());
    item->setCheckable(true);
    const QString identifier = pane->identifier();
    connect(item, &QAction::triggered, this, [this, identifier] { selectItemWithIdentifier(identifier); });
    m_toolbar->addAction(item);
  }
  if (panes.isEmpty())
    return;
  const QString stored = ZPHUserDefaults::standardUserDefaults().stringForKey(FRNHPreferencesWindowSelectedIdentifier);
  const qsizetype index = identifiers().indexOf(stored);
  selectItemWithIdentifier(panes.at(index < 0 ? 0 : index)->identifier());
}

void FRNHPreferenceWindowController::selectItemAtIndex(int index)
{
  const QList<FRNHPreferenceViewController*> panes = preferenceViewControllers();
  if (index < 0 || index >= panes.size())
    return;
  setCurrentViewController(panes.at(index));
  const QString identifier = panes.at(index)->identifier();
  for (QAction* action : m_itemGroup->actions())
    if (action->objectName() == identifier)
      action->setChecked(true);
}

void FRNHPreferenceWindowController::selectItemWithIdentifier(const QString& identifier)
{
  const qsizetype index = identifiers().indexOf(identifier);
  if (index < 0)
    return;
  selectItemAtIndex(int(index));
  ZPHUserDefaults::standardUserDefaults().setString(FRNHPreferencesWindowSelectedIdentifier, identifier);
}

QSize FRNHPreferenceWindowController::windowSizeForContentSize(const QSize& contentSize) const
{
  // What the toolbar takes above the content.
  const int chrome = m_toolbar->sizeHint().height();
  return QSize(std::max(contentSize.width(), m_toolbar->sizeHint().width()), contentSize.height() + chrome);
}

void FRNHPreferenceWindowController::placeView(FRNHPreferenceViewController* controller)
{
  QWidget* content = m_window->centralWidget();
  QWidget* view = controller->view();
  const QSize size = controller->preferredSize();
  view->setParent(content);
  view->setGeometry(QRect(QPoint(0, 0), QSize(std::max(size.width(), m_toolbar->sizeHint().width()), size.height())));
  controller->viewWillAppear();
  view->show();
}

bool FRNHPreferenceWindowController::isTransitionRunning() const
{
  return m_transition != nullptr && m_transition->state() == QAbstractAnimation::Running;
}

void FRNHPreferenceWindowController::setCurrentViewController(FRNHPreferenceViewController* controller)
{
  if (controller == nullptr || controller == m_currentViewController)
    return;
  FRNHPreferenceViewController* old = m_currentViewController;
  const QSize target = windowSizeForContentSize(controller->preferredSize());
  // The top-left corner stays where it is; only the size changes.
  const QPoint topLeft = m_window->pos();

  if (old == nullptr || !m_window->isVisible()) {
    if (old != nullptr) {
      old->view()->hide();
      old->view()->setParent(nullptr);
      old->viewDidDisappear();
    }
    placeView(controller);
    m_window->setFixedSize(target);
    m_window->move(topLeft);
  } else {
    configureImageOverlayViewForTransition(old, controller);
    old->view()->hide();
    old->view()->setParent(nullptr);
    old->viewDidDisappear();
    placeView(controller);
    controller->view()->stackUnder(m_imageOverlayView);

    const bool slow = m_keyboardModifiers().testFlag(Qt::ShiftModifier);
    m_lastTransitionDuration = slow ? SlowTransitionMs : TransitionMs;
    if (m_transition == nullptr) {
      m_transition = new QVariantAnimation(this);
      m_transition->setEasingCurve(QEasingCurve::InOutQuad);
      connect(m_transition, &QVariantAnimation::finished, this, [this] {
        if (m_imageOverlayView != nullptr)
          m_imageOverlayView->deleteLater();
        m_imageOverlayView = nullptr;
      });
    }
    m_transition->stop();
    const QSize from = m_window->size();
    disconnect(m_transitionStep);
    m_transitionStep = connect(m_transition, &QVariantAnimation::valueChanged, this,
                               [this, from, target, topLeft](const QVariant& value) {
                                 const qreal progress = value.toReal();
                                 const QSize size(from.width() + qRound((target.width() - from.width()) * progress),
                                                  from.height() + qRound((target.height() - from.height()) * progress));
                                 m_window->setFixedSize(size);
                                 m_window->move(topLeft);
                                 if (m_imageOverlayView != nullptr)
                                   m_imageOverlayView->setAlpha(1 - progress);
                               });
    m_transition->setStartValue(0.0);
    m_transition->setEndValue(1.0);
    m_transition->setDuration(m_lastTransitionDuration);
    m_transition->start();
  }
  m_currentViewController = controller;
  if (QWidget* first = controller->initialFirstResponder())
    first->setFocus();
}

void FRNHPreferenceWindowController::configureImageOverlayViewForTransition(FRNHPreferenceViewController* from,
                                                                            FRNHPreferenceViewController* to)
{
  QWidget* content = m_window->centralWidget();
  if (m_imageOverlayView == nullptr)
    m_imageOverlayView = new FRNHPreferenceWindowImageOverlayView(content);
  const QSize a = from->view()->size();
  const QSize b = to->preferredSize();
  m_imageOverlayView->setGeometry(0, 0, std::max(a.width(), b.width()), std::max(a.height(), b.height()));
  m_imageOverlayView->setBackgroundColor(content->palette().color(QPalette::Window));
  m_imageOverlayView->hide();
  m_imageOverlayView->setImage(content->grab());
  m_imageOverlayView->setAlpha(1);
  m_imageOverlayView->show();
  m_imageOverlayView->raise();
}
