#pragma once

#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

inline ZPHAttributeDescription attribute(const QString& name, ZPHAttributeType type, const QVariant& defaultValue = {},
                                         bool indexed = false, bool optional = true, bool transient = false)
{
  ZPHAttributeDescription description;
  description.name = name;
  description.type = type;
  description.defaultValue = defaultValue;
  description.indexed = indexed;
  description.optional = optional;
  description.transient = transient;
  return description;
}

inline ZPHRelationshipDescription relationship(const QString& name, const QString& destination, const QString& inverse,
                                               bool toMany = false, ZPHDeleteRule rule = ZPHDeleteRule::Nullify)
{
  ZPHRelationshipDescription description;
  description.name = name;
  description.destinationEntityName = destination;
  description.inverseName = inverse;
  description.toMany = toMany;
  description.deleteRule = rule;
  return description;
}

// A small model shaped like the article store: an abstract node with feeds
// and folders in one table, articles with content, metadata and enclosures.
inline std::unique_ptr<ZPHManagedObjectModel> makeStoreTestModel(int version = 1)
{
  using A = ZPHAttributeType;
  auto model = std::make_unique<ZPHManagedObjectModel>(version);
  model->addEntity(QStringLiteral("Node"), QString(), true)
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true, true, false))
      .addAttribute(attribute(QStringLiteral("name"), A::String, {}, false, true, false))
      .addAttribute(attribute(QStringLiteral("childindex"), A::Int32, 0, false, true, false))
      .addAttribute(attribute(QStringLiteral("deleted"), A::Bool, false, false, true, false))
      .addRelationship(relationship(QStringLiteral("parent"), QStringLiteral("Folder"), QStringLiteral("children")));
  model->addEntity(QStringLiteral("Feed"), QStringLiteral("Node"))
      .addAttribute(attribute(QStringLiteral("url"), A::String, {}, true, true, false))
      .addAttribute(attribute(QStringLiteral("unreadCount"), A::UInt64, 0, false, true, false))
      .addAttribute(attribute(QStringLiteral("pubDate"), A::Double, 0.0, false, true, false))
      .addAttribute(attribute(QStringLiteral("sortKey"), A::Int64, 0, false, true, false))
      .addAttribute(attribute(QStringLiteral("scratch"), A::String, {}, false, true, true));
  model->addEntity(QStringLiteral("Folder"), QStringLiteral("Node"))
      .addAttribute(attribute(QStringLiteral("expanded"), A::Bool, false, false, true, false))
      .addRelationship(relationship(QStringLiteral("children"), QStringLiteral("Node"), QStringLiteral("parent"), true,
                                    ZPHDeleteRule::Cascade));
  model->addEntity(QStringLiteral("Article"))
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true, true, false))
      .addAttribute(attribute(QStringLiteral("feedURL"), A::String, {}, true, true, false))
      .addAttribute(attribute(QStringLiteral("title"), A::String, {}, false, true, false))
      .addAttribute(attribute(QStringLiteral("dateForDisplay"), A::Date, {}, true, true, false))
      .addAttribute(attribute(QStringLiteral("markedForDeletion"), A::Number, 0, false, true, false))
      .addRelationship(relationship(QStringLiteral("content"), QStringLiteral("ArticleContent"),
                                    QStringLiteral("article"), false, ZPHDeleteRule::Cascade))
      .addRelationship(
          relationship(QStringLiteral("metadata"), QStringLiteral("ArticleMetadata"), QStringLiteral("article")))
      .addRelationship(relationship(QStringLiteral("enclosures"), QStringLiteral("Enclosure"),
                                    QStringLiteral("article"), true, ZPHDeleteRule::Cascade));
  model->addEntity(QStringLiteral("ArticleContent"))
      .addAttribute(attribute(QStringLiteral("htmlText"), A::String, {}, false, true, false))
      .addRelationship(relationship(QStringLiteral("article"), QStringLiteral("Article"), QStringLiteral("content")));
  model->addEntity(QStringLiteral("ArticleMetadata"))
      .addAttribute(attribute(QStringLiteral("guid"), A::String, {}, true, false, false))
      .addAttribute(attribute(QStringLiteral("read"), A::Bool, false, false, true, false))
      .addAttribute(attribute(QStringLiteral("flagged"), A::Bool, false, false, true, false))
      .addRelationship(relationship(QStringLiteral("article"), QStringLiteral("Article"), QStringLiteral("metadata")));
  model->addEntity(QStringLiteral("Enclosure"))
      .addAttribute(attribute(QStringLiteral("URL"), A::String, {}, false, true, false))
      .addRelationship(
          relationship(QStringLiteral("article"), QStringLiteral("Article"), QStringLiteral("enclosures")));
  model->finish();
  return model;
}

// A store in a temp folder with its main context.
struct StoreTestFixture {
  // Overwrites the start of the root page of `table` in the closed store's
  // file (its log written into it); the schema stays readable.
  void damageRootPageOf(const char* table)
  {
    qint64 rootPage = 0;
    qint64 pageSize = 0;
    {
      std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
      ASSERT_TRUE(raw);
      ZPHSQLiteStatement root = raw->prepare("SELECT rootpage FROM sqlite_master WHERE name = ?");
      root.bindText(1, QString::fromLatin1(table));
      ASSERT_EQ(root.step(), SQLITE_ROW);
      rootPage = root.columnInt64(0);
      ZPHSQLiteStatement size = raw->prepare("PRAGMA page_size");
      ASSERT_EQ(size.step(), SQLITE_ROW);
      pageSize = size.columnInt64(0);
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek((rootPage - 1) * pageSize));
    file.write(QByteArray(64, '\xa5'));
  }

  ZPHTestTempDir folder;
  std::unique_ptr<ZPHManagedObjectModel> model = makeStoreTestModel();
  std::unique_ptr<ZPHPersistentStore> store;
  std::unique_ptr<ZPHManagedObjectContext> main;

  QString path() const { return folder.filePath(QStringLiteral("Articles")); }

  bool open()
  {
    main.reset();
    store = std::make_unique<ZPHPersistentStore>(model.get(), path());
    ZPHError error;
    if (!store->open(true, &error))
      return false;
    main = std::make_unique<ZPHManagedObjectContext>(store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
    return true;
  }

  void close()
  {
    main.reset();
    store.reset();
  }
};
