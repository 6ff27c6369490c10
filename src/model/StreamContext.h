#pragma once
// What every consumer of the model's events needs to know about the stream at the event
// in hand, kept once by the pipeline: the pack and the time base in force, the system
// header in force, the classes of streams, the arrival time of a byte and where a
// position is in the files read. The pipeline brings it up to date with each event
// before any sink sees that event.

#include "model/ModelEvents.h"
#include "stream/CInput.h"

#include <cstdint>

namespace model
{

// Stream classes.
constexpr bool IsAudio(Kind k) { return k == Kind::MpegAudio || k == Kind::Ac3 || k == Kind::Dts || k == Kind::Lpcm; }
// Audio whose frames open with a sync word and give their own length.
constexpr bool IsFramedAudio(Kind k) { return k == Kind::MpegAudio || k == Kind::Ac3 || k == Kind::Dts; }
// Streams whose time stamps and decoder buffers are judged.
constexpr bool IsTimed(Kind k) { return k == Kind::Video || IsAudio(k); }
// Streams that pass through a decoder buffer of their own.
constexpr bool HasDecoderBuffer(Kind k) { return IsTimed(k) || k == Kind::Subpicture; }
// A stream a system header must list: every stream but padding, the program stream map
// and the program stream directory, which are no elementary streams.
bool NeedsListing(uint8_t streamId);

// The arrival time (27 MHz) of the byte at a stream position, in a pack whose SCR is
// scr27, whose SCR base ends in the byte at scrByte, at muxRate (50 bytes/s units):
// scr27 + (position - scrByte) * 27 MHz / (muxRate * 50), rounded down to a tick (also
// for the bytes before scrByte). A pack without a rate delivers all its bytes at its SCR.
int64_t ArrivalTime27(int64_t scr27, uint64_t scrByte, uint32_t muxRate, uint64_t position);

class CStreamContext
{
public:
    // ---- the input
    // The input read; null for bytes in memory.
    const CInput* Input() const { return m_input; }
    Container GetContainer() const { return m_container; }
    bool IsProgramStream() const { return m_container == Container::ProgramStream; }
    // The file and file offset of a stream position (for bytes in memory: the position).
    CInput::Location Locate(uint64_t position) const;
    // The offset a person is shown for a stream position: the offset in the file for an
    // input of one file (a CD-XA file's offset, past its sector headers), the position in
    // the set for the files of a VOB set read as one.
    uint64_t ShownOffset(uint64_t position) const;

    // ---- packs
    // A pack has been seen; Pack() is the latest, the one that holds the events after it.
    bool HasPack() const { return m_hasPack; }
    const PackEvent& Pack() const { return m_pack; }
    uint32_t PackCount() const { return m_packs; }
    // One tick of the clock the SCRs are written in, in 27 MHz ticks: 300 (90 kHz) in
    // MPEG-1 packs and while every SCR extension of the time base has been 0, else 1.
    int64_t ScrTick27() const { return m_scrExtensionSeen ? 1 : 300; }
    // Arrival time (27 MHz) of the byte at a position of the pack in force.
    int64_t Arrival27(uint64_t position) const
    {
        return ArrivalTime27(m_pack.scr27, m_pack.scrByteOffset, m_pack.muxRate, position);
    }

    // ---- time bases
    // 0 for the input's first time base, n after the nth announced one.
    uint32_t TimeBase() const { return m_timeBase.index; }
    // How the time base in force began (index 0: the start of the input, pack 0).
    const TimeBaseEvent& TimeBaseStart() const { return m_timeBase; }

    // ---- the system header in force
    // The union of the time base's system headers (a VCD has one per stream, a DVD one in
    // every navigation pack): the highest bounds, each stream's latest buffer bound.
    bool HasSystemHeader() const { return m_hasSystemHeader; }
    const SystemHeaderEvent& SystemHeader() const { return m_system; }
    // The P-STD buffer size bound for a stream id (its own entry, else 0xB8 / 0xB9); 0 when
    // none is given.
    uint32_t BufferBound(uint8_t streamId) const;
    // The system header lists the stream, directly or through 0xB8 / 0xB9.
    bool Listed(uint8_t streamId) const;

    // ---- DVD
    // The time base has shown a navigation pack.
    bool HasNavPacks() const { return m_navPacks; }

private:
    friend class CPipeline;
    void Start(const CInput* input);
    void Take(Container container) { m_container = container; }
    void Take(const PackEvent& pack);
    void Take(const SystemHeaderEvent& header);
    void Take(const TimeBaseEvent& timeBase);

    const CInput* m_input = nullptr;
    Container m_container = Container::ProgramStream;
    bool m_hasPack = false;
    PackEvent m_pack;
    uint32_t m_packs = 0;
    bool m_scrExtensionSeen = false;
    TimeBaseEvent m_timeBase;
    bool m_hasSystemHeader = false;
    SystemHeaderEvent m_system;
    bool m_navPacks = false;
};

}  // namespace model
