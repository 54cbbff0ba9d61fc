#pragma once

// The merge rules of the sync client and the reading and writing of its wire
// objects. Replies are hostile until checked: every reader takes a JSON
// value of any shape and answers the "absent" value (null string, 0, false)
// for JSON null, a missing key or a value of the wrong type.

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

class CBDataArticle;
class CBNode;

class ZPHSyncUtils {
public:
  ZPHSyncUtils() = delete;

  // Longest strings and addresses taken from a reply; longer ones are
  // dropped (addresses, guids) or cut (names).
  static constexpr int MaximumNameLength = 1024;
  static constexpr int MaximumIdentifierLength = 8192;

  // An undefined value for JSON null, else the value.
  static QJsonValue processParameter(const QJsonValue& value);
  // 0 for null; numbers (and numeric strings) truncated toward zero and kept
  // within 32 bits; true is 1.
  static qint32 processInteger(const QJsonValue& value);
  // 0.0 for null; a number or numeric string as seconds since 1970.
  static double processTimeStamp(const QJsonValue& value);
  // The string, else null.
  static QString processString(const QJsonValue& value);
  // true, a non-zero number, or "true", "yes" or a non-zero number as text.
  static bool processBool(const QJsonValue& value);
  // The object or array, else an empty one.
  static QJsonObject processObject(const QJsonValue& value);
  static QJsonArray processArray(const QJsonValue& value);
  // A guid from a reply: a non-empty string no longer than
  // MaximumIdentifierLength, else null.
  static QString processIdentifier(const QJsonValue& value);
  // An absolute http or https address given as text, kept as sent; null for
  // anything else.
  static QString processWebAddress(const QJsonValue& value);

  // Merges a server node object into a node, field by field by modification
  // date. A new node takes every field. An existing one takes each field
  // whose server date is later (fractions of a second count) and stays
  // dirty (needs sending) when one of its own dates is later in whole
  // seconds, as the wire carries them. Nothing here touches the node's
  // parent object: the caller applies parentguid.
  static void setNodeProperties(CBNode* node, const QJsonObject& dictionary, bool isNew, bool* updated, bool* dirty);
  static bool setNodeProperties(CBNode* node, const QJsonObject& dictionary, bool isNew);

  // Merges a server article object into a local article: the read and
  // bookmarked states whose server dates are later than the article's
  // modification date (taken before anything changes), deletion, and the
  // modification date itself. Read and bookmarked live on the article's
  // metadata, made when it has none.
  static void setArticleProperties(CBDataArticle* article, const QJsonObject& dictionary, bool isNew, bool* updated,
                                   bool* dirty, bool* unreadChanged, bool* bookmarkedChanged);

  // The wire objects the client sends. No address in them holds a user name
  // or password.
  static QJsonObject dictionaryForNode(const CBNode* node);
  static QJsonObject dictionaryForArticle(const CBDataArticle* article);
  // The object of a node the user deleted, from the last values its
  // deletion announced (ZPHSyncableFeedOrFolderDeletedNotification): every
  // key of dictionaryForNode() with "isDeleted" true, and the time now
  // without a modification date.
  static QJsonObject dictionaryForDeletedNode(const QVariantMap& lastValues);

  // Seconds since 1970 as the wire's whole seconds, truncated toward zero;
  // null for 0, negative or unusable values.
  static QJsonValue wholeSeconds(double seconds);
};
