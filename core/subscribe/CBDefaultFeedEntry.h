#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

#include <memory>
#include <optional>

class CBDataAccount;
class CBFolder;
class ZPHSubscribeRequest;

// One site of the catalogue of suggested sites: shown by the popular-sites
// pane and subscribed to through a ZPHSubscribeRequest.
class CBDefaultFeedEntry {
public:
  // The entry of one catalogue dictionary: "rss" and "home" (web addresses),
  // "name" and "description" (non-empty texts), all required, and the
  // category's name, which must not be empty either. A dictionary that
  // breaks a rule gives no entry, and the reason is logged.
  static std::optional<CBDefaultFeedEntry> defaultFeedEntryWithPlistDictionary(const QVariantMap& dictionary,
                                                                               const QString& categoryName);

  // A new request for the feed in that account and folder (nullptr: the
  // top level), titled with the site's name, appended at the end.
  std::shared_ptr<ZPHSubscribeRequest> subscribeRequestForAccount(CBDataAccount* account, CBFolder* folder) const;

  // The same site without its category name.
  CBDefaultFeedEntry copy() const;

  QString name() const { return m_name; }
  void setName(const QString& name) { m_name = name; }
  QString description() const { return m_description; }
  void setDescription(const QString& description) { m_description = description; }
  QString cateogryLocalizedName() const { return m_cateogryLocalizedName; }
  void setCateogryLocalizedName(const QString& name) { m_cateogryLocalizedName = name; }
  QUrl rssURL() const { return m_rssURL; }
  void setRssURL(const QUrl& url) { m_rssURL = url; }
  QUrl homeURL() const { return m_homeURL; }
  void setHomeURL(const QUrl& url) { m_homeURL = url; }

private:
  QString m_name;
  QString m_description;
  QString m_cateogryLocalizedName;
  QUrl m_rssURL;
  QUrl m_homeURL;
};
