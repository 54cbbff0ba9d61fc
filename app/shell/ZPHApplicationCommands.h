#pragma once

// Qt kind: QObject.

#include "preferences/ZPHPreferenceWindowController.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariantMap>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

#include <memory>
#include <utility>

class QAction;
class ZPHAppDelegate;
class ZPHWelcomeWindowController;

// The user default that stops the offer to become the default feed reader.
extern const QString ZPHSuppressDefaultAggregatorPromptKey;  // "suppressDefaultAggregatorPrompt"
// The user default that is true after the mailing-list reminder was shown.
// (ZPHHasAskedToSignUpToNewsletterKey of the application delegate.)

// The application delegate's own commands, by selector, and the windows
// and sheets they open: the preferences and About windows, feedback mail,
// the welcome window (first run, the previous version's import, the
// mailing-list reminder), going to the smart feeds, the source list's
// filter, sorting and visibility, the article list's layout and filter,
// full screen, closing all tabs (after a warning) and exporting them, the
// tab thumbnails, the search field, quitting, and the offer to become the
// desktop's default feed reader. Each command is a QAction child of the
// delegate named by its selector; validate() enables and titles them.
//
// Made by the delegate, which owns it. Main thread.
class ZPHApplicationCommands : public QObject {
  Q_OBJECT

public:
  static const QStringList Selectors;

  explicit ZPHApplicationCommands(ZPHAppDelegate* delegate);
  ~ZPHApplicationCommands() override;

  // Makes the commands, children of the delegate.
  void makeCommands();
  // Enables, titles and checks one of the delegate's commands; false for a
  // selector it does not know (then the action is left as it is).
  bool validate(QAction* item, bool* enabled);

  // ---- Commands
  void openPreferencesWindow();
  void showAboutWindow();
  void sendFeedback();
  // The welcome window's import; a beep when there is nothing to import.
  void importFeedsFromZPH3();
  void toggleHideReadSites();
  void toggleHideReadArticles();
  // Shows the window, selects the source list's row (1 All Unread, 2 Today,
  // 3 Bookmarks, 4 Favorites) and the news-items tab, focuses the list.
  void gotoRow(int row);
  void showReaderWindow();
  // 0 by name, 1 manual, 2 by publish date, 3 by unread count.
  void sortBy(qint64 order);
  void toggleSortInFolders();
  void toggleFullScreen();
  void hideSourceList();
  bool isSourceListHidden() const;
  void setLayoutMode(int mode);
  void selectFind();
  void closeAllTabs();
  void exportTabs();
  void toggleShowThumbnailsInTabs();

  // ---- The tabs (through the delegate's seams)
  int numberOfTabs() const;
  // "tabsViewState": 1 thumbnails shown, anything else 0.
  static int tabsViewState();
  bool shouldDisplayCloseAllTabsWarning() const;
  void setShouldDisplayCloseAllTabsWarning(bool display);
  // The warning's message and default button for `tabs` tabs, the
  // news-items tab included.
  static std::pair<QString, QString> closeAllTabsTexts(int tabs);
  // "Zephlin Tabs 2024-12-30 at 4.05.09 PM.opml" (0 html, 1 txt, 2 opml).
  static QString tabsExportFileName(const QDateTime& when, int format);
  static QString extensionForTabsExportFormat(int format);
  QMessageBox* closeAllTabsSheet() const { return m_closeAllTabsSheet; }
  QFileDialog* tabsExportPanel() const { return m_tabsExportPanel; }
  // Writes the tabs in the format to the path (atomically, UTF-8); an alert
  // when it fails. False then.
  bool writeTabsExport(const QString& path, int format);

  // ---- Windows
  ZPHPreferenceWindowController* preferenceWindowController() const { return m_preferenceWindowController; }
  ZPHWelcomeWindowController* welcomeWindowController() const { return m_welcomeWindowController.get(); }
  // 0 first run, 1 the previous version's import, 2 the mailing-list
  // reminder; an open window switches to the type.
  void showWelcomeWindow(unsigned type);
  // The mailing-list reminder once, from the tenth launch, when the user
  // declined before.
  void pesterAboutNewsLetterIfAppropriate();

  // ---- The default feed reader
  // Asks the desktop; when Zephlin's desktop entry is installed and is not
  // the default for feed: addresses, runs the sheet.
  void offerToBecomeDefaultFeedReader();
  // Nothing while a sheet runs or when suppressed; else the sheet, which on
  // "Set as Default" makes Zephlin the default.
  void runDefaultAggregatorSheet();
  QMessageBox* defaultAggregatorSheet() const { return m_defaultAggregatorSheet; }

Q_SIGNALS:
  // The offer's question got its answer from the desktop (for tests).
  void defaultFeedReaderChecked(bool offered);

private:
  QAction* command(const char* selector, const QString& title, void (ZPHApplicationCommands::*run)());

  ZPHAppDelegate* m_delegate;
  QPointer<ZPHPreferenceWindowController> m_preferenceWindowController;
  std::unique_ptr<ZPHWelcomeWindowController> m_welcomeWindowController;
  QPointer<QMessageBox> m_closeAllTabsSheet;
  QPointer<QMessageBox> m_defaultAggregatorSheet;
  QPointer<QFileDialog> m_tabsExportPanel;
};
