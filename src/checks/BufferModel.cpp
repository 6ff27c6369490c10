#include "checks/BufferModel.h"

#include <algorithm>
#include <cinttypes>

namespace checks
{

namespace
{

// 27 MHz ticks per byte at a mux rate of one (50 bytes/s): 27e6 / 50.
constexpr int64_t kTicksPerByteUnit = 540000;
constexpr int64_t kOneSecond27 = 27000000;

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
    if (arrival.size == 0)
        return;
    m_segments.push_back({arrival, m_esTotal});
    m_esTotal += arrival.size;
    Advance(false);
    while (m_segments.size() > kMaxQueued)
    {
        if (m_current == 0)
            Arrive(m_segments.front().EsEnd() - m_arrived);
        m_segments.pop_front();
        --m_current;
    }
}

void BufferModel::AddRemoval(const Removal& removal)
{
    Removal r = removal;
    // Decoding times that go back are reported by the timestamp checks; the buffer
    // keeps them in order so that it stays a buffer.
    r.decode27 = std::max(r.decode27, m_units.empty() ? m_lastDecode : m_units.back().decode27);
    m_units.push_back(r);
    Advance(false);
    while (m_units.size() > kMaxQueued)
        Remove();
}

void BufferModel::Finish()
{
    Advance(true);
    EndOverflow();
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
    m_log.Close("pstd-overflow", m_stream);
}

// ---------------------------------------------------------------------------------------
// Time

int64_t BufferModel::ArrivalTime27(const Segment& s, uint64_t esPos) const
{
    const uint64_t fileOffset = s.a.fileOffset + (esPos - s.esStart);
    if (s.a.muxRate == 0)
        return s.a.scr27;
    const __int128 distance = static_cast<__int128>(fileOffset) - static_cast<__int128>(s.a.scrByte);
    return static_cast<int64_t>(s.a.scr27 + FloorDiv(distance * kTicksPerByteUnit, s.a.muxRate));
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
    if (occupancy > size)
    {
        // The first byte over the size: occupancy size + 1.
        const uint64_t over = std::max(m_arrived, m_removed + size);
        const bool open = m_log.IsOpen("pstd-overflow", m_stream);
        FindingLog::Place place{s.a.pack, s.a.fileOffset + (over - s.esStart), m_stream, true,
                                ArrivalTime27(s, over)};
        const size_t index = m_log.Report("pstd-overflow", Severity::Error, place, std::string());
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

    if (m_arrived < unit.esEnd)
    {
        const uint64_t present = m_arrived > unitStart ? m_arrived - unitStart : 0;
        FindingLog::Place place{unit.pack, unit.offset, m_stream, true, unit.decode27};
        m_log.Report("pstd-underflow", Severity::Error, place,
                     [&] { return Format("access unit %" PRIu64 " has %" PRIu64 " of its %" PRIu64
                            " bytes in the buffer at its decoding time %.6f s",
                            unit.index, present, unit.esEnd > unitStart ? unit.esEnd - unitStart : 0,
                            Seconds27(unit.decode27)); });
    }
    else
    {
        m_log.Close("pstd-underflow", m_stream);
    }

    // The oldest byte leaving: the first one not yet removed, if it has arrived. Arrived
    // segments leave the queue once decoded, so the front one holds it.
    if (!afterStill && unitStart < std::min(m_arrived, unit.esEnd) && !m_segments.empty() &&
        m_segments.front().esStart <= unitStart && unitStart < m_segments.front().EsEnd())
    {
        const Segment& s = m_segments.front();
        const int64_t arrival = ArrivalTime27(s, unitStart);
        const int64_t wait = unit.decode27 - arrival;
        if (wait > kOneSecond27)
        {
            FindingLog::Place place{s.a.pack, s.a.fileOffset + (unitStart - s.esStart), m_stream, true,
                                    unit.decode27};
            m_log.Report("mux-delay", Severity::Warning, place,
                         [&] { return Format("a byte stays %.3f s in the buffer (arrives at %.6f s, decoded at %.6f s)",
                                Seconds27(wait), Seconds27(arrival), Seconds27(unit.decode27)); });
        }
        else
        {
            m_log.Close("mux-delay", m_stream);
        }
    }
    m_removed = std::max(m_removed, unit.esEnd);
    Trim();
}

void BufferModel::Trim()
{
    while (m_current > 0 && m_segments.front().EsEnd() <= m_removed)
    {
        m_segments.pop_front();
        --m_current;
    }
}

}  // namespace checks
