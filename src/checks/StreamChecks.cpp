#include "checks/StreamChecks.h"

#include <algorithm>
#include <bitset>
#include <cinttypes>
#include <cstdlib>
#include <deque>

namespace checks
{

namespace
{

constexpr int64_t kSecond27 = 27000000;
constexpr int64_t kMaxInterval27 = kSecond27 * 7 / 10;  // 0.7 s
constexpr uint32_t kTicksPerByteUnit = 540000;           // 27 MHz ticks per byte at 50 bytes/s

bool IsAudio(model::Kind k)
{
    return k == model::Kind::MpegAudio || k == model::Kind::Ac3 || k == model::Kind::Dts || k == model::Kind::Lpcm;
}
bool IsFramedAudio(model::Kind k)
{
    return k == model::Kind::MpegAudio || k == model::Kind::Ac3 || k == model::Kind::Dts;
}
bool IsTimed(model::Kind k) { return k == model::Kind::Video || IsAudio(k); }

}  // namespace

struct StreamChecks::Stream
{
    model::StreamKey key = model::kNoStream;
    model::Kind kind = model::Kind::Unknown;
    bool listedChecked = false;
    bool boundWarned = false;
    // Timestamps
    bool hasMaxPts = false;
    int64_t maxPts27 = 0;
    uint64_t units = 0;
    int64_t lastDecode27 = 0;
    // Decoder buffer
    enum class Buffer : uint8_t { Undecided, On, Off } buffer = Buffer::Undecided;
    uint32_t bufferSize = 0;
    std::unique_ptr<BufferModel> model;
    // Recent PES payloads, to find the file offset of a stream position.
    struct Piece
    {
        uint64_t esStart;
        uint64_t fileOffset;
        uint32_t size;
        uint32_t pack;
    };
    Piece pieces[16] = {};
    uint32_t pieceCount = 0;
    uint64_t esTotal = 0;
    // Audio frames
    uint64_t prevLastOffset = 0;
    uint32_t prevLastPack = 0;
    int64_t prevEnd27 = 0;
    bool hasCodedPts = false;
    int64_t lastCodedPts27 = 0, durationSince27 = 0;
    // Video
    int64_t fieldPeriod27 = 0;
    bool hasPrevPts = false;
    int64_t prevPts27 = 0;
    struct Picture
    {
        uint16_t temporalReference;
        uint32_t pack;
        uint64_t offset;
        int64_t pts27;
    };
    bool inGroup = false;
    FindingLog::Place groupPlace;
    std::vector<Picture> group;
    bool groupOverflow = false;
    // DVD substream headers waiting for the frames they announce
    struct SubHeader
    {
        uint64_t payloadOffset, payloadEnd, offset;
        uint32_t pack;
        int64_t time27;
        uint8_t frameCount;
        uint16_t firstAccessUnit;
        uint32_t found = 0;
        uint64_t firstFound = 0;
    };
    std::deque<SubHeader> subHeaders;

    bool Locate(uint64_t esPos, uint64_t& fileOffset, uint32_t& pack) const
    {
        for (uint32_t i = 0; i < std::min<uint32_t>(pieceCount, 16); ++i)
        {
            const Piece& p = pieces[i];
            if (esPos >= p.esStart && esPos < p.esStart + p.size)
            {
                fileOffset = p.fileOffset + (esPos - p.esStart);
                pack = p.pack;
                return true;
            }
        }
        return false;
    }
};

StreamChecks::StreamChecks() : m_dvd(m_log) {}
StreamChecks::~StreamChecks() = default;

StreamChecks::Stream& StreamChecks::StreamFor(model::StreamKey key, model::Kind kind)
{
    std::unique_ptr<Stream>& s = m_streams[key];
    if (!s)
    {
        s = std::make_unique<Stream>();
        s->key = key;
        s->kind = kind;
    }
    else if (s->kind == model::Kind::Unknown)
        s->kind = kind;
    return *s;
}

void StreamChecks::OnContainer(model::Container container)
{
    m_container = container;
}

// ---------------------------------------------------------------------------------------
// System layer

void StreamChecks::OnPack(const model::PackEvent& pack)
{
    m_packs = std::max(m_packs, pack.index + 1);
    const FindingLog::Place place{pack.index, pack.offset, model::kNoStream, true, pack.scr27};
    if (m_hasPack)
    {
        const model::PackEvent& prev = m_pack;
        const int64_t step = pack.scr27 - prev.scr27;
        if (step < 0)
            m_log.Report("scr-backwards", Severity::Error, place,
                         [&] { return Format("SCR %.6f s is lower than the previous pack's %.6f s", Seconds27(pack.scr27),
                                Seconds27(prev.scr27)); });
        else
            m_log.Close("scr-backwards", model::kNoStream);

        if (step > kMaxInterval27)
            m_log.Report("scr-interval", Severity::Error, place,
                         [&] { return Format("%.6f s between the SCRs %.6f s and %.6f s", Seconds27(step), Seconds27(prev.scr27),
                                Seconds27(pack.scr27)); });
        else
            m_log.Close("scr-interval", model::kNoStream);

        // The previous pack's last byte arrives at its SCR plus its distance from the SCR
        // byte at its rate; this pack may not start its clock before that. One tick of the
        // SCR's own resolution is allowed (90 kHz in MPEG-1 packs).
        if (step >= 0 && prev.muxRate > 0 && pack.offset > prev.scrByteOffset)
        {
            const int64_t tolerance = prev.mpeg2 ? 1 : 300;
            const __int128 bytes = static_cast<__int128>(pack.offset - 1 - prev.scrByteOffset);
            if (static_cast<__int128>(step + tolerance) * prev.muxRate < bytes * kTicksPerByteUnit)
            {
                const double arrival =
                    Seconds27(prev.scr27) + static_cast<double>(bytes) / (prev.muxRate * 50.0);
                m_log.Report("mux-rate-exceeded", Severity::Error, place,
                             [&] { return Format("SCR %.6f s is before %.6f s, when the previous pack's last byte arrives at "
                                    "program_mux_rate %" PRIu32 " (%" PRIu64 " bytes/s)",
                                    Seconds27(pack.scr27), arrival, prev.muxRate, uint64_t{prev.muxRate} * 50); });
            }
            else
                m_log.Close("mux-rate-exceeded", model::kNoStream);
        }
    }
    if (m_hasSystemHeader && pack.muxRate > m_system.rateBound)
        m_log.Report("system-header-bound", Severity::Warning, place,
                     [&] { return Format("program_mux_rate %" PRIu32 " is above the system header's rate_bound %" PRIu32,
                            pack.muxRate, m_system.rateBound); });
    m_pack = pack;
    m_hasPack = true;
    m_dvd.OnPack(pack);
}

void StreamChecks::OnSystemHeader(const model::SystemHeaderEvent& header)
{
    // VCDs carry one system header per stream in their first packs (each lists only its
    // own stream): the decoder's view is their union.
    if (!m_hasSystemHeader)
    {
        m_system = header;
        m_system.entryCount = 0;
        m_hasSystemHeader = true;
    }
    m_system.rateBound = std::max(m_system.rateBound, header.rateBound);
    m_system.audioBound = std::max(m_system.audioBound, header.audioBound);
    m_system.videoBound = std::max(m_system.videoBound, header.videoBound);
    const uint32_t count = std::min<uint32_t>(header.entryCount, std::size(header.entries));
    for (uint32_t i = 0; i < count; ++i)
    {
        const auto& e = header.entries[i];
        uint32_t j = 0;
        while (j < m_system.entryCount && m_system.entries[j].streamId != e.streamId)
            ++j;
        if (j < std::size(m_system.entries))
        {
            m_system.entries[j] = e;
            m_system.entryCount = std::max(m_system.entryCount, j + 1);
        }
    }
}

uint32_t StreamChecks::SystemBound(uint8_t streamId) const
{
    if (!m_hasSystemHeader)
        return 0;
    uint32_t group = 0;
    for (uint32_t i = 0; i < m_system.entryCount; ++i)
    {
        const auto& e = m_system.entries[i];
        if (e.streamId == streamId)
            return e.bufferBound;
        if ((e.streamId == 0xB8 && streamId >= 0xC0 && streamId <= 0xDF) ||
            (e.streamId == 0xB9 && streamId >= 0xE0 && streamId <= 0xEF))
            group = e.bufferBound;
    }
    return group;
}

void StreamChecks::CheckListed(Stream& s, const model::PesEvent& pes)
{
    const uint8_t id = model::StreamIdOf(pes.stream);
    const FindingLog::Place place{pes.pack, pes.offset, pes.stream, false, 0};
    if (!s.listedChecked)
    {
        s.listedChecked = true;
        bool listed = false;
        for (uint32_t i = 0; i < m_system.entryCount && !listed; ++i)
        {
            const uint8_t e = m_system.entries[i].streamId;
            listed = e == id || (e == 0xB8 && id >= 0xC0 && id <= 0xDF) || (e == 0xB9 && id >= 0xE0 && id <= 0xEF);
        }
        if (!listed)
            m_log.Report("system-header-bound", Severity::Warning, place,
                         [&] { return Format("stream 0x%02X is not listed in the system header", id); }, false);
        const bool audio = id >= 0xC0 && id <= 0xDF, video = id >= 0xE0 && id <= 0xEF;
        if (audio && ++m_audioStreams > m_system.audioBound)
            m_log.Report("system-header-bound", Severity::Warning, place,
                         [&] { return Format("%" PRIu32 " audio streams, the system header's audio_bound is %" PRIu32,
                                m_audioStreams, m_system.audioBound); }, false);
        if (video && ++m_videoStreams > m_system.videoBound)
            m_log.Report("system-header-bound", Severity::Warning, place,
                         [&] { return Format("%" PRIu32 " video streams, the system header's video_bound is %" PRIu32,
                                m_videoStreams, m_system.videoBound); }, false);
    }
    const uint32_t bound = SystemBound(id);
    if (pes.hasPstd && bound > 0 && pes.pstdBufferBytes > bound && !s.boundWarned)
    {
        s.boundWarned = true;
        m_log.Report("system-header-bound", Severity::Warning, place,
                     [&] { return Format("P-STD buffer size %" PRIu32 " bytes is above the system header's bound %" PRIu32
                            " bytes", pes.pstdBufferBytes, bound); }, false);
    }
}

void StreamChecks::OnResync(const model::ResyncEvent& resync)
{
    m_log.Report("sync-lost", Severity::Error,
                 {resync.pack, resync.offset, model::kNoStream, m_hasPack, m_hasPack ? m_pack.scr27 : 0},
                 [&] { return Format("%" PRIu64 " bytes skipped to the next start code", resync.skipped); }, false);
}

// ---------------------------------------------------------------------------------------
// PES packets: timestamps, buffer input, substream headers

void StreamChecks::OnPes(const model::PesEvent& pes)
{
    if (pes.kind == model::Kind::Padding || model::StreamIdOf(pes.stream) == 0xBE)
        return;
    Stream& s = StreamFor(pes.stream, pes.kind);
    if (m_hasSystemHeader)
        CheckListed(s, pes);
    if (IsTimed(s.kind) && m_container == model::Container::ProgramStream)
    {
        CheckPesTimes(s, pes);
        FeedBuffer(s, pes);
    }
    Stream::Piece& piece = s.pieces[s.pieceCount++ % 16];
    piece = {s.esTotal, pes.payloadOffset, pes.payloadSize, pes.pack};
    s.esTotal += pes.payloadSize;

    if (pes.hasSubHeader && (s.kind == model::Kind::Ac3 || s.kind == model::Kind::Dts))
    {
        if (s.subHeaders.size() >= 256)
            s.subHeaders.pop_front();
        Stream::SubHeader h{pes.payloadOffset, pes.payloadOffset + pes.payloadSize, pes.offset, pes.pack,
                            pes.hasPts ? pes.pts27 : 0, pes.frameCount, pes.firstAccessUnit};
        s.subHeaders.push_back(h);
    }
}

void StreamChecks::CheckPesTimes(Stream& s, const model::PesEvent& pes)
{
    if (!pes.hasPts)
        return;
    const FindingLog::Place place{pes.pack, pes.offset, pes.stream, true, pes.pts27};
    if (pes.hasDts && pes.dts27 > pes.pts27)
        m_log.Report("dts-after-pts", Severity::Error, place,
                     [&] { return Format("DTS %.6f s is later than PTS %.6f s", Seconds27(pes.dts27), Seconds27(pes.pts27)); });
    else
        m_log.Close("dts-after-pts", pes.stream);

    if (s.hasMaxPts && std::llabs(pes.pts27 - s.maxPts27) > kMaxInterval27)
        m_log.Report("pts-interval", Severity::Error, place,
                     [&] { return Format("PTS %.6f s is %.6f s from the highest PTS before it, %.6f s", Seconds27(pes.pts27),
                            Seconds27(pes.pts27 - s.maxPts27), Seconds27(s.maxPts27)); });
    else if (s.hasMaxPts)
        m_log.Close("pts-interval", pes.stream);
    s.maxPts27 = s.hasMaxPts ? std::max(s.maxPts27, pes.pts27) : pes.pts27;
    s.hasMaxPts = true;
}

void StreamChecks::FeedBuffer(Stream& s, const model::PesEvent& pes)
{
    if (s.buffer == Stream::Buffer::Undecided)
    {
        s.bufferSize = pes.hasPstd && pes.pstdBufferBytes ? pes.pstdBufferBytes : SystemBound(model::StreamIdOf(pes.stream));
        if (s.bufferSize == 0)
        {
            s.buffer = Stream::Buffer::Off;
            m_log.Report("pstd-size-unknown", Severity::Warning, {pes.pack, pes.offset, pes.stream, false, 0},
                         "no P-STD buffer size in the PES headers or the system header: the buffer is not checked",
                         false);
            return;
        }
        s.buffer = Stream::Buffer::On;
        s.model = std::make_unique<BufferModel>(m_log, pes.stream);
    }
    if (s.buffer != Stream::Buffer::On)
        return;
    if (pes.hasPstd && pes.pstdBufferBytes)
        s.bufferSize = pes.pstdBufferBytes;
    BufferModel::Arrival a;
    a.pack = pes.pack;
    a.fileOffset = pes.payloadOffset;
    a.size = pes.payloadSize;
    a.scr27 = m_pack.scr27;
    a.scrByte = m_pack.scrByteOffset;
    a.muxRate = m_pack.muxRate;
    a.bufferSize = s.bufferSize;
    s.model->AddArrival(a);
}

// ---------------------------------------------------------------------------------------
// Access units

void StreamChecks::OnAccessUnit(const model::AccessUnit& unit)
{
    Stream& s = StreamFor(unit.stream, unit.kind);
    const bool timed = IsTimed(s.kind) && m_container == model::Container::ProgramStream;
    const FindingLog::Place place{unit.pack, unit.offset, unit.stream, true, unit.pts27};
    if (timed)
    {
        if (s.units == 0 && !unit.ptsCoded)
            m_log.Report("timestamp-missing", Severity::Warning, place,
                         "the stream's first access unit has no PTS", false);
        if (s.units > 0 && unit.dts27 <= s.lastDecode27)
            m_log.Report("dts-backwards", Severity::Error, {unit.pack, unit.offset, unit.stream, true, unit.dts27},
                         [&] { return Format("decoding time %.6f s does not follow the previous unit's %.6f s",
                                Seconds27(unit.dts27), Seconds27(s.lastDecode27)); });
        else if (s.units > 0)
            m_log.Close("dts-backwards", unit.stream);
        s.lastDecode27 = unit.dts27;
        if (s.model)
            s.model->AddRemoval({unit.index, unit.esOffset + unit.size, unit.dts27, unit.pack, unit.offset});
    }
    if (IsFramedAudio(s.kind))
        CheckAudioUnit(s, unit);
    else if (s.kind == model::Kind::Video)
    {
        CheckVideoUnit(s, unit);
        if (m_dvdVideo == model::kNoStream)
            m_dvdVideo = unit.stream;
        if (unit.stream == m_dvdVideo)
            m_dvd.OnVideoUnit(unit);
    }
    if (!s.subHeaders.empty())
        CheckSubstreamHeaders(s, &unit);
    ++s.units;
}

void StreamChecks::CheckAudioUnit(Stream& s, const model::AccessUnit& unit)
{
    if (s.units > 0 && unit.skippedBefore > 0)
    {
        // The missing frame should have started where the previous one ended.
        const uint64_t esPos = unit.esOffset - std::min<uint64_t>(unit.skippedBefore, unit.esOffset);
        uint64_t offset = s.prevLastOffset + 1;
        uint32_t pack = s.prevLastPack;
        s.Locate(esPos, offset, pack);
        m_log.Report("audio-frame-gap", Severity::Error, {pack, offset, unit.stream, true, s.prevEnd27},
                     [&] { return Format("no frame where the previous one ends: the next sync word comes %" PRIu32
                            " bytes later",
                            unit.skippedBefore); },
                     false);
    }
    if (unit.ptsCoded && m_container == model::Container::ProgramStream)
    {
        const int64_t expected = s.lastCodedPts27 + s.durationSince27;
        if (s.hasCodedPts && unit.duration27 > 0 && std::llabs(unit.pts27 - expected) > unit.duration27)
            m_log.Report("audio-pts-drift", Severity::Warning, {unit.pack, unit.offset, unit.stream, true, unit.pts27},
                         [&] { return Format("PTS %.6f s, the frames before give %.6f s (%.6f s apart, a frame lasts %.6f s)",
                                Seconds27(unit.pts27), Seconds27(expected), Seconds27(unit.pts27 - expected),
                                Seconds27(unit.duration27)); });
        else if (s.hasCodedPts)
            m_log.Close("audio-pts-drift", unit.stream);
        s.hasCodedPts = true;
        s.lastCodedPts27 = unit.pts27;
        s.durationSince27 = 0;
    }
    s.durationSince27 += unit.duration27;
    s.prevLastOffset = unit.lastOffset;
    s.prevLastPack = unit.lastPack;
    s.prevEnd27 = unit.pts27 + unit.duration27;
}

void StreamChecks::CheckVideoUnit(Stream& s, const model::AccessUnit& unit)
{
    if (unit.gopStart)
    {
        EndGroup(s);
        s.inGroup = true;
        s.groupPlace = {unit.pack, unit.offset, unit.stream, true, unit.pts27};
    }
    if (s.inGroup)
    {
        if (s.group.size() < 1024)
            s.group.push_back({unit.temporalReference, unit.pack, unit.offset, unit.pts27});
        else
            s.groupOverflow = true;
    }

    if (!unit.repeatFirstField && unit.duration27 > 0)
        s.fieldPeriod27 = unit.duration27 / 2;
    if (unit.ptsCoded && m_container == model::Container::ProgramStream)
    {
        if (s.hasPrevPts && s.fieldPeriod27 > 0 && unit.pts27 != s.prevPts27)
        {
            // Coded times are rounded to 90 kHz: allow two ticks.
            const int64_t step = std::llabs(unit.pts27 - s.prevPts27);
            const int64_t rest = step % s.fieldPeriod27;
            if (std::min(rest, s.fieldPeriod27 - rest) > 600)
                m_log.Report("video-pts-step", Severity::Warning, {unit.pack, unit.offset, unit.stream, true, unit.pts27},
                             [&] { return Format("PTS step %.6f s (from %.6f s) is not a whole number of field periods of %.6f s",
                                    Seconds27(unit.pts27 - s.prevPts27), Seconds27(s.prevPts27),
                                    Seconds27(s.fieldPeriod27)); });
            else
                m_log.Close("video-pts-step", unit.stream);
        }
        s.hasPrevPts = true;
        s.prevPts27 = unit.pts27;
    }
}

void StreamChecks::EndGroup(Stream& s)
{
    if (!s.inGroup || s.group.empty() || s.groupOverflow)
    {
        s.group.clear();
        s.groupOverflow = false;
        return;
    }
    const size_t n = s.group.size();
    std::bitset<1024> seen;
    const Stream::Picture* bad = nullptr;
    bool repeated = false;
    for (const Stream::Picture& p : s.group)
    {
        if (p.temporalReference >= n || seen[p.temporalReference])
        {
            bad = &p;
            repeated = p.temporalReference < n;
            break;
        }
        seen[p.temporalReference] = true;
    }
    if (bad)
        m_log.Report("video-temporal-reference", Severity::Error,
                     {bad->pack, bad->offset, s.key, true, bad->pts27},
                     [&] { return Format("temporal_reference %u %s in a group of %zu pictures", bad->temporalReference,
                            repeated ? "repeats" : "is out of range", n); });
    else
        m_log.Close("video-temporal-reference", s.key);
    s.group.clear();
}

void StreamChecks::CheckSubstreamHeaders(Stream& s, const model::AccessUnit* unit)
{
    while (!s.subHeaders.empty() && (!unit || s.subHeaders.front().payloadEnd <= unit->offset))
    {
        const Stream::SubHeader& h = s.subHeaders.front();
        const uint64_t pointer = h.found ? h.firstFound - h.payloadOffset + 1 : 0;
        if (h.found != h.frameCount || (h.found && pointer != h.firstAccessUnit))
            m_log.Report("substream-header", Severity::Error, {h.pack, h.offset, s.key, true, h.time27},
                         [&] { return Format("header: %u frames, first at %u; found: %" PRIu32 " frames, first at %" PRIu64,
                                h.frameCount, h.firstAccessUnit, h.found, pointer); });
        else
            m_log.Close("substream-header", s.key);
        s.subHeaders.pop_front();
    }
    if (!unit)
        return;
    for (Stream::SubHeader& h : s.subHeaders)
    {
        if (unit->offset >= h.payloadOffset && unit->offset < h.payloadEnd)
        {
            if (h.found++ == 0)
                h.firstFound = unit->offset;
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Navigation packs and the end

void StreamChecks::OnNavPack(const model::NavPack& nav)
{
    m_dvd.OnNavPack(nav);
}

void StreamChecks::OnEnd(const model::StreamEnd& end)
{
    m_packs = std::max(m_packs, end.packs);
    m_bytes = end.fileSize;
    for (auto& [key, s] : m_streams)
    {
        if (s->model)
            s->model->Finish();
        // The last group and the last packets' frames may be cut off by the end of the
        // file: they are not judged.
        s->subHeaders.clear();
    }
    m_dvd.OnEnd(end);
}

uint64_t StreamChecks::BufferPeak(model::StreamKey stream) const
{
    const auto it = m_streams.find(stream);
    return it != m_streams.end() && it->second->model ? it->second->model->PeakOccupancy() : 0;
}

}  // namespace checks
