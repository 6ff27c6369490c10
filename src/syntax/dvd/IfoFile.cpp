#include "syntax/dvd/IfoFile.h"

#include <algorithm>
#include <cstring>

namespace
{

void ReadText(const CIfoBytes& b, uint32_t offset, char* out, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(b.U8(offset + i));
    out[n] = '\0';
}

// Where the tables of an IFO may lie: past its management table, inside the file and the
// sectors the file says it has.
IfoExtent TableArea(const CIfoBytes& b, uint32_t matEnd, uint32_t lastSector)
{
    const uint64_t sectors = (uint64_t{lastSector} + 1) * kIfoSector;
    return {matEnd, static_cast<uint32_t>(std::min<uint64_t>(b.Size(), sectors))};
}

// A table pointer of the management table: 0 is no table; otherwise its sector must lie
// inside the table area. Returns the byte offset, 0 where there is nothing to read.
uint32_t Follow(CIfoBytes& b, uint32_t sector, uint32_t fieldOffset, const char* name, bool required,
                const IfoExtent& area)
{
    if (sector == 0)
    {
        if (required)
            b.Issue(fieldOffset, "%s: its pointer is 0, the table is missing", name);
        return 0;
    }
    const uint64_t at = uint64_t{sector} * kIfoSector;
    if (at < area.start || at >= area.end)
    {
        b.Issue(fieldOffset, "%s: sector %u is outside the IFO's tables (bytes %u to %u)", name, sector, area.start,
                area.end ? area.end - 1 : 0);
        return 0;
    }
    return static_cast<uint32_t>(at);
}

// The management table's own extent and the first pointer checks shared by both files:
// the IFO's size against its last sector field.
void CheckIfoSize(CIfoBytes& b, uint32_t lastSector, uint32_t fieldOffset, const char* name)
{
    const uint64_t sectors = uint64_t{lastSector} + 1;
    if (b.Size() < sectors * kIfoSector)
        b.Issue(fieldOffset, "%s: the IFO has %llu bytes, its last sector field %u says %llu", name,
                static_cast<unsigned long long>(b.Size()), lastSector,
                static_cast<unsigned long long>(sectors * kIfoSector));
}

// Adds the range and notes overlaps between all ranges at the end.
void AddTable(std::vector<IfoTableRange>& tables, const char* name, const IfoExtent& extent)
{
    tables.push_back({name, extent});
}

void CheckTables(CIfoBytes& b, const std::vector<IfoTableRange>& tables)
{
    std::vector<IfoRange> ranges;
    for (const IfoTableRange& t : tables)
        ranges.push_back({t.extent, t.name, t.extent.start});
    CheckOverlaps(b, ranges, false);
}

// The extent of a table of the common header shape, without reading it (the tables the
// reader does not otherwise use).
IfoExtent Claimed(const CIfoBytes& b, uint32_t at, uint32_t lastByteOffset, const IfoExtent& area)
{
    const uint64_t end = uint64_t{at} + b.U32(at + lastByteOffset) + 1;
    return {at, static_cast<uint32_t>(std::min<uint64_t>(end, area.end))};
}

}  // namespace

// ---------------------------------------------------------------------------- VMGI_MAT

void CIfoVmgiMat::Parse(const CIfoBytes& b)
{
    *this = CIfoVmgiMat();
    ReadText(b, 0, m_szVmgIdentifier, 12);
    m_nVmgLastSector = b.U32(0x0C);
    m_nVmgiLastSector = b.U32(0x1C);
    m_nSpecificationVersion = b.U8(0x21);
    m_nVmgCategory = b.U32(0x22);
    m_nVmgNrOfVolumes = b.U16(0x26);
    m_nVmgThisVolumeNr = b.U16(0x28);
    m_nDiscSide = b.U8(0x2A);
    m_nVmgNrOfTitleSets = b.U16(0x3E);
    ReadText(b, 0x40, m_szProviderIdentifier, 32);
    m_nVmgPosCode = b.U64(0x60);
    m_nVmgiLastByte = b.U32(0x80);
    m_nFirstPlayPgc = b.U32(0x84);
    m_nVmgmVobs = b.U32(0xC0);
    m_nTtSrpt = b.U32(0xC4);
    m_nVmgmPgciUt = b.U32(0xC8);
    m_nPtlMait = b.U32(0xCC);
    m_nVtsAtrt = b.U32(0xD0);
    m_nTxtdtMgi = b.U32(0xD4);
    m_nVmgmCAdt = b.U32(0xD8);
    m_nVmgmVobuAdmap = b.U32(0xDC);
    m_vmgmVideoAttr.Parse(b, kVideoAttr);
    m_nNrOfVmgmAudioStreams = b.U8(kAudioCount);
    m_vmgmAudioAttr.Parse(b, kAudioAttr);
    m_nNrOfVmgmSubpStreams = b.U8(kSubpCount);
    m_vmgmSubpAttr.Parse(b, kSubpAttr);
}

// ---------------------------------------------------------------------------- VTSI_MAT

void CIfoVtsiMat::Parse(const CIfoBytes& b)
{
    *this = CIfoVtsiMat();
    ReadText(b, 0, m_szVtsIdentifier, 12);
    m_nVtsLastSector = b.U32(0x0C);
    m_nVtsiLastSector = b.U32(0x1C);
    m_nSpecificationVersion = b.U8(0x21);
    m_nVtsCategory = b.U32(0x22);
    m_nVtsiLastByte = b.U32(0x80);
    m_nVtsmVobs = b.U32(0xC0);
    m_nVtsttVobs = b.U32(0xC4);
    m_nVtsPttSrpt = b.U32(0xC8);
    m_nVtsPgcit = b.U32(0xCC);
    m_nVtsmPgciUt = b.U32(0xD0);
    m_nVtsTmapt = b.U32(0xD4);
    m_nVtsmCAdt = b.U32(0xD8);
    m_nVtsmVobuAdmap = b.U32(0xDC);
    m_nVtsCAdt = b.U32(0xE0);
    m_nVtsVobuAdmap = b.U32(0xE4);
    m_vtsmVideoAttr.Parse(b, kMenuVideoAttr);
    m_nNrOfVtsmAudioStreams = b.U8(kMenuAudioCount);
    m_vtsmAudioAttr.Parse(b, kMenuAudioAttr);
    m_nNrOfVtsmSubpStreams = b.U8(kMenuSubpCount);
    m_vtsmSubpAttr.Parse(b, kMenuSubpAttr);
    m_vtsVideoAttr.Parse(b, kVideoAttr);
    m_nNrOfVtsAudioStreams = b.U8(kAudioCount);
    for (uint32_t i = 0; i < 8; ++i)
        m_vtsAudioAttr[i].Parse(b, kAudioAttr + 8 * i);
    m_nNrOfVtsSubpStreams = b.U8(kSubpCount);
    for (uint32_t i = 0; i < 32; ++i)
        m_vtsSubpAttr[i].Parse(b, kSubpAttr + 6 * i);
}

// ---------------------------------------------------------------------------- VIDEO_TS.IFO

bool CIfoVmgi::Parse(CIfoBytes& b)
{
    *this = CIfoVmgi();
    if (b.Size() < CIfoVmgiMat::kSize)
        return false;
    m_mat.Parse(b);
    if (std::strcmp(m_mat.m_szVmgIdentifier, "DVDVIDEO-VMG") != 0)
        return false;
    const CIfoVmgiMat& m = m_mat;
    CheckIfoSize(b, m.m_nVmgiLastSector, 0x1C, "VMGI_MAT");
    uint32_t matEnd = CIfoVmgiMat::kSize;
    if (m.m_nVmgiLastByte + 1ull < CIfoVmgiMat::kSize || m.m_nVmgiLastByte >= b.Size())
        b.Issue(0x80, "VMGI_MAT: last byte %u, outside bytes %u to %llu", m.m_nVmgiLastByte, CIfoVmgiMat::kSize - 1,
                static_cast<unsigned long long>(b.Size() - 1));
    else
        matEnd = m.m_nVmgiLastByte + 1;
    AddTable(m_tables, "VMGI_MAT", {0, matEnd});
    const IfoExtent area = TableArea(b, matEnd, m.m_nVmgiLastSector);

    // The first play PGC lies inside the management table's bytes, after its fixed part.
    if (m.m_nFirstPlayPgc != 0)
    {
        const IfoExtent within{CIfoVmgiMat::kSize, matEnd};
        if (!within.Contains(m.m_nFirstPlayPgc, CIfoPgc::kSize))
            b.Issue(0x84, "first play PGC: byte %u is outside the management table's bytes %u to %u", m.m_nFirstPlayPgc,
                    within.start, within.end - 1);
        else
            m_hasFirstPlay = m_firstPlay.Parse(b, m.m_nFirstPlayPgc, within, "first play PGC");
    }
    if (uint32_t at = Follow(b, m.m_nTtSrpt, 0xC4, "TT_SRPT", true, area))
        if ((m_hasTtSrpt = m_ttSrpt.Parse(b, at, area)))
            AddTable(m_tables, "TT_SRPT", m_ttSrpt.m_header.Extent());
    // A disc without menus has no menu tables, and then needs none.
    const bool menus = m.m_nVmgmVobs != 0;
    if (uint32_t at = Follow(b, m.m_nVmgmPgciUt, 0xC8, "VMGM_PGCI_UT", false, area))
        if ((m_hasPgciUt = m_pgciUt.Parse(b, at, area, "VMGM_PGCI_UT")))
            AddTable(m_tables, "VMGM_PGCI_UT", m_pgciUt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nPtlMait, 0xCC, "PTL_MAIT", false, area))
        AddTable(m_tables, "PTL_MAIT", Claimed(b, at, 4, area));
    if (uint32_t at = Follow(b, m.m_nVtsAtrt, 0xD0, "VTS_ATRT", true, area))
        if ((m_hasVtsAtrt = m_vtsAtrt.Parse(b, at, area)))
            AddTable(m_tables, "VTS_ATRT", m_vtsAtrt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nTxtdtMgi, 0xD4, "TXTDT_MGI", false, area))
        AddTable(m_tables, "TXTDT_MGI", Claimed(b, at, 16, area));
    if (uint32_t at = Follow(b, m.m_nVmgmCAdt, 0xD8, "VMGM_C_ADT", menus, area))
        if ((m_hasCAdt = m_cAdt.Parse(b, at, area, "VMGM_C_ADT")))
            AddTable(m_tables, "VMGM_C_ADT", m_cAdt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVmgmVobuAdmap, 0xDC, "VMGM_VOBU_ADMAP", menus, area))
        if ((m_hasAdmap = m_admap.Parse(b, at, area, "VMGM_VOBU_ADMAP")))
            AddTable(m_tables, "VMGM_VOBU_ADMAP", m_admap.Extent());
    CheckTables(b, m_tables);
    return true;
}

// ---------------------------------------------------------------------------- VTS_nn_0.IFO

bool CIfoVtsi::Parse(CIfoBytes& b)
{
    *this = CIfoVtsi();
    if (b.Size() < CIfoVtsiMat::kSize)
        return false;
    m_mat.Parse(b);
    if (std::strcmp(m_mat.m_szVtsIdentifier, "DVDVIDEO-VTS") != 0)
        return false;
    const CIfoVtsiMat& m = m_mat;
    CheckIfoSize(b, m.m_nVtsiLastSector, 0x1C, "VTSI_MAT");
    uint32_t matEnd = CIfoVtsiMat::kSize;
    if (m.m_nVtsiLastByte + 1ull < CIfoVtsiMat::kSize || m.m_nVtsiLastByte >= b.Size())
        b.Issue(0x80, "VTSI_MAT: last byte %u, outside bytes %u to %llu", m.m_nVtsiLastByte, CIfoVtsiMat::kSize - 1,
                static_cast<unsigned long long>(b.Size() - 1));
    else
        matEnd = m.m_nVtsiLastByte + 1;
    AddTable(m_tables, "VTSI_MAT", {0, matEnd});
    const IfoExtent area = TableArea(b, matEnd, m.m_nVtsiLastSector);
    const bool menus = m.m_nVtsmVobs != 0;

    if (uint32_t at = Follow(b, m.m_nVtsPttSrpt, 0xC8, "VTS_PTT_SRPT", true, area))
        if ((m_hasPttSrpt = m_pttSrpt.Parse(b, at, area)))
            AddTable(m_tables, "VTS_PTT_SRPT", m_pttSrpt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsPgcit, 0xCC, "VTS_PGCIT", true, area))
        if ((m_hasPgcit = m_pgcit.Parse(b, at, area, "VTS_PGCIT")))
            AddTable(m_tables, "VTS_PGCIT", m_pgcit.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsmPgciUt, 0xD0, "VTSM_PGCI_UT", false, area))
        if ((m_hasMenuPgciUt = m_menuPgciUt.Parse(b, at, area, "VTSM_PGCI_UT")))
            AddTable(m_tables, "VTSM_PGCI_UT", m_menuPgciUt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsTmapt, 0xD4, "VTS_TMAPTI", false, area))
        if ((m_hasTmapt = m_tmapt.Parse(b, at, area)))
            AddTable(m_tables, "VTS_TMAPTI", m_tmapt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsmCAdt, 0xD8, "VTSM_C_ADT", menus, area))
        if ((m_hasMenuCAdt = m_menuCAdt.Parse(b, at, area, "VTSM_C_ADT")))
            AddTable(m_tables, "VTSM_C_ADT", m_menuCAdt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsmVobuAdmap, 0xDC, "VTSM_VOBU_ADMAP", menus, area))
        if ((m_hasMenuAdmap = m_menuAdmap.Parse(b, at, area, "VTSM_VOBU_ADMAP")))
            AddTable(m_tables, "VTSM_VOBU_ADMAP", m_menuAdmap.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsCAdt, 0xE0, "VTS_C_ADT", true, area))
        if ((m_hasCAdt = m_cAdt.Parse(b, at, area, "VTS_C_ADT")))
            AddTable(m_tables, "VTS_C_ADT", m_cAdt.m_header.Extent());
    if (uint32_t at = Follow(b, m.m_nVtsVobuAdmap, 0xE4, "VTS_VOBU_ADMAP", true, area))
        if ((m_hasAdmap = m_admap.Parse(b, at, area, "VTS_VOBU_ADMAP")))
            AddTable(m_tables, "VTS_VOBU_ADMAP", m_admap.Extent());
    CheckTables(b, m_tables);
    return true;
}

std::string TableAt(const std::vector<IfoTableRange>& tables, uint64_t offset)
{
    for (const IfoTableRange& t : tables)
        if (offset >= t.extent.start && offset < t.extent.end)
            return t.name;
    return std::string();
}
