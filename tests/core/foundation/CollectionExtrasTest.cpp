#include "foundation/CBCollectionExtras.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QStringList>

#include <gtest/gtest.h>

#include <limits>

namespace CE = CobbletonExtras;

TEST(CollectionExtras, SafeAccessAndAdding)
{
  const QStringList list{"a", "b", "c"};
  EXPECT_EQ(CE::safeObjectAtIndex(list, 2), "c");
  EXPECT_TRUE(CE::safeObjectAtIndex(list, 3).isNull());
  EXPECT_TRUE(CE::safeObjectAtIndex(list, -1).isNull());

  QVariantList objects;
  CE::safeAddObject(objects, QVariant());
  CE::safeAddObject(objects, QVariant(1));
  const QVariantList more{2, 3};
  CE::safeAddObjectsFromArray(objects, &more);
  CE::safeAddObjectsFromArray<QVariant>(objects, nullptr);
  EXPECT_EQ(objects, (QVariantList{1, 2, 3}));
}

TEST(CollectionExtras, MoveObject)
{
  const struct {
    qsizetype from;
    qsizetype to;
    QStringList expected;
  } cases[] = {
      {0, 3, {"b", "c", "a", "d"}},
      {3, 0, {"d", "a", "b", "c"}},
      {1, 2, {"a", "b", "c", "d"}},  // just before itself: stays
      {1, 1, {"a", "b", "c", "d"}},
      {0, 4, {"b", "c", "d", "a"}},  // to the end
      {2, 1, {"a", "c", "b", "d"}},
      // Out of range: unchanged.
      {4, 0, {"a", "b", "c", "d"}},
      {-1, 0, {"a", "b", "c", "d"}},
      {0, 5, {"a", "b", "c", "d"}},
      {0, -1, {"a", "b", "c", "d"}},
  };
  for (const auto& c : cases) {
    QStringList list{"a", "b", "c", "d"};
    CE::moveObjectAtIndex(list, c.from, c.to);
    EXPECT_EQ(list, c.expected) << c.from << " -> " << c.to;
  }
}

TEST(CollectionExtras, Identity)
{
  QString a = QStringLiteral("same");
  QString b = QStringLiteral("same");  // equal to a, not a
  QString c = QStringLiteral("other");

  const QList<QString*> list{&a, &c, &a};
  EXPECT_TRUE(CE::containsObjectIdenticalTo(list, &a));
  EXPECT_FALSE(CE::containsObjectIdenticalTo(list, &b));
  EXPECT_TRUE(CE::containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{&b, &c}));
  EXPECT_FALSE(CE::containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{&b}));
  EXPECT_FALSE(CE::containsAtLeastOneObjectIdenticalToObjectInArray(list, QList<QString*>{}));

  EXPECT_EQ(CBArrayIndexOfObjectIdenticalTo(list, &c), 1);
  EXPECT_EQ(CBArrayIndexOfObjectIdenticalTo(list, &a), 0);
  constexpr qsizetype notFound = std::numeric_limits<qsizetype>::max();
  EXPECT_EQ(CBArrayIndexOfObjectIdenticalTo(list, &b), notFound);
  EXPECT_EQ(CBArrayIndexOfObjectIdenticalTo(list, nullptr), notFound);
  EXPECT_EQ(CBArrayIndexOfObjectIdenticalTo(QList<QString*>{}, &a), notFound);
}

TEST(CollectionExtras, ArraysHaveEqualContentsAsMultisets)
{
  QString a = QStringLiteral("a");
  QString b = QStringLiteral("b");
  QString c = QStringLiteral("c");
  QString equalToA = QStringLiteral("a");
  using List = QList<QString*>;

  const struct {
    List first;
    List second;
    bool equal;
  } cases[] = {
      {{&a, &b, &c}, {&c, &a, &b}, true},
      {{}, {}, true},
      {{&a, &a, &b}, {&a, &b, &a}, true},
      {{&a}, {&equalToA}, false},  // equal, but not the same object
      {{&a, &b}, {&a, &b, &c}, false},
      // Same size, same set of objects, different counts: both directions count.
      {{&a, &a, &b}, {&a, &b, &b}, false},
      {{&a, &b, &b}, {&a, &a, &b}, false},
      {{&a, &a}, {&a, &b}, false},
      {{&a, &b}, {&a, &a}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZPHArraysHaveEqualContents(c.first, c.second), c.equal);
    EXPECT_EQ(ZPHArraysHaveEqualContents(c.second, c.first), c.equal);
  }

  const List empty;
  EXPECT_TRUE(ZPHArraysHaveEqualContents<QString>(nullptr, nullptr));
  EXPECT_FALSE(ZPHArraysHaveEqualContents<QString>(nullptr, &empty));
  EXPECT_FALSE(ZPHArraysHaveEqualContents<QString>(&empty, nullptr));
}

TEST(CollectionExtras, TypedReadsOfMaps)
{
  const struct {
    QVariant value;
    bool boolValue;
    int intValue;
    QString string;  // null: null
  } cases[] = {
      {QVariant(), false, 0, QString()},
      {QVariant(true), true, 1, "1"},
      {QVariant(false), false, 0, "0"},
      {QVariant(QStringLiteral("YES")), true, 0, "YES"},
      {QVariant(QStringLiteral("True")), true, 0, "True"},
      {QVariant(QStringLiteral("no")), false, 0, "no"},
      {QVariant(QStringLiteral("42 items")), true, 42, "42 items"},
      {QVariant(2), true, 2, "2"},
      {QVariant(0), false, 0, "0"},
      {QVariant(qint64(1) << 40), true, std::numeric_limits<int>::max(), "1099511627776"},
      {QVariant(QStringLiteral("-99999999999")), true, std::numeric_limits<int>::min(), "-99999999999"},
      {QVariant(QVariantList{1}), false, 0, QString()},
  };
  for (const auto& c : cases) {
    const QVariantMap map{{"k", c.value}};
    const QVariantHash hash{{"k", c.value}};
    const std::string label = c.value.toString().toStdString();
    EXPECT_EQ(CE::boolForKey(map, "k"), c.boolValue) << label;
    EXPECT_EQ(CE::boolForKey(hash, "k"), c.boolValue) << label;
    EXPECT_EQ(CE::intForKey(map, "k"), c.intValue) << label;
    EXPECT_EQ(CE::intForKey(hash, "k"), c.intValue) << label;
    EXPECT_EQ(CE::stringForKey(map, "k"), c.string) << label;
    EXPECT_EQ(CE::stringForKey(map, "k").isNull(), c.string.isNull()) << label;
  }
  EXPECT_FALSE(CE::boolForKey(QVariantMap(), "missing"));
}

TEST(CollectionExtras, CaseInsensitiveKeys)
{
  // The lower-cased key is tried before the other spellings, whatever the map's order.
  const QVariantMap map{{"Accept", 1}, {"accept", 2}, {"ETag", 3}};
  EXPECT_EQ(CE::objectForCaseInsensitiveKey(map, "Accept"), QVariant(1));
  EXPECT_EQ(CE::objectForCaseInsensitiveKey(map, "ACCEPT"), QVariant(2));
  EXPECT_EQ(CE::objectForCaseInsensitiveKey(map, "etag"), QVariant(3));
  EXPECT_FALSE(CE::objectForCaseInsensitiveKey(map, "missing").isValid());

  const QVariantHash hash{{"Content-Type", "text/html"}};
  EXPECT_EQ(CE::objectForCaseInsensitiveKey(hash, "content-TYPE"), QVariant("text/html"));
}

TEST(CollectionExtras, SettingValues)
{
  QVariantMap map{{"kept", "old"}};
  CE::safeSetObject(map, QVariant(), "kept");
  CE::safeSetObject(map, "x", "set");
  CE::setInt(map, 7, "int");
  CE::setInteger(map, qint64(1) << 40, "integer");
  CE::setBool(map, true, "bool");
  EXPECT_EQ(map.value("kept"), QVariant("old"));
  EXPECT_EQ(map.value("set"), QVariant("x"));
  EXPECT_EQ(CE::intForKey(map, "int"), 7);
  EXPECT_EQ(map.value("integer").toLongLong(), qint64(1) << 40);
  EXPECT_TRUE(CE::boolForKey(map, "bool"));
  EXPECT_EQ(map.value("bool").typeId(), QMetaType::Bool);
}

TEST(CollectionExtras, HTTPPostArgs)
{
  EXPECT_EQ(CE::httpPostArgsString(QVariantMap{{"q", "a b&c"}}), "q=a%20b%26c");
  EXPECT_EQ(CE::httpPostArgsString(QVariantMap{{"t", QVariantList{"x", "y/z"}}}), "t=x&t=y%2Fz");
  EXPECT_EQ(CE::httpPostArgsString(QVariantMap{{"s", "1+1=2?#$,;@:%"}}), "s=1%2B1%3D2%3F%23%24%2C%3B%40%3A%25");

  // Pairs may come in any order: check them as a set.
  const QString pairs = CE::httpPostArgsString(QVariantMap{{"a", 1}, {"b", "two"}});
  QStringList split = pairs.split('&');
  split.sort();
  EXPECT_EQ(split, (QStringList{"a=1", "b=two"}));

  const QString empty = CE::httpPostArgsString(QVariantMap());
  EXPECT_TRUE(empty.isEmpty());
  EXPECT_FALSE(empty.isNull());
}

TEST(CollectionExtras, WriteToFile)
{
  ZPHTestTempDir dir;
  const QVariantList list{"a", 1, true};
  const QVariantMap map{{"k", "v"}};
  EXPECT_TRUE(CE::writeToFile(list, dir.filePath("list.json"), true));
  EXPECT_TRUE(CE::writeToFile(map, dir.filePath("map.json"), false));
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(dir.filePath("list.json")).toList(), list);
  EXPECT_EQ(CBReadArrayOrDictionaryFromFile(dir.filePath("map.json")).toMap(), map);
  EXPECT_FALSE(CE::writeToFile(list, dir.filePath("missing/list.json"), true));
}
