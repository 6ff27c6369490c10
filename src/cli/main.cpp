// varnodel-cli: the headless front.
//
//   varnodel-cli [--packs N | --all] [--json] [--summary] [--save FILE.aaf] [--scan-bytes] INPUT
//   varnodel-cli --streams | --units [--json] INPUT...   (ModelCommands.cpp)
//   varnodel-cli --check [--streams] [--json] INPUT...  (CheckCommand.cpp)
//   varnodel-cli --list-checks [--json]                 (CheckCommand.cpp)
//   varnodel-cli --disc [--json] DIR...                 (DiscCommand.cpp)
//
// Options.cpp reads the command line for every mode; Inputs.cpp tells of inputs that
// cannot be read the same way in every mode.

#include "aaf/AnalysisFile.h"
#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "cli/CheckCommand.h"
#include "cli/DiscCommand.h"
#include "cli/Inputs.h"
#include "cli/ModelCommands.h"
#include "cli/Options.h"

#include <cstdio>
#include <string>

namespace
{

// The driver's message boxes on stderr, open and read errors through the reporter.
class CliHost : public IAnalysisHost
{
public:
    CliHost(cli::InputReporter& inputs, const std::string& input) : m_inputs(inputs), m_input(input) {}
    const CAnalysisDriver* driver = nullptr;

    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        if (text == CAnalysisDriver::kOpenErrorText)
            m_inputs.OpenFailed(m_input, driver ? driver->OpenError() : 0);
        else if (text == CAnalysisDriver::kReadErrorText)
            m_inputs.ReadError(m_input);
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    }

private:
    cli::InputReporter& m_inputs;
    std::string m_input;
};

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

int RunTree(const cli::Options& o, cli::InputReporter& inputs)
{
    const std::string& input = o.inputs.front();
    CResultTree tree;
    CliHost host(inputs, input);
    CAnalysisDriver driver(tree, host);
    host.driver = &driver;
    driver.SetFollowPacketLengths(o.walk != cli::TreeWalk::ScanBytes);
    const CAnalysisDriver::Outcome outcome = driver.Analyze(input, o.maxPacks);
    if (outcome == CAnalysisDriver::Outcome::OpenFailed || outcome == CAnalysisDriver::Outcome::NotStarted)
        return 1;

    int status = outcome == CAnalysisDriver::Outcome::ReadError || outcome == CAnalysisDriver::Outcome::TreeFull ? 1 : 0;
    if (!PrintRun(driver, o.summary, o.json))
    {
        std::fprintf(stderr, "varnodel-cli: cannot write the output\n");
        status = 1;
    }
    if (o.save)
    {
        const AnalysisFile::SaveResult result = AnalysisFile::Save(driver.Records(), o.savePath);
        if (result != AnalysisFile::SaveResult::Ok)
        {
            std::fprintf(stderr, "%s\n", AnalysisFile::MessageFor(result, o.savePath).c_str());
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    cli::Options options;
    if (const int status = cli::ParseOptions(argc, argv, options); status >= 0)
        return status;
    cli::InputReporter inputs;
    switch (options.mode)
    {
    case cli::Mode::Tree: return RunTree(options, inputs);
    case cli::Mode::Streams:
    case cli::Mode::Units: return RunModelCommand(options, inputs);
    case cli::Mode::Check: return RunCheckCommand(options, inputs);
    case cli::Mode::ListChecks: return RunListChecks(options);
    case cli::Mode::Disc: return RunDiscCommand(options, inputs);
    }
    return 2;
}
