#include "store/entities/CBDataModel.h"

#include "store/entities/AbstractTab.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectModel.h"

#include <array>

const QString CBCoreDataModelResourceName = QStringLiteral("CBData");
const QString CBDataEntityNameNode = QStringLiteral("Node");
const QString CBDataEntityNameFeed = QStringLiteral("CBFeed");
const QString CBDataEntityNameFolder = QStringLiteral("CBFolder");
const QString CBDataEntityNameArticle = QStringLiteral("Article");
const QString CBDataEntityNameArticleContent = QStringLiteral("ArticleContent");
const QString CBDataEntityNameArticleMetadata = QStringLiteral("ArticleMetadata");
const QString CBDataEntityNameEnclosure = QStringLiteral("Enclosure");
const QString CBDataEntityNameBrowserTab = QStringLiteral("ZPHTab");
const QString CBDataEntityNameCategory = QStringLiteral("Category");
const QString CBDataEntityNameNodeMetadata = QStringLiteral("NodeMetadata");
const QString CBDataEntityNameFeedMetadata = QStringLiteral("FeedMetadata");
const QString CBDataEntityNameFolderMetadata = QStringLiteral("FolderMetadata");

namespace {

using Type = ZPHAttributeType;

struct Attribute {
  const char* name;
  Type type;
  QVariant defaultValue = {};
  bool indexed = false;
  bool optional = true;
  bool transient = false;
};

void addAttributes(ZPHEntityDescription& entity, std::initializer_list<Attribute> attributes)
{
  for (const Attribute& a : attributes) {
    ZPHAttributeDescription description;
    description.name = QString::fromLatin1(a.name);
    description.type = a.type;
    description.defaultValue = a.defaultValue;
    description.indexed = a.indexed;
    description.optional = a.optional;
    description.transient = a.transient;
    entity.addAttribute(description);
  }
}

void addRelationship(ZPHEntityDescription& entity, const char* name, const QString& destination, const char* inverse,
                     bool toMany = false, ZPHDeleteRule rule = ZPHDeleteRule::Nullify)
{
  ZPHRelationshipDescription description;
  description.name = QString::fromLatin1(name);
  description.destinationEntityName = destination;
  description.inverseName = QString::fromLatin1(inverse);
  description.toMany = toMany;
  description.deleteRule = rule;
  entity.addRelationship(description);
}

// The model of a version. Older versions carry what their stores carried:
// before 13 an article keeps its own read and starred flags and there is no
// metadata entity; before 11 an article content has no normalized text.
// Older versions make plain objects (no typed classes): only migration
// reads them.
std::unique_ptr<ZPHManagedObjectModel> makeModel(int version)
{
  const bool current = version == CBDataModelCurrentVersion;
  const bool hasMetadata = version >= 13;
  const bool hasNormalizedText = version >= 11;
  auto model = std::make_unique<ZPHManagedObjectModel>(version);

  // Feeds and folders share the node table.
  ZPHEntityDescription& node = model->addEntity(CBDataEntityNameNode, QString(), true);
  addAttributes(node, {
                          {"guid", Type::String, {}, true},
                          {"parentguid", Type::String, {}, true},
                          {"parentguidModDate", Type::Double, 0.0},
                          {"childindex", Type::Int32, 0},
                          {"childindexModDate", Type::Double, 0.0},
                          {"name", Type::String},
                          {"userSpecifiedName", Type::String},
                          {"userSpecifiedNameModDate", Type::Double, 0.0},
                          {"creationDate", Type::Double, 0.0},
                          {"modDate", Type::Double, 0.0},
                          {"deleted", Type::Bool, false},
                          {"needsSync", Type::Bool, false},
                          {"needsSyncChanged", Type::Bool, false},
                          {"isFolder", Type::Bool, false},
                          {"toplevel", Type::Bool, false},
                          {"flags", Type::Int64, 0},
                          {"flagsModDate", Type::Double, 0.0},
                          {"unreadCount", Type::UInt64, 0},
                          {"unreadCountIsValid", Type::Bool, false},
                      });
  addRelationship(node, "parent", CBDataEntityNameFolder, "children");

  ZPHEntityDescription& feed = model->addEntity(CBDataEntityNameFeed, CBDataEntityNameNode);
  addAttributes(feed, {
                          {"url", Type::String, {}, true},
                          {"strHomePageURL", Type::String},
                          {"strFaviconURL", Type::String},
                          {"feedSpecifiedName", Type::String},
                          {"username", Type::String},
                          // Passwords live in the keychain only: never written.
                          {"password", Type::String, {}, false, true, true},
                          {"favorite", Type::Bool, false},
                          {"suspended", Type::Bool, false},
                          {"excludeFromDisplay", Type::Bool, false},
                          {"canBeRefreshed", Type::Bool, false},
                          {"isSection", Type::Bool, false},
                          {"daysToPersistArticles", Type::Int32, 0},
                          {"sortKey", Type::Int32, 0},
                          {"pubDate", Type::Double, 0.0},
                          {"markAllAsReadLastArticleDate", Type::Double, 0.0},
                          {"serviceOldestTrackedItemTimestamp", Type::Int64, 0},
                          {"nameForDisplay", Type::String},
                      });
  if (current)
    feed.setFactory([] { return new CBFeed; });

  ZPHEntityDescription& folder = model->addEntity(CBDataEntityNameFolder, CBDataEntityNameNode);
  addAttributes(folder, {{"expanded", Type::Bool, false}});
  addRelationship(folder, "children", CBDataEntityNameNode, "parent", true, ZPHDeleteRule::Cascade);
  if (current)
    folder.setFactory([] { return new CBFolder; });

  ZPHEntityDescription& article = model->addEntity(CBDataEntityNameArticle);
  // No query looks an article up by its guid alone (the saver matches a
  // feed's articles in memory; a look-up by best link asks link, permalink
  // or guid, which no single index serves), so the guid has no index: a
  // random key costs every insert a page of its own.
  addAttributes(article, {
                             {"guid", Type::String},
                             {"feedURL", Type::String},
                             {"link", Type::String},
                             {"permalink", Type::String},
                             {"title", Type::String},
                             {"plainTextTitle", Type::String},
                             {"plainTextPreview", Type::String},
                             {"summary", Type::String},
                             {"authorName", Type::String},
                             {"authorEmail", Type::String},
                             {"authorURL", Type::String},
                             {"originalSourceTitle", Type::String},
                             {"thumbnailURL", Type::String},
                             {"datePublished", Type::Date},
                             {"dateModified", Type::Date},
                             {"dateArrived", Type::Date},
                             {"dateForDisplay", Type::Date},
                             {"modDate", Type::Date},
                             {"noKillModDate", Type::Date},
                             {"deleted", Type::Number, 0},
                             {"markedForDeletion", Type::Number, 0},
                             {"needsSync", Type::Number, 0},
                             {"needsSyncChanged", Type::Number, 0},
                             {"noKill", Type::Number, 0},
                             {"hasAudioEnclosure", Type::Number, 0},
                             {"hasVideoEnclosure", Type::Number, 0},
                         });
  addRelationship(article, "content", CBDataEntityNameArticleContent, "article", false, ZPHDeleteRule::Cascade);
  addRelationship(article, "enclosures", CBDataEntityNameEnclosure, "article", true, ZPHDeleteRule::Cascade);
  addRelationship(article, "categories", CBDataEntityNameCategory, "article", true, ZPHDeleteRule::Cascade);
  if (hasMetadata) {
    addRelationship(article, "metadata", CBDataEntityNameArticleMetadata, "article");
    // Covering indexes: articles of a feed with their state (unread counts,
    // feed lists) and articles by display date (smart feeds).
    article.addIndex({QStringLiteral("feedURL"), QStringLiteral("markedForDeletion"), QStringLiteral("metadata")});
    article.addIndex(
        {QStringLiteral("dateForDisplay"), QStringLiteral("markedForDeletion"), QStringLiteral("metadata")});
  } else {
    addAttributes(article, {{"read", Type::Bool, false}, {"starred", Type::Bool, false}});
  }
  if (current)
    article.setFactory([] { return new CBDataArticle; });

  ZPHEntityDescription& content = model->addEntity(CBDataEntityNameArticleContent);
  if (hasNormalizedText)
    addAttributes(content,
                  {{"htmlText", Type::String}, {"normalizedText", Type::String}, {"xmlBaseURL", Type::String}});
  else
    addAttributes(content, {{"htmlText", Type::String}, {"xmlBaseURL", Type::String}});
  addRelationship(content, "article", CBDataEntityNameArticle, "content");
  if (current)
    content.setFactory([] { return new CBDataArticleContent; });

  if (hasMetadata) {
    ZPHEntityDescription& metadata = model->addEntity(CBDataEntityNameArticleMetadata);
    addAttributes(metadata, {
                                {"guid", Type::String, {}, true, false},
                                {"read", Type::Bool, false},
                                {"flagged", Type::Bool, false, true},
                            });
    addRelationship(metadata, "article", CBDataEntityNameArticle, "metadata");
    if (current)
      metadata.setFactory([] { return new ArticleMetadata; });
  }

  ZPHEntityDescription& enclosure = model->addEntity(CBDataEntityNameEnclosure);
  addAttributes(enclosure, {
                               {"URL", Type::String},
                               {"mimeType", Type::String},
                               {"medium", Type::String},
                               {"mediaType", Type::Number},
                               {"fileSize", Type::Number},
                               {"width", Type::Number},
                               {"height", Type::Number},
                               {"bitRate", Type::Number},
                           });
  addRelationship(enclosure, "article", CBDataEntityNameArticle, "enclosures");

  ZPHEntityDescription& tab = model->addEntity(CBDataEntityNameBrowserTab);
  addAttributes(tab, {
                         {"guid", Type::String, {}, true},
                         {"url", Type::String},
                         {"title", Type::String},
                         {"index", Type::Int32, 0},
                         {"indexModDate", Type::Double, 0.0},
                         {"urlModDate", Type::Double, 0.0},
                         {"modDate", Type::Double, 0.0},
                         {"deleted", Type::Bool, false},
                         {"disposable", Type::Bool, false},
                         {"needsSync", Type::Bool, false},
                         {"needsSyncChanged", Type::Bool, false},
                     });
  if (current)
    tab.setFactory([] { return new AbstractTab; });

  ZPHEntityDescription& category = model->addEntity(CBDataEntityNameCategory);
  addAttributes(category, {{"name", Type::String}});
  addRelationship(category, "article", CBDataEntityNameArticle, "categories");

  const bool finished = model->finish();
  Q_ASSERT_X(finished, Q_FUNC_INFO, "the object model does not hold together");
  Q_UNUSED(finished);
  return model;
}

}  // namespace

const ZPHManagedObjectModel* CBDataManagedObjectModel()
{
  static const std::unique_ptr<ZPHManagedObjectModel> model = makeModel(CBDataModelCurrentVersion);
  return model.get();
}

const ZPHManagedObjectModel* CBDataManagedObjectModelForVersion(int version)
{
  if (version == CBDataModelCurrentVersion)
    return CBDataManagedObjectModel();
  if (version < CBDataModelOldestVersion || version > CBDataModelCurrentVersion)
    return nullptr;
  static const auto older = [] {
    std::array<std::unique_ptr<ZPHManagedObjectModel>, CBDataModelCurrentVersion - CBDataModelOldestVersion> models;
    for (int v = CBDataModelOldestVersion; v < CBDataModelCurrentVersion; ++v)
      models[size_t(v - CBDataModelOldestVersion)] = makeModel(v);
    return models;
  }();
  return older[size_t(version - CBDataModelOldestVersion)].get();
}
