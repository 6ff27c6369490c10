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

using Reason = model::TimeBaseEvent::Reason;

constexpr int64_t kMaxInterval27 = mpeg::kClock27 * 7 / 10;  // 0.7 s
// PES time stamps that pts-interval found out of line, remembered until their units come.
constexpr uint32_t kMaxOutliers = 8;

}  // namespace

struct StreamChecks::Stream
{
    model::StreamKey key = model::kNoStream;
    model::Kind kind = model::Kind::Unknown;
    uint64_t units = 0;
    // The time base: units that start before baseEs belong to the last one.
    uint64_t baseEs = 0;
    uint64_t baseUnits = 0;      // units begun in the time base
    // System header
    bool listedChecked = false;
    bool boundWarned = false;
    // Timestamps
    bool hasMaxPts = false;
    int64_t maxPts27 = 0;
    bool hasLastDecode = false;
    int64_t lastDecode27 = 0, lastDuration27 = 0;
    // Coded PTS values (33 bits) out of line with the stream, and the shift that puts the
    // last coded time on the stream's own clock (0 unless it was out of line).
    uint64_t outliers[kMaxOutliers] = {};
    uint32_t outlierCount = 0;
    int64_t shift27 = 0;
    // Decoder buffer
    enum class Buffer : uint8_t { Undecided, On, Off } buffer = Buffer::Undecided;
    uint32_t bufferSize = 0;
    std::unique_ptr<BufferModel> model;
    uint64_t peak = 0;           // of the models of earlier time bases
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
        bool hasTime;
        int64_t pts27;
    };
    bool inGroup = false;
    std::vector<Picture> group;
    bool groupOverflow = false;
    bool groupLimitWarned = false;
    // DVD substream headers waiting for the frames they announce
    struct SubHeader
    {
        uint64_t payloadOffset, payloadEnd, offset;
        uint32_t pack;
        bool hasTime;
        int64_t time27;
        uint8_t frameCount;
        uint16_t firstAccessUnit;
        uint32_t found = 0;
        uint64_t firstFound = 0;
    };
    std::deque<SubHeader> subHeaders;
    bool subHeaderLimitWarned = false;

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
    bool IsOutlier(uint64_t pts) const
    {
        for (uint32_t i = 0; i < std::min(outlierCount, kMaxOutliers); ++i)
            if (outliers[i] == pts)
                return true;
        return false;
    }
    uint64_t Peak() const { return std::max(peak, model ? model->PeakOccupancy() : 0); }
};

StreamChecks::StreamChecks(const model::CStreamContext& context) : m_context(context), m_dvd(m_log)
{
    m_log.SetContext(&context);
}
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

FindingLog::Place StreamChecks::PlaceOf(uint32_t pack, uint64_t offset, model::StreamKey stream, bool hasTime,
                                        int64_t time27) const
{
    // Streams without a system layer have no packs to name.
    return {m_context.IsProgramStream() && m_context.HasPack() ? pack : FindingLog::kNoPack, offset, stream, hasTime,
            time27};
}

// ---------------------------------------------------------------------------------------
// System layer

void StreamChecks::OnPack(const model::PackEvent& pack)
{
    m_packs = std::max(m_packs, pack.index + 1);
    CheckSystemLayer(pack);
    m_prevPack = pack;
    m_hasPrevPack = true;
    m_dvd.OnPack(pack);
}

void StreamChecks::CheckSystemLayer(const model::PackEvent& pack)
{
    const FindingLog::Place place = PlaceOf(pack.index, pack.offset, model::kNoStream, true, pack.scr27);
    if (m_hasPrevPack)
    {
        const model::PackEvent& prev = m_prevPack;
        const int64_t step = pack.scr27 - prev.scr27;
        // The demultiplexer starts a new time base where an SCR runs back; events made
        // elsewhere may not.
        m_log.Judge(rules::kScrBackwards, step < 0, place, [&] {
            return Format("SCR %.6f s is lower than the previous pack's %.6f s", Seconds27(pack.scr27),
                          Seconds27(prev.scr27));
        });
        m_log.Judge(rules::kScrInterval, step > kMaxInterval27, place, [&] {
            return Format("%.6f s between the SCRs %.6f s and %.6f s", Seconds27(step), Seconds27(prev.scr27),
                          Seconds27(pack.scr27));
        });

        // The previous pack's last byte arrives at its SCR plus its distance from the SCR
        // byte at its rate; this pack may not start its clock before that, by more than
        // one tick of the clock the SCRs are written in. Compared exactly: a byte may
        // arrive between two ticks.
        if (step >= 0 && prev.muxRate > 0 && pack.offset > prev.scrByteOffset)
        {
            const int64_t tolerance = m_context.ScrTick27();
            const __int128 bytes = static_cast<__int128>(pack.offset - 1 - prev.scrByteOffset);
            const bool early =
                static_cast<__int128>(step + tolerance) * prev.muxRate < bytes * mpeg::kTicksPerByteUnit;
            m_log.Judge(rules::kMuxRateExceeded, early, place, [&] {
                const int64_t arrival = model::ArrivalTime27(prev.scr27, prev.scrByteOffset, prev.muxRate, pack.offset - 1);
                return Format("SCR %.6f s is before %.6f s, when the previous pack's last byte arrives at "
                              "program_mux_rate %" PRIu32 " (%" PRIu64 " bytes/s)",
                              Seconds27(pack.scr27), Seconds27(arrival), prev.muxRate,
                              uint64_t{prev.muxRate} * mpeg::kMuxRateUnit);
            });
            // The SCRs set the clock; the rate only spreads a pack's bytes between them.
            // So the previous pack's bytes arrive by this SCR (all at once where the SCRs
            // are equal), and the buffers do not report each late byte as a fault again.
            if (early)
            {
                const __int128 need = bytes * mpeg::kTicksPerByteUnit;
                const __int128 rate = step > 0 ? (need + step - 1) / step : 0;
                FlushArrivals(true, static_cast<uint32_t>(std::min<__int128>(rate, UINT32_MAX)));
            }
        }
    }
    FlushArrivals(false, 0);
    if (m_context.HasSystemHeader())
    {
        const uint32_t rateBound = m_context.SystemHeader().rateBound;
        m_log.Judge(rules::kSystemHeaderBound, pack.muxRate > rateBound, place, [&] {
            return Format("program_mux_rate %" PRIu32 " is above the system header's rate_bound %" PRIu32,
                          pack.muxRate, rateBound);
        });
    }
}

void StreamChecks::CheckListed(Stream& s, const model::PesEvent& pes)
{
    const uint8_t id = model::StreamIdOf(pes.stream);
    const FindingLog::Place place = PlaceOf(pes.pack, pes.offset, pes.stream, false, 0);
    const model::SystemHeaderEvent& system = m_context.SystemHeader();
    if (!s.listedChecked)
    {
        s.listedChecked = true;
        if (!m_context.Listed(id))
            m_log.Note(rules::kSystemHeaderBound, place,
                       [&] { return Format("stream 0x%02X is not listed in the system header", id); });
        if (mpeg::IsAudioStream(id) && ++m_audioStreams > system.audioBound)
            m_log.Note(rules::kSystemHeaderBound, place, [&] {
                return Format("%" PRIu32 " audio streams, the system header's audio_bound is %" PRIu32, m_audioStreams,
                              system.audioBound);
            });
        if (mpeg::IsVideoStream(id) && ++m_videoStreams > system.videoBound)
            m_log.Note(rules::kSystemHeaderBound, place, [&] {
                return Format("%" PRIu32 " video streams, the system header's video_bound is %" PRIu32, m_videoStreams,
                              system.videoBound);
            });
    }
    const uint32_t bound = m_context.BufferBound(id);
    if (pes.hasPstd && bound > 0 && pes.pstdBufferBytes > bound && !s.boundWarned)
    {
        s.boundWarned = true;
        m_log.Note(rules::kSystemHeaderBound, place, [&] {
            return Format("P-STD buffer size %" PRIu32 " bytes is above the system header's bound %" PRIu32 " bytes",
                          pes.pstdBufferBytes, bound);
        });
    }
}

void StreamChecks::OnResync(const model::ResyncEvent& resync)
{
    const bool scr = m_context.HasPack();
    m_log.Report(rules::kSyncLost,
                 PlaceOf(resync.pack, resync.offset, model::kNoStream, scr, scr ? m_context.Pack().scr27 : 0),
                 [&] { return Format("%" PRIu64 " bytes skipped to the next start code", resync.skipped); });
}

// ---------------------------------------------------------------------------------------
// Time bases

void StreamChecks::OnTimeBase(const model::TimeBaseEvent& t)
{
    // What the old clock still owes is judged on it: the last VOBUs of a VOB, the bytes
    // still in the buffers.
    m_dvd.OnTimeBase(t);
    FlushArrivals(false, 0);
    // A new program or VOB brings its own buffer sizes and system header; an SCR that
    // only runs back is still the same stream.
    const bool newStream = t.reason != Reason::ScrBackwards;
    for (auto& [key, sp] : m_streams)
    {
        Stream& s = *sp;
        EndBuffer(s);
        if (newStream || s.bufferSize == 0)
        {
            if (newStream || s.buffer != Stream::Buffer::Off)
                s.buffer = Stream::Buffer::Undecided;
            s.bufferSize = 0;
        }
        if (newStream)
            s.listedChecked = s.boundWarned = false;
        // The last group and the last packets' frames before the boundary may have been
        // cut short by it: they are not judged.
        EndGroup(s, false);
        s.inGroup = false;
        s.subHeaders.clear();
        s.baseEs = s.esTotal;
        s.baseUnits = 0;
        s.hasMaxPts = s.hasLastDecode = s.hasCodedPts = s.hasPrevPts = false;
        s.outlierCount = 0;
        s.shift27 = 0;
    }
    if (newStream)
        m_audioStreams = m_videoStreams = 0;
    ReportTimeBase(t);
    m_log.CloseAll();
    m_hasPrevPack = false;
}

void StreamChecks::ReportTimeBase(const model::TimeBaseEvent& t)
{
    const FindingLog::Place place = PlaceOf(t.pack, t.offset, model::kNoStream, true, t.scr27);
    switch (t.reason)
    {
    case Reason::ScrBackwards:
        m_log.Report(rules::kScrBackwards, place, [&] {
            return Format("SCR %.6f s is lower than the previous pack's %.6f s", Seconds27(t.scr27),
                          Seconds27(t.previousScr27));
        });
        break;
    case Reason::ProgramEnd:
        m_log.Report(rules::kTimeBase, place, [&] {
            return Format("a new program stream after an MPEG_program_end_code, SCR %.6f s (the last was %.6f s)",
                          Seconds27(t.scr27), Seconds27(t.previousScr27));
        });
        break;
    case Reason::VobChange:
        m_log.Report(rules::kTimeBase, place, [&] {
            return Format("VOB %u follows VOB %u: a clock of its own, SCR %.6f s (the last was %.6f s)", t.vobId,
                          t.previousVobId, Seconds27(t.scr27), Seconds27(t.previousScr27));
        });
        break;
    }
}

// ---------------------------------------------------------------------------------------
// PES packets: timestamps, buffer input, substream headers

void StreamChecks::OnPes(const model::PesEvent& pes)
{
    const uint8_t id = model::StreamIdOf(pes.stream);
    if (pes.kind == model::Kind::Padding || !model::NeedsListing(id))
        return;
    Stream& s = StreamFor(pes.stream, pes.kind);
    if (m_context.HasSystemHeader())
        CheckListed(s, pes);
    if (model::IsTimed(s.kind) && m_context.IsProgramStream())
    {
        CheckPesTimes(s, pes);
        FeedBuffer(s, pes);
    }
    Stream::Piece& piece = s.pieces[s.pieceCount++ % 16];
    piece = {s.esTotal, pes.payloadOffset, pes.payloadSize, pes.pack};
    s.esTotal += pes.payloadSize;
    if (pes.hasSubHeader && (s.kind == model::Kind::Ac3 || s.kind == model::Kind::Dts))
        KeepSubHeader(s, pes);
}

void StreamChecks::CheckPesTimes(Stream& s, const model::PesEvent& pes)
{
    if (!pes.hasPts)
        return;
    const FindingLog::Place place = PlaceOf(pes.pack, pes.offset, pes.stream, true, pes.pts27);
    m_log.Judge(rules::kDtsAfterPts, pes.hasDts && pes.dts27 > pes.pts27, place, [&] {
        return Format("DTS %.6f s is later than PTS %.6f s", Seconds27(pes.dts27), Seconds27(pes.pts27));
    });
    if (s.hasMaxPts)
    {
        const bool jump = std::llabs(pes.pts27 - s.maxPts27) > kMaxInterval27;
        m_log.Judge(rules::kPtsInterval, jump, place, [&] {
            return Format("PTS %.6f s is %.6f s from the highest PTS before it, %.6f s", Seconds27(pes.pts27),
                          Seconds27(pes.pts27 - s.maxPts27), Seconds27(s.maxPts27));
        });
        // Its units take the stream's own times in the rules that follow its clock.
        if (jump)
            s.outliers[s.outlierCount++ % kMaxOutliers] = pes.pts;
    }
    s.maxPts27 = s.hasMaxPts ? std::max(s.maxPts27, pes.pts27) : pes.pts27;
    s.hasMaxPts = true;
}

void StreamChecks::FeedBuffer(Stream& s, const model::PesEvent& pes)
{
    // Packets before the first pack have no SCR to arrive by: their bytes cannot be
    // placed in time, so the buffer is judged from the first pack on.
    if (!m_context.HasPack())
        return;
    if (s.buffer == Stream::Buffer::Undecided)
    {
        if (s.bufferSize == 0)
            s.bufferSize =
                pes.hasPstd && pes.pstdBufferBytes ? pes.pstdBufferBytes : m_context.BufferBound(model::StreamIdOf(pes.stream));
        if (s.bufferSize == 0)
        {
            s.buffer = Stream::Buffer::Off;
            m_log.Report(rules::kPstdSizeUnknown, PlaceOf(pes.pack, pes.offset, pes.stream, false, 0),
                         "no P-STD buffer size in the PES headers or the system header: the buffer is not checked");
            return;
        }
        s.buffer = Stream::Buffer::On;
    }
    if (s.buffer != Stream::Buffer::On)
        return;
    if (!s.model)
        s.model = std::make_unique<BufferModel>(m_log, pes.stream, s.esTotal, m_observer);
    if (pes.hasPstd && pes.pstdBufferBytes)
        s.bufferSize = pes.pstdBufferBytes;
    const model::PackEvent& pack = m_context.Pack();
    BufferModel::Arrival a;
    a.pack = pes.pack;
    a.fileOffset = pes.payloadOffset;
    a.size = pes.payloadSize;
    a.scr27 = pack.scr27;
    a.scrByte = pack.scrByteOffset;
    a.muxRate = pack.muxRate;
    a.bufferSize = s.bufferSize;
    if (a.size == 0)
        return;
    // A pack of very many packets goes on at its own rate.
    if (m_arrivals.size() >= kMaxPendingArrivals)
        FlushArrivals(false, 0);
    m_arrivals.push_back({&s, a});
}

void StreamChecks::FlushArrivals(bool retime, uint32_t rate50)
{
    for (PendingArrival& p : m_arrivals)
    {
        if (retime)
            p.arrival.muxRate = rate50;
        if (p.stream->model)
            p.stream->model->AddArrival(p.arrival);
    }
    m_arrivals.clear();
}

void StreamChecks::KeepSubHeader(Stream& s, const model::PesEvent& pes)
{
    if (s.subHeaders.size() >= kMaxSubHeaders)
    {
        if (!s.subHeaderLimitWarned)
        {
            s.subHeaderLimitWarned = true;
            const Stream::SubHeader& h = s.subHeaders.front();
            m_log.Note(rules::kModelLimit, PlaceOf(h.pack, h.offset, s.key, h.hasTime, h.time27), [&] {
                return Format("more than %zu substream headers wait for the frames they announce: the oldest are "
                              "not checked",
                              kMaxSubHeaders);
            });
        }
        s.subHeaders.pop_front();
    }
    s.subHeaders.push_back({pes.payloadOffset, pes.payloadOffset + pes.payloadSize, pes.offset, pes.pack, pes.hasPts,
                            pes.hasPts ? pes.pts27 : 0, pes.frameCount, pes.firstAccessUnit});
}

// ---------------------------------------------------------------------------------------
// Access units

bool StreamChecks::TimeUnit(Stream& s, const model::AccessUnit& unit, model::AccessUnit& t, bool& outlier)
{
    const uint64_t esEnd = unit.esOffset + unit.size;
    if (unit.esOffset < s.baseEs)
    {
        // Begun on the clock that has ended: judged with neither.
        if (s.model)
            s.model->Discard(esEnd);
        return false;
    }
    // Times are unknown only where no coded time stamp came before in this time base (an
    // SCR that runs back leaves the stream's own times as they were).
    if (s.baseUnits == 0 && !unit.timed)
        m_log.Report(rules::kTimestampMissing, PlaceOf(unit.pack, unit.offset, unit.stream, false, 0),
                     "the stream's first access unit has no PTS: its times are unknown until its first one, and "
                     "its buffer and timestamps are not checked before");
    if (!unit.timed)
    {
        if (s.model)
            s.model->Discard(esEnd);
        return false;
    }
    // A coded time out of line with the stream (pts-interval has said so) is replaced by
    // the one the stream's own clock gives, and so are the times derived from it, so
    // that the jump is not reported again by every rule that follows the clock.
    if (unit.ptsCoded)
    {
        outlier = s.hasLastDecode && s.IsOutlier(unit.pts);
        s.shift27 = outlier ? s.lastDecode27 + s.lastDuration27 - unit.dts27 : 0;
    }
    t = unit;
    t.dts27 += s.shift27;
    t.pts27 += s.shift27;
    m_log.Judge(rules::kDtsBackwards, s.hasLastDecode && t.dts27 <= s.lastDecode27,
                PlaceOf(unit.pack, unit.offset, unit.stream, true, t.dts27), [&] {
                    return Format("decoding time %.6f s does not follow the previous unit's %.6f s", Seconds27(t.dts27),
                                  Seconds27(s.lastDecode27));
                });
    s.hasLastDecode = true;
    s.lastDecode27 = t.dts27;
    s.lastDuration27 = unit.duration27;
    if (s.model)
        s.model->AddRemoval({unit.index, esEnd, t.dts27, unit.pack, unit.offset});
    return true;
}

void StreamChecks::OnAccessUnit(const model::AccessUnit& unit)
{
    Stream& s = StreamFor(unit.stream, unit.kind);
    model::AccessUnit t = unit;
    bool timed = false, outlier = false;
    // A unit begun before the time base belongs to the clock that has ended.
    const bool inBase = unit.esOffset >= s.baseEs;
    if (model::IsTimed(s.kind) && m_context.IsProgramStream())
        timed = TimeUnit(s, unit, t, outlier);
    if (model::IsFramedAudio(s.kind))
        CheckAudioUnit(s, t, timed, outlier);
    else if (s.kind == model::Kind::Video)
    {
        CheckVideoUnit(s, t, timed, outlier);
        if (m_dvdVideo == model::kNoStream)
            m_dvdVideo = unit.stream;
        if (unit.stream == m_dvdVideo)
            m_dvd.OnVideoUnit(t);
    }
    if (!s.subHeaders.empty())
        CheckSubstreamHeaders(s, &unit);
    ++s.units;
    if (inBase)
        ++s.baseUnits;
}

void StreamChecks::CheckAudioUnit(Stream& s, const model::AccessUnit& unit, bool timed, bool outlier)
{
    // Bytes skipped in front of the first frame of a stream or of a time base are the rest
    // of a frame cut off.
    const bool first = s.baseUnits == 0;
    if (!first && unit.skippedBefore > 0)
    {
        // The missing frame should have started where the previous one ended.
        const uint64_t esPos = unit.esOffset - std::min<uint64_t>(unit.skippedBefore, unit.esOffset);
        uint64_t offset = s.prevLastOffset + 1;
        uint32_t pack = s.prevLastPack;
        s.Locate(esPos, offset, pack);
        m_log.Report(rules::kAudioFrameGap, PlaceOf(pack, offset, unit.stream, true, s.prevEnd27), [&] {
            return Format("no frame where the previous one ends: the next sync word comes %" PRIu32 " bytes later",
                          unit.skippedBefore);
        });
    }
    if (timed && unit.ptsCoded && !outlier)
    {
        const int64_t expected = s.lastCodedPts27 + s.durationSince27;
        if (s.hasCodedPts && unit.duration27 > 0)
            m_log.Judge(rules::kAudioPtsDrift, std::llabs(unit.pts27 - expected) > unit.duration27,
                        PlaceOf(unit.pack, unit.offset, unit.stream, true, unit.pts27), [&] {
                            return Format("PTS %.6f s, the frames before give %.6f s (%.6f s apart, a frame lasts "
                                          "%.6f s)",
                                          Seconds27(unit.pts27), Seconds27(expected),
                                          Seconds27(unit.pts27 - expected), Seconds27(unit.duration27));
                        });
        s.hasCodedPts = true;
        s.lastCodedPts27 = unit.pts27;
        s.durationSince27 = 0;
    }
    s.durationSince27 += unit.duration27;
    s.prevLastOffset = unit.lastOffset;
    s.prevLastPack = unit.lastPack;
    s.prevEnd27 = unit.pts27 + unit.duration27;
}

void StreamChecks::CheckVideoUnit(Stream& s, const model::AccessUnit& unit, bool timed, bool outlier)
{
    if (unit.gopStart)
    {
        EndGroup(s, true);
        s.inGroup = true;
    }
    if (s.inGroup)
    {
        if (s.group.size() < kMaxGroup)
            s.group.push_back({unit.temporalReference, unit.pack, unit.offset, unit.timed, unit.pts27});
        else if (!s.groupOverflow)
        {
            s.groupOverflow = true;
            if (!s.groupLimitWarned)
            {
                s.groupLimitWarned = true;
                m_log.Note(rules::kModelLimit, PlaceOf(s.group[0].pack, s.group[0].offset, s.key, s.group[0].hasTime,
                                                       s.group[0].pts27),
                           [&] {
                               return Format("a group of more than %zu pictures: its temporal references are not "
                                             "checked",
                                             kMaxGroup);
                           });
            }
        }
    }

    if (!unit.repeatFirstField && unit.duration27 > 0)
        s.fieldPeriod27 = unit.duration27 / 2;
    if (timed && unit.ptsCoded)
    {
        if (s.hasPrevPts && s.fieldPeriod27 > 0 && unit.pts27 != s.prevPts27 && !outlier)
        {
            // Coded times are rounded to 90 kHz: allow two ticks.
            const int64_t step = std::llabs(unit.pts27 - s.prevPts27);
            const int64_t rest = step % s.fieldPeriod27;
            m_log.Judge(rules::kVideoPtsStep, std::min(rest, s.fieldPeriod27 - rest) > 2 * mpeg::kTicks27Per90,
                        PlaceOf(unit.pack, unit.offset, unit.stream, true, unit.pts27), [&] {
                            return Format("PTS step %.6f s (from %.6f s) is not a whole number of field periods of "
                                          "%.6f s",
                                          Seconds27(unit.pts27 - s.prevPts27), Seconds27(s.prevPts27),
                                          Seconds27(s.fieldPeriod27));
                        });
        }
        s.hasPrevPts = true;
        s.prevPts27 = unit.pts27;
    }
}

void StreamChecks::EndGroup(Stream& s, bool judge)
{
    if (!judge || !s.inGroup || s.group.empty() || s.groupOverflow)
    {
        s.group.clear();
        s.groupOverflow = false;
        return;
    }
    const size_t n = s.group.size();
    std::bitset<kMaxGroup> seen;
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
    const Stream::Picture& at = bad ? *bad : s.group[0];
    m_log.Judge(rules::kVideoTemporalReference, bad != nullptr,
                PlaceOf(at.pack, at.offset, s.key, at.hasTime, at.pts27), [&] {
                    return Format("temporal_reference %u %s in a group of %zu pictures", bad->temporalReference,
                                  repeated ? "repeats" : "is out of range", n);
                });
    s.group.clear();
}

void StreamChecks::CheckSubstreamHeaders(Stream& s, const model::AccessUnit* unit)
{
    while (!s.subHeaders.empty() && (!unit || s.subHeaders.front().payloadEnd <= unit->offset))
    {
        const Stream::SubHeader& h = s.subHeaders.front();
        const uint64_t pointer = h.found ? h.firstFound - h.payloadOffset + 1 : 0;
        m_log.Judge(rules::kSubstreamHeader, h.found != h.frameCount || (h.found && pointer != h.firstAccessUnit),
                    PlaceOf(h.pack, h.offset, s.key, h.hasTime, h.time27), [&] {
                        return Format("header: %u frames, first at %u; found: %" PRIu32 " frames, first at %" PRIu64,
                                      h.frameCount, h.firstAccessUnit, h.found, pointer);
                    });
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

void StreamChecks::EndBuffer(Stream& s)
{
    if (!s.model)
        return;
    s.model->Finish();
    s.peak = s.Peak();
    s.model.reset();
}

void StreamChecks::OnEnd(const model::StreamEnd& end)
{
    m_packs = std::max(m_packs, end.packs);
    m_bytes = end.fileSize;
    FlushArrivals(false, 0);
    for (auto& [key, s] : m_streams)
    {
        EndBuffer(*s);
        // The last group and the last packets' frames may be cut off by the end of the
        // file: they are not judged.
        s->subHeaders.clear();
    }
    m_dvd.OnEnd(end);
}

uint64_t StreamChecks::BufferPeak(model::StreamKey stream) const
{
    const auto it = m_streams.find(stream);
    return it != m_streams.end() ? it->second->Peak() : 0;
}

}  // namespace checks
