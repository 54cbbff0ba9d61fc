#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>

// A pre-addressed e-mail opened in the user's mail program through a
// "mailto:" address. Subject and body are percent-encoded in full (UTF-8,
// every character but the unreserved ones), so no "&", "=", "#" or line
// break in them can end a field early or add one.
class ZPHFeedbackMailer {
public:
  // The maker's support address.
  static const QString FeedbackRecipient;

  // Subject and body must not be null.
  ZPHFeedbackMailer(const QString& subject, const QString& body);

  // "Zephlin Feedback", "Thanks for helping us make Zephlin better."
  static ZPHFeedbackMailer defaultFeedbackMailer();

  QString subject() const { return m_subject; }
  QString body() const { return m_body; }

  // "mailto:<recipient>?subject=<subject>&body=<body>".
  QUrl mailtoURL() const;

  // Hands the address to `open` (the desktop's mail handler when empty);
  // answers whether it was taken.
  using URLOpener = std::function<bool(const QUrl&)>;
  bool send(const URLOpener& open = {}) const;
  static bool sendFeedbackWithSubject(const QString& subject, const QString& body, const URLOpener& open = {});

private:
  QString m_subject;
  QString m_body;
};
