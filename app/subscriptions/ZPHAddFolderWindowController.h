#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "subscriptions/ZPHModelAdditions.h"
#include "subscriptions/ZPHSelectableToolbar.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>
#include <memory>

class CBFolder;
class QComboBox;
class QDialog;
class QPushButton;
class ZPHAddSiteOrFolderTextView;
class ZPHBottomBorderView;
class ZPHInnerGlowClipView;

// The user info key of the folder-added notification: the name.
extern const QString CBNameKey;  // "name"

// The New Folder sheet: the name of a new folder and where it goes (the top
// of the account or one of its folders; it opens on the folder the source
// list's selection is in). Add makes the folder as a main-thread block of
// the store queue, then the sheet closes; when a folder was made the
// folder-added notification is posted and the folder is handed on to be
// selected. The name is used as typed (not trimmed); Add is enabled once it
// has a character, Return adds (or beeps), Escape and Cancel close.
//
// Main thread.
class ZPHAddFolderWindowController : public QObject, public ZPHSelectableToolbarDataSource {
  Q_OBJECT
public:
  explicit ZPHAddFolderWindowController(QObject* parent = nullptr);
  ~ZPHAddFolderWindowController() override;

  // The sheet (made on first use); run it window-modal.
  QDialog* window();

  QString folderName() const;
  void setFolderName(const QString& name);
  bool canAddFolder() const;

  // The folders' menu and the selected target.
  QComboBox* folderPopupButton() const { return m_folderPopupButton; }
  ZPHAddSiteOrFolderTextView* folderNameTextView() const { return m_folderNameTextView; }
  QPushButton* addButton() const { return m_addButton; }
  ZPHSelectableToolbar* toolbar() const { return m_toolbar; }
  void populateFolderMenu();

  // Called with the folder made, after the notification.
  void setFolderAddedHandler(std::function<void(CBFolder* folder)> handler)
  {
    m_folderAddedHandler = std::move(handler);
  }

  void cancel();
  void createFolder();

  // ZPHSelectableToolbarDataSource
  int numberOfItemsInToolbar(ZPHSelectableToolbar*) override { return 1; }
  QString titleForItemInToolbar(ZPHSelectableToolbar*, int) override;
  QImage templateImageForItemInToolbar(ZPHSelectableToolbar*, int) override;

Q_SIGNALS:
  void canAddFolderChanged(bool canAdd);

private:
  void windowDidLoad();
  void themeChanged();
  void updateFolderPopUpButtonTootlip();

  QPointer<QDialog> m_window;
  ZPHSelectableToolbar* m_toolbar = nullptr;
  ZPHBottomBorderView* m_bottomBorderView = nullptr;
  ZPHInnerGlowClipView* m_nameBackdrop = nullptr;
  ZPHAddSiteOrFolderTextView* m_folderNameTextView = nullptr;
  QComboBox* m_folderPopupButton = nullptr;
  QPushButton* m_addButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  bool m_canAddFolder = false;
  std::function<void(CBFolder*)> m_folderAddedHandler;
  ZPHObserverToken m_themeObserver;
};
