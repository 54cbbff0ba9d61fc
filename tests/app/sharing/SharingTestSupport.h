#pragma once

// What the sharing tests share: XDG data folders of their own with desktop
// entries that run a recording script, a data folder with a
// "SendToApps.json", a file secret store, and the desktop's URL handlers
// replaced by a recorder.

#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>
#include <QtCore/QUrl>

#include <memory>

class ZPHFilePasswordStore;

// Records the addresses the desktop is asked to open, by scheme.
class SharingURLRecorder : public QObject {
  Q_OBJECT

public:
  explicit SharingURLRecorder(const QStringList& schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                                            QStringLiteral("mailto")});
  ~SharingURLRecorder() override;
  QList<QUrl> opened;

public Q_SLOTS:
  void open(const QUrl& url);

private:
  QStringList m_schemes;
};

// The process's sharing environment, made once (before the first plug-ins
// load, which read the desktop entries and the lists once): the XDG folders
// point into it, the test delegate's data folder holds "SendToApps.json",
// and the shared plug-in manager has loaded the program's plug-ins.
class SharingTestEnvironment {
public:
  static SharingTestEnvironment& shared();

  QString root() const { return m_root.path(); }
  QString userApplications() const;    // $XDG_DATA_HOME/applications
  QString systemApplications() const;  // the first of $XDG_DATA_DIRS, /applications
  QString dataFolder() const;
  QString scriptPath() const;
  // The arguments each run of the script got, one list per run; waits up to
  // `timeoutMs` for at least `runs` runs.
  QList<QStringList> recordedRuns(int runs = 1, int timeoutMs = 10000) const;
  void clearRecordedRuns() const;
  // Writes a desktop entry below an applications folder.
  static void writeFile(const QString& path, const QByteArray& contents);
  // A desktop entry running the script with `execArguments` after it.
  QByteArray entry(const QString& name, const QString& execArguments, const QString& extraLines = {}) const;

  ZPHTestApplicationDelegate& delegate() { return *m_delegate; }

private:
  SharingTestEnvironment();
  QTemporaryDir m_root;
  std::unique_ptr<ZPHTestApplicationDelegate> m_delegate;
};

// A file secret store for one test, the default store while it lives.
class ScopedPasswordStore {
public:
  ScopedPasswordStore();
  ~ScopedPasswordStore();

private:
  ZPHTestTempDir m_folder;

public:
  std::shared_ptr<ZPHFilePasswordStore> store;
};

// Keeps every log line while it lives.
class CapturedLog {
public:
  CapturedLog();
  ~CapturedLog();
  QStringList lines() const;
  bool contains(const QString& text) const;
};
