#pragma once

#include "store/entities/CBNode.h"

#include <QtCore/QList>

// The stored attributes of a folder (entity "CBFolder").
class AbstractManagedFolder : public CBNode {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex { PropertyExpanded = CBNode::AttributeCount, AttributeEnd };

  bool expanded() const { return primitiveValue(PropertyExpanded).toBool(); }
  void setExpanded(bool value) { setPrimitiveValue(PropertyExpanded, value); }

  // The nodes inside, sorted by childindex.
  QList<CBNode*> children() const;
};
