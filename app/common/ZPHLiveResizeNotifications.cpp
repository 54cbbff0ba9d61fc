#include "common/ZPHLiveResizeNotifications.h"

const QString ZPHSourceListLiveResizeStartedNotification = QStringLiteral("ZPHSourceListLiveResizeStartedNotification");
const QString ZPHSourceListLiveResizeEndedNotification = QStringLiteral("ZPHSourceListLiveResizeEndedNotification");
