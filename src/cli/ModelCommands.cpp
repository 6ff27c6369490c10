#include "cli/ModelCommands.h"

#include "model/Pipeline.h"
#include "model/StreamStats.h"
#include "syntax/Mpeg.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

// Access units straight to the output, nothing kept.
class CUnitPrinter : public model::IModelSink
{
public:
    explicit CUnitPrinter(bool json) : m_json(json)
    {
        if (!json)
            std::fputs("stream,index,type,offset,pack,size,pts,dts,derived,pts_90k,dts_90k\n", stdout);
    }

    void OnEnd(const model::StreamEnd& end) override { m_readError = end.readError; }
    bool ReadError() const { return m_readError; }

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
    bool m_readError = false;
    model::StreamKey m_lastStream = model::kNoStream;
    std::string m_streamText;
};

bool PrintStreams(const std::string& file, const model::CStreamStats& stats, bool json)
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
    return cli::WriteOut(out);
}

}  // namespace

int RunModelCommand(const cli::Options& options, cli::InputReporter& inputs)
{
    for (const std::string& input : options.inputs)
    {
        bool opened, readError;
        int openError = 0;
        if (options.mode == cli::Mode::Units)
        {
            CUnitPrinter printer(options.json);
            model::CPipeline pipeline;
            pipeline.Add(printer);
            opened = pipeline.Run(input);
            openError = pipeline.OpenError();
            readError = printer.ReadError();
            if (opened && !cli::WriteOut(std::string()))
                return 1;
        }
        else
        {
            model::CStreamStats stats;
            model::CPipeline pipeline;
            pipeline.Add(stats);
            opened = pipeline.Run(input);
            openError = pipeline.OpenError();
            readError = stats.End().readError;
            if (opened && !PrintStreams(input, stats, options.json))
                return 1;
        }
        if (!opened)
            inputs.OpenFailed(input, openError);
        else if (readError)
            inputs.ReadError(input);
    }
    return inputs.Failed() ? 1 : 0;
}
