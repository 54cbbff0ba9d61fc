// Drops on the source list: the address rules as a table, and on the real
// application rows moved inside the list, addresses and files from outside.

#include "app/sourcelist/SourceListFixture.h"
#include "sourcelist/ZPHSourceListDragAndDrop.h"
#include "sourcelist/ZPHSourceListDropRules.h"
#include "sourcelist/ZPHSourceListView.h"
#include "subscribe/ZPHSubscribeRequest.h"

#include <QtCore/QFile>
#include <QtCore/QMimeData>
#include <QtGui/QDragMoveEvent>
#include <QtWidgets/QApplication>

namespace {

using Drop = ZPHSourceListDropRules::ExternalDrop;

std::unique_ptr<QMimeData> text(const QString& string)
{
  auto data = std::make_unique<QMimeData>();
  data->setText(string);
  return data;
}

}  // namespace

TEST(SourceListDrops, WhatAnAddressFromOutsideDoes)
{
  ZPHTestTempDir dir;
  const QString opml = dir.filePath(QStringLiteral("x.opml"));
  QFile file(opml);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<opml version=\"1.0\"><body/></opml>");
  file.close();

  struct Case {
    QString address;
    Drop expected;
  };
  const QList<Case> cases = {
      {QStringLiteral("http://h/f"), Drop::Subscribe},
      {QStringLiteral("  https://example.com/feed.xml \n"), Drop::Subscribe},
      {QUrl::fromLocalFile(opml).toString(), Drop::ImportFile},
      {QStringLiteral("file:///etc/passwd"), Drop::Refuse},  // a file, but no subscription list
      {QStringLiteral("javascript:alert(1)"), Drop::Refuse},
      {QStringLiteral("data:text/html,<b>x</b>"), Drop::Refuse},
      {QStringLiteral("http://h/a feed"), Drop::Refuse},
      {QStringLiteral("ftp://h/f"), Drop::Refuse},
      {QStringLiteral("http:///nohost"), Drop::Refuse},
      {QString(), Drop::Refuse},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHSourceListDropRules::externalDropForAddress(c.address), c.expected) << c.address.toStdString();

  // The data's kinds, in order; feed: addresses become web addresses.
  auto link = std::make_unique<QMimeData>();
  const QString moz = QStringLiteral("feed://example.com/rss\nExample News");
  link->setData(QStringLiteral("text/x-moz-url"),
                QByteArray(reinterpret_cast<const char*>(moz.utf16()), moz.size() * 2));
  link->setText(QStringLiteral("ignored"));
  const auto info = ZPHSourceListDropRules::infoFromMimeData(link.get());
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->address, QStringLiteral("http://example.com/rss"));
  EXPECT_EQ(info->name, QStringLiteral("Example News"));
  auto list = std::make_unique<QMimeData>();
  list->setUrls({QUrl(QStringLiteral("https://a/1")), QUrl(QStringLiteral("https://b/2"))});
  EXPECT_EQ(ZPHSourceListDropRules::infoFromMimeData(list.get())->addresses,
            (QStringList{"https://a/1", "https://b/2"}));
  EXPECT_EQ(ZPHSourceListDropRules::infoFromMimeData(text(QStringLiteral("  ")).get()), std::nullopt);

  // Where a drop goes: the first retargeting, as a table.
  using R = ZPHSourceListDropRules;
  using Item = R::ProposedItem;
  using Node = R::DropTargetNode;
  using Check = R::DropCheck;
  struct Retarget {
    const char* name;
    R::DropProposal proposal;
    R::DropTarget expected;
  };
  const auto proposal = [](Item item, int childIndex, bool local) {
    R::DropProposal p;
    p.item = item;
    p.childIndex = childIndex;
    p.local = local;
    return p;
  };
  const auto onRow = [](bool local, bool parentHasParent, int index) {
    R::DropProposal p;
    p.item = Item::Row;
    p.local = local;
    p.rowHasParent = true;
    p.rowParentHasParent = parentHasParent;
    p.rowIndexInParent = index;
    return p;
  };
  const auto dropped = [](bool subscriptionList) {
    R::DropProposal p;
    p.item = Item::Group;
    p.childIndex = 2;
    p.fileAddress = true;
    p.subscriptionListFile = subscriptionList;
    return p;
  };
  const QList<Retarget> retargets = {
      {"the empty area: the account", proposal(Item::EmptyArea, -1, true), {Node::Account, -1, -1, Check::Local}},
      {"the smart feeds: the account", proposal(Item::SmartFeeds, 1, false), {Node::Account, -1, -1, Check::External}},
      {"a subscription list: the account, copied", dropped(true), {Node::Account, -1, -1, Check::ImportFile}},
      {"another file: nowhere", dropped(false), {}},
      {"into a group: as proposed", proposal(Item::Group, 3, false), {Node::Item, 3, 3, Check::External}},
      {"onto a row, dragged inside: its parent", onRow(true, true, 4), {Node::ItemParent, -1, 4, Check::Local}},
      {"onto a row from outside: its place", onRow(false, true, 4), {Node::ItemParent, 4, 4, Check::External}},
      {"onto a row of a top group: nowhere", onRow(true, false, 0), {}},
      {"onto a favourite, dragged inside: Favorites",
       proposal(Item::Favorite, -1, true),
       {Node::ItemParent, -1, -1, Check::Local}},
      {"onto a favourite from outside: nowhere", proposal(Item::Favorite, -1, false), {}},
  };
  for (const Retarget& r : retargets) EXPECT_TRUE(R::retargetProposal(r.proposal) == r.expected) << r.name;

  // A local drop by the group's order.
  using LocalNode = R::LocalDropNode;
  struct Local {
    const char* name;
    R::LocalDropFacts facts;
    int childIndex;
    int proposedChildIndex;
    R::LocalDrop expected;
  };
  const auto facts = [](bool manual, bool childOfTarget, int sortedIndex, bool hiding) {
    R::LocalDropFacts f;
    f.manualOrder = manual;
    f.oneDraggedIsChildOfTarget = childOfTarget;
    f.sortedIndex = sortedIndex;
    f.hidingFeedsWithoutUnread = hiding;
    return f;
  };
  R::LocalDropFacts favorites;
  favorites.targetIsFavorites = true;
  R::LocalDropFacts alreadyFavorite = favorites;
  alreadyFavorite.oneDraggedIsFavorite = true;
  R::LocalDropFacts specialKept = facts(false, true, 2, false);
  specialKept.targetIsSpecialGroup = true;
  specialKept.sortInGroupsOnly = true;
  const QList<Local> locals = {
      {"Favorites: onto the group", favorites, 3, 3, {LocalNode::Target, -1}},
      {"Favorites, already one: onto its row", alreadyFavorite, 3, 3, {LocalNode::FavoriteOfDragged, -1}},
      {"manual order: as proposed", facts(true, true, 2, false), 4, 4, {LocalNode::Target, 4}},
      {"group kept in the user's order", specialKept, 4, 4, {LocalNode::Target, 4}},
      {"by name among its siblings: onto itself", facts(false, true, 2, false), 4, 4, {LocalNode::Dragged, -1}},
      {"by name elsewhere: its sorted place", facts(false, false, 2, false), 4, 4, {LocalNode::Target, 2}},
      {"by name, read sites hidden: onto the group", facts(false, false, 2, true), 4, 4, {LocalNode::Target, -1}},
      {"by name at its sorted place: as it stands", facts(false, false, 2, false), -1, 2, {LocalNode::Target, -1}},
      {"by name, place unknown: as it stands", facts(false, false, -1, false), 4, 4, {LocalNode::Target, 4}},
  };
  for (const Local& l : locals)
    EXPECT_TRUE(R::retargetLocalDrop(l.facts, l.childIndex, l.proposedChildIndex) == l.expected) << l.name;

  // From outside the gap stays only where the user's order is kept.
  EXPECT_EQ(R::externalDropIndex(3, true, false, false), 3);
  EXPECT_EQ(R::externalDropIndex(3, false, false, false), -1);
  EXPECT_EQ(R::externalDropIndex(3, false, true, true), 3);
  EXPECT_EQ(R::externalDropIndex(3, false, true, false), -1);

  // Manual order: out of its place first, then into the gap.
  EXPECT_EQ(ZPHSourceListDropRules::landingIndex(1, 4), 3);
  EXPECT_EQ(ZPHSourceListDropRules::landingIndex(4, 1), 1);
  EXPECT_EQ(ZPHSourceListDropRules::landingIndex(-1, 2), 2);
}

namespace {

class SourceListDropsTest : public SourceListFixture {
protected:
  std::unique_ptr<QMimeData> drag(const QList<CBTreeNode*>& nodes)
  {
    return std::unique_ptr<QMimeData>(sourceList->dragAndDrop()->dragDataForNodes(nodes));
  }
  CBTreeNode* accountNode() const { return app.delegate->sourceListTreeBuilder()->localAccountNode().get(); }
  CBTreeNode* folderNode(const QString& name) const { return model->nodeForIndex(folderIndex(name)); }
};

}  // namespace

TEST_F(SourceListDropsTest, RowsMovedInsideAndAddressesAndFilesFromOutside)
{
  QList<std::shared_ptr<ZPHSubscribeRequest>> requests;
  QStringList imports;
  app.beforeLaunch = [&](ZPHAppDelegate* delegate) {
    delegate->seams().addFeedsWithSubscribeRequest = [&](std::shared_ptr<ZPHSubscribeRequest> request) {
      requests.append(request);
      return QList<CBFeed*>{};
    };
    delegate->seams().importOPMLFile = [&](const QString& path) { imports.append(path); };
  };
  ASSERT_NO_FATAL_FAILURE(start());
  CBDataAccount* account = app.data()->localAccount();
  CBTreeNode* newsNode = folderNode(QStringLiteral("News"));
  ASSERT_NE(newsNode, nullptr);
  auto* news = static_cast<CBFolder*>(newsNode->representedNode());
  account->addFolderWithName(QStringLiteral("Inner"), news);
  sourceList->refreshDataCacheReloadDataAndPreserveCurrentSelection();
  ZPHTestSpinEventLoop(50);
  newsNode = folderNode(QStringLiteral("News"));
  ASSERT_NE(newsNode, nullptr);
  CBTreeNode* inner = nullptr;
  for (const CBTreeNode::Pointer& child : newsNode->children())
    if (child->representsFolder())
      inner = child.get();
  ASSERT_NE(inner, nullptr);

  struct Case {
    const char* name;
    QList<CBTreeNode*> dragged;
    CBTreeNode* parent;
    int row;
    Qt::DropAction expected;
  };
  CBTreeNode* favorites = node(QStringLiteral("/alpha.xml"), true)->parent();
  const QList<Case> cases = {
      {"a folder into its own subfolder", {newsNode}, inner, -1, Qt::IgnoreAction},
      {"a folder onto itself", {newsNode}, newsNode, -1, Qt::IgnoreAction},
      {"a folder onto Favorites", {newsNode}, favorites, -1, Qt::IgnoreAction},
      {"a feed onto Favorites", {node(QStringLiteral("/beta.xml"))}, favorites, -1, Qt::LinkAction},
      {"a feed into another folder", {node(QStringLiteral("/delta.xml"))}, newsNode, -1, Qt::MoveAction},
      {"a feed onto a feed: into its folder",
       {node(QStringLiteral("/delta.xml"))},
       node(QStringLiteral("/beta.xml")),
       -1,
       Qt::MoveAction},
      {"the empty area: the account", {inner}, nullptr, -1, Qt::MoveAction},
  };
  for (const Case& c : cases) {
    auto data = drag(c.dragged);
    ASSERT_NE(data, nullptr) << c.name;
    EXPECT_EQ(sourceList->dragAndDrop()->validateDrop(data.get(), c.parent, c.row), c.expected) << c.name;
  }
  // Sorted by name, the drop mark goes where the drop will land.
  const auto resolved = [&](QMimeData* data, CBTreeNode* parent, int row) {
    const ZPHSourceListDragAndDrop::ResolvedDrop drop = sourceList->dragAndDrop()->resolveDrop(data, parent, row);
    return std::make_pair(drop.node.get(), drop.childIndex);
  };
  CBTreeNode* betaNode = node(QStringLiteral("/beta.xml"));
  EXPECT_EQ(resolved(drag({betaNode}).get(), newsNode, 0), std::make_pair(betaNode, -1)) << "among its siblings";
  const CBTreeNode::Pointer deltaNode = node(QStringLiteral("/delta.xml"))->shared_from_this();
  const int sorted = int(newsNode->orderedIndexForPotentialChild(deltaNode));
  ASSERT_GT(sorted, 0);
  EXPECT_EQ(resolved(drag({deltaNode.get()}).get(), newsNode, 0), std::make_pair(newsNode, sorted));
  EXPECT_EQ(resolved(drag({node(QStringLiteral("/alpha.xml"))}).get(), favorites, -1),
            std::make_pair(node(QStringLiteral("/alpha.xml"), true), -1))
      << "already a favourite";
  EXPECT_EQ(resolved(text(QStringLiteral("http://h/f")).get(), betaNode, -1), std::make_pair(newsNode, -1));
  EXPECT_EQ(resolved(text(QStringLiteral("http://h/f")).get(),
                     model->nodeForIndex(model->index(0, 0, model->index(0, 0))), -1),
            std::make_pair(accountNode(), -1))
      << "onto a smart feed";

  // Dragged over the News row, the list marks the sorted place in it
  // rather than the row under the pointer.
  ZPHSourceListView* view = sourceList->sourceListOutlineView();
  const QModelIndex newsIndex = folderIndex(QStringLiteral("News"));
  const QPoint over = view->visualRect(newsIndex).center();
  auto deltaData = drag({deltaNode.get()});
  QDragEnterEvent enter(over, Qt::MoveAction, deltaData.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &enter);
  QDragMoveEvent move(over, Qt::MoveAction, deltaData.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  EXPECT_TRUE(move.isAccepted());
  ASSERT_TRUE(view->dropMark().shown);
  EXPECT_EQ(QModelIndex(view->dropMark().index), newsIndex);
  EXPECT_EQ(view->dropMark().childIndex, sorted);
  EXPECT_EQ(view->dropMarkRect().height(), 2);
  EXPECT_GT(view->dropMarkRect().top(), view->visualRect(newsIndex).bottom()) << "a gap inside the folder";
  QDragLeaveEvent leave;
  QApplication::sendEvent(view->viewport(), &leave);
  EXPECT_FALSE(view->dropMark().shown);

  // Favourites' rows and smart feeds do not drag.
  EXPECT_EQ(drag({node(QStringLiteral("/alpha.xml"), true)}), nullptr);
  EXPECT_EQ(model->mimeData({model->index(1, 0, model->index(0, 0))}), nullptr);

  // Manual order: index 1 dropped into the gap at 4 lands at 3.
  sourceList->sortByManualOrder();
  app.settle();
  CBTreeNode* top = accountNode();
  const CBTreeNode::Pointer moved = top->childAtIndex(1);
  const CBTreeNode::Pointer before = top->childAtIndex(4);
  auto data = drag({moved.get()});
  ASSERT_EQ(sourceList->dragAndDrop()->validateDrop(data.get(), top, 4), Qt::MoveAction);
  ASSERT_TRUE(sourceList->dragAndDrop()->acceptDrop(data.get(), top, 4));
  EXPECT_EQ(sourceList->dragAndDrop()->validateDrop(drag({moved.get()}).get(), top, 4),
            Qt::IgnoreAction);  // one at a time
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !sourceList->dragAndDrop()->waitingForDropToProcess(); }));
  EXPECT_EQ(top->indexOfChild(moved.get()), 3);
  EXPECT_EQ(top->indexOfChild(before.get()), 4);

  // From outside onto a row: its place, kept under manual order.
  EXPECT_EQ(resolved(text(QStringLiteral("http://h/f")).get(), betaNode, -1),
            std::make_pair(newsNode, int(newsNode->indexOfChild(betaNode))));

  // A feed dropped on Favorites becomes a favourite, shown there.
  auto beta = drag({node(QStringLiteral("/beta.xml"))});
  ASSERT_TRUE(sourceList->dragAndDrop()->acceptDrop(beta.get(), favorites, -1));
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return feed(QStringLiteral("/beta.xml"))->favorite() && sourceList->selectedOutlineItems().size() == 1 &&
           sourceList->selectedOutlineItems().first().get() == node(QStringLiteral("/beta.xml"), true);
  }));

  // From outside: an http address is one request into the folder; a
  // subscription list file is imported; javascript: is refused.
  auto address = text(QStringLiteral("http://h/f"));
  EXPECT_EQ(sourceList->dragAndDrop()->validateDrop(address.get(), newsNode, -1), Qt::LinkAction);
  ASSERT_TRUE(sourceList->dragAndDrop()->acceptDrop(address.get(), newsNode, -1));
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests.first()->feedURL(), QUrl(QStringLiteral("http://h/f")));
  EXPECT_EQ(requests.first()->parentFolder(), news);

  const QString opml = dir.filePath(QStringLiteral("x.opml"));
  QFile file(opml);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<opml version=\"1.0\"><body/></opml>");
  file.close();
  auto list = std::make_unique<QMimeData>();
  list->setUrls({QUrl::fromLocalFile(opml)});
  EXPECT_EQ(sourceList->dragAndDrop()->validateDrop(list.get(), nullptr, -1), Qt::CopyAction);
  EXPECT_EQ(resolved(list.get(), newsNode, 1), std::make_pair(accountNode(), -1)) << "a list goes to the account";
  ASSERT_TRUE(sourceList->dragAndDrop()->acceptDrop(list.get(), nullptr, -1));
  EXPECT_EQ(imports, QStringList{opml});
  EXPECT_EQ(requests.size(), 1);  // a file is never a subscription

  auto hostile = text(QStringLiteral("javascript:alert(1)"));
  EXPECT_EQ(sourceList->dragAndDrop()->validateDrop(hostile.get(), newsNode, -1), Qt::IgnoreAction);
  EXPECT_FALSE(sourceList->dragAndDrop()->acceptDrop(hostile.get(), newsNode, -1));
  EXPECT_EQ(requests.size(), 1);
}
