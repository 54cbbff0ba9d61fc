#include "platform/ZPHTerminationCancelingOperation.h"

const QString ZPHApplicationWillTerminateNotification = QStringLiteral("ZPHApplicationWillTerminateNotification");

ZPHTerminationCancelingOperation::ZPHTerminationCancelingOperation(QObject* delegate, Callback callbackSelector)
    : CBOperation(delegate, std::move(callbackSelector))
{
  m_terminationObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHApplicationWillTerminateNotification, QVariant(),
      [this](const ZPHNotification&) { zph_applicationWillTerminate(); });
}

ZPHTerminationCancelingOperation::~ZPHTerminationCancelingOperation() { m_terminationObserver.reset(); }

void ZPHTerminationCancelingOperation::zph_applicationWillTerminate() { cancel(); }
