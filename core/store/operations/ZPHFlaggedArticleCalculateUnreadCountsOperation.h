#pragma once

#include "platform/ZPHTerminationCancelingOperation.h"

#include <atomic>

// Counts on the store queue the bookmarked articles that are still unread
// and reports the count to its delegate on the main thread.
class ZPHFlaggedArticleCalculateUnreadCountsOperation : public ZPHTerminationCancelingOperation {
public:
  static constexpr qint64 OperationType = 19;

  ZPHFlaggedArticleCalculateUnreadCountsOperation(QObject* delegate, Callback callback);

  quint64 unreadCount() const { return m_unreadCount.load(); }

protected:
  void main() override;

private:
  std::atomic<quint64> m_unreadCount{0};
};
