#include "checks/BufferModel.h"

#include "model/StreamContext.h"

#include <algorithm>
#include <cinttypes>

namespace checks
{

namespace
{

constexpr int64_t kTicksPerByteUnit = mpeg::kTicksPerByteUnit;
constexpr int64_t kOneSecond27 = mpeg::kClock27;

__int128 FloorDiv(__int128 a, __int128 b)
{
    __int128 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Input

void BufferModel::AddArrival(const Arrival& arrival)
{
    if (arrival.size == 0 || m_stopped)
        return;
    m_segments.push_back({arrival, m_esTotal});
    m_esTotal += arrival.size;
    Advance(false);
    if (m_segments.size() > kMaxQueued)
        Stop("PES packets", {arrival.pack, arrival.fileOffset, m_stream, true, arrival.scr27});
}

void BufferModel::AddRemoval(const Removal& removal)
{
    if (m_stopped)
        return;
    Removal r = removal;
    // Decoding times that go back are reported by the timestamp checks; the buffer
    // keeps them in order so that it stays a buffer.
    r.decode27 = std::max(r.decode27, m_units.empty() ? m_lastDecode : m_units.back().decode27);
    m_units.push_back(r);
    Advance(false);
    if (m_units.size() > kMaxQueued)
        Stop("access units", {r.pack, r.offset, m_stream, true, r.decode27});
}

void BufferModel::Discard(uint64_t esEnd)
{
    // As if a unit had left: bytes before esEnd no longer count, whenever they arrive.
    if (m_stopped || esEnd <= m_removed)
        return;
    m_removed = esEnd;
    Trim();
}

void BufferModel::Finish()
{
    if (m_stopped)
        return;
    Advance(true);
    EndOverflow();
}

void BufferModel::Stop(const char* what, const FindingLog::Place& place)
{
    EndOverflow();
    m_stopped = true;
    m_log.Note(rules::kModelLimit, place, [&] {
        return Format("decoder buffer of %s: more than %zu %s wait to be decoded (decoding times far after their "
                      "arrival); the buffer is not judged from here on",
                      StreamName(m_stream).c_str(), kMaxQueued, what);
    });
    m_segments.clear();
    m_units.clear();
    m_current = 0;
}

void BufferModel::EndOverflow()
{
    if (m_overflowOpen)
    {
        m_overflowOpen = false;
        m_log.At(m_overflowFinding).message =
            Format("buffer occupancy peaks at %" PRIu64 " bytes, over the buffer size of %" PRIu32 " bytes",
                   m_overflowPeak, m_overflowSize);
    }
    m_log.Pass(rules::kPstdOverflow, m_stream);
}

// ---------------------------------------------------------------------------------------
// Time

int64_t BufferModel::ArrivalTime27(const Segment& s, uint64_t esPos) const
{
    return model::ArrivalTime27(s.a.scr27, s.a.scrByte, s.a.muxRate, s.a.fileOffset + (esPos - s.esStart));
}

uint64_t BufferModel::CountArriving(int64_t t27, bool inclusive) const
{
    const Segment& s = m_segments[m_current];
    const uint64_t left = s.EsEnd() - m_arrived;
    if (s.a.muxRate == 0)
        return (inclusive ? s.a.scr27 <= t27 : s.a.scr27 < t27) ? left : 0;
    // Byte at file offset f arrives at scr + (f - scrByte) * 540000 / rate; it arrives
    // before t when (f - scrByte) * 540000 < (t - scr) * rate.
    const __int128 budget = (static_cast<__int128>(t27) - s.a.scr27) * s.a.muxRate;
    const __int128 lastRel = FloorDiv(inclusive ? budget : budget - 1, kTicksPerByteUnit);
    const __int128 last = static_cast<__int128>(s.a.scrByte) + lastRel;
    const __int128 first = s.a.fileOffset + (m_arrived - s.esStart);
    if (last < first)
        return 0;
    return static_cast<uint64_t>(std::min<__int128>(last - first + 1, left));
}

// ---------------------------------------------------------------------------------------
// The buffer

void BufferModel::Advance(bool final)
{
    for (;;)
    {
        const bool pending = m_current < m_segments.size();
        if (m_units.empty())
        {
            // Without the next decoding time a run cannot be cut: wait, unless the
            // stream has ended.
            if (!final || !pending)
                return;
            Arrive(m_segments[m_current].EsEnd() - m_arrived);
            continue;
        }
        if (!pending)
        {
            // Bytes of a later packet may still arrive before the next decoding time.
            if (!final)
                return;
            Remove();
            continue;
        }
        const Removal& unit = m_units.front();
        if (const uint64_t n = CountArriving(unit.decode27, false))
        {
            Arrive(n);
            continue;
        }
        // Bytes arriving exactly at the decoding time: the unit's own are in time.
        if (m_arrived < unit.esEnd)
        {
            const uint64_t n = std::min(CountArriving(unit.decode27, true), unit.esEnd - m_arrived);
            if (n)
            {
                Arrive(n);
                continue;
            }
        }
        Remove();
    }
}

void BufferModel::Arrive(uint64_t count)
{
    const Segment& s = m_segments[m_current];
    const uint64_t end = m_arrived + count;
    const uint64_t occupancy = end > m_removed ? end - m_removed : 0;
    m_peak = std::max(m_peak, occupancy);
    const uint32_t size = s.a.bufferSize;
    m_size = size;
    if (occupancy > size)
    {
        // The first byte over the size: occupancy size + 1.
        const uint64_t over = std::max(m_arrived, m_removed + size);
        const bool open = m_log.IsOpen(rules::kPstdOverflow, m_stream);
        FindingLog::Place place{s.a.pack, s.a.fileOffset + (over - s.esStart), m_stream, true,
                                ArrivalTime27(s, over)};
        const size_t index = m_log.Report(rules::kPstdOverflow, place, std::string());
        if (!open)
        {
            m_overflowFinding = index;
            m_overflowPeak = 0;
            m_overflowSize = size;
        }
        // The message is written when the episode ends (and at the end of the stream).
        m_overflowPeak = std::max(m_overflowPeak, occupancy);
        m_overflowOpen = true;
    }
    else
    {
        EndOverflow();
    }
    if (m_observer)
        m_observer->OnLevel(m_stream, ArrivalTime27(s, end - 1), occupancy, size);
    m_arrived = end;
    if (m_arrived == s.EsEnd())
    {
        ++m_current;
        Trim();
    }
}

void BufferModel::Remove()
{
    const Removal unit = m_units.front();
    m_units.pop_front();
    // A picture shown for more than a second (a still) lets the next one wait as long.
    const bool afterStill = m_lastDecode != INT64_MIN && unit.decode27 - m_lastDecode > kOneSecond27;
    m_lastDecode = unit.decode27;
    const uint64_t unitStart = m_removed;

    const uint64_t present = m_arrived > unitStart ? m_arrived - unitStart : 0;
    m_log.Judge(rules::kPstdUnderflow, m_arrived < unit.esEnd, {unit.pack, unit.offset, m_stream, true, unit.decode27},
                [&] {
                    return Format("access unit %" PRIu64 " has %" PRIu64 " of its %" PRIu64
                                  " bytes in the buffer at its decoding time %.6f s",
                                  unit.index, present, unit.esEnd > unitStart ? unit.esEnd - unitStart : 0,
                                  Seconds27(unit.decode27));
                });

    // The oldest byte leaving: the first one not yet removed, if it has arrived. Arrived
    // segments leave the queue once decoded, so the front one holds it.
    if (!afterStill && unitStart < std::min(m_arrived, unit.esEnd) && !m_segments.empty() &&
        m_segments.front().esStart <= unitStart && unitStart < m_segments.front().EsEnd())
    {
        const Segment& s = m_segments.front();
        const int64_t arrival = ArrivalTime27(s, unitStart);
        const int64_t wait = unit.decode27 - arrival;
        m_log.Judge(rules::kMuxDelay, wait > kOneSecond27,
                    {s.a.pack, s.a.fileOffset + (unitStart - s.esStart), m_stream, true, unit.decode27}, [&] {
                        return Format("a byte stays %.3f s in the buffer (arrives at %.6f s, decoded at %.6f s)",
                                      Seconds27(wait), Seconds27(arrival), Seconds27(unit.decode27));
                    });
    }
    m_removed = std::max(m_removed, unit.esEnd);
    if (m_observer)
        m_observer->OnLevel(m_stream, unit.decode27, m_arrived > m_removed ? m_arrived - m_removed : 0,
                            m_size);
    Trim();
}

void BufferModel::Trim()
{
    // Bytes whose unit has left count for nothing any more, arrived or not (a unit
    // decoded before its bytes came): the queue keeps only what can still fill Bn.
    while (!m_segments.empty() && m_segments.front().EsEnd() <= m_removed)
    {
        if (m_current > 0)
            --m_current;
        else
            m_arrived = std::max(m_arrived, m_segments.front().EsEnd());
        m_segments.pop_front();
    }
}

}  // namespace checks
