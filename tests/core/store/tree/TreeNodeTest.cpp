#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/tree/CBTree.h"
#include "store/tree/CBTreeNode.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// A represented object that is not stored.
class Item : public CBTreeNodeRepresentedObject {
public:
  Item(QString name, quint64 count = 0, QDateTime date = {}) : m_name(std::move(name)), m_count(count), m_date(date) {}
  QString nameForDisplay() const override { return m_name; }
  void setNameForDisplay(const QString& name) override { m_name = name; }
  quint64 countForDisplay() const override { return m_count; }
  QDateTime dateForDisplay() const override { return m_date; }
  void invalidate() override { ++invalidations; }
  int invalidations = 0;

private:
  QString m_name;
  quint64 m_count;
  QDateTime m_date;
};

QStringList titles(const CBTreeNode::List& nodes)
{
  QStringList result;
  for (const CBTreeNode::Pointer& node : nodes) result.append(node->title());
  return result;
}

class TreeNodeTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.setInteger(ZPHSubscriptionsSortOrderKey, 1);  // manual order
    defaults.removeObject(QStringLiteral("sortInGroupsOnly"));
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
  }
  void TearDown() override
  {
    ZPHUserDefaults::standardUserDefaults().removeObject(QStringLiteral("sortInGroupsOnly"));
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHSubscriptionsSortOrderKey);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 20000));
  }

  CBTreeNode::Pointer group(const QString& name)
  {
    CBTreeNode::Pointer node = leaf(name);
    node->setIsGroup(true);
    return node;
  }
  CBTreeNode::Pointer leaf(const QString& name, quint64 count = 0, QDateTime date = {})
  {
    items.emplace_back(name, count, date);
    return CBTreeNode::treeNodeWithParent(nullptr, &items.back());
  }
  CBFeed* feed(const QString& name, const QString& url)
  {
    CBFeed* f = CBFeed::insertFeedWithURL(QUrl(url), main);
    f->setGuid(QStringLiteral("guid-") + name);
    f->setFeedSpecifiedName(name);
    return f;
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  std::deque<Item> items;
};

TEST_F(TreeNodeTest, ParentsOwnChildrenAndCompareThemByIdentity)
{
  CBTreeNode::Pointer parent = group(QStringLiteral("P"));
  CBTreeNode::Pointer a = leaf(QStringLiteral("a")), b = leaf(QStringLiteral("b")), c = leaf(QStringLiteral("c"));
  parent->addChild(a);
  parent->addChild(b);
  parent->insertChild(c, 99);  // past the end: appended
  EXPECT_EQ(titles(parent->children()), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(c->parent(), parent.get());
  EXPECT_EQ(parent->indexOfChild(c.get()), 2);
  EXPECT_EQ(parent->childAtIndex(3), nullptr);
  EXPECT_EQ(parent->childAtIndex(-1), nullptr);

  a->addChild(leaf(QStringLiteral("x")));  // not a group
  EXPECT_FALSE(a->hasChildren());

  parent->moveChild(c, -4);  // a negative index is the front
  EXPECT_EQ(titles(parent->children()), (QStringList{"c", "a", "b"}));

  parent->removeChild(a.get());
  EXPECT_EQ(a->parent(), nullptr);
  EXPECT_FALSE(parent->hasChild(a.get()));

  // A child held elsewhere outlives its parent and loses the back pointer.
  std::weak_ptr<CBTreeNode> weakB = b;
  b.reset();
  parent.reset();
  EXPECT_TRUE(weakB.expired());
  EXPECT_EQ(c->parent(), nullptr);
}

TEST_F(TreeNodeTest, AChildNamedByItsParentsOwnListMovesWhole)
{
  // The caller may hand the very pointer the old parent holds: removing it
  // there must not pull the node away from under the move.
  CBTreeNode::Pointer from = group(QStringLiteral("from"));
  CBTreeNode::Pointer to = group(QStringLiteral("to"));
  from->addChild(leaf(QStringLiteral("a")));
  from->addChild(leaf(QStringLiteral("b")));
  to->moveChild(from->children().first());
  EXPECT_EQ(titles(from->children()), (QStringList{"b"}));
  EXPECT_EQ(titles(to->children()), (QStringList{"a"}));
  EXPECT_EQ(to->children().first()->parent(), to.get());

  to->moveChild(from->children().first(), 0);
  EXPECT_TRUE(from->children().isEmpty());
  EXPECT_EQ(titles(to->children()), (QStringList{"b", "a"}));
}

TEST_F(TreeNodeTest, ChildrenAreOrderedBySortKey)
{
  const QDateTime base = QDateTime::currentDateTimeUtc();
  struct Case {
    QString key;
    QStringList expected;
  } cases[] = {
      {QStringLiteral("nameForDisplay"), {"The Apple", "banana", "Cherry"}},
      {QStringLiteral("countForDisplay"), {"banana", "The Apple", "Cherry"}},
      {QStringLiteral("dateForDisplay"), {"Cherry", "banana", "The Apple"}},
      {QString(), {"Cherry", "The Apple", "banana"}},
  };
  for (const Case& test : cases) {
    CBTreeNode::Pointer root = group(QStringLiteral("root"));
    root->addChild(leaf(QStringLiteral("Cherry"), 1, base.addSecs(100)));
    root->addChild(leaf(QStringLiteral("The Apple"), 3, base));
    root->addChild(leaf(QStringLiteral("banana"), 7, base.addSecs(50)));
    root->setSortKeyForOrderingChildren(test.key);
    EXPECT_EQ(titles(root->orderedChildren()), test.expected) << test.key.toStdString();
    EXPECT_EQ(root->orderedChildAtIndex(0)->title(), test.expected.first());
  }
}

TEST_F(TreeNodeTest, FlatListsFollowExpansionUpToTheRoot)
{
  CBTreeNode::Pointer root = group(QStringLiteral("root"));
  CBTreeNode::Pointer outer = group(QStringLiteral("outer"));
  CBTreeNode::Pointer inner = group(QStringLiteral("inner"));
  root->addChild(outer);
  outer->addChild(inner);
  inner->addChild(leaf(QStringLiteral("x")));
  root->addChild(leaf(QStringLiteral("z")));
  outer->setExpanded(true);
  inner->setExpanded(true);

  const QStringList all{"outer", "inner", "x", "z"};
  EXPECT_EQ(titles(root->flatItems()), all);
  EXPECT_EQ(titles(root->flatItemsRespectingExpansionState()), all);
  EXPECT_EQ(root->numberOfFlatItemsRespectingExpansionState(), 4u);
  EXPECT_EQ(titles(root->flatItemsRespectingFirstLevelExpansionState()), (QStringList{"outer", "inner", "z"}));

  inner->setExpanded(false);
  EXPECT_EQ(titles(root->flatItems()), all);
  EXPECT_EQ(titles(root->flatItemsRespectingExpansionState()), (QStringList{"outer", "inner", "z"}));
  EXPECT_EQ(root->numberOfFlatItemsRespectingExpansionState(), 3u);

  // Finding and invalidating.
  EXPECT_EQ(root->treeNodesForRepresentedObject(inner->representedIdentity()).size(), 1);
  Item* innerItem = static_cast<Item*>(inner->representedObject());
  inner->invalidateRecursively();
  EXPECT_EQ(innerItem->invalidations, 1);
  EXPECT_EQ(inner->parent(), nullptr);
  EXPECT_EQ(titles(root->flatItems()), (QStringList{"outer", "z"}));
}

TEST_F(TreeNodeTest, NodeEqualityIsANamedFunctionOverFeedURLs)
{
  CBTreeNode::Pointer root = group(QStringLiteral("root"));
  CBFeed* first = feed(QStringLiteral("one"), QStringLiteral("https://example.com/feed"));
  CBFeed* second = feed(QStringLiteral("two"), QStringLiteral("https://example.com/feed"));
  CBFeed* other = feed(QStringLiteral("three"), QStringLiteral("https://example.com/other"));
  CBTreeNode::Pointer n1 = CBTreeNode::treeNodeWithParent(nullptr, first);
  CBTreeNode::Pointer n2 = CBTreeNode::treeNodeWithParent(nullptr, second);
  CBTreeNode::Pointer n3 = CBTreeNode::treeNodeWithParent(nullptr, other);
  EXPECT_FALSE(CBTreeNodeIsEqual(n1.get(), n2.get()));  // no parents
  root->addChild(n1);
  root->addChild(n2);
  root->addChild(n3);
  EXPECT_TRUE(CBTreeNodeIsEqual(n1.get(), n2.get()));
  EXPECT_FALSE(CBTreeNodeIsEqual(n1.get(), n3.get()));
  // Containers still tell them apart.
  EXPECT_EQ(root->indexOfChild(n2.get()), 1);
  EXPECT_EQ(root->treeNodesForRepresentedObject(static_cast<CBNode*>(second)).first(), n2);
}

TEST_F(TreeNodeTest, FolderChildrenWriteParentsAndSweepsMarkOnlyChangedIndexes)
{
  CBFolder* folder = CBFolder::createFolderWithName(QStringLiteral("Folder"), main);
  CBTreeNode::Pointer folderNode = CBTreeNode::treeNodeForFolder(folder, nullptr);
  EXPECT_EQ(folderNode->sortKeyForOrderingChildren(), QStringLiteral("childindex"));
  QList<CBFeed*> feeds;
  for (const char* name : {"a", "b", "c", "d"}) {
    feeds.append(feed(QString::fromLatin1(name), QStringLiteral("https://example.com/") + QLatin1String(name)));
    folderNode->addChild(CBTreeNode::treeNodeWithParent(nullptr, feeds.last()));
  }
  folderNode->sweepChildIndices(false);
  for (int i = 0; i < feeds.size(); ++i) {
    EXPECT_EQ(feeds[i]->parentguid(), folder->guid());
    EXPECT_EQ(feeds[i]->parent(), folder);
    EXPECT_EQ(feeds[i]->childindex(), i);
    feeds[i]->setNeedsSync(false);
    feeds[i]->setChildindexModDate(0);
  }
  ASSERT_TRUE(main->save());

  folderNode->moveChild(folderNode->childAtIndex(3), 2);  // a b d c
  folderNode->sweepChildIndices(true);
  EXPECT_EQ(titles(folderNode->orderedChildren()), (QStringList{"a", "b", "d", "c"}));
  EXPECT_EQ(feeds[2]->childindex(), 3);
  EXPECT_EQ(feeds[3]->childindex(), 2);
  EXPECT_TRUE(feeds[2]->needsSync());
  EXPECT_GT(feeds[2]->childindexModDate(), 0);
  for (int i : {0, 1}) {
    EXPECT_FALSE(feeds[i]->needsSync()) << i;
    EXPECT_EQ(feeds[i]->childindexModDate(), 0) << i;
  }

  // Leaving the folder clears the parent and marks the feed for sync.
  feeds[0]->setNeedsSync(false);
  folderNode->removeChild(folderNode->childAtIndex(0).get());
  EXPECT_TRUE(feeds[0]->parentguid().isNull());
  EXPECT_EQ(feeds[0]->parent(), nullptr);
  EXPECT_TRUE(feeds[0]->needsSync());
  EXPECT_FALSE(folder->unreadCountIsValid());
}

TEST_F(TreeNodeTest, SortingInGroupsOnlyKeepsTheTopLevelInManualOrder)
{
  ZPHUserDefaults::standardUserDefaults().setBool(QStringLiteral("sortInGroupsOnly"), true);
  CBTreeNode::Pointer top = group(QStringLiteral("All Sites"));
  top->setIsSpecialGroup(true);
  CBFolder* folder = CBFolder::createFolderWithName(QStringLiteral("Folder"), main);
  CBTreeNode::Pointer folderNode = CBTreeNode::treeNodeForFolder(folder, nullptr);
  top->addChild(CBTreeNode::treeNodeWithParent(nullptr, feed(QStringLiteral("Zed"), QStringLiteral("https://z/"))));
  top->addChild(folderNode);
  top->addChild(CBTreeNode::treeNodeWithParent(nullptr, feed(QStringLiteral("Ann"), QStringLiteral("https://a/"))));
  folderNode->addChild(
      CBTreeNode::treeNodeWithParent(nullptr, feed(QStringLiteral("Yo"), QStringLiteral("https://y/"))));
  folderNode->addChild(
      CBTreeNode::treeNodeWithParent(nullptr, feed(QStringLiteral("Bo"), QStringLiteral("https://b/"))));

  top->setSortKeyForOrderingChildren(QStringLiteral("nameForDisplay"));
  EXPECT_EQ(titles(top->orderedChildren()), (QStringList{"Zed", "Folder", "Ann"}));
  EXPECT_EQ(titles(folderNode->orderedChildren()), (QStringList{"Bo", "Yo"}));
  EXPECT_EQ(titles(top->flatItems()), (QStringList{"Zed", "Folder", "Bo", "Yo", "Ann"}));
}

TEST_F(TreeNodeTest, TheRootOfATreeIsAPlainGroup)
{
  std::shared_ptr<CBTree> tree = CBTree::tree();
  tree->setIsSpecialGroup(true);
  EXPECT_TRUE(tree->isGroup());
  EXPECT_FALSE(tree->isSpecialGroup());
  tree->addChild(leaf(QStringLiteral("a")));
  EXPECT_EQ(tree->numberOfChildren(), 1);
  EXPECT_EQ(tree->description(), QStringLiteral("\n a\n"));
}

}  // namespace
