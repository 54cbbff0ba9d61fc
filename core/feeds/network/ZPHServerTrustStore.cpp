#include "feeds/network/ZPHServerTrustStore.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDateTime>
#include <QtCore/QMutexLocker>
#include <QtNetwork/QHostAddress>

const QString ZPHTrustedServerCertificatesKey = QStringLiteral("ZPHTrustedServerCertificates");

namespace {

int defaultPort(const QUrl& url)
{
  return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

// A DNS name of a certificate ("*.example.com" covers one label) against a host.
bool nameMatchesHost(const QString& name, const QString& host)
{
  const QString pattern = name.trimmed().toLower();
  if (pattern.isEmpty())
    return false;
  if (pattern == host)
    return true;
  if (!pattern.startsWith(QLatin1String("*.")))
    return false;
  const qsizetype dot = host.indexOf(u'.');
  return dot > 0 && host.mid(dot) == pattern.mid(1) && pattern.count(u'.') >= 2;
}

// The host names and addresses the certificate is for: its alternative names
// when it has any, else its common names.
bool certificateNamesHost(const QSslCertificate& certificate, const QString& host)
{
  const QHostAddress address(host);
  const QMultiMap<QSsl::AlternativeNameEntryType, QString> names = certificate.subjectAlternativeNames();
  if (!names.isEmpty()) {
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
      if (it.key() == QSsl::IpAddressEntry && !address.isNull() && QHostAddress(it.value()) == address)
        return true;
      if (it.key() == QSsl::DnsEntry && address.isNull() && nameMatchesHost(it.value(), host))
        return true;
    }
    return false;
  }
  for (const QString& commonName : certificate.subjectInfo(QSslCertificate::CommonName)) {
    if (address.isNull() ? nameMatchesHost(commonName, host) : QHostAddress(commonName) == address)
      return true;
  }
  return false;
}

}  // namespace

ZPHServerTrustStore& ZPHServerTrustStore::sharedStore()
{
  // Lives for the whole process: network workers may still ask during exit.
  static ZPHServerTrustStore* store = new ZPHServerTrustStore(&ZPHUserDefaults::standardUserDefaults());
  return *store;
}

ZPHServerTrustStore::ZPHServerTrustStore(ZPHUserDefaults* defaults) : m_defaults(defaults) {}

bool ZPHServerTrustStore::isTrustableSelfSignedCertificate(const QUrl& url, const QSslCertificate& certificate,
                                                           const QList<QSslError>& errors)
{
  const QString host = url.host().toLower();
  if (errors.isEmpty() || certificate.isNull() || host.isEmpty() ||
      url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
    return false;
  for (const QSslError& error : errors) {
    if (error.error() != QSslError::SelfSignedCertificate)
      return false;
    if (!error.certificate().isNull() && error.certificate() != certificate)
      return false;
  }
  if (!certificate.isSelfSigned() || certificate.isBlacklisted())
    return false;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  if (!certificate.effectiveDate().isValid() || !certificate.expiryDate().isValid() ||
      now < certificate.effectiveDate() || now > certificate.expiryDate())
    return false;
  return certificateNamesHost(certificate, host);
}

QSslCertificate ZPHServerTrustStore::certificateOfErrors(const QList<QSslError>& errors)
{
  for (const QSslError& error : errors) {
    if (!error.certificate().isNull())
      return error.certificate();
  }
  return QSslCertificate();
}

QString ZPHServerTrustStore::entryFor(const QUrl& url, const QSslCertificate& certificate)
{
  const QByteArray digest = certificate.digest(QCryptographicHash::Sha256).toHex();
  return QString::fromLatin1(digest) + u' ' + url.host().toLower() + u' ' + QString::number(url.port(defaultPort(url)));
}

void ZPHServerTrustStore::loadIfNeeded() const
{
  if (m_loaded)
    return;
  m_loaded = true;
  if (m_defaults == nullptr)
    return;
  for (const QString& entry : m_defaults->stringArrayForKey(ZPHTrustedServerCertificatesKey)) m_entries.insert(entry);
}

bool ZPHServerTrustStore::trustCertificate(const QUrl& url, const QSslCertificate& certificate)
{
  const QList<QSslError> selfSigned{QSslError(QSslError::SelfSignedCertificate, certificate)};
  if (!isTrustableSelfSignedCertificate(url, certificate, selfSigned)) {
    qCWarning(zphNetwork) << "refusing to trust a certificate that is not a valid self-signed one for" << url.host();
    return false;
  }
  QMutexLocker locker(&m_mutex);
  loadIfNeeded();
  m_entries.insert(entryFor(url, certificate));
  if (m_defaults != nullptr) {
    QStringList entries(m_entries.cbegin(), m_entries.cend());
    entries.sort();
    m_defaults->setObject(ZPHTrustedServerCertificatesKey, entries);
  }
  qCInfo(zphNetwork) << "the user trusts the self-signed certificate of" << url.host() << "port"
                     << url.port(defaultPort(url));
  return true;
}

bool ZPHServerTrustStore::isTrusted(const QUrl& url, const QSslCertificate& certificate) const
{
  if (certificate.isNull() || url.host().isEmpty())
    return false;
  QMutexLocker locker(&m_mutex);
  loadIfNeeded();
  return m_entries.contains(entryFor(url, certificate));
}

void ZPHServerTrustStore::removeAllTrustedCertificates()
{
  QMutexLocker locker(&m_mutex);
  m_loaded = true;
  m_entries.clear();
  if (m_defaults != nullptr)
    m_defaults->removeObject(ZPHTrustedServerCertificatesKey);
}

bool ZPHServerTrustStore::acceptsErrors(const QUrl& url, const QList<QSslError>& errors) const
{
  const QSslCertificate certificate = certificateOfErrors(errors);
  return isTrustableSelfSignedCertificate(url, certificate, errors) && isTrusted(url, certificate);
}
