#pragma once

#include <QtCore/QString>

class ZPHManagedObjectModel;

// Name of the object model (kept for the store stack's set-up call).
extern const QString CBCoreDataModelResourceName;  // "CBData"

// Entity names; code refers to entities through these.
extern const QString CBDataEntityNameNode;             // "Node"
extern const QString CBDataEntityNameFeed;             // "CBFeed"
extern const QString CBDataEntityNameFolder;           // "CBFolder"
extern const QString CBDataEntityNameArticle;          // "Article"
extern const QString CBDataEntityNameArticleContent;   // "ArticleContent"
extern const QString CBDataEntityNameArticleMetadata;  // "ArticleMetadata"
extern const QString CBDataEntityNameEnclosure;        // "Enclosure"
extern const QString CBDataEntityNameBrowserTab;       // "ZPHTab"
extern const QString CBDataEntityNameCategory;         // "Category"
extern const QString CBDataEntityNameNodeMetadata;     // "NodeMetadata" (name only)
extern const QString CBDataEntityNameFeedMetadata;     // "FeedMetadata" (name only)
extern const QString CBDataEntityNameFolderMetadata;   // "FolderMetadata" (name only)

// Version of the current object model. Older stores carry 10 to 13.
constexpr int CBDataModelCurrentVersion = 14;
constexpr int CBDataModelOldestVersion = 10;

// The current object model, made once; shared by every store and thread.
const ZPHManagedObjectModel* CBDataManagedObjectModel();
// The model of a version from CBDataModelOldestVersion to the current one,
// or nullptr. Older versions differ where their stores differed: before 13
// articles keep "read" and "starred" themselves (no "ArticleMetadata"),
// before 11 article contents have no "normalizedText". Their objects are
// plain ZPHManagedObjects; only migration reads them.
const ZPHManagedObjectModel* CBDataManagedObjectModelForVersion(int version);
