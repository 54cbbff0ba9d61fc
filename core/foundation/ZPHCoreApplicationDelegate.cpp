#include "foundation/ZPHCoreApplicationDelegate.h"

#include <atomic>

namespace {
std::atomic<ZPHCoreApplicationDelegate*> g_sharedDelegate{nullptr};
}

ZPHCoreApplicationDelegate::~ZPHCoreApplicationDelegate()
{
  ZPHCoreApplicationDelegate* self = this;
  g_sharedDelegate.compare_exchange_strong(self, nullptr);
}

ZPHCoreApplicationDelegate* ZPHCoreApplicationDelegate::sharedDelegate()
{
  return g_sharedDelegate.load();
}

void ZPHCoreApplicationDelegate::setSharedDelegate(ZPHCoreApplicationDelegate* delegate)
{
  g_sharedDelegate.store(delegate);
}

bool ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown()
{
  ZPHCoreApplicationDelegate* delegate = sharedDelegate();
  return delegate != nullptr && delegate->appIsShuttingDown();
}
