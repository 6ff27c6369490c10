#include "app/inspector/InspectCollector.h"

#include "app/inspector/InspectSource.h"
#include "model/CDemuxer.h"

#include <sys/stat.h>

#include <algorithm>

namespace inspector
{

namespace
{
constexpr double k27MHz = 27e6;

bool HasDecoderBuffer(model::Kind kind)
{
    switch (kind)
    {
    case model::Kind::Video:
    case model::Kind::MpegAudio:
    case model::Kind::Ac3:
    case model::Kind::Dts:
    case model::Kind::Lpcm:
    case model::Kind::Subpicture:
        return true;
    default:
        return false;
    }
}
}  // namespace

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

InspectCollector::InspectCollector(InspectResult& result, uint64_t fileSize, std::atomic<int>* percent)
    : m_result(result), m_nFileSize(fileSize), m_pPercent(percent)
{
}

InspectCollector::~InspectCollector() = default;

void InspectCollector::OnContainer(model::Container c)
{
    m_result.container = c;
    m_stats.OnContainer(c);
    m_checks.OnContainer(c);
}

double InspectCollector::ArrivalOf(uint64_t byteOffset) const
{
    if (!m_havePack)
        return 0;
    double t = static_cast<double>(m_scr27) / k27MHz;
    if (m_muxRate != 0)
        t += (static_cast<double>(byteOffset) - static_cast<double>(m_scrByte)) / (m_muxRate * 50.0);
    return t;
}

void InspectCollector::OnPack(const model::PackEvent& pack)
{
    m_stats.OnPack(pack);
    m_checks.OnPack(pack);
    m_havePack = true;
    m_scr27 = pack.scr27;
    m_scrByte = pack.scrByteOffset;
    m_muxRate = pack.muxRate;
    m_result.packs.offset.push_back(pack.offset);
    m_result.packs.scr.push_back(static_cast<double>(pack.scr27) / k27MHz);
    m_result.packs.muxRate.push_back(pack.muxRate);
    if (m_pPercent && m_nFileSize && (pack.index & 255) == 0)
        m_pPercent->store(static_cast<int>(std::min<uint64_t>(pack.offset * 100 / m_nFileSize, 100)),
                          std::memory_order_relaxed);
}

void InspectCollector::OnSystemHeader(const model::SystemHeaderEvent& header)
{
    m_stats.OnSystemHeader(header);
    m_checks.OnSystemHeader(header);
    m_system = header;
    m_haveSystem = true;
}

uint32_t InspectCollector::SystemBound(uint8_t streamId) const
{
    if (!m_haveSystem)
        return 0;
    const uint8_t group = streamId >= 0xC0 && streamId <= 0xDF ? 0xB8 : streamId >= 0xE0 && streamId <= 0xEF ? 0xB9 : 0;
    uint32_t bound = 0;
    for (uint32_t i = 0; i < m_system.entryCount && i < 64; ++i)
    {
        if (m_system.entries[i].streamId == streamId)
            return m_system.entries[i].bufferBound;
        if (group != 0 && m_system.entries[i].streamId == group)
            bound = m_system.entries[i].bufferBound;
    }
    return bound;
}

InspectCollector::Buffer& InspectCollector::BufferFor(model::StreamKey key)
{
    return m_buffers[key];
}

void InspectCollector::OnPes(const model::PesEvent& pes)
{
    m_stats.OnPes(pes);
    m_checks.OnPes(pes);
    if (pes.stream == model::kNoStream || !HasDecoderBuffer(pes.kind))
        return;
    if (pes.hasPts)
    {
        StampColumns& s = m_result.stamps;
        s.stream.push_back(pes.stream);
        s.arrival.push_back(static_cast<float>(ArrivalOf(pes.payloadOffset)));
        s.pts.push_back(static_cast<float>(pes.pts27 / k27MHz));
        s.dts.push_back(static_cast<float>((pes.hasDts ? pes.dts27 : pes.pts27) / k27MHz));
        s.pack.push_back(pes.pack);
    }
    if (!m_havePack)
        return;
    Buffer& b = BufferFor(pes.stream);
    const auto start = static_cast<float>(ArrivalOf(pes.payloadOffset));
    const uint32_t size = pes.hasPstd ? pes.pstdBufferBytes : b.sizes.empty() ? SystemBound(model::StreamIdOf(pes.stream)) : b.sizes.back().bytes;
    if (size != 0 && (b.sizes.empty() || b.sizes.back().bytes != size))
        b.sizes.push_back({start, size});
    if (pes.payloadSize != 0)
        b.arrivals.push_back({static_cast<float>(ArrivalOf(pes.payloadOffset + pes.payloadSize)), pes.payloadSize});
}

void InspectCollector::OnSequence(const model::SequenceEvent& seq)
{
    m_stats.OnSequence(seq);
    m_checks.OnSequence(seq);
}

void InspectCollector::OnAccessUnit(const model::AccessUnit& unit)
{
    m_stats.OnAccessUnit(unit);
    m_checks.OnAccessUnit(unit);
    m_result.units.OnAccessUnit(unit);
    if (!unit.timed)
        return;
    if (const auto found = m_buffers.find(unit.stream); found != m_buffers.end())
        found->second.removals.push_back({static_cast<float>(unit.dts27 / k27MHz), unit.size});
}

void InspectCollector::OnNavPack(const model::NavPack& nav)
{
    m_stats.OnNavPack(nav);
    m_checks.OnNavPack(nav);
}

void InspectCollector::OnResync(const model::ResyncEvent& resync)
{
    m_stats.OnResync(resync);
    m_checks.OnResync(resync);
}

void InspectCollector::OnEnd(const model::StreamEnd& end)
{
    m_stats.OnEnd(end);
    m_checks.OnEnd(end);
    m_result.fileSize = end.fileSize;
    m_result.readError = end.readError;
    m_result.stopped = end.stopped;
    m_result.skipped = m_stats.SkippedBytes();
    m_result.streams = m_stats.Streams();
    const checks::FindingLog& log = m_checks.Log();
    m_result.findings = log.Findings();
    m_result.errors = log.Total(checks::Severity::Error);
    m_result.warnings = log.Total(checks::Severity::Warning);
    m_result.infos = log.Total(checks::Severity::Info);
    FinishBuffers();
}

void InspectCollector::FinishBuffers()
{
    // Arrivals come in file order; removals in coded order, which is decoding order:
    // both are close to sorted, and a stable sort keeps the rare exceptions in place.
    for (auto& [key, b] : m_buffers)
    {
        if (b.arrivals.empty())
            continue;
        auto byTime = [](const Step& x, const Step& y) { return x.time < y.time; };
        std::stable_sort(b.arrivals.begin(), b.arrivals.end(), byTime);
        std::stable_sort(b.removals.begin(), b.removals.end(), byTime);
        BufferCurve curve;
        curve.stream = key;
        int64_t occupancy = 0;
        size_t i = 0, j = 0;
        while (i < b.arrivals.size() || j < b.removals.size())
        {
            // A unit leaves before bytes that arrive at the same instant come in.
            const bool arrive = j == b.removals.size() ||
                                (i < b.arrivals.size() && b.arrivals[i].time < b.removals[j].time);
            const Step& s = arrive ? b.arrivals[i++] : b.removals[j++];
            occupancy += arrive ? int64_t{s.bytes} : -int64_t{s.bytes};
            curve.time.push_back(s.time);
            curve.bytes.push_back(static_cast<uint32_t>(std::max<int64_t>(occupancy, 0)));
        }
        for (const Step& s : b.sizes)
        {
            curve.sizeTime.push_back(s.time);
            curve.sizeBytes.push_back(s.bytes);
        }
        m_result.buffers.push_back(std::move(curve));
        b = Buffer();
    }
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
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        {
            error = "Cannot open input file " + path;
            return false;
        }
        InspectCollector collector(result, static_cast<uint64_t>(st.st_size), &percent);
        model::CDemuxer demuxer(collector);
        demuxer.SetStopFlag(&stop);
        if (!demuxer.Run(path))
        {
            error = "Cannot open input file " + path;
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
