#include "subscriptions/ZPHModelAdditions.h"

#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFolder.h"
#include "store/tree/CBTree.h"
#include "store/tree/CBTreeNode.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QStyle>

namespace {

CBDataAccount* accountOfGroup(const CBTreeNode* node)
{
  return node->representedNode() == nullptr ? dynamic_cast<CBDataAccount*>(node->representedObject()) : nullptr;
}

void addFolders(const CBTreeNode* node, CBDataAccount* account, int level, QList<ZPHFolderMenuItem>* items)
{
  for (const CBTreeNode::Pointer& child : node->children()) {
    CBNode* stored = child->representedNode();
    if (stored != nullptr && !stored->isFolder())
      continue;
    int childLevel = level;
    if (stored != nullptr) {
      auto* folder = static_cast<CBFolder*>(stored);
      items->append({false, folder->nameForDisplay(), level, {account, folder}});
      childLevel = level + 1;
    }
    addFolders(child.get(), account, childLevel, items);
  }
}

const CBTreeNode* selectedIn(const CBTreeNode* node)
{
  for (const CBTreeNode::Pointer& child : node->children()) {
    if (CBDataAccount* account = accountOfGroup(child.get())) {
      if (!CBDataAccount::accountIsOnMyMac(account))
        continue;
      if (const CBTreeNode* found = selectedIn(child.get()))
        return found;
      continue;
    }
    CBNode* stored = child->representedNode();
    if (stored != nullptr && !stored->isFolder()) {
      if (child->selected())
        return node;
      continue;
    }
    if (stored != nullptr && child->selected())
      return child.get();
    if (const CBTreeNode* found = selectedIn(child.get()))
      return found;
  }
  return nullptr;
}

const CBTreeNode* sharedTreeRoot()
{
  ZPHSourceListTreeBuilder* builder = ZPHSourceListTreeBuilder::sharedTreeBuilder();
  return builder != nullptr ? builder->tree().get() : nullptr;
}

}  // namespace

QList<ZPHFolderMenuItem> ZPHGenerateMenuOfAllModifiableFolders(const CBTreeNode* root)
{
  QList<ZPHFolderMenuItem> items;
  if (root == nullptr)
    return items;
  const CBTreeNode::List& children = root->children();
  for (qsizetype i = 0; i < children.size(); ++i) {
    const CBTreeNode* group = children.at(i).get();
    CBDataAccount* account = accountOfGroup(group);
    if (account == nullptr || !CBDataAccount::accountIsOnMyMac(account))
      continue;
    items.append({false, account->nameForDisplay(), 0, {account, nullptr}});
    addFolders(group, account, 1, &items);
    if (i + 1 < children.size())
      items.append({true, QString(), 0, {}});
  }
  while (!items.isEmpty() && items.constLast().isSeparator) items.removeLast();
  return items;
}

QList<ZPHFolderMenuItem> ZPHGenerateMenuOfAllModifiableFolders()
{
  return ZPHGenerateMenuOfAllModifiableFolders(sharedTreeRoot());
}

const CBTreeNode* ZPHSelectedTreeNodeInTree(const CBTreeNode* root)
{
  return root != nullptr ? selectedIn(root) : nullptr;
}

ZPHFolderTarget ZPHFolderTargetForTreeNode(const CBTreeNode* node)
{
  if (node == nullptr)
    return {};
  if (CBNode* stored = node->representedNode(); stored != nullptr && stored->isFolder())
    return {CBDataAccount::localAccount(), static_cast<CBFolder*>(stored)};
  if (CBDataAccount* account = accountOfGroup(node))
    return {account, nullptr};
  return {};
}

ZPHFolderTarget ZPHTargetOfSelectedTreeNode()
{
  return ZPHFolderTargetForTreeNode(ZPHSelectedTreeNodeInTree(sharedTreeRoot()));
}

void ZPHFillFolderPopUp(QComboBox* popUp, const QList<ZPHFolderMenuItem>& items)
{
  popUp->clear();
  const QIcon folderIcon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
  for (const ZPHFolderMenuItem& item : items) {
    if (item.isSeparator) {
      popUp->insertSeparator(popUp->count());
      continue;
    }
    const QString indent(item.indentationLevel * 3, QLatin1Char(' '));
    if (item.target.folder != nullptr)
      popUp->addItem(folderIcon, indent + item.title, QVariant::fromValue(item.target));
    else
      popUp->addItem(indent + item.title, QVariant::fromValue(item.target));
    popUp->setItemData(popUp->count() - 1, item.title, Qt::ToolTipRole);
  }
}

int ZPHIndexOfFolderTarget(const QComboBox* popUp, const ZPHFolderTarget& target)
{
  for (int i = 0; i < popUp->count(); ++i) {
    const QVariant data = popUp->itemData(i);
    if (data.canConvert<ZPHFolderTarget>() && data.value<ZPHFolderTarget>() == target)
      return i;
  }
  return -1;
}

ZPHFolderTarget ZPHFolderTargetAtIndex(const QComboBox* popUp, int index)
{
  const QVariant data = index >= 0 ? popUp->itemData(index) : QVariant();
  return data.canConvert<ZPHFolderTarget>() ? data.value<ZPHFolderTarget>() : ZPHFolderTarget();
}
