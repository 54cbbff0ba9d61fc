#include "sharing/ZPHBuiltInSharingPlugins.h"

#include "sharing/ZPHPluginCommandSendToAppDotNet.h"
#include "sharing/ZPHPluginCommandSendToInstapaper.h"
#include "sharing/ZPHSendToApp.h"
#include "sharing/ZPHSharingBrowserCommands.h"
#include "sharing/ZPHSharingCommandEmailLink.h"
#include "sharing/ZPHWebSharePage.h"

namespace {

template <class Plugin>
ZPHPluginManager::PluginFactory factory()
{
  return [] { return std::make_unique<Plugin>(); };
}

}  // namespace

QHash<QString, ZPHPluginManager::PluginFactory> ZPHBuiltInSharingPluginFactories()
{
  return {
      {QStringLiteral("ZPHSharingPluginOpenInBrowser"), factory<ZPHSharingPluginOpenInBrowser>()},
      {QStringLiteral("ZPHSharingPluginOpenInAnyBrowser"), factory<ZPHSharingPluginOpenInAnyBrowser>()},
      {QStringLiteral("ZPHSharingPluginSendToApp"), factory<ZPHSharingPluginSendToApp>()},
      {QStringLiteral("ZPHSharingPluginSendViaEmail"), factory<ZPHSharingPluginSendViaEmail>()},
      {QStringLiteral("ZPHSharingPluginSendToFacebook"), factory<ZPHSharingPluginSendToFacebook>()},
      {QStringLiteral("ZPHSharingPluginSendToInstapaper"), factory<ZPHSharingPluginSendToInstapaper>()},
      {QStringLiteral("ZPHSharingPluginSendToAppDotNet"), factory<ZPHSharingPluginSendToAppDotNet>()},
  };
}
