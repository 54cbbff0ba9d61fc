#pragma once

// Qt kind: QObject.

#include "store/tree/CBTreeNode.h"

#include <QtCore/QList>
#include <QtCore/QObject>

class QMimeData;
class ZPHSourceListViewController;

// Dragging rows out of the source list and dropping onto it. Rows
// of the list move between folders (or join Favorites); from outside, a web
// or feed address subscribes (through the core's application delegate) and
// an OPML file is imported (through ZPHAppServices). Where a drop lands is
// decided by ZPHSourceListDropRules; this class carries it out.
//
// Made and owned by its source list's controller; the list's model asks it
// about every drag and drop. Main thread only.
class ZPHSourceListDragAndDrop : public QObject {
  Q_OBJECT

public:
  explicit ZPHSourceListDragAndDrop(ZPHSourceListViewController* sourceList);
  ~ZPHSourceListDragAndDrop() override;

  // The data of rows dragged out of the list: the list's own type, and the
  // feed's address as text when one feed is dragged. Null when a row may
  // not be dragged.
  QMimeData* dragDataForNodes(const QList<CBTreeNode*>& nodes);
  // What a drop onto `parent` (null: the empty area) before child `row`
  // (-1: onto the row) would do: move or link (favourites) for rows of the
  // list, link (subscribe) or copy (import) from outside; IgnoreAction
  // refuses.
  Qt::DropAction validateDrop(const QMimeData* data, CBTreeNode* parent, int row);
  bool acceptDrop(const QMimeData* data, CBTreeNode* parent, int row);
  bool waitingForDropToProcess() const { return m_waitingForDropToProcess; }
  // Where a drop goes once the list's rules have moved it: onto `node`
  // (childIndex -1) or into the gap before its child `childIndex`; no node
  // and IgnoreAction when it is refused.
  struct ResolvedDrop {
    CBTreeNode::Pointer node;
    int childIndex = -1;
    Qt::DropAction action = Qt::IgnoreAction;
  };
  ResolvedDrop resolveDrop(const QMimeData* data, CBTreeNode* parent, int row) const;
  // The last drop weighed while dragging over the list (what its drop
  // mark shows).
  const ResolvedDrop& lastResolvedDrop() const { return m_lastResolvedDrop; }

private:
  Qt::DropAction validateLocalDrop(CBTreeNode* target) const;
  void processLocalDrop(const CBTreeNode::List& dragged, const CBTreeNode::Pointer& target, int index);

  ZPHSourceListViewController* m_sourceList;
  CBTreeNode::List m_draggedItems;
  bool m_waitingForDropToProcess = false;
  ResolvedDrop m_lastResolvedDrop;
};
