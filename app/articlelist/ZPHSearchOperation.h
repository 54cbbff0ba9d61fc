#pragma once

// Qt kind: none (an operation: a CBOperation of the core).

#include "platform/CBOperation.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/graph/ZPHPredicate.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QStringList>

class CBDateManager;
class ZPHManagedObjectContext;

// One article search, run on the store queue in a temporary context of its
// own: the articles not marked for deletion whose text, author or title
// holds the query, newest first, optionally only within the sites selected
// in the source list. Only identifiers (with the values the list needs)
// cross back to the main thread.
//
// Types: 0 everything, 1 author, 2 title; 3, 4 and 5 the same three (0, 2,
// 1 in that order) within the selected sites. The text is compared as the
// store keeps it: folded like the stored search text for the content (case,
// diacritics and width ignored), ignoring case and diacritics for authors,
// ignoring case for titles. The query is always a bound value.
//
// Set the type, the query and the selected sites (main thread) before the
// operation is queued.
class ZPHSearchOperation : public CBOperation {
public:
  enum Scope { ScopeAll = 0, ScopeAuthor = 1, ScopeTitle = 2 };

  // What a constrained search may look at, taken from the selected sites on
  // the main thread.
  struct SelectedSites {
    bool unread = false;   // All Unread
    bool flagged = false;  // Bookmarks
    bool today = false;
    QDateTime todayStart;
    QDateTime tomorrowStart;
    bool favorites = false;             // the Favorites group
    QStringList feedURLs;               // the selected feeds, together
    QList<QStringList> folderFeedURLs;  // per selected folder with feeds
  };

  ZPHSearchOperation();
  ~ZPHSearchOperation() override;

  static int scopeForType(int type);
  static bool isTypeConstrainedToSelectedFeeds(int type);

  int type() const;
  void setType(int type);
  QString queryString() const;
  void setQueryString(const QString& query);
  int scope() const { return scopeForType(type()); }
  bool isConstrainedToSelectedFeeds() const { return isTypeConstrainedToSelectedFeeds(type()); }

  // Main thread: the source-list items, and what they mean now (Today's
  // bounds from the date manager, the shared one when null).
  const QList<ZPHRepresentedObject>& selectedFeeds() const { return m_selectedFeeds; }
  void setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds, const CBDateManager* dateManager = nullptr);
  SelectedSites selectedSites() const;
  void setSelectedSites(const SelectedSites& sites);
  static SelectedSites selectedSitesForFeeds(const QList<ZPHRepresentedObject>& feeds,
                                             const CBDateManager* dateManager);

  // The conditions, as the operation builds them.
  static ZPHPredicate predicateForQuery(const QString& query, int scope);
  // The OR of one condition per kind of selected site; nothing (false) when
  // none applies.
  static ZPHPredicate predicateForSelectedSites(const SelectedSites& sites, ZPHManagedObjectContext* context);

  // After a search with a non-empty query: the results, newest first.
  bool hasResults() const;
  QList<ZPHManagedObjectID> searchResultsDataArticleObjectIDs() const;
  QList<ZPHArticleListRow> searchResultRows() const;

protected:
  void main() override;

private:
  mutable QMutex m_mutex;
  int m_type = 0;
  QString m_queryString;
  QList<ZPHRepresentedObject> m_selectedFeeds;
  SelectedSites m_selectedSites;
  bool m_hasResults = false;
  QList<ZPHArticleListRow> m_results;
};
