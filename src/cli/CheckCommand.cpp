#include "cli/CheckCommand.h"

#include "checks/StreamChecks.h"
#include "model/CDemuxer.h"
#include "model/StreamStats.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

// One demultiplexer run feeds the statistics and the checks.
class CFanOut : public model::IModelSink
{
public:
    CFanOut(model::IModelSink& a, model::IModelSink& b) : m_a(a), m_b(b) {}
    void OnContainer(model::Container c) override { m_a.OnContainer(c), m_b.OnContainer(c); }
    void OnPack(const model::PackEvent& e) override { m_a.OnPack(e), m_b.OnPack(e); }
    void OnSystemHeader(const model::SystemHeaderEvent& e) override { m_a.OnSystemHeader(e), m_b.OnSystemHeader(e); }
    void OnPes(const model::PesEvent& e) override { m_a.OnPes(e), m_b.OnPes(e); }
    void OnSequence(const model::SequenceEvent& e) override { m_a.OnSequence(e), m_b.OnSequence(e); }
    void OnAccessUnit(const model::AccessUnit& e) override { m_a.OnAccessUnit(e), m_b.OnAccessUnit(e); }
    void OnNavPack(const model::NavPack& e) override { m_a.OnNavPack(e), m_b.OnNavPack(e); }
    void OnResync(const model::ResyncEvent& e) override { m_a.OnResync(e), m_b.OnResync(e); }
    void OnEnd(const model::StreamEnd& e) override { m_a.OnEnd(e), m_b.OnEnd(e); }

private:
    model::IModelSink& m_a;
    model::IModelSink& m_b;
};

std::string Plural(uint64_t n, const char* word)
{
    return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
}

std::string TextReport(const std::string& file, const model::CStreamStats& stats, const checks::StreamChecks& c,
                       bool streams, bool several)
{
    std::string out;
    const std::vector<model::StreamSummary> list = stats.Streams();
    if (streams)
    {
        out = file + ": " + std::to_string(stats.Packs()) + " packs, " + std::to_string(stats.Bytes()) + " bytes";
        if (stats.SkippedBytes())
            out += ", " + std::to_string(stats.SkippedBytes()) + " bytes skipped";
        out += '\n';
        for (const model::StreamSummary& s : list)
            out += "  " + model::StreamLine(s) + '\n';
    }
    else if (several)
        out = file + ":\n";
    for (const checks::Finding& f : c.Log().InFileOrder())
        out += checks::FormatFinding(f) + '\n';
    out += checks::FormatTotals(c.Log()) + " in " + Plural(stats.Packs(), "pack") + ", " +
           Plural(list.size(), "stream") + '\n';
    return out;
}

std::string JsonReport(const std::string& file, const model::CStreamStats& stats, const checks::StreamChecks& c)
{
    std::string out = "{\"file\": ";
    model::AppendJsonString(out, file);
    out += ", \"packs\": " + std::to_string(stats.Packs()) + ", \"bytes\": " + std::to_string(stats.Bytes()) +
           ", \"streams\": [";
    bool first = true;
    for (const model::StreamSummary& s : stats.Streams())
    {
        if (!first)
            out += ", ";
        first = false;
        model::AppendStreamJson(out, s);
    }
    out += "], \"findings\": [";
    first = true;
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
        model::CStreamStats stats;
        checks::StreamChecks c;
        CFanOut fan(stats, c);
        model::CDemuxer demuxer(fan);
        if (!demuxer.Run(input))
        {
            inputs.OpenFailed(input, demuxer.OpenError());
            continue;
        }
        const std::string report = options.json ? JsonReport(input, stats, c)
                                                : TextReport(input, stats, c, options.streams, options.inputs.size() > 1);
        if (!cli::WriteOut(report))
            return 1;
        if (stats.End().readError)
            inputs.ReadError(input);
        errors |= c.Log().Total(checks::Severity::Error) > 0;
    }
    return inputs.Failed() ? 1 : errors ? 3 : 0;
}
