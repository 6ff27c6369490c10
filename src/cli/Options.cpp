#include "cli/Options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cli
{

namespace
{

#define TREE_LINE "usage: varnodel-cli [--packs N | --all] [--json] [--summary] [--save FILE.aaf] [--scan-bytes] INPUT\n"
#define STREAMS_LINE "       varnodel-cli --streams [--json] INPUT...\n"
#define UNITS_LINE "       varnodel-cli --units [--json] INPUT\n"
#define CHECK_LINE "       varnodel-cli --check [--streams] [--json] INPUT...\n"
#define LIST_LINE "       varnodel-cli --list-checks [--json]\n"
#define DISC_LINE "       varnodel-cli --disc [--json] DIR...\n"

#define TREE_OPTIONS                                                                      \
    "  --packs N     analyse N packs (default 100; 0 = the whole file)\n"                  \
    "  --all         analyse the whole file\n"                                              \
    "  --json        print the tree as JSON instead of indented text\n"                     \
    "  --summary     print only a summary (lines, packs, start codes, bytes)\n"             \
    "  --save FILE   write the analysis file of the run to FILE\n"                          \
    "  --by-length   walk program streams by their pack and packet lengths (the default)\n" \
    "  --scan-bytes  find start codes byte by byte through the whole file, payloads too\n"
#define MODEL_OPTIONS                                                                     \
    "  --streams     one line per elementary stream: units, times, bit rates, properties\n" \
    "  --units       every access unit as CSV (JSON lines with --json)\n"
#define CHECK_OPTIONS                                                                     \
    "  --check       judge each file: timing, decoder buffers, elementary streams, DVD\n"   \
    "                rules; one line per finding, then a summary line\n"                    \
    "  --streams     also list the elementary streams\n"                                    \
    "  --json        one JSON object per file, one line each\n"                             \
    "  an INPUT that is a folder (VIDEO_TS or one holding it), VIDEO_TS.IFO or\n"          \
    "  VTS_nn_0.IFO is a DVD-Video disc, judged as one: IFOs, BUPs and VOB sets\n"        \
    "  exit status: 0 no error found, 3 errors found, 1 an input could not be read\n"
#define LIST_OPTIONS                                                                      \
    "  --list-checks every check: its id, severity and what it judges (a JSON array\n"      \
    "                with --json)\n"
#define DISC_OPTIONS                                                                      \
    "  --disc        the disc's titles, chapters and cells, and each title set's\n"         \
    "                streams, from its IFO files\n"                                          \
    "  --json        one JSON object per disc, one line each\n"

const char kTreeUsage[] = TREE_LINE TREE_OPTIONS;
const char kModelUsage[] = "usage: varnodel-cli --streams [--json] INPUT...\n" UNITS_LINE MODEL_OPTIONS;
const char kCheckUsage[] = "usage: varnodel-cli --check [--streams] [--json] INPUT...\n" CHECK_OPTIONS;
const char kListUsage[] = "usage: varnodel-cli --list-checks [--json]\n" LIST_OPTIONS;
const char kDiscUsage[] = "usage: varnodel-cli --disc [--json] DIR...\n" DISC_OPTIONS;
const char kFullUsage[] = TREE_LINE STREAMS_LINE UNITS_LINE CHECK_LINE LIST_LINE DISC_LINE
    "The tree of one file:\n" TREE_OPTIONS
    "The stream model:\n" MODEL_OPTIONS
    "The checks:\n" CHECK_OPTIONS LIST_OPTIONS
    "A DVD-Video disc:\n" DISC_OPTIONS
    "Every mode:\n"
    "  --            every argument after it is an input\n"
    "  --help        this text; with a mode, that mode's usage\n";

// The options, and which modes take them.
enum Flag : uint8_t
{
    kTree = 1 << 0,
    kStreams = 1 << 1,
    kUnits = 1 << 2,
    kCheck = 1 << 3,
    kList = 1 << 4,
    kDisc = 1 << 5,
    kAny = kTree | kStreams | kUnits | kCheck | kList | kDisc,
};

uint8_t FlagOf(Mode mode)
{
    switch (mode)
    {
    case Mode::Tree: return kTree;
    case Mode::Streams: return kStreams;
    case Mode::Units: return kUnits;
    case Mode::Check: return kCheck;
    case Mode::ListChecks: return kList;
    case Mode::Disc: return kDisc;
    }
    return kTree;
}

const char* ModeName(Mode mode)
{
    switch (mode)
    {
    case Mode::Tree: return "the tree";
    case Mode::Streams: return "--streams";
    case Mode::Units: return "--units";
    case Mode::Check: return "--check";
    case Mode::ListChecks: return "--list-checks";
    case Mode::Disc: return "--disc";
    }
    return "";
}

struct Spec
{
    const char* name;
    uint8_t modes;  // modes the option goes with
};
const Spec kSpecs[] = {
    {"--packs", kTree}, {"--all", kTree},        {"--summary", kTree}, {"--save", kTree},
    {"--scan-bytes", kTree}, {"--by-length", kTree}, {"--json", kAny},  {"--streams", kStreams | kCheck},
    {"--units", kUnits}, {"--check", kCheck}, {"--list-checks", kList},
    {"--disc", kDisc},
};

bool ParseCount(const char* text, uint32_t& value)
{
    if (!text || !*text || *text == '-')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

int UsageError(Mode mode, const std::string& problem)
{
    std::fprintf(stderr, "varnodel-cli: %s\n", problem.c_str());
    std::fputs(mode == Mode::Tree ? kFullUsage : UsageOf(mode), stderr);
    return 2;
}

}  // namespace

const char* UsageOf(Mode mode)
{
    switch (mode)
    {
    case Mode::Tree: return kTreeUsage;
    case Mode::Streams:
    case Mode::Units: return kModelUsage;
    case Mode::Check: return kCheckUsage;
    case Mode::ListChecks: return kListUsage;
    case Mode::Disc: return kDiscUsage;
    }
    return kFullUsage;
}

const char* FullUsage() { return kFullUsage; }

int ParseOptions(int argc, const char* const* argv, Options& o)
{
    o = Options();
    // First the mode, so that every problem is told with the usage of the mode asked for.
    bool units = false, streams = false, check = false, list = false, disc = false, help = false;
    for (int i = 1; i < argc; ++i)
    {
        const char* a = argv[i];
        if (!std::strcmp(a, "--"))
            break;
        units |= !std::strcmp(a, "--units");
        streams |= !std::strcmp(a, "--streams");
        check |= !std::strcmp(a, "--check");
        list |= !std::strcmp(a, "--list-checks");
        disc |= !std::strcmp(a, "--disc");
        help |= !std::strcmp(a, "--help") || !std::strcmp(a, "-h");
        // The value of --packs or --save is not an option.
        if ((!std::strcmp(a, "--packs") || !std::strcmp(a, "--save")) && i + 1 < argc)
            ++i;
    }
    o.mode = list ? Mode::ListChecks
           : check ? Mode::Check
           : units ? Mode::Units
           : streams ? Mode::Streams
           : disc ? Mode::Disc
                  : Mode::Tree;
    if (help)
    {
        const bool modeAsked = list || check || units || streams || disc;
        std::fputs(modeAsked ? UsageOf(o.mode) : kFullUsage, stdout);
        return 0;
    }
    if (list && (check || units || streams))
        return UsageError(o.mode, "--list-checks takes no other mode");
    if (units && (streams || check))
        return UsageError(o.mode, streams ? "--streams and --units exclude each other"
                                          : "--check and --units exclude each other");
    if (disc && (check || units || streams))
        return UsageError(o.mode, std::string(check ? "--check" : units ? "--units" : "--streams") +
                                      " and --disc exclude each other");
    o.streams = check && streams;

    const uint8_t flag = FlagOf(o.mode);
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--")
        {
            o.inputs.insert(o.inputs.end(), argv + i + 1, argv + argc);
            break;
        }
        if (arg.size() < 2 || arg[0] != '-')
        {
            o.inputs.push_back(arg);
            continue;
        }
        const Spec* spec = nullptr;
        for (const Spec& s : kSpecs)
            if (arg == s.name)
                spec = &s;
        if (!spec)
            return UsageError(o.mode, "unknown option " + arg);
        if (!(spec->modes & flag))
            return UsageError(o.mode, arg + " does not go with " + ModeName(o.mode));
        if (arg == "--packs")
        {
            if (i + 1 >= argc || !ParseCount(argv[++i], o.maxPacks))
                return UsageError(o.mode, "--packs needs a count from 0 to 4294967295");
        }
        else if (arg == "--all")
            o.maxPacks = 0;
        else if (arg == "--summary")
            o.summary = true;
        else if (arg == "--save")
        {
            if (i + 1 >= argc)
                return UsageError(o.mode, "--save needs a file name");
            o.savePath = argv[++i];
            o.save = true;
        }
        else if (arg == "--scan-bytes" || arg == "--by-length")
        {
            const TreeWalk walk = arg == "--scan-bytes" ? TreeWalk::ScanBytes : TreeWalk::ByLength;
            if (o.walk != TreeWalk::Default && o.walk != walk)
                return UsageError(o.mode, "--scan-bytes and --by-length exclude each other");
            o.walk = walk;
        }
        else if (arg == "--json")
            o.json = true;
    }
    if (o.mode == Mode::ListChecks)
        return o.inputs.empty() ? -1 : UsageError(o.mode, "--list-checks takes no input file");
    for (const std::string& input : o.inputs)
        if (input.empty())
            return UsageError(o.mode, "an empty input file name");
    if (o.inputs.empty())
        return UsageError(o.mode, "no input file");
    if (o.mode == Mode::Tree && o.inputs.size() > 1)
        return UsageError(o.mode, "only one input file");
    if (o.mode == Mode::Units && o.inputs.size() > 1)
        return UsageError(o.mode, "--units takes one input file");
    return -1;
}

}  // namespace cli
