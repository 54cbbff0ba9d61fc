#pragma once

// Qt kind: none (functions).

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <functional>

class QObject;

// Other applications, as the desktop knows them: by their desktop entries
// (the ".desktop" files in the "applications" folders of the XDG data
// folders) and, for the application that handles a kind of address, by
// asking xdg-mime.

// An application of a desktop entry.
struct CBDesktopApplication {
  QString desktopFileID;    // "org.example.Browser.desktop"
  QString desktopFilePath;  // where the entry is
  QString name;             // its Name: the name to show
  QString programPath;      // the program its Exec line starts, found on PATH; empty when not found

  bool isNull() const { return desktopFileID.isEmpty(); }
};

// The desktop entry of that id in the applications folders, the user's
// first; a null application when there is none or it is hidden.
CBDesktopApplication CBDesktopApplicationWithID(const QString& desktopFileID);

// Asks the desktop, without waiting, which application handles addresses of
// `scheme` ("http", "feed"; a trailing ":" is dropped); `done` runs later on
// `context`'s thread with it, or with a null application when there is
// none, xdg-mime is missing or it does not answer within 5 seconds. Nothing
// runs when `context` goes away first.
void CBDefaultApplicationForScheme(const QString& scheme, QObject* context,
                                   std::function<void(const CBDesktopApplication&)> done);
// The same for "http": the default web browser (its program and the name to
// show).
void CBDefaultBrowser(QObject* context, std::function<void(const CBDesktopApplication&)> done);

// Starts the program at the path with the arguments, without waiting: -43
// when nothing is at the path, 0 when it started, -1 when it could not.
int CBLaunchApplicationAtPath(const QString& path, const QStringList& arguments = {});

// Whether a program of that name is on PATH or a desktop entry
// "<name>.desktop" exists.
bool CBApplicationIsInstalled(const QString& name);

// The address as the web browser gets it: trimmed, with " " as "%20",
// "&amp;" and "&#38;" as "&" and "^" as "%5E"; invalid when it is then not
// an http or https address with a host.
QUrl CBURLForDefaultBrowser(const QUrl& url);
// Hands the address to the desktop's web browser through `open` (the
// desktop's handler, QDesktopServices, when empty); only http and https
// addresses, false for any other. The desktop decides whether the browser
// comes to the front, so `behind` asks for nothing.
bool CBOpenURLInDefaultBrowser(const QUrl& url, bool behind, const std::function<bool(const QUrl&)>& open = {});
bool CBOpenURLInDefaultBrowserInFront(const QUrl& url);
