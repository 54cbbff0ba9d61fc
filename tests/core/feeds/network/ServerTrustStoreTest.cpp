#include "feeds/network/ZPHServerTrustStore.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestSupport.h"

#include <QtNetwork/QSslCertificate>

#include <gtest/gtest.h>

namespace {

QSslCertificate certificate(const char* name)
{
  return QSslCertificate::fromData(ZPHTestFixture(QStringLiteral("tls/%1.crt").arg(QLatin1String(name)))).value(0);
}

QList<QSslError> errors(const QSslCertificate& certificate, std::initializer_list<QSslError::SslError> kinds)
{
  QList<QSslError> list;
  for (QSslError::SslError kind : kinds) list.append(QSslError(kind, certificate));
  return list;
}

}  // namespace

TEST(ServerTrustStore, OnlyASelfSignedCertificateValidForTheHostCanBeTrusted)
{
  const QSslCertificate localhost = certificate("localhost");
  const QSslCertificate expired = certificate("expired");
  const QSslCertificate wrongHost = certificate("wrong-host");
  ASSERT_FALSE(localhost.isNull());
  const QUrl address("https://127.0.0.1:8443/feed");
  struct Case {
    const char* what;
    QUrl url;
    QSslCertificate certificate;
    QList<QSslError> errors;
    bool trustable;
  } cases[] = {
      {"self-signed for the host", address, localhost, errors(localhost, {QSslError::SelfSignedCertificate}), true},
      {"by its DNS name", QUrl("https://LOCALHOST/"), localhost, errors(localhost, {QSslError::SelfSignedCertificate}),
       true},
      {"and expired", address, expired, errors(expired, {QSslError::SelfSignedCertificate}), false},
      {"expired, as reported", address, expired,
       errors(expired, {QSslError::SelfSignedCertificate, QSslError::CertificateExpired}), false},
      {"for another host", address, wrongHost, errors(wrongHost, {QSslError::SelfSignedCertificate}), false},
      {"host mismatch reported", address, localhost,
       errors(localhost, {QSslError::SelfSignedCertificate, QSslError::HostNameMismatch}), false},
      {"another kind of error", address, localhost, errors(localhost, {QSslError::CertificateUntrusted}), false},
      {"no error", address, localhost, {}, false},
      {"not https", QUrl("http://127.0.0.1/"), localhost, errors(localhost, {QSslError::SelfSignedCertificate}), false},
      {"another host address", QUrl("https://127.0.0.2/"), localhost,
       errors(localhost, {QSslError::SelfSignedCertificate}), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHServerTrustStore::isTrustableSelfSignedCertificate(c.url, c.certificate, c.errors), c.trustable)
        << c.what;
}

TEST(ServerTrustStore, TrustIsKeptForOneCertificateOnOneServer)
{
  ZPHTestTempDir folder;
  const QString settings = folder.filePath(QStringLiteral("trust.conf"));
  const QSslCertificate localhost = certificate("localhost");
  const QSslCertificate expired = certificate("expired");
  const QUrl address("https://127.0.0.1:8443/feed");
  const QList<QSslError> selfSigned = errors(localhost, {QSslError::SelfSignedCertificate});
  {
    ZPHUserDefaults defaults(settings);
    ZPHServerTrustStore store(&defaults);
    EXPECT_FALSE(store.acceptsErrors(address, selfSigned));
    EXPECT_FALSE(store.trustCertificate(address, expired));
    EXPECT_TRUE(store.trustCertificate(address, localhost));
    EXPECT_TRUE(store.acceptsErrors(address, selfSigned));
    EXPECT_TRUE(store.acceptsErrors(QUrl("https://127.0.0.1:8443/other/path"), selfSigned));
    EXPECT_FALSE(store.acceptsErrors(QUrl("https://127.0.0.1:9443/feed"), selfSigned));  // another port
    EXPECT_FALSE(store.acceptsErrors(QUrl("https://localhost:8443/feed"), selfSigned));  // another host name
    EXPECT_FALSE(store.acceptsErrors(
        address, errors(localhost, {QSslError::SelfSignedCertificate, QSslError::CertificateExpired})));
    defaults.synchronize();
  }
  // Kept across runs.
  ZPHUserDefaults defaults(settings);
  ZPHServerTrustStore store(&defaults);
  EXPECT_TRUE(store.isTrusted(address, localhost));
  store.removeAllTrustedCertificates();
  EXPECT_FALSE(store.isTrusted(address, localhost));
}
