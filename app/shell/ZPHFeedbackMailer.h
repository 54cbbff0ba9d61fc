#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

#include <functional>

// A pre-addressed e-mail opened in the user's mail program through a
// "mailto:" address. Subject and body are percent-encoded in full (UTF-8,
// every character but the unreserved ones), so no "&", "=", "#" or line
// break in them can end a field early or add one. With the system
// information, the body is followed, two line breaks later, by a block that
// leaves room for the user's words and then lists the computer's profile
// (ZPHSystemProfile).
class ZPHFeedbackMailer {
public:
  // The maker's support address.
  static const QString FeedbackRecipient;

  // Subject and body must not be null.
  ZPHFeedbackMailer(const QString& subject, const QString& body, bool includeSystemInformation = false,
                    const QVariantMap& systemProfile = {});

  // "Zephlin Feedback", "Thanks for helping us make Zephlin better.", with
  // the system information of this computer (or the profile given).
  static ZPHFeedbackMailer defaultFeedbackMailer();
  static ZPHFeedbackMailer defaultFeedbackMailerWithProfile(const QVariantMap& systemProfile);

  QString subject() const { return m_subject; }
  QString body() const { return m_body; }
  bool includeSystemInformation() const { return m_includeSystemInformation; }
  // The body as sent: the body, and the system information when included.
  QString fullBody() const;
  static QString systemInformationBlock(const QVariantMap& systemProfile);

  // "mailto:<recipient>?subject=<subject>&body=<full body>".
  QUrl mailtoURL() const;

  // Hands the address to `open` (the desktop's mail handler when empty);
  // answers whether it was taken.
  using URLOpener = std::function<bool(const QUrl&)>;
  bool send(const URLOpener& open = {}) const;
  static bool sendFeedbackWithSubject(const QString& subject, const QString& body, bool includeSystemInformation,
                                      const URLOpener& open = {});

private:
  QString m_subject;
  QString m_body;
  bool m_includeSystemInformation;
  QVariantMap m_systemProfile;
};
