#include "subscribe/ZPHFeedResult.h"

QString ZPHFeedResult::description() const
{
  return QStringLiteral("<ZPHFeedResult <%1 @ %2>>").arg(m_foundTitle, m_url.toDisplayString(QUrl::RemoveUserInfo));
}
