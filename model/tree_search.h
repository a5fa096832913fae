#pragma once
#include <QString>

#include "model/config_tree.h"

// Searches over the description trees. They keep no state.

// The first node of node's sibling chain (node and the siblings after it, never their children)
// whose CDevice has device type id; unless address is -1 that device's device_addr becomes address.
// Nodes without a CDevice never match. Null when none matches.
CTreeNode *FindDeviceById(CTreeNode *node, int id, int address);

// Brings a value of a "числовой" or "sys" parameter back into [min_value, max_value] by one step
// (value - max + min - 1 above the range, max - min + value + 1 below it); any other type, or a node
// without a CParameter, gives the value unchanged. Computed in 64 bits, the result wraps to 32 bits.
int WrapToRange(int value, const CTreeNode *node);
int WrapToRange(int value, const CParameter &parameter);

// The first node whose text equals text exactly, depth-first from node: node, its descendants, then
// its following siblings and theirs; never node's parent or earlier siblings. Null for an empty text.
CTreeNode *FindNodeByText(CTreeNode *node, const QString &text);
