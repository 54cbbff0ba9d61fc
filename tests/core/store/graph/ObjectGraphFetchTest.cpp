#include "core/store/graph/StoreTestModel.h"

#include "store/graph/ZPHSQLiteConnection.h"

#include <gtest/gtest.h>

#include <QtCore/QDir>

#include <algorithm>
#include <functional>

namespace {

class ObjectGraphFetchTest : public ::testing::Test, public StoreTestFixture {
protected:
  void SetUp() override { ASSERT_TRUE(open()); }

  // Statements run from here on (a connection serves every context of this
  // thread).
  void startCounting() { counted = store->connection()->preparedCount(); }
  int statements() const { return int(store->connection()->preparedCount() - counted); }

  // `count` saved articles "a0"…, each with metadata (every third read);
  // the last one has none.
  void insertArticles(int count)
  {
    for (int n = 0; n < count; ++n) {
      ZPHManagedObject* article = main->insertNewObject(QStringLiteral("Article"));
      article->setValue(QStringLiteral("guid"), QStringLiteral("a%1").arg(n));
      article->setValue(QStringLiteral("feedURL"), QStringLiteral("f%1").arg(n % 3));
      article->setValue(QStringLiteral("dateForDisplay"),
                        QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).addMSecs(qint64(n) * 86400123));
      if (n == count - 1)
        continue;
      ZPHManagedObject* metadata = main->insertNewObject(QStringLiteral("ArticleMetadata"));
      metadata->setValue(QStringLiteral("guid"), QStringLiteral("m%1").arg(n));
      metadata->setValue(QStringLiteral("read"), n % 3 == 0);
      article->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
    }
    ASSERT_TRUE(main->save());
  }

  QList<ZPHManagedObjectID> fetchIDs(const QString& entity, const ZPHPredicate& predicate)
  {
    ZPHError error;
    QList<ZPHManagedObjectID> ids = main->executeFetchRequestForObjectIDs(ZPHFetchRequest(entity, predicate), &error);
    EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
    std::sort(ids.begin(), ids.end(), [](const auto& a, const auto& b) { return a.rowID() < b.rowID(); });
    return ids;
  }

  qint64 counted = 0;
};

}  // namespace

TEST_F(ObjectGraphFetchTest, InListsOfAnyLengthFetchCountAndSeeUnsavedChanges)
{
  insertArticles(300);
  QVariantList guids;
  for (int n = 0; n < 40000; ++n) guids.append(QStringLiteral("a%1").arg(n * 2));  // 150 of them exist
  const ZPHPredicate predicate = ZPHPredicate::in(QStringLiteral("guid"), guids);
  ZPHError error;
  EXPECT_EQ(main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"), predicate), &error).size(), 150);
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"), predicate)), 150);
  const auto groups =
      main->countsGroupedByKeyPath(ZPHFetchRequest(QStringLiteral("Article"), predicate), QStringLiteral("feedURL"));
  EXPECT_EQ(groups.size(), 3);

  // Metadata of 40,000 articles, looked up by the side that does not store
  // the link (as a bulk read mark does).
  QVariantList articles;
  for (ZPHManagedObject* article : main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))))
    articles.append(QVariant::fromValue(article));
  while (articles.size() < 40000) articles.append(qint64(1000000 + articles.size()));
  EXPECT_EQ(main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleMetadata"),
                                                      ZPHPredicate::in(QStringLiteral("article"), articles)))
                .size(),
            299);

  // With unsaved changes the store's answer is corrected in memory.
  main->reset();
  ZPHManagedObject* inserted = main->insertNewObject(QStringLiteral("Article"));
  inserted->setValue(QStringLiteral("guid"), QStringLiteral("a30000"));
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"), predicate)), 151);
}

TEST_F(ObjectGraphFetchTest, ASubentityFoundByAnIndexedColumnComesInRowOrder)
{
  // Feeds and folders share one table; two feeds share an address. A fetch
  // by an indexed column runs on that column's index, not the entity's, and
  // must still answer in row order and see only the entity's rows.
  for (int n = 0; n < 400; ++n) {
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("guid"), QStringLiteral("f%1").arg(n));
    feed->setValue(QStringLiteral("url"), n == 7 || n == 300 ? QStringLiteral("shared") : QStringLiteral("u%1").arg(n));
  }
  for (int n = 0; n < 3; ++n)
    main->insertNewObject(QStringLiteral("Folder"))->setValue(QStringLiteral("guid"), QStringLiteral("d%1").arg(n));
  ASSERT_TRUE(main->save());

  const auto guids = [&](const ZPHFetchRequest& request) {
    QStringList found;
    for (const ZPHManagedObject* object : main->executeFetchRequest(request))
      found.append(object->value(QStringLiteral("guid")).toString());
    return found;
  };
  ZPHFetchRequest byAddress(QStringLiteral("Feed"),
                            ZPHPredicate::equal(QStringLiteral("url"), QStringLiteral("shared")));
  EXPECT_EQ(guids(byAddress), QStringList({QStringLiteral("f7"), QStringLiteral("f300")}));
  byAddress.fetchLimit = 1;
  EXPECT_EQ(guids(byAddress), QStringList({QStringLiteral("f7")}));
  EXPECT_TRUE(
      guids(ZPHFetchRequest(QStringLiteral("Feed"), ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("d1"))))
          .isEmpty());
  EXPECT_EQ(guids(ZPHFetchRequest(QStringLiteral("Folder"),
                                  ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("d1")))),
            QStringList({QStringLiteral("d1")}));
  EXPECT_EQ(
      guids(ZPHFetchRequest(QStringLiteral("Feed"), ZPHPredicate::equal(QStringLiteral("name"), QVariant()))).size(),
      400);
}

TEST_F(ObjectGraphFetchTest, LongInListsCompareAsShortOnes)
{
  // Feeds whose columns hold text, integers and reals.
  struct Row {
    QString guid;
    qint64 sortKey;
    double pubDate;
  };
  const Row rows[] = {{QStringLiteral("5"), 5, 5.0},
                      {QStringLiteral("7.0"), 7, 7.5},
                      {QStringLiteral("x"), -3, 1767268800.123},
                      {QString::fromUtf8("a\0b", 3), 0, 0.1}};
  for (const Row& row : rows) {
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("guid"), row.guid);
    feed->setValue(QStringLiteral("sortKey"), row.sortKey);
    feed->setValue(QStringLiteral("pubDate"), row.pubDate);
  }
  insertArticles(4);
  ASSERT_TRUE(main->save());
  ZPHFetchRequest byGUID(QStringLiteral("Article"));
  byGUID.sortDescriptors = {{QStringLiteral("guid"), true}};
  const QList<ZPHManagedObject*> articles = main->executeFetchRequest(byGUID);
  ASSERT_EQ(articles.size(), 4);

  struct Case {
    const char* entity;
    const char* keyPath;
    QVariantList values;
    int matches;
  };
  const Case cases[] = {
      // Text column: numbers take its text affinity (5 matches "5", 7.0 "7.0", 7 nothing).
      {"Feed", "guid", {qint64(5), qint64(7), 7.0, QStringLiteral("x")}, 3},
      {"Feed", "guid", {QString::fromUtf8("a\0b", 3), QStringLiteral("a")}, 1},
      // Integer column: texts that read as numbers match.
      {"Feed", "sortKey", {QStringLiteral("5"), QStringLiteral("7.0"), -3.0, QStringLiteral("x")}, 3},
      {"Feed", "sortKey", {qint64(0), true, false}, 1},
      // Real column: integers and whole reals alike, and long fractions.
      {"Feed", "pubDate", {qint64(5), QStringLiteral("7.5"), 1767268800.123, 0.1}, 4},
      {"Feed", "pubDate", {qint64(7), std::nan(""), qInf()}, 0},
      // Dates, and links by object and by identifier, on both sides.
      {"Article", "dateForDisplay", {articles[1]->value(QStringLiteral("dateForDisplay")), QDateTime()}, 1},
      {"Article",
       "metadata",
       {QVariant::fromValue(articles[0]->value(QStringLiteral("metadata")).value<ZPHManagedObject*>()),
        QVariant::fromValue(articles[2]->value(QStringLiteral("metadata")).value<ZPHManagedObject*>()->objectID())},
       2},
      {"ArticleMetadata",
       "article",
       {QVariant::fromValue(articles[1]), QVariant::fromValue(articles[3]->objectID())},
       1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.entity) + "." + test.keyPath);
    const QString entity = QString::fromLatin1(test.entity);
    const QString keyPath = QString::fromLatin1(test.keyPath);
    const QList<ZPHManagedObjectID> shortList = fetchIDs(entity, ZPHPredicate::in(keyPath, test.values));
    QVariantList padded = test.values;
    for (int n = 0; n < 1000; ++n)
      padded.append(n % 2 ? QVariant(QStringLiteral("pad %1").arg(n)) : QVariant(qint64(-n - 1000)));
    const QList<ZPHManagedObjectID> longList = fetchIDs(entity, ZPHPredicate::in(keyPath, padded));
    EXPECT_EQ(shortList.size(), test.matches);
    EXPECT_EQ(longList, shortList);
  }
}

TEST_F(ObjectGraphFetchTest, ExistingObjectsWithIDsAnswersAsOneByOne)
{
  insertArticles(6);
  ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
  ZPHManagedObject* folder = main->insertNewObject(QStringLiteral("Folder"));
  ASSERT_TRUE(main->save());
  const QList<ZPHManagedObjectID> articleIDs = fetchIDs(QStringLiteral("Article"), ZPHPredicate());
  const QList<ZPHManagedObjectID> metadataIDs = fetchIDs(QStringLiteral("ArticleMetadata"), ZPHPredicate());
  const ZPHEntityDescription* node = model->entity(QStringLiteral("Node"));
  const ZPHEntityDescription* feedEntity = model->entity(QStringLiteral("Feed"));
  // Identifiers by a superentity or the wrong sibling name the same rows.
  const ZPHManagedObjectID feedAsNode(store.get(), node, feed->objectID().rowID());
  const ZPHManagedObjectID folderAsFeed(store.get(), feedEntity, folder->objectID().rowID());
  const ZPHManagedObjectID gone = articleIDs[4];
  const ZPHManagedObjectID goneMetadata = metadataIDs[4];
  const ZPHManagedObjectID missing(store.get(), feedEntity, 999);

  // Two contexts in the same state: one asks one by one, the other at once.
  auto prepare = [&](ZPHManagedObjectContext& context) {
    context.objectWithID(articleIDs[1]);          // a fault
    context.existingObjectWithID(articleIDs[2]);  // loaded
    context.objectWithID(gone);                   // a fault whose row goes
    ZPHManagedObject* changed = context.existingObjectWithID(articleIDs[3]);
    changed->setValue(QStringLiteral("title"), QStringLiteral("unsaved"));
    return context.insertNewObject(QStringLiteral("Article"))->objectID();
  };
  ZPHManagedObjectContext single(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  ZPHManagedObjectContext batch(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  const ZPHManagedObjectID insertedSingle = prepare(single);
  const ZPHManagedObjectID insertedBatch = prepare(batch);
  ZPHManagedObject* goneSingle = single.registeredObject(gone);
  ZPHManagedObject* goneBatch = batch.registeredObject(gone);
  {
    ZPHManagedObjectContext deleter(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    deleter.deleteObject(deleter.existingObjectWithID(gone));
    deleter.deleteObject(deleter.existingObjectWithID(goneMetadata));
    ASSERT_TRUE(deleter.save());
  }

  auto ask = [&](const ZPHManagedObjectID& inserted) {
    return QList<ZPHManagedObjectID>{
        articleIDs[5],        articleIDs[1], metadataIDs[0], gone,          articleIDs[2], feedAsNode,
        folderAsFeed,         missing,       inserted,       articleIDs[3], articleIDs[5], goneMetadata,
        ZPHManagedObjectID(), articleIDs[0]};
  };
  QList<ZPHManagedObject*> expected;
  for (const ZPHManagedObjectID& objectID : ask(insertedSingle)) {
    if (ZPHManagedObject* object = single.existingObjectWithID(objectID))
      expected.append(object);
  }
  startCounting();
  const QList<ZPHManagedObject*> found = batch.existingObjectsWithIDs(ask(insertedBatch));
  const int run = statements();
  EXPECT_EQ(run, 3);  // one per table

  ASSERT_EQ(found.size(), expected.size());
  ASSERT_EQ(found.size(), 10);
  for (qsizetype i = 0; i < found.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(found[i]->isFault());
    EXPECT_EQ(found[i]->entity(), expected[i]->entity());
    EXPECT_EQ(found[i]->objectID().isTemporaryID(), expected[i]->objectID().isTemporaryID());
    if (!found[i]->objectID().isTemporaryID()) {
      EXPECT_EQ(found[i]->objectID(), expected[i]->objectID());
    }
    EXPECT_EQ(found[i]->value(QStringLiteral("guid")), expected[i]->value(QStringLiteral("guid")));
    if (found[i]->entity()->name() == QStringLiteral("Article")) {
      EXPECT_EQ(found[i]->value(QStringLiteral("title")), expected[i]->value(QStringLiteral("title")));
    }
  }
  EXPECT_EQ(found[0], found[8]);  // the same object twice
  // The fault whose row went is let go in both.
  EXPECT_EQ(goneSingle->managedObjectContext(), nullptr);
  EXPECT_EQ(goneBatch->managedObjectContext(), nullptr);
  EXPECT_EQ(batch.registeredObject(gone), nullptr);
}

TEST_F(ObjectGraphFetchTest, PrefetchedToOneRelationshipsNeedNoQueryPerObject)
{
  insertArticles(50);
  close();
  ASSERT_TRUE(open());

  for (const bool pendingChanges : {false, true}) {
    SCOPED_TRACE(pendingChanges ? "with unsaved changes" : "saved");
    main->reset();
    if (pendingChanges)  // fetches then go through the in-memory path
      main->insertNewObject(QStringLiteral("Feed"));

    // The side that stores the link.
    ZPHFetchRequest request(QStringLiteral("Article"));
    request.sortDescriptors = {{QStringLiteral("guid"), true}};
    request.relationshipKeyPathsForPrefetching = {QStringLiteral("metadata")};
    startCounting();
    const QList<ZPHManagedObject*> articles = main->executeFetchRequest(request);
    const int fetchStatements = statements();
    int read = 0;
    int without = 0;
    for (const ZPHManagedObject* article : articles) {
      const QVariant value = article->valueForKeyPath(QStringLiteral("metadata.read"));
      without += value.isValid() ? 0 : 1;
      read += value.toBool() ? 1 : 0;
    }
    const int run = statements();
    EXPECT_EQ(articles.size(), 50);
    EXPECT_EQ(read, 17);
    EXPECT_EQ(without, 1);
    EXPECT_EQ(run, fetchStatements);  // nothing after the fetch
    EXPECT_LE(fetchStatements, pendingChanges ? 4 : 2);

    // The side that does not: each record finds its article.
    main->reset();
    if (pendingChanges)
      main->insertNewObject(QStringLiteral("Feed"));
    ZPHManagedObject* loose = main->insertNewObject(QStringLiteral("ArticleMetadata"));
    loose->setValue(QStringLiteral("guid"), QStringLiteral("loose"));
    ASSERT_TRUE(main->save());
    if (pendingChanges)
      main->insertNewObject(QStringLiteral("Feed"));
    ZPHFetchRequest records(QStringLiteral("ArticleMetadata"));
    records.relationshipKeyPathsForPrefetching = {QStringLiteral("article")};
    startCounting();
    const QList<ZPHManagedObject*> metadata = main->executeFetchRequest(records);
    const int recordStatements = statements();
    int matching = 0;
    for (const ZPHManagedObject* record : metadata) {
      const QString guid = record->value(QStringLiteral("guid")).toString();
      const QVariant article = record->valueForKeyPath(QStringLiteral("article.guid"));
      if (guid == QStringLiteral("loose"))
        EXPECT_FALSE(article.isValid());
      else if (article.toString() == QStringLiteral("a") + guid.mid(1))
        ++matching;
    }
    const int recordRun = statements();
    EXPECT_EQ(metadata.size(), 50);
    EXPECT_EQ(matching, 49);
    EXPECT_EQ(recordRun, recordStatements);
    ASSERT_TRUE(main->save());
    main->deleteObject(loose);
    ASSERT_TRUE(main->save());
  }
}

// An unsaved change that the request does not read (a feed, for a fetch of
// articles) leaves fetches and counts to the store alone: nothing more is
// loaded or registered than the answer.
TEST_F(ObjectGraphFetchTest, UnsavedChangesElsewhereLeaveFetchesToTheStore)
{
  insertArticles(300);
  main->reset();
  ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
  feed->setValue(QStringLiteral("name"), QStringLiteral("unsaved"));
  const QList<ZPHManagedObjectID> all = fetchIDs(QStringLiteral("Article"), ZPHPredicate());
  ASSERT_EQ(all.size(), 300);
  auto registered = [&] {
    int count = 0;
    for (const ZPHManagedObjectID& objectID : all) count += main->registeredObject(objectID) ? 1 : 0;
    return count;
  };

  startCounting();
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), 300);
  EXPECT_EQ(statements(), 1);
  EXPECT_EQ(registered(), 0);

  ZPHFetchRequest newest(QStringLiteral("Article"));
  newest.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
  newest.fetchLimit = 5;
  startCounting();
  const QList<ZPHManagedObject*> found = main->executeFetchRequest(newest);
  ASSERT_EQ(found.size(), 5);
  EXPECT_EQ(found[0]->value(QStringLiteral("guid")).toString(), QStringLiteral("a299"));
  EXPECT_EQ(statements(), 1);
  EXPECT_EQ(registered(), 5);
}

// With unsaved changes that a request does read, a count and a sorted,
// limited fetch answer what they answer once the changes are saved, and
// only the changed objects are judged in memory.
TEST_F(ObjectGraphFetchTest, UnsavedChangesThatARequestReadsAnswerAsAfterTheSave)
{
  const QDateTime day = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  struct Case {
    const char* name;
    std::function<void(ZPHManagedObjectContext*)> change;
  } cases[] = {
      {"an article's metadata marked read",
       [](ZPHManagedObjectContext* context) {
         context
             ->executeFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleMetadata"),
                                                   ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("m1"))))
             .value(0)
             ->setValue(QStringLiteral("read"), true);
       }},
      {"a new unread article, the newest",
       [day](ZPHManagedObjectContext* context) {
         ZPHManagedObject* article = context->insertNewObject(QStringLiteral("Article"));
         article->setValue(QStringLiteral("guid"), QStringLiteral("new"));
         article->setValue(QStringLiteral("dateForDisplay"), day.addYears(5));
       }},
      {"an old article moved to the top",
       [day](ZPHManagedObjectContext* context) {
         context
             ->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"),
                                                   ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("a2"))))
             .value(0)
             ->setValue(QStringLiteral("dateForDisplay"), day.addYears(6));
       }},
      {"the newest unread article deleted",
       [](ZPHManagedObjectContext* context) {
         context->deleteObject(
             context
                 ->executeFetchRequest(ZPHFetchRequest(
                     QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("a38"))))
                 .value(0));
       }},
      {"metadata of the newest article deleted",
       [](ZPHManagedObjectContext* context) {
         context->deleteObject(context
                                   ->executeFetchRequest(ZPHFetchRequest(
                                       QStringLiteral("ArticleMetadata"),
                                       ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("m38"))))
                                   .value(0));
       }},
  };
  ZPHFetchRequest unread(QStringLiteral("Article"), !ZPHPredicate::equal(QStringLiteral("metadata.read"), true));
  ZPHFetchRequest newestUnread = unread;
  newestUnread.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}, {QStringLiteral("guid"), true}};
  newestUnread.fetchLimit = 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close();
    QDir(folder.path()).removeRecursively();
    QDir().mkpath(folder.path());
    ASSERT_TRUE(open());
    insertArticles(40);
    main->reset();
    c.change(main.get());
    ASSERT_TRUE(main->hasChanges());
    const qint64 count = main->countForFetchRequest(unread);
    const QList<ZPHManagedObjectID> newest = main->executeFetchRequestForObjectIDs(newestUnread);
    QStringList newestGuids;
    for (ZPHManagedObject* object : main->executeFetchRequest(newestUnread))
      newestGuids.append(object->value(QStringLiteral("guid")).toString());
    ASSERT_TRUE(main->save());
    main->reset();
    EXPECT_EQ(count, main->countForFetchRequest(unread));
    QStringList savedGuids;
    for (ZPHManagedObject* object : main->executeFetchRequest(newestUnread))
      savedGuids.append(object->value(QStringLiteral("guid")).toString());
    EXPECT_EQ(newestGuids, savedGuids);
    EXPECT_EQ(newest.size(), savedGuids.size());
  }
}

// Many unsaved inserts (more than a fetch scans one by one): fetches by a
// text look them up, and answer as after the save also when values change,
// objects go and more come after the look-ups started, in a hierarchy too.
TEST_F(ObjectGraphFetchTest, ManyUnsavedInsertsAnswerAsAfterTheSave)
{
  const auto article = [&](int n, const QString& feedURL) {
    ZPHManagedObject* object = main->insertNewObject(QStringLiteral("Article"));
    object->setValue(QStringLiteral("guid"), QStringLiteral("a%1").arg(n));
    object->setValue(QStringLiteral("feedURL"), feedURL);
    object->setValue(QStringLiteral("markedForDeletion"), n % 5 == 0 ? 1 : 0);
    return object;
  };
  std::vector<ZPHManagedObject*> articles;
  for (int n = 0; n < 150; ++n) articles.push_back(article(n, QStringLiteral("f%1").arg(n % 3)));
  for (int n = 0; n < 120; ++n) {
    ZPHManagedObject* node = main->insertNewObject(n % 4 == 0 ? QStringLiteral("Folder") : QStringLiteral("Feed"));
    node->setValue(QStringLiteral("guid"), QStringLiteral("n%1").arg(n % 40));
    node->setValue(QStringLiteral("childindex"), n % 7);
    if (n % 4 != 0)
      node->setValue(QStringLiteral("url"), QStringLiteral("u%1").arg(n % 10));
  }
  struct Case {
    const char* name;
    ZPHFetchRequest request;
  };
  const auto text = [](const char* value) { return QVariant(QString::fromLatin1(value)); };
  const std::vector<Case> cases = {
      {"feed address",
       ZPHFetchRequest(QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("feedURL"), text("f0")))},
      {"feed address and not marked",
       ZPHFetchRequest(QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("feedURL"), text("f1")) &&
                                                      ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 0))},
      {"guid in a list",
       ZPHFetchRequest(QStringLiteral("Article"),
                       ZPHPredicate::in(QStringLiteral("guid"), {text("a7"), text("a8"), text("moved"), text("a155"),
                                                                 text("a4"), text("nowhere")}))},
      {"other feeds",
       ZPHFetchRequest(QStringLiteral("Article"), !ZPHPredicate::equal(QStringLiteral("feedURL"), text("f0")))},
      {"marked",
       ZPHFetchRequest(QStringLiteral("Article"), ZPHPredicate::compare(QStringLiteral("markedForDeletion"),
                                                                        ZPHPredicate::Operator::GreaterOrEqual, 1))},
      {"nodes by guid",
       ZPHFetchRequest(QStringLiteral("Node"), ZPHPredicate::equal(QStringLiteral("guid"), text("n3")))},
      {"feeds by address",
       ZPHFetchRequest(QStringLiteral("Feed"), ZPHPredicate::equal(QStringLiteral("url"), text("u5")))},
      {"folders by guid",
       ZPHFetchRequest(QStringLiteral("Folder"), ZPHPredicate::equal(QStringLiteral("guid"), text("n4")))},
      {"feeds low in their folder",
       ZPHFetchRequest(QStringLiteral("Feed"),
                       ZPHPredicate::compare(QStringLiteral("childindex"), ZPHPredicate::Operator::Less, 3) &&
                           ZPHPredicate::equal(QStringLiteral("url"), text("u1")))},
  };
  // (Sorted: without sort descriptors, the order is the store's.)
  const auto guids = [&](const ZPHFetchRequest& request) {
    QStringList found;
    for (const ZPHManagedObject* object : main->executeFetchRequest(request))
      found.append(object->value(QStringLiteral("guid")).toString());
    found.sort();
    return found;
  };
  // The look-ups start before the changes below.
  for (const Case& c : cases) guids(c.request);

  articles[1]->setValue(QStringLiteral("feedURL"), QStringLiteral("f0"));  // f1 -> f0
  articles[3]->setValue(QStringLiteral("feedURL"), QStringLiteral("f9"));  // f0 -> elsewhere
  articles[7]->setValue(QStringLiteral("guid"), QStringLiteral("moved"));
  articles[8]->setValue(QStringLiteral("guid"), QStringLiteral("a8b"));
  articles[8]->setValue(QStringLiteral("guid"), QStringLiteral("a8"));  // and back
  articles[10]->setValue(QStringLiteral("markedForDeletion"), 0);
  main->deleteObject(articles[4]);
  for (int n = 150; n < 160; ++n) article(n, QStringLiteral("f%1").arg(n % 2));

  std::vector<QStringList> unsaved;
  std::vector<qint64> counts;
  for (const Case& c : cases) {
    unsaved.push_back(guids(c.request));
    counts.push_back(main->countForFetchRequest(c.request));
  }
  ASSERT_TRUE(main->save());
  main->reset();
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const QStringList saved = guids(cases[i].request);
    EXPECT_FALSE(saved.isEmpty());
    EXPECT_EQ(unsaved[i], saved);
    EXPECT_EQ(counts[i], saved.size());
  }
}
