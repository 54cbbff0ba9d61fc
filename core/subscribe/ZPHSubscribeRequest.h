#pragma once

#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <limits>
#include <memory>

class CBDataAccount;
class CBFolder;

// One address to subscribe to, with where the feed goes: the account (the
// local account unless set), the folder (none: the account's top level) and
// the index in it (AppendIndex: at the end), the name the user gave (empty:
// the feed's own title is used) and whether the feed becomes a favourite.
//
// The folder is kept as its object ID and looked up again in the main
// context when asked for, so a request never holds a deleted folder; save a
// new folder before making requests for it. Main thread.
class ZPHSubscribeRequest {
public:
  static constexpr qint64 AppendIndex = std::numeric_limits<qint64>::max();

  ZPHSubscribeRequest();
  explicit ZPHSubscribeRequest(const QUrl& feedURL);

  // A new request with the same values (the account, folder and title are
  // the same ones).
  std::shared_ptr<ZPHSubscribeRequest> copy() const;

  QUrl feedURL() const { return m_feedURL; }
  void setFeedURL(const QUrl& url) { m_feedURL = url; }
  QString title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }
  // The account set, else the local account (nullptr before one exists).
  CBDataAccount* account() const;
  void setAccount(CBDataAccount* account) { m_account = account; }
  // The folder in the main context; nullptr for the top level or when the
  // folder is gone.
  CBFolder* parentFolder() const;
  void setParentFolder(CBFolder* folder);
  ZPHManagedObjectID parentFolderID() const { return m_parentFolderID; }
  bool markAsFavorite() const { return m_markAsFavorite; }
  void setMarkAsFavorite(bool favorite) { m_markAsFavorite = favorite; }
  qint64 targetIndexInParentFolder() const { return m_targetIndexInParentFolder; }
  void setTargetIndexInParentFolder(qint64 index) { m_targetIndexInParentFolder = index; }

  // Equal address, the same folder and account, and equal titles (two null
  // titles are equal); the favourite flag and the index take no part.
  bool isEqual(const ZPHSubscribeRequest& other) const;
  bool operator==(const ZPHSubscribeRequest& other) const { return isEqual(other); }

  // "<ZPHSubscribeRequest <feedURL: address>>".
  QString description() const;

private:
  QUrl m_feedURL;
  QString m_title;
  CBDataAccount* m_account = nullptr;
  ZPHManagedObjectID m_parentFolderID;
  bool m_markAsFavorite = false;
  qint64 m_targetIndexInParentFolder = AppendIndex;
};

size_t qHash(const ZPHSubscribeRequest& request, size_t seed = 0);

using ZPHSubscribeRequests = QList<std::shared_ptr<ZPHSubscribeRequest>>;
Q_DECLARE_METATYPE(std::shared_ptr<ZPHSubscribeRequest>)
Q_DECLARE_METATYPE(ZPHSubscribeRequests)
