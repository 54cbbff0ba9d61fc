#include "subscriptions/ZPHZephlin3LocalFeedImporter.h"

#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "foundation/CBString.h"
#include "platform/ZPHMainThread.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscriptions/ZPHImportPostProcessor.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimeZone>
#include <QtCore/QUrl>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

const QString ZPHZephlin3LocalFeedImporter::ImportedArticleGUIDPrefix = QStringLiteral("ZPH3ImportedArticle");

namespace {

QString g_previousVersionDataFolder;

const QString PropertyListErrorDomain = QStringLiteral("ZPHPropertyListErrorDomain");
constexpr int MaximumPropertyListDepth = 64;
// A binary property list that would make more nodes (each reference to an
// object copies it) is not read.
constexpr quint32 MaximumPropertyListNodes = 4'000'000;
// Nor one whose values would copy more bytes than four times the file's size,
// or 1 MiB for a smaller file. The writer stores equal values once, so a
// file refers to its keys and repeated strings again and again, but each
// reference costs bytes in the file too: an ordinary file copies about its
// own size, and one that copies many times more is built to exhaust memory.
constexpr quint32 PropertyListCopiedBytesPerFileByte = 4;
constexpr quint32 MinimumPropertyListCopiedBytes = 1024 * 1024;
static_assert(ZPHZephlin3LocalFeedImporter::MaximumPropertyListBytes * PropertyListCopiedBytesPerFileByte <
              std::numeric_limits<quint32>::max());

// The 2001 epoch of property-list dates.
const QDateTime ReferenceDate(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);

QVariant variantFromNode(plist_t node, int depth, bool* tooDeep)
{
  if (node == nullptr)
    return {};
  if (depth > MaximumPropertyListDepth) {
    *tooDeep = true;
    return {};
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return bool(value);
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return QVariant::fromValue<qint64>(qint64(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_STRING: {
      char* value = nullptr;
      plist_get_string_val(node, &value);
      const QString string = value != nullptr ? QString::fromUtf8(value) : QString();
      free(value);
      return string;
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return ReferenceDate.addMSecs(qint64(seconds) * 1000 + microseconds / 1000);
    }
    case PLIST_DATA: {
      char* value = nullptr;
      uint64_t length = 0;
      plist_get_data_val(node, &value, &length);
      const QByteArray data(value, qsizetype(length));
      free(value);
      return data;
    }
    case PLIST_ARRAY: {
      QVariantList list;
      const uint32_t size = plist_array_get_size(node);
      list.reserve(int(size));
      for (uint32_t i = 0; i < size && !*tooDeep; ++i)
        list.append(variantFromNode(plist_array_get_item(node, i), depth + 1, tooDeep));
      return list;
    }
    case PLIST_DICT: {
      QVariantMap map;
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      while (iterator != nullptr && !*tooDeep) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (key == nullptr)
          break;
        map.insert(QString::fromUtf8(key), variantFromNode(value, depth + 1, tooDeep));
        free(key);
      }
      free(iterator);
      return map;
    }
    default:
      return {};
  }
}

// Whether a binary property list can be parsed safely, read from its object
// table without building anything. libplist parses containers (arrays,
// sets, dictionaries) recursively and copies an object each time it is
// referred to: a file of many nested arrays would use up the stack, and one
// whose containers refer to the same objects over and over would grow
// without bound, before anything could be checked. The walk keeps one frame
// per open container and measures each object once: how deep the
// containers below it nest, how many nodes it makes and how many bytes of
// values (strings, data, numbers, dates) it copies, counted again for every
// reference to it. False, with `why`, for a file that would nest deeper than
// `depthLimit` as parsed, make more than `nodeLimit` nodes or copy more than
// `byteLimit` bytes, one whose containers hold themselves, or one whose
// objects lie outside the file.
bool binaryPropertyListIsBounded(const QByteArray& data, int depthLimit, quint32 nodeLimit, quint32 byteLimit,
                                 QString* why)
{
  const auto refuse = [why](const QString& text) {
    *why = text;
    return false;
  };
  const QString damaged = QStringLiteral("The property list is damaged.");
  const QString tooLarge = QStringLiteral("The property list is too large.");
  const QString tooDeep = QStringLiteral("The property list nests too deep.");
  const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
  const quint64 size = quint64(data.size());
  constexpr quint64 HeaderSize = 8;
  constexpr quint64 TrailerSize = 32;
  if (size < HeaderSize + TrailerSize + 1)
    return refuse(QStringLiteral("The property list is cut off."));
  const quint64 trailer = size - TrailerSize;
  const auto readUnsigned = [bytes](quint64 at, uint width) {
    quint64 value = 0;
    for (uint i = 0; i < width; ++i) value = (value << 8) | bytes[at + i];
    return value;
  };
  const uint offsetSize = bytes[trailer + 6];
  const uint referenceSize = bytes[trailer + 7];
  const quint64 objectCount = readUnsigned(trailer + 8, 8);
  const quint64 topObject = readUnsigned(trailer + 16, 8);
  const quint64 tableStart = readUnsigned(trailer + 24, 8);
  if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 || objectCount == 0 ||
      topObject >= objectCount || tableStart < HeaderSize || tableStart > trailer ||
      objectCount > (trailer - tableStart) / offsetSize)
    return refuse(damaged);
  if (objectCount > nodeLimit)
    return refuse(tooLarge);

  // A container's references to other objects (where they start, and how
  // many), or the bytes a value's copy takes.
  struct Contents {
    quint64 start = 0;  // 0 for a value
    quint64 count = 0;
    quint64 bytes = 0;
  };
  // False for an object that does not lie in the file.
  const auto contentsOf = [&](quint64 object, Contents* contents) {
    *contents = {};
    const quint64 offset = readUnsigned(tableStart + object * offsetSize, offsetSize);
    if (offset < HeaderSize || offset >= tableStart)
      return false;
    const uint marker = bytes[offset];
    const uint type = marker >> 4;
    quint64 count = marker & 0xF;
    quint64 start = offset + 1;
    // The bytes of one unit in the file, and of its copy.
    quint64 unit = 1;
    quint64 copied = 1;
    switch (type) {
      case 0x1:  // integer, real: 2^n bytes
      case 0x2:
        unit = copied = quint64(1) << count;
        count = 1;
        break;
      case 0x3:  // date
        unit = copied = 8;
        count = 1;
        break;
      case 0x6:  // UTF-16, copied as UTF-8 (at most 3 bytes a unit)
        unit = 2;
        copied = 3;
        break;
      case 0x8:  // uid: n + 1 bytes
        count += 1;
        break;
      case 0x4:  // data, ASCII string
      case 0x5:
        break;
      case 0xA:  // containers: references
      case 0xB:
      case 0xC:
      case 0xD:
        unit = referenceSize;
        break;
      default:  // booleans, null and what libplist does not read
        return true;
    }
    if ((marker & 0xF) == 0xF && type >= 0x4 && type != 0x8) {
      // The count follows as an integer object of 1, 2, 4 or 8 bytes.
      if (start >= tableStart || (bytes[start] >> 4) != 0x1 || (bytes[start] & 0xF) > 3)
        return false;
      const uint width = 1u << (bytes[start] & 0xF);
      if (start + 1 + width > tableStart)
        return false;
      count = readUnsigned(start + 1, width);
      start += 1 + width;
    }
    // A dictionary lists its keys, then its values.
    const quint64 room = (tableStart - start) / unit;
    if (count > room || (type == 0xD && count > room / 2))
      return false;
    if (type >= 0xA)
      *contents = {start, type == 0xD ? count * 2 : count, 0};
    else
      contents->bytes = count * copied;
    return true;
  };

  // Per object, once measured: how deep the containers below it (itself
  // included) nest, how many nodes it makes and how many bytes it copies
  // (each at most its limit + 1). The path holds the containers being
  // walked; as parsed, a container measured before nests the path's length
  // plus its own depth deep wherever it is referred to again.
  enum : uchar { Unseen = 0, Open = 1, Measured = 2 };
  std::vector<uchar> state(size_t(objectCount), Unseen);
  std::vector<quint32> depth(size_t(objectCount), 0);
  std::vector<quint32> nodes(size_t(objectCount), 1);
  std::vector<quint32> copies(size_t(objectCount), 0);
  struct Frame {
    quint64 object;
    Contents references;
    quint64 next;
    quint32 deepest;  // the deepest child so far
    quint64 nodes;    // its nodes so far
    quint64 bytes;    // its bytes so far
  };
  const auto add = [](quint64 a, quint64 b, quint32 limit) { return qMin<quint64>(a + b, quint64(limit) + 1); };
  const auto addChild = [&](Frame* frame, size_t child) {
    frame->deepest = qMax(frame->deepest, depth[child]);
    frame->nodes = add(frame->nodes, nodes[child], nodeLimit);
    frame->bytes = add(frame->bytes, copies[child], byteLimit);
  };
  std::vector<Frame> path;
  path.reserve(size_t(depthLimit));
  // Measures a value at once; opens a container.
  const auto visit = [&](quint64 object, QString* problem) {
    Contents contents;
    if (!contentsOf(object, &contents)) {
      *problem = damaged;
      return false;
    }
    if (contents.start == 0) {
      state[size_t(object)] = Measured;
      copies[size_t(object)] = quint32(qMin<quint64>(contents.bytes, quint64(byteLimit) + 1));
      return true;
    }
    if (path.size() >= size_t(depthLimit)) {
      *problem = tooDeep;
      return false;
    }
    state[size_t(object)] = Open;
    path.push_back({object, contents, 0, 0, 1, 0});
    return true;
  };
  QString problem;
  if (!visit(topObject, &problem))
    return refuse(problem);
  if (path.empty() && copies[size_t(topObject)] > byteLimit)
    return refuse(tooLarge);
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.nodes > nodeLimit || frame.bytes > byteLimit)
      return refuse(tooLarge);
    if (frame.next == frame.references.count) {
      const size_t object = size_t(frame.object);
      state[object] = Measured;
      depth[object] = frame.deepest + 1;
      nodes[object] = quint32(frame.nodes);
      copies[object] = quint32(frame.bytes);
      path.pop_back();
      if (!path.empty())
        addChild(&path.back(), object);
      continue;
    }
    const quint64 child = readUnsigned(frame.references.start + frame.next * referenceSize, referenceSize);
    ++frame.next;
    if (child >= objectCount)
      return refuse(damaged);
    switch (state[size_t(child)]) {
      case Open:
        return refuse(QStringLiteral("The property list contains itself."));
      case Unseen:
        if (!visit(child, &problem))
          return refuse(problem);
        if (state[size_t(child)] == Open)
          continue;  // walked now
        break;
      default:
        // Measured before: parsed again here, below the open path.
        if (path.size() + depth[size_t(child)] > size_t(depthLimit))
          return refuse(tooDeep);
        break;
    }
    addChild(&path.back(), size_t(child));
  }
  return true;
}

// A readable file of at most `limit` bytes, whole; empty with `error` else.
QByteArray readBoundedFile(const QString& path, qint64 limit, ZPHError* error)
{
  QFile file(path);
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
    *error = ZPHError(QStringLiteral("ZPHFileErrorDomain"), 0,
                      {{ZPHLocalizedDescriptionKey, QStringLiteral("“%1” could not be read.").arg(path)}});
    return {};
  }
  const QByteArray data = file.read(limit + 1);
  if (data.size() > limit) {
    *error = ZPHError(QStringLiteral("ZPHFileErrorDomain"), 0,
                      {{ZPHLocalizedDescriptionKey, QStringLiteral("“%1” is too large.").arg(path)}});
    return {};
  }
  return data;
}

QString stringValue(const QVariantMap& map, const QString& key)
{
  const QVariant value = map.value(key);
  return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QDateTime dateValue(const QVariantMap& map, const QString& key)
{
  const QVariant value = map.value(key);
  return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

bool boolValue(const QVariantMap& map, const QString& key)
{
  const QVariant value = map.value(key);
  return value.typeId() == QMetaType::Bool ? value.toBool() : false;
}

// The web address of a feed address, or empty when it is not http or https.
QString webAddress(const QString& urlString)
{
  QString text = urlString.trimmed();
  if (CBURLIsFeedURL(text))
    text = CBURLWithFeedURL(text);
  const QUrl url(text, QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return {};
  return url.toString(QUrl::FullyEncoded);
}

}  // namespace

ZPHZephlin3LocalFeedImporter::ZPHZephlin3LocalFeedImporter() = default;

QString ZPHZephlin3LocalFeedImporter::previousVersionDataFolder()
{
  if (!g_previousVersionDataFolder.isEmpty())
    return g_previousVersionDataFolder;
  const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return generic.isEmpty() ? QString() : QDir(generic).filePath(QStringLiteral("Zephlin"));
}

void ZPHZephlin3LocalFeedImporter::setPreviousVersionDataFolder(const QString& path)
{
  g_previousVersionDataFolder = path;
}

QString ZPHZephlin3LocalFeedImporter::subscriptionsFilePath()
{
  const QString folder = previousVersionDataFolder();
  if (folder.isEmpty())
    return {};
  const QFileInfo file(QDir(folder).filePath(QStringLiteral("Subscriptions.plist")));
  return file.isFile() && file.isReadable() ? file.absoluteFilePath() : QString();
}

QString ZPHZephlin3LocalFeedImporter::urlStringSafeForFileSystem(const QString& urlString)
{
  QString safe = urlString;
  const qsizetype at = safe.indexOf(QLatin1Char('@'));
  if (at >= 0) {
    // A login between the scheme and the host.
    const qsizetype schemeEnd = safe.indexOf(QLatin1String("://"));
    const qsizetype loginStart = schemeEnd >= 0 ? schemeEnd + 3 : 0;
    if (at > loginStart)
      safe.remove(loginStart, at + 1 - loginStart);
  }
  for (const QLatin1String prefix : {QLatin1String("http://"), QLatin1String("https://"), QLatin1String("file://")}) {
    if (safe.startsWith(prefix) && safe.size() > prefix.size()) {
      safe = safe.mid(prefix.size());
      break;
    }
  }
  safe.replace(QLatin1Char('/'), QLatin1Char('_'));
  safe.replace(QLatin1Char('.'), QLatin1Char('_'));
  safe.replace(QLatin1Char(':'), QLatin1Char('_'));
  return safe;
}

QString ZPHZephlin3LocalFeedImporter::articleFilePathForFeedURL(const QString& feedURL)
{
  const QString folder = previousVersionDataFolder();
  if (folder.isEmpty() || feedURL.isEmpty())
    return {};
  const QFileInfo file(
      QDir(QDir(folder).filePath(QStringLiteral("Feeds.noindex"))).filePath(urlStringSafeForFileSystem(feedURL)));
  return file.isFile() && file.isReadable() ? file.absoluteFilePath() : QString();
}

QVariant ZPHZephlin3LocalFeedImporter::propertyListFromData(const QByteArray& data, ZPHError* error)
{
  const auto fail = [error](const QString& why) {
    if (error != nullptr)
      *error = ZPHError(PropertyListErrorDomain, 0, {{ZPHLocalizedDescriptionKey, why}});
    return QVariant();
  };
  if (data.isEmpty() || data.size() > MaximumPropertyListBytes)
    return fail(QStringLiteral("The property list is empty or too large."));
  plist_t root = nullptr;
  if (data.startsWith("bplist00")) {
    QString why;
    const quint32 byteLimit =
        qMax(MinimumPropertyListCopiedBytes, quint32(data.size()) * PropertyListCopiedBytesPerFileByte);
    if (!binaryPropertyListIsBounded(data, MaximumPropertyListDepth, MaximumPropertyListNodes, byteLimit, &why))
      return fail(why);
    plist_from_bin(data.constData(), uint32_t(data.size()), &root);
  } else
    plist_from_xml(data.constData(), uint32_t(data.size()), &root);
  if (root == nullptr)
    return fail(QStringLiteral("The file is not a property list."));
  bool tooDeep = false;
  const QVariant value = variantFromNode(root, 0, &tooDeep);
  plist_free(root);
  if (tooDeep)
    return fail(QStringLiteral("The property list nests too deep."));
  return value;
}

void ZPHZephlin3LocalFeedImporter::runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext* context)
{
  const QString path = subscriptionsFilePath();
  if (path.isEmpty())
    return finishImportOnImportQueueWithError(
        ZPHError(QStringLiteral("ZPHFileErrorDomain"), 0,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("There are no subscriptions of Zephlin 3 to import.")}}),
        {}, {});
  ZPHError error;
  const QByteArray data = readBoundedFile(path, MaximumPropertyListBytes, &error);
  if (!error.isNull())
    return finishImportOnImportQueueWithError(error, {}, {});
  const QVariant root = propertyListFromData(data, &error);
  if (!error.isNull())
    return finishImportOnImportQueueWithError(error, {}, {});
  if (root.typeId() != QMetaType::QVariantList)
    return finishImportOnImportQueueWithError(
        ZPHError(PropertyListErrorDomain, 0,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("The subscriptions are not a list.")}}),
        {}, {});

  for (CBFeed* feed : CBFeed::feedsWithMOC(context)) {
    const QString key = webFormOfAddress(feed->URL().toString(QUrl::FullyEncoded));
    if (!key.isEmpty() && !m_feedsByWebForm.contains(key))
      m_feedsByWebForm.insert(key, feed);
  }
  for (const QVariant& entry : root.toList()) importEntry(entry, nullptr, 0, context);

  CBSaveManagedObjectContext(context);
  m_feedsByWebForm.clear();
  m_importedWebForms.clear();
  finishImportSuccessfullyOnImportQueueWithImportedFeeds(std::exchange(m_importedFeeds, {}),
                                                         std::exchange(m_duplicateFeeds, {}));
}

void ZPHZephlin3LocalFeedImporter::importEntry(const QVariant& entry, CBFolder* parent, int depth,
                                               ZPHManagedObjectContext* context)
{
  if (entry.typeId() != QMetaType::QVariantMap) {
    qCWarning(zphSubscriptions) << "skipped an entry of the Zephlin 3 subscriptions that is not a dictionary";
    return;
  }
  const QVariantMap map = entry.toMap();
  if (boolValue(map, QStringLiteral("isContainer"))) {
    const QString name = stringValue(map, QStringLiteral("name"));
    if (name.isEmpty()) {
      qCWarning(zphSubscriptions) << "skipped a Zephlin 3 folder without a name, with its contents";
      return;
    }
    if (depth >= MaximumFolderDepth) {
      qCWarning(zphSubscriptions).noquote() << "skipped the Zephlin 3 folder" << name << "nested too deep";
      return;
    }
    const QList<CBFolder*> named = CBFolder::foldersWithName(name, parent, context);
    CBFolder* folder = named.isEmpty() ? nullptr : named.first();
    if (folder == nullptr) {
      const int index = proposedChildIndexForNextItemInFolderAndIncrement(parent, context);
      folder = CBFolder::addFolderWithName(name, parent, nullptr, context);
      if (folder == nullptr)
        return;
      folder->setChildindex(index);
    }
    const QVariant children = map.value(QStringLiteral("childrenArray"));
    if (children.typeId() == QMetaType::QVariantList) {
      for (const QVariant& child : children.toList()) importEntry(child, folder, depth + 1, context);
    }
    return;
  }
  if (boolValue(map, QStringLiteral("isSmartFeed")) || boolValue(map, QStringLiteral("isScript")))
    return;
  importFeed(map, parent, context);
}

void ZPHZephlin3LocalFeedImporter::importFeed(const QVariantMap& entry, CBFolder* parent,
                                              ZPHManagedObjectContext* context)
{
  const QString name = stringValue(entry, QStringLiteral("name"));
  const QString urlString = stringValue(entry, QStringLiteral("rss"));
  if (name.isEmpty() || urlString.trimmed().isEmpty()) {
    qCWarning(zphSubscriptions) << "skipped a Zephlin 3 feed without a name or an address";
    return;
  }
  const QString address = webAddress(urlString);
  if (address.isEmpty()) {
    qCInfo(zphSubscriptions) << "skipped a Zephlin 3 feed whose address is not a web address";
    return;
  }
  const QString key = webFormOfAddress(address);
  if (CBFeed* existing = m_feedsByWebForm.value(key)) {
    if (!m_duplicateFeeds.contains(existing))
      m_duplicateFeeds.append(existing);
    return;
  }
  if (m_importedWebForms.contains(key)) {
    qCInfo(zphSubscriptions).noquote() << "a Zephlin 3 feed listed twice is imported once:" << name;
    return;
  }
  m_importedWebForms.insert(key);

  const QUrl url(address, QUrl::StrictMode);
  CBFeed* feed = CBFeed::insertFeedWithURL(url.adjusted(QUrl::RemoveUserInfo), context);
  if (feed == nullptr)
    return;
  if (!url.userName().isEmpty()) {
    feed->setUsername(url.userName(QUrl::FullyDecoded));
    feed->setPassword(url.password(QUrl::FullyDecoded));
  }
  const int index = proposedChildIndexForNextItemInFolderAndIncrement(parent, context);
  CBFeed::addFeed(feed, nullptr, parent, context);
  feed->setUserSpecifiedName(name);
  feed->setModDate(double(QDateTime::currentSecsSinceEpoch()));
  feed->setChildindex(index);
  m_importedFeeds.append(feed);
  importArticles(feed, urlString, context);
}

void ZPHZephlin3LocalFeedImporter::importArticles(CBFeed* feed, const QString& urlString,
                                                  ZPHManagedObjectContext* context)
{
  const QString path = articleFilePathForFeedURL(urlString);
  if (path.isEmpty())
    return;
  ZPHError error;
  const QByteArray data = readBoundedFile(path, MaximumPropertyListBytes, &error);
  const QVariant root = error.isNull() ? propertyListFromData(data, &error) : QVariant();
  if (!error.isNull() || root.typeId() != QMetaType::QVariantMap) {
    qCInfo(zphSubscriptions) << "the articles of a Zephlin 3 feed could not be read; it has none";
    return;
  }
  const QVariant newsItems = root.toMap().value(QStringLiteral("newsItems"));
  if (newsItems.typeId() != QMetaType::QVariantList)
    return;

  QList<std::shared_ptr<CBParsedNewsItem>> items;
  for (const QVariant& value : newsItems.toList()) {
    if (value.typeId() != QMetaType::QVariantMap)
      continue;
    const QVariantMap map = value.toMap();
    auto item = std::make_shared<CBParsedNewsItem>();
    item->setTitle(stringValue(map, QStringLiteral("title")));
    item->setAuthor(stringValue(map, QStringLiteral("authorName")));
    item->setAuthorEmail(stringValue(map, QStringLiteral("authorEmail")));
    item->setAuthorURL(stringValue(map, QStringLiteral("authorURL")));
    item->setContent(stringValue(map, QStringLiteral("content")));
    item->setGuid(stringValue(map, QStringLiteral("guid")));
    item->setPermalink(stringValue(map, QStringLiteral("permalink")));
    item->setLink(stringValue(map, QStringLiteral("link")));
    item->setPubDate(dateValue(map, QStringLiteral("datePublished")));
    item->setDateModified(dateValue(map, QStringLiteral("dateLastUpdated")));
    item->setXmlBaseURLForContent(stringValue(map, QStringLiteral("xmlBaseURL")));
    item->setGuidIsPermalink(false);
    QString key = item->permalink();
    if (key.isEmpty())
      key = item->link();
    if (key.isEmpty())
      key = item->guid();
    if (key.isEmpty()) {
      qCInfo(zphSubscriptions) << "skipped a Zephlin 3 article without permalink, link or guid";
      continue;
    }
    if (ArticleMetadata* metadata = ArticleMetadata::findOrInsertArticleMetadataWithGUID(key, context)) {
      metadata->setRead(item->read());
      metadata->setFlagged(boolValue(map, QStringLiteral("flag")));
    }
    item->setGuid(QStringLiteral("%1/%2").arg(ImportedArticleGUIDPrefix, key));
    items.append(std::move(item));
  }
  if (items.isEmpty())
    return;
  if (feed->markAllAsReadLastArticleDate() == 0) {
    const QDateTime date = markAllAsReadDateForItems(items, QDateTime::currentDateTimeUtc());
    const double seconds = date.isValid() ? double(date.toMSecsSinceEpoch()) / 1000.0 : 0;
    if (seconds != 0)
      feed->setMarkAllAsReadLastArticleDate(seconds);
  }
  // In this import's context, now: one feed after another.
  auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(items, feed->URL());
  saver->setPrivateQueueManagedObjectContext(importContext());
  saver->start();
}

QDateTime ZPHZephlin3LocalFeedImporter::markAllAsReadDateForItems(const QList<std::shared_ptr<CBParsedNewsItem>>& items,
                                                                  const QDateTime& now)
{
  if (items.isEmpty())
    return {};
  QList<std::shared_ptr<CBParsedNewsItem>> sorted = items;
  const auto dateOf = [&now](const std::shared_ptr<CBParsedNewsItem>& item) {
    const QDateTime date = item->pubDate();
    return date.isValid() ? date : now;
  };
  std::stable_sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return dateOf(a) < dateOf(b); });
  const auto firstRead = std::find_if(sorted.cbegin(), sorted.cend(), [](const auto& item) { return item->read(); });
  if (firstRead == sorted.cend())
    return dateOf(sorted.first()).addSecs(-1);
  auto last = firstRead;
  for (auto it = firstRead; it != sorted.cend() && (*it)->read(); ++it) last = it;
  return dateOf(*last);
}

void ZPHZephlin3LocalFeedImporter::importWillFinishOnImportQueue(const QList<CBFeed*>& imported,
                                                                 const QList<CBFeed*>& duplicates, const ZPHError&)
{
  QList<QUrl> urls;
  for (const QList<CBFeed*>* list : {&imported, &duplicates}) {
    for (const CBFeed* feed : *list) {
      if (feed != nullptr && !feed->URL().isEmpty())
        urls.append(feed->URL());
    }
  }
  if (urls.isEmpty())
    return;
  ZPHMainThread::async([urls] {
    ZPHImportPostProcessor* processor = ZPHImportPostProcessor::sharedImportPostProcessor();
    for (const QUrl& url : urls)
      processor->requestImportPostProcessingForURL(url, QStringLiteral("ZPHZephlin3LocalFeedImporter"),
                                                   &ZPHZephlin3LocalFeedImporter::postProcessImportedAndFetchedFeed);
  });
}

void ZPHZephlin3LocalFeedImporter::postProcessImportedAndFetchedFeed(CBFeed* feed, ZPHManagedObjectContext* context)
{
  if (feed == nullptr || context == nullptr)
    return;
  QHash<QString, QList<CBDataArticle*>> groups;
  QStringList order;
  for (CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(feed->URL(), context)) {
    const QString link = article->bestLink();
    if (link.isEmpty())
      continue;
    auto it = groups.find(link);
    if (it == groups.end()) {
      order.append(link);
      it = groups.insert(link, {});
    }
    it->append(article);
  }
  for (const QString& link : std::as_const(order)) {
    const QList<CBDataArticle*>& group = groups[link];
    if (group.size() < 2)
      continue;
    qsizetype unmarked = std::count_if(group.cbegin(), group.cend(),
                                       [](const CBDataArticle* article) { return !article->markedForDeletion(); });
    for (CBDataArticle* article : group) {
      if (article->markedForDeletion() || !article->guid().contains(ImportedArticleGUIDPrefix))
        continue;
      if (unmarked <= 1)
        break;
      article->setMarkedForDeletion(true);
      --unmarked;
    }
  }
}
