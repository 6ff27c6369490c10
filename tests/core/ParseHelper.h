#pragma once
// Parses one element from bytes the way the driver does: from a file, positioned on the
// first byte after the start code.

#include "analysis/LineFormat.h"
#include "stream/CMpegStreamFile.h"
#include "support/TestFiles.h"
#include "support/TreeLines.h"

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

