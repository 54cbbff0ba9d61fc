#include "sync/ZPHSyncUtils.h"

#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBNode.h"

#include <QtCore/QDateTime>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace {

// Keys of the wire objects.
const QString GuidKey = QStringLiteral("guid");
const QString ModDateKey = QStringLiteral("modDate");
const QString IsDeletedKey = QStringLiteral("isDeleted");
const QString UserAssignedNameKey = QStringLiteral("userAssignedName");
const QString UserAssignedNameModDateKey = QStringLiteral("userAssignedNameModDate");
const QString ChildIndexKey = QStringLiteral("childIndex");
const QString ChildIndexModDateKey = QStringLiteral("childIndexModDate");
const QString FlagsKey = QStringLiteral("flags");
const QString FlagsModDateKey = QStringLiteral("flagsModDate");
const QString ParentGUIDKey = QStringLiteral("parentGUID");
const QString ParentGUIDModDateKey = QStringLiteral("parentGUIDModDate");
const QString URLKey = QStringLiteral("url");
const QString HomePageURLKey = QStringLiteral("homepageurl");
const QString FaviconURLKey = QStringLiteral("favIconUrl");
const QString IsFolderKey = QStringLiteral("isFolder");
const QString ReadKey = QStringLiteral("read");
const QString BookmarkedKey = QStringLiteral("bookmarked");
const QString ReadModDateKey = QStringLiteral("readModDate");
const QString BookmarkedModDateKey = QStringLiteral("bookmarkedModDate");

// Seconds since 1970 that a date can hold (about the year 9999).
constexpr double LatestSeconds = 253402300799.0;

std::optional<double> numberFrom(const QJsonValue& value)
{
  if (value.isDouble()) {
    const double number = value.toDouble();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
  }
  if (value.isBool())
    return value.toBool() ? 1.0 : 0.0;
  if (value.isString()) {
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (ok && std::isfinite(number))
      return number;
  }
  return std::nullopt;
}

double secondsSince1970(const QDateTime& date) { return date.isValid() ? date.toMSecsSinceEpoch() / 1000.0 : 0.0; }

QDateTime dateFromSeconds(double seconds)
{
  const double bounded = std::clamp(seconds, -LatestSeconds, LatestSeconds);
  return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(bounded * 1000.0)), Qt::UTC);
}

QString boundedName(const QString& name)
{
  return name.size() > ZPHSyncUtils::MaximumNameLength ? name.left(ZPHSyncUtils::MaximumNameLength) : name;
}

}  // namespace

QJsonValue ZPHSyncUtils::processParameter(const QJsonValue& value)
{
  return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
}

qint32 ZPHSyncUtils::processInteger(const QJsonValue& value)
{
  const std::optional<double> number = numberFrom(value);
  if (!number)
    return 0;
  const double truncated = std::trunc(*number);
  return qint32(
      std::clamp(truncated, double(std::numeric_limits<qint32>::min()), double(std::numeric_limits<qint32>::max())));
}

double ZPHSyncUtils::processTimeStamp(const QJsonValue& value)
{
  const std::optional<double> number = numberFrom(value);
  return number ? std::clamp(*number, -LatestSeconds, LatestSeconds) : 0.0;
}

QString ZPHSyncUtils::processString(const QJsonValue& value) { return value.isString() ? value.toString() : QString(); }

bool ZPHSyncUtils::processBool(const QJsonValue& value)
{
  if (value.isBool())
    return value.toBool();
  if (value.isString()) {
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
      return true;
  }
  const std::optional<double> number = numberFrom(value);
  return number && *number != 0.0;
}

QJsonObject ZPHSyncUtils::processObject(const QJsonValue& value)
{
  return value.isObject() ? value.toObject() : QJsonObject();
}

QJsonArray ZPHSyncUtils::processArray(const QJsonValue& value)
{
  return value.isArray() ? value.toArray() : QJsonArray();
}

QString ZPHSyncUtils::processIdentifier(const QJsonValue& value)
{
  const QString text = processString(value);
  if (text.isEmpty() || text.size() > MaximumIdentifierLength)
    return QString();
  return text;
}

QString ZPHSyncUtils::processWebAddress(const QJsonValue& value)
{
  const QString text = processIdentifier(value);
  if (text.isEmpty())
    return QString();
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.isRelative() || url.host().isEmpty() || !CBURLHasWebScheme(url))
    return QString();
  return text;
}

QJsonValue ZPHSyncUtils::wholeSeconds(double seconds)
{
  if (!(seconds > 0.0) || !std::isfinite(seconds))
    return QJsonValue(QJsonValue::Undefined);
  return QJsonValue(qint64(std::trunc(std::min(seconds, LatestSeconds))));
}

void ZPHSyncUtils::setNodeProperties(CBNode* node, const QJsonObject& dictionary, bool isNew, bool* updated,
                                     bool* dirty)
{
  bool isUpdated = false;
  bool isDirty = false;
  if (node != nullptr) {
    const QString parentGUID = processIdentifier(dictionary.value(ParentGUIDKey));
    const QString name = boundedName(processString(dictionary.value(UserAssignedNameKey)));
    const double nameModDate = processTimeStamp(dictionary.value(UserAssignedNameModDateKey));
    const double childIndexModDate = processTimeStamp(dictionary.value(ChildIndexModDateKey));
    const double flagsModDate = processTimeStamp(dictionary.value(FlagsModDateKey));
    const double parentGUIDModDate = processTimeStamp(dictionary.value(ParentGUIDModDateKey));
    const double modDate = processTimeStamp(dictionary.value(ModDateKey));
    const qint32 childIndex = processInteger(dictionary.value(ChildIndexKey));
    const qint32 flags = processInteger(dictionary.value(FlagsKey));
    const bool isDeleted = processBool(dictionary.value(IsDeletedKey));

    if (isNew) {
      node->setName(name);
      node->setUserSpecifiedName(name);
      node->setUserSpecifiedNameModDate(nameModDate);
      node->setChildindex(childIndex);
      node->setChildindexModDate(childIndexModDate);
      node->setParentguid(parentGUID);
      node->setParentguidModDate(parentGUIDModDate);
      node->setFlags(flags);
      node->setFlagsModDate(flagsModDate);
      node->setModDate(modDate);
      node->setDeleted(isDeleted);
    } else {
      if (isDeleted) {
        node->setDeleted(true);
        isUpdated = true;
      }
      // The server's date counts as it comes, fractions and all: a change
      // made there later within the same second wins. This device sends
      // whole seconds, so its own date is later only when its whole second
      // is: the server's echo of a change made here (the same second, the
      // fraction cut) is equal, not older, and is not sent again for ever.
      const auto serverIsLater = [](double server, double local) { return server > local; };
      const auto localIsLater = [](double local, double server) { return std::trunc(local) > server; };
      if (serverIsLater(modDate, node->modDate()))
        node->setModDate(modDate);
      else
        isDirty = localIsLater(node->modDate(), modDate);

      // Each field: the later date wins; a later local date leaves the node
      // to be sent.
      const auto mergeField = [&](double serverDate, double localDate, const std::function<void()>& take) {
        if (serverIsLater(serverDate, localDate)) {
          take();
          isUpdated = true;
        } else if (localIsLater(localDate, serverDate)) {
          isDirty = true;
        }
      };
      mergeField(nameModDate, node->userSpecifiedNameModDate(), [&] {
        node->setUserSpecifiedName(name);
        node->setName(name);
        node->setUserSpecifiedNameModDate(nameModDate);
      });
      mergeField(childIndexModDate, node->childindexModDate(), [&] {
        node->setChildindex(childIndex);
        node->setChildindexModDate(childIndexModDate);
      });
      mergeField(parentGUIDModDate, node->parentguidModDate(), [&] {
        node->setParentguid(parentGUID);
        node->setParentguidModDate(parentGUIDModDate);
      });
      mergeField(flagsModDate, node->flagsModDate(), [&] {
        node->setFlags(flags);
        node->setFlagsModDate(flagsModDate);
      });
    }
  }
  if (updated)
    *updated = isUpdated;
  if (dirty)
    *dirty = isDirty;
}

bool ZPHSyncUtils::setNodeProperties(CBNode* node, const QJsonObject& dictionary, bool isNew)
{
  bool updated = false;
  setNodeProperties(node, dictionary, isNew, &updated, nullptr);
  return updated;
}

void ZPHSyncUtils::setArticleProperties(CBDataArticle* article, const QJsonObject& dictionary, bool isNew,
                                        bool* updated, bool* dirty, bool* unreadChanged, bool* bookmarkedChanged)
{
  bool isUpdated = false;
  bool isDirty = false;
  bool readChanged = false;
  bool flaggedChanged = false;
  if (article != nullptr) {
    const bool isDeleted = processBool(dictionary.value(IsDeletedKey));
    const bool read = processBool(dictionary.value(ReadKey));
    const bool bookmarked = processBool(dictionary.value(BookmarkedKey));
    const double readModDate = processTimeStamp(dictionary.value(ReadModDateKey));
    const double bookmarkedModDate = processTimeStamp(dictionary.value(BookmarkedModDateKey));
    const double modDate = processTimeStamp(dictionary.value(ModDateKey));
    const double localModDate = secondsSince1970(article->modDate());

    if (isNew) {
      if (ArticleMetadata* metadata = article->findOrInsertMetadata()) {
        metadata->setRead(read);
        metadata->setFlagged(bookmarked);
      }
      article->setDeleted(isDeleted);
    } else {
      if (isDeleted) {
        article->setDeleted(true);
        isUpdated = true;
      }
      if (modDate > localModDate) {
        article->setModDate(dateFromSeconds(modDate));
        isUpdated = true;
        isDirty = false;
      } else {
        isDirty = localModDate > modDate;
      }
      if (readModDate > localModDate) {
        isUpdated = true;
        if (article->read() != read) {
          if (ArticleMetadata* metadata = article->findOrInsertMetadata()) {
            metadata->setRead(read);
            readChanged = true;
          }
        }
      }
      if (bookmarkedModDate > localModDate) {
        if (article->flagged() != bookmarked) {
          if (ArticleMetadata* metadata = article->findOrInsertMetadata())
            metadata->setFlagged(bookmarked);
        }
        flaggedChanged = true;
        isUpdated = true;
      }
    }
  }
  if (updated)
    *updated = isUpdated;
  if (dirty)
    *dirty = isDirty;
  if (unreadChanged)
    *unreadChanged = readChanged;
  if (bookmarkedChanged)
    *bookmarkedChanged = flaggedChanged;
}

namespace {

// A node's values as the wire object carries them, from a node or from the
// last values of a deleted one.
struct NodeValues {
  QString guid;
  bool isFolder = false;
  bool isDeleted = false;
  double modDate = 0.0;
  QString userSpecifiedName;
  double userSpecifiedNameModDate = 0.0;
  qint64 childIndex = 0;
  double childIndexModDate = 0.0;
  qint64 flags = 0;
  double flagsModDate = 0.0;
  QString parentGUID;
  double parentGUIDModDate = 0.0;
  QString url;
  QString homePageURL;
  QString faviconURL;
};

QJsonObject nodeObject(const NodeValues& node)
{
  QJsonObject dictionary;
  const auto insertSeconds = [&](const QString& key, double seconds) {
    const QJsonValue value = ZPHSyncUtils::wholeSeconds(seconds);
    if (!value.isUndefined())
      dictionary.insert(key, value);
  };
  // Addresses go without a login an earlier version may have stored.
  const auto insertAddress = [&](const QString& key, const QString& address) {
    if (!address.isEmpty())
      dictionary.insert(key, cb_URLStringWithUsernameAndPasswordRemoved(address));
  };
  insertSeconds(ModDateKey, node.modDate);
  if (!node.userSpecifiedName.isNull())
    dictionary.insert(UserAssignedNameKey, node.userSpecifiedName);
  insertSeconds(UserAssignedNameModDateKey, node.userSpecifiedNameModDate);
  dictionary.insert(ChildIndexKey, node.childIndex);
  insertSeconds(ChildIndexModDateKey, node.childIndexModDate);
  dictionary.insert(FlagsKey, node.flags);
  insertSeconds(FlagsModDateKey, node.flagsModDate);
  dictionary.insert(IsDeletedKey, node.isDeleted);
  if (!node.guid.isEmpty())
    dictionary.insert(GuidKey, node.guid);
  if (!node.parentGUID.isEmpty())
    dictionary.insert(ParentGUIDKey, node.parentGUID);
  insertSeconds(ParentGUIDModDateKey, node.parentGUIDModDate);
  if (node.isFolder) {
    dictionary.insert(IsFolderKey, 1);
  } else {
    insertAddress(URLKey, node.url);
    insertAddress(HomePageURLKey, node.homePageURL);
    insertAddress(FaviconURLKey, node.faviconURL);
  }
  return dictionary;
}

}  // namespace

QJsonObject ZPHSyncUtils::dictionaryForNode(const CBNode* node)
{
  if (node == nullptr)
    return QJsonObject();
  NodeValues values;
  values.guid = node->guid();
  values.isFolder = node->isFolder();
  values.isDeleted = node->deleted();
  values.modDate = node->modDate();
  values.userSpecifiedName = node->userSpecifiedName();
  values.userSpecifiedNameModDate = node->userSpecifiedNameModDate();
  values.childIndex = node->childindex();
  values.childIndexModDate = node->childindexModDate();
  values.flags = node->flags();
  values.flagsModDate = node->flagsModDate();
  values.parentGUID = node->parentguid();
  values.parentGUIDModDate = node->parentguidModDate();
  if (!node->isFolder()) {
    const auto* feed = static_cast<const CBFeed*>(node);
    values.url = feed->url();
    values.homePageURL = feed->homePageURL().toString(QUrl::FullyEncoded);
    values.faviconURL = feed->faviconURL().toString(QUrl::FullyEncoded);
  }
  return nodeObject(values);
}

QJsonObject ZPHSyncUtils::dictionaryForDeletedNode(const QVariantMap& lastValues)
{
  NodeValues values;
  values.guid = lastValues.value(QStringLiteral("guid")).toString();
  values.isFolder = lastValues.value(QStringLiteral("isFolder")).toBool();
  values.isDeleted = true;
  values.modDate = lastValues.value(QStringLiteral("modDate")).toDouble();
  // A deletion always carries its date.
  if (!(values.modDate > 0.0))
    values.modDate = QDateTime::currentMSecsSinceEpoch() / 1000.0;
  values.userSpecifiedName = lastValues.value(QStringLiteral("userSpecifiedName")).toString();
  values.userSpecifiedNameModDate = lastValues.value(QStringLiteral("userSpecifiedNameModDate")).toDouble();
  values.childIndex = lastValues.value(QStringLiteral("childindex")).toLongLong();
  values.childIndexModDate = lastValues.value(QStringLiteral("childindexModDate")).toDouble();
  values.flags = lastValues.value(QStringLiteral("flags")).toLongLong();
  values.flagsModDate = lastValues.value(QStringLiteral("flagsModDate")).toDouble();
  values.parentGUID = lastValues.value(QStringLiteral("parentguid")).toString();
  values.parentGUIDModDate = lastValues.value(QStringLiteral("parentguidModDate")).toDouble();
  if (!values.isFolder) {
    values.url = lastValues.value(QStringLiteral("url")).toString();
    values.homePageURL = lastValues.value(QStringLiteral("strHomePageURL")).toString();
    values.faviconURL = lastValues.value(QStringLiteral("strFaviconURL")).toString();
  }
  return nodeObject(values);
}

QJsonObject ZPHSyncUtils::dictionaryForArticle(const CBDataArticle* article)
{
  QJsonObject dictionary;
  if (article == nullptr)
    return dictionary;
  dictionary.insert(ModDateKey, secondsSince1970(article->modDate()));
  dictionary.insert(ReadKey, article->read());
  dictionary.insert(BookmarkedKey, article->flagged());
  if (const QString bestLink = article->bestLink(); !bestLink.isEmpty())
    dictionary.insert(GuidKey, cb_URLStringWithUsernameAndPasswordRemoved(bestLink));
  if (article->deleted())
    dictionary.insert(IsDeletedKey, true);
  return dictionary;
}
