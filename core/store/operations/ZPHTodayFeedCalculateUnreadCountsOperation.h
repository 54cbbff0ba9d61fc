#pragma once

#include "platform/ZPHTerminationCancelingOperation.h"

#include <QtCore/QString>

#include <atomic>

// Counts on the store queue the unread articles published today (of the
// favourite feeds when "ZPHTodayFeedSelection" is 0, else of every feed) and
// reports the count to its delegate on the main thread. A cancelled one
// counts nothing and reports nothing.
class ZPHTodayFeedCalculateUnreadCountsOperation : public ZPHTerminationCancelingOperation {
public:
  static constexpr qint64 OperationType = 19;

  ZPHTodayFeedCalculateUnreadCountsOperation(QObject* delegate, Callback callback, const QString& accountID);

  QString accountID() const { return m_accountID; }
  quint64 unreadCount() const { return m_unreadCount.load(); }

protected:
  void main() override;

private:
  const QString m_accountID;
  std::atomic<quint64> m_unreadCount{0};
};
