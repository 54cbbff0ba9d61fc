#pragma once

// The name of a SQLite file layer of our own, over the default one, for the
// store's connections. It changes one thing: the frames a transaction
// appends to the write-ahead log are gathered and handed to the kernel in a
// few large writes, rather than in two system calls per page.
//
// What is gathered is written before anything could read it or rely on it:
// - with the last frame of a commit, before that frame's write returns, so
//   that an error fails the commit as it would without this layer, and a
//   commit is never published in the log's shared index before its frames
//   are in the file;
// - before any read, size query, sync, truncation or close of the log;
// - at the shared index's memory barrier and before any of its locks is let
//   go (so nothing stays gathered once a transaction ended, committed or
//   rolled back).
// Frames written again in place, and single-frame commits, are not
// gathered. A process killed while frames are gathered loses only a
// transaction that had not committed.
//
// It also counts, when asked, the bytes a connection reads of the store file
// and its log (see ZPHSQLiteLogVFSCountReads), measures how long its writes
// take (see ZPHSQLiteLogVFSMillisecondsPerPageWritten()), and hands every
// write to a hook that tests set (see ZPHSQLiteLogVFSSetWriteHook()).
//
// Registered with SQLite on the first call; safe to call from any thread.
const char* ZPHSQLiteLogVFSName();

// The system's error number (errno) of the last write through this layer
// that failed on the calling thread (ENOSPC for a disk SQLite found full),
// then 0 until the next one fails: SQLite itself keeps only that it failed.
int ZPHSQLiteLogVFSTakeFailedWriteErrno();

// A file control of this layer: sqlite3_file_control(db, "main",
// ZPHSQLiteLogVFSCountReads, counter) has every byte the connection reads
// from then on, of the store file and of its log, added to `counter` (a
// std::atomic<long long>*; nullptr stops the counting). The counter must
// outlive the counting: until the connection closes or counts elsewhere.
constexpr int ZPHSQLiteLogVFSCountReads = 0x5a504801;

// How long a write of a page (8 KiB; a smaller write counts as one) to a
// store file or its log lately took, in milliseconds: an average over the
// last writes of every file of this layer, whichever thread wrote. 0 before
// the first write. A long writer sizes what it writes at once by it (see
// ZPHManagedObjectContext::save()).
double ZPHSQLiteLogVFSMillisecondsPerPageWritten();

// For tests: called on the writing thread before every write this layer
// hands down to a store file or its log, with the bytes about to be
// written; it may sleep (a slow disk) or wait for the test. nullptr for
// none (the default). The hook must outlive every write that may call it:
// until the stores that wrote through it are closed.
class ZPHSQLiteLogVFSWriteHook {
public:
  virtual ~ZPHSQLiteLogVFSWriteHook() = default;
  virtual void willWrite(long long bytes) = 0;
};
void ZPHSQLiteLogVFSSetWriteHook(ZPHSQLiteLogVFSWriteHook* hook);
