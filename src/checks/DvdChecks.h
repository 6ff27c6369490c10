#pragma once
// The DVD-Video rules: pack size and rate, and the navigation packs' addresses and times
// against the VOBUs they describe. Active once the stream has shown a navigation pack.
//
// A VOBU is judged once every picture that starts in it is known, that is once a picture
// starts after it, or when its VOB ends (a new VOB, a new program, the end of the input):
// the last VOBU of each VOB may end with its audio and may be of any length.

#include "checks/Findings.h"

#include <deque>

namespace checks
{

class DvdChecks
{
public:
    explicit DvdChecks(FindingLog& log) : m_log(log) {}

    void OnPack(const model::PackEvent& pack);
    void OnNavPack(const model::NavPack& nav);
    // A picture of the video stream the navigation packs describe.
    void OnVideoUnit(const model::AccessUnit& unit);
    void OnTimeBase(const model::TimeBaseEvent& timeBase);
    void OnEnd(const model::StreamEnd& end);

    // VOBUs waiting for their pictures; past it, the oldest is judged without them.
    static constexpr size_t kMaxVobus = 64;

private:
    struct Vobu
    {
        model::NavPack nav;
        uint64_t block = 0;
        int64_t scr27 = 0;
        bool hasPrev = false, hasNext = false;
        uint64_t prevBlock = 0, nextBlock = 0;
        uint32_t nextPack = 0;
        uint64_t lastBlock = 0;      // block of the last pack before the next nav pack
        uint32_t refs = 0;
        uint64_t refEnd[3] = {};     // block distances to the reference pictures' last bytes
        uint32_t pictures = 0;
        bool sequenceEnd = false;    // its last picture ends a sequence (a still)
        bool picturesKnown = true;   // false: judged before its pictures were all seen
        int64_t firstPts27 = 0, endPts27 = 0;
    };
    enum class Last : uint8_t
    {
        No,
        OfVob,     // the last VOBU of its VOB
        OfInput,   // ... and of the input, which may end inside it
    };
    // Judges every VOBU still queued; the last one is the last of its VOB.
    void EndVob(uint64_t lastPackOffset, bool endOfInput);
    void Finish(Vobu& vobu, Last position);
    // The block offset of the file in its VOB set, from the first navigation packs.
    void DecideOffset();
    // The parts of Finish: the reference picture ends, the PCI times and duration, the
    // DSI's links to the neighbouring navigation packs.
    void CheckReferenceFrames(const Vobu& vobu, const FindingLog::Place& place);
    void CheckVobuTimes(const Vobu& vobu, bool last, const FindingLog::Place& place);
    void CheckVobuLinks(const Vobu& vobu, Last position, const FindingLog::Place& place);
    void CheckPackSize(uint64_t size);
    void CheckMuxRate(const model::PackEvent& pack);
    FindingLog::Place NavPlace(const Vobu& vobu) const;

    FindingLog& m_log;
    bool m_active = false;
    bool m_unauthored = false;
    bool m_hasPack = false;
    model::PackEvent m_pack;          // the latest pack
    uint64_t m_prevPackOffset = 0;    // the pack before it
    uint32_t m_navPackIndex = 0;      // the latest navigation pack and its SCR
    int64_t m_navScr27 = 0;
    bool m_offsetDecided = false;
    int64_t m_lbnBase = 0;            // blocks of the VOB set before the input's first
    bool m_firstField = false;        // a field picture waits for its second field
    uint8_t m_firstFieldType = 0;
    bool m_limitWarned = false;
    std::deque<Vobu> m_vobus;         // not yet judged (the last is the current one)
};

}  // namespace checks
