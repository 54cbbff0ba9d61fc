#include "sharing/CBPluginHelper.h"

#include "common/ZPHAppServices.h"
#include "common/ZPHFeedbackProgressWindowController.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHErrorSheet.h"
#include "kit/ZPHInterfaceLog.h"
#include "platform/ZPHError.h"

#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

CBPluginHelper::~CBPluginHelper() = default;

void CBPluginHelper::startIndeterminateFeedbackWithTitle(const QString& title, const QImage& image)
{
  ZPHFeedbackProgressWindowController::runWindowWithTitle(title, image);
}

void CBPluginHelper::stopIndeterminateFeedback() { ZPHFeedbackProgressWindowController::closeSharedWindow(); }

void CBPluginHelper::showSuccessMessageWithTitle(const QString& title, const QImage& image)
{
  ZPHFeedbackProgressWindowController::runWindowWithSuccessMessage(title, image);
}

void CBPluginHelper::presentError(const ZPHError& error)
{
  qCWarning(zphInterface).noquote() << "sharing failed:" << error.domain() << error.code();
  // On the application's main window, where there is one.
  QWidget* window = QApplication::activeWindow();
  if (window == nullptr) {
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
      if (candidate->isVisible() && candidate->objectName() == QLatin1String("ZPHMainWindow")) {
        window = candidate;
        break;
      }
    }
  }
  if (window != nullptr)
    ZPHErrorSheet::present(window, error);
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
