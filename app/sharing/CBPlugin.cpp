#include "sharing/CBPlugin.h"

CBPlugin::~CBPlugin() = default;

CBAppObserver::~CBAppObserver() = default;
