#include "common/ZPHBuildInfo.h"

#include "ZPHBuildConfiguration.h"

QString ZPHBuildInfo::applicationName() { return QStringLiteral(ZPH_BUILD_APP_NAME); }
QString ZPHBuildInfo::shortVersionString() { return QStringLiteral(ZPH_BUILD_VERSION); }
QString ZPHBuildInfo::buildNumber() { return QStringLiteral(ZPH_BUILD_NUMBER); }
QString ZPHBuildInfo::humanReadableCopyright() { return QString::fromUtf8(ZPH_BUILD_COPYRIGHT); }
QString ZPHBuildInfo::humanReadableTrademark() { return QString::fromUtf8(ZPH_BUILD_TRADEMARK); }
QString ZPHBuildInfo::humanReadableSpecialThanks() { return QString::fromUtf8(ZPH_BUILD_SPECIAL_THANKS); }
QString ZPHBuildInfo::projectPageURL() { return QStringLiteral("https://www.fernhollow.com/zephlin/"); }
QString ZPHBuildInfo::updateFeedURL() { return QStringLiteral(ZPH_BUILD_UPDATE_FEED_URL); }
QString ZPHBuildInfo::mailingListURL() { return QStringLiteral(ZPH_BUILD_MAILING_LIST_URL); }
QString ZPHBuildInfo::mailingListAPIKey() { return QStringLiteral(ZPH_BUILD_MAILING_LIST_API_KEY); }
QString ZPHBuildInfo::mailingListID() { return QStringLiteral(ZPH_BUILD_MAILING_LIST_ID); }
QString ZPHBuildInfo::mailingListPassword() { return QStringLiteral(ZPH_BUILD_MAILING_LIST_PASSWORD); }
