#pragma once

// Qt kind: QObject that owns widgets.

#include "common/ZPHDesktopEntries.h"
#include "preferences/FRNHPreferenceViewController.h"

#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtGui/QIcon>
#include <QtWidgets/QMessageBox>

class QCheckBox;
class QComboBox;

// The General pane of the preferences: the desktop's default feed reader,
// plug-ins in web pages, where links open, the keyboard shortcut set, and
// the settings whose change needs the unread counts recounted (the count in
// the title and the tray; All Unread and Today of favourite sites only).
//
// Feed readers are the desktop entries whose MimeType lists
// "x-scheme-handler/feed" (ZPHDesktopEntries::entriesHandling); the default
// is read and set with xdg-mime, never waited for. Zephlin is always among
// them: where its desktop entry is not installed (it runs from its build
// folder, say), choosing it installs the entry for the user first; what
// fails is said in an alert over the pane, with what to run. Main thread.
class ZPHPreferencesGeneralViewController : public FRNHPreferenceViewController {
  Q_OBJECT

public:
  static const QString FeedMimeType;  // "x-scheme-handler/feed"

  explicit ZPHPreferencesGeneralViewController(QObject* parent = nullptr);
  ~ZPHPreferencesGeneralViewController() override;

  QString title() const override;
  QIcon image() const override;

  // One reader of feed: addresses.
  struct FeedReader {
    QString appName;   // the entry's name
    QIcon appIcon;     // its icon
    QString bundleId;  // its desktop file id
    QString appTitle;  // what the pop-up shows: the name
  };
  // The feed readers the desktop knows, in order; Zephlin comes first when
  // it is not among them (its entry missing, or not listing feed:
  // addresses).
  static QList<FeedReader> allFeedReaders();
  QList<FeedReader> feedReaders() const { return m_feedReaders; }

  // The default feed reader's id as last read ("" when none or not known
  // yet); setting a non-empty id makes that reader the default (an empty
  // one is ignored), Zephlin's entry installed for the user first when it
  // is missing. Both go through xdg-mime without waiting;
  // defaultFeedReaderChanged() tells when the answer came.
  QString defaultFeedReaderBundleId() const { return m_defaultFeedReaderBundleId; }
  void setDefaultFeedReaderBundleId(const QString& bundleId);
  void reloadDefaultFeedReader();

  // The controls (for the window's keys and for tests).
  QComboBox* defaultFeedReaderPopupButton() const { return m_defaultFeedReaderPopupButton; }
  QCheckBox* allowPluginsButton() const { return m_allowPluginsButton; }
  QCheckBox* openLinksInBrowserButton() const { return m_openLinksInBrowserButton; }
  QCheckBox* openLinksInBackgroundButton() const { return m_openLinksInBackgroundButton; }
  QComboBox* keyboardShortcutsPopupButton() const { return m_keyboardShortcutsPopupButton; }
  QCheckBox* badgeUnreadCountButton() const { return m_badgeUnreadCountButton; }
  QCheckBox* allUnreadFavoritesOnlyButton() const { return m_allUnreadFavoritesOnlyButton; }
  QCheckBox* todayFavoritesOnlyButton() const { return m_todayFavoritesOnlyButton; }

  // The controls' actions.
  void pluginsCheckboxClicked(bool checked);
  // Tag 2 ("Zephlin 3") or any other ("Zephlin 4"); stored and applied.
  void setKeyboardShortcutSet(int tag);
  void badgeUnreadCountPreferenceChanged(bool checked);
  void displayAllFeedsPreferenceChanged(bool checked);
  void displayTodayFeedPreferenceChanged(bool checked);

  // The alert of a default that could not be set, while it shows.
  QMessageBox* failureAlert() const { return m_failureAlert; }

Q_SIGNALS:
  void defaultFeedReaderChanged(const QString& bundleId);

protected:
  QWidget* loadView() override;

private:
  void fillFeedReaderPopup();
  void selectDefaultFeedReaderInPopup();
  void updateFromDefaults();
  void showDefaultFeedReaderFailure(const QString& reason);

  QList<FeedReader> m_feedReaders;
  QString m_defaultFeedReaderBundleId;
  bool m_updating = false;
  QComboBox* m_defaultFeedReaderPopupButton = nullptr;
  QCheckBox* m_allowPluginsButton = nullptr;
  QCheckBox* m_openLinksInBrowserButton = nullptr;
  QCheckBox* m_openLinksInBackgroundButton = nullptr;
  QComboBox* m_keyboardShortcutsPopupButton = nullptr;
  QCheckBox* m_badgeUnreadCountButton = nullptr;
  QCheckBox* m_allUnreadFavoritesOnlyButton = nullptr;
  QCheckBox* m_todayFavoritesOnlyButton = nullptr;
  QPointer<QMessageBox> m_failureAlert;
};
