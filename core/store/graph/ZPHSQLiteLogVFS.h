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
// and its log (see ZPHSQLiteLogVFSCountReads).
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
