#pragma once
// The command line of varnodel-cli, read once for every mode: which mode, its options, its
// inputs. Every mode reads "--" the same way (all that follows is an input), and every
// mode has its usage text; --help prints them all, MODE --help that mode's.

#include <cstdint>
#include <string>
#include <vector>

namespace cli
{

enum class Mode : uint8_t
{
    Tree,     // the result tree (no mode option)
    Streams,  // --streams
    Units,    // --units
    Check,    // --check
    ListChecks,  // --list-checks: the rules the checks judge by
    Disc,     // --disc
};

// How the tree walks a program stream.
enum class TreeWalk : uint8_t
{
    Default,
    ScanBytes,  // --scan-bytes: start code by start code, byte by byte
    ByLength,   // --by-length: pack by pack and packet by packet
};

struct Options
{
    Mode mode = Mode::Tree;
    bool json = false;
    // The tree.
    uint32_t maxPacks = 100;  // 0: the whole file
    bool summary = false;
    TreeWalk walk = TreeWalk::Default;
    std::string savePath;
    bool save = false;
    // --check: the stream list as well.
    bool streams = false;
    std::vector<std::string> inputs;
};

// Reads argv into o. Returns -1 when the mode is to run; otherwise the exit status, the
// usage printed: 0 after --help (on stdout), 2 after a usage error (on stderr, with the
// problem in a line before it).
int ParseOptions(int argc, const char* const* argv, Options& o);

// The usage text of a mode, or of them all.
const char* UsageOf(Mode mode);
const char* FullUsage();

}  // namespace cli
