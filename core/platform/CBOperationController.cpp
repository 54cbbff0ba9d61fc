#include "platform/CBOperationController.h"
#include "platform/ZPHApplicationState.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

#include <mutex>

const QString CBOperationControllerDidBeginOperationsNotification =
    QStringLiteral("CBOperationControllerDidBeginOperationsNotification");
const QString CBOperationControllerDidEndOperationsNotification =
    QStringLiteral("CBOperationControllerDidEndOperationsNotification");

namespace {

QMutex& controllersMutex()
{
  static QMutex mutex;
  return mutex;
}

QList<CBOperationController*>& allControllers()
{
  static QList<CBOperationController*> controllers;
  return controllers;
}

QList<CBOperationController*> controllersSnapshot()
{
  QMutexLocker locker(&controllersMutex());
  return allControllers();
}

}  // namespace

CBOperationController::CBOperationController() : m_operationQueue(std::make_unique<ZPHOperationQueue>())
{
  m_operationQueue->setMaxConcurrentOperationCount(m_queueWidth);
  m_completionObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      CBOperationDidCompleteNotification, QVariant(),
      [this](const ZPHNotification& notification) { operationDidComplete(notification); });
  addOperationController(this);
}

CBOperationController::~CBOperationController()
{
  m_completionObserver.reset();
  {
    QMutexLocker locker(&controllersMutex());
    allControllers().removeAll(this);
  }
  m_operationQueue.reset();
}

CBOperationController* CBOperationController::sharedController()
{
  ZPH_ASSERT_MAIN_THREAD();
  static CBOperationController* controller = [] {
    auto* made = new CBOperationController;  // lives for the process
    made->setName(QStringLiteral("com.fernhollow.zephlin.sharedOperationControllerQueue"));
    return made;
  }();
  return controller;
}

CBOperationController* CBOperationController::sharedDownloadOperationController()
{
  static CBOperationController* controller = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    controller = new CBOperationController;  // lives for the process
    controller->m_operationQueue->setName(
        QStringLiteral("com.fernhollow.zephlin.sharedOperationControllerDownloadQueue"));
    controller->m_queueWidth = 12;
    controller->m_operationQueue->setMaxConcurrentOperationCount(12);
  });
  return controller;
}

void CBOperationController::addOperationController(CBOperationController* controller)
{
  QMutexLocker locker(&controllersMutex());
  if (!allControllers().contains(controller))
    allControllers().append(controller);
}

void CBOperationController::setSuspendedInAllQueues(bool suspended)
{
  ZPH_ASSERT_MAIN_THREAD();
  for (CBOperationController* controller : controllersSnapshot()) controller->setSuspended(suspended);
}

void CBOperationController::cancelAllOperationsInAllQueues()
{
  ZPH_ASSERT_MAIN_THREAD();
  for (CBOperationController* controller : controllersSnapshot()) controller->cancelAllOperations();
}

void CBOperationController::waitUntilAllOperationsAreFinishedInAllQueues()
{
  ZPH_ASSERT_MAIN_THREAD();
  for (CBOperationController* controller : controllersSnapshot()) controller->waitUntilAllOperationsAreFinished();
}

void CBOperationController::setQueueWidth(int width)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (width == m_queueWidth)
    return;
  m_queueWidth = width;
  m_operationQueue->setMaxConcurrentOperationCount(width);
}

void CBOperationController::addOperation(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (ZPHApplicationState::isShuttingDown())
    return;
  ++m_operationsAdded;
  const bool wasIdle = m_tracksOperations && m_operations.empty();
  if (m_tracksOperations && operation && !m_positions.contains(operation.get())) {
    m_operations.push_back(operation);
    m_positions.insert(operation.get(), std::prev(m_operations.end()));
  }
  m_operationQueue->addOperation(operation);
  if (wasIdle && !m_operations.empty()) {
    ZPHNotificationCenter::defaultCenter().postOnMainThread(CBOperationControllerDidBeginOperationsNotification,
                                                            QVariant::fromValue(this));
  }
}

bool CBOperationController::addOperationIfNotInQueue(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (operation && hasOperationWithType(operation->operationType(), operation->operationObject()))
    return false;
  addOperation(operation);
  return true;
}

void CBOperationController::cancelOperation(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (operation)
    operation->cancel();
}

void CBOperationController::setSuspended(bool suspended)
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operationQueue->setSuspended(suspended);
}

void CBOperationController::cancelAllOperations()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operationQueue->cancelAllOperations();
}

void CBOperationController::waitUntilAllOperationsAreFinished()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operationQueue->waitUntilAllOperationsAreFinished();
}

int CBOperationController::numberOfDownloadOperations() const
{
  ZPH_ASSERT_MAIN_THREAD();
  int count = 0;
  for (const std::shared_ptr<CBOperation>& operation : m_operations) {
    if (operation->isDownloadOperation())
      ++count;
  }
  return count;
}

int CBOperationController::numberOfOperationsOfType(qint64 type) const
{
  int count = 0;
  for (const std::shared_ptr<CBOperation>& operation : m_operations) {
    if (operation->operationType() == type)
      ++count;
  }
  return count;
}

bool CBOperationController::hasOperationsScheduledOfType(qint64 type) const
{
  ZPH_ASSERT_MAIN_THREAD();
  return numberOfOperationsOfType(type) > 0;
}

bool CBOperationController::hasOperationWithType(qint64 type, const QVariant& object) const
{
  ZPH_ASSERT_MAIN_THREAD();
  for (const std::shared_ptr<CBOperation>& operation : m_operations) {
    if (operation->isCancelled() || operation->operationType() != type)
      continue;
    if (operation->operationObject() == object)
      return true;
  }
  return false;
}

QString CBOperationController::description() const
{
  ZPH_ASSERT_MAIN_THREAD();
  return QStringLiteral("ZPHOperationQueue(0x%1) - %2").arg(quintptr(m_operationQueue.get()), 0, 16).arg(name());
}

QString CBOperationController::name() const
{
  ZPH_ASSERT_MAIN_THREAD();
  return m_operationQueue->name();
}

void CBOperationController::setName(const QString& name)
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operationQueue->setName(name);
}

void CBOperationController::operationDidComplete(const ZPHNotification& notification)
{
  if (!m_tracksOperations)
    return;
  const auto operation = notification.object.value<std::shared_ptr<CBOperation>>();
  if (!operation)
    return;
  const auto position = m_positions.constFind(operation.get());
  if (position == m_positions.constEnd())
    return;
  // Also while the application quits: the quit waits for the list to empty.
  // Only the announcement stays away then.
  m_operations.erase(position.value());
  m_positions.erase(position);
  if (m_operations.empty() && !ZPHApplicationState::isShuttingDown()) {
    ZPHNotificationCenter::defaultCenter().postOnMainThread(CBOperationControllerDidEndOperationsNotification,
                                                            QVariant::fromValue(this));
  }
}

QList<std::shared_ptr<CBOperation>> CBOperationController::operations() const
{
  return QList<std::shared_ptr<CBOperation>>(m_operations.begin(), m_operations.end());
}

bool CBAddOperationIfNotInQueue(const std::shared_ptr<CBOperation>& operation)
{
  if (ZPHMainThread::isMainThread())
    return CBOperationController::sharedController()->addOperationIfNotInQueue(operation);
  ZPHMainThread::async([operation] { CBOperationController::sharedController()->addOperationIfNotInQueue(operation); });
  return false;
}
