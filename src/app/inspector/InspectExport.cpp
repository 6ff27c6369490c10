#include "app/inspector/InspectExport.h"

#include "model/UnitText.h"
#include "syntax/Mpeg.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace inspector
{

namespace
{

std::string Plural(uint64_t n, const char* word)
{
    return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
}

// A CSV field: quoted when it holds a separator, a quote or a line end.
std::string CsvField(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s)
    {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string StreamsJsonArray(const InspectResult& r)
{
    std::string out = "[";
    for (size_t i = 0; i < r.streams.size(); ++i)
    {
        if (i)
            out += ", ";
        model::AppendStreamJson(out, r.streams[i]);
    }
    return out + "]";
}

std::string FileHeaderJson(const InspectResult& r)
{
    std::string out = "{\"file\": ";
    model::AppendJsonString(out, r.path);
    out += ", \"packs\": " + std::to_string(r.packs.size()) + ", \"bytes\": " + std::to_string(r.fileSize);
    return out;
}

}  // namespace

std::string FindingsReport(const InspectResult& r, ExportFormat format)
{
    std::string out;
    switch (format)
    {
    case ExportFormat::Text:
        for (const checks::Finding& f : r.findings)
            out += checks::FormatFinding(f) + '\n';
        out += Plural(r.errors, "error") + ", " + Plural(r.warnings, "warning") + ", " + Plural(r.infos, "info") +
               " in " + Plural(r.packs.size(), "pack") + ", " + Plural(r.streams.size(), "stream") + '\n';
        break;
    case ExportFormat::Json:
        out = FileHeaderJson(r) + ", \"streams\": " + StreamsJsonArray(r) + ", \"findings\": [";
        for (size_t i = 0; i < r.findings.size(); ++i)
        {
            if (i)
                out += ", ";
            checks::WriteFindingJson(r.findings[i], out);
        }
        out += "], \"errors\": " + std::to_string(r.errors) + ", \"warnings\": " + std::to_string(r.warnings) +
               ", \"infos\": " + std::to_string(r.infos) + "}\n";
        break;
    case ExportFormat::Csv:
        out = "severity,check,pack,offset,stream,time,count,message\n";
        for (const checks::Finding& f : r.findings)
        {
            out += std::string(checks::SeverityName(f.severity)) + ',' + f.check + ',' + std::to_string(f.pack) + ',' +
                   std::to_string(f.offset) + ',' + checks::StreamName(f.stream) + ',' +
                   (f.hasTime ? checks::Format("%.3f", f.time) : std::string()) + ',' + std::to_string(f.count) + ',' +
                   CsvField(f.message) + '\n';
        }
        break;
    }
    return out;
}

std::string StreamsReport(const InspectResult& r, ExportFormat format)
{
    std::string out;
    switch (format)
    {
    case ExportFormat::Text:
        out = r.path + ": " + std::to_string(r.packs.size()) + " packs, " + std::to_string(r.fileSize) + " bytes";
        if (r.skipped)
            out += ", " + std::to_string(r.skipped) + " bytes skipped";
        out += '\n';
        for (const model::StreamSummary& s : r.streams)
            out += "  " + model::StreamLine(s) + '\n';
        break;
    case ExportFormat::Json:
        out = FileHeaderJson(r) + ", \"skipped\": " + std::to_string(r.skipped) + ", \"streams\": " +
              StreamsJsonArray(r) + "}\n";
        break;
    case ExportFormat::Csv:
        out = "stream,kind,codec,units,first_pts,last_pts,duration,bitrate_avg,bitrate_peak,gop\n";
        for (const model::StreamSummary& s : r.streams)
        {
            out += s.StreamText() + ',' + s.KindText() + ',' + CsvField(s.CodecText()) + ',' + std::to_string(s.units) +
                   ',';
            if (s.hasTime)
                out += checks::Format("%.6f,%.6f,%.6f", checks::Seconds27(s.firstPts27), checks::Seconds27(s.lastPts27),
                              s.DurationSeconds());
            else
                out += ",,";
            out += ',' + std::to_string(s.AverageBitsPerSecond()) + ',' + std::to_string(s.PeakBitsPerSecond()) + ',' +
                   s.CommonGop() + '\n';
        }
        break;
    }
    return out;
}

void UnitsReport(const InspectResult& r, ExportFormat format, const std::function<void(const std::string&)>& write)
{
    const bool json = format == ExportFormat::Json;
    std::string out = json ? std::string() : std::string(model::kUnitCsvHeader);
    const bool programStream = r.container == model::Container::ProgramStream;
    for (const auto& series : r.units.Series())
    {
        const model::CUnitSeries& s = *series;
        model::StreamSummary label;
        label.stream = s.Stream();
        label.kind = s.GetKind();
        const std::string name = label.StreamText();
        for (size_t i = 0; i < s.Count(); ++i)
        {
            model::UnitRow row;
            row.stream = name.c_str();
            row.index = i;
            row.kind = s.GetKind();
            row.pictureType = s.GetKind() == model::Kind::Video ? s.PictureType(i) : 0;
            row.offset = s.Offset(i);
            row.pack = programStream ? s.Pack(i) + 1 : 0;
            row.size = s.Size(i);
            const int64_t pts90 = s.Pts90(i), dts90 = s.Dts90(i);
            row.pts = mpeg::Seconds90(pts90);
            row.dts = mpeg::Seconds90(dts90);
            row.derived = (s.Flags(i) & model::CUnitSeries::PtsCoded) == 0;
            row.pts90 = static_cast<uint64_t>(pts90) & mpeg::kMask33;
            row.dts90 = static_cast<uint64_t>(dts90) & mpeg::kMask33;
            model::AppendUnitLine(out, row, json);
            if (out.size() >= (1u << 20))
            {
                write(out);
                out.clear();
            }
        }
    }
    write(out);
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace inspector
