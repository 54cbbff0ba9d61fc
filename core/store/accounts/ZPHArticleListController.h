#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <vector>

class CBDataArticle;
class CBFeed;
class ZPHArticleListController;
class ZPHManagedObjectContext;
struct ZPHFetchRequest;
class ZPHError;

// One row of an article list: the article's identifier and what the list
// sorts and draws rows by before the article itself is loaded.
struct ZPHArticleListRow {
  ZPHManagedObjectID objectID;
  QDateTime dateForDisplay;
  bool read = false;
  bool flagged = false;
  // The sort key's value when the sort key is not "dateForDisplay".
  QVariant sortValue;
};

// Told by the controller, on the main thread.
class ZPHArticleListControllerDelegate {
public:
  virtual ~ZPHArticleListControllerDelegate();
  // The newest update asked for has arrived: articles() is the new list.
  virtual void articleListControllerDidUpdateArticles(ZPHArticleListController* controller) { Q_UNUSED(controller); }
  // The first rows of a long list arrived ahead of the rest (a list of
  // hundreds of thousands takes a while to read whole): articles() holds
  // them, in their final order, and isUpdating() stays true until
  // articleListControllerDidUpdateArticles() brings the whole list.
  virtual void articleListControllerDidReceiveFirstArticles(ZPHArticleListController* controller)
  {
    Q_UNUSED(controller);
  }
  // Articles deleted on the store queue left the list; `removed` are the
  // identifiers of the rows that went.
  virtual void articleListControllerDidRemoveArticles(ZPHArticleListController* controller,
                                                      const QList<ZPHManagedObjectID>& removed)
  {
    Q_UNUSED(controller);
    Q_UNUSED(removed);
  }
  // The read or bookmark state of the rows at these indexes (ascending)
  // changed.
  virtual void articleListControllerDidChangeStates(ZPHArticleListController* controller,
                                                    const QList<qsizetype>& indexes)
  {
    Q_UNUSED(controller);
    Q_UNUSED(indexes);
  }
};

// Turns the source list's selection (feeds, folders, smart feeds, the
// Favorites group) into one sorted list of articles, honours the setting
// that hides read articles, and answers first-unread questions.
//
// The list is built on the store queue, in a temporary context, from what
// the main thread captures when asked: the addresses of the selected feeds
// and of the feeds inside selected folders, the kinds of the smart feeds
// with the settings they read, and the identifiers of the articles to keep.
// One statement per part answers each article's identifier with its
// display date, read and bookmark state; so updateArticles() completes
// later, and only the newest request is kept. The articles themselves load
// in the main context when rows are shown (loadArticles()).
//
// It follows the read and bookmark notifications and the deletions of the
// store queue: deleted articles leave the list when the notice reaches the
// main thread (the store queue never waits for it), and no answer of an
// earlier request brings them back.
//
// Main thread only.
class ZPHArticleListController : public QObject {
  Q_OBJECT

public:
  static const QString DefaultSortKey;  // "dateForDisplay"
  // A list longer than this shows its first rows ahead of the rest.
  static constexpr int FirstRows = 200;

  explicit ZPHArticleListController(QObject* parent = nullptr);
  ~ZPHArticleListController() override;

  ZPHArticleListControllerDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHArticleListControllerDelegate* delegate) { m_delegate = delegate; }

  const QList<ZPHRepresentedObject>& feedsAndFolders() const { return m_feedsAndFolders; }
  void setFeedsAndFolders(const QList<ZPHRepresentedObject>& feedsAndFolders) { m_feedsAndFolders = feedsAndFolders; }
  QString sortKey() const { return m_sortKey; }
  void setSortKey(const QString& sortKey) { m_sortKey = sortKey.isEmpty() ? DefaultSortKey : sortKey; }
  bool sortAscending() const { return m_sortAscending; }
  void setSortAscending(bool ascending) { m_sortAscending = ascending; }
  // Nothing sets it.
  bool includesMultipleFeeds() const { return false; }

  // Rebuilds the list for feedsAndFolders() on the store queue, keeping the
  // given articles even where the list would leave them out; the delegate
  // hears of it when the answer arrives. A later request (or setArticles())
  // supersedes this one.
  void updateArticles(const QList<ZPHManagedObjectID>& articlesToKeep = {});
  // Whether a request has not been answered yet.
  bool isUpdating() const { return m_pendingRequest != 0; }
  // Requests made so far.
  quint64 requestCount() const { return m_lastRequest; }

  const QList<ZPHArticleListRow>& articles() const { return m_rows; }
  // Sets the list at once (search results, already sorted) and drops any
  // pending request.
  void setArticles(const QList<ZPHArticleListRow>& rows);
  qsizetype count() const { return m_rows.size(); }
  // -1 when the article is not listed.
  qsizetype indexOfArticle(const ZPHManagedObjectID& objectID) const { return m_indexByID.value(objectID, -1); }
  bool articleIsInList(const ZPHManagedObjectID& objectID) const { return m_indexByID.contains(objectID); }

  // The first unread row; -1 when none.
  qsizetype indexOfFirstUnreadArticle() const;
  bool hasAnyUnreadItems() const { return indexOfFirstUnreadArticle() >= 0; }
  // Loads and answers it (nullptr when none, or when it is gone).
  CBDataArticle* firstUnreadArticle();

  // The article of a row in the main context, loading the rows
  // [from, to) that are not loaded yet in one statement (and their read and
  // bookmark records in one more); nullptr for a row out of range or an
  // article that is gone. Loading refreshes the rows' states from the
  // articles.
  void loadArticles(qsizetype from, qsizetype to);
  CBDataArticle* articleAtIndex(qsizetype index);
  // Without loading: the article if loaded already.
  CBDataArticle* loadedArticleAtIndex(qsizetype index) const;

  // The handler of ZPHWillDeleteCoreDataObjectsInBackgroundNotification
  // (main thread; the controller observes it itself).
  void willDeleteCoreDataObjectsInBackground(const QList<ZPHManagedObjectID>& objectIDs);

  // Helpers over feedsAndFolders(): the items that are not folders; the
  // feeds inside the folders; every feed, folders flattened.
  static QList<ZPHRepresentedObject> addFeedsToArray(const QList<ZPHRepresentedObject>& feedsAndFolders);
  static QList<CBFeed*> addFeedsFromFoldersToArray(const QList<ZPHRepresentedObject>& feedsAndFolders);
  static QList<CBFeed*> addAllFeedsFromFeedsAndFolders(const QList<ZPHRepresentedObject>& feedsAndFolders);

  // The rows a fetch of articles lists, sorted as the request says; a sort
  // key other than the display date also fills sortValue. Runs on the
  // context's thread.
  static QList<ZPHArticleListRow> fetchRows(ZPHManagedObjectContext* context, const ZPHFetchRequest& request,
                                            ZPHError* error);

  // Identifiers (for tests and measures).
  static QList<ZPHManagedObjectID> objectIDsOfRows(const QList<ZPHArticleListRow>& rows);

private:
  struct Request;
  void requestDidFinish(quint64 request, QList<ZPHArticleListRow> rows);
  void requestDidDeliverFirstRows(quint64 request, QList<ZPHArticleListRow> rows);
  void replaceRows(QList<ZPHArticleListRow> rows);
  void rebuildIndex();
  void readStateDidChange(const ZPHNotification& notification);
  void multipleReadStatesDidChange(const ZPHNotification& notification);
  void flaggedStateDidChange(const ZPHNotification& notification);
  // Reads the states of these rows from their articles in the main context
  // (loading them); answers the rows whose state changed.
  QList<qsizetype> refreshStatesFromArticles(const QList<qsizetype>& indexes);
  void tellStatesChanged(QList<qsizetype> indexes);
  ZPHManagedObjectContext* mainContext() const;

  ZPHArticleListControllerDelegate* m_delegate = nullptr;
  QList<ZPHRepresentedObject> m_feedsAndFolders;
  QString m_sortKey;
  bool m_sortAscending = false;

  QList<ZPHArticleListRow> m_rows;
  QHash<ZPHManagedObjectID, qsizetype> m_indexByID;
  // The loaded articles of the rows (nullptr until loaded), as m_rows.
  std::vector<CBDataArticle*> m_loaded;

  quint64 m_lastRequest = 0;     // the newest request made
  quint64 m_pendingRequest = 0;  // the request awaited; 0 for none
  // Deleted while requests made before the deletion's notice may still
  // answer: those answers leave them out.
  QSet<ZPHManagedObjectID> m_doomed;
  quint64 m_doomedUntilRequest = 0;

  std::vector<ZPHObserverToken> m_observers;
};
