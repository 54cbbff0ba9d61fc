#pragma once

// Qt kind: none (settings keys and notification names).

#include <QtCore/QString>

// Posted through the default notification center when a live resize of the
// source list starts and when it ends (any sender). The status area hides
// its slides in between.
extern const QString ZPHSourceListLiveResizeStartedNotification;  // "ZPHSourceListLiveResizeStartedNotification"
extern const QString ZPHSourceListLiveResizeEndedNotification;    // "ZPHSourceListLiveResizeEndedNotification"
