#pragma once

// Qt kind: none (functions).

#include "sharing/ZPHPluginManager.h"

#include <QtCore/QHash>
#include <QtCore/QString>

// The factories of the seven plug-in classes compiled into the program, by
// class name: "ZPHSharingPluginOpenInBrowser",
// "ZPHSharingPluginOpenInAnyBrowser", "ZPHSharingPluginSendToApp",
// "ZPHSharingPluginSendViaEmail", "ZPHSharingPluginSendToFacebook",
// "ZPHSharingPluginSendToInstapaper" and "ZPHSharingPluginSendToAppDotNet".
QHash<QString, ZPHPluginManager::PluginFactory> ZPHBuiltInSharingPluginFactories();
