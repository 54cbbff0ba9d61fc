#pragma once

#include "foundation/CBString.h"
#include "store/entities/CBNode.h"

// The stored attributes of a feed (entity "CBFeed"). The password attribute
// is kept in memory only: passwords live in the keychain. The addresses are
// stored without a user name or password in them, whoever sets them.
class AbstractManagedFeed : public CBNode {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex {
    PropertyUrl = CBNode::AttributeCount,
    PropertyStrHomePageURL,
    PropertyStrFaviconURL,
    PropertyFeedSpecifiedName,
    PropertyUsername,
    PropertyPassword,
    PropertyFavorite,
    PropertySuspended,
    PropertyExcludeFromDisplay,
    PropertyCanBeRefreshed,
    PropertyIsSection,
    PropertyDaysToPersistArticles,
    PropertySortKey,
    PropertyPubDate,
    PropertyMarkAllAsReadLastArticleDate,
    PropertyServiceOldestTrackedItemTimestamp,
    PropertyNameForDisplay,
    AttributeEnd
  };

  QString url() const { return primitiveValue(PropertyUrl).toString(); }
  void setUrl(const QString& value)
  {
    setPrimitiveValue(PropertyUrl, cb_URLStringWithUsernameAndPasswordRemoved(value));
  }
  QString strHomePageURL() const { return primitiveValue(PropertyStrHomePageURL).toString(); }
  void setStrHomePageURL(const QString& value)
  {
    setPrimitiveValue(PropertyStrHomePageURL, cb_URLStringWithUsernameAndPasswordRemoved(value));
  }
  QString strFaviconURL() const { return primitiveValue(PropertyStrFaviconURL).toString(); }
  void setStrFaviconURL(const QString& value)
  {
    setPrimitiveValue(PropertyStrFaviconURL, cb_URLStringWithUsernameAndPasswordRemoved(value));
  }
  QString feedSpecifiedName() const { return primitiveValue(PropertyFeedSpecifiedName).toString(); }
  void setFeedSpecifiedName(const QString& value) { setPrimitiveValue(PropertyFeedSpecifiedName, value); }
  QString username() const { return primitiveValue(PropertyUsername).toString(); }
  void setUsername(const QString& value) { setPrimitiveValue(PropertyUsername, value); }
  QString password() const { return primitiveValue(PropertyPassword).toString(); }
  void setPassword(const QString& value) { setPrimitiveValue(PropertyPassword, value); }
  bool favorite() const { return primitiveValue(PropertyFavorite).toBool(); }
  void setFavorite(bool value) { setPrimitiveValue(PropertyFavorite, value); }
  bool suspended() const { return primitiveValue(PropertySuspended).toBool(); }
  void setSuspended(bool value) { setPrimitiveValue(PropertySuspended, value); }
  bool excludeFromDisplay() const { return primitiveValue(PropertyExcludeFromDisplay).toBool(); }
  void setExcludeFromDisplay(bool value) { setPrimitiveValue(PropertyExcludeFromDisplay, value); }
  int daysToPersistArticles() const { return primitiveValue(PropertyDaysToPersistArticles).toInt(); }
  void setDaysToPersistArticles(int value) { setPrimitiveValue(PropertyDaysToPersistArticles, value); }
  int sortKey() const { return primitiveValue(PropertySortKey).toInt(); }
  void setSortKey(int value) { setPrimitiveValue(PropertySortKey, value); }
  double pubDate() const { return primitiveValue(PropertyPubDate).toDouble(); }
  void setPubDate(double value) { setPrimitiveValue(PropertyPubDate, value); }
  double markAllAsReadLastArticleDate() const
  {
    return primitiveValue(PropertyMarkAllAsReadLastArticleDate).toDouble();
  }
  void setMarkAllAsReadLastArticleDate(double value) { setPrimitiveValue(PropertyMarkAllAsReadLastArticleDate, value); }
  qint64 serviceOldestTrackedItemTimestamp() const
  {
    return primitiveValue(PropertyServiceOldestTrackedItemTimestamp).toLongLong();
  }
  void setServiceOldestTrackedItemTimestamp(qint64 value)
  {
    setPrimitiveValue(PropertyServiceOldestTrackedItemTimestamp, value);
  }
};
