#pragma once

#include "platform/CBOperation.h"
#include "platform/ZPHNotificationCenter.h"

// Posted by the application when it begins to quit; any object.
extern const QString ZPHApplicationWillTerminateNotification;  // "ZPHApplicationWillTerminateNotification"

// An operation that cancels itself when the application begins to quit.
// Use it rather than CBOperation for work that is pointless once the user has
// asked to quit (counts, refreshes), so that the quit does not wait for it.
class ZPHTerminationCancelingOperation : public CBOperation {
public:
  ZPHTerminationCancelingOperation(QObject* delegate = nullptr, Callback callbackSelector = {});
  ~ZPHTerminationCancelingOperation() override;

private:
  void zph_applicationWillTerminate();
  ZPHObserverToken m_terminationObserver;
};
