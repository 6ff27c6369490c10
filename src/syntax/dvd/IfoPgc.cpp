#include "syntax/dvd/IfoPgc.h"

#include <algorithm>
#include <map>

// ---------------------------------------------------------------------------- cells

void CIfoCellPlayback::Parse(const CIfoBytes& b, uint32_t offset)
{
    m_nOffset = offset;
    const uint8_t b0 = b.U8(offset), b1 = b.U8(offset + 1);
    m_nBlockMode = b0 >> 6;
    m_nBlockType = (b0 >> 4) & 3;
    m_nSeamlessPlay = (b0 >> 3) & 1;
    m_nInterleaved = (b0 >> 2) & 1;
    m_nStcDiscontinuity = (b0 >> 1) & 1;
    m_nSeamlessAngle = b0 & 1;
    m_nZero1 = b1 >> 7;
    m_nPlaybackMode = (b1 >> 6) & 1;
    m_nRestricted = (b1 >> 5) & 1;
    m_nCellType = b1 & 0x1F;
    m_nStillTime = b.U8(offset + 2);
    m_nCellCmdNr = b.U8(offset + 3);
    m_playbackTime.Parse(b, offset + 4);
    m_nFirstSector = b.U32(offset + 8);
    m_nFirstIlvuEndSector = b.U32(offset + 12);
    m_nLastVobuStartSector = b.U32(offset + 16);
    m_nLastSector = b.U32(offset + 20);
}

void CIfoCellPosition::Parse(const CIfoBytes& b, uint32_t offset)
{
    m_nOffset = offset;
    m_nVobIdNr = b.U16(offset);
    m_nZero1 = b.U8(offset + 2);
    m_nCellNr = b.U8(offset + 3);
}

// ---------------------------------------------------------------------------- PGC

bool CIfoPgc::Parse(CIfoBytes& b, uint32_t offset, const IfoExtent& within, const std::string& name)
{
    *this = CIfoPgc();
    m_nOffset = offset;
    if (!within.Contains(offset, kSize))
    {
        b.Issue(offset, "%s: the PGC at byte %u does not fit in bytes %u to %u", name.c_str(), offset, within.start,
                within.end ? within.end - 1 : 0);
        return false;
    }
    m_nZero1 = b.U16(offset);
    m_nNrOfPrograms = b.U8(offset + 2);
    m_nNrOfCells = b.U8(offset + 3);
    m_playbackTime.Parse(b, offset + 4);
    m_nProhibitedOps = b.U32(offset + 8);
    for (int i = 0; i < 8; ++i)
        m_nAudioControl[i] = b.U16(offset + 12 + 2 * i);
    for (int i = 0; i < 32; ++i)
        m_nSubpControl[i] = b.U32(offset + 28 + 4 * i);
    m_nNextPgcNr = b.U16(offset + 156);
    m_nPrevPgcNr = b.U16(offset + 158);
    m_nGoupPgcNr = b.U16(offset + 160);
    m_nPgPlaybackMode = b.U8(offset + 162);
    m_nStillTime = b.U8(offset + 163);
    for (int i = 0; i < 16; ++i)
        m_nPalette[i] = b.U32(offset + 164 + 4 * i);
    m_nCommandTblOffset = b.U16(offset + 228);
    m_nProgramMapOffset = b.U16(offset + 230);
    m_nCellPlaybackOffset = b.U16(offset + 232);
    m_nCellPositionOffset = b.U16(offset + 234);

    std::vector<IfoRange> ranges;
    ranges.push_back({{offset, offset + kSize}, name + " header", offset});
    // A table of count entries of size bytes at the PGC's offset field; false (with an
    // issue) where it does not fit.
    const auto place = [&](uint16_t field, uint32_t fieldOffset, uint64_t bytes, const char* what) {
        const uint64_t at = uint64_t{offset} + field;
        if (field == 0)
        {
            b.Issue(offset + fieldOffset, "%s: %s of %llu bytes, but its offset is 0", name.c_str(), what,
                    static_cast<unsigned long long>(bytes));
            return false;
        }
        if (field < kSize || !within.Contains(at, bytes))
        {
            b.Issue(offset + fieldOffset, "%s: the %s at offset %u (%llu bytes) runs outside the PGC's table",
                    name.c_str(), what, field, static_cast<unsigned long long>(bytes));
            return false;
        }
        ranges.push_back({{static_cast<uint32_t>(at), static_cast<uint32_t>(at + bytes)}, name + " " + what,
                          offset + fieldOffset});
        return true;
    };

    if (m_nCommandTblOffset != 0 && place(m_nCommandTblOffset, 228, 8, "command table"))
    {
        const uint32_t at = offset + m_nCommandTblOffset;
        m_nNrOfPre = b.U16(at);
        m_nNrOfPost = b.U16(at + 2);
        m_nNrOfCell = b.U16(at + 4);
        m_nCommandLastByte = b.U16(at + 6);
        const uint64_t need = 8 + 8ull * (m_nNrOfPre + m_nNrOfPost + m_nNrOfCell);
        ranges.pop_back();
        if (uint64_t{m_nCommandLastByte} + 1 < need)
            b.Issue(at + 6, "%s: command table of %u commands needs %llu bytes, its last byte is %u", name.c_str(),
                    m_nNrOfPre + m_nNrOfPost + m_nNrOfCell, static_cast<unsigned long long>(need), m_nCommandLastByte);
        else if (place(m_nCommandTblOffset, 228, uint64_t{m_nCommandLastByte} + 1, "command table"))
            m_bHasCommands = true;
    }
    if (m_nNrOfPrograms > 0 && place(m_nProgramMapOffset, 230, m_nNrOfPrograms, "program map"))
    {
        const uint32_t at = offset + m_nProgramMapOffset;
        m_programMap.assign(b.Ptr(at, m_nNrOfPrograms), b.Ptr(at, m_nNrOfPrograms) + m_nNrOfPrograms);
    }
    if (m_nNrOfCells > 0 &&
        place(m_nCellPlaybackOffset, 232, uint64_t{m_nNrOfCells} * CIfoCellPlayback::kSize, "cell playback table"))
    {
        m_cellPlayback.resize(m_nNrOfCells);
        for (uint32_t i = 0; i < m_nNrOfCells; ++i)
            m_cellPlayback[i].Parse(b, offset + m_nCellPlaybackOffset + i * CIfoCellPlayback::kSize);
    }
    if (m_nNrOfCells > 0 &&
        place(m_nCellPositionOffset, 234, uint64_t{m_nNrOfCells} * CIfoCellPosition::kSize, "cell position table"))
    {
        m_cellPosition.resize(m_nNrOfCells);
        for (uint32_t i = 0; i < m_nNrOfCells; ++i)
            m_cellPosition[i].Parse(b, offset + m_nCellPositionOffset + i * CIfoCellPosition::kSize);
    }

    const std::vector<bool> overlaps = CheckOverlaps(b, ranges);
    m_extent = {offset, offset + kSize};
    for (size_t i = 0; i < ranges.size(); ++i)
    {
        m_extent.end = std::max(m_extent.end, ranges[i].extent.end);
        if (!overlaps[i])
            continue;
        // What overlaps another table is not to be trusted.
        const uint32_t field = ranges[i].offset - offset;
        if (field == 230)
            m_programMap.clear();
        else if (field == 232)
            m_cellPlayback.clear();
        else if (field == 234)
            m_cellPosition.clear();
    }
    return true;
}

IfoExtent CIfoPgc::Claimed(const CIfoBytes& b, uint32_t offset)
{
    uint64_t end = uint64_t{offset} + kSize;
    const auto claim = [&](uint16_t field, uint64_t bytes) {
        if (field != 0 && bytes > 0)
            end = std::max(end, uint64_t{offset} + field + bytes);
    };
    const uint16_t command = b.U16(offset + 228);
    claim(command, command ? uint64_t{b.U16(offset + command + 6)} + 1 : 0);
    claim(b.U16(offset + 230), b.U8(offset + 2));
    claim(b.U16(offset + 232), uint64_t{b.U8(offset + 3)} * CIfoCellPlayback::kSize);
    claim(b.U16(offset + 234), uint64_t{b.U8(offset + 3)} * CIfoCellPosition::kSize);
    return {offset, static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX))};
}

// ---------------------------------------------------------------------------- PGCIT

bool CIfoPgcit::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const std::string& name)
{
    *this = CIfoPgcit();
    if (!m_header.Parse(b, start, within, name.c_str()))
        return false;
    const IfoExtent table = m_header.Extent();
    uint32_t count = m_header.m_nCount;
    const uint64_t room = (uint64_t{m_header.m_nLastByte} + 1 - 8) / kSrpSize;
    if (count > room)
    {
        b.Issue(start, "%s: %u search pointers, the table's length holds %llu", name.c_str(), count,
                static_cast<unsigned long long>(room));
        count = static_cast<uint32_t>(room);
    }
    const uint32_t pointersEnd = start + 8 + count * kSrpSize;
    m_srps.resize(count);
    // The pointers first, then the bytes each PGC claims: PGCs that overlap each other are
    // damaged and left out before any is read, so that no byte is read for many PGCs.
    std::map<uint32_t, int32_t> byStart;  // PGC start byte -> index in ranges
    std::vector<IfoRange> ranges;
    for (uint32_t i = 0; i < count; ++i)
    {
        Srp& s = m_srps[i];
        s.m_nOffset = start + 8 + i * kSrpSize;
        s.m_nEntryId = b.U8(s.m_nOffset);
        const uint8_t b1 = b.U8(s.m_nOffset + 1);
        s.m_nBlockMode = b1 >> 6;
        s.m_nBlockType = (b1 >> 4) & 3;
        s.m_nZero1 = b1 & 0x0F;
        s.m_nPtlIdMask = b.U16(s.m_nOffset + 2);
        s.m_nPgcStartByte = b.U32(s.m_nOffset + 4);
        const uint64_t at = uint64_t{start} + s.m_nPgcStartByte;
        if (at < pointersEnd || at >= table.end)
        {
            b.Issue(s.m_nOffset + 4, "%s: PGC %u starts at byte %u of the table, outside bytes %u to %u",
                    name.c_str(), i + 1, s.m_nPgcStartByte, pointersEnd - start, m_header.m_nLastByte);
            continue;
        }
        if (byStart.emplace(s.m_nPgcStartByte, static_cast<int32_t>(ranges.size())).second)
            ranges.push_back({CIfoPgc::Claimed(b, static_cast<uint32_t>(at)), name + " PGC " + std::to_string(i + 1),
                              s.m_nOffset + 4});
    }
    const std::vector<bool> overlaps = CheckOverlaps(b, ranges);
    std::vector<int32_t> parsed(ranges.size(), -1);
    for (uint32_t i = 0; i < count; ++i)
    {
        Srp& s = m_srps[i];
        const auto it = byStart.find(s.m_nPgcStartByte);
        if (it == byStart.end() || uint64_t{start} + s.m_nPgcStartByte < pointersEnd ||
            overlaps[static_cast<size_t>(it->second)])
            continue;
        int32_t& index = parsed[static_cast<size_t>(it->second)];
        if (index < 0)
        {
            CIfoPgc pgc;
            if (!pgc.Parse(b, start + s.m_nPgcStartByte, table, ranges[static_cast<size_t>(it->second)].name))
                continue;
            index = static_cast<int32_t>(m_pgcs.size());
            m_pgcs.push_back(std::move(pgc));
        }
        s.pgc = index;
    }
    return true;
}

// ---------------------------------------------------------------------------- PGCI_UT

bool CIfoPgciUt::Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const std::string& name)
{
    *this = CIfoPgciUt();
    if (!m_header.Parse(b, start, within, name.c_str()))
        return false;
    const IfoExtent table = m_header.Extent();
    uint32_t count = m_header.m_nCount;
    const uint64_t room = (uint64_t{m_header.m_nLastByte} + 1 - 8) / kLuSize;
    if (count > room)
    {
        b.Issue(start, "%s: %u language units, the table's length holds %llu", name.c_str(), count,
                static_cast<unsigned long long>(room));
        count = static_cast<uint32_t>(room);
    }
    const uint32_t unitsEnd = start + 8 + count * kLuSize;
    m_lus.resize(count);
    // As with PGCs: the tables' headers first, overlapping ones left out before any is read.
    std::map<uint32_t, int32_t> byStart;  // PGCIT start byte -> index in ranges
    std::vector<IfoRange> ranges;
    for (uint32_t i = 0; i < count; ++i)
    {
        Lu& lu = m_lus[i];
        lu.m_nOffset = start + 8 + i * kLuSize;
        lu.m_nLangCode = b.U16(lu.m_nOffset);
        lu.m_nLangExtension = b.U8(lu.m_nOffset + 2);
        lu.m_nExists = b.U8(lu.m_nOffset + 3);
        lu.m_nLangStartByte = b.U32(lu.m_nOffset + 4);
        const uint64_t at = uint64_t{start} + lu.m_nLangStartByte;
        const std::string luName = name + " language unit " + std::to_string(i + 1);
        if (at < unitsEnd || at >= table.end)
        {
            b.Issue(lu.m_nOffset + 4, "%s: its PGCIT starts at byte %u of the table, outside bytes %u to %u",
                    luName.c_str(), lu.m_nLangStartByte, unitsEnd - start, m_header.m_nLastByte);
            continue;
        }
        if (byStart.count(lu.m_nLangStartByte))
            continue;
        CIfoTableHeader header;
        if (!header.Parse(b, static_cast<uint32_t>(at), table, luName.c_str()))
            continue;
        byStart[lu.m_nLangStartByte] = static_cast<int32_t>(ranges.size());
        ranges.push_back({header.Extent(), luName + " PGCIT", lu.m_nOffset + 4});
    }
    const std::vector<bool> overlaps = CheckOverlaps(b, ranges);
    std::vector<int32_t> parsed(ranges.size(), -1);
    for (Lu& lu : m_lus)
    {
        const auto it = byStart.find(lu.m_nLangStartByte);
        if (it == byStart.end() || uint64_t{start} + lu.m_nLangStartByte < unitsEnd ||
            overlaps[static_cast<size_t>(it->second)])
            continue;
        int32_t& index = parsed[static_cast<size_t>(it->second)];
        if (index < 0)
        {
            CIfoPgcit pgcit;
            const std::string& rangeName = ranges[static_cast<size_t>(it->second)].name;
            if (!pgcit.Parse(b, start + lu.m_nLangStartByte, table, rangeName.substr(0, rangeName.size() - 6)))
                continue;
            index = static_cast<int32_t>(m_pgcits.size());
            m_pgcits.push_back(std::move(pgcit));
        }
        lu.pgcit = index;
    }
    return true;
}
