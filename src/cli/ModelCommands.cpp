#include "cli/ModelCommands.h"

#include "model/Pipeline.h"
#include "model/StreamStats.h"
#include "model/UnitText.h"
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
    CUnitPrinter(bool json, const model::CStreamContext& context) : m_json(json), m_context(context)
    {
        if (!json)
            std::fputs(model::kUnitCsvHeader, stdout);
    }

    void OnContainer(model::Container c) override { m_programStream = c == model::Container::ProgramStream; }
    void OnEnd(const model::StreamEnd& end) override
    {
        m_readError = end.readError;
        Flush();
    }
    bool ReadError() const { return m_readError; }

    void OnAccessUnit(const model::AccessUnit& u) override
    {
        if (u.stream != m_lastStream)
        {
            model::StreamSummary label;
            label.stream = u.stream;
            label.kind = u.kind;
            m_lastStream = u.stream;
            m_streamText = label.StreamText();
        }
        model::UnitRow row;
        row.stream = m_streamText.c_str();
        row.index = u.index;
        row.kind = u.kind;
        row.pictureType = u.pictureType;
        row.offset = m_context.ShownOffset(u.offset);
        row.pack = m_programStream ? u.pack + 1 : 0;
        row.size = u.size;
        row.pts = mpeg::Seconds27(u.pts27);
        row.dts = mpeg::Seconds27(u.dts27);
        row.derived = !u.ptsCoded;
        row.pts90 = u.pts;
        row.dts90 = u.dts;
        model::AppendUnitLine(m_out, row, m_json);
        if (m_out.size() >= (1u << 16))
            Flush();
    }

private:
    void Flush()
    {
        std::fwrite(m_out.data(), 1, m_out.size(), stdout);
        m_out.clear();
    }

    bool m_json;
    const model::CStreamContext& m_context;
    bool m_programStream = true;
    bool m_readError = false;
    model::StreamKey m_lastStream = model::kNoStream;
    std::string m_streamText;
    std::string m_out;
};

}  // namespace

std::string StreamListText(const std::string& file, const model::CStreamStats& stats, uint64_t bytes)
{
    std::string out = file + ": " + std::to_string(stats.Packs()) + " packs, " + std::to_string(bytes) + " bytes";
    if (stats.SkippedBytes())
        out += ", " + std::to_string(stats.SkippedBytes()) + " bytes skipped";
    out += '\n';
    for (const model::StreamSummary& s : stats.Streams())
        out += "  " + model::StreamLine(s) + '\n';
    return out;
}

void AppendStreamsJson(std::string& out, const model::CStreamStats& stats)
{
    out += '[';
    bool first = true;
    for (const model::StreamSummary& s : stats.Streams())
    {
        if (!first)
            out += ", ";
        first = false;
        model::AppendStreamJson(out, s);
    }
    out += ']';
}

namespace
{

bool PrintStreams(const std::string& file, const model::CStreamStats& stats, uint64_t bytes, bool json)
{
    if (!json)
        return cli::WriteOut(StreamListText(file, stats, bytes));
    std::string out = "{\"file\": ";
    model::AppendJsonString(out, file);
    out += ", \"packs\": " + std::to_string(stats.Packs()) + ", \"bytes\": " + std::to_string(bytes) +
           ", \"skipped\": " + std::to_string(stats.SkippedBytes()) + ", \"streams\": ";
    AppendStreamsJson(out, stats);
    out += "}\n";
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
            model::CPipeline pipeline;
            CUnitPrinter printer(options.json, pipeline.Context());
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
            if (opened && !PrintStreams(input, stats, pipeline.Context().ShownOffset(stats.Bytes()), options.json))
                return 1;
        }
        if (!opened)
            inputs.OpenFailed(input, openError);
        else if (readError)
            inputs.ReadError(input);
    }
    return inputs.Failed() ? 1 : 0;
}
