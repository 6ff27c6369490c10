#pragma once
// A whole IFO file: the video manager's (VIDEO_TS.IFO) or a title set's (VTS_nn_0.IFO),
// its management table and every table it points at. Each pointer is checked against the
// file before it is followed, and the tables against each other (no two may share bytes);
// what is wrong goes to the CIfoBytes issues and the table is left out.

#include "syntax/dvd/IfoAttributes.h"
#include "syntax/dvd/IfoBytes.h"
#include "syntax/dvd/IfoPgc.h"
#include "syntax/dvd/IfoTables.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kIfoSector = 2048;

// Video manager information management table (sector 0 of VIDEO_TS.IFO).
struct CIfoVmgiMat
{
    void Parse(const CIfoBytes& b);

    char m_szVmgIdentifier[13] = {};   // 12 bytes: "DVDVIDEO-VMG"
    uint32_t m_nVmgLastSector = 0;     // 32 bits: of the manager (IFO, menu VOBs, BUP)
    uint32_t m_nVmgiLastSector = 0;    // 32 bits: of the IFO
    uint8_t m_nSpecificationVersion = 0;  // 8 bits
    uint32_t m_nVmgCategory = 0;       // 32 bits: region mask in bits 23..16
    uint16_t m_nVmgNrOfVolumes = 0;    // 16 bits
    uint16_t m_nVmgThisVolumeNr = 0;   // 16 bits
    uint8_t m_nDiscSide = 0;           // 8 bits
    uint16_t m_nVmgNrOfTitleSets = 0;  // 16 bits
    char m_szProviderIdentifier[33] = {};  // 32 bytes
    uint64_t m_nVmgPosCode = 0;        // 64 bits
    uint32_t m_nVmgiLastByte = 0;      // 32 bits: of the management table and first play PGC
    uint32_t m_nFirstPlayPgc = 0;      // 32 bits: byte offset
    uint32_t m_nVmgmVobs = 0;          // 32 bits: sector of the menu VOBs, 0 without menus
    uint32_t m_nTtSrpt = 0;            // 32 bits: sector of each table in the IFO
    uint32_t m_nVmgmPgciUt = 0;
    uint32_t m_nPtlMait = 0;
    uint32_t m_nVtsAtrt = 0;
    uint32_t m_nTxtdtMgi = 0;
    uint32_t m_nVmgmCAdt = 0;
    uint32_t m_nVmgmVobuAdmap = 0;
    CIfoVideoAttr m_vmgmVideoAttr;     // at 0x100
    uint8_t m_nNrOfVmgmAudioStreams = 0;
    CIfoAudioAttr m_vmgmAudioAttr;
    uint8_t m_nNrOfVmgmSubpStreams = 0;
    CIfoSubpAttr m_vmgmSubpAttr;

    static constexpr uint32_t kSize = 0x200;
    static constexpr uint32_t kVideoAttr = 0x100, kAudioCount = 0x103, kAudioAttr = 0x104, kSubpCount = 0x155,
                              kSubpAttr = 0x156;
};

// Video title set information management table (sector 0 of VTS_nn_0.IFO).
struct CIfoVtsiMat
{
    void Parse(const CIfoBytes& b);

    char m_szVtsIdentifier[13] = {};   // 12 bytes: "DVDVIDEO-VTS"
    uint32_t m_nVtsLastSector = 0;     // 32 bits: of the title set (IFO, VOBs, BUP)
    uint32_t m_nVtsiLastSector = 0;    // 32 bits: of the IFO
    uint8_t m_nSpecificationVersion = 0;
    uint32_t m_nVtsCategory = 0;       // 32 bits
    uint32_t m_nVtsiLastByte = 0;      // 32 bits: of the management table
    uint32_t m_nVtsmVobs = 0;          // 32 bits: sector of the menu VOBs in the title set, 0 without
    uint32_t m_nVtsttVobs = 0;         // 32 bits: sector of the title VOBs
    uint32_t m_nVtsPttSrpt = 0;        // 32 bits: sector of each table in the IFO
    uint32_t m_nVtsPgcit = 0;
    uint32_t m_nVtsmPgciUt = 0;
    uint32_t m_nVtsTmapt = 0;
    uint32_t m_nVtsmCAdt = 0;
    uint32_t m_nVtsmVobuAdmap = 0;
    uint32_t m_nVtsCAdt = 0;
    uint32_t m_nVtsVobuAdmap = 0;
    CIfoVideoAttr m_vtsmVideoAttr;     // at 0x100
    uint8_t m_nNrOfVtsmAudioStreams = 0;
    CIfoAudioAttr m_vtsmAudioAttr;
    uint8_t m_nNrOfVtsmSubpStreams = 0;
    CIfoSubpAttr m_vtsmSubpAttr;
    CIfoVideoAttr m_vtsVideoAttr;      // at 0x200
    uint8_t m_nNrOfVtsAudioStreams = 0;
    CIfoAudioAttr m_vtsAudioAttr[8];
    uint8_t m_nNrOfVtsSubpStreams = 0;
    CIfoSubpAttr m_vtsSubpAttr[32];

    // The table up to the last subpicture attributes; the multichannel extension follows.
    static constexpr uint32_t kSize = 0x3D8;
    static constexpr uint32_t kMenuVideoAttr = 0x100, kMenuAudioCount = 0x103, kMenuAudioAttr = 0x104,
                              kMenuSubpCount = 0x155, kMenuSubpAttr = 0x156;
    static constexpr uint32_t kVideoAttr = 0x200, kAudioCount = 0x203, kAudioAttr = 0x204, kSubpCount = 0x255,
                              kSubpAttr = 0x256;
};

// A table of the file and where it lies, for overlaps and for naming a byte.
struct IfoTableRange
{
    std::string name;
    IfoExtent extent;
};

struct CIfoVmgi
{
    // Reads the file. False when it is not a video manager's IFO (too short, or the wrong
    // identifier): nothing else is read then.
    bool Parse(CIfoBytes& b);

    CIfoVmgiMat m_mat;
    bool m_hasFirstPlay = false;
    CIfoPgc m_firstPlay;
    bool m_hasTtSrpt = false;
    CIfoTtSrpt m_ttSrpt;
    bool m_hasPgciUt = false;
    CIfoPgciUt m_pgciUt;
    bool m_hasVtsAtrt = false;
    CIfoVtsAtrt m_vtsAtrt;
    bool m_hasCAdt = false;
    CIfoCAdt m_cAdt;
    bool m_hasAdmap = false;
    CIfoVobuAdmap m_admap;
    std::vector<IfoTableRange> m_tables;
};

struct CIfoVtsi
{
    bool Parse(CIfoBytes& b);

    CIfoVtsiMat m_mat;
    bool m_hasPttSrpt = false;
    CIfoPttSrpt m_pttSrpt;
    bool m_hasPgcit = false;
    CIfoPgcit m_pgcit;
    bool m_hasMenuPgciUt = false;
    CIfoPgciUt m_menuPgciUt;
    bool m_hasTmapt = false;
    CIfoTmapt m_tmapt;
    bool m_hasMenuCAdt = false;
    CIfoCAdt m_menuCAdt;
    bool m_hasMenuAdmap = false;
    CIfoVobuAdmap m_menuAdmap;
    bool m_hasCAdt = false;
    CIfoCAdt m_cAdt;
    bool m_hasAdmap = false;
    CIfoVobuAdmap m_admap;
    std::vector<IfoTableRange> m_tables;
};

// The name of the table that holds a byte of the file ("VTS_C_ADT"), or "" for none.
std::string TableAt(const std::vector<IfoTableRange>& tables, uint64_t offset);
