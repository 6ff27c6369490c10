#include "syntax/dvd/IfoBytes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

uint16_t CIfoBytes::U16(uint64_t offset) const
{
    if (!Has(offset, 2))
        return 0;
    const uint8_t* b = m_data + offset;
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t CIfoBytes::U32(uint64_t offset) const
{
    if (!Has(offset, 4))
        return 0;
    const uint8_t* b = m_data + offset;
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

uint64_t CIfoBytes::U64(uint64_t offset) const
{
    if (!Has(offset, 8))
        return 0;
    return (uint64_t{U32(offset)} << 32) | U32(offset + 4);
}

void CIfoBytes::Issue(uint32_t offset, const char* format, ...)
{
    ++m_issueCount;
    if (m_issues.size() >= kMaxIssues)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    m_issues.push_back({offset, text});
}

// ---------------------------------------------------------------------------- table header

bool CIfoTableHeader::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name, uint32_t minSize)
{
    *this = CIfoTableHeader();
    m_nStart = start;
    if (!within.Contains(start, minSize))
    {
        b.Issue(start, "%s: the table at byte %u does not fit in bytes %u to %u", name, start, within.start,
                within.end ? within.end - 1 : 0);
        return false;
    }
    m_nCount = b.U16(start);
    m_nZero1 = b.U16(start + 2);
    m_nLastByte = b.U32(start + 4);
    if (uint64_t{m_nLastByte} + 1 < minSize)
    {
        b.Issue(start + 4, "%s: last byte %u leaves the table shorter than its %u-byte header", name, m_nLastByte,
                minSize);
        return false;
    }
    if (!within.Contains(start, uint64_t{m_nLastByte} + 1))
    {
        b.Issue(start + 4, "%s: last byte %u runs past byte %u", name, m_nLastByte, within.end ? within.end - 1 : 0);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------- overlaps

std::vector<bool> CheckOverlaps(CIfoBytes& b, const std::vector<IfoRange>& ranges, bool sharing)
{
    std::vector<size_t> order(ranges.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const IfoExtent &a = ranges[x].extent, &c = ranges[y].extent;
        return a.start != c.start ? a.start < c.start : a.end < c.end;
    });
    std::vector<bool> overlaps(ranges.size(), false);
    // The range reaching furthest so far; a later range starting before its end overlaps
    // it, unless both are the same bytes.
    size_t reach = ranges.size();
    for (size_t k : order)
    {
        const IfoExtent& e = ranges[k].extent;
        if (e.start == e.end)
            continue;
        if (reach != ranges.size())
        {
            const IfoExtent& r = ranges[reach].extent;
            const bool same = sharing && r.start == e.start && r.end == e.end;
            if (e.start < r.end && !same)
            {
                overlaps[k] = true;
                b.Issue(ranges[k].offset, "%s (bytes %u to %u) overlaps %s (bytes %u to %u)", ranges[k].name.c_str(),
                        e.start, e.end - 1, ranges[reach].name.c_str(), r.start, r.end - 1);
                if (e.end <= r.end)
                    continue;
            }
        }
        reach = k;
    }
    return overlaps;
}
