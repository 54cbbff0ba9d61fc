#pragma once

#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QObject>
#include <QtGui/QImage>

class CBAccount;
class ZPHManagedObjectContext;

// Kinds of smart feed.
enum CBGlobalFeedType : qint32 {
  CBGlobalFeedTypeAllUnread = 0,
  CBGlobalFeedTypeToday = 1,
  CBGlobalFeedTypeFlagged = 2,
  // Selects the favourites fetches; no smart feed of the source list has it.
  CBGlobalFeedTypeFavorites = 3
};

// A smart feed of the global account: All Unread, Today or Bookmarks. Its
// articles come from the article queries over every feed (or over the
// favourite feeds, as the user's settings choose); its unread count is set
// by the global account. Main thread only, except the fetches, which run on
// the thread of the context given.
class CBGlobalFeed : public QObject, public CBTreeNodeRepresentedObject {
  Q_OBJECT
public:
  using Sort = CBDataArticle::Sort;

  explicit CBGlobalFeed(qint32 globalFeedType = CBGlobalFeedTypeAllUnread, QObject* parent = nullptr);
  ~CBGlobalFeed() override;

  qint32 globalFeedType() const { return m_globalFeedType; }
  void setGlobalFeedType(qint32 type) { m_globalFeedType = type; }

  // An empty name shows as "Untitled".
  QString nameForDisplay() const override;
  void setNameForDisplay(const QString& name) override { m_nameForDisplay = name; }

  quint64 unreadCount() const { return m_unreadCount; }
  // Announces only a real change.
  void setUnreadCount(quint64 unreadCount);
  quint64 countForDisplay() const override { return m_unreadCount; }
  QUrl associatedURL() const override { return QUrl(); }

  QImage image() const { return m_image; }
  QImage selectedImage() const { return m_selectedImage; }
  void setImageName(const QString& name) { m_image = imageNamed(name); }
  void setSelectedImageName(const QString& name) { m_selectedImage = imageNamed(name); }
  // A named image of the application: ":/images/<name>.png" when the
  // application ships it, else a null image.
  static QImage imageNamed(const QString& name);

  // The account the feed belongs to (not owned; nothing here reads it).
  CBAccount* account() const { return m_account; }
  void setAccount(CBAccount* account) { m_account = account; }

  // The articles of the smart feed, and its unread ones.
  QList<CBDataArticle*> fetchArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context) const;
  QList<CBDataArticle*> fetchUnreadArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context) const;

  // All Unread: every unread article, or only those of the favourite feeds
  // when the "ZPHAllUnreadFeedsSelection" setting is 0.
  static QList<CBDataArticle*> fetchAllUnreadArticlesWithSortDescriptor(const Sort& sort,
                                                                        ZPHManagedObjectContext* context);
  // Today: the articles published today, of the favourite feeds when
  // "ZPHTodayFeedSelection" is 0, only unread ones when "ZPHHideReadArticles"
  // is set.
  static QList<CBDataArticle*> fetchTodayArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> fetchUnreadTodayArticlesWithSortDescriptor(const Sort& sort,
                                                                          ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> fetchFlaggedArticlesWithSortDescriptor(const Sort& sort,
                                                                      ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> fetchFavoritesArticlesWithSortDescriptor(const Sort& sort,
                                                                        ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> fetchUnreadFavoritesArticlesWithSortDescriptor(const Sort& sort,
                                                                              ZPHManagedObjectContext* context);

  // What a search within the smart feed starts from.
  static ZPHPredicate predicateForAllUnreadArticlesWithSortDescriptor(const Sort& sort,
                                                                      ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForTodaysArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForFlaggedArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context);

  // The identifiers of the unread articles, unsorted; empty when none.
  QList<ZPHManagedObjectID> managedObjectIDsOfUnreadArticlesWithManagedObjectContext(
      ZPHManagedObjectContext* context) const;

Q_SIGNALS:
  // The observable "unreadCount".
  void unreadCountChanged(quint64 unreadCount);

private:
  qint32 m_globalFeedType = CBGlobalFeedTypeAllUnread;
  QString m_nameForDisplay;
  quint64 m_unreadCount = 0;
  QImage m_image;
  QImage m_selectedImage;
  CBAccount* m_account = nullptr;
};
