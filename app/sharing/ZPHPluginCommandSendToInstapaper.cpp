#include "sharing/ZPHPluginCommandSendToInstapaper.h"

#include "foundation/CBKeychain.h"
#include "kit/ZPHInterfaceLog.h"
#include "kit/ZPHNamedImage.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingHost.h"
#include "sharing/ZPHSharingPopoverViewController.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtWidgets/QLineEdit>

const QString ZPHPluginCommandSendToInstapaper::AccountDefaultsKey = QStringLiteral("instapaper_account");
const QString ZPHPluginCommandSendToInstapaper::PasswordPath = QStringLiteral("/api/add");

namespace {

QString passwordServer() { return ZPHInstapaperClient::baseURL().host(); }

// Dropped once the call that reaches here has returned.
template <class T>
void dropLater(T*& object)
{
  if (object != nullptr)
    std::exchange(object, nullptr)->deleteLater();
}

}  // namespace

// MARK: - Login view

ZPHInstapaperLoginViewController::~ZPHInstapaperLoginViewController() { delete m_client; }

QString ZPHInstapaperLoginViewController::titleString() const
{
  return QCoreApplication::translate("Instapaper", "Save to Instapaper");
}

QImage ZPHInstapaperLoginViewController::iconImage() const
{
  static const QImage icon = ZPHNamedImage(QStringLiteral("toolbar_share_instapaper"));
  return icon;
}

void ZPHInstapaperLoginViewController::restoreFromSavedCredentials()
{
  setEmailAddress(ZPHPluginCommandSendToInstapaper::savedUsername());
  setPassword(ZPHPluginCommandSendToInstapaper::savedPassword());
}

void ZPHInstapaperLoginViewController::loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler)
{
  if (emailAddress().isEmpty()) {
    handler(ZPHSharingError(ZPHSharingLoginError));
    return;
  }
  dropClient();
  m_client = new ZPHAuthenticateInstapaperClient;
  m_client->setDelegate(this);
  m_client->setUsername(emailAddress());
  m_client->setPassword(password());
  m_loginCompletionHandler = std::move(handler);
  m_client->start();
}

void ZPHInstapaperLoginViewController::dropClient()
{
  if (m_client != nullptr) {
    m_client->setDelegate(nullptr);
    dropLater(m_client);
  }
}

void ZPHInstapaperLoginViewController::instapaperClientDidSucceed(ZPHInstapaperClient* client)
{
  if (client != m_client)
    return;
  dropClient();
  const auto handler = std::exchange(m_loginCompletionHandler, {});
  if (ZPHSharingLoginViewControllerDelegate* delegate = this->delegate())
    delegate->sharingLoginViewControllerDidFinishLogin(this);
  if (handler)
    handler(ZPHError());
}

void ZPHInstapaperLoginViewController::instapaperClientDidFail(ZPHInstapaperClient* client, const ZPHError& error)
{
  if (client != m_client)
    return;
  dropClient();
  const auto handler = std::exchange(m_loginCompletionHandler, {});
  if (handler)
    handler(error);
}

// MARK: - Saved login

ZPHPluginCommandSendToInstapaper::ZPHPluginCommandSendToInstapaper()
    : ZPHSharingCommandBase(CommandIDPrefix + QStringLiteral("SendToInstapaper"),
                            QCoreApplication::translate("Instapaper", "Save to Instapaper"),
                            QStringLiteral("Instapaper"), ReadLater, QStringLiteral("toolbar_share_instapaper"))
{
}

ZPHPluginCommandSendToInstapaper::~ZPHPluginCommandSendToInstapaper()
{
  delete m_client;
  delete m_loginViewController;
}

QString ZPHPluginCommandSendToInstapaper::savedUsername()
{
  return ZPHUserDefaults::standardUserDefaults().stringForKey(AccountDefaultsKey);
}

void ZPHPluginCommandSendToInstapaper::setSavedUsername(const QString& username)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  if (username.isEmpty())
    defaults.removeObject(AccountDefaultsKey);
  else
    defaults.setString(AccountDefaultsKey, username);
}

QString ZPHPluginCommandSendToInstapaper::savedPassword()
{
  const QString username = savedUsername();
  if (username.isEmpty())
    return {};
  return CBKeychain::fetchInternetPasswordFromKeychain(nullptr, username, passwordServer(), PasswordPath,
                                                       CBKeychainProtocolTypeHTTP, nullptr);
}

void ZPHPluginCommandSendToInstapaper::setSavedPassword(const QString& password)
{
  const QString username = savedUsername();
  if (username.isEmpty())
    return;
  // An empty password would leave the old one in the store; it goes.
  if (password.isEmpty()) {
    clearSavedPasswordForUsername(username);
    return;
  }
  ZPHError error;
  if (!CBKeychain::storeInternetPasswordInKeychain(password, username, passwordServer(), PasswordPath,
                                                   CBKeychainProtocolTypeHTTP, &error))
    qCWarning(zphInterface).noquote() << "the read-later password could not be stored:" << error.toString();
}

void ZPHPluginCommandSendToInstapaper::clearSavedPasswordForUsername(const QString& username)
{
  ZPHError error;
  if (!CBKeychain::deleteInternetPasswordFromKeychain(username, passwordServer(), PasswordPath,
                                                      CBKeychainProtocolTypeAny, &error))
    qCWarning(zphInterface).noquote() << "the read-later password could not be removed:" << error.toString();
}

bool ZPHPluginCommandSendToInstapaper::hasSavedCredentials()
{
  return !savedUsername().isEmpty() && !savedPassword().isEmpty();
}

bool ZPHPluginCommandSendToInstapaper::canClearCredentials() const
{
  return !savedUsername().isEmpty() || !savedPassword().isEmpty();
}

void ZPHPluginCommandSendToInstapaper::clearCredentials()
{
  const QString username = savedUsername();
  setSavedUsername(QString());
  if (!username.isEmpty())
    clearSavedPasswordForUsername(username);
}

void ZPHPluginCommandSendToInstapaper::saveCredentials()
{
  if (m_loginViewController == nullptr || m_loginViewController->emailAddress().isEmpty())
    return;
  const QString previous = savedUsername();
  setSavedUsername(m_loginViewController->emailAddress());
  if (!previous.isEmpty() && previous != m_loginViewController->emailAddress())
    clearSavedPasswordForUsername(previous);
  setSavedPassword(m_loginViewController->password());
}

// MARK: - Running

bool ZPHPluginCommandSendToInstapaper::performCommandWithArray(const QList<CBSharableItem>& items,
                                                               const CBUserInterfaceContext& context,
                                                               CBPluginHelper* helper, ZPHError* error)
{
  Q_UNUSED(error);
  m_pluginHelper = helper;
  m_sharingPopoverWasShownAtStart = ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown();
  m_item = items.value(0);
  m_userInterfaceContext = context;
  if (hasSavedCredentials())
    sendRequestToInstapaper();
  else
    askUserForCredentials();
  return true;
}

void ZPHPluginCommandSendToInstapaper::sendRequestToInstapaper()
{
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
  dropClient();
  m_client = new ZPHSendToInstapaperClient(m_item, m_pluginHelper);
  m_client->setDelegate(this);
  m_client->setUsername(savedUsername());
  m_client->setPassword(savedPassword());
  m_client->start();
}

bool ZPHPluginCommandSendToInstapaper::askUserForCredentials()
{
  if (m_loginViewController != nullptr)
    return true;  // a login is being asked for already
  m_loginViewController = new ZPHInstapaperLoginViewController(this);
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (!popover->displaySharingPopoverIfNeeded(m_userInterfaceContext, this)) {
    // Nowhere to ask: the login view goes at once, so the next run asks
    // again instead of waiting for a view that never shows.
    dropLoginViewController();
    return false;
  }
  m_loginViewController->restoreFromSavedCredentials();
  QWidget* view = m_loginViewController->view();
  popover->setContent(view, QRect(QPoint(), view->size()), true);
  QPointer<ZPHInstapaperLoginViewController> login(m_loginViewController);
  QTimer::singleShot(0, popover, [login] {
    if (login != nullptr)
      login->focusLoginField();
  });
  return true;
}

void ZPHPluginCommandSendToInstapaper::dropLoginViewController()
{
  if (m_loginViewController != nullptr)
    m_loginViewController->setDelegate(nullptr);
  dropLater(m_loginViewController);
}

void ZPHPluginCommandSendToInstapaper::dropClient()
{
  if (m_client != nullptr)
    m_client->setDelegate(nullptr);
  dropLater(m_client);
}

void ZPHPluginCommandSendToInstapaper::sharingLoginViewControllerDidFinishLogin(
    ZPHSharingLoginViewController* controller)
{
  if (controller != m_loginViewController)
    return;
  saveCredentials();
  dropLoginViewController();
  sendRequestToInstapaper();
}

void ZPHPluginCommandSendToInstapaper::sharingLoginViewControllerDidCancelLogin(
    ZPHSharingLoginViewController* controller)
{
  if (controller != m_loginViewController)
    return;
  dropLoginViewController();
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
}

void ZPHPluginCommandSendToInstapaper::instapaperClientDidSucceed(ZPHInstapaperClient* client)
{
  if (client != m_client)
    return;
  if (m_pluginHelper != nullptr)
    m_pluginHelper->noteUserDidShareItem(m_client->sharableItem(), QStringLiteral("com.instapaper"));
  dropClient();
}

void ZPHPluginCommandSendToInstapaper::instapaperClientDidFail(ZPHInstapaperClient* client, const ZPHError& error)
{
  if (client != m_client)
    return;
  dropClient();
  if (error.domain() != ZPHSharingErrorDomain || error.code() != ZPHSharingLoginError)
    return;  // reported by the notification; the login stays
  clearCredentials();
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  if (m_sharingPopoverWasShownAtStart && popover->mainWindowController() != nullptr)
    popover->mainWindowController()->presentSharingPopOver();
  askUserForCredentials();
}
