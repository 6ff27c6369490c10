#pragma once
// What the disc checks need from a VOB set's stream, collected from the model's events:
// every VOBU (its navigation pack's block, VOB and cell number, the time base it starts,
// the presentation span of its video) and the streams found with their properties.
//
// A model sink of its own, so that it runs beside the stream checks on the same events.
// The time bases are those the model announces (OnTimeBase): after a program end code,
// at a navigation pack whose VOB number changes, at an SCR that runs back; the first VOBU
// of the set starts the first.

#include "model/ModelEvents.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace disc
{

constexpr uint32_t kBlock = 2048;

struct VobuRecord
{
    uint32_t block = 0;        // of the navigation pack, in the VOB set
    uint32_t lastBlock = 0;    // the last block before the next navigation pack (or the set's end)
    uint32_t pack = 0;         // 0-based pack index of the navigation pack
    uint16_t vobId = 0;        // DSI vobu_vob_idn
    uint8_t cellId = 0;        // DSI vobu_c_idn
    bool hasPci = false, hasDsi = false;
    bool newTimeBase = false;  // a time base starts with this VOBU (the set's first does)
    bool timeBaseInside = false;  // one starts at a later pack of this VOBU
    bool hasVideo = false;
    int64_t videoStart27 = 0;  // lowest presentation time of its pictures
    int64_t videoEnd27 = 0;    // highest presentation time plus the picture's duration
    uint32_t vobuSPtm = 0, vobuEPtm = 0;  // PCI, 90 kHz
    uint32_t vobuEa = 0;       // DSI: blocks to the VOBU's last pack
};

// An elementary stream of the set and what its first units show.
struct FoundStream
{
    model::StreamKey key = model::kNoStream;
    model::Kind kind = model::Kind::Unknown;
    uint64_t units = 0;
    uint64_t firstOffset = 0;  // of its first access unit (or packet)
    uint32_t firstPack = 0;
    // Audio: of the first access unit.
    uint32_t sampleRate = 0;
    uint8_t channels = 0;
    uint8_t bitsPerSample = 0;
    uint8_t layer = 0;
    // Video: the first sequence header, and the first one that differs from it in size,
    // aspect, frame rate or MPEG version.
    bool hasSequence = false;
    model::SequenceEvent sequence;
    bool sequenceChanges = false;
    model::SequenceEvent changed;
};

class CVobSetScan : public model::IModelSink
{
public:
    // maxVobus bounds the VOBUs kept; past it the scan keeps counting but records no more
    // (Truncated), and what needs the later VOBUs is not judged.
    explicit CVobSetScan(size_t maxVobus = kDefaultMaxVobus) : m_maxVobus(maxVobus) {}

    void OnPack(const model::PackEvent& pack) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnSequence(const model::SequenceEvent& seq) override;
    void OnAccessUnit(const model::AccessUnit& unit) override;
    void OnNavPack(const model::NavPack& nav) override;
    void OnTimeBase(const model::TimeBaseEvent& base) override;
    void OnEnd(const model::StreamEnd& end) override;

    const std::vector<VobuRecord>& Vobus() const { return m_vobus; }
    bool Truncated() const { return m_navPacks > m_vobus.size(); }
    uint64_t NavPacks() const { return m_navPacks; }
    // The streams in key order (navigation and padding left out).
    const std::map<model::StreamKey, FoundStream>& Streams() const { return m_streams; }
    uint64_t Bytes() const { return m_end.fileSize; }
    uint32_t Packs() const { return m_end.packs; }
    const model::StreamEnd& End() const { return m_end; }
    // The VOBU holding a pack (the last one whose navigation pack is at or before it), null
    // before the first or past the recorded ones.
    const VobuRecord* VobuOfPack(uint32_t pack) const;

    // 29 hours of 0.4 s VOBUs, far beyond the longest VOB set (a 9 GiB set at the lowest
    // useful rates lasts some hours); at 56 bytes each, 14 MB at the most.
    static constexpr size_t kDefaultMaxVobus = 1u << 18;

private:
    VobuRecord* MutableVobuOfPack(uint32_t pack);
    void StartTimeBase(uint32_t pack);
    FoundStream& StreamFor(model::StreamKey key, model::Kind kind);

    size_t m_maxVobus;
    std::vector<VobuRecord> m_vobus;
    uint64_t m_navPacks = 0;
    uint32_t m_droppedFrom = UINT32_MAX;  // the pack of the first navigation pack not kept
    std::map<model::StreamKey, FoundStream> m_streams;
    // The pack being read and the one before it (a VOBU's last block is that of the pack
    // before the next navigation pack).
    bool m_hasPack = false;
    model::PackEvent m_pack;
    uint64_t m_previousPackOffset = 0;
    // A time base starting at this pack, not yet given to a VOBU.
    bool m_timeBasePending = false;
    uint32_t m_timeBasePack = 0;
    model::StreamEnd m_end;
};

}  // namespace disc
