#pragma once

#include "platform/ZPHPasswordStore.h"

#include <QtCore/QMutex>

class QJsonArray;

// Passwords in one JSON file, "Passwords.json" in a folder, for where no
// secret service answers. The file is readable and writable by its owner
// only (mode 0600, set before any secret is written) and is replaced
// atomically on every change; a file found readable by others is made
// private again, with a warning, before it is read. A file that cannot be read as a password
// file is reported (status Corrupt) and left untouched.
class ZPHFilePasswordStore : public ZPHPasswordStore {
public:
  // Keeps its file in `folder`, which is made when the first item is stored.
  explicit ZPHFilePasswordStore(const QString& folder);

  // The data folder of the registered application delegate, else the
  // standard application data folder.
  static QString defaultFolder();

  QString filePath() const { return m_filePath; }

  int findPassword(const ZPHPasswordItem& query, ZPHPasswordItem* found) override;
  int listItems(const ZPHPasswordItem& query, QList<ZPHPasswordItem>* items) override;
  int addItem(const ZPHPasswordItem& item) override;
  int updatePassword(const ZPHPasswordItem& key, const QByteArray& password) override;
  int deleteItem(const ZPHPasswordItem& key) override;

private:
  // The items in the file (none when there is no file yet).
  int load(QList<ZPHPasswordItem>* items) const;
  int save(const QList<ZPHPasswordItem>& items) const;
  int parse(const QByteArray& bytes, QList<ZPHPasswordItem>* items) const;
  int parseArray(const QJsonArray& records, ZPHPasswordItem::Kind kind, QList<ZPHPasswordItem>* items) const;

  QString m_folder;
  QString m_filePath;
  QMutex m_mutex;
};
