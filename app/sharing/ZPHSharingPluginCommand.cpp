#include "sharing/ZPHSharingPluginCommand.h"

ZPHSharingPluginCommand::~ZPHSharingPluginCommand() = default;
