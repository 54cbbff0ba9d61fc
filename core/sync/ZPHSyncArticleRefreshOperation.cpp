#include "sync/ZPHSyncArticleRefreshOperation.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace {

const QString DataKey = QStringLiteral("data");
const QString ArticlesKey = QStringLiteral("articles");
const QString LastModDateKey = QStringLiteral("lastModDate");
const QString GuidKey = QStringLiteral("guid");
const QString ModDateKey = QStringLiteral("modDate");
const QString IsDeletedKey = QStringLiteral("isDeleted");
const QString ReadKey = QStringLiteral("read");
const QString BookmarkedKey = QStringLiteral("bookmarked");
// Read by the account: a read change from sync is not sent back.
const QString FromSyncKey = QStringLiteral("fromSync");

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

}  // namespace

bool ZPHSyncArticleRefreshOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  Q_UNUSED(error);
  const QJsonObject object{{LastModDateKey, defaults().doubleForKey(ZPHSyncLastArticleModTimeStamp)}};
  *body = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return true;
}

void ZPHSyncArticleRefreshOperation::success()
{
  const std::optional<QJsonObject> reply = usableReply();
  if (!reply)
    return;
  const QJsonValue dataValue = reply->value(DataKey);
  if (dataValue.isObject()) {
    const QJsonArray articles = ZPHSyncUtils::processArray(dataValue.toObject().value(ArticlesKey));
    QList<ZPHManagedObjectID> updatedReadArticles;
    QList<ZPHManagedObjectID> updatedBookmarkedArticles;
    bool saved = false;
    const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
      double lastModDate = defaults().doubleForKey(ZPHSyncLastArticleModTimeStamp);
      bool lastModDateChanged = false;
      QHash<QString, CBDataArticle*> processedArticles;
      QList<CBDataArticle*> deletedArticles;
      QList<CBDataArticle*> readChanged;
      QList<CBDataArticle*> bookmarkChanged;
      for (const QJsonValue& value : articles) {
        const QJsonObject dictionary = ZPHSyncUtils::processObject(value);
        const QString guid = ZPHSyncUtils::processIdentifier(dictionary.value(GuidKey));
        const double modDate = ZPHSyncUtils::processTimeStamp(dictionary.value(ModDateKey));
        if (modDate > lastModDate) {
          lastModDate = modDate;
          lastModDateChanged = true;
        }
        if (guid.isEmpty())
          continue;
        CBDataArticle* article = processedArticles.value(guid);
        if (article == nullptr)
          article = CBDataArticle::fetchArticleWithBestLink(guid, context);
        if (ZPHSyncUtils::processBool(dictionary.value(IsDeletedKey))) {
          if (article != nullptr && !deletedArticles.contains(article))
            deletedArticles.append(article);
          continue;
        }
        if (article == nullptr) {
          // Waits for the article to arrive with a refresh.
          ArticleMetadata* metadata = ArticleMetadata::findOrInsertArticleMetadataWithGUID(guid, context);
          metadata->setRead(ZPHSyncUtils::processBool(dictionary.value(ReadKey)));
          metadata->setFlagged(ZPHSyncUtils::processBool(dictionary.value(BookmarkedKey)));
          continue;
        }
        bool updated = false;
        bool dirty = false;
        bool unreadChanged = false;
        bool bookmarkedChanged = false;
        ZPHSyncUtils::setArticleProperties(article, dictionary, false, &updated, &dirty, &unreadChanged,
                                           &bookmarkedChanged);
        processedArticles.insert(guid, article);
        article->setNeedsSync(dirty);
        if (unreadChanged && !readChanged.contains(article))
          readChanged.append(article);
        if (bookmarkedChanged && !bookmarkChanged.contains(article))
          bookmarkChanged.append(article);
      }
      for (CBDataArticle* article : std::as_const(deletedArticles)) {
        readChanged.removeAll(article);
        bookmarkChanged.removeAll(article);
      }
      if (!deletedArticles.isEmpty())
        CBDataArticle::deleteArticles(deletedArticles, false, context);
      saved = saveContext(context);
      if (!saved)
        return;
      if (lastModDateChanged)
        defaults().setDouble(ZPHSyncLastArticleModTimeStamp, lastModDate);
      for (const CBDataArticle* article : std::as_const(readChanged)) updatedReadArticles.append(article->objectID());
      for (const CBDataArticle* article : std::as_const(bookmarkChanged))
        updatedBookmarkedArticles.append(article->objectID());
    });
    if (!ran || !saved) {
      if (!isCancelled())
        failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The server's article states could not be stored."));
      return;
    }
    ZPHMainThread::async([updatedReadArticles, updatedBookmarkedArticles] {
      ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
      if (!updatedReadArticles.isEmpty()) {
        QVariantList identifiers;
        for (const ZPHManagedObjectID& objectID : updatedReadArticles)
          identifiers.append(QVariant::fromValue(objectID));
        center.post(CBMultipleArticlesDidChangeReadStatusNotification, QVariant(),
                    {{FromSyncKey, true}, {ZPHArticlesKey, identifiers}});
      }
      for (const ZPHManagedObjectID& objectID : updatedBookmarkedArticles)
        center.post(CBDataArticleFlaggedStatusDidChangeNotification, QVariant::fromValue(objectID));
    });
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncArticleDataImportedNotification, QVariant(reply->toVariantMap()));
  setSucceeded();
}
