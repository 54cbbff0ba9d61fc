#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QString>

class CBFeed;
class ZPHManagedObjectContext;

// Errors of building a feed from a stub.
extern const QString ZPHFeedStubErrorDomain;  // "ZPHFeedStubErrorDomain"
enum ZPHFeedStubErrorCode {
  // The address is not a web address (http or https, also behind feed:).
  ZPHFeedStubErrorUnsupportedAddress = 1,
};

// A feed as an importer describes it before it exists in the store: plain
// strings, owned copies.
class ZPHFeedStub {
public:
  explicit ZPHFeedStub(const QString& urlString) : m_urlString(urlString) {}

  QString urlString() const { return m_urlString; }
  void setUrlString(const QString& value) { m_urlString = value; }
  QString homePageURLString() const { return m_homePageURLString; }
  void setHomePageURLString(const QString& value) { m_homePageURLString = value; }
  QString faviconURLString() const { return m_faviconURLString; }
  void setFaviconURLString(const QString& value) { m_faviconURLString = value; }
  QString feedSpecifiedName() const { return m_feedSpecifiedName; }
  void setFeedSpecifiedName(const QString& value) { m_feedSpecifiedName = value; }
  QString userSpecifiedName() const { return m_userSpecifiedName; }
  void setUserSpecifiedName(const QString& value) { m_userSpecifiedName = value; }
  QString username() const { return m_username; }
  void setUsername(const QString& value) { m_username = value; }
  QString password() const { return m_password; }
  void setPassword(const QString& value) { m_password = value; }

  // A new feed in the context, or nullptr: for an empty address, for an
  // address the context already subscribes to, and for an address that is
  // not http or https once a feed: address became its web address (then
  // `error`, when given, says why; the caller reports the skipped stub).
  // A feed: address is kept in its web form as the new urlString. An
  // importer that has compared the addresses with the store's already may
  // leave the look-up out (`checksForExistingFeed` false): with many new
  // feeds unsaved in the context, each look-up would weigh them all.
  CBFeed* buildFeedWithManagedObjectContext(ZPHManagedObjectContext* context, ZPHError* error = nullptr,
                                            bool checksForExistingFeed = true);

private:
  QString m_urlString;
  QString m_homePageURLString;
  QString m_faviconURLString;
  QString m_feedSpecifiedName;
  QString m_userSpecifiedName;
  QString m_username;
  QString m_password;
};
