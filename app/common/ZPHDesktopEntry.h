#pragma once

// Qt kind: none (a value type).

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtGui/QIcon>

#include <optional>

// An application as the desktop lists it: a desktop entry (".desktop" file)
// in the "applications" folder of one of the XDG data folders
// ($XDG_DATA_HOME, then each of $XDG_DATA_DIRS). An entry is known by its
// desktop-file ID, its path below "applications" with "/" as "-"
// ("org.example.Browser.desktop"); the first folder that holds an ID wins,
// so the user's own entry replaces the system's.
//
// Entries are read as plain text, bounded in size, and never run through a
// shell: launching splits the Exec line by the Desktop Entry quoting rules
// and hands the address to the program as one argument.
struct ZPHDesktopEntry {
  QString desktopFileID;
  QString path;
  QString name;  // Name, in the user's language when the entry has it (Name[xx])
  QString exec;  // Exec, as written
  QString tryExec;
  QString icon;
  QStringList mimeTypes;
  QStringList categories;
  bool hidden = false;
  bool noDisplay = false;
  bool isApplication = false;  // Type=Application

  bool isNull() const { return desktopFileID.isEmpty(); }

  // Reads one entry file; nullopt when it is not readable, too large or has
  // no [Desktop Entry] group. The name is the one for `locale` (as in
  // LC_MESSAGES: lang_COUNTRY.ENCODING@MODIFIER): Name[lang_COUNTRY@MODIFIER],
  // Name[lang_COUNTRY], Name[lang@MODIFIER], Name[lang], then Name.
  static std::optional<ZPHDesktopEntry> fromFile(const QString& path, const QString& desktopFileID,
                                                 const QString& locale = messagesLocale());
  // The locale of messages: LC_ALL, else LC_MESSAGES, else LANG.
  static QString messagesLocale();
  // The suffixes of localized keys for the locale, best first; none for
  // "C", "POSIX" or an empty one.
  static QStringList localeSuffixes(const QString& locale);
  // The entry of that ID in the first folder that has it; a null entry when
  // there is none or the ID is not a plain desktop-file ID.
  static ZPHDesktopEntry entryWithID(const QString& desktopFileID);
  // Every entry of every folder, each ID once (the first folder's).
  static QList<ZPHDesktopEntry> allEntries();
  // The "applications" folders, in the order they are searched.
  static QStringList applicationFolders();

  // Whether the entry is one to offer: an application, not Hidden, not
  // NoDisplay, its program exists (programPath()) and its TryExec (when it
  // has one) is an executable file.
  bool isUsable() const;
  // Whether it handles web addresses: "x-scheme-handler/http" among its
  // MIME types, "WebBrowser" among its categories, and an Exec line that
  // takes addresses.
  bool isWebBrowser() const;
  // Whether its Exec line can be given an address (commandLineForURL()).
  bool takesURLs() const;
  // The program its Exec line starts: an absolute path that is an
  // executable file, or the name found on PATH; empty when neither.
  QString programPath() const;

  // The Exec line split into arguments: the Desktop Entry escapes (\s, \n,
  // \t, \r, \\) undone, then words split at blanks outside double quotes,
  // and inside them "\"", "\`", "\$" and "\\" taken as the character.
  // nullopt when a quote is left open.
  static std::optional<QStringList> splitExecLine(const QString& exec);
  // The program and its arguments to open `url` with: the field codes %u
  // and %U become the address, as one argument; %c the name, %k the entry's
  // path, %% a "%"; the other codes (%f, %F, %i, ...) are dropped. The
  // address is never more than one argument, nor part of a shell's words:
  // nullopt when a field code other than %% stands inside quotes (the
  // Desktop Entry rules do not allow it; `sh -c "browser %u"` would hand the
  // address to the shell as commands), when %U is not a word of its own, or
  // %u is part of a longer word after a shell (sh, bash, ...). nullopt too
  // when the line does not split, takes no address or names no program.
  std::optional<QStringList> commandLineForURL(const QUrl& url) const;
  // Starts the program with the address, detached; never through a shell.
  bool launchWithURL(const QUrl& url) const;
  // The entry's icon: a file, else the icon theme's; null when neither.
  QIcon iconImage() const;

  // The order in which application names are listed: as the locale sorts
  // them, ignoring case, with runs of digits by their value ("Browser 9"
  // before "Browser 10"). Negative, zero or positive.
  static int compareNames(const QString& a, const QString& b);

private:
  // A word of the Exec line, and whether a field code other than %% stood
  // inside its quotes.
  struct ExecWord {
    QString text;
    bool fieldCodeInQuotes = false;
  };
  static std::optional<QList<ExecWord>> splitExecWords(const QString& exec);
  // Whether the program (a path or a name) is a shell.
  static bool isShell(const QString& program);
};
