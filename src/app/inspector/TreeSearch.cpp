#include "app/inspector/TreeSearch.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace treesearch
{

ItemId NextLine(CResultTree::Reader& tree, ItemId line)
{
    if (line == kNoItem)
        return tree.ChildCount(kNoItem) ? tree.Child(kNoItem, 0) : kNoItem;
    if (tree.ChildCount(line) != 0)
        return tree.Child(line, 0);
    for (ItemId at = line; at != kNoItem; at = tree.Tree().Parent(at))
    {
        const ItemId parent = tree.Tree().Parent(at);
        const uint32_t row = tree.Row(at);
        if (row + 1 < tree.ChildCount(parent))
            return tree.Child(parent, row + 1);
    }
    return kNoItem;
}

ItemId PreviousLine(CResultTree::Reader& tree, ItemId line)
{
    ItemId at;
    if (line == kNoItem)
    {
        const uint32_t n = tree.ChildCount(kNoItem);
        if (n == 0)
            return kNoItem;
        at = tree.Child(kNoItem, n - 1);
    }
    else
    {
        const ItemId parent = tree.Tree().Parent(line);
        const uint32_t row = tree.Row(line);
        if (row == 0)
            return parent;
        at = tree.Child(parent, row - 1);
    }
    // The last line under the sibling before.
    for (uint32_t n = tree.ChildCount(at); n != 0; n = tree.ChildCount(at))
        at = tree.Child(at, n - 1);
    return at;
}

ItemId FindLine(const CResultTree& tree, ItemId from, std::string_view needle, bool forward,
                const std::atomic<bool>& stop, std::atomic<uint32_t>& visited)
{
    const uint32_t total = tree.Count();
    if (total == 0 || needle.empty())
        return kNoItem;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    // The search's own child lists: the window goes on reading the tree's.
    CResultTree::Reader reader(tree);
    std::string text;
    ItemId at = from;
    for (uint32_t n = 0; n < total; ++n)
    {
        at = forward ? NextLine(reader, at) : PreviousLine(reader, at);
        if (at == kNoItem)  // past an end: round to the other
            at = forward ? NextLine(reader, kNoItem) : PreviousLine(reader, kNoItem);
        if ((n & 0xFFF) == 0)
        {
            visited.store(n, std::memory_order_relaxed);
            if (stop.load(std::memory_order_relaxed))
                return kNoItem;
        }
        text.clear();
        AppendLineText(tree, at, text);
        if (std::search(text.begin(), text.end(), needle.begin(), needle.end(), same) != text.end())
        {
            visited.store(n + 1, std::memory_order_relaxed);
            return at;
        }
    }
    visited.store(total, std::memory_order_relaxed);
    return kNoItem;
}

}  // namespace treesearch
