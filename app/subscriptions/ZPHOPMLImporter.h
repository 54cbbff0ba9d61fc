#pragma once

// Qt kind: none (a plain class: an importer).

#include "subscriptions/ZPHImporter.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>

class CBFolder;
class ZPHFolderStub;

// Errors of an OPML import.
extern const QString ZPHOPMLImporterErrorDomain;  // "OPMLImporterErrorDomain"
enum ZPHOPMLImporterErrorCode : qint64 {
  // The file could not be read (ZPHUnderlyingErrorKey: why): missing, a
  // folder, unreadable, or larger than MaximumFileBytes.
  ZPHOPMLImporterErrorCannotRead = 100,
  // The file is empty (ZPHURLErrorKey: its path).
  ZPHOPMLImporterErrorEmptyFile = 101,
  // The file is no well-formed XML (ZPHUnderlyingErrorKey: the parser's
  // error, when it gave one).
  ZPHOPMLImporterErrorNotOPML = 102,
};
extern const QString ZPHURLErrorKey;  // "NSErrorFailingURLKey"

// Imports an OPML subscription list into the local account: the file's
// folders become folders (a folder of that name in the same place is
// reused; a folder without a name is "Untitled"; a folder left without
// feeds is not made), its feeds become feeds at the end of their folder, in
// file order. An outline with an xmlUrl is a feed wherever it is, whatever
// its type; a category is ignored.
//
// Addresses are compared in their web form (ZPHImporter::webFormOfAddress):
// a feed the store has already is reported as a duplicate and not added
// again, and an address the file lists twice is placed once, where it comes
// first. Addresses that are not http or https (after feed: is mapped) are
// logged and skipped. Any XML error (a file cut off, too deep, not XML at
// all) imports nothing: code 102.
//
// Progress: 10 once the file is read, then up to 100 as the feeds go in.
class ZPHOPMLImporter : public ZPHImporter {
public:
  // Larger files are not read (code 100).
  static constexpr qint64 MaximumFileBytes = 64 * 1024 * 1024;

  explicit ZPHOPMLImporter(const QString& opmlFilePath);

  QString opmlFilePath() const { return m_opmlFilePath; }
  bool importIsCurrentlyPossible() const override { return true; }

  // Whether the file's name says it is a subscription list (".opml" or
  // ".xml"); the contents are not looked at.
  static bool fileURLIsProbablyOPMLData(const QString& path);

protected:
  void runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext* context) override;

private:
  struct Item;
  void importItems(const QList<Item>& items, CBFolder* parent, ZPHManagedObjectContext* context);
  void advanceProgress();

  QString m_opmlFilePath;
  QList<CBFeed*> m_importedFeeds;
  QList<CBFeed*> m_duplicatedFeeds;
  qsizetype m_feedsToImport = 0;
  qsizetype m_feedsDone = 0;
  double m_reportedProgressValue = 0;
};
