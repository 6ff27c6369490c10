#pragma once
// What the inspector keeps of a DVD-Video disc: the disc judged as the command line's
// --check judges it (its IFOs, and each domain's VOB set read as one stream), one
// inspection result per VOB set for the streams, plots and bytes, and the disc as a tree
// of titles, their PGCs and their cells, each entry with the findings that belong to it.
// Qt-free; filled on the worker thread and read-only once handed to the window.

#include "app/inspector/InspectData.h"
#include "disc/DiscCheck.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace inspector
{

// One domain's VOB set as read: offsets in it run on from file to file.
struct DiscSet
{
    size_t domain = 0;                   // in the disc's domains
    std::string name;                    // "VTS 1", "VMGM"
    std::vector<std::string> paths, names;
    std::vector<uint64_t> starts;        // where each file starts in the set
    std::shared_ptr<const InspectResult> result;  // its packs, streams, units and buffers
};

// An entry of the disc's tree.
struct DiscEntry
{
    enum class Kind : uint8_t
    {
        Title,
        Pgc,
        Cell,
        File,  // a file's findings that belong to no title, PGC or cell
    };
    Kind kind = Kind::Title;
    std::string text;                    // the disc summary's line
    int parent = -1;                     // the entries come parents first
    int set = -1;                        // the VOB set it plays from, -1 for none
    uint32_t firstSector = 0, lastSector = 0;  // a cell's, in its set
    std::vector<uint32_t> findings;      // its own, as indices of DiscInspection::findings
    std::vector<uint32_t> all;           // its own and those of the entries under it, in order
    int worst = -1;                      // the severity of the worst of all, -1 without any
};

struct DiscInspection
{
    disc::DiscCheckResult check;
    std::vector<disc::DiscFinding> findings;  // as the check report lists them
    std::vector<DiscSet> sets;
    std::vector<DiscEntry> entries;
    std::string totals;                       // the check report's last line

    int SetOfFile(const std::string& name) const;
    int SetOfDomain(size_t domain) const;
    // The set the disc opens with: the first title's, else the first set read; -1 if none.
    int FirstTitleSet() const;

    // Where a finding's bytes are: in a set (an offset in it), else in a file of its own
    // (an IFO or BUP: an offset in it).
    struct Place
    {
        int set = -1;
        std::string path, name;
        uint64_t offset = 0;
    };
    Place PlaceOf(size_t finding) const;
    // The path of a file of the disc by its name; empty for a name the disc has not.
    std::string PathOf(const std::string& name) const;
};

// The tree of a judged disc: each title (in the title search pointers' order), the PGCs its
// chapters play, their cells; then a File entry for each file with findings that none of
// them takes. A stream finding goes to every cell whose sectors hold its offset, an IFO
// finding to the cell, PGC or title whose table entry holds its offset.
std::vector<DiscEntry> BuildDiscEntries(const DiscInspection& d);

// One pass over the disc at path into result (result.disc and its findings); false, with a
// message for the user in error, when path holds no disc.
bool InspectDisc(const std::string& path, InspectResult& result, const std::atomic<bool>& stop,
                 std::atomic<int>& percent, std::string& error);

}  // namespace inspector
