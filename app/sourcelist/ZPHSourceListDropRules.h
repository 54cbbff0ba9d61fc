#pragma once

// Qt kind: none (static functions).

#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <optional>

class QMimeData;

// What a drop on the source list means, as pure rules.
//
// Dropped data is read in this order: the list's own drag type (feeds and
// folders dragged inside the list), a link with its title
// ("text/x-moz-url"), a list of addresses ("text/uri-list"), plain text.
// Feed-scheme addresses become web addresses. An address from outside is
// subscribed to only when it is an http or https address with a host; a
// file address is a file to import when it looks like a subscription list;
// anything else (javascript:, data:, text with a space, ...) is refused.
class ZPHSourceListDropRules {
public:
  ZPHSourceListDropRules() = delete;

  // The list's own drag type: the dragged rows stay with the view.
  static const QString LocalDragType;  // "application/x-zephlin-source-list-nodes"

  struct DropInfo {
    QString address;  // the first address, trimmed
    QString name;     // its title, when the data had one
    QStringList addresses;
    QStringList titles;
  };
  // Null when the data holds nothing the list takes.
  static std::optional<DropInfo> infoFromMimeData(const QMimeData* data);

  enum class ExternalDrop { Refuse, Subscribe, ImportFile };
  // What an address dropped from outside does; for a file, whether the
  // file looks like a subscription list decides.
  static ExternalDrop externalDropForAddress(const QString& address, QUrl* url = nullptr);

  // ---- Where a drop goes
  // What the pointer is over.
  enum class ProposedItem {
    EmptyArea,   // below the rows
    SmartFeeds,  // the smart feeds' group itself
    Group,       // an account's header, a folder or the Favorites group
    Favorite,    // a feed's row under Favorites
    Row,         // any other row that is no group (a feed, a smart feed)
  };
  struct DropProposal {
    ProposedItem item = ProposedItem::EmptyArea;
    // -1: onto the item; else the gap before that child of the item.
    int childIndex = -1;
    // Rows dragged inside this list.
    bool local = false;
    // From outside: the address is a file's, and the file looks like a
    // subscription list.
    bool fileAddress = false;
    bool subscriptionListFile = false;
    // A Row: it has a parent, that parent has a parent of its own, and
    // the row's index among the parent's children (-1: not found).
    bool rowHasParent = false;
    bool rowParentHasParent = false;
    int rowIndexInParent = -1;
  };
  enum class DropTargetNode { None, Account, Item, ItemParent };
  enum class DropCheck { Refuse, ImportFile, Local, External };
  struct DropTarget {
    DropTargetNode node = DropTargetNode::None;
    // Where the drop is shown and goes: -1 onto the node.
    int childIndex = -1;
    // The index the local or external check weighs (a row's own index for
    // a drop onto it).
    int proposedChildIndex = -1;
    DropCheck check = DropCheck::Refuse;
    bool operator==(const DropTarget&) const = default;
  };
  // The first retargeting of a drop: the empty area and the smart feeds
  // mean the account; a subscription list file goes to the account as a
  // copy (another file nowhere); a drop onto a row goes into its parent.
  static DropTarget retargetProposal(const DropProposal& proposal);

  // A local drop into a group, retargeted by the order the group keeps.
  struct LocalDropFacts {
    bool targetIsFavorites = false;
    // Exactly one node is dragged and its feed already is a favourite.
    bool oneDraggedIsFavorite = false;
    bool manualOrder = false;
    bool targetIsSpecialGroup = false;
    bool sortInGroupsOnly = false;
    // Exactly one node is dragged and it already is a child of the target.
    bool oneDraggedIsChildOfTarget = false;
    // Where the first dragged node sorts among the target's children; -1
    // when not known.
    int sortedIndex = -1;
    bool hidingFeedsWithoutUnread = false;
  };
  enum class LocalDropNode { Target, FavoriteOfDragged, Dragged };
  struct LocalDrop {
    LocalDropNode node = LocalDropNode::Target;
    int childIndex = -1;
    bool operator==(const LocalDrop&) const = default;
  };
  // `childIndex`: where the drop stands now; `proposedChildIndex`: the
  // index it was proposed at.
  static LocalDrop retargetLocalDrop(const LocalDropFacts& facts, int childIndex, int proposedChildIndex);

  // An address from outside keeps its gap only where the group keeps the
  // user's order; elsewhere the sort places it.
  static int externalDropIndex(int proposedChildIndex, bool manualOrder, bool targetIsSpecialGroup,
                               bool sortInGroupsOnly);

  // Where a node at `currentIndex` of the drop's own parent (-1: another
  // parent) lands when dropped into the gap before `dropIndex` under manual
  // order: taking it out first shifts the gaps after it by one.
  static int landingIndex(int currentIndex, int dropIndex);
};
