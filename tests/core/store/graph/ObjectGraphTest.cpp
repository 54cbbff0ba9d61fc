#include "core/store/graph/StoreTestModel.h"

#include "store/graph/ZPHObjectGraphErrors.h"

#include <gtest/gtest.h>

namespace {

class ObjectGraphTest : public ::testing::Test, public StoreTestFixture {
protected:
  void SetUp() override { ASSERT_TRUE(open()); }

  ZPHManagedObject* insertArticle(const QString& guid, const QString& feedURL, int day, bool read = false)
  {
    ZPHManagedObject* article = main->insertNewObject(QStringLiteral("Article"));
    article->setValue(QStringLiteral("guid"), guid);
    article->setValue(QStringLiteral("feedURL"), feedURL);
    article->setValue(QStringLiteral("title"), QStringLiteral("Title ") + guid);
    article->setValue(QStringLiteral("dateForDisplay"), QDateTime(QDate(2026, 1, day), QTime(12, 0), Qt::UTC));
    ZPHManagedObject* metadata = main->insertNewObject(QStringLiteral("ArticleMetadata"));
    metadata->setValue(QStringLiteral("guid"), QStringLiteral("https://example.com/") + guid);
    metadata->setValue(QStringLiteral("read"), read);
    article->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
    return article;
  }

  QStringList guids(const QList<ZPHManagedObject*>& objects)
  {
    QStringList list;
    for (const ZPHManagedObject* object : objects) list.append(object->value(QStringLiteral("guid")).toString());
    return list;
  }
};

}  // namespace

TEST_F(ObjectGraphTest, SchemaHasOneTablePerHierarchyWithIndexes)
{
  QStringList statements;
  for (const QByteArray& statement : model->schemaStatements()) statements.append(QString::fromUtf8(statement));
  const QString all = statements.join(u'\n');
  EXPECT_TRUE(all.contains(QStringLiteral("CREATE TABLE \"Node\" (id INTEGER PRIMARY KEY, _entity INTEGER NOT NULL")));
  EXPECT_FALSE(all.contains(QStringLiteral("CREATE TABLE \"Feed\"")));
  EXPECT_TRUE(all.contains(QStringLiteral("\"url\" TEXT")));
  EXPECT_TRUE(all.contains(QStringLiteral("\"dateForDisplay\" REAL")));
  EXPECT_TRUE(all.contains(QStringLiteral("ON \"Article\" (\"feedURL\")")));
  EXPECT_TRUE(all.contains(QStringLiteral("ON \"Article\" (\"metadata_id\")")));
  EXPECT_FALSE(all.contains(QStringLiteral("scratch")));  // transient
  // A one-to-one link is stored once, by the entity declared first.
  for (const QString& statement : std::as_const(statements)) {
    if (statement.startsWith(QStringLiteral("CREATE TABLE \"ArticleMetadata\"")) ||
        statement.startsWith(QStringLiteral("CREATE TABLE \"ArticleContent\""))) {
      EXPECT_FALSE(statement.contains(QStringLiteral("article_id"))) << statement.toStdString();
    }
  }
  EXPECT_TRUE(
      all.contains(QStringLiteral("CREATE TABLE \"Enclosure\" (id INTEGER PRIMARY KEY, \"URL\" TEXT, \"article_id\"")));
}

// Texts compared for (in)equality or with an IN list judge the context's
// unsaved objects as the store judges its rows: texts match equal texts
// only, a null matches nothing (and is unequal to every text), and a list
// that mixes numbers and texts is judged value by value.
TEST_F(ObjectGraphTest, TextComparisonsJudgeUnsavedObjectsAsTheStoreJudgesRows)
{
  using P = ZPHPredicate;
  using Op = ZPHPredicate::Operator;
  const QString guid = QStringLiteral("guid");
  const QString feedURL = QStringLiteral("feedURL");
  const QString marked = QStringLiteral("markedForDeletion");
  struct Case {
    const char* name;
    ZPHPredicate predicate;
    QStringList expected;  // sorted by guid
  } cases[] = {
      {"in texts", P::in(guid, {QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("zz")}), {"a", "c"}},
      {"in texts and a null", P::in(guid, {QStringLiteral("b"), QVariant()}), {"b"}},
      {"in texts twice", P::in(guid, {QStringLiteral("b"), QStringLiteral("b")}), {"b"}},
      {"in: case counts", P::in(guid, {QStringLiteral("A")}), {}},
      {"in: a null column matches no text", P::in(feedURL, {QStringLiteral(""), QStringLiteral("f")}), {"a", "b"}},
      {"in numbers and texts", P::in(marked, {QStringLiteral("x"), qint64(1)}), {"c"}},
      {"in: texts never match numbers", P::in(marked, {QStringLiteral("zero")}), {}},
      {"equal text", P::equal(feedURL, QStringLiteral("f")), {"a", "b"}},
      {"equal empty text is not null", P::equal(feedURL, QStringLiteral("")), {}},
      {"not equal keeps null", P::compare(feedURL, Op::NotEqual, QStringLiteral("f")), {"c"}},
  };
  insertArticle(QStringLiteral("a"), QStringLiteral("f"), 1);
  insertArticle(QStringLiteral("b"), QStringLiteral("f"), 2);
  insertArticle(QStringLiteral("c"), QString(), 3)->setValue(marked, true);
  for (const bool saved : {false, true}) {
    if (saved) {
      ASSERT_TRUE(main->save());
    }
    for (const Case& c : cases) {
      ZPHFetchRequest request(QStringLiteral("Article"), c.predicate);
      request.sortDescriptors = {{guid, true}};
      EXPECT_EQ(guids(main->executeFetchRequest(request)), c.expected) << c.name << (saved ? " (saved)" : "");
    }
  }
}

// "self" names the object itself: a list of identifiers finds those
// objects, in the store and among unsaved objects alike.
TEST_F(ObjectGraphTest, SelfFindsObjectsByIdentifier)
{
  ZPHManagedObject* a = insertArticle(QStringLiteral("a"), QStringLiteral("f"), 1);
  insertArticle(QStringLiteral("b"), QStringLiteral("f"), 2);
  ZPHManagedObject* c = insertArticle(QStringLiteral("c"), QStringLiteral("f"), 3);
  ASSERT_TRUE(main->save());
  ZPHManagedObject* unsaved = insertArticle(QStringLiteral("d"), QStringLiteral("f"), 4);
  const QVariantList wanted{QVariant::fromValue(a->objectID()), QVariant::fromValue(c->objectID()),
                            QVariant::fromValue(unsaved->objectID())};
  for (const QVariantList& list : {wanted, wanted + QVariantList(600, QVariant::fromValue(a->objectID()))}) {
    ZPHFetchRequest request(QStringLiteral("Article"), ZPHPredicate::in(QStringLiteral("self"), list));
    request.sortDescriptors = {{QStringLiteral("guid"), true}};
    EXPECT_EQ(guids(main->executeFetchRequest(request)), (QStringList{"a", "c", "d"})) << list.size();
    EXPECT_EQ(main->countForFetchRequest(request), 3) << list.size();
  }
}

// A batch update writes the values of many saved objects straight into the
// store, in one transaction, and the contexts learn of it as of a save:
// loaded objects take the values (with the change announced), unsaved
// values of the same key stay, and what is no saved attribute is left out.
TEST_F(ObjectGraphTest, BatchUpdatesReachTheStoreAndEveryContext)
{
  QList<ZPHManagedObject*> articles;
  for (const QString& guid : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
    articles.append(insertArticle(guid, QStringLiteral("f"), 1));
  ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
  feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/feed"));
  ASSERT_TRUE(main->save());
  articles[1]->setValue(QStringLiteral("title"), QStringLiteral("mine"));  // unsaved: stays
  ZPHManagedObject* unsaved = insertArticle(QStringLiteral("new"), QStringLiteral("f"), 1);
  QList<ZPHManagedObjectID> updatedSeen;
  QObject::connect(main.get(), &ZPHManagedObjectContext::objectsDidChange, main.get(),
                   [&](const QList<ZPHManagedObjectID>&, const QList<ZPHManagedObjectID>& updated,
                       const QList<ZPHManagedObjectID>&) { updatedSeen += updated; });

  // From another context, as the store queue would.
  ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  QList<ZPHManagedObjectID> articleIDs;
  for (ZPHManagedObject* article : articles) articleIDs.append(article->objectID());
  articleIDs.append(unsaved->objectID());
  ZPHError error;
  ASSERT_TRUE(other.batchUpdateObjects({{articleIDs,
                                         {{QStringLiteral("title"), QStringLiteral("batch")},
                                          {QStringLiteral("markedForDeletion"), true},
                                          {QStringLiteral("metadata"), QVariant()},
                                          {QStringLiteral("nothing"), 1}}},
                                        {{feed->objectID()}, {{QStringLiteral("unreadCount"), 7}}}},
                                       &error))
      << error.toString().toStdString();

  EXPECT_EQ(articles[0]->value(QStringLiteral("title")).toString(), QStringLiteral("batch"));
  EXPECT_EQ(articles[1]->value(QStringLiteral("title")).toString(), QStringLiteral("mine"));
  EXPECT_EQ(articles[1]->value(QStringLiteral("markedForDeletion")).toLongLong(), 1);
  EXPECT_EQ(feed->value(QStringLiteral("unreadCount")).toULongLong(), 7u);
  EXPECT_NE(articles[0]->value(QStringLiteral("metadata")), QVariant());  // links are not set this way
  EXPECT_EQ(unsaved->value(QStringLiteral("title")).toString(), QStringLiteral("Title new"));
  EXPECT_TRUE(updatedSeen.contains(articles[0]->objectID()));
  EXPECT_TRUE(updatedSeen.contains(feed->objectID()));

  // In the store: a fresh context reads the batch's values.
  ZPHManagedObjectContext fresh(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  ZPHFetchRequest request(QStringLiteral("Article"),
                          ZPHPredicate::equal(QStringLiteral("title"), QStringLiteral("batch")));
  EXPECT_EQ(fresh.countForFetchRequest(request), 3);
}

TEST_F(ObjectGraphTest, OneToOneLinksReadFromTheStoringSide)
{
  ZPHManagedObject* article = insertArticle(QStringLiteral("a"), QStringLiteral("f"), 1);
  insertArticle(QStringLiteral("b"), QStringLiteral("f"), 2)->setValue(QStringLiteral("metadata"), QVariant());
  ZPHManagedObject* loose = main->insertNewObject(QStringLiteral("ArticleMetadata"));
  loose->setValue(QStringLiteral("guid"), QStringLiteral("loose"));
  ASSERT_TRUE(main->save());
  const QUrl articleURI = article->objectID().URIRepresentation();

  close();
  ASSERT_TRUE(open());
  ZPHFetchRequest request(QStringLiteral("ArticleMetadata"),
                          ZPHPredicate::equal(QStringLiteral("article"), QVariant()));
  request.sortDescriptors = {{QStringLiteral("guid"), true}};
  const QList<ZPHManagedObject*> unheld = main->executeFetchRequest(request);
  ASSERT_EQ(guids(unheld), (QStringList{"https://example.com/b", "loose"}));
  const QList<ZPHManagedObject*> held = main->executeFetchRequest(ZPHFetchRequest(
      QStringLiteral("ArticleMetadata"), ZPHPredicate::equal(QStringLiteral("article.guid"), QStringLiteral("a"))));
  ASSERT_EQ(held.size(), 1);
  ZPHManagedObject* holder = held[0]->value(QStringLiteral("article")).value<ZPHManagedObject*>();
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->objectID(), store->managedObjectIDForURIRepresentation(articleURI));

  // Moved in memory: both sides agree before and after the save.
  holder->setValue(QStringLiteral("metadata"), QVariant::fromValue(unheld[1]));
  EXPECT_FALSE(held[0]->value(QStringLiteral("article")).isValid());
  EXPECT_EQ(main->countForFetchRequest(request), 2);  // b's record and the one just let go
  ASSERT_TRUE(main->save());
  EXPECT_EQ(main->countForFetchRequest(request), 2);
  EXPECT_EQ(unheld[1]->valueForKeyPath(QStringLiteral("article.guid")).toString(), QStringLiteral("a"));
}

TEST_F(ObjectGraphTest, InsertedObjectsReadDefaultsAndSurviveAReopen)
{
  ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
  EXPECT_TRUE(feed->objectID().isTemporaryID());
  EXPECT_EQ(feed->value(QStringLiteral("unreadCount")).toULongLong(), 0u);
  EXPECT_EQ(feed->value(QStringLiteral("deleted")).toBool(), false);
  EXPECT_FALSE(feed->value(QStringLiteral("name")).isValid());  // null
  feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/feed"));
  feed->setValue(QStringLiteral("name"), QString());  // stays null
  feed->setValue(QStringLiteral("unreadCount"), quint64(1) << 40);
  feed->setValue(QStringLiteral("pubDate"), 1234.5);
  feed->setValue(QStringLiteral("sortKey"), qint64(-7));
  feed->setValue(QStringLiteral("scratch"), QStringLiteral("memory only"));
  ZPHManagedObject* article = insertArticle(QStringLiteral("a"), QStringLiteral("https://example.com/feed"), 3);
  article->setValue(QStringLiteral("title"), QStringLiteral(""));  // empty, not null

  ASSERT_TRUE(main->save());
  EXPECT_FALSE(feed->objectID().isTemporaryID());
  EXPECT_FALSE(main->hasChanges());
  const QUrl uri = feed->objectID().URIRepresentation();
  EXPECT_EQ(uri.scheme(), QStringLiteral("x-zph-store"));
  EXPECT_TRUE(uri.path().startsWith(QStringLiteral("/Feed/p")));

  close();
  ASSERT_TRUE(open());
  const ZPHManagedObjectID feedID = store->managedObjectIDForURIRepresentation(uri);
  ASSERT_FALSE(feedID.isNull());
  ZPHManagedObject* loaded = main->existingObjectWithID(feedID);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->entity()->name(), QStringLiteral("Feed"));
  EXPECT_EQ(loaded->value(QStringLiteral("url")).toString(), QStringLiteral("https://example.com/feed"));
  EXPECT_FALSE(loaded->value(QStringLiteral("name")).isValid());
  EXPECT_EQ(loaded->value(QStringLiteral("unreadCount")).toULongLong(), quint64(1) << 40);
  EXPECT_EQ(loaded->value(QStringLiteral("pubDate")).toDouble(), 1234.5);
  EXPECT_EQ(loaded->value(QStringLiteral("sortKey")).toLongLong(), -7);
  EXPECT_FALSE(loaded->value(QStringLiteral("scratch")).isValid());

  const QList<ZPHManagedObject*> articles = main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article")));
  ASSERT_EQ(articles.size(), 1);
  const QVariant title = articles[0]->value(QStringLiteral("title"));
  EXPECT_TRUE(title.isValid());
  EXPECT_TRUE(title.toString().isEmpty());
  EXPECT_EQ(articles[0]->value(QStringLiteral("dateForDisplay")).toDateTime(),
            QDateTime(QDate(2026, 1, 3), QTime(12, 0), Qt::UTC));
  EXPECT_EQ(articles[0]->valueForKeyPath(QStringLiteral("metadata.guid")).toString(),
            QStringLiteral("https://example.com/a"));
  EXPECT_EQ(articles[0]->value(QStringLiteral("markedForDeletion")).toLongLong(), 0);
}

TEST_F(ObjectGraphTest, PredicatesSortsLimitsAndCounts)
{
  const QString one = QStringLiteral("https://one.example/feed");
  const QString two = QStringLiteral("https://two.example/feed");
  insertArticle(QStringLiteral("a"), one, 1, true);
  insertArticle(QStringLiteral("b"), one, 5);
  insertArticle(QStringLiteral("c"), two, 3);
  ZPHManagedObject* d = insertArticle(QStringLiteral("d"), two, 2, true);
  d->setValue(QStringLiteral("markedForDeletion"), true);
  ZPHManagedObject* e = main->insertNewObject(QStringLiteral("Article"));  // no metadata, no feed
  e->setValue(QStringLiteral("guid"), QStringLiteral("e"));
  ASSERT_TRUE(main->save());

  using P = ZPHPredicate;
  using Op = ZPHPredicate::Operator;
  const QDateTime day3(QDate(2026, 1, 3), QTime(12, 0), Qt::UTC);
  struct Case {
    const char* name;
    ZPHPredicate predicate;
    QStringList expected;  // sorted by guid
  } cases[] = {
      {"equal", P::equal(QStringLiteral("feedURL"), one), {"a", "b"}},
      {"nil", P::equal(QStringLiteral("feedURL"), QVariant()), {"e"}},
      {"not equal keeps nil", P::compare(QStringLiteral("feedURL"), Op::NotEqual, one), {"c", "d", "e"}},
      {"date", P::compare(QStringLiteral("dateForDisplay"), Op::GreaterOrEqual, day3), {"b", "c"}},
      {"in",
       P::in(QStringLiteral("guid"), {QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("zz")}),
       {"a", "c"}},
      {"empty in", P::in(QStringLiteral("guid"), {}), {}},
      {"boolean as number", P::equal(QStringLiteral("markedForDeletion"), 0), {"a", "b", "c", "e"}},
      {"one hop", P::equal(QStringLiteral("metadata.read"), true), {"a", "d"}},
      {"not over one hop (no metadata counts as not read)",
       !P::equal(QStringLiteral("metadata.read"), true),
       {"b", "c", "e"}},
      {"and/or",
       (P::equal(QStringLiteral("feedURL"), two) && P::equal(QStringLiteral("markedForDeletion"), 0)) ||
           P::equal(QStringLiteral("guid"), QStringLiteral("a")),
       {"a", "c"}},
      {"quotes are data", P::equal(QStringLiteral("guid"), QStringLiteral("a' OR '1'='1")), {}},
      {"variable",
       P::compareWithVariable(QStringLiteral("guid"), Op::Equal, QStringLiteral("VALUE"))
           .withSubstitutionVariables({{QStringLiteral("VALUE"), QStringLiteral("b")}}),
       {"b"}},
  };
  for (const Case& c : cases) {
    ZPHFetchRequest request(QStringLiteral("Article"), c.predicate);
    request.sortDescriptors = {{QStringLiteral("guid"), true}};
    ZPHError error;
    EXPECT_EQ(guids(main->executeFetchRequest(request, &error)), c.expected) << c.name;
    EXPECT_TRUE(error.isNull()) << c.name << " " << error.toString().toStdString();
    EXPECT_EQ(main->countForFetchRequest(request), c.expected.size()) << c.name;
    EXPECT_EQ(main->executeFetchRequestForObjectIDs(request).size(), c.expected.size()) << c.name;
  }

  ZPHFetchRequest newest(QStringLiteral("Article"), P::compare(QStringLiteral("feedURL"), Op::NotEqual, QVariant()));
  newest.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
  newest.fetchLimit = 2;
  EXPECT_EQ(guids(main->executeFetchRequest(newest)), (QStringList{"b", "c"}));

  ZPHFetchRequest byRead(QStringLiteral("Article"), P::compare(QStringLiteral("feedURL"), Op::NotEqual, QVariant()));
  byRead.sortDescriptors = {{QStringLiteral("metadata.read"), false}, {QStringLiteral("guid"), true}};
  EXPECT_EQ(guids(main->executeFetchRequest(byRead)), (QStringList{"a", "d", "b", "c"}));

  const auto counts = main->countsGroupedByKeyPath(
      ZPHFetchRequest(QStringLiteral("Article"), !P::equal(QStringLiteral("metadata.read"), true)),
      QStringLiteral("feedURL"));
  QMap<QString, qint64> perFeed;
  for (const auto& [key, count] : counts) perFeed.insert(key.toString(), count);
  EXPECT_EQ(perFeed, (QMap<QString, qint64>{{QString(), 1}, {one, 1}, {two, 1}}));

  ZPHError error;
  EXPECT_TRUE(
      main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"), P::equal(QStringLiteral("nope"), 1)), &error)
          .isEmpty());
  EXPECT_EQ(error.domain(), ZPHObjectGraphErrorDomain);
}

TEST_F(ObjectGraphTest, SubentitiesShareTheirRootsTableAndFetches)
{
  ZPHManagedObject* folder = main->insertNewObject(QStringLiteral("Folder"));
  folder->setValue(QStringLiteral("guid"), QStringLiteral("folder"));
  for (int i = 0; i < 3; ++i) {
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("guid"), QStringLiteral("feed%1").arg(i));
    feed->setValue(QStringLiteral("childindex"), 2 - i);
    if (i < 2)
      feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
  }
  ASSERT_TRUE(main->save());
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Node"))), 4);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Feed"))), 3);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Folder"))), 1);
  EXPECT_EQ(main->countForFetchRequest(
                ZPHFetchRequest(QStringLiteral("Feed"), ZPHPredicate::equalToObject(QStringLiteral("parent"), folder))),
            2);
  ZPHFetchRequest topLevel(QStringLiteral("Node"), ZPHPredicate::equal(QStringLiteral("parent"), QVariant()));
  topLevel.sortDescriptors = {{QStringLiteral("guid"), true}};
  EXPECT_EQ(guids(main->executeFetchRequest(topLevel)), (QStringList{"feed2", "folder"}));

  // A fresh context loads the folder's children lazily, with their own classes.
  close();
  ASSERT_TRUE(open());
  const QList<ZPHManagedObject*> folders = main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Folder")));
  ASSERT_EQ(folders.size(), 1);
  const QVariantList children = folders[0]->value(QStringLiteral("children")).toList();
  ASSERT_EQ(children.size(), 2);
  ZPHManagedObject* child = children[0].value<ZPHManagedObject*>();
  EXPECT_EQ(child->entity()->name(), QStringLiteral("Feed"));
  EXPECT_EQ(child->valueForKeyPath(QStringLiteral("parent.guid")).toString(), QStringLiteral("folder"));
}

TEST_F(ObjectGraphTest, FetchesSeeTheContextsUnsavedChanges)
{
  const QString feed = QStringLiteral("https://example.com/feed");
  ZPHManagedObject* a = insertArticle(QStringLiteral("a"), feed, 1);
  ZPHManagedObject* b = insertArticle(QStringLiteral("b"), feed, 2);
  ASSERT_TRUE(main->save());

  ZPHManagedObject* c = insertArticle(QStringLiteral("c"), feed, 3);                     // inserted
  b->setValue(QStringLiteral("feedURL"), QStringLiteral("https://elsewhere.example/"));  // moved away
  main->deleteObject(a);
  ZPHFetchRequest request(QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("feedURL"), feed));
  request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
  EXPECT_EQ(main->executeFetchRequest(request), (QList<ZPHManagedObject*>{c}));
  EXPECT_EQ(main->countForFetchRequest(request), 1);

  ZPHFetchRequest all(QStringLiteral("Article"));
  all.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
  all.fetchLimit = 1;
  EXPECT_EQ(main->executeFetchRequest(all), (QList<ZPHManagedObject*>{c}));
  EXPECT_EQ(main->insertedObjects().size(), 2);  // c and its metadata
  // b, and a's metadata, which let go of a.
  ZPHManagedObject* aMetadata = main->executeFetchRequest(
      ZPHFetchRequest(QStringLiteral("ArticleMetadata"),
                      ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("https://example.com/a"))))[0];
  EXPECT_EQ(main->updatedObjects(), (QList<ZPHManagedObject*>{b, aMetadata}));
  EXPECT_FALSE(aMetadata->value(QStringLiteral("article")).isValid());
  EXPECT_TRUE(main->deletedObjects().contains(a));
}

TEST_F(ObjectGraphTest, OneToOneLinksAndDeleteRulesKeepTheGraphConsistent)
{
  ZPHManagedObject* article = insertArticle(QStringLiteral("a"), QStringLiteral("f"), 1);
  ZPHManagedObject* content = main->insertNewObject(QStringLiteral("ArticleContent"));
  content->setValue(QStringLiteral("htmlText"), QStringLiteral("<p>hi</p>"));
  content->setValue(QStringLiteral("article"), QVariant::fromValue(article));  // set from the other side
  EXPECT_EQ(article->value(QStringLiteral("content")).value<ZPHManagedObject*>(), content);
  ZPHManagedObject* enclosure = main->insertNewObject(QStringLiteral("Enclosure"));
  enclosure->setValue(QStringLiteral("article"), QVariant::fromValue(article));
  ZPHManagedObject* metadata = article->value(QStringLiteral("metadata")).value<ZPHManagedObject*>();
  ASSERT_NE(metadata, nullptr);

  // A second article takes the metadata over: the first lets go.
  ZPHManagedObject* other = insertArticle(QStringLiteral("b"), QStringLiteral("f"), 2);
  ZPHManagedObject* otherMetadata = other->value(QStringLiteral("metadata")).value<ZPHManagedObject*>();
  other->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
  EXPECT_FALSE(article->value(QStringLiteral("metadata")).isValid());
  EXPECT_FALSE(otherMetadata->value(QStringLiteral("article")).isValid());
  EXPECT_EQ(metadata->value(QStringLiteral("article")).value<ZPHManagedObject*>(), other);
  article->setValue(QStringLiteral("metadata"), QVariant::fromValue(otherMetadata));
  ASSERT_TRUE(main->save());

  // Cascade takes content and enclosures; nullify leaves the metadata.
  const QUrl metadataURI = otherMetadata->objectID().URIRepresentation();
  main->deleteObject(article);
  EXPECT_TRUE(content->isDeleted());
  EXPECT_TRUE(enclosure->isDeleted());
  EXPECT_FALSE(otherMetadata->isDeleted());
  EXPECT_FALSE(otherMetadata->value(QStringLiteral("article")).isValid());
  ASSERT_TRUE(main->save());
  EXPECT_EQ(article->managedObjectContext(), nullptr);

  close();
  ASSERT_TRUE(open());
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), 0);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Enclosure"))), 0);
  ZPHManagedObject* survivor = main->existingObjectWithID(store->managedObjectIDForURIRepresentation(metadataURI));
  ASSERT_NE(survivor, nullptr);
  EXPECT_FALSE(survivor->value(QStringLiteral("article")).isValid());
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), 1);
}

TEST_F(ObjectGraphTest, FolderCascadeDeletesItsSubtree)
{
  ZPHManagedObject* top = main->insertNewObject(QStringLiteral("Folder"));
  ZPHManagedObject* inner = main->insertNewObject(QStringLiteral("Folder"));
  inner->setValue(QStringLiteral("parent"), QVariant::fromValue(top));
  for (ZPHManagedObject* folder : {top, inner}) {
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
  }
  ZPHManagedObject* outside = main->insertNewObject(QStringLiteral("Feed"));
  ASSERT_TRUE(main->save());
  main->deleteObject(top);
  ASSERT_TRUE(main->save());
  EXPECT_EQ(main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Node"))), (QList<ZPHManagedObject*>{outside}));
}

TEST_F(ObjectGraphTest, UpdatesWriteOnlyChangedPropertiesAndHooksRun)
{
  ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
  feed->setValue(QStringLiteral("name"), QStringLiteral("Old"));
  ASSERT_TRUE(main->save());
  feed->setValue(QStringLiteral("name"), QStringLiteral("Old"));  // same value: no change
  EXPECT_FALSE(main->hasChanges());
  QStringList seen;
  const int token = feed->addChangeObserver([&](ZPHManagedObject*, const QString& key) { seen.append(key); });
  feed->setValue(QStringLiteral("name"), QStringLiteral("New"));
  EXPECT_EQ(feed->changedValues(), (QVariantMap{{QStringLiteral("name"), QStringLiteral("New")}}));
  EXPECT_EQ(seen, QStringList{QStringLiteral("name")});
  feed->removeChangeObserver(token);
  ASSERT_TRUE(main->save());
  EXPECT_TRUE(feed->changedValues().isEmpty());
  EXPECT_FALSE(feed->isUpdated());
}

TEST_F(ObjectGraphTest, ManyInsertsOfMixedEntitiesInOneSaveKeepEveryRowApart)
{
  ASSERT_TRUE(open());
  // Enough rows of each entity for several multi-row statements and a
  // remainder; feeds and folders share one table; articles link to both
  // new contents and each other's metadata.
  ZPHManagedObject* folder = nullptr;
  for (int i = 0; i < 77; ++i) {
    if (i % 20 == 0) {
      folder = main->insertNewObject(QStringLiteral("Folder"));
      folder->setValue(QStringLiteral("name"), QStringLiteral("folder %1").arg(i));
    }
    ZPHManagedObject* feed = main->insertNewObject(QStringLiteral("Feed"));
    feed->setValue(QStringLiteral("name"), QStringLiteral("feed %1").arg(i));
    feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/%1").arg(i));
    feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
    ZPHManagedObject* article = main->insertNewObject(QStringLiteral("Article"));
    article->setValue(QStringLiteral("guid"), QStringLiteral("a%1").arg(i));
    ZPHManagedObject* content = main->insertNewObject(QStringLiteral("ArticleContent"));
    content->setValue(QStringLiteral("htmlText"), QStringLiteral("<p>%1</p>").arg(i));
    article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
  }
  ASSERT_TRUE(main->save());
  ZPHManagedObjectContext other(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
  EXPECT_EQ(other.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Folder"))), 4);
  for (int i = 0; i < 77; ++i) {
    const QList<ZPHManagedObject*> feeds = other.executeFetchRequest(ZPHFetchRequest(
        QStringLiteral("Node"), ZPHPredicate::equal(QStringLiteral("name"), QStringLiteral("feed %1").arg(i))));
    ASSERT_EQ(feeds.size(), 1) << i;
    EXPECT_EQ(feeds[0]->entity()->name(), QStringLiteral("Feed"));
    EXPECT_EQ(feeds[0]->value(QStringLiteral("url")).toString(), QStringLiteral("https://example.com/%1").arg(i));
    EXPECT_EQ(feeds[0]->valueForKeyPath(QStringLiteral("parent.name")).toString(),
              QStringLiteral("folder %1").arg(i / 20 * 20));
    const QList<ZPHManagedObject*> articles = other.executeFetchRequest(ZPHFetchRequest(
        QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("a%1").arg(i))));
    ASSERT_EQ(articles.size(), 1) << i;
    EXPECT_EQ(articles[0]->valueForKeyPath(QStringLiteral("content.htmlText")).toString(),
              QStringLiteral("<p>%1</p>").arg(i));
  }
}
