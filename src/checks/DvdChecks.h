#pragma once
// The DVD-Video rules: pack size and rate, and the navigation packs' addresses and times
// against the VOBUs they describe. Active once the stream has shown a navigation pack.

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
    void OnVideoUnit(const model::AccessUnit& unit);
    void OnEnd(const model::StreamEnd& end);

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
        int64_t firstPts27 = 0, endPts27 = 0;
    };
    void Finish(Vobu& vobu, bool last);
    // The parts of Finish: the reference picture ends, the PCI times and duration, the
    // DSI's links to the neighbouring navigation packs.
    void CheckReferenceFrames(const Vobu& vobu, const FindingLog::Place& place);
    void CheckVobuTimes(const Vobu& vobu, bool last, const FindingLog::Place& place);
    void CheckVobuLinks(const Vobu& vobu, bool last, const FindingLog::Place& place);
    void CheckPackSize(uint64_t size);
    void CheckMuxRate(const model::PackEvent& pack);
    FindingLog::Place NavPlace(const Vobu& vobu) const;

    FindingLog& m_log;
    bool m_active = false;
    bool m_unauthored = false;
    bool m_hasPack = false;
    model::PackEvent m_pack;          // the latest pack
    uint64_t m_prevPackOffset = 0;    // the pack before it
    int64_t m_lbnBase = 0;
    bool m_firstField = false;        // a field picture waits for its second field
    uint8_t m_firstFieldType = 0;            // a VOB file after the first of a title set
    std::deque<Vobu> m_vobus;         // not yet checked (the last is the current one)
};

}  // namespace checks
