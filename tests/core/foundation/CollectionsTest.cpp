#include "foundation/CBCollections.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QFile>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

TEST(Collections, IsEmpty)
{
  const struct {
    QVariant value;
    bool empty;
  } cases[] = {
      {QVariant(), true},
      {QVariant(QString()), true},
      {QVariant(QStringLiteral("")), true},
      {QVariant(QByteArray()), true},
      {QVariant(QVariantList()), true},
      {QVariant(QStringList()), true},
      {QVariant(QVariantMap()), true},
      {QVariant(QVariantHash()), true},
      {QVariant::fromValue(QList<int>()), true},
      {QVariant(0), false},
      {QVariant(QStringLiteral("x")), false},
      {QVariant(QVariantList{1}), false},
      {QVariant(QVariantMap{{"k", 1}}), false},
      {QVariant::fromValue(QList<int>{1}), false},
      {QVariant(QDateTime::currentDateTimeUtc()), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CBIsEmpty(c.value), c.empty) << c.value.typeName() << " " << c.value.toString().toStdString();

  EXPECT_TRUE(CBIsEmpty(QString()));
  EXPECT_TRUE(CBIsEmpty(QList<int>()));
  EXPECT_FALSE(CBIsEmpty(QStringList{"a"}));
}

TEST(Collections, SafeAccessAndMutation)
{
  const QVariantList list{"a", "b"};
  EXPECT_EQ(cb_safeObjectAtIndex(list, 1), QVariant("b"));
  EXPECT_FALSE(cb_safeObjectAtIndex(list, 2).isValid());
  EXPECT_FALSE(cb_safeObjectAtIndex(list, -1).isValid());
  EXPECT_FALSE(cb_safeObjectAtIndex(QVariantList(), 0).isValid());

  QVariantList mutableList;
  cb_safeAddObject(mutableList, QVariant());
  cb_safeAddObject(mutableList, QVariant(1));
  cb_safeRemoveObjectAtIndex(mutableList, 1);
  cb_safeRemoveObjectAtIndex(mutableList, -1);
  EXPECT_EQ(mutableList, QVariantList{1});
  cb_safeRemoveObjectAtIndex(mutableList, 0);
  EXPECT_TRUE(mutableList.isEmpty());

  QStringList unique;
  cb_addUniqueObject(unique, QStringLiteral("a"));
  cb_addUniqueObject(unique, QStringLiteral("a"));
  cb_addUniqueObject(unique, QString());
  cb_addUniqueObject(unique, QStringLiteral("b"));
  EXPECT_EQ(unique, (QStringList{"a", "b"}));

  QSet<QString> set;
  cb_addObject(set, QString());
  cb_addObject(set, QStringLiteral("x"));
  EXPECT_EQ(set, QSet<QString>{"x"});

  QVariantMap map;
  cb_safeSetObject(map, QVariant(), "nil");
  cb_safeSetObject(map, 1, QString());
  cb_safeSetObject(map, 2, "two");
  cb_setInteger(map, 7, "int");
  cb_setBool(map, true, "bool");
  EXPECT_EQ(map, (QVariantMap{{"two", 2}, {"int", qint64(7)}, {"bool", true}}));

  EXPECT_EQ(numberIncremented(41), QVariant(qint64(42)));
  EXPECT_EQ(numberIncremented(QStringLiteral("9")), QVariant(qint64(10)));
}

TEST(Collections, IdentityTellsEqualObjectsApart)
{
  QString a = QStringLiteral("same");
  QString b = QStringLiteral("same");  // equal to a, not a
  QString c = QStringLiteral("other");

  const QList<QString*> list{&a};
  EXPECT_TRUE(cb_containsObjectIdenticalTo(list, &a));
  EXPECT_FALSE(cb_containsObjectIdenticalTo(list, &b));
  EXPECT_FALSE(cb_containsObjectIdenticalTo(list, static_cast<QString*>(nullptr)));
  EXPECT_TRUE(cb_containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{&c, &a}));
  EXPECT_FALSE(cb_containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{&b}));
  EXPECT_FALSE(cb_containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{}));

  QList<QString*> growing{&a};
  cb_addObjectIfNotIdentical(growing, &a);
  cb_addObjectIfNotIdentical(growing, static_cast<QString*>(nullptr));
  cb_addObjectIfNotIdentical(growing, &b);
  EXPECT_EQ(growing, (QList<QString*>{&a, &b}));

  // Against the growing list: a repeated argument is added once.
  cb_addObjectsThatAreNotIdentical(growing, QList<QString*>{&c, &a, &c});
  EXPECT_EQ(growing, (QList<QString*>{&a, &b, &c}));
  cb_addObjectsThatAreNotIdentical(growing, QList<QString*>{});
  EXPECT_EQ(growing.size(), 3);

  // An empty receiver takes all of them as they are.
  QList<QString*> empty;
  cb_addObjectsThatAreNotIdentical(empty, QList<QString*>{&c, &c});
  EXPECT_EQ(empty, (QList<QString*>{&c, &c}));
}

TEST(Collections, TransformSkipsNilResults)
{
  const QStringList names{"a", "", "c"};
  const QVariantList result = cb_mutableArrayWithArray(
      names, [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s.toUpper()); });
  EXPECT_EQ(result, (QVariantList{"A", "C"}));
  EXPECT_TRUE(cb_mutableArrayWithArray(QStringList(), [](const QString& s) { return s; }).isEmpty());
}

TEST(Collections, TypedReadsOfMaps)
{
  const struct {
    QVariant value;
    bool boolValue;
    qint64 integer;
    double real;
    QString string;
  } cases[] = {
      {QVariant(), false, 0, 0.0, QString()},
      {QVariant(true), true, 1, 1.0, "1"},
      {QVariant(false), false, 0, 0.0, "0"},
      {QVariant(QStringLiteral("YES")), true, 0, 0.0, "YES"},
      {QVariant(QStringLiteral("True")), true, 0, 0.0, "True"},
      {QVariant(QStringLiteral("no")), false, 0, 0.0, "no"},
      {QVariant(QStringLiteral(" 12abc")), true, 12, 12.0, " 12abc"},
      {QVariant(QStringLiteral("-3.75e1x")), true, -3, -37.5, "-3.75e1x"},
      {QVariant(2), true, 2, 2.0, "2"},
      {QVariant(0.5), false, 0, 0.5, "0.5"},
      {QVariant(QVariantList{1}), false, 0, 0.0, QString()},
  };
  for (const auto& c : cases) {
    const QVariantMap map{{"k", c.value}};
    const QVariantHash hash{{"k", c.value}};
    SCOPED_TRACE(c.value.toString().toStdString());
    EXPECT_EQ(cb_boolForKey(map, "k"), c.boolValue);
    EXPECT_EQ(cb_boolForKey(hash, "k"), c.boolValue);
    EXPECT_EQ(cb_integerForKey(map, "k"), c.integer);
    EXPECT_EQ(cb_integerForKey(hash, "k"), c.integer);
    EXPECT_DOUBLE_EQ(cb_doubleForKey(map, "k"), c.real);
    EXPECT_EQ(cb_stringForKey(map, "k"), c.string);
    EXPECT_EQ(cb_stringForKey(hash, "k").isNull(), c.string.isNull());
  }
  EXPECT_FALSE(cb_boolForKey(QVariantMap{{"k", true}}, "missing"));
  EXPECT_EQ(cb_integerForKey(QVariantMap{{"k", QStringLiteral("99999999999999999999")}}, "k"),
            std::numeric_limits<qint64>::max());
}

TEST(Collections, CaseInsensitiveKeys)
{
  const QVariantMap headers{{"Content-Type", "text/html"}, {"ETag", "exact"}, {"etag", "lower"}};
  EXPECT_EQ(cb_objectForCaseInsensitiveKey(headers, "content-type"), QVariant("text/html"));
  EXPECT_EQ(cb_objectForCaseInsensitiveKey(headers, "ETag"), QVariant("exact"));
  EXPECT_EQ(cb_objectForCaseInsensitiveKey(headers, "etag"), QVariant("lower"));
  EXPECT_FALSE(cb_objectForCaseInsensitiveKey(headers, "Last-Modified").isValid());
  EXPECT_EQ(cb_objectForCaseInsensitiveKey(QVariantHash{{"Location", "x"}}, "LOCATION"), QVariant("x"));
}

TEST(Collections, FormEncoding)
{
  EXPECT_EQ(cb_httpPostArgsString({}), QString(""));
  EXPECT_FALSE(cb_httpPostArgsString({}).isNull());

  const QVariantMap form{{"a", QStringList{"x y", "1/2"}}, {"b", "%=&/:+?#$,;@ "}, {"c", 5}, {"d", "-._~!'()*\u00e9"}};
  EXPECT_EQ(cb_httpPostArgsString(form),
            "a=x%20y&a=1%2F2&b=%25%3D%26%2F%3A%2B%3F%23%24%2C%3B%40%20&c=5&d=-._~!'()*%C3%A9");

  // The building steps keep counting across calls.
  QString string;
  int index = 0;
  cb_addHTTPPostArgValue("v", "k", &index, string);
  cb_addHTTPPostArgsArray({1, 2}, "n", &index, string);
  EXPECT_EQ(string, "k=v&n=1&n=2");
  EXPECT_EQ(index, 3);
}

TEST(Collections, WritesAndReadsListsAndMapsAtomically)
{
  ZPHTestTempDir dir;
  const QVariantMap map{{"name", "Zephlin"}, {"count", 3}, {"flags", QVariantList{true, 1.5, "x"}}};
  const QString compact = dir.filePath("compact.json");
  const QString indented = dir.filePath("indented.json");

  ASSERT_TRUE(CBWriteArrayOrDictionaryToFileUsingBinaryFormat(compact, map));
  ASSERT_TRUE(cb_writeToFile(map, indented, false));
  ASSERT_TRUE(cb_writeToFile(QVariantList{"a", 2}, dir.filePath("list.json"), true));
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(compact), QVariant(map));
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(indented), QVariant(map));
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(dir.filePath("list.json")), QVariant(QVariantList{"a", 2}));

  QFile compactFile(compact);
  ASSERT_TRUE(compactFile.open(QIODevice::ReadOnly));
  EXPECT_FALSE(compactFile.readAll().contains('\n'));
  QFile indentedFile(indented);
  ASSERT_TRUE(indentedFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(indentedFile.readAll().contains('\n'));

  // Failures are reported, and an earlier file stays as it was.
  EXPECT_FALSE(CBWriteArrayOrDictionaryToFileUsingBinaryFormat(QString(), map));
  EXPECT_FALSE(CBWriteArrayOrDictionaryToFileUsingBinaryFormat(compact, QStringLiteral("not a collection")));
  EXPECT_FALSE(CBWriteArrayOrDictionaryToFileUsingBinaryFormat(compact, QVariantMap{{"d", QDateTime()}}));
  EXPECT_FALSE(cb_writeToFile(QVariantList{std::numeric_limits<double>::infinity()}, compact, true));
  EXPECT_FALSE(cb_writeToFile(map, dir.filePath("missing-folder/file.json"), true));
  EXPECT_FALSE(cb_writeToFile(map, dir.path(), false));
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(compact), QVariant(map));

  EXPECT_FALSE(CBReadArrayOrDictionaryFromFile(dir.writeFile("bad.json", "{\"a\":")).isValid());
  EXPECT_FALSE(CBReadArrayOrDictionaryFromFile(dir.writeFile("scalar.json", "3")).isValid());
  EXPECT_FALSE(CBReadArrayOrDictionaryFromFile(dir.filePath("none.json")).isValid());
}

TEST(Collections, InvalidateIfValidStopsARunningTimer)
{
  QTimer timer;
  timer.start(10000);
  cb_invalidateIfValid(&timer);
  EXPECT_FALSE(timer.isActive());
  cb_invalidateIfValid(&timer);
  cb_invalidateIfValid(nullptr);
}
