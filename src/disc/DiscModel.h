#pragma once
// A DVD-Video disc as its IFO files describe it: the video manager and the title sets as
// read, and the domains the checks judge one by one. A domain is one VOB set with the
// tables that describe it: the manager's menus (VIDEO_TS.VOB), a title set's menus
// (VTS_nn_0.VOB) or its titles (VTS_nn_1.VOB and on).

#include "disc/DiscFiles.h"
#include "syntax/dvd/IfoFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace disc
{

class CDiscFindings;

// One IFO as read: from the IFO, or from its BUP where the IFO cannot be read.
struct IfoData
{
    std::string name;              // the file the tables come from
    std::vector<uint8_t> bytes;
    bool read = false;             // the tables were read (the identifier is right)
};

enum class DomainKind : uint8_t
{
    ManagerMenus,   // VMGM
    TitleSetMenus,  // VTSM
    Titles,         // VTS
};

// A PGC of a domain with the name findings give it.
struct PgcRef
{
    const CIfoPgc* pgc = nullptr;
    std::string label;             // "VTS_PGCIT PGC 2", "VTSM_PGCI_UT language unit 1 PGC 3"
    const CIfoPgcit* table = nullptr;
    uint32_t number = 0;           // its 1-based number in that table
};

struct Domain
{
    DomainKind kind = DomainKind::Titles;
    uint32_t vts = 0;              // 0 for the manager
    std::string name;              // "VMGM", "VTSM 1", "VTS 1"
    std::string ifo;               // the file of its tables
    const CIfoCAdt* cAdt = nullptr;
    const CIfoVobuAdmap* admap = nullptr;
    const CIfoTmapt* tmapt = nullptr;   // titles only
    const CIfoPgcit* pgcit = nullptr;   // titles only
    std::vector<PgcRef> pgcs;           // each PGC once
    // Attributes, with the offsets of their fields in the IFO.
    const CIfoVideoAttr* video = nullptr;
    uint32_t videoOffset = 0;
    // The counts as coded; the attributes are read for at most 8 audio and 32 subpicture
    // streams of the titles, 1 of each for menus.
    uint32_t audioCount = 0;
    const CIfoAudioAttr* audio = nullptr;
    uint32_t audioOffset = 0, audioCountOffset = 0;
    uint32_t subpCount = 0;
    const CIfoSubpAttr* subp = nullptr;
    uint32_t subpOffset = 0, subpCountOffset = 0;
    // The VOB files: the names the set has, and those present in order.
    std::vector<std::string> vobNames;  // the expected first name where none is present
    std::vector<DiscFile> vobs;
    uint32_t AudioSlots() const { return kind == DomainKind::Titles ? 8 : 1; }
    uint32_t SubpSlots() const { return kind == DomainKind::Titles ? 32 : 1; }
    bool hasVobs = false;               // the IFO says the domain has a VOB set
    // False for the VOB sets of a title set whose IFO and BUP cannot be read: their
    // streams are judged, with no table to compare them with.
    bool hasTables = true;
    int64_t sectors = -1;               // the sectors the IFO gives the set, -1 unknown
};

class CDisc
{
public:
    struct TitleSet
    {
        uint32_t number = 0;
        IfoData data;
        CIfoVtsi vtsi;
    };

    DiscFiles files;
    std::string path;                   // as given
    IfoData vmgData;
    CIfoVmgi vmgi;
    std::vector<TitleSet> titleSets;    // by number: the manager's and any found on the disc
    std::vector<Domain> domains;

    const TitleSet* FindTitleSet(uint32_t number) const;
    // The first sector of a title set on the disc, counted from the manager's first
    // sector: the manager and the title sets before it lie one after the other. -1 where a
    // title set before it could not be read.
    int64_t TitleSetSector(uint32_t number) const;
};

// A title of the disc's title search pointer table, resolved through its title set: its
// chapters and the PGC its first chapter plays. Null members where the tables do not have
// what the entry names.
struct TitleRef
{
    uint32_t number = 0;                    // 1-based
    const CIfoTtSrpt::Title* entry = nullptr;
    const CDisc::TitleSet* titleSet = nullptr;
    const CIfoPttSrpt::Title* chapters = nullptr;
    const CIfoPgc* firstPgc = nullptr;
    uint32_t firstPgcn = 0;
};
TitleRef ResolveTitle(const CDisc& disc, size_t index);
// The PGC of a title set's PGC number (1-based), null where there is none.
const CIfoPgc* TitlePgc(const CDisc::TitleSet& ts, uint32_t pgcn);
// The angles of a PGC: the cells of its largest angle block, 1 without any.
uint32_t AngleCount(const CIfoPgc& pgc);
// A cell counts in its PGC's time unless it is a later angle of an angle block.
bool CountsInTime(const CIfoPgc& pgc, size_t cell);

// Reads the IFOs of the disc's files (a BUP where its IFO cannot be read) and builds the
// domains. The findings of reading: ifo-unreadable, ifo-structure, ifo-bup-differs.
// Files larger than kMaxIfoBytes are not read.
std::unique_ptr<CDisc> LoadDisc(const DiscFiles& files, CDiscFindings& findings);

// The domains of a disc whose IFOs are read (LoadDisc does it; so may whoever fills a disc
// from bytes of its own).
void BuildDomains(CDisc& disc);

constexpr uint64_t kMaxIfoBytes = 16u << 20;

}  // namespace disc
