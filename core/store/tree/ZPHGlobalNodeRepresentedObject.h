#pragma once

#include "store/tree/CBTreeNode.h"

// A plain object for a node of the global tree that stands for nothing but
// its name.
class ZPHGlobalNodeRepresentedObject : public CBTreeNodeRepresentedObject {
public:
  ZPHGlobalNodeRepresentedObject() = default;
  explicit ZPHGlobalNodeRepresentedObject(const QString& name) : m_nameForDisplay(name) {}

  // An empty name shows as "Untitled".
  QString nameForDisplay() const override;
  void setNameForDisplay(const QString& name) override { m_nameForDisplay = name; }

private:
  QString m_nameForDisplay;
};
