#pragma once

#include "store/tree/CBTreeNode.h"

// The root of a whole displayed tree: always a group, never a special
// group, without parent or represented object.
class CBTree : public CBTreeNode {
public:
  static std::shared_ptr<CBTree> tree();

  CBTreeNode* parent() const override { return nullptr; }
  bool isGroup() const override { return true; }
  bool isSpecialGroup() const override { return false; }
};
