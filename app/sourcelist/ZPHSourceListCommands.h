#pragma once

// Qt kind: QObject.

#include "kit/CBPopupButton.h"
#include "sourcelist/ZPHSourceListMenuBuilder.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <utility>

class QMenu;
class QMessageBox;
class QWidget;
class CBFeed;
class ZPHSourceListViewController;

// The source list's commands and menus. It weighs what the
// selection holds (menuFacts), validates and runs the commands by their
// selector ("addToFavorites:", "deleteSelectedFeedsAndFolders:", …), builds
// the contextual, gear and add menus, and asks before removing feeds and
// folders. The application's own commands ("addFeed:", "addFolder:") and
// the links it opens go through ZPHAppServices.
//
// Made and owned by its source list's controller, whose selection it acts
// on. Main thread only.
class ZPHSourceListCommands : public QObject, public CBPopupButtonDelegate {
  Q_OBJECT

public:
  explicit ZPHSourceListCommands(ZPHSourceListViewController* sourceList);
  ~ZPHSourceListCommands() override;

  // What the selection holds, for validating commands and building menus.
  ZPHSourceListMenuBuilder::Facts menuFacts() const;
  bool validateCommand(const QString& selector) const;
  bool validateDelete() const { return validateCommand(QStringLiteral("deleteSelectedFeedsAndFolders:")); }
  // Runs a command by its name when it validates; false when it did not.
  bool performCommand(const QString& selector);
  // The menus, built for the selection as it is now; the caller owns them.
  QMenu* menuForSelectedItems(ZPHSourceListMenuBuilder::Kind kind, QWidget* parent);
  QMenu* gearButtonMenu(QWidget* parent);
  QMenu* addButtonMenu(QWidget* parent);
  // Whether the add menu's command (the application's "addFeed:" or
  // "addFolder:") can run now.
  static bool canAdd(const QString& command);
  // The row under the pointer joins the selection first when it is not in
  // it.
  QMenu* contextualMenuForRow(int row, QWidget* parent);
  // The gear button's and the add button's menus.
  QMenu* menuForPopupButton(CBPopupButton* button) override;

  void openHomePageInBrowser();
  void changeFavoriteStatesForSelectionRemovingNotAdding(bool removing);
  void markAllAsReadFromContextMenu();
  void activateFeed();
  void copyFeedURL();
  void validateFeedURL();
  // Starts renaming the single selected feed or folder in its row.
  void renameEntry();
  // The check page of the feed validator for a feed address (its user
  // name and password left out); invalid for an address without a host.
  static QUrl feedValidatorURL(const QUrl& feedURL);

  // Removes the selected feeds and folders: empty folders at once, else
  // after the confirmation box (window-modal; answered while open).
  void deleteSelectedFeedsAndFolders();
  // Removes the feed after the same confirmation box (the article list's
  // "Remove Site" item); nothing for a feed the source list does not show.
  void deleteFeed(CBFeed* feed);
  QMessageBox* deletionConfirmationSheet() const { return m_deletionSheet; }
  // The box's texts for the nodes: message and informative text.
  static std::pair<QString, QString> deletionConfirmationTexts(const CBTreeNode::List& nodes);

private:
  CBTreeNode::List selectedDeletableNodes() const;
  void confirmAndDeleteNodes(const CBTreeNode::List& nodes);
  void actuallyDeleteFeedsAndFoldersInTreeNodes(const CBTreeNode::List& nodes);

  ZPHSourceListViewController* m_sourceList;
  QPointer<QMessageBox> m_deletionSheet;
};
