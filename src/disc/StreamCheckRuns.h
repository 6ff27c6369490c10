#pragma once
// The stream checks of a VOB set, run afresh for each time base: each VOB of a DVD has a
// clock of its own, and a program stream after an end code too, so the checks' clocks,
// buffers and chains start anew there and no finding compares two clocks.
//
// A new time base is known only at the navigation pack that starts it (its VOB number),
// whose event comes once its pack is complete: the events of a pack that opens with a
// navigation packet wait until then, and go to the checks of the time base they belong to.

#include "checks/StreamChecks.h"
#include "model/ModelEvents.h"

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
    void Finish(uint64_t endOffset, const model::StreamEnd* end);
    void Start();

    std::unique_ptr<checks::StreamChecks> m_checks;
    model::Container m_container = model::Container::ProgramStream;
    uint32_t m_runs = 0;
    // The events of a pack that opens with a navigation packet, until its navigation pack.
    std::unique_ptr<Held> m_held;
    bool m_holding = false;
    bool m_packOpen = false;        // a pack's first packet not yet seen
    bool m_hasVob = false;
    uint16_t m_vobId = 0;
    bool m_afterEnd = false;        // an end code came: the next pack starts a time base
    std::vector<checks::Finding> m_findings;
    uint64_t m_totals[3] = {};
};

}  // namespace disc
