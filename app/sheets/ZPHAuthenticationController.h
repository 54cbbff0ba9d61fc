#pragma once

// Qt kind: QObject.

#include "platform/ZPHNotificationCenter.h"
#include "sheets/ZPHSheetHost.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QVariantMap>

#include <memory>
#include <vector>

class ZPHCredentialsWindowController;
class ZPHTrustSelfSignedCertWindowController;

// Answers the core library's questions to the user: a login asked by the
// feed finder (a search of the Add Site window) or by a refresh, and
// whether to trust a server's own certificate. Each question gets exactly
// one answer, on the main thread:
// - with one of its sheets up, or without a visible main window, a question
//   is answered at once: cancelled, or not trusted. So prompts come one at
//   a time;
// - a refresh login for a feed no account has is answered at once as
//   cancelled ("userCancel");
// - otherwise a sheet asks, on the sheet the main window shows (the Add
//   Site window's) or on the main window, and its end is the answer;
// - at quit, an open prompt is answered as cancelled.
// The finder's answers carry its question's token; a refresh's answer is
// its question's user info with "username", "password" or "userCancel".
// A login entered for a refresh is kept on the feed (the user name stored,
// the password in the keyring); a cancelled one changes nothing.
//
// One per application, made at start-up. Main thread; passwords are never
// logged.
class ZPHAuthenticationController : public QObject {
  Q_OBJECT

public:
  explicit ZPHAuthenticationController(ZPHSheetHost host, QObject* parent = nullptr);
  ~ZPHAuthenticationController() override;

  // "Enter username and password for “%1.”".
  static QString quotedUsernameAndPasswordStringForMessageTextField(const QString& name);

  // A prompt of this controller is up.
  bool isWaitingForBasicHTTPAuthentication() const;
  bool isAskingAboutCertificate() const;
  // The feed finder's credentials sheet while it is up.
  ZPHCredentialsWindowController* currentCredentialsWindowController() const;
  // The credentials sheet while it is up (the finder's or a refresh's).
  ZPHCredentialsWindowController* credentialsSheet() const;
  // The certificate sheet while it is up.
  ZPHTrustSelfSignedCertWindowController* currentTrustWindowController() const;
  // Stops the finder's credentials sheet (answered as cancelled).
  void cancelCurrentCredentialsRequest();
  // Answers every open prompt as cancelled (the application quits).
  void cancelAllPrompts();

  // The handlers of the questions.
  void shouldAuthenticateHTTPBasicAuth(const ZPHNotification& notification);
  void shouldAuthenticateSelfSignedCert(const ZPHNotification& notification);
  void handleFeedChallengeEvent(const ZPHNotification& notification);

private:
  bool promptIsUp() const;

  ZPHSheetHost m_host;
  std::unique_ptr<ZPHCredentialsWindowController> m_credentials;
  bool m_credentialsAreTheFinders = false;
  std::unique_ptr<ZPHTrustSelfSignedCertWindowController> m_trust;
  std::vector<ZPHObserverToken> m_observers;
};
