#pragma once
// The decoder buffer Bn of one elementary stream, byte-exact and in bounded memory.
//
// Payload bytes enter Bn at their arrival times (the SCR of their pack plus their distance
// from the SCR byte at the pack's mux rate); each access unit leaves at its decoding time.
// The occupancy is taken as each byte arrives. Bytes arrive in runs (the bytes of one PES
// payload between two removals), and within a run the occupancy only grows, so the model
// works on whole runs: a run's last byte gives its peak, and the first byte over the size
// is computed, not searched. Per stream the model keeps only the PES payloads that are
// still in the buffer (or not yet arrived) and the access units not yet decoded.

#include "checks/Findings.h"

#include <cstdint>
#include <deque>

namespace checks
{

class BufferModel
{
public:
    // One PES payload of the stream, with the timing of the pack that carries it.
    struct Arrival
    {
        uint32_t pack = 0;
        uint64_t fileOffset = 0;   // first payload byte
        uint32_t size = 0;
        int64_t scr27 = 0;
        uint64_t scrByte = 0;      // file offset of the byte holding the SCR base's last bit
        uint32_t muxRate = 0;      // 50 bytes/s units
        uint32_t bufferSize = 0;   // BSn in force for these bytes
    };
    // An access unit: its bytes (and any skipped bytes before it) leave at decode27.
    struct Removal
    {
        uint64_t index = 0;
        uint64_t esEnd = 0;        // stream position after its last byte
        int64_t decode27 = 0;
        uint32_t pack = 0;
        uint64_t offset = 0;
    };

    // Where the occupancy goes, for plots: the level after each run of arriving bytes
    // (the run's peak, at its last byte's arrival) and after each unit leaves.
    class IObserver
    {
    public:
        virtual ~IObserver() = default;
        virtual void OnLevel(model::StreamKey stream, int64_t time27, uint64_t bytes, uint32_t size) = 0;
    };

    // esStart: the stream position of the first byte handed in (a time base may start
    // in the middle of a stream).
    BufferModel(FindingLog& log, model::StreamKey stream, uint64_t esStart = 0, IObserver* observer = nullptr)
        : m_log(log), m_stream(stream), m_esTotal(esStart), m_arrived(esStart), m_removed(esStart),
          m_observer(observer)
    {
    }

    void AddArrival(const Arrival& arrival);
    void AddRemoval(const Removal& removal);
    // The stream's bytes before esEnd belong to units whose decoding time is unknown:
    // they are not modelled (they leave as they arrive). Units come in order, so no
    // removal of a known time is queued before them.
    void Discard(uint64_t esEnd);
    // The stream (or its time base) has ended: everything still queued arrives and leaves.
    void Finish();

    uint64_t PeakOccupancy() const { return m_peak; }
    // A bound was reached: the buffer is no longer judged (a model-limit warning said so).
    bool Stopped() const { return m_stopped; }

    // Bounds that keep a damaged stream (timestamps far ahead, units that never end)
    // from queueing the whole file: past either, the model stops.
    static constexpr size_t kMaxQueued = 1 << 16;

private:
    struct Segment
    {
        Arrival a;
        uint64_t esStart = 0;
        uint64_t EsEnd() const { return esStart + a.size; }
    };

    void Advance(bool final);
    void Arrive(uint64_t count);
    void Remove();
    void Trim();
    void EndOverflow();
    // Past a bound: says so and gives up the queues.
    void Stop(const char* what, const FindingLog::Place& place);
    // Bytes of the current segment, from m_arrived on, that arrive before t27 (or at t27
    // when inclusive).
    uint64_t CountArriving(int64_t t27, bool inclusive) const;
    int64_t ArrivalTime27(const Segment& s, uint64_t esPos) const;

    FindingLog& m_log;
    model::StreamKey m_stream;
    bool m_stopped = false;
    std::deque<Segment> m_segments;  // [0, m_current) arrived, still in the buffer
    size_t m_current = 0;
    std::deque<Removal> m_units;     // not yet decoded
    uint64_t m_esTotal = 0;          // stream position after the bytes handed in
    uint64_t m_arrived = 0;          // stream position after the bytes arrived in Bn
    uint64_t m_removed = 0;          // stream position after the bytes decoded (or discarded)
    int64_t m_lastDecode = INT64_MIN;
    uint64_t m_peak = 0;
    uint32_t m_size = 0;             // BSn of the bytes that arrived last
    // The open overflow episode.
    size_t m_overflowFinding = 0;
    uint64_t m_overflowPeak = 0;
    uint32_t m_overflowSize = 0;
    bool m_overflowOpen = false;
    IObserver* m_observer = nullptr;
};

}  // namespace checks
