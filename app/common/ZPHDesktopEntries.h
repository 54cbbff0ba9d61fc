#pragma once

// Qt kind: none (static functions).

#include "common/ZPHDesktopEntry.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

class QObject;

// The desktop's applications as their desktop entries say, and the default
// application of a kind of address as xdg-mime answers and sets it. Entries
// are read from the folders of QStandardPaths::ApplicationsLocation (the
// user's data folder first, then XDG_DATA_DIRS), each id once, the first
// folder's winning; a hidden entry counts as missing. Entries are small
// files: a larger one (over 64 KiB) is not read.
//
// Main thread for the calls that take a context; the others anywhere.
class ZPHDesktopEntries {
public:
  // The program's own desktop entry id: "<application id>.desktop".
  static QString ownDesktopFileID();

  // The entry of that id; a null entry when there is none, it is hidden or
  // the id is not a plain desktop file name.
  static ZPHDesktopEntry entryWithID(const QString& desktopFileID);
  // The entry in the file (its id given); null when unreadable or hidden.
  static ZPHDesktopEntry entryAtPath(const QString& path, const QString& desktopFileID);

  // The entries whose MimeType lists `mimeType`, in data-folder order, then
  // by file name within a folder; entries without a name or without a
  // program that can be found are left out.
  static QList<ZPHDesktopEntry> entriesHandling(const QString& mimeType);

  // Asks xdg-mime, without waiting, for the id of the default application
  // of `mimeType` ("x-scheme-handler/feed"); `done` runs later on
  // `context`'s thread with the id, or an empty string when there is none,
  // xdg-mime is missing, fails or does not answer within 5 seconds. Nothing
  // runs when `context` goes first.
  static void queryDefaultApplication(const QString& mimeType, QObject* context, std::function<void(QString)> done);
  // Makes the application of that id the default of `mimeType` through
  // xdg-mime, without waiting; `done` (may be empty) gets whether it worked.
  // An id that is not a plain desktop file name is refused at once.
  static void setDefaultApplication(const QString& desktopFileID, const QString& mimeType, QObject* context,
                                    std::function<void(bool)> done);

  // Writes the program's own desktop entry for the user, at
  // <XDG_DATA_HOME>/applications/<own id>, starting `program` (this
  // program where it is, say the build folder) with the addresses it is
  // handed; the desktop's default-application settings then know Zephlin.
  // An entry already there is replaced. False, with the reason, when the
  // file cannot be written.
  static bool installOwnEntryForUser(const QString& program, QString* error = nullptr);
  // The program as the first word of an Exec line: quoted by the Desktop
  // Entry rules where it needs to be, and escaped as a desktop file's
  // string value.
  static QString execLineProgram(const QString& program);

  // The program of an Exec line: its first word, quotes removed.
  static QString programOfExecLine(const QString& exec);
  // Whether the string is a desktop file id we may hand to xdg-mime.
  static bool isValidDesktopFileID(const QString& desktopFileID);
  static bool isValidMimeType(const QString& mimeType);
};
