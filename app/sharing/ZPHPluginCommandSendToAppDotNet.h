#pragma once

// Qt kind: none (a plain class).

#include "sharing/CBUserInterfaceContext.h"
#include "sharing/ZPHAppDotNetPostViewController.h"
#include "sharing/ZPHSharingCommandBase.h"
#include "sharing/ZPHSharingLoginViewController.h"

// The social network's login view: asks the client for a token with the
// user name and password and the application's client settings.
class ZPHAppDotNetLoginViewController : public ZPHSharingLoginViewController {
  Q_OBJECT

public:
  using ZPHSharingLoginViewController::ZPHSharingLoginViewController;

  QString titleString() const override;
  QImage iconImage() const override;
  // The token of the last login that succeeded.
  QString accessToken() const { return m_accessToken; }
  // The client's refused credentials become ZPHSharingErrorDomain code 0
  // (the view then says "Username or password incorrect"); a transport
  // failure while the desktop is offline code 4, "Internet Disconnected";
  // anything else stays as it is.
  static ZPHError translateADNLoginError(const ZPHError& error);

protected:
  void loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler) override;

private:
  QString m_accessToken;
};

// "Post on App.net": a short post of the item's title and address through
// the social network's client, composed in the sharing popover, after a
// login there when no token is kept. The token is kept in the secret store.
class ZPHPluginCommandSendToAppDotNet : public ZPHSharingCommandBase,
                                        public ZPHSharingLoginViewControllerDelegate,
                                        public ZPHAppDotNetPostViewControllerDelegate {
public:
  // Where the token is kept: a generic password of this service.
  static const QString AccessTokenService;  // "Zephlin: ZPHPluginCommandSendToAppDotNetAccessToken"
  static const QString AccessTokenAccount;  // "accessToken"

  ZPHPluginCommandSendToAppDotNet();
  ~ZPHPluginCommandSendToAppDotNet() override;

  // The kept token; empty for none. Setting an empty one removes it.
  static QString accessToken();
  static void setAccessToken(const QString& token);

  bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                               CBPluginHelper* helper, ZPHError* error) override;
  bool canClearCredentials() const override;
  void clearCredentials() override;
  bool showsItsViewsInSharingPopover() const override { return true; }

  bool zph_showLoginView();
  bool zph_showPostView();
  void zph_resetViewControllers();
  ZPHAppDotNetLoginViewController* loginViewController() const { return m_loginViewController; }
  ZPHAppDotNetPostViewController* postViewController() const { return m_postViewController; }

  void sharingLoginViewControllerDidFinishLogin(ZPHSharingLoginViewController* controller) override;
  void sharingLoginViewControllerDidCancelLogin(ZPHSharingLoginViewController* controller) override;
  void appDotNetPostViewControllerDidSuccessfullyPost(ZPHAppDotNetPostViewController* controller) override;
  void appDotNetPostViewControllerDidCancelPost(ZPHAppDotNetPostViewController* controller) override;

private:
  bool showView(QWidget* view, QWidget* firstResponder);

  CBPluginHelper* m_pluginHelper = nullptr;
  CBSharableItem m_item;
  CBUserInterfaceContext m_userInterfaceContext;
  ZPHAppDotNetLoginViewController* m_loginViewController = nullptr;
  ZPHAppDotNetPostViewController* m_postViewController = nullptr;
};

// The plug-in registers only when the service's address is set: the
// network it was made for has closed.
class ZPHSharingPluginSendToAppDotNet : public ZPHSingleCommandPlugin<ZPHPluginCommandSendToAppDotNet> {
public:
  bool shouldRegister(ZPHPluginManager* manager) override;
};
