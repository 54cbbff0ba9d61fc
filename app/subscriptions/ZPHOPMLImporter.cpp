#include "subscriptions/ZPHOPMLImporter.h"

#include "common/ZPHAppServices.h"
#include "feeds/parsers/ZPHOPMLParser.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/entities/ZPHFeedStub.h"
#include "store/entities/ZPHFolderStub.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSet>
#include <QtCore/QUrl>

#include <algorithm>
#include <exception>

const QString ZPHOPMLImporterErrorDomain = QStringLiteral("OPMLImporterErrorDomain");
const QString ZPHURLErrorKey = QStringLiteral("NSErrorFailingURLKey");

namespace {

ZPHError readError(const QString& path, const QString& reason)
{
  const ZPHError underlying(QStringLiteral("ZPHFileErrorDomain"), 0,
                            {{ZPHLocalizedDescriptionKey, reason}, {ZPHURLErrorKey, path}});
  return ZPHError(ZPHOPMLImporterErrorDomain, ZPHOPMLImporterErrorCannotRead,
                  {{ZPHUnderlyingErrorKey, QVariant::fromValue(underlying)}});
}

QString forLog(const QString& value) { return QStringLiteral("\"%1\"").arg(value); }

// A save error that says the store file itself is damaged.
QString addressForLog(const QString& address)
{
  return QUrl(address, QUrl::TolerantMode).toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded);
}

}  // namespace

// The tree of the file as it is imported: folders and the feeds that are
// neither in the store already nor listed before in the file.
struct ZPHOPMLImporter::Item {
  QString title;                      // folders
  std::shared_ptr<ZPHFeedStub> feed;  // feeds
  QList<Item> children;
  bool isFolder() const { return feed == nullptr; }
};

ZPHOPMLImporter::ZPHOPMLImporter(const QString& opmlFilePath) : m_opmlFilePath(opmlFilePath) {}

bool ZPHOPMLImporter::fileURLIsProbablyOPMLData(const QString& path)
{
  return ZPHAppServices::isProbablyOPMLFile(path);
}

void ZPHOPMLImporter::runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(!m_opmlFilePath.isEmpty(), Q_FUNC_INFO, "OPML File URL should exist");

  // Read it whole, within bounds.
  QByteArray data;
  {
    const QFileInfo info(m_opmlFilePath);
    if (!info.exists())
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, QStringLiteral("The file does not exist.")),
                                                {}, {});
    if (info.isDir())
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, QStringLiteral("It is a folder.")), {}, {});
    QFile file(m_opmlFilePath);
    if (!file.open(QIODevice::ReadOnly))
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, file.errorString()), {}, {});
    if (file.size() > MaximumFileBytes)
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, QStringLiteral("The file is too large.")), {},
                                                {});
    data = file.read(MaximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, file.errorString()), {}, {});
    if (data.size() > MaximumFileBytes)
      return finishImportOnImportQueueWithError(readError(m_opmlFilePath, QStringLiteral("The file is too large.")), {},
                                                {});
  }
  if (data.isEmpty())
    return finishImportOnImportQueueWithError(
        ZPHError(ZPHOPMLImporterErrorDomain, ZPHOPMLImporterErrorEmptyFile, {{ZPHURLErrorKey, m_opmlFilePath}}), {},
        {});

  // Parse it; any error is the end.
  std::unique_ptr<ZPHOPMLParser> parser = ZPHOPMLParser::xmlParser();
  ZPHError parseError;
  bool parsed = true;
  try {
    parser->parseData(data, &parseError);
  } catch (const std::exception& exception) {
    qCWarning(zphSubscriptions).noquote() << "Exception parsing OPML file" << m_opmlFilePath << exception.what();
    parsed = false;
  }
  data.clear();
  if (!parsed || !parseError.isNull()) {
    QVariantMap userInfo;
    if (!parseError.isNull())
      userInfo.insert(ZPHUnderlyingErrorKey, QVariant::fromValue(parseError));
    return finishImportOnImportQueueWithError(
        ZPHError(ZPHOPMLImporterErrorDomain, ZPHOPMLImporterErrorNotOPML, userInfo), {}, {});
  }
  m_reportedProgressValue = 10;
  reportProgressOnImportQueueWithProgressValue(m_reportedProgressValue);

  // Feeds the store has, by web form.
  QHash<QString, CBFeed*> existing;
  for (CBFeed* feed : CBFeed::feedsWithMOC(context)) {
    const QString key = webFormOfAddress(feed->URL().toString(QUrl::FullyEncoded));
    if (!key.isEmpty() && !existing.contains(key))
      existing.insert(key, feed);
  }

  // The file's tree without duplicates and without folders left empty.
  QSet<QString> seen;
  QSet<CBFeed*> reported;
  const std::function<QList<Item>(const ZPHFolderStub&)> collect = [&](const ZPHFolderStub& folder) {
    QList<Item> items;
    for (const ZPHStubItem& stub : folder.items()) {
      if (const auto* child = std::get_if<std::shared_ptr<ZPHFolderStub>>(&stub)) {
        Item item;
        item.title = (*child)->title();
        item.children = collect(**child);
        if (!item.children.isEmpty())
          items.append(std::move(item));
        continue;
      }
      const std::shared_ptr<ZPHFeedStub> feed = std::get<std::shared_ptr<ZPHFeedStub>>(stub);
      const QString key = webFormOfAddress(feed->urlString());
      if (!key.isEmpty()) {
        if (CBFeed* known = existing.value(key)) {
          if (!reported.contains(known)) {
            reported.insert(known);
            m_duplicatedFeeds.append(known);
          }
          continue;
        }
        if (seen.contains(key)) {
          qCInfo(zphSubscriptions).noquote() << "listed twice in the file; placed once:" << addressForLog(key);
          continue;
        }
        seen.insert(key);
      }
      feed->setUrlString(feed->urlString().trimmed());
      Item item;
      item.feed = feed;
      items.append(std::move(item));
    }
    return items;
  };
  const QList<Item> items = collect(*parser->rootFolder());
  parser.reset();

  const std::function<qsizetype(const QList<Item>&)> countFeeds = [&](const QList<Item>& list) {
    qsizetype count = 0;
    for (const Item& item : list) count += item.isFolder() ? countFeeds(item.children) : 1;
    return count;
  };
  m_feedsToImport = countFeeds(items);

  importItems(items, nullptr, context);
  const QList<CBFeed*> imported = std::exchange(m_importedFeeds, {});
  const QList<CBFeed*> duplicates = std::exchange(m_duplicatedFeeds, {});
  // All of the file or none of it, however large: one transaction. A save
  // that fails (a full disk) leaves the store as it was, and the import
  // ends with its error; only a store found damaged takes the failure path.
  context->setSavesAllOrNothing(true);
  ZPHError saveError;
  if (!context->save(&saveError)) {
    qCWarning(zphSubscriptions).noquote()
        << "the import could not be saved; none of it was kept:" << saveError.toString();
    if (ZPHObjectGraphErrorSaysStoreIsDamaged(saveError)) {
      if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
        delegate->handleCoreDataFailureWithError(saveError);
    }
    return finishImportOnImportQueueWithError(saveError, {}, {});
  }
  finishImportSuccessfullyOnImportQueueWithImportedFeeds(imported, duplicates);
}

void ZPHOPMLImporter::importItems(const QList<Item>& items, CBFolder* parent, ZPHManagedObjectContext* context)
{
  for (const Item& item : items) {
    if (item.isFolder()) {
      const QString title = item.title.isEmpty() ? QStringLiteral("Untitled") : item.title;
      const QList<CBFolder*> named = CBFolder::foldersWithName(title, parent, context);
      CBFolder* folder = named.isEmpty() ? nullptr : named.first();
      if (folder == nullptr) {
        const int index = proposedChildIndexForNextItemInFolderAndIncrement(parent, context);
        folder = CBFolder::addFolderWithName(title, parent, nullptr, context);
        if (folder == nullptr)
          continue;
        folder->setChildindex(index);
      }
      importItems(item.children, folder, context);
      continue;
    }
    ZPHFeedStub& stub = *item.feed;
    // Compared with the store's and the file's addresses already.
    CBFeed* feed = stub.buildFeedWithManagedObjectContext(context, nullptr, false);
    if (feed == nullptr) {
      qCWarning(zphSubscriptions).noquote()
          << "Failed to create a Feed from parsed data:\n url:" << forLog(addressForLog(stub.urlString()))
          << "\n website:" << forLog(stub.homePageURLString()) << "\n favicon:" << forLog(stub.faviconURLString())
          << "\n name:" << forLog(stub.feedSpecifiedName()) << "\n display:" << forLog(stub.userSpecifiedName())
          << "\n login:" << forLog(stub.username()) << "\n";
    } else {
      const int index = proposedChildIndexForNextItemInFolderAndIncrement(parent, context);
      CBFeed::addFeed(feed, nullptr, parent, context);
      feed->setChildindex(index);
      m_importedFeeds.append(feed);
    }
    advanceProgress();
  }
}

void ZPHOPMLImporter::advanceProgress()
{
  ++m_feedsDone;
  if (m_feedsToImport <= 0)
    return;
  const double value = std::min(100.0, 10.0 + 90.0 * double(m_feedsDone) / double(m_feedsToImport));
  if (value > m_reportedProgressValue) {
    m_reportedProgressValue = value;
    reportProgressOnImportQueueWithProgressValue(value);
  }
}
