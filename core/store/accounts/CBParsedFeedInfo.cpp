#include "store/accounts/CBParsedFeedInfo.h"

#include "foundation/CBNotificationHelpers.h"

#include <QtCore/QVariant>

const QString CBDidParseFeedInfoNotification = QStringLiteral("CBDidParseFeedInfoNotification");

void CBParsedFeedInfo::sendDidParseFeedInfoNotification()
{
  cb_postNotificationOnMainThread(CBDidParseFeedInfoNotification, QVariant::fromValue(shared_from_this()));
}
