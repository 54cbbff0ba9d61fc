#include "core/store/graph/StoreTestModel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Options = ZPHPredicate::ComparisonOptions;
constexpr auto C = ZPHPredicate::CaseInsensitive;
constexpr auto D = ZPHPredicate::DiacriticInsensitive;

class ObjectGraphContainsTest : public ::testing::Test, public StoreTestFixture {
protected:
  void SetUp() override { ASSERT_TRUE(open()); }

  ZPHManagedObject* article(const QString& guid, const QString& title)
  {
    ZPHManagedObject* object = main->insertNewObject(QStringLiteral("Article"));
    object->setValue(QStringLiteral("guid"), guid);
    object->setValue(QStringLiteral("title"), title);
    return object;
  }

  // The guids the store finds, sorted; and the same judged in memory.
  QStringList found(ZPHManagedObjectContext* context, const ZPHPredicate& predicate)
  {
    ZPHError error;
    QStringList guids;
    for (ZPHManagedObject* object :
         context->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"), predicate), &error))
      guids.append(object->value(QStringLiteral("guid")).toString());
    EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
    guids.sort();
    return guids;
  }
  QStringList judged(const ZPHPredicate& predicate)
  {
    QStringList guids;
    for (ZPHManagedObject* object : main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article")))) {
      if (predicate.evaluateWithObject(object))
        guids.append(object->value(QStringLiteral("guid")).toString());
    }
    guids.sort();
    return guids;
  }
};

}  // namespace

TEST_F(ObjectGraphContainsTest, TheStoreAndMemoryAgreeForEveryOption)
{
  article(QStringLiteral("plain"), QStringLiteral("The Cafe opens"));
  article(QStringLiteral("composed"), QStringLiteral("Le caf\u00e9 ferme"));
  article(QStringLiteral("decomposed"), QStringLiteral("CAFE\u0301 CR\u00c8ME"));
  article(QStringLiteral("percent"), QStringLiteral("100% off_now"));
  article(QStringLiteral("quotes"), QStringLiteral("It's \"quoted\" ') OR 1=1 --"));
  article(QStringLiteral("greek"), QStringLiteral("\u039a\u0391\u039b\u0397\u039c\u0395\u03a1\u0391"));
  article(QStringLiteral("none"), QString());
  ASSERT_TRUE(main->save());

  struct Case {
    QString text;
    Options options;
    QStringList expected;
  };
  const QList<Case> cases = {
      {QStringLiteral("Cafe"), {}, {"plain"}},
      {QStringLiteral("cafe"), C, {"plain"}},
      // With case ignored the accents still count; both spellings of é agree.
      {QStringLiteral("caf\u00e9"), C, {"composed", "decomposed"}},
      {QStringLiteral("CAFE\u0301"), C, {"composed", "decomposed"}},
      {QStringLiteral("cafe"), C | D, {"composed", "decomposed", "plain"}},
      {QStringLiteral("creme"), C | D, {"decomposed"}},
      {QStringLiteral("\u03ba\u03b1\u03bb\u03b7"), C, {"greek"}},
      // Pattern characters and quotes are plain text.
      {QStringLiteral("%"), {}, {"percent"}},
      {QStringLiteral("_"), C, {"percent"}},
      {QStringLiteral("0% o"), C | D, {"percent"}},
      {QStringLiteral("') OR 1=1 --"), C, {"quotes"}},
      {QStringLiteral("\"quoted\""), {}, {"quotes"}},
      {QStringLiteral("%%"), C, {}},
      // An empty text is found nowhere.
      {QString(), C | D, {}},
      {QStringLiteral(""), {}, {}},
  };
  for (const Case& c : cases) {
    const ZPHPredicate predicate = ZPHPredicate::contains(QStringLiteral("title"), c.text, c.options);
    EXPECT_EQ(found(main.get(), predicate), c.expected) << predicate.predicateFormat().toStdString();
    EXPECT_EQ(judged(predicate), c.expected) << predicate.predicateFormat().toStdString();
    // Negated: a null title holds nothing, so it is in every negation.
    QStringList rest = judged(ZPHPredicate());
    for (const QString& guid : c.expected) rest.removeAll(guid);
    EXPECT_EQ(found(main.get(), !predicate), rest) << predicate.predicateFormat().toStdString();
  }
  EXPECT_EQ(ZPHPredicate::contains(QStringLiteral("title"), QStringLiteral("x"), C | D).predicateFormat(),
            QStringLiteral("(title CONTAINS[cd] \"x\")"));
}

TEST_F(ObjectGraphContainsTest, UnsavedChangesAndOneHopAreJudgedToo)
{
  ZPHManagedObject* saved = article(QStringLiteral("saved"), QStringLiteral("old words"));
  ZPHManagedObject* content = main->insertNewObject(QStringLiteral("ArticleContent"));
  content->setValue(QStringLiteral("htmlText"), QStringLiteral("needle in here"));
  saved->setValue(QStringLiteral("content"), QVariant::fromValue(content));
  ASSERT_TRUE(main->save());
  saved->setValue(QStringLiteral("title"), QStringLiteral("New Words"));
  article(QStringLiteral("inserted"), QStringLiteral("newer words"));

  EXPECT_EQ(found(main.get(), ZPHPredicate::contains(QStringLiteral("title"), QStringLiteral("new"), C)),
            (QStringList{"inserted", "saved"}));
  EXPECT_EQ(found(main.get(), ZPHPredicate::contains(QStringLiteral("title"), QStringLiteral("old"), C)),
            QStringList());
  EXPECT_EQ(found(main.get(), ZPHPredicate::contains(QStringLiteral("content.htmlText"), QStringLiteral("needle"))),
            QStringList{"saved"});
}

TEST_F(ObjectGraphContainsTest, IdentifiersComeWithTheirValuesAlsoForUnsavedChanges)
{
  QList<ZPHManagedObject*> articles;
  for (int n = 0; n < 4; ++n) {
    ZPHManagedObject* object = article(QStringLiteral("a%1").arg(n), QStringLiteral("T%1").arg(n));
    object->setValue(QStringLiteral("dateForDisplay"), QDateTime(QDate(2026, 3, 1 + n), QTime(12, 0), Qt::UTC));
    if (n != 3) {
      ZPHManagedObject* metadata = main->insertNewObject(QStringLiteral("ArticleMetadata"));
      metadata->setValue(QStringLiteral("guid"), QStringLiteral("a%1").arg(n));
      metadata->setValue(QStringLiteral("read"), n == 1);
      metadata->setValue(QStringLiteral("flagged"), n == 2);
      object->setValue(QStringLiteral("metadata"), QVariant::fromValue(metadata));
    }
    articles.append(object);
  }
  ASSERT_TRUE(main->save());

  ZPHFetchRequest request(QStringLiteral("Article"));
  request.sortDescriptors = {{QStringLiteral("dateForDisplay"), false}};
  const QStringList keyPaths{QStringLiteral("dateForDisplay"), QStringLiteral("metadata.read"),
                             QStringLiteral("metadata.flagged"), QStringLiteral("title")};
  const auto check = [&](ZPHManagedObjectContext* context, const QList<int>& order, const QList<bool>& read) {
    ZPHError error;
    const ZPHObjectIDsWithValues rows = context->executeFetchRequestForObjectIDsWithValues(request, keyPaths, &error);
    ASSERT_TRUE(error.isNull()) << error.toString().toStdString();
    ASSERT_EQ(rows.objectIDs.size(), order.size());
    ASSERT_EQ(rows.valueCount, 4);
    for (qsizetype i = 0; i < order.size(); ++i) {
      const int n = order[i];
      EXPECT_EQ(rows.objectIDs[i], articles[n]->objectID());
      EXPECT_EQ(rows.value(i, 0).toDateTime(), QDateTime(QDate(2026, 3, 1 + n), QTime(12, 0), Qt::UTC));
      EXPECT_EQ(rows.value(i, 1).toBool(), read[i]) << n;
      EXPECT_EQ(rows.value(i, 2).toBool(), n == 2) << n;
      EXPECT_EQ(rows.value(i, 3).toString(), QStringLiteral("T%1").arg(n));
    }
    EXPECT_FALSE(rows.value(order.indexOf(3), 1).isValid());  // no metadata: null
  };
  check(main.get(), {3, 2, 1, 0}, {false, false, true, false});

  // Unsaved: a0 read now and moved to the top, a1 deleted.
  articles[0]->setValue(QStringLiteral("dateForDisplay"), QDateTime(QDate(2026, 4, 1), QTime(12, 0), Qt::UTC));
  articles[0]
      ->relatedObject(articles[0]->entity()->indexOfProperty(QStringLiteral("metadata")))
      ->setValue(QStringLiteral("read"), true);
  main->deleteObject(articles[1]);
  ZPHError error;
  const ZPHObjectIDsWithValues rows = main->executeFetchRequestForObjectIDsWithValues(request, keyPaths, &error);
  ASSERT_EQ(rows.objectIDs.size(), 3);
  EXPECT_EQ(rows.objectIDs[0], articles[0]->objectID());
  EXPECT_TRUE(rows.value(0, 1).toBool());
  EXPECT_EQ(rows.value(0, 0).toDateTime(), QDateTime(QDate(2026, 4, 1), QTime(12, 0), Qt::UTC));
  EXPECT_EQ(rows.objectIDs[1], articles[3]->objectID());
  EXPECT_EQ(rows.objectIDs[2], articles[2]->objectID());

  // A stored link gives the related object's identifier, from the store
  // and from memory alike (a0's metadata is unsaved-changed, a2's saved).
  const ZPHObjectIDsWithValues links =
      main->executeFetchRequestForObjectIDsWithValues(request, {QStringLiteral("metadata")}, &error);
  ASSERT_TRUE(error.isNull()) << error.toString().toStdString();
  ASSERT_EQ(links.objectIDs.size(), 3);
  for (qsizetype i = 0; i < links.objectIDs.size(); ++i) {
    ZPHManagedObject* article = main->objectWithID(links.objectIDs[i]);
    ZPHManagedObject* metadata = article->relatedObject(article->entity()->indexOfProperty(QStringLiteral("metadata")));
    if (metadata == nullptr)
      EXPECT_FALSE(links.value(i, 0).isValid()) << i;
    else
      EXPECT_EQ(links.value(i, 0).value<ZPHManagedObjectID>(), metadata->objectID()) << i;
  }

  // A key path that names nothing is an error, not a guess.
  main->executeFetchRequestForObjectIDsWithValues(request, {QStringLiteral("nothing")}, &error);
  EXPECT_FALSE(error.isNull());
}
