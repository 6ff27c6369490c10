#include "app/inspector/InspectCollector.h"

#include "analysis/CAnalysisDriver.h"
#include "app/inspector/InspectDisc.h"
#include "app/inspector/InspectSource.h"
#include "disc/DiscFiles.h"
#include "syntax/Mpeg.h"

#include <sys/stat.h>

#include <algorithm>

namespace inspector
{

// ---------------------------------------------------------------------------------
// Result
// ---------------------------------------------------------------------------------

int InspectResult::StreamIndex(model::StreamKey key) const
{
    for (size_t i = 0; i < streams.size(); ++i)
        if (streams[i].stream == key)
            return static_cast<int>(i);
    return -1;
}

std::string InspectResult::FindingFile(size_t finding) const
{
    if (finding < findingFiles.size())
        return findingFiles[finding];
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const PlotClock* InspectResult::ClockOf(uint32_t pack) const
{
    const auto it = std::upper_bound(clocks.begin(), clocks.end(), pack,
                                     [](uint32_t p, const PlotClock& c) { return p < c.pack; });
    return it == clocks.begin() ? nullptr : &*(it - 1);
}

double InspectResult::Shift(uint32_t pack) const
{
    const PlotClock* c = ClockOf(pack);
    return c ? c->shift : 0.0;
}

const PlotClock* InspectResult::ClockOfTimeBase(uint32_t timeBase) const
{
    for (const PlotClock& c : clocks)
        if (c.timeBase == timeBase)
            return &c;
    return nullptr;
}

bool InspectResult::StartsClock(uint32_t pack) const
{
    const PlotClock* c = ClockOf(pack);
    return c && c->pack == pack;
}

uint32_t PackColumns::PackAt(uint64_t byteOffset) const
{
    const auto it = std::upper_bound(offset.begin(), offset.end(), byteOffset);
    return it == offset.begin() ? 0 : static_cast<uint32_t>(it - offset.begin() - 1);
}

uint64_t PackColumns::PackLength(uint32_t pack, uint64_t fileSize) const
{
    if (pack >= offset.size())
        return 0;
    const uint64_t end = pack + 1 < offset.size() ? offset[pack + 1] : fileSize;
    return end > offset[pack] ? end - offset[pack] : 0;
}

// ---------------------------------------------------------------------------------
// Collector
// ---------------------------------------------------------------------------------

InspectCollector::InspectCollector(InspectResult& result, model::CPipeline& pipeline, uint64_t fileSize,
                                   std::atomic<int>* percent)
    : m_result(result), m_context(pipeline.Context()), m_nFileSize(fileSize), m_pPercent(percent),
      m_checks(pipeline.Context())
{
    m_checks.SetBufferObserver(this);
    pipeline.Add(m_stats);
    pipeline.Add(m_checks);
    m_result.units.ShowOffsetsOf(&m_context);
    pipeline.Add(m_result.units);
    pipeline.Add(*this);
}

InspectCollector::~InspectCollector() = default;

void InspectCollector::OnContainer(model::Container c)
{
    m_result.container = c;
}

void InspectCollector::OnPack(const model::PackEvent& pack)
{
    // Offsets in the file opened, as the findings give them (a CD-XA file's sectors have
    // headers between their packs).
    const uint64_t offset = m_context.ShownOffset(pack.offset);
    const double scr = mpeg::Seconds27(pack.scr27);
    PackColumns& packs = m_result.packs;
    if (m_bClockPending && !m_result.clocks.empty())
    {
        // The new clock's first pack follows the last pack of the clock before, at the
        // mux rate that pack was sent at.
        m_bClockPending = false;
        double end = m_dShift;
        if (!packs.scr.empty())
        {
            end = packs.scr.back() + m_dShift;
            if (packs.muxRate.back() != 0 && offset > packs.offset.back())
                end += static_cast<double>(offset - packs.offset.back()) / (packs.muxRate.back() * 50.0);
        }
        m_dShift = end - scr;
        m_result.clocks.back().shift = m_dShift;
    }
    packs.offset.push_back(offset);
    packs.scr.push_back(scr);
    m_result.packs.muxRate.push_back(pack.muxRate);
    if (m_pPercent && m_nFileSize && (pack.index & 255) == 0)
        m_pPercent->store(static_cast<int>(std::min<uint64_t>(m_result.packs.offset.back() * 100 / m_nFileSize, 100)),
                          std::memory_order_relaxed);
}

void InspectCollector::OnPes(const model::PesEvent& pes)
{
    if (!pes.hasPts || !model::HasDecoderBuffer(pes.kind))
        return;
    StampColumns& s = m_result.stamps;
    s.stream.push_back(pes.stream);
    s.arrival.push_back(static_cast<float>(m_context.HasPack() ? mpeg::Seconds27(m_context.Arrival27(pes.payloadOffset)) : 0.0));
    s.pts.push_back(static_cast<float>(mpeg::Seconds27(pes.pts27)));
    s.dts.push_back(static_cast<float>(mpeg::Seconds27(pes.hasDts ? pes.dts27 : pes.pts27)));
    s.pack.push_back(pes.pack);
}

void InspectCollector::OnTimeBase(const model::TimeBaseEvent& timeBase)
{
    // The checks come before the collector in the pipeline: the levels of the clock that
    // ends, the drained buffers' among them, are all in.
    for (auto& [key, c] : m_curves)
        c.Flush();
    m_timeBase = timeBase.index;
    m_result.clocks.push_back({timeBase.pack, timeBase.index, m_dShift});
    // The elementary streams' times go on across an SCR that runs back: nothing moves.
    m_bClockPending = timeBase.reason != model::TimeBaseEvent::Reason::ScrBackwards;
}

void InspectCollector::OnLevel(model::StreamKey stream, int64_t time27, uint64_t bytes, uint32_t size)
{
    Curve& c = m_curves[{m_timeBase, stream}];
    BufferCurve& curve = c.curve;
    if (curve.time.empty() && !c.open)
    {
        curve.stream = stream;
        curve.timeBase = m_timeBase;
    }
    const float seconds = static_cast<float>(mpeg::Seconds27(time27));
    if (size != 0 && (curve.sizeBytes.empty() || curve.sizeBytes.back() != size))
    {
        curve.sizeTime.push_back(curve.sizeTime.empty() ? seconds : std::max(seconds, curve.sizeTime.back()));
        curve.sizeBytes.push_back(size);
    }
    const uint32_t level = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
    const int64_t slice = time27 >= 0 ? time27 / kSlice27 : (time27 + 1) / kSlice27 - 1;
    if (c.open && slice != c.slice)
        c.Flush();
    if (!c.open)
    {
        c.open = true;
        c.slice = slice;
        c.seq = 0;
        c.low = c.high = c.last = {time27, level, 0};
        return;
    }
    const Curve::Point p{time27, level, ++c.seq};
    if (p.bytes < c.low.bytes)
        c.low = p;
    if (p.bytes > c.high.bytes)
        c.high = p;
    c.last = p;
}

void InspectCollector::Curve::Flush()
{
    if (!open)
        return;
    open = false;
    // The slice's lowest, highest and last levels in the order they came: the curve keeps
    // its envelope and ends each slice where the buffer really stood.
    Point points[3] = {low, high, last};
    std::sort(points, points + 3, [](const Point& a, const Point& b) { return a.seq < b.seq; });
    for (int i = 0; i < 3; ++i)
    {
        if (i > 0 && points[i].seq == points[i - 1].seq)
            continue;
        // Levels come in time order; a pack whose SCR comes early must not turn the time
        // axis back.
        const float t = static_cast<float>(mpeg::Seconds27(points[i].time27));
        curve.time.push_back(curve.time.empty() ? t : std::max(t, curve.time.back()));
        curve.bytes.push_back(points[i].bytes);
    }
}

void InspectCollector::OnEnd(const model::StreamEnd& end)
{
    m_result.fileSize = m_context.ShownOffset(end.fileSize);
    m_result.readError = end.readError;
    m_result.stopped = end.stopped;
    m_result.skipped = m_stats.SkippedBytes();
    m_result.streams = m_stats.Streams();
    const checks::FindingLog& log = m_checks.Log();
    m_result.findings = log.Findings();
    m_result.errors = log.Total(checks::Severity::Error);
    m_result.warnings = log.Total(checks::Severity::Warning);
    m_result.infos = log.Total(checks::Severity::Info);
    for (auto& [key, c] : m_curves)
    {
        c.Flush();
        if (!c.curve.time.empty())
            m_result.buffers.push_back(std::move(c.curve));
    }
    m_curves.clear();
}

// ---------------------------------------------------------------------------------
// The model's source
// ---------------------------------------------------------------------------------

namespace
{
class ModelSource : public IInspectSource
{
public:
    bool Inspect(const std::string& path, InspectResult& result, const std::atomic<bool>& stop,
                 std::atomic<int>& percent, std::string& error) override
    {
        // A folder, or the path of a disc's IFO, is a DVD-Video disc.
        if (disc::LooksLikeDisc(path))
            return InspectDisc(path, result, stop, percent, error);
        struct stat st;
        const uint64_t size = ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
        model::CPipeline pipeline;
        InspectCollector collector(result, pipeline, size, &percent);
        pipeline.Demuxer().SetStopFlag(&stop);
        if (!pipeline.Run(path))
        {
            error = std::string(CAnalysisDriver::kOpenErrorText) + ": " + path + ": " +
                    CAnalysisDriver::OpenErrorReason(pipeline.OpenError());
            return false;
        }
        return true;
    }
};
}  // namespace

std::unique_ptr<IInspectSource> MakeModelSource()
{
    return std::make_unique<ModelSource>();
}

}  // namespace inspector
