#include "sheets/ZPHWelcomeImportViewController.h"

#include "common/ZPHApplicationNotifications.h"
#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "platform/ZPHNotificationCenter.h"
#include "sheets/ZPHWelcomeStayInformedViewController.h"
#include "sheets/ZPHWelcomeWindowController.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QPushButton>

ZPHWelcomeImportViewController::ZPHWelcomeImportViewController(ZPHWelcomeWindowController* windowController)
    : ZPHWelcomeViewController(windowController)
{
}

bool ZPHWelcomeImportViewController::showSkipButton() const
{
  return !m_importInProgress && windowController() != nullptr && windowController()->welcomeWindowType() == 0;
}

void ZPHWelcomeImportViewController::updateSkipButton()
{
  if (m_skipButton != nullptr)
    m_skipButton->setVisible(showSkipButton());
}

void ZPHWelcomeImportViewController::setImportInProgress(bool inProgress)
{
  m_importInProgress = inProgress;
  if (m_importingProgressIndicator != nullptr) {
    m_importingProgressIndicator->setVisible(inProgress);
    if (inProgress)
      m_importingProgressIndicator->startProgressAnimation();
    else
      m_importingProgressIndicator->stopProgressAnimation();
  }
  if (m_importButton != nullptr)
    m_importButton->setEnabled(!inProgress);
  updateSkipButton();
  Q_EMIT importInProgressChanged(inProgress);
}

void ZPHWelcomeImportViewController::import()
{
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr || m_importInProgress)
    return;
  setImportInProgress(true);
  window->showProgressOverlayAnimated(true);
  QPointer<ZPHWelcomeImportViewController> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self != nullptr)
      self->runImport();
  });
}

void ZPHWelcomeImportViewController::skip()
{
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr || m_importInProgress)
    return;
  const QString text = skippedText();
  if (auto* next = qobject_cast<ZPHWelcomeStayInformedViewController*>(window->transitionToState(3)))
    next->setDetailStringValue(text);
}

void ZPHWelcomeImportViewController::completeImport(bool success, const QVariantList& importedFeeds,
                                                    const QVariantList& duplicateFeeds)
{
  ZPHWelcomeWindowController* window = windowController();
  if (window != nullptr)
    window->hideProgressOverlayAnimated(true);
  setImportInProgress(false);
  const unsigned type = window != nullptr ? window->welcomeWindowType() : 0;
  ZPHNotificationCenter::defaultCenter().post(ZPHImportDidFinishNotification,
                                              QVariant::fromValue(static_cast<QObject*>(this)),
                                              {{ZPHShouldShowBezelKey, type != 0 && success},
                                               {ZPHImportedFeedsKey, importedFeeds},
                                               {ZPHDuplicateFeedsKey, duplicateFeeds}});
  if (window == nullptr)
    return;
  const QString text = success ? successText() : failureText();
  QPointer<ZPHWelcomeWindowController> weakWindow(window);
  QTimer::singleShot(0, window, [weakWindow, type, text] {
    if (weakWindow == nullptr)
      return;
    if (type != 0) {
      weakWindow->closeWindow();
      return;
    }
    if (auto* next = qobject_cast<ZPHWelcomeStayInformedViewController*>(weakWindow->transitionToState(3)))
      next->setDetailStringValue(text);
  });
}
