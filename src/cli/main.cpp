// varnodel-cli: the headless front. Analyses one file and prints the result tree.
//
//   varnodel-cli [--packs N | --all] [--json] [--summary] [--save FILE.aaf] [--by-length] INPUT
//   varnodel-cli --streams | --units [--json] INPUT...   (ModelCommands.cpp)
//   varnodel-cli --check [--streams] [--json] INPUT...  (CheckCommand.cpp)

#include "aaf/AnalysisFile.h"
#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "cli/CheckCommand.h"
#include "cli/ModelCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

const char kUsage[] =
    "usage: varnodel-cli [--packs N | --all] [--json] [--summary] [--save FILE.aaf] [--by-length] INPUT\n"
    "  --packs N   analyse N packs (default 100; 0 = the whole file)\n"
    "  --all       analyse the whole file\n"
    "  --json      print the tree as JSON instead of indented text\n"
    "  --summary   print only a summary (lines, packs, start codes, bytes)\n"
    "  --save FILE write the analysis file of the run to FILE\n"
    "  --by-length walk program streams by their pack and packet lengths\n";

int Usage(const char* problem)
{
    if (problem)
        std::fprintf(stderr, "varnodel-cli: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

class CliHost : public IAnalysisHost
{
public:
    const CAnalysisDriver* driver = nullptr;
    std::string input;

    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        // "Cannot open input file" goes on with the name and the reason.
        if (driver && text == CAnalysisDriver::kOpenErrorText)
            std::fprintf(stderr, "%s: %s: %s\n", text.c_str(), input.c_str(),
                         CAnalysisDriver::OpenErrorReason(driver->OpenError()).c_str());
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    }
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

// The summary, or the whole tree as text or JSON, on stdout; false when it could not be written.
bool PrintRun(CAnalysisDriver& driver, bool summary, bool json)
{
    const CResultTree& tree = driver.Tree();
    if (!summary)
        return json ? WriteTreeJson(tree, stdout) : WriteTreeText(tree, stdout);
    return std::printf("lines %u\npacks %u\nstart codes %llu\nbytes %llu\n", tree.Count(), driver.PackCount(),
                       static_cast<unsigned long long>(driver.StartCodeCount()),
                       static_cast<unsigned long long>(driver.BytesConsumed()))
        > 0 && std::fflush(stdout) == 0;
}

// The tree command's options; a usage error, --help or a missing input ends main with
// the returned status, anything else leaves it at -1.
struct TreeOptions
{
    uint32_t maxPacks = 100;
    bool json = false;
    bool summary = false;
    bool byLength = false;
    const char* savePath = nullptr;
    const char* input = nullptr;
};

int ParseTreeOptions(int argc, char** argv, TreeOptions& o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--packs")
        {
            if (i + 1 >= argc || !ParseCount(argv[++i], o.maxPacks))
                return Usage("--packs needs a count from 0 to 4294967295");
        }
        else if (arg == "--all")
            o.maxPacks = 0;
        else if (arg == "--json")
            o.json = true;
        else if (arg == "--summary")
            o.summary = true;
        else if (arg == "--by-length")
            o.byLength = true;
        else if (arg == "--save")
        {
            if (i + 1 >= argc)
                return Usage("--save needs a file name");
            o.savePath = argv[++i];
        }
        else if (arg == "--help" || arg == "-h")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        else if (arg == "--" && i + 1 == argc - 1)
            o.input = argv[++i];
        else if (!arg.empty() && arg[0] == '-')
            return Usage(("unknown option " + arg).c_str());
        else if (o.input)
            return Usage("only one input file");
        else
            o.input = argv[i];
    }
    if (!o.input || !*o.input)
        return Usage("no input file");
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (IsCheckCommand(argc, argv))
        return RunCheckCommand(argc, argv);
    if (IsModelCommand(argc, argv))
        return RunModelCommand(argc, argv);

    TreeOptions o;
    if (const int status = ParseTreeOptions(argc, argv, o); status >= 0)
        return status;
    const char* input = o.input;

    CResultTree tree;
    CliHost host;
    CAnalysisDriver driver(tree, host);
    host.driver = &driver;
    host.input = input;
    driver.SetFollowPacketLengths(o.byLength);
    const CAnalysisDriver::Outcome outcome = driver.Analyze(input, o.maxPacks);
    if (outcome == CAnalysisDriver::Outcome::OpenFailed || outcome == CAnalysisDriver::Outcome::NotStarted)
        return 1;

    int status = outcome == CAnalysisDriver::Outcome::ReadError || outcome == CAnalysisDriver::Outcome::TreeFull ? 1 : 0;
    if (!PrintRun(driver, o.summary, o.json))
    {
        std::fprintf(stderr, "varnodel-cli: cannot write the output\n");
        status = 1;
    }

    if (o.savePath)
    {
        const AnalysisFile::SaveResult result =
            AnalysisFile::Save(driver.Records(), o.savePath);
        if (result != AnalysisFile::SaveResult::Ok)
        {
            std::fprintf(stderr, "%s\n", AnalysisFile::MessageFor(result, o.savePath).c_str());
            status = 1;
        }
    }
    return status;
}
