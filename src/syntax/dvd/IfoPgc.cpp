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

// ---------------------------------------------------------------------------- tables pointed at

namespace
{

// An entry's pointer at a table: its start byte from the start of the table that holds the
// entry, where the pointer field is, the name its issues give it; valid once the start has
// been checked against that table.
struct Target
{
    uint32_t startByte = 0;
    uint32_t pointer = 0;
    std::string name;
    bool valid = false;
};

// Reads the tables the entries point at, each once. First the bytes each distinct target
// claims (claim: false where it cannot say) are checked against the others': targets that
// overlap are damaged and left out before any is read, so that no byte is read for many
// tables. Then each is read (read: false where it cannot be). Returns per entry the index
// of its table in out, -1 where there is none.
template <class T, class Claim, class Read>
std::vector<int32_t> ReadTargets(CIfoBytes& b, uint32_t start, const std::vector<Target>& targets, Claim claim,
                                 Read read, std::vector<T>& out)
{
    constexpr size_t kNone = SIZE_MAX;
    std::map<uint32_t, size_t> byStart;  // start byte -> index in ranges
    std::vector<IfoRange> ranges;
    std::vector<size_t> rangeOf(targets.size(), kNone);
    for (size_t i = 0; i < targets.size(); ++i)
    {
        const Target& t = targets[i];
        if (!t.valid)
            continue;
        const auto [it, added] = byStart.emplace(t.startByte, ranges.size());
        if (added)
        {
            IfoExtent claimed;
            if (!claim(start + t.startByte, t.name, claimed))
            {
                it->second = kNone;
                continue;
            }
            ranges.push_back({claimed, t.name, t.pointer});
        }
        rangeOf[i] = it->second;
    }
    const std::vector<bool> overlaps = CheckOverlaps(b, ranges);
    std::vector<int32_t> parsed(ranges.size(), -1), index(targets.size(), -1);
    std::vector<bool> tried(ranges.size(), false);
    for (size_t i = 0; i < targets.size(); ++i)
    {
        const size_t r = rangeOf[i];
        if (r == kNone || overlaps[r])
            continue;
        if (!tried[r])
        {
            tried[r] = true;
            T table;
            if (read(table, start + targets[i].startByte, ranges[r].name))
            {
                parsed[r] = static_cast<int32_t>(out.size());
                out.push_back(std::move(table));
            }
        }
        index[i] = parsed[r];
    }
    return index;
}

}  // namespace

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
    std::vector<Target> targets(count);
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
        targets[i] = {s.m_nPgcStartByte, s.m_nOffset + 4, name + " PGC " + std::to_string(i + 1),
                      at >= pointersEnd && at < table.end};
        if (!targets[i].valid)
            b.Issue(s.m_nOffset + 4, "%s: PGC %u starts at byte %u of the table, outside bytes %u to %u",
                    name.c_str(), i + 1, s.m_nPgcStartByte, pointersEnd - start, m_header.m_nLastByte);
    }
    const std::vector<int32_t> pgcs = ReadTargets(
        b, start, targets,
        [&](uint32_t at, const std::string&, IfoExtent& claimed) {
            claimed = CIfoPgc::Claimed(b, at);
            return true;
        },
        [&](CIfoPgc& pgc, uint32_t at, const std::string& pgcName) { return pgc.Parse(b, at, table, pgcName); },
        m_pgcs);
    for (uint32_t i = 0; i < count; ++i)
        m_srps[i].pgc = pgcs[i];
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
    std::vector<Target> targets(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        Lu& lu = m_lus[i];
        lu.m_nOffset = start + 8 + i * kLuSize;
        lu.m_nLangCode = b.U16(lu.m_nOffset);
        lu.m_nLangExtension = b.U8(lu.m_nOffset + 2);
        lu.m_nExists = b.U8(lu.m_nOffset + 3);
        lu.m_nLangStartByte = b.U32(lu.m_nOffset + 4);
        const uint64_t at = uint64_t{start} + lu.m_nLangStartByte;
        targets[i] = {lu.m_nLangStartByte, lu.m_nOffset + 4, name + " language unit " + std::to_string(i + 1),
                      at >= unitsEnd && at < table.end};
        if (!targets[i].valid)
            b.Issue(lu.m_nOffset + 4, "%s: its PGCIT starts at byte %u of the table, outside bytes %u to %u",
                    targets[i].name.c_str(), lu.m_nLangStartByte, unitsEnd - start, m_header.m_nLastByte);
    }
    // A language unit's PGCIT claims the bytes its header's last byte gives it.
    const std::vector<int32_t> pgcits = ReadTargets(
        b, start, targets,
        [&](uint32_t at, const std::string& luName, IfoExtent& claimed) {
            CIfoTableHeader header;
            if (!header.Parse(b, at, table, luName.c_str()))
                return false;
            claimed = header.Extent();
            return true;
        },
        [&](CIfoPgcit& pgcit, uint32_t at, const std::string& luName) { return pgcit.Parse(b, at, table, luName); },
        m_pgcits);
    for (uint32_t i = 0; i < count; ++i)
        m_lus[i].pgcit = pgcits[i];
    return true;
}
