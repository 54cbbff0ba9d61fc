#include "foundation/ZPHCoreApplicationDelegate.h"

#include "platform/ZPHApplicationState.h"
#include "platform/ZPHLog.h"

#include <atomic>

namespace {

std::atomic<ZPHCoreApplicationDelegate*> g_sharedDelegate{nullptr};

QString sharedDelegateDataFolder()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate != nullptr ? delegate->pathToDataFolder() : QString();
}

}  // namespace

ZPHCoreApplicationDelegate::~ZPHCoreApplicationDelegate()
{
  ZPHCoreApplicationDelegate* self = this;
  g_sharedDelegate.compare_exchange_strong(self, nullptr);
}

ZPHCoreApplicationDelegate* ZPHCoreApplicationDelegate::sharedDelegate() { return g_sharedDelegate.load(); }

void ZPHCoreApplicationDelegate::setSharedDelegate(ZPHCoreApplicationDelegate* delegate)
{
  // The platform layer asks through these from then on.
  ZPHApplicationState::install(&ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown, &sharedDelegateDataFolder);
  g_sharedDelegate.store(delegate);
}

bool ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown()
{
  ZPHCoreApplicationDelegate* delegate = sharedDelegate();
  return delegate != nullptr && delegate->appIsShuttingDown();
}

bool ZPHCoreApplicationDelegate::openURLInDefaultWebBrowser(const QUrl& url)
{
  qCInfo(zphCore) << "no application to open" << url.toDisplayString(QUrl::RemoveUserInfo) << "in a web browser";
  return false;
}
