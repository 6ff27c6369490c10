#pragma once
// Finding the lines of a result tree by their texts, for the tests.

#include "analysis/LineFormat.h"

#include <string>
#include <vector>

// The texts of the children of item, in order.
inline std::vector<std::string> ChildTexts(const CResultTree& t, ItemId item)
{
    std::vector<std::string> v;
    for (uint32_t r = 0; r < t.ChildCount(item); ++r)
        v.push_back(LineText(t, t.Child(item, r)));
    return v;
}

// The line reached from `from` (kNoItem: the top level) by following child texts;
// kNoItem when one of them is missing.
inline ItemId FindLine(const CResultTree& t, ItemId from, const std::vector<std::string>& path)
{
    ItemId at = from;
    for (const std::string& text : path)
    {
        ItemId next = kNoItem;
        for (uint32_t r = 0; r < t.ChildCount(at) && next == kNoItem; ++r)
            if (LineText(t, t.Child(at, r)) == text)
                next = t.Child(at, r);
        if (next == kNoItem)
            return kNoItem;
        at = next;
    }
    return at;
}
