#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>

class CBDataAccount;
class CBFolder;
class CBTreeNode;
class QComboBox;

// Where new feeds or folders go: a folder, or the top level of an account.
struct ZPHFolderTarget {
  CBDataAccount* account = nullptr;
  CBFolder* folder = nullptr;  // null: the account's top level

  bool isValid() const { return account != nullptr || folder != nullptr; }
  bool operator==(const ZPHFolderTarget& other) const = default;
};
Q_DECLARE_METATYPE(ZPHFolderTarget)

// One item of the menu of folders that can take feeds.
struct ZPHFolderMenuItem {
  bool isSeparator = false;
  QString title;
  int indentationLevel = 0;  // the account 0, its folders 1, 2, ...
  ZPHFolderTarget target;

  bool operator==(const ZPHFolderMenuItem& other) const = default;
};

// The menu "Folders" of every folder that can take feeds, over the shared
// source-list tree: each account kept on this computer (its display name, at
// level 0), then its folders in tree order, depth first, one level deeper
// per depth; feeds are not listed, other accounts are skipped with their
// contents, a node without a represented object adds nothing (its children
// still do), and a separator follows each account that is not the root's
// last child. Main thread.
QList<ZPHFolderMenuItem> ZPHGenerateMenuOfAllModifiableFolders(const CBTreeNode* root);
QList<ZPHFolderMenuItem> ZPHGenerateMenuOfAllModifiableFolders();

// Where the source list's selection says new things go, depth first in
// child order: a selected folder itself, the folder or account that holds a
// selected feed; accounts not on this computer are skipped with their
// contents. Null when nothing fits.
const CBTreeNode* ZPHSelectedTreeNodeInTree(const CBTreeNode* root);
// The selection's target in the shared tree; invalid when none.
ZPHFolderTarget ZPHTargetOfSelectedTreeNode();
// The target a tree node stands for (a folder, or an account's group).
ZPHFolderTarget ZPHFolderTargetForTreeNode(const CBTreeNode* node);

// Fills a pop-up with the menu (the targets as item data, the desktop's
// folder icon on folders, titles indented by level).
void ZPHFillFolderPopUp(QComboBox* popUp, const QList<ZPHFolderMenuItem>& items);
// The pop-up's item for the target; -1 when it has none.
int ZPHIndexOfFolderTarget(const QComboBox* popUp, const ZPHFolderTarget& target);
ZPHFolderTarget ZPHFolderTargetAtIndex(const QComboBox* popUp, int index);
