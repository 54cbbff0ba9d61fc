#pragma once

// Posting notifications on the main thread from any thread, directly or
// through the idle queue that merges repeats.

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

class ZPHNotificationQueue;

// Posts the notification through the default center on the main thread at
// a later turn of its event loop, also when called on the main thread.
// Never waits.
void cb_postNotificationOnMainThread(const QString& name, const QVariant& object = {},
                                     const QVariantMap& userInfo = {});
// The same through `center`.
void cb_postNotificationOnMainThread(ZPHNotificationCenter& center, const QString& name, const QVariant& object = {},
                                     const QVariantMap& userInfo = {});

// Hands the notification to the default queue's idle posting: at once on
// the main thread, else on the main thread at a later turn without waiting.
void cb_enqueueNotificationOnMainThread(const QString& name, const QVariant& object = {},
                                        const QVariantMap& userInfo = {});

// Queues the notification to be posted when the main event loop is idle;
// one with the same name and object already waiting absorbs it. Main thread
// only.
void cb_enqueueIdleNotification(ZPHNotificationQueue& queue, const ZPHNotification& notification);
