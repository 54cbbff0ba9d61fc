#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

class ZPHUserDefaults;

// One article theme: a folder holding the page template "template.html", the
// main style sheet "stylesheet.css", the theme script "theme.js" and
// "Info.json", whose key "ZPHSubthemeStylesheetsKey" lists the file names of
// the sub-theme style sheets in index order (0 light, 1 dark). Pages load the
// style sheets through the "cbstylesheet" scheme, so the folder must be one
// the scheme serves (ZPHStyleSheetController::styleSheetFolders()).
//
// Main thread.
class ZPHArticleTheme {
public:
  // "ZPHSubthemeStylesheetsKey".
  static const QString SubthemeStylesheetsKey;

  // Reads the sub-theme list; the active sub-theme is read from `defaults`
  // (the standard user defaults when null), which must outlive the theme.
  explicit ZPHArticleTheme(const QString& folderPath, ZPHUserDefaults* defaults = nullptr);

  QString folderPath() const { return m_folderPath; }
  // The folder's last path component without its extension.
  QString nameForDisplay() const { return m_nameForDisplay; }
  QString cssFilePath() const { return m_cssFilePath; }
  QStringList subthemeStylesheetFilenames() const { return m_subthemeStylesheetFilenames; }

  // The template, read (UTF-8, else the encoding its byte-order mark names)
  // on the first request that finds a non-empty one and kept from then on;
  // null while the file is missing, unreadable or empty.
  QString htmlTemplate();
  // The theme script "theme.js", read the same way.
  QString themeScript();

  int subthemeCount() const { return int(m_subthemeStylesheetFilenames.size()); }
  // Folder + the file name at the index; null outside the list.
  QString CSSFilePathForSubthemeIndex(int index) const;
  // The file name without extension at the sub-theme index stored under
  // ZPHSubthemeStyleIndexKey (0 light, 1 dark; 0 when none is stored); ""
  // when the index lies outside the list: no sub-theme.
  QString activeSubthemeName() const;

  // "Info.json" read anew: the key's array when every element is a string
  // naming a plain file (no folder part, not "." or ".."); nothing when the
  // file or key is missing or any element is not such a string.
  std::optional<QStringList> arrayOfStringsForKey(const QString& key) const;

  // The style-sheet scheme's address of a file: its file URL with "file://"
  // replaced by "cbstylesheet://".
  static QString stylesheetURLStringForPath(const QString& path);
  // The address of the last sub-theme whose file name without extension is
  // `name`; null when none is.
  QString stylesheetURLStringForSubtheme(const QString& name) const;
  // That of the active sub-theme; null without one.
  QString activeSubthemeStylesheetURLString() const;

private:
  QString readOnce(const QString& fileName, QString* stored) const;

  QString m_folderPath;
  QString m_nameForDisplay;
  QString m_cssFilePath;
  QStringList m_subthemeStylesheetFilenames;
  QString m_htmlTemplate;
  QString m_themeScript;
  ZPHUserDefaults* m_defaults;
};
