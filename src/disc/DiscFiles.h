#pragma once
// Finding a disc's files: a VIDEO_TS folder, a folder that holds one, or the path of its
// VIDEO_TS.IFO or a VTS_nn_0.IFO (or their BUP) names the folder. Names are matched as
// real discs have them, in upper case, and in lower case as some copies have them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace disc
{

// A file of the disc folder: its path, its name as the disc spells it ("VTS_01_1.VOB"),
// and its size when it was listed.
struct DiscFile
{
    std::string path;
    std::string name;
    uint64_t size = 0;
    bool Present() const { return !path.empty(); }
};

struct TitleSetFiles
{
    uint32_t number = 0;            // 1..99
    DiscFile ifo, bup;
    DiscFile menuVob;               // VTS_nn_0.VOB
    std::map<uint32_t, DiscFile> titleVobs;  // VTS_nn_1.VOB .. VTS_nn_9.VOB by their number
};

struct DiscFiles
{
    std::string folder;             // the VIDEO_TS folder
    DiscFile vmgIfo, vmgBup, vmgVob;
    std::map<uint32_t, TitleSetFiles> titleSets;  // every title set some file names
};

// The name a file of the disc would have: "VIDEO_TS.IFO", "VTS_02_0.BUP", "VTS_02_3.VOB".
std::string VmgName(const char* extension);
std::string VtsName(uint32_t vts, uint32_t vob, const char* extension);

// Where a file comes in the disc's order: the manager's IFO, BUP and VOB, then each title
// set's IFO, BUP, menu VOB and title VOBs. Names that are not the disc's come last.
uint32_t DiscFileOrder(const std::string& name);

// Finds the disc at path. False when path is no disc: *error gets the errno of a path
// that cannot be read, or ENOENT where the folder holds no disc's files.
bool FindDisc(const std::string& path, DiscFiles& out, int* error);
// The path names a disc rather than a stream file: a folder, or a VIDEO_TS.IFO or
// VTS_nn_0.IFO (or BUP) file.
bool LooksLikeDisc(const std::string& path);
// Why a folder that exists is no disc, for the open error every front reports.
inline constexpr const char* kNoDiscReason = "no VIDEO_TS.IFO or VTS_nn_0.IFO in it";

}  // namespace disc
