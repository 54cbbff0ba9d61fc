#pragma once

#include "platform/CBOperation.h"
#include "platform/ZPHNotificationCenter.h"

// Posted by the application when it begins to quit; any object.
extern const QString ZPHApplicationWillTerminateNotification;  // "ZPHApplicationWillTerminateNotification"

// An operation that cancels itself when the application begins to quit.
class ZPHTerminationCancelingOperation : public CBOperation {
public:
  ZPHTerminationCancelingOperation(QObject* delegate = nullptr, Callback callbackSelector = {});
  ~ZPHTerminationCancelingOperation() override;

private:
  void zph_applicationWillTerminate();
  ZPHObserverToken m_terminationObserver;
};
