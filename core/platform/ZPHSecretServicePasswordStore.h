#pragma once

#include "platform/ZPHPasswordStore.h"

#include <QtCore/QMutex>

// Passwords in the desktop's secret service (or KWallet), through QtKeychain.
//
// Each item is one secret: a generic password under its own service and
// account, an Internet password under the service "Zephlin Internet
// Password" and a key made of its server, path, account and protocol. The
// secret service cannot list items, so an index of the items' keys, labels
// and dates (no passwords) is kept as one more secret; it serves listItems()
// and Internet queries for any protocol.
//
// QtKeychain answers asynchronously; every request runs on one helper thread
// of the process and the calling thread waits for its answer. A read waits at
// most the store's timeout (one that takes longer answers NotAvailable); a
// write or delete waits for the service's own answer, so it is never
// reported failed when it took effect late.
class ZPHSecretServicePasswordStore : public ZPHPasswordStore {
public:
  explicit ZPHSecretServicePasswordStore(int timeoutMs = 10000);

  // Asks the secret service for an item that does not exist; answers whether
  // it answered within `timeoutMs`. Else `whyNot` gets the reason.
  bool probe(int timeoutMs, QString* whyNot = nullptr);

  int findPassword(const ZPHPasswordItem& query, ZPHPasswordItem* found) override;
  int listItems(const ZPHPasswordItem& query, QList<ZPHPasswordItem>* items) override;
  int addItem(const ZPHPasswordItem& item) override;
  int updatePassword(const ZPHPasswordItem& key, const QByteArray& password) override;
  int deleteItem(const ZPHPasswordItem& key) override;

private:
  struct Request;
  struct Answer;
  Answer run(const Request& request, int timeoutMs) const;
  // Reads, writes or deletes the secret of an item's key.
  int readSecret(const ZPHPasswordItem& key, QByteArray* secret) const;
  int writeSecret(const ZPHPasswordItem& key, const QByteArray& secret) const;
  int deleteSecret(const ZPHPasswordItem& key) const;
  // The index; a missing or damaged index reads as empty.
  int readIndex(QList<ZPHPasswordItem>* items) const;
  int writeIndex(const QList<ZPHPasswordItem>& items) const;
  // Records the item in the index (replacing one with the same key).
  void recordInIndex(const ZPHPasswordItem& item, bool isNew) const;

  int m_timeoutMs;
  QMutex m_mutex;
};
