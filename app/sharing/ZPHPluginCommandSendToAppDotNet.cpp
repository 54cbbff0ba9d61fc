#include "sharing/ZPHPluginCommandSendToAppDotNet.h"

#include "foundation/CBKeychain.h"
#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHNamedImage.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "sharing/ZPHSocialPostClient.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

const QString ZPHPluginCommandSendToAppDotNet::AccessTokenService =
    QStringLiteral("Zephlin: ZPHPluginCommandSendToAppDotNetAccessToken");
const QString ZPHPluginCommandSendToAppDotNet::AccessTokenAccount = QStringLiteral("accessToken");

namespace {

// A view controller let go hears no more of the popover: what it was told
// to do when the popover closes would reach a command that has moved on, or
// is gone, before the deferred deletion comes.
template <class T>
void dropLater(T*& object)
{
  if (object != nullptr) {
    object->setDelegate(nullptr);
    QObject::disconnect(ZPHSharingPopoverViewController::sharingPopoverViewController(), nullptr, object, nullptr);
    std::exchange(object, nullptr)->deleteLater();
  }
}

}  // namespace

// MARK: - Login view

QString ZPHAppDotNetLoginViewController::titleString() const
{
  return QCoreApplication::translate("AppDotNet", "Post to App.net");
}

QImage ZPHAppDotNetLoginViewController::iconImage() const
{
  static const QImage icon = ZPHNamedImage(QStringLiteral("AppDotNetPostLogo"));
  return icon;
}

ZPHError ZPHAppDotNetLoginViewController::translateADNLoginError(const ZPHError& error)
{
  if (error.domain() == ZPHSocialPostClient::ErrorDomain) {
    if (error.code() == ZPHSocialPostClient::AuthenticationFailed)
      return ZPHError(ZPHSharingErrorDomain, ZPHSharingLoginError);
    if (error.code() == ZPHSocialPostClient::TransportFailed && ZPHSharingIsOffline())
      return ZPHSharingError(ZPHSharingInternetDisconnectedError,
                             QCoreApplication::translate("ZPHSharingErrors", "Internet Disconnected"));
  }
  return error;
}

void ZPHAppDotNetLoginViewController::loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler)
{
  const ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  ZPHSocialPostClient* client = ZPHSocialPostClient::sharedClient();
  QPointer<ZPHAppDotNetLoginViewController> self(this);
  client->authenticate(emailAddress(), password(), defaults.stringForKey(ZPHSocialPostClient::ClientIDDefaultsKey),
                       defaults.stringForKey(ZPHSocialPostClient::PasswordGrantSecretDefaultsKey),
                       ZPHSocialPostClient::ScopeBasic | ZPHSocialPostClient::ScopeWritePost,
                       [self, client, handler](bool success, const ZPHError& error) {
                         if (self == nullptr)
                           return;
                         if (success) {
                           self->m_accessToken = client->accessToken();
                           if (ZPHSharingLoginViewControllerDelegate* delegate = self->delegate())
                             delegate->sharingLoginViewControllerDidFinishLogin(self);
                         } else {
                           // The error's domain and code only: its text may echo the request.
                           qCWarning(zphInterface).noquote()
                               << "the social network refused the login:" << error.domain() << error.code();
                         }
                         handler(success ? ZPHError() : translateADNLoginError(error));
                       });
}

// MARK: - Command

ZPHPluginCommandSendToAppDotNet::ZPHPluginCommandSendToAppDotNet()
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("SendToAppDotNet"),
                            QCoreApplication::translate("AppDotNet", "Post on App.net"), QStringLiteral("AppDotNet"),
                            Sharing, QStringLiteral("toolbar_share_adn"))
{
}

ZPHPluginCommandSendToAppDotNet::~ZPHPluginCommandSendToAppDotNet()
{
  delete m_loginViewController;
  delete m_postViewController;
}

QString ZPHPluginCommandSendToAppDotNet::accessToken()
{
  QString token;
  ZPHError error;
  if (!CBKeychainGetPassword(AccessTokenService, AccessTokenAccount, token, error))
    return {};
  return token;
}

void ZPHPluginCommandSendToAppDotNet::setAccessToken(const QString& token)
{
  ZPHError error;
  if (token.isEmpty()) {
    CBKeychainDeletePassword(AccessTokenService, AccessTokenAccount, nullptr);
    return;
  }
  if (!CBKeychainSetPassword(AccessTokenService, AccessTokenAccount, token, &error))
    qCWarning(zphInterface).noquote() << "the social network's token could not be stored:" << error.toString();
}

bool ZPHPluginCommandSendToAppDotNet::performCommandWithArray(const QList<CBSharableItem>& items,
                                                              const CBUserInterfaceContext& context,
                                                              CBPluginHelper* helper, ZPHError* error)
{
  Q_UNUSED(error);
  m_pluginHelper = helper;
  m_item = items.value(0);
  m_userInterfaceContext = context;
  ZPHSocialPostClient* client = ZPHSocialPostClient::sharedClient();
  const QString token = accessToken();
  if (!token.isEmpty())
    client->setAccessToken(token);
  if (client->isAuthenticated())
    zph_showPostView();
  else
    zph_showLoginView();
  return true;
}

bool ZPHPluginCommandSendToAppDotNet::showView(QWidget* view, QWidget* firstResponder)
{
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  popover->setContent(view, QRect(QPoint(), view->size()), true);
  QPointer<QWidget> focus(firstResponder);
  QTimer::singleShot(0, popover, [focus] {
    if (focus != nullptr)
      focus->setFocus(Qt::OtherFocusReason);
  });
  return true;
}

bool ZPHPluginCommandSendToAppDotNet::zph_showLoginView()
{
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (!popover->displaySharingPopoverIfNeeded(m_userInterfaceContext, this))
    return false;
  dropLater(m_loginViewController);
  m_loginViewController = new ZPHAppDotNetLoginViewController(this);
  return showView(m_loginViewController->view(), m_loginViewController->firstResponder());
}

bool ZPHPluginCommandSendToAppDotNet::zph_showPostView()
{
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (!popover->displaySharingPopoverIfNeeded(m_userInterfaceContext, this))
    return false;
  dropLater(m_postViewController);
  m_postViewController = new ZPHAppDotNetPostViewController(this);
  m_postViewController->populatePostTextWithSharableItem(m_item);
  // A popover that closes ends the composing. A composer that was dropped
  // meanwhile (its delegate cleared, its deletion still to come) no longer
  // speaks for this command, which may be gone by then.
  ZPHAppDotNetPostViewController* composer = m_postViewController;
  QObject::connect(popover, &ZPHSharingPopoverViewController::popoverDidClose, composer, [this, composer] {
    if (composer->delegate() != nullptr)
      zph_resetViewControllers();
  });
  return showView(m_postViewController->view(), m_postViewController->firstResponder());
}

void ZPHPluginCommandSendToAppDotNet::zph_resetViewControllers()
{
  dropLater(m_loginViewController);
  dropLater(m_postViewController);
}

bool ZPHPluginCommandSendToAppDotNet::canClearCredentials() const { return !accessToken().isEmpty(); }

void ZPHPluginCommandSendToAppDotNet::clearCredentials()
{
  setAccessToken(QString());
  ZPHSocialPostClient::sharedClient()->logOut();
}

void ZPHPluginCommandSendToAppDotNet::sharingLoginViewControllerDidFinishLogin(
    ZPHSharingLoginViewController* controller)
{
  if (controller != m_loginViewController || m_loginViewController->accessToken().isEmpty())
    return;
  setAccessToken(m_loginViewController->accessToken());
  dropLater(m_loginViewController);
  zph_showPostView();
}

void ZPHPluginCommandSendToAppDotNet::sharingLoginViewControllerDidCancelLogin(
    ZPHSharingLoginViewController* controller)
{
  if (controller != m_loginViewController)
    return;
  zph_resetViewControllers();
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
}

void ZPHPluginCommandSendToAppDotNet::appDotNetPostViewControllerDidSuccessfullyPost(
    ZPHAppDotNetPostViewController* controller)
{
  Q_UNUSED(controller);
  zph_resetViewControllers();
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
}

void ZPHPluginCommandSendToAppDotNet::appDotNetPostViewControllerDidCancelPost(
    ZPHAppDotNetPostViewController* controller)
{
  Q_UNUSED(controller);
  zph_resetViewControllers();
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
}

// MARK: - Plug-in

bool ZPHSharingPluginSendToAppDotNet::shouldRegister(ZPHPluginManager* manager)
{
  if (!ZPHSocialPostClient::baseURL().isValid())
    return false;
  return ZPHSingleCommandPlugin<ZPHPluginCommandSendToAppDotNet>::shouldRegister(manager);
}
