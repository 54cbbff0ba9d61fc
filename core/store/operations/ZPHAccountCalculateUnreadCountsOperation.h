#pragma once

#include "platform/ZPHTerminationCancelingOperation.h"

#include <QtCore/QHash>
#include <QtCore/QString>

#include <atomic>

class ZPHManagedObjectContext;

// Recounts the unread articles of every feed and folder of an account on the
// store queue, stores the counts on the nodes and reports the totals to its
// delegate. A recount that a newer one has overtaken (another generation)
// ends without reporting; so does one that is cancelled. After an exception
// it reports nothing and asks the account for a new recount.
class ZPHAccountCalculateUnreadCountsOperation : public ZPHTerminationCancelingOperation {
public:
  static constexpr qint64 OperationType = 19;

  ZPHAccountCalculateUnreadCountsOperation(QObject* delegate, Callback callback, const QString& accountID,
                                           quint64 generation);

  QString accountID() const { return m_accountID; }
  quint64 generation() const { return m_generation; }
  quint64 unreadCount() const { return m_unreadCount.load(); }
  quint64 favoritesUnreadCount() const { return m_favoritesUnreadCount.load(); }

protected:
  void main() override;
  // Feed address -> unread articles (one grouped count).
  virtual QHash<QString, qint64> feedUnreadCounts(ZPHManagedObjectContext* context);

private:
  const QString m_accountID;
  const quint64 m_generation;
  std::atomic<quint64> m_unreadCount{0};
  std::atomic<quint64> m_favoritesUnreadCount{0};
};
