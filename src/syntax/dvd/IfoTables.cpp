#include "syntax/dvd/IfoTables.h"

#include <algorithm>
#include <map>

namespace
{

// How many entries of size bytes fit after a table's first headerSize bytes; an issue
// when the count is larger.
uint32_t Fitting(CIfoBytes& b, const CIfoTableHeader& h, uint32_t headerSize, uint32_t size, const char* name,
                 const char* what)
{
    const uint64_t room = (uint64_t{h.m_nLastByte} + 1 - headerSize) / size;
    if (h.m_nCount <= room)
        return h.m_nCount;
    b.Issue(h.m_nStart, "%s: %u %s, the table's length holds %llu", name, h.m_nCount, what,
            static_cast<unsigned long long>(room));
    return static_cast<uint32_t>(room);
}

// The start bytes of a table's sub-tables, one 32-bit offset per entry after the header:
// each must point past the offsets and inside the table.
std::vector<uint32_t> ReadStarts(CIfoBytes& b, const CIfoTableHeader& h, uint32_t count, const char* name,
                                 const char* what)
{
    std::vector<uint32_t> starts(count);
    const uint64_t first = 8 + 4ull * count;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t at = h.m_nStart + 8 + 4 * i;
        starts[i] = b.U32(at);
        if (starts[i] < first || starts[i] > h.m_nLastByte)
        {
            b.Issue(at, "%s: %s %u starts at byte %u of the table, outside bytes %llu to %u", name, what, i + 1,
                    starts[i], static_cast<unsigned long long>(first), h.m_nLastByte);
            starts[i] = 0;
        }
    }
    return starts;
}

}  // namespace

// ---------------------------------------------------------------------------- TT_SRPT

bool CIfoTtSrpt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within)
{
    *this = CIfoTtSrpt();
    if (!m_header.Parse(b, start, within, "TT_SRPT"))
        return false;
    const uint32_t count = Fitting(b, m_header, 8, kEntrySize, "TT_SRPT", "titles");
    m_titles.resize(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        Title& t = m_titles[i];
        t.m_nOffset = start + 8 + i * kEntrySize;
        t.m_nPbTy = b.U8(t.m_nOffset);
        t.m_nNrOfAngles = b.U8(t.m_nOffset + 1);
        t.m_nNrOfPtts = b.U16(t.m_nOffset + 2);
        t.m_nParentalId = b.U16(t.m_nOffset + 4);
        t.m_nTitleSetNr = b.U8(t.m_nOffset + 6);
        t.m_nVtsTtn = b.U8(t.m_nOffset + 7);
        t.m_nTitleSetSector = b.U32(t.m_nOffset + 8);
    }
    return true;
}

// ---------------------------------------------------------------------------- VTS_ATRT

bool CIfoVtsAtrt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within)
{
    *this = CIfoVtsAtrt();
    if (!m_header.Parse(b, start, within, "VTS_ATRT"))
        return false;
    const uint32_t count = Fitting(b, m_header, 8, 4, "VTS_ATRT", "title sets");
    const std::vector<uint32_t> starts = ReadStarts(b, m_header, count, "VTS_ATRT", "the attributes of title set");
    const IfoExtent table = m_header.Extent();
    m_entries.resize(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        Entry& e = m_entries[i];
        e.m_nStartByte = starts[i];
        if (starts[i] == 0)
            continue;
        const uint32_t at = start + starts[i];
        e.m_nOffset = at;
        e.m_nLastByte = b.U32(at);
        if (!table.Contains(at, 4) || uint64_t{e.m_nLastByte} + 1 < kMinEntrySize ||
            !table.Contains(at, uint64_t{e.m_nLastByte} + 1))
        {
            b.Issue(at, "VTS_ATRT: the attributes of title set %u (last byte %u) do not fit in the table", i + 1,
                    e.m_nLastByte);
            continue;
        }
        e.read = true;
        e.m_nVtsCat = b.U32(at + 4);
        e.m_vtsmVideo.Parse(b, at + 8);
        e.m_nVtsmAudioCount = b.U8(at + 11);
        e.m_vtsmAudio.Parse(b, at + 12);
        e.m_nVtsmSubpCount = b.U8(at + 93);
        e.m_vtsmSubp.Parse(b, at + 94);
        e.m_vtsVideo.Parse(b, at + 264);
        e.m_nVtsAudioCount = b.U8(at + 267);
        for (uint32_t k = 0; k < 8; ++k)
            e.m_vtsAudio[k].Parse(b, at + 268 + 8 * k);
        e.m_nVtsSubpCount = b.U8(at + 349);
        // The subpicture attributes run on only as far as the entry does.
        for (uint32_t k = 0; k < 32 && 350 + 6 * (k + 1) <= e.m_nLastByte + 1; ++k)
            e.m_vtsSubp[k].Parse(b, at + 350 + 6 * k);
    }
    return true;
}

// ---------------------------------------------------------------------------- VTS_PTT_SRPT

bool CIfoPttSrpt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within)
{
    *this = CIfoPttSrpt();
    if (!m_header.Parse(b, start, within, "VTS_PTT_SRPT"))
        return false;
    const uint32_t count = Fitting(b, m_header, 8, 4, "VTS_PTT_SRPT", "titles");
    const std::vector<uint32_t> starts = ReadStarts(b, m_header, count, "VTS_PTT_SRPT", "the chapters of title");
    m_titles.resize(count);
    // A title's chapters run to where the next title's start, or to the table's end.
    std::vector<uint64_t> ends(count, uint64_t{m_header.m_nLastByte} + 1);
    for (uint32_t i = count; i-- > 1;)
        ends[i - 1] = starts[i] != 0 ? starts[i] : ends[i];
    for (uint32_t i = 0; i < count; ++i)
    {
        Title& t = m_titles[i];
        t.m_nOffset = start + 8 + 4 * i;
        t.m_nStartByte = starts[i];
        if (starts[i] == 0)
            continue;
        const uint64_t end = ends[i];
        if (end < starts[i])
        {
            b.Issue(t.m_nOffset, "VTS_PTT_SRPT: the chapters of title %u start at byte %u, after the next title's %llu",
                    i + 1, starts[i], static_cast<unsigned long long>(end));
            continue;
        }
        if ((end - starts[i]) % 4 != 0)
            b.Issue(t.m_nOffset, "VTS_PTT_SRPT: the chapters of title %u take %llu bytes, not a whole number of entries",
                    i + 1, static_cast<unsigned long long>(end - starts[i]));
        const uint64_t n = (end - starts[i]) / 4;
        t.ptts.resize(n);
        for (uint64_t k = 0; k < n; ++k)
        {
            Ptt& p = t.ptts[k];
            p.m_nOffset = static_cast<uint32_t>(start + starts[i] + 4 * k);
            p.m_nPgcn = b.U16(p.m_nOffset);
            p.m_nPgn = b.U16(p.m_nOffset + 2);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------- VTS_TMAPTI

bool CIfoTmapt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within)
{
    *this = CIfoTmapt();
    if (!m_header.Parse(b, start, within, "VTS_TMAPTI"))
        return false;
    const uint32_t count = Fitting(b, m_header, 8, 4, "VTS_TMAPTI", "time maps");
    const std::vector<uint32_t> starts = ReadStarts(b, m_header, count, "VTS_TMAPTI", "time map");
    const IfoExtent table = m_header.Extent();
    m_maps.resize(count);
    std::vector<IfoRange> ranges(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        Map& m = m_maps[i];
        m.m_nStartByte = starts[i];
        if (starts[i] == 0)
            continue;
        m.m_nOffset = start + starts[i];
        m.m_nTmu = b.U8(m.m_nOffset);
        m.m_nZero1 = b.U8(m.m_nOffset + 1);
        m.m_nNrOfEntries = b.U16(m.m_nOffset + 2);
        const uint64_t size = 4 + 4ull * m.m_nNrOfEntries;
        if (!table.Contains(m.m_nOffset, size))
        {
            b.Issue(m.m_nOffset + 2, "VTS_TMAPTI: time map %u of %u entries runs past the table's end", i + 1,
                    m.m_nNrOfEntries);
            continue;
        }
        ranges[i] = {{m.m_nOffset, static_cast<uint32_t>(m.m_nOffset + size)}, "time map " + std::to_string(i + 1),
                     start + 8 + 4 * i};
    }
    // Maps that overlap each other are not read (each would be read many times over).
    const std::vector<bool> overlaps = CheckOverlaps(b, ranges);
    for (uint32_t i = 0; i < count; ++i)
    {
        Map& m = m_maps[i];
        if (ranges[i].extent.end == 0 || overlaps[i])
            continue;
        m.read = true;
        m.entries.resize(m.m_nNrOfEntries);
        for (uint32_t k = 0; k < m.m_nNrOfEntries; ++k)
            m.entries[k] = b.U32(m.EntryOffset(k));
    }
    return true;
}

// ---------------------------------------------------------------------------- C_ADT

bool CIfoCAdt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name)
{
    *this = CIfoCAdt();
    if (!m_header.Parse(b, start, within, name))
        return false;
    const uint64_t bytes = uint64_t{m_header.m_nLastByte} + 1 - 8;
    if (bytes % kEntrySize != 0)
        b.Issue(start + 4, "%s: last byte %u leaves %llu bytes of cells, not a whole number of %u-byte entries", name,
                m_header.m_nLastByte, static_cast<unsigned long long>(bytes), kEntrySize);
    const uint64_t n = bytes / kEntrySize;
    m_cells.resize(n);
    for (uint64_t i = 0; i < n; ++i)
    {
        Cell& c = m_cells[i];
        c.m_nOffset = static_cast<uint32_t>(start + 8 + i * kEntrySize);
        c.m_nVobId = b.U16(c.m_nOffset);
        c.m_nCellId = b.U8(c.m_nOffset + 2);
        c.m_nZero1 = b.U8(c.m_nOffset + 3);
        c.m_nStartSector = b.U32(c.m_nOffset + 4);
        c.m_nLastSector = b.U32(c.m_nOffset + 8);
        m_index.push_back({(uint32_t{c.m_nVobId} << 8) | c.m_nCellId, static_cast<uint32_t>(i)});
    }
    std::sort(m_index.begin(), m_index.end());
    return true;
}

const CIfoCAdt::Cell* CIfoCAdt::Find(uint16_t vob, uint8_t cell) const
{
    const uint32_t key = (uint32_t{vob} << 8) | cell;
    const auto it = std::lower_bound(m_index.begin(), m_index.end(), std::make_pair(key, uint32_t{0}));
    return it != m_index.end() && it->first == key ? &m_cells[it->second] : nullptr;
}

bool CIfoCAdt::Span(uint16_t vob, uint8_t cell, uint32_t& first, uint32_t& last) const
{
    const uint32_t key = (uint32_t{vob} << 8) | cell;
    bool found = false;
    for (auto it = std::lower_bound(m_index.begin(), m_index.end(), std::make_pair(key, uint32_t{0}));
         it != m_index.end() && it->first == key; ++it)
    {
        const Cell& c = m_cells[it->second];
        first = found ? std::min(first, c.m_nStartSector) : c.m_nStartSector;
        last = found ? std::max(last, c.m_nLastSector) : c.m_nLastSector;
        found = true;
    }
    return found;
}

// ---------------------------------------------------------------------------- VOBU_ADMAP

bool CIfoVobuAdmap::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name)
{
    *this = CIfoVobuAdmap();
    m_nStart = start;
    if (!within.Contains(start, 4))
    {
        b.Issue(start, "%s: the table at byte %u does not fit in bytes %u to %u", name, start, within.start,
                within.end ? within.end - 1 : 0);
        return false;
    }
    m_nLastByte = b.U32(start);
    if (m_nLastByte < 3 || !within.Contains(start, uint64_t{m_nLastByte} + 1))
    {
        b.Issue(start, "%s: last byte %u runs outside bytes %u to %u", name, m_nLastByte, start,
                within.end ? within.end - 1 : 0);
        return false;
    }
    const uint64_t bytes = uint64_t{m_nLastByte} + 1 - 4;
    if (bytes % 4 != 0)
        b.Issue(start, "%s: last byte %u leaves %llu bytes of addresses, not a whole number of 4-byte entries", name,
                m_nLastByte, static_cast<unsigned long long>(bytes));
    m_sectors.resize(bytes / 4);
    for (size_t i = 0; i < m_sectors.size(); ++i)
        m_sectors[i] = b.U32(EntryOffset(i));
    return true;
}
