#pragma once
// The search and address tables of the IFO files: the titles of the disc (TT_SRPT), the
// title sets' attributes as the manager lists them (VTS_ATRT), a title set's chapters
// (VTS_PTT_SRPT) and time maps (VTS_TMAPTI), and each domain's cell addresses (C_ADT) and
// VOBU addresses (VOBU_ADMAP).

#include "syntax/dvd/IfoAttributes.h"
#include "syntax/dvd/IfoBytes.h"

#include <cstdint>
#include <string>
#include <vector>

// Title search pointer table.
struct CIfoTtSrpt
{
    struct Title
    {
        uint32_t m_nOffset = 0;
        uint8_t m_nPbTy = 0;           // 8 bits: playback type (bit 6 multi or random PGC title)
        uint8_t m_nNrOfAngles = 0;     // 8 bits
        uint16_t m_nNrOfPtts = 0;      // 16 bits: chapters
        uint16_t m_nParentalId = 0;    // 16 bits
        uint8_t m_nTitleSetNr = 0;     // 8 bits
        uint8_t m_nVtsTtn = 0;         // 8 bits: title number in the title set
        uint32_t m_nTitleSetSector = 0;// 32 bits: the title set's first sector on the disc
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within);

    CIfoTableHeader m_header;          // count: nr_of_srpts
    std::vector<Title> m_titles;

    static constexpr uint32_t kEntrySize = 12;
};

// Video title set attribute table: each title set's category and attributes.
struct CIfoVtsAtrt
{
    struct Entry
    {
        uint32_t m_nOffset = 0;        // of the entry's attributes in the file
        uint32_t m_nStartByte = 0;     // 32 bits: from the table's start
        uint32_t m_nLastByte = 0;      // 32 bits
        uint32_t m_nVtsCat = 0;        // 32 bits
        CIfoVideoAttr m_vtsmVideo;
        uint8_t m_nVtsmAudioCount = 0;
        CIfoAudioAttr m_vtsmAudio;
        uint8_t m_nVtsmSubpCount = 0;
        CIfoSubpAttr m_vtsmSubp;
        CIfoVideoAttr m_vtsVideo;
        uint8_t m_nVtsAudioCount = 0;
        CIfoAudioAttr m_vtsAudio[8];
        uint8_t m_nVtsSubpCount = 0;
        CIfoSubpAttr m_vtsSubp[32];
        bool read = false;             // the entry fitted its table
        // Offsets of the fields in the entry (the title set's IFO has them 0xF8 further on).
        static constexpr uint32_t kVtsmVideo = 8, kVtsVideo = 264;
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within);

    CIfoTableHeader m_header;          // count: nr_of_vtss
    std::vector<Entry> m_entries;

    // An entry holds at least the attributes up to the first title subpicture stream.
    static constexpr uint32_t kMinEntrySize = 356;
};

// Chapter (part of title) search pointer table: per title of the title set, its chapters
// as a PGC number and a program number each.
struct CIfoPttSrpt
{
    struct Ptt
    {
        uint32_t m_nOffset = 0;
        uint16_t m_nPgcn = 0;          // 16 bits
        uint16_t m_nPgn = 0;           // 16 bits
    };
    struct Title
    {
        uint32_t m_nOffset = 0;        // of the offset field
        uint32_t m_nStartByte = 0;     // 32 bits: from the table's start
        std::vector<Ptt> ptts;
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within);

    CIfoTableHeader m_header;          // count: nr_of_srpts
    std::vector<Title> m_titles;
};

// Time map table: per title PGC, the VOBU at every tmu seconds of its playback.
struct CIfoTmapt
{
    struct Map
    {
        uint32_t m_nOffset = 0;        // of the map in the file
        uint32_t m_nStartByte = 0;     // 32 bits: from the table's start
        uint8_t m_nTmu = 0;            // 8 bits: seconds between entries
        uint8_t m_nZero1 = 0;          // 8 bits
        uint16_t m_nNrOfEntries = 0;   // 16 bits
        std::vector<uint32_t> entries; // 32 bits each: bit 31 a discontinuity, 30..0 the sector
        bool read = false;
        uint32_t EntryOffset(size_t i) const { return m_nOffset + 4 + static_cast<uint32_t>(i) * 4; }
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within);

    CIfoTableHeader m_header;          // count: nr_of_tmaps
    std::vector<Map> m_maps;

    static constexpr uint32_t kSectorMask = 0x7FFFFFFF;
};

// Cell address table: the first and last sector of every cell of every VOB of a domain.
struct CIfoCAdt
{
    struct Cell
    {
        uint32_t m_nOffset = 0;
        uint16_t m_nVobId = 0;         // 16 bits
        uint8_t m_nCellId = 0;         // 8 bits
        uint8_t m_nZero1 = 0;          // 8 bits
        uint32_t m_nStartSector = 0;   // 32 bits: in the VOB set
        uint32_t m_nLastSector = 0;    // 32 bits
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name);

    CIfoTableHeader m_header;          // count: nr_of_vobs
    std::vector<Cell> m_cells;         // as many as the table's length holds

    static constexpr uint32_t kEntrySize = 12;
    // The first entry of a VOB and cell number, null where there is none.
    const Cell* Find(uint16_t vob, uint8_t cell) const;
    // The sectors of all entries of a VOB and cell number (an interleaved cell has one
    // entry per piece): the lowest first and the highest last sector. False where none.
    bool Span(uint16_t vob, uint8_t cell, uint32_t& first, uint32_t& last) const;

private:
    // (VOB << 8 | cell, entry index), sorted: the lookups stay quick on a table of any size.
    std::vector<std::pair<uint32_t, uint32_t>> m_index;
};

// VOBU address map: the first sector of every VOBU of a domain's VOB set, in order.
struct CIfoVobuAdmap
{
    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name);

    uint32_t m_nStart = 0;
    uint32_t m_nLastByte = 0;          // 32 bits
    std::vector<uint32_t> m_sectors;   // 32 bits each

    IfoExtent Extent() const { return {m_nStart, m_nStart + m_nLastByte + 1}; }
    uint32_t EntryOffset(size_t i) const { return m_nStart + 4 + static_cast<uint32_t>(i) * 4; }
};
