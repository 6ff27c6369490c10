#pragma once
// Program chains (PGC) and the tables that hold them: a PGC with its command table's
// counts, program map, cell playback and cell position tables; the PGC information table
// (PGCIT) of a title set's titles or of a menu language; the menu PGCI unit table
// (PGCI_UT) of a domain's languages.
//
// Every table keeps the file offset of each of its entries, for findings that name them.

#include "syntax/dvd/IfoAttributes.h"
#include "syntax/dvd/IfoBytes.h"

#include <cstdint>
#include <vector>

// Cell playback information: 24 bytes.
struct CIfoCellPlayback
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint32_t m_nOffset = 0;             // of the entry in the file
    uint8_t m_nBlockMode = 0;           // 2 bits: 0 not in a block, 1 first, 2 inside, 3 last
    uint8_t m_nBlockType = 0;           // 2 bits: 1 angle block
    uint8_t m_nSeamlessPlay = 0;        // 1 bit
    uint8_t m_nInterleaved = 0;         // 1 bit
    uint8_t m_nStcDiscontinuity = 0;    // 1 bit
    uint8_t m_nSeamlessAngle = 0;       // 1 bit
    uint8_t m_nZero1 = 0;               // 1 bit
    uint8_t m_nPlaybackMode = 0;        // 1 bit: still after each VOBU
    uint8_t m_nRestricted = 0;          // 1 bit
    uint8_t m_nCellType = 0;            // 5 bits
    uint8_t m_nStillTime = 0;           // 8 bits: seconds, 255 infinite
    uint8_t m_nCellCmdNr = 0;           // 8 bits
    CIfoTime m_playbackTime;            // 32 bits
    uint32_t m_nFirstSector = 0;        // 32 bits: in the VOB set
    uint32_t m_nFirstIlvuEndSector = 0; // 32 bits
    uint32_t m_nLastVobuStartSector = 0;// 32 bits
    uint32_t m_nLastSector = 0;         // 32 bits

    static constexpr uint32_t kSize = 24;
    bool InAngleBlock() const { return m_nBlockType == 1 && m_nBlockMode != 0; }
};

// Cell position information: 4 bytes.
struct CIfoCellPosition
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint32_t m_nOffset = 0;
    uint16_t m_nVobIdNr = 0;   // 16 bits
    uint8_t m_nZero1 = 0;      // 8 bits
    uint8_t m_nCellNr = 0;     // 8 bits

    static constexpr uint32_t kSize = 4;
};

// Program chain information: a 236-byte header and the tables it points at (offsets from
// the PGC's start).
struct CIfoPgc
{
    // Reads the PGC at offset; its tables must lie inside within (the PGCIT). False, with
    // an issue, when the header itself does not fit; a table that does not fit is left
    // empty, with an issue. name: "VTS_PGCIT PGC 2" for the issues.
    bool Parse(CIfoBytes& b, uint32_t offset, const IfoExtent& within, const std::string& name);
    // The bytes the PGC at offset claims (its header and tables), from its header's
    // offsets and counts alone: what is checked against the other PGCs before any is read.
    static IfoExtent Claimed(const CIfoBytes& b, uint32_t offset);

    uint32_t m_nOffset = 0;
    uint16_t m_nZero1 = 0;              // 16 bits
    uint8_t m_nNrOfPrograms = 0;        // 8 bits
    uint8_t m_nNrOfCells = 0;           // 8 bits
    CIfoTime m_playbackTime;            // 32 bits
    uint32_t m_nProhibitedOps = 0;      // 32 bits
    uint16_t m_nAudioControl[8] = {};   // 16 bits each: bit 15 available, bits 10..8 stream number
    uint32_t m_nSubpControl[32] = {};   // 32 bits each: bit 31 available, then 4:3, wide,
                                        // letterbox and pan-scan stream numbers (5 bits each)
    uint16_t m_nNextPgcNr = 0;          // 16 bits
    uint16_t m_nPrevPgcNr = 0;          // 16 bits
    uint16_t m_nGoupPgcNr = 0;          // 16 bits
    uint8_t m_nPgPlaybackMode = 0;      // 8 bits
    uint8_t m_nStillTime = 0;           // 8 bits
    uint32_t m_nPalette[16] = {};       // 32 bits each: 0, Y, Cr, Cb
    uint16_t m_nCommandTblOffset = 0;   // 16 bits
    uint16_t m_nProgramMapOffset = 0;   // 16 bits
    uint16_t m_nCellPlaybackOffset = 0; // 16 bits
    uint16_t m_nCellPositionOffset = 0; // 16 bits
    // Command table header (the commands themselves are not read).
    bool m_bHasCommands = false;
    uint16_t m_nNrOfPre = 0, m_nNrOfPost = 0, m_nNrOfCell = 0;  // 16 bits each
    uint16_t m_nCommandLastByte = 0;    // 16 bits
    std::vector<uint8_t> m_programMap;  // entry cell of each program (8 bits each)
    std::vector<CIfoCellPlayback> m_cellPlayback;
    std::vector<CIfoCellPosition> m_cellPosition;
    IfoExtent m_extent;                 // the header and its tables

    static constexpr uint32_t kSize = 236;
    bool AudioAvailable(int i) const { return (m_nAudioControl[i] & 0x8000) != 0; }
    uint8_t AudioStreamNumber(int i) const { return static_cast<uint8_t>((m_nAudioControl[i] >> 8) & 7); }
    bool SubpAvailable(int i) const { return (m_nSubpControl[i] & 0x80000000u) != 0; }
    // The stream number of a subpicture stream for 4:3 pictures (the first of the four).
    uint8_t SubpStreamNumber(int i) const { return static_cast<uint8_t>((m_nSubpControl[i] >> 24) & 0x1F); }
};

// PGC information table: search pointers to PGCs. PGCs reached by several pointers are
// read once.
struct CIfoPgcit
{
    struct Srp
    {
        uint32_t m_nOffset = 0;
        uint8_t m_nEntryId = 0;       // 8 bits: bit 7 an entry PGC; menus: the menu type below
        uint8_t m_nBlockMode = 0;     // 2 bits
        uint8_t m_nBlockType = 0;     // 2 bits
        uint8_t m_nZero1 = 0;         // 4 bits
        uint16_t m_nPtlIdMask = 0;    // 16 bits
        uint32_t m_nPgcStartByte = 0; // 32 bits: from the table's start
        int32_t pgc = -1;             // index in m_pgcs, -1 where it could not be read
    };

    // False, with an issue, when the table's header does not fit in within.
    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const std::string& name);

    CIfoTableHeader m_header;         // count: nr_of_pgci_srp
    std::vector<Srp> m_srps;
    std::vector<CIfoPgc> m_pgcs;

    static constexpr uint32_t kSrpSize = 8;
    // The PGC of search pointer i (0-based), null where there is none.
    const CIfoPgc* PgcOf(size_t i) const
    {
        return i < m_srps.size() && m_srps[i].pgc >= 0 ? &m_pgcs[static_cast<size_t>(m_srps[i].pgc)] : nullptr;
    }
};

// Menu PGCI unit table: a PGCIT per menu language.
struct CIfoPgciUt
{
    struct Lu
    {
        uint32_t m_nOffset = 0;
        uint16_t m_nLangCode = 0;       // 16 bits
        uint8_t m_nLangExtension = 0;   // 8 bits
        uint8_t m_nExists = 0;          // 8 bits: the menus this language has
        uint32_t m_nLangStartByte = 0;  // 32 bits: from the table's start
        int32_t pgcit = -1;             // index in m_pgcits
    };

    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const std::string& name);

    CIfoTableHeader m_header;           // count: nr_of_lus
    std::vector<Lu> m_lus;
    std::vector<CIfoPgcit> m_pgcits;

    static constexpr uint32_t kLuSize = 8;
};
