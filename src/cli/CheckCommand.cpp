#include "cli/CheckCommand.h"

#include "checks/StreamChecks.h"
#include "model/CDemuxer.h"
#include "model/StreamStats.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char kCheckUsage[] =
    "usage: varnodel-cli --check [--streams] [--json] INPUT...\n"
    "  --check     judge each file: timing, decoder buffers, elementary streams, DVD rules;\n"
    "              one line per finding, then a summary line\n"
    "  --streams   also list the elementary streams\n"
    "  --json      one JSON object per file, one line each\n"
    "  exit status: 0 no error found, 3 errors found, 1 an input could not be read\n";

int CheckUsage(const char* problem)
{
    std::fprintf(stderr, "varnodel-cli: %s\n", problem);
    std::fputs(kCheckUsage, stderr);
    return 2;
}

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

bool IsCheckCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--check"))
            return true;
    return false;
}

int RunCheckCommand(int argc, char** argv)
{
    bool streams = false, json = false;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--check")
            continue;
        if (arg == "--streams")
            streams = true;
        else if (arg == "--json")
            json = true;
        else if (arg == "--")
        {
            inputs.insert(inputs.end(), argv + i + 1, argv + argc);
            break;
        }
        else if (!arg.empty() && arg[0] == '-')
            return CheckUsage(("unknown option " + arg).c_str());
        else
            inputs.push_back(arg);
    }
    if (inputs.empty())
        return CheckUsage("no input file");

    bool unreadable = false, errors = false;
    for (const std::string& input : inputs)
    {
        model::CStreamStats stats;
        checks::StreamChecks c;
        CFanOut fan(stats, c);
        model::CDemuxer demuxer(fan);
        if (!demuxer.Run(input))
        {
            std::fprintf(stderr, "Cannot open input file %s\n", input.c_str());
            unreadable = true;
            continue;
        }
        const std::string report = json ? JsonReport(input, stats, c) : TextReport(input, stats, c, streams, inputs.size() > 1);
        if (std::fputs(report.c_str(), stdout) < 0 || std::fflush(stdout) != 0)
        {
            std::fprintf(stderr, "varnodel-cli: cannot write the output\n");
            return 1;
        }
        if (stats.End().readError)
        {
            std::fprintf(stderr, "Read error in input file %s\n", input.c_str());
            unreadable = true;
        }
        errors |= c.Log().Total(checks::Severity::Error) > 0;
    }
    return unreadable ? 1 : errors ? 3 : 0;
}
