#pragma once
// The stream checks of a VOB set, run afresh for each time base: each VOB of a DVD has a
// clock of its own, and a program stream after an end code too, so the checks' clocks,
// buffers and chains start anew there and no finding compares two clocks.
//
// A new time base is known only at the navigation pack that starts it (its VOB number),
// whose event comes once its pack is complete: the events of a pack that opens with a
// navigation packet wait until then, and go to the checks of the time base they belong to.
// An access unit is delivered once the next one starts, so the last units of a VOB come
// after the next VOB has begun: they go to the checks of the time base they started in,
// which stay open until the one after next begins (a stream that skips a whole VOB keeps
// its last unit back longer; that unit is not judged).

#include "checks/StreamChecks.h"
#include "model/ModelEvents.h"

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace disc
{

class CStreamCheckRuns : public model::IModelSink
{
public:
    CStreamCheckRuns();
    ~CStreamCheckRuns() override;

    void OnContainer(model::Container container) override;
    void OnPack(const model::PackEvent& pack) override;
    void OnSystemHeader(const model::SystemHeaderEvent& header) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnSequence(const model::SequenceEvent& seq) override;
    void OnAccessUnit(const model::AccessUnit& unit) override;
    void OnNavPack(const model::NavPack& nav) override;
    void OnProgramEnd(const model::ProgramEndEvent& end) override;
    void OnResync(const model::ResyncEvent& resync) override;
    void OnEnd(const model::StreamEnd& end) override;

    // Every finding of every time base, with the time bases' own "time-base" infos.
    const std::vector<checks::Finding>& Findings() const { return m_findings; }
    uint64_t Total(checks::Severity severity) const { return m_totals[static_cast<int>(severity)]; }
    uint32_t TimeBases() const { return m_runs; }

private:
    struct Held;
    void Hold();
    void Release(bool newTimeBase, const char* why, uint64_t offset, uint32_t pack, int64_t scr27);
    struct Run
    {
        std::unique_ptr<checks::StreamChecks> checks;
        uint32_t firstPack = 0;
        uint64_t firstOffset = 0;
        // Where each stream's payload stood when the time base began: the checks count a
        // stream's bytes from their first packet, the units' positions run on from the
        // input's first.
        std::map<model::StreamKey, uint64_t> esBase;
    };
    // Ends the oldest open time base; its input ends at endOffset (or with *end).
    void FinishOldest(uint64_t endOffset, const model::StreamEnd* end);
    void Start(uint32_t pack, uint64_t offset);
    // The time base a unit starting in this pack belongs to, null where that one is closed.
    Run* RunOf(uint32_t pack);
    void Deliver(const model::PesEvent& pes);

    std::deque<Run> m_open;             // the current time base last
    checks::StreamChecks* m_checks = nullptr;
    model::Container m_container = model::Container::ProgramStream;
    uint32_t m_runs = 0;
    // The events of a pack that opens with a navigation packet, until its navigation pack.
    std::unique_ptr<Held> m_held;
    bool m_holding = false;
    bool m_packOpen = false;        // a pack's first packet not yet seen
    bool m_hasVob = false;
    uint16_t m_vobId = 0;
    bool m_afterEnd = false;        // an end code came: the next pack starts a time base
    std::map<model::StreamKey, uint64_t> m_esTotal;  // payload bytes of each stream so far
    std::vector<checks::Finding> m_findings;
    uint64_t m_totals[3] = {};
};

}  // namespace disc
