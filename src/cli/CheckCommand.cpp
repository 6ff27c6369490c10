#include "cli/CheckCommand.h"

#include "cli/ModelCommands.h"

#include "checks/Rules.h"
#include "checks/StreamChecks.h"
#include "cli/DiscCommand.h"
#include "model/Pipeline.h"
#include "model/StreamStats.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

std::string Plural(uint64_t n, const char* word)
{
    return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
}

std::string TextReport(const std::string& file, const model::CStreamStats& stats, uint64_t bytes,
                       const checks::StreamChecks& c, bool streams, bool several)
{
    std::string out;
    const std::vector<model::StreamSummary> list = stats.Streams();
    if (streams)
        out = StreamListText(file, stats, bytes);
    else if (several)
        out = file + ":\n";
    for (const checks::Finding& f : c.Log().InFileOrder())
        out += checks::FormatFinding(f) + '\n';
    out += checks::FormatTotals(c.Log()) + " in " + Plural(stats.Packs(), "pack") + ", " +
           Plural(list.size(), "stream") + '\n';
    return out;
}

std::string JsonReport(const std::string& file, const model::CStreamStats& stats, uint64_t bytes,
                       const checks::StreamChecks& c)
{
    std::string out = "{\"file\": ";
    model::AppendJsonString(out, file);
    out += ", \"packs\": " + std::to_string(stats.Packs()) + ", \"bytes\": " + std::to_string(bytes) +
           ", \"streams\": ";
    AppendStreamsJson(out, stats);
    out += ", \"findings\": [";
    bool first = true;
    for (const checks::Finding& f : c.Log().InFileOrder())
    {
        if (!first)
            out += ", ";
        first = false;
        checks::WriteFindingJson(f, out);
    }
    const checks::FindingLog& log = c.Log();
    out += "], \"errors\": " + std::to_string(log.Total(checks::Severity::Error)) +
           ", \"warnings\": " + std::to_string(log.Total(checks::Severity::Warning)) +
           ", \"infos\": " + std::to_string(log.Total(checks::Severity::Info)) + "}\n";
    return out;
}

}  // namespace

int RunCheckCommand(const cli::Options& options, cli::InputReporter& inputs)
{
    bool errors = false;
    for (const std::string& input : options.inputs)
    {
        if (IsDiscInput(input))
        {
            bool discErrors = false;
            if (!CheckDiscInput(input, options, inputs, &discErrors))
                return 1;
            errors |= discErrors;
            continue;
        }
        model::CPipeline pipeline;
        model::CStreamStats stats;
        checks::StreamChecks c(pipeline.Context());
        pipeline.Add(stats);
        pipeline.Add(c);
        if (!pipeline.Run(input))
        {
            inputs.OpenFailed(input, pipeline.OpenError());
            continue;
        }
        const uint64_t bytes = pipeline.Context().ShownOffset(stats.Bytes());
        const std::string report = options.json ? JsonReport(input, stats, bytes, c)
                                                : TextReport(input, stats, bytes, c, options.streams,
                                                             options.inputs.size() > 1);
        if (!cli::WriteOut(report))
            return 1;
        if (stats.End().readError)
            inputs.ReadError(input);
        errors |= c.Log().Total(checks::Severity::Error) > 0;
    }
    return inputs.Failed() ? 1 : errors ? 3 : 0;
}

int RunListChecks(const cli::Options& options)
{
    return cli::WriteOut(checks::ListRules(options.json)) ? 0 : 1;
}
