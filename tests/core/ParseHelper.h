#pragma once
// Parses one element from bytes the way the driver does: from a file, positioned on the
// first byte after the start code.

#include "analysis/LineFormat.h"
#include "stream/CMpegStreamFile.h"
#include "support/TestFiles.h"

#include <string>
#include <vector>

#include <memory>

template <class Element>
struct Parsed
{
    std::shared_ptr<Element> owner;
    Element& element;
    bool ok = false;
    uint64_t consumed = 0;
};

template <class Element>
Parsed<Element> ParseFrom(const Bytes& bytes)
{
    TempDir dir;
    auto owner = std::make_shared<Element>();
    bool ok = false;
    uint64_t consumed = 0;
    CMpegStreamFile f;
    if (f.Open(dir.Write("e.bin", bytes), CFile::modeRead))
    {
        ok = owner->Parse(f);
        consumed = f.GetStreamPosition();
    }
    return Parsed<Element>{owner, *owner, ok, consumed};
}

// The texts of the children of item, in order.
inline std::vector<std::string> ChildTexts(const CResultTree& t, ItemId item)
{
    std::vector<std::string> v;
    for (uint32_t r = 0; r < t.ChildCount(item); ++r)
        v.push_back(LineText(t, t.Child(item, r)));
    return v;
}
