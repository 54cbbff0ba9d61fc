#pragma once

// Qt kind: none (a plain class).

#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHInstapaperClient.h"
#include "sharing/ZPHSharingCommandBase.h"
#include "sharing/ZPHSharingLoginViewController.h"

#include <functional>
#include <memory>

// The read-later service's login view: checks the user name and password
// with the service's authenticate call. A password is optional.
class ZPHInstapaperLoginViewController : public ZPHSharingLoginViewController, public ZPHInstapaperClientDelegate {
  Q_OBJECT

public:
  using ZPHSharingLoginViewController::ZPHSharingLoginViewController;
  ~ZPHInstapaperLoginViewController() override;

  QString titleString() const override;
  QImage iconImage() const override;
  bool requiresPassword() const override { return false; }
  // The saved user name and password into the fields.
  void restoreFromSavedCredentials();
  ZPHAuthenticateInstapaperClient* authenticateInstapaperClient() const { return m_client; }

  void instapaperClientDidSucceed(ZPHInstapaperClient* client) override;
  void instapaperClientDidFail(ZPHInstapaperClient* client, const ZPHError& error) override;

protected:
  void loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler) override;

private:
  void dropClient();
  ZPHAuthenticateInstapaperClient* m_client = nullptr;
  std::function<void(const ZPHError& error)> m_loginCompletionHandler;
};

// "Save to Instapaper": sends the item's address to the read-later service
// with the saved login (user name in the settings, password in the secret
// store); without one, or when the service refuses it, it asks for one in
// the sharing popover, checks it, saves it and sends. Sending is announced
// by the read-later notifications, which the main window shows.
class ZPHPluginCommandSendToInstapaper : public ZPHSharingCommandBase,
                                         public ZPHSharingLoginViewControllerDelegate,
                                         public ZPHInstapaperClientDelegate {
public:
  static const QString AccountDefaultsKey;  // "instapaper_account"
  static const QString PasswordPath;        // "/api/add"

  ZPHPluginCommandSendToInstapaper();
  ~ZPHPluginCommandSendToInstapaper() override;

  static QString savedUsername();
  // An empty name removes it.
  static void setSavedUsername(const QString& username);
  static QString savedPassword();
  // An empty password deletes the stored one.
  static void setSavedPassword(const QString& password);
  static void clearSavedPasswordForUsername(const QString& username);
  static bool hasSavedCredentials();

  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
  bool canClearCredentials() const override;
  void clearCredentials() override;
  bool showsItsViewsInSharingPopover() const override { return true; }

  void sendRequestToInstapaper();
  bool askUserForCredentials();
  void saveCredentials();

  ZPHInstapaperLoginViewController* instapaperLoginViewController() const { return m_loginViewController; }
  ZPHSendToInstapaperClient* sendToInstapaper() const { return m_client; }
  bool sharingPopoverWasShownAtStart() const { return m_sharingPopoverWasShownAtStart; }

  void sharingLoginViewControllerDidFinishLogin(ZPHSharingLoginViewController* controller) override;
  void sharingLoginViewControllerDidCancelLogin(ZPHSharingLoginViewController* controller) override;
  void instapaperClientDidSucceed(ZPHInstapaperClient* client) override;
  void instapaperClientDidFail(ZPHInstapaperClient* client, const ZPHError& error) override;

private:
  void dropLoginViewController();
  void dropClient();

  CBPluginHelper* m_pluginHelper = nullptr;
  CBSharableItem m_item;
  CBUserInterfaceContext m_userInterfaceContext;
  ZPHSendToInstapaperClient* m_client = nullptr;
  ZPHInstapaperLoginViewController* m_loginViewController = nullptr;
  bool m_sharingPopoverWasShownAtStart = false;
};

class ZPHSharingPluginSendToInstapaper : public ZPHSingleCommandPlugin<ZPHPluginCommandSendToInstapaper> {};
