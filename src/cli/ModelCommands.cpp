#include "cli/ModelCommands.h"

#include "model/CDemuxer.h"
#include "model/StreamStats.h"
#include "syntax/Mpeg.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char kModelUsage[] =
    "usage: varnodel-cli --streams [--json] INPUT...\n"
    "       varnodel-cli --units [--json] INPUT\n"
    "  --streams   one line per elementary stream: units, times, bit rates, properties\n"
    "  --units     every access unit as CSV (JSON lines with --json)\n";

int ModelUsage(const char* problem)
{
    std::fprintf(stderr, "varnodel-cli: %s\n", problem);
    std::fputs(kModelUsage, stderr);
    return 2;
}

// Access units straight to the output, nothing kept.
class CUnitPrinter : public model::IModelSink
{
public:
    explicit CUnitPrinter(bool json) : m_json(json)
    {
        if (!json)
            std::fputs("stream,index,type,offset,pack,size,pts,dts,derived,pts_90k,dts_90k\n", stdout);
    }

    void OnAccessUnit(const model::AccessUnit& u) override
    {
        model::StreamSummary label;
        label.stream = u.stream;
        label.kind = u.kind;
        if (u.stream != m_lastStream)
        {
            m_lastStream = u.stream;
            m_streamText = label.StreamText();
        }
        const char* type = TypeText(u);
        const double pts = mpeg::Seconds27(u.pts27);
        const double dts = mpeg::Seconds27(u.dts27);
        const int derived = u.ptsCoded ? 0 : 1;
        if (m_json)
            std::printf("{\"stream\": \"%s\", \"index\": %" PRIu64 ", \"type\": \"%s\", \"offset\": %" PRIu64
                        ", \"pack\": %u, \"size\": %u, \"pts\": %.6f, \"dts\": %.6f, \"derived\": %s, "
                        "\"pts_90k\": %" PRIu64 ", \"dts_90k\": %" PRIu64 "}\n",
                        m_streamText.c_str(), u.index, type, u.offset, u.pack, u.size, pts, dts,
                        derived ? "true" : "false", u.pts, u.dts);
        else
            std::printf("%s,%" PRIu64 ",%s,%" PRIu64 ",%u,%u,%.6f,%.6f,%d,%" PRIu64 ",%" PRIu64 "\n",
                        m_streamText.c_str(), u.index, type, u.offset, u.pack, u.size, pts, dts, derived, u.pts,
                        u.dts);
    }

private:
    static const char* TypeText(const model::AccessUnit& u)
    {
        switch (u.kind)
        {
        case model::Kind::Video:
        {
            static const char* const kTypes[8] = {"?", "I", "P", "B", "D", "?", "?", "?"};
            return kTypes[u.pictureType & 7];
        }
        case model::Kind::MpegAudio:
            return "mpa";
        case model::Kind::Ac3:
            return "ac3";
        case model::Kind::Dts:
            return "dts";
        case model::Kind::Lpcm:
            return "lpcm";
        case model::Kind::Subpicture:
            return "spu";
        default:
            return "?";
        }
    }

    bool m_json;
    model::StreamKey m_lastStream = model::kNoStream;
    std::string m_streamText;
};

void PrintStreams(const std::string& file, const model::CStreamStats& stats, bool json)
{
    std::string out;
    if (json)
    {
        out = "{\"file\": ";
        model::AppendJsonString(out, file);
        out += ", \"packs\": " + std::to_string(stats.Packs()) + ", \"bytes\": " + std::to_string(stats.Bytes())
            + ", \"skipped\": " + std::to_string(stats.SkippedBytes()) + ", \"streams\": [";
        bool first = true;
        for (const model::StreamSummary& s : stats.Streams())
        {
            if (!first)
                out += ", ";
            first = false;
            model::AppendStreamJson(out, s);
        }
        out += "]}\n";
    }
    else
    {
        out = file + ": " + std::to_string(stats.Packs()) + " packs, " + std::to_string(stats.Bytes()) + " bytes";
        if (stats.SkippedBytes())
            out += ", " + std::to_string(stats.SkippedBytes()) + " bytes skipped";
        out += '\n';
        for (const model::StreamSummary& s : stats.Streams())
            out += "  " + model::StreamLine(s) + '\n';
    }
    std::fputs(out.c_str(), stdout);
}

}  // namespace

bool IsModelCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--streams") || !std::strcmp(argv[i], "--units"))
            return true;
    return false;
}

int RunModelCommand(int argc, char** argv)
{
    bool streams = false, units = false, json = false;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--streams")
            streams = true;
        else if (arg == "--units")
            units = true;
        else if (arg == "--json")
            json = true;
        else if (!arg.empty() && arg[0] == '-')
            return ModelUsage(("unknown option " + arg).c_str());
        else
            inputs.push_back(arg);
    }
    if (streams && units)
        return ModelUsage("--streams and --units exclude each other");
    if (inputs.empty())
        return ModelUsage("no input file");
    if (units && inputs.size() > 1)
        return ModelUsage("--units takes one input file");

    int status = 0;
    for (const std::string& input : inputs)
    {
        bool opened;
        bool readError;
        if (units)
        {
            CUnitPrinter printer(json);
            model::CDemuxer demuxer(printer);
            opened = demuxer.Run(input);
            readError = false;
        }
        else
        {
            model::CStreamStats stats;
            model::CDemuxer demuxer(stats);
            opened = demuxer.Run(input);
            readError = stats.End().readError;
            if (opened)
                PrintStreams(input, stats, json);
        }
        if (!opened)
        {
            std::fprintf(stderr, "Cannot open input file: %s\n", input.c_str());
            status = 1;
        }
        else if (readError)
        {
            std::fprintf(stderr, "Read error in input file: %s\n", input.c_str());
            status = 1;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
    {
        std::fprintf(stderr, "varnodel-cli: cannot write the output\n");
        status = 1;
    }
    return status;
}
