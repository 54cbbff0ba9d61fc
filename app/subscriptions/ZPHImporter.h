#pragma once

// Qt kind: none (a plain class: the abstract base of the importers).

#include "platform/ZPHError.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CBFeed;
class CBFolder;
class ZPHImportOperation;
class ZPHManagedObjectContext;

// User info key of the ZPHFeedsAddedNotification an import posts: the
// imported feeds (QVariantList of ZPHManagedObject*).
extern const QString ZPHFeedsKey;  // "feeds"

// The base of every importer that adds feeds and folders to the local
// account (a subscription list, the previous version's data).
//
// An import is one operation of the store queue, and that operation stays
// unfinished until the import's completion has run on the main thread: no
// other store work runs in between, and no thread waits for it. The work
// runs on the private queue of a temporary context of its own; its results
// come back to the main thread as the guids of the feeds, which the main
// context fetches again.
//
// The work must end with one of the finishing calls before it returns. When
// it returns without one, throws, or never runs (the store queue was
// cancelled), the import ends with genericImportError() and a log line, so
// the queue is always freed and the completion always called exactly once.
//
// Main thread, but for the calls marked "import queue".
class ZPHImporter : public std::enable_shared_from_this<ZPHImporter> {
public:
  // Imported feeds and duplicates (feeds already subscribed) of the main
  // context, both empty on failure; a null error on success.
  using CompletionHandler =
      std::function<void(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, const ZPHError& error)>;
  // 0 to 100, rising; when any was reported, the last call is 100.
  using ProgressHandler = std::function<void(double progress)>;

  ZPHImporter();
  virtual ~ZPHImporter();
  ZPHImporter(const ZPHImporter&) = delete;
  ZPHImporter& operator=(const ZPHImporter&) = delete;

  // Whether this importer has anything to import now (the base: no).
  virtual bool importIsCurrentlyPossible() const { return false; }

  // Starts the import (once per importer). Both handlers may be empty. When
  // there is no store, or the application is quitting, it ends at once, on
  // a later turn of the event loop, with the generic error.
  void importWithCompletionHandler(CompletionHandler completionHandler, ProgressHandler progressHandler = {});
  // Started and not yet completed.
  bool isImporting() const { return m_started && !m_completed; }
  // The last progress reported; nullopt while none was.
  std::optional<double> progressValue() const;

  // NSCocoaErrorDomain, code 0, no user info.
  static ZPHError genericImportError();

  // The form in which imports compare feed addresses: trimmed (and the part
  // between "<" and ">" of "Name <address>"), a feed:
  // address turned into its web address, without a login, standardized and
  // fully encoded (scheme and host in lower case). Empty for an empty or
  // unreadable address.
  static QString webFormOfAddress(const QString& address);

  // What an importer does once more with one of its feeds after the feed's
  // first refresh saved its articles (see ZPHImportPostProcessor); on the
  // store queue, in `context`, which the caller saves.
  using PostProcessor = std::function<void(CBFeed* feed, ZPHManagedObjectContext* context)>;

protected:
  // The import's work (import queue).
  virtual void runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext* context) = 0;

  // Import queue. Values outside 0-100 are clamped, a value below the last
  // one is raised to it; the main thread hears the newest value (reports
  // that arrive faster than it runs are merged).
  void reportProgressOnImportQueueWithProgressValue(double value);
  // Import queue: the end of the import (feeds of the import's context).
  // Only the first call counts; later ones are logged.
  void finishImportSuccessfullyOnImportQueueWithImportedFeeds(const QList<CBFeed*>& imported,
                                                              const QList<CBFeed*>& duplicates);
  // A null error becomes genericImportError().
  void finishImportOnImportQueueWithError(const ZPHError& error, const QList<CBFeed*>& imported,
                                          const QList<CBFeed*>& duplicates);
  // Import queue, just before the end goes to the main thread.
  virtual void importWillFinishOnImportQueue(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates,
                                             const ZPHError& error);

  // Main thread, first thing of the completion: subclasses drop their
  // working state here.
  virtual void finishImportCommonOnMainThread() {}
  // Main thread: ends the import with the error (null: the generic one) and
  // no feeds.
  void finishImportOnMainThreadWithError(const ZPHError& error);

  // Import queue: the import's context, to hand to work that runs in it.
  std::shared_ptr<ZPHManagedObjectContext> importContext() const { return m_context; }
  // Import queue: the child index of the next item put into `folder` (null:
  // the top level), after what is there already; counts up.
  int proposedChildIndexForNextItemInFolderAndIncrement(CBFolder* folder, ZPHManagedObjectContext* context);

private:
  friend class ZPHImportOperation;
  struct Run;
  // The main thread's part of the end, done in slices.
  struct Completion {
    QStringList importedGUIDs;
    QStringList duplicateGUIDs;
    ZPHError error;
    qsizetype nextImported = 0;
    qsizetype nextDuplicate = 0;
    QList<CBFeed*> imported;
    QList<CBFeed*> duplicates;
    bool inFileOrder = false;
    qsizetype nextPlaced = 0;  // in the account's tree
  };
  // Feeds fetched again, or placed in the account's tree, on the main
  // thread in one turn of its event loop.
  static constexpr qsizetype CompletionSliceSize = 1000;

  void runImportOnMainThreadQueue(const std::shared_ptr<ZPHImportOperation>& operation);
  void finishOnImportQueue(const ZPHError& error, const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates);
  void completeImportOnMainThread(const QStringList& importedGUIDs, const QStringList& duplicateGUIDs,
                                  const ZPHError& error);
  void continueCompletion(const std::shared_ptr<Completion>& completion);
  void finishCompletion(const std::shared_ptr<Completion>& completion);
  static QStringList guidsOfFeeds(const QList<CBFeed*>& feeds);

  CompletionHandler m_completionHandler;
  ProgressHandler m_progressHandler;
  bool m_started = false;
  bool m_completed = false;
  std::atomic<bool> m_finishRequested{false};
  std::atomic<double> m_progressValue{-1.0};  // below 0: none reported
  std::atomic<bool> m_progressPostPending{false};
  double m_progressHandedOut = -1.0;  // main thread: the last value the handler had
  std::shared_ptr<ZPHImportOperation> m_operation;
  std::shared_ptr<ZPHManagedObjectContext> m_context;
  QHash<CBFolder*, int> m_nextChildIndex;
  std::optional<int> m_nextTopLevelIndex;
};
