#include "cli/DiscCommand.h"

#include "disc/DiscCheck.h"
#include "disc/DiscReport.h"

#include <cerrno>

namespace
{

// Finds the disc; tells the reporter where there is none.
bool Find(const std::string& input, disc::DiscFiles& files, cli::InputReporter& inputs)
{
    int error = 0;
    if (disc::FindDisc(input, files, &error))
        return true;
    // A folder that exists but holds no disc says so, rather than "no such file".
    if (error == ENOENT && disc::LooksLikeDisc(input))
        inputs.OpenFailed(input, "no VIDEO_TS.IFO or VTS_nn_0.IFO in it");
    else
        inputs.OpenFailed(input, error);
    return false;
}

}  // namespace

bool IsDiscInput(const std::string& input) { return disc::LooksLikeDisc(input); }

int RunDiscCommand(const cli::Options& options, cli::InputReporter& inputs)
{
    for (const std::string& input : options.inputs)
    {
        disc::DiscFiles files;
        if (!Find(input, files, inputs))
            continue;
        disc::DiscCheckOptions read;
        read.readVobs = false;
        const disc::DiscCheckResult result = disc::CheckDisc(files, read);
        const std::string out = options.json ? disc::SummaryJson(*result.disc, input)
                                             : disc::SummaryText(*result.disc, input);
        if (!cli::WriteOut(out))
            return 1;
    }
    return inputs.Failed() ? 1 : 0;
}

bool CheckDiscInput(const std::string& input, const cli::Options& options, cli::InputReporter& inputs, bool* errors)
{
    *errors = false;
    disc::DiscFiles files;
    if (!Find(input, files, inputs))
        return true;
    const disc::DiscCheckResult result = disc::CheckDisc(files);
    std::string out = options.json ? disc::CheckJson(result, input) : disc::CheckText(result);
    if (!options.json && options.inputs.size() > 1)
        out = input + ":\n" + out;
    if (!cli::WriteOut(out))
        return false;
    for (const std::string& file : result.unreadable)
        inputs.ReadError(file);
    *errors = result.findings.Total(checks::Severity::Error) > 0;
    return true;
}
