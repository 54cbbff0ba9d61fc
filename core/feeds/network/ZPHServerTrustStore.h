#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslError>

class ZPHUserDefaults;

// User-defaults key of the trusted certificates: a list of "digest host port"
// texts (SHA-256 of the certificate in lower-case hex).
extern const QString ZPHTrustedServerCertificatesKey;  // "ZPHTrustedServerCertificates"

// The self-signed server certificates the user chose to trust. A trust is
// bound to one certificate (its SHA-256 digest) and to the host and port it
// was trusted for, and is kept in the user defaults, so that later downloads
// from that server reach it; no other server, and no other certificate of
// that server, ever benefits.
//
// Only a certificate that is self-signed and otherwise valid for the host
// may be trusted: an expired certificate, one not yet valid, one that names
// another host or one issued by an unknown authority never is, whatever the
// user says.
//
// The network workers ask acceptsErrors() for every TLS failure. Every member
// may be called from any thread.
class ZPHServerTrustStore {
public:
  // Kept in the standard user defaults; made on first use.
  static ZPHServerTrustStore& sharedStore();
  // Kept in `defaults` (not owned; tests).
  explicit ZPHServerTrustStore(ZPHUserDefaults* defaults);
  ZPHServerTrustStore(const ZPHServerTrustStore&) = delete;
  ZPHServerTrustStore& operator=(const ZPHServerTrustStore&) = delete;

  // True when the only complaint of `errors` is that `certificate`, the
  // server's own, signs itself: it is valid today and names the host of
  // `url`. Such a certificate is one the user may be asked to trust.
  static bool isTrustableSelfSignedCertificate(const QUrl& url, const QSslCertificate& certificate,
                                               const QList<QSslError>& errors);

  // The server's certificate named by `errors` (the first one an error
  // carries); null when none does.
  static QSslCertificate certificateOfErrors(const QList<QSslError>& errors);

  // Remembers the user's trust in `certificate` for the host and port of
  // `url`. Refused (false) for a certificate that is not trustable by the
  // rule above, which is checked again on every later connection.
  bool trustCertificate(const QUrl& url, const QSslCertificate& certificate);
  bool isTrusted(const QUrl& url, const QSslCertificate& certificate) const;
  void removeAllTrustedCertificates();

  // True when a reply from `url` may go on despite `errors`: the
  // certificate is trustable and the user trusted it for that server.
  bool acceptsErrors(const QUrl& url, const QList<QSslError>& errors) const;

private:
  static QString entryFor(const QUrl& url, const QSslCertificate& certificate);
  void loadIfNeeded() const;  // m_mutex held

  ZPHUserDefaults* m_defaults;
  mutable QMutex m_mutex;
  mutable bool m_loaded = false;
  mutable QSet<QString> m_entries;
};
