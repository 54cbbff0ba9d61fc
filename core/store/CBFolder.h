#pragma once

#include "store/AbstractManagedFolder.h"

// A folder of feeds and folders.
class CBFolder : public AbstractManagedFolder {
public:
  bool isFolder() const override { return true; }
  bool nameIsEditable() const override { return true; }
  bool canBeDeleted() const override { return true; }
  quint64 countForDisplay() const override { return unreadCount(); }

  // In memory: a mark-all-read of the folder is running.
  bool markingAllAsRead() const { return m_markingAllAsRead; }
  void setMarkingAllAsRead(bool marking) { m_markingAllAsRead = marking; }

private:
  bool m_markingAllAsRead = false;
};
