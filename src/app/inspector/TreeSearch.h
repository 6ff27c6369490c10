#pragma once
// Searching the result tree in the order it shows its lines (pre-order), from a line
// onwards or backwards, wrapping around at the ends. Texts are made one at a time and
// dropped again, so a search over tens of millions of lines holds none of them.
//
// The walk reads the tree from another thread while the dialog waits for it: call
// PrepareForSearch on the tree's own thread first (it builds the indexes the walk
// reads), and keep the tree unchanged until the search has ended.

#include "analysis/CResultTree.h"
#include "analysis/LineFormat.h"

#include <atomic>
#include <cstdint>
#include <string_view>

namespace treesearch
{

void PrepareForSearch(const CResultTree& tree);

// The line after (or before) a line in pre-order; kNoItem past the ends.
ItemId NextLine(const CResultTree& tree, ItemId line);
ItemId PreviousLine(const CResultTree& tree, ItemId line);

// The first line after `from` (before it when backwards) whose text contains needle,
// ignoring ASCII case; from itself is looked at last. kNoItem when no line matches or
// stop was set. visited counts the lines looked at.
ItemId FindLine(const CResultTree& tree, ItemId from, std::string_view needle, bool forward,
                const std::atomic<bool>& stop, std::atomic<uint32_t>& visited);

}  // namespace treesearch
