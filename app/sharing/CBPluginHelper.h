#pragma once

// Qt kind: none (a plain class).

#include "sharing/CBSharableItem.h"

#include <QtCore/QString>

class QImage;
class ZPHError;

// The host object handed to every sharing command: feedback, errors, and
// the application's folders and user agent. One, made by the plug-in
// manager.
class CBPluginHelper {
public:
  CBPluginHelper() = default;
  virtual ~CBPluginHelper();

  // The shared progress window (ZPHFeedbackProgressWindowController): in
  // progress mode, closed, or with a success message that fades out by
  // itself.
  virtual void startIndeterminateFeedbackWithTitle(const QString& title, const QImage& image);
  virtual void stopIndeterminateFeedback();
  virtual void showSuccessMessageWithTitle(const QString& title, const QImage& image);
  virtual void presentError(const ZPHError& error);
  // Nothing here; a host that counts shares does it here.
  virtual void noteUserDidShareItem(const CBSharableItem& item, const QString& serviceIdentifier);
  virtual void openPopupBrowserWindowWithURL(const QUrl& url);
  // No: nothing is sent to other applications from here.
  virtual bool sendSharableItemToAppWithName(const CBSharableItem& item, const QString& applicationName,
                                             ZPHError* error);
  virtual QString pathToCacheFolder() const;
  virtual QString pathToDataFolder() const;
  virtual QString userAgent() const;
  virtual QString applicationNameForWebviewUserAgent() const;
};
