#include "sharing/CBPluginHelper.h"

#include "common/ZPHAppServices.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHError.h"

#include <QtGui/QImage>

CBPluginHelper::~CBPluginHelper() = default;

void CBPluginHelper::startIndeterminateFeedbackWithTitle(const QString& title, const QImage& image)
{
  Q_UNUSED(image);
  qCInfo(zphInterface) << "sharing:" << title;
}

void CBPluginHelper::stopIndeterminateFeedback() {}

void CBPluginHelper::showSuccessMessageWithTitle(const QString& title, const QImage& image)
{
  Q_UNUSED(image);
  qCInfo(zphInterface) << "shared:" << title;
}

void CBPluginHelper::presentError(const ZPHError& error)
{
  qCWarning(zphInterface) << "sharing failed:" << error.toString();
}

void CBPluginHelper::noteUserDidShareItem(const CBSharableItem& item, const QString& serviceIdentifier)
{
  Q_UNUSED(item);
  Q_UNUSED(serviceIdentifier);
}

void CBPluginHelper::openPopupBrowserWindowWithURL(const QUrl& url) { Q_UNUSED(url); }

bool CBPluginHelper::sendSharableItemToAppWithName(const CBSharableItem& item, const QString& applicationName,
                                                   ZPHError* error)
{
  Q_UNUSED(item);
  Q_UNUSED(applicationName);
  Q_UNUSED(error);
  return false;
}

QString CBPluginHelper::pathToCacheFolder() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate ? delegate->pathToCacheFolder() : QString();
}

QString CBPluginHelper::pathToDataFolder() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate ? delegate->pathToDataFolder() : QString();
}

QString CBPluginHelper::userAgent() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate ? delegate->userAgent() : QString();
}

QString CBPluginHelper::applicationNameForWebviewUserAgent() const { return ZPHAppServices::webViewApplicationName(); }
