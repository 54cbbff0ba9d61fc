#include "sheets/ZPHWelcomeWindowController.h"

#include "common/ZPHBuildInfo.h"
#include "common/ZPHShellLog.h"
#include "kit/CBViewExtras.h"
#include "sheets/CSAPI.h"
#include "sheets/CSRestClient.h"
#include "sheets/ZPHWelcomeIntroViewController.h"
#include "sheets/ZPHWelcomeStayInformedViewController.h"
#include "sheets/ZPHWelcomeViewController.h"
#include "sheets/ZPHWelcomeWindow.h"
#include "sheets/ZPHWelcomeWindowProgressOverlayView.h"
#include "sheets/ZPHWelcomeZephlin3ImportViewController.h"

#include <QtCore/QParallelAnimationGroup>
#include <QtCore/QPropertyAnimation>
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QWidget>

#include <pwd.h>
#include <unistd.h>
#include <utility>

ZPHWelcomeWindowController::ZPHWelcomeWindowController(unsigned welcomeWindowType, Environment environment,
                                                       QObject* parent)
    : QObject(parent), m_environment(std::move(environment)), m_window(std::make_unique<ZPHWelcomeWindow>())
{
  if (!m_environment.userFullName)
    m_environment.userFullName = &ZPHWelcomeWindowController::passwdFullName;
  if (!m_environment.makeMailingListClient)
    m_environment.makeMailingListClient = [](QObject* parent) {
      return new CSAPI(ZPHBuildInfo::mailingListAPIKey(), parent);
    };
  if (!m_environment.hasMailingList)
    m_environment.hasMailingList = [] { return CSRestClient::isUsableBaseURL(QUrl(ZPHBuildInfo::mailingListURL())); };
  m_window->setShouldCloseHandler([this] { return windowShouldClose(); });
  m_window->installEventFilter(this);
  connect(m_window.get(), &ZPHWelcomeWindow::willClose, this, &ZPHWelcomeWindowController::windowWillClose);
  m_progressOverlayView = new ZPHWelcomeWindowProgressOverlayView(m_window.get());
  m_progressOverlayView->setObjectName(QStringLiteral("progressOverlayView"));
  m_progressOverlayView->setGeometry(m_window->rect());
  hideProgressOverlayAnimated(false);
  m_welcomeWindowType = welcomeWindowType;
  if (welcomeWindowType == 1)
    m_window->setWindowTitle(tr("Zephlin 3 Import"));
  else if (welcomeWindowType == 2)
    m_window->setWindowTitle(tr("Welcome to Zephlin"));
  goToInitialState();
}

ZPHWelcomeWindowController::~ZPHWelcomeWindowController()
{
  if (m_slide != nullptr)
    m_slide->stop();
  invalidate();
}

QWidget* ZPHWelcomeWindowController::window() const { return m_window.get(); }

bool ZPHWelcomeWindowController::eventFilter(QObject* watched, QEvent* event)
{
  // Return and Enter that no control of the step took press its main
  // button, the one drawn as the default (not during a slide).
  if (watched == m_window.get() && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool returnKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (returnKey && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      QPushButton* button = m_currentViewController != nullptr && !m_currentlyAnimatingTransition
                                ? m_currentViewController->defaultButton()
                                : nullptr;
      if (button != nullptr)
        button->click();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

QString ZPHWelcomeWindowController::passwdFullName()
{
  const struct passwd* entry = getpwuid(getuid());
  if (entry == nullptr || entry->pw_gecos == nullptr)
    return {};
  // The full name is the first field of the comment.
  return QString::fromLocal8Bit(entry->pw_gecos).section(u',', 0, 0).trimmed();
}

QString ZPHWelcomeWindowController::userFullName() const { return m_environment.userFullName(); }

CSAPI* ZPHWelcomeWindowController::makeMailingListClient(QObject* parent) const
{
  return m_environment.makeMailingListClient(parent);
}

bool ZPHWelcomeWindowController::hasMailingList() const { return m_environment.hasMailingList(); }

bool ZPHWelcomeWindowController::importIsCurrentlyPossible() const
{
  return m_environment.importer.importIsCurrentlyPossible && m_environment.importer.import &&
         m_environment.importer.importIsCurrentlyPossible();
}

void ZPHWelcomeWindowController::runImport(ZPHWelcomeImporter::Completion completion)
{
  if (!importIsCurrentlyPossible()) {
    completion({}, {}, ZPHError(QStringLiteral("ZPHWelcomeWindow"), 1));
    return;
  }
  m_environment.importer.import(std::move(completion));
}

unsigned ZPHWelcomeWindowController::importState() const { return importIsCurrentlyPossible() ? 2 : 3; }

unsigned ZPHWelcomeWindowController::initialState() const
{
  switch (m_welcomeWindowType) {
    case 1:
      if (!importIsCurrentlyPossible())
        qCWarning(zphShell) << "the import window was asked for while no import is possible";
      return 2;
    case 2:
      return 3;
    default:
      return importIsCurrentlyPossible() ? 1 : 3;
  }
}

void ZPHWelcomeWindowController::goToInitialState()
{
  ZPHWelcomeViewController* step = transitionToState(initialState());
  if (auto* informed = qobject_cast<ZPHWelcomeStayInformedViewController*>(step)) {
    // Without a mailing list there is nothing to decline.
    informed->setDetailStringValue(hasMailingList() ? tr("Keep up to date with Zephlin.") : tr("Welcome to Zephlin."));
    informed->setNoThanksButtonVisible(hasMailingList());
  }
}

void ZPHWelcomeWindowController::switchToWelcomeWindowType(unsigned type)
{
  if (type == m_welcomeWindowType)
    return;
  m_welcomeWindowType = type;
  if (type == 1)
    m_window->setWindowTitle(tr("Zephlin 3 Import"));
  else if (type == 2)
    m_window->setWindowTitle(tr("Welcome to Zephlin"));
  goToInitialState();
}

std::unique_ptr<ZPHWelcomeViewController> ZPHWelcomeWindowController::makeStep(unsigned state)
{
  switch (state) {
    case 1:
      return std::make_unique<ZPHWelcomeIntroViewController>(this);
    case 2:
      return std::make_unique<ZPHWelcomeZephlin3ImportViewController>(this);
    case 3:
      return std::make_unique<ZPHWelcomeStayInformedViewController>(this);
    default:
      qCCritical(zphShell) << "unsupported welcome window state:" << state;
      return nullptr;
  }
}

ZPHWelcomeViewController* ZPHWelcomeWindowController::transitionToState(unsigned state)
{
  if (state == m_currentState && m_currentViewController != nullptr)
    return m_currentViewController.get();
  std::unique_ptr<ZPHWelcomeViewController> step = makeStep(state);
  if (step == nullptr)
    return nullptr;
  QWidget* container = m_window->stateContainerView();
  QWidget* view = step->view();
  view->setParent(container);
  if (m_currentViewController == nullptr) {
    view->setGeometry(container->rect());
    view->show();
    m_currentViewController = std::move(step);
    m_currentState = state;
    return m_currentViewController.get();
  }

  // A slide still running ends first.
  if (m_slide != nullptr)
    m_slide->setCurrentTime(m_slide->duration());
  m_currentlyAnimatingTransition = true;
  const int width = container->width();
  view->setGeometry(container->rect().translated(width, 0));
  view->show();
  auto* group = new QParallelAnimationGroup(this);
  const auto slide = [group](QWidget* widget, const QPoint& to) {
    auto* animation = new QPropertyAnimation(widget, "pos", group);
    animation->setDuration(SlideMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setEndValue(to);
    group->addAnimation(animation);
  };
  QWidget* old = m_currentViewController->view();
  ++m_slides;
  slide(view, QPoint(0, 0));
  slide(old, QPoint(-width, 0));
  slide(m_window->farParallaxView(), QPoint(-FarParallaxStep * m_slides, 0));
  slide(m_window->nearParallaxView(), QPoint(-NearParallaxStep * m_slides, 0));
  m_leavingViewController = std::exchange(m_currentViewController, std::move(step));
  m_currentState = state;
  m_slide = group;
  connect(group, &QAbstractAnimation::finished, this, [this, group] {
    group->deleteLater();
    if (m_leavingViewController != nullptr) {
      m_leavingViewController->invalidate();
      m_leavingViewController.reset();
    }
    if (m_currentViewController != nullptr && m_currentViewController->initialKeyView() != nullptr)
      m_currentViewController->initialKeyView()->setFocus();
    m_currentlyAnimatingTransition = false;
    if (m_shouldCloseWindowAfterCompletingAnimatedTransition) {
      m_shouldCloseWindowAfterCompletingAnimatedTransition = false;
      closeWindow();
    }
  });
  group->start();
  return m_currentViewController.get();
}

bool ZPHWelcomeWindowController::isProgressOverlayShown() const
{
  return m_progressOverlayView != nullptr && m_progressOverlayView->isVisible();
}

void ZPHWelcomeWindowController::showProgressOverlayAnimated(bool animated)
{
  // A fade still running gives way to this one.
  if (m_overlayFade)
    m_overlayFade->stop();
  m_shouldCloseWindowAfterOverlayFade = false;
  m_progressOverlayView->setGeometry(m_window->rect());
  m_progressOverlayView->raise();
  m_progressOverlayView->show();
  if (!animated) {
    m_progressOverlayView->setAlpha(1);
    return;
  }
  m_progressOverlayView->setAlpha(0);
  auto* fade = new QPropertyAnimation(m_progressOverlayView, "alpha", this);
  fade->setDuration(OverlayFadeMs);
  fade->setEasingCurve(QEasingCurve::InOutQuad);
  fade->setEndValue(1.0);
  m_overlayFade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZPHWelcomeWindowController::hideProgressOverlayAnimated(bool animated)
{
  if (m_overlayFade)
    m_overlayFade->stop();
  if (!animated || !m_progressOverlayView->isVisible()) {
    m_progressOverlayView->hide();
    return;
  }
  auto* fade = new QPropertyAnimation(m_progressOverlayView, "alpha", this);
  fade->setDuration(OverlayFadeMs);
  fade->setEasingCurve(QEasingCurve::InOutQuad);
  fade->setEndValue(0.0);
  QPointer<ZPHWelcomeWindowProgressOverlayView> overlay = m_progressOverlayView;
  connect(fade, &QAbstractAnimation::finished, this, [this, overlay] {
    if (overlay != nullptr && overlay->alpha() <= 0)
      overlay->hide();
    if (std::exchange(m_shouldCloseWindowAfterOverlayFade, false))
      closeWindow();
  });
  m_overlayFade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

bool ZPHWelcomeWindowController::windowShouldClose()
{
  if (m_currentlyAnimatingTransition) {
    m_shouldCloseWindowAfterCompletingAnimatedTransition = true;
    return false;
  }
  if (auto* import = qobject_cast<ZPHWelcomeImportViewController*>(m_currentViewController.get()))
    if (import->importInProgress())
      return false;
  return !isProgressOverlayShown() || m_progressOverlayView->alpha() <= 0;
}

void ZPHWelcomeWindowController::showWindow() { cb_showWindowCentered(m_window.get()); }

void ZPHWelcomeWindowController::closeWindow()
{
  if (m_overlayFade && m_overlayFade->state() == QAbstractAnimation::Running &&
      m_overlayFade->endValue().toReal() <= 0) {
    m_shouldCloseWindowAfterOverlayFade = true;
    return;
  }
  m_window->close();
}

void ZPHWelcomeWindowController::invalidate()
{
  if (m_currentViewController != nullptr)
    m_currentViewController->invalidate();
  if (m_leavingViewController != nullptr)
    m_leavingViewController->invalidate();
}
