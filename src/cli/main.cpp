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
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
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

}  // namespace

int main(int argc, char** argv)
{
    if (IsCheckCommand(argc, argv))
        return RunCheckCommand(argc, argv);
    if (IsModelCommand(argc, argv))
        return RunModelCommand(argc, argv);

    uint32_t maxPacks = 100;
    bool json = false;
    bool summary = false;
    bool byLength = false;
    const char* savePath = nullptr;
    const char* input = nullptr;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--packs")
        {
            if (i + 1 >= argc || !ParseCount(argv[++i], maxPacks))
                return Usage("--packs needs a count from 0 to 4294967295");
        }
        else if (arg == "--all")
            maxPacks = 0;
        else if (arg == "--json")
            json = true;
        else if (arg == "--summary")
            summary = true;
        else if (arg == "--by-length")
            byLength = true;
        else if (arg == "--save")
        {
            if (i + 1 >= argc)
                return Usage("--save needs a file name");
            savePath = argv[++i];
        }
        else if (arg == "--help" || arg == "-h")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        else if (arg == "--" && i + 1 == argc - 1)
            input = argv[++i];
        else if (!arg.empty() && arg[0] == '-')
            return Usage(("unknown option " + arg).c_str());
        else if (input)
            return Usage("only one input file");
        else
            input = argv[i];
    }
    if (!input || !*input)
        return Usage("no input file");

    CResultTree tree;
    CliHost host;
    CAnalysisDriver driver(tree, host);
    driver.SetFollowPacketLengths(byLength);
    const CAnalysisDriver::Outcome outcome = driver.Analyze(input, maxPacks);
    if (outcome == CAnalysisDriver::Outcome::OpenFailed || outcome == CAnalysisDriver::Outcome::NotStarted)
        return 1;

    int status = outcome == CAnalysisDriver::Outcome::ReadError || outcome == CAnalysisDriver::Outcome::TreeFull ? 1 : 0;
    if (!PrintRun(driver, summary, json))
    {
        std::fprintf(stderr, "varnodel-cli: cannot write the output\n");
        status = 1;
    }

    if (savePath)
    {
        const AnalysisFile::SaveResult result =
            AnalysisFile::Save(driver.Records(), savePath);
        if (result != AnalysisFile::SaveResult::Ok)
        {
            std::fprintf(stderr, "%s\n", AnalysisFile::MessageFor(result, savePath).c_str());
            status = 1;
        }
    }
    return status;
}
