#include "feeds/images/CBPermanentWebCacheController.h"

#include "foundation/ZPHCoreApplicationDelegate.h"

#include <QtCore/QDir>

CBPermanentWebCacheController* CBPermanentWebCacheController::sharedController()
{
  static CBPermanentWebCacheController* shared = new CBPermanentWebCacheController;
  return shared;
}

QString CBPermanentWebCacheController::cacheFolderPath() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const QString dataFolder = delegate ? delegate->pathToDataFolder() : QString();
  if (dataFolder.isEmpty())
    return {};
  return QDir(dataFolder).filePath(QStringLiteral("CBPermanentWebCache"));
}
