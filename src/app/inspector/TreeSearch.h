#pragma once
// Searching the result tree in the order it shows its lines (pre-order), from a line
// onwards or backwards, wrapping around at the ends. Texts are made one at a time and
// dropped again, so a search over tens of millions of lines holds none of them.
//
// The walk reads the tree from another thread while the dialog waits for it, through a
// reader of its own; the tree must stay unchanged until the search has ended.

#include "analysis/CResultTree.h"
#include "analysis/LineFormat.h"

#include <atomic>
#include <cstdint>
#include <string_view>

namespace treesearch
{

// The line after (or before) a line in pre-order; kNoItem past the ends.
ItemId NextLine(CResultTree::Reader& tree, ItemId line);
ItemId PreviousLine(CResultTree::Reader& tree, ItemId line);

// The first line after `from` (before it when backwards) whose text contains needle,
// ignoring ASCII case; from itself is looked at last. kNoItem when no line matches or
// stop was set. visited counts the lines looked at.
ItemId FindLine(const CResultTree& tree, ItemId from, std::string_view needle, bool forward,
                const std::atomic<bool>& stop, std::atomic<uint32_t>& visited);

}  // namespace treesearch
