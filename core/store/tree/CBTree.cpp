#include "store/tree/CBTree.h"

std::shared_ptr<CBTree> CBTree::tree() { return std::shared_ptr<CBTree>(new CBTree()); }
