#include "cli/DiscCommand.h"

#include "cli/ModelCommands.h"
#include "disc/DiscCheck.h"
#include "disc/DiscReport.h"
#include "model/Pipeline.h"
#include "model/StreamStats.h"

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
        inputs.OpenFailed(input, disc::kNoDiscReason);
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
    // With --streams, each VOB set's stream list, as --streams gives a file's.
    std::vector<std::unique_ptr<model::CStreamStats>> stats;
    disc::DiscCheckOptions read;
    if (options.streams)
        read.observeSet = [&stats](size_t domain, model::CPipeline& pipeline) -> std::shared_ptr<void> {
            if (stats.size() <= domain)
                stats.resize(domain + 1);
            stats[domain] = std::make_unique<model::CStreamStats>();
            pipeline.Add(*stats[domain]);
            return nullptr;
        };
    const disc::DiscCheckResult result = disc::CheckDisc(files, read);
    std::string lists;
    if (options.streams)
    {
        bool first = true;
        for (const disc::DomainRun& run : result.runs)
        {
            const size_t i = run.domain ? static_cast<size_t>(run.domain - result.disc->domains.data()) : stats.size();
            if (run.files.empty() || i >= stats.size() || !stats[i])
                continue;
            if (options.json)
            {
                lists += first ? "{\"set\": " : ", {\"set\": ";
                first = false;
                model::AppendJsonString(lists, run.domain->name);
                lists += ", \"streams\": ";
                AppendStreamsJson(lists, *stats[i]);
                lists += '}';
                continue;
            }
            std::string name = run.domain->name + " (" + run.files.front().name;
            if (run.files.size() > 1)
                name += " to " + run.files.back().name;
            lists += StreamListText(name + ')', *stats[i], stats[i]->Bytes());
        }
    }
    std::string out = options.json
                          ? disc::CheckJson(result, input, options.streams ? ", \"vob_sets\": [" + lists + "]" : "")
                          : lists + disc::CheckText(result);
    if (!options.json && options.inputs.size() > 1)
        out = input + ":\n" + out;
    if (!cli::WriteOut(out))
        return false;
    for (const std::string& file : result.unreadable)
        inputs.ReadError(file);
    *errors = result.findings.Total(checks::Severity::Error) > 0;
    return true;
}
