#pragma once
// Cutting one elementary stream into access units. The demultiplexer hands each stream's
// assembler the packets' time stamps and their payloads in file order; the assembler
// joins the payloads (start codes and frame headers split across packets included),
// finds the units, gives each its times and delivers it to the sink.

#include "model/ModelEvents.h"
#include "model/TimeUnwrap.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace model
{

class CUnitAssembler
{
public:
    CUnitAssembler(StreamKey key, Kind kind, IModelSink& sink) : m_key(key), m_kind(kind), m_sink(sink) {}
    virtual ~CUnitAssembler() = default;
    CUnitAssembler(const CUnitAssembler&) = delete;
    CUnitAssembler& operator=(const CUnitAssembler&) = delete;

    // A packet of the stream, before its payload. sub: the substream header bytes (the
    // LPCM header among them), subSize of them.
    void OnPacket(const PesEvent& pes, const uint8_t* sub, uint32_t subSize);
    // The next piece of the stream's payload, at fileOffset in pack.
    void Feed(const uint8_t* data, uint32_t size, uint64_t fileOffset, uint32_t pack);
    // The end of the input: the last complete unit is delivered.
    virtual void Finish() = 0;
    // A new time base: the unit under way ends with the bytes fed so far (a frame cut
    // short is dropped), and times start again from the next coded time stamp.
    void NewTimeBase();

    StreamKey Key() const { return m_key; }
    // Without a system layer nothing is coded: the clock starts at 0 with the first unit.
    void StartClockAtZero() { m_haveTime = true; }
    uint64_t PayloadBytes() const { return m_esPos; }

    // The assembler for a stream, null where units are not cut (padding, unknown).
    static std::unique_ptr<CUnitAssembler> Create(StreamKey key, Kind kind, IModelSink& sink);

protected:
    struct Stamp
    {
        uint64_t start = 0, end = 0;  // payload range of its packet
        bool hasPts = false, hasDts = false;
        uint64_t pts = 0, dts = 0;
    };

    // data[0] is at m_esPos of the joined payload; the base advances m_esPos after.
    virtual void Consume(const uint8_t* data, uint32_t size) = 0;
    virtual void OnPacketHeader(const PesEvent&, const uint8_t*, uint32_t) {}
    // Ends (or drops) the unit under way and forgets what joins the payload across
    // packets, for a new time base.
    virtual void Cut() = 0;
    // The presentation time of a unit without a coded PTS; the decoding time by default.
    virtual int64_t DerivePts27(const AccessUnit&, int64_t dts27) { return dts27; }
    // Called after a unit with a coded PTS got its times.
    virtual void OnCodedPts(const AccessUnit&) {}

    // The time stamps of the packet whose payload holds esPos, once per packet.
    bool TakeStamp(uint64_t esPos, Stamp& out);
    // File offset and pack of a recent payload byte.
    void Locate(uint64_t esPos, uint64_t& offset, uint32_t& pack) const;
    // Sets the unit's first byte (esOffset, offset, pack) and its end from its size.
    void Place(AccessUnit& unit, uint64_t esStart, uint64_t esEnd) const;
    // Gives the unit its index and times and hands it to the sink. duration: num / den
    // of a 27 MHz tick (den 1 for video, the sampling rate for audio).
    void Deliver(AccessUnit& unit, const Stamp* stamp, uint64_t durationNum, uint64_t durationDen);

    StreamKey m_key;
    Kind m_kind;
    IModelSink& m_sink;
    uint64_t m_esPos = 0;      // joined payload position of the next byte fed
    uint64_t m_lastEnd = 0;    // payload position after the last delivered unit

private:
    struct Piece
    {
        uint64_t esStart = 0, fileOffset = 0;
        uint32_t pack = 0;
    };
    Piece m_recent[8];         // ring of the last pieces fed
    uint32_t m_recentNext = 0, m_recentCount = 0;
    std::deque<Stamp> m_stamps;
    uint64_t m_nextIndex = 0;
    bool m_haveTime = false;
    int64_t m_nextDts27 = 0;   // previous decoding time plus its duration
    uint64_t m_remainder = 0, m_remainderDen = 0;
    CTimeUnwrap m_unwrap;
};

}  // namespace model
