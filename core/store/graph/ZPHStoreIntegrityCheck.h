#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QString>

#include <functional>
#include <memory>

// The integrity check of a store file ("PRAGMA integrity_check", its log
// included) off the main thread: on a thread of its own, with a connection
// of its own that leaves the files as they are (the log is not written back
// when it closes). For a store that is not open yet.
//
// How far it has come is told by what it has read: the check reads the
// whole file about twice, in two parts (a walk over every page, the longer
// one, then the rows with their indexes).
class ZPHStoreIntegrityCheck {
public:
  // A null error: the file passed. Runs on the main thread.
  using Completion = std::function<void(const ZPHError& error)>;

  // Starts the check of the store file at `path`. `completion` runs once it
  // has ended, unless this object went away first.
  ZPHStoreIntegrityCheck(const QString& path, Completion completion);
  // Stops the check and waits for its thread.
  ~ZPHStoreIntegrityCheck();
  ZPHStoreIntegrityCheck(const ZPHStoreIntegrityCheck&) = delete;
  ZPHStoreIntegrityCheck& operator=(const ZPHStoreIntegrityCheck&) = delete;

  // 0 to 1 (any thread): an estimate below 1 until the check has ended.
  double progress() const;
  // Stops the check within moments (any thread); it then ends with an
  // error, or without one when it had passed already.
  void cancel();
  bool wasCancelled() const;

  // For tests that look at what happens while a check runs: called on the
  // check's thread before it reads anything (it may wait there; a check it
  // holds cannot be cancelled until it returns). Empty: none.
  static void setWillCheckHook(std::function<void()> hook);

private:
  struct State;
  std::shared_ptr<State> m_state;
};
