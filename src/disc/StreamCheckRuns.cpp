#include "disc/StreamCheckRuns.h"

#include <algorithm>
#include <cinttypes>

namespace disc
{

struct CStreamCheckRuns::Held
{
    model::PackEvent pack;
    bool hasSystem = false;
    model::SystemHeaderEvent system;
    std::vector<model::PesEvent> pes;
};

CStreamCheckRuns::CStreamCheckRuns() : m_held(std::make_unique<Held>()) { Start(0, 0); }

CStreamCheckRuns::~CStreamCheckRuns() = default;

void CStreamCheckRuns::Start(uint32_t pack, uint64_t offset)
{
    // Two time bases stay open: the current one and the one before it, for its late units.
    if (m_open.size() == 2)
        FinishOldest(m_open[1].firstOffset, nullptr);
    Run run;
    run.checks = std::make_unique<checks::StreamChecks>();
    run.checks->OnContainer(m_container);
    run.firstPack = pack;
    run.firstOffset = offset;
    m_open.push_back(std::move(run));
    m_checks = m_open.back().checks.get();
    ++m_runs;
}

void CStreamCheckRuns::FinishOldest(uint64_t endOffset, const model::StreamEnd* end)
{
    model::StreamEnd e;
    if (end)
        e = *end;
    else
        e.fileSize = endOffset;
    checks::StreamChecks& c = *m_open.front().checks;
    c.OnEnd(e);
    const checks::FindingLog& log = c.Log();
    m_findings.insert(m_findings.end(), log.Findings().begin(), log.Findings().end());
    for (int i = 0; i < 3; ++i)
        m_totals[i] += log.Total(static_cast<checks::Severity>(i));
    m_open.pop_front();
}

CStreamCheckRuns::Run* CStreamCheckRuns::RunOf(uint32_t pack)
{
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        if (it->firstPack <= pack)
            return &*it;
    return nullptr;
}

void CStreamCheckRuns::Deliver(const model::PesEvent& pes)
{
    Run& run = m_open.back();
    uint64_t& total = m_esTotal[pes.stream];
    run.esBase.emplace(pes.stream, total);
    total += pes.payloadSize;
    run.checks->OnPes(pes);
}

void CStreamCheckRuns::Release(bool newTimeBase, const char* why, uint64_t offset, uint32_t pack, int64_t scr27)
{
    if (newTimeBase)
    {
        Start(pack, offset);
        checks::Finding f;
        f.check = "time-base";
        f.severity = checks::Severity::Info;
        f.pack = pack;
        f.offset = offset;
        f.hasTime = true;
        f.time = checks::Seconds27(scr27);
        f.message = why;
        m_findings.push_back(std::move(f));
        ++m_totals[static_cast<int>(checks::Severity::Info)];
    }
    if (!m_holding)
        return;
    m_holding = false;
    m_checks->OnPack(m_held->pack);
    if (m_held->hasSystem)
        m_checks->OnSystemHeader(m_held->system);
    for (const model::PesEvent& e : m_held->pes)
        Deliver(e);
}

void CStreamCheckRuns::Hold()
{
    if (m_holding)
        Release(false, nullptr, 0, 0, 0);
}

// ---------------------------------------------------------------------------- events

void CStreamCheckRuns::OnContainer(model::Container container)
{
    m_container = container;
    m_checks->OnContainer(container);
}

void CStreamCheckRuns::OnPack(const model::PackEvent& pack)
{
    Hold();
    if (m_afterEnd)
    {
        m_afterEnd = false;
        Release(true, "a new program stream after an MPEG_program_end_code", pack.offset, pack.index, pack.scr27);
    }
    m_held->pack = pack;
    m_held->hasSystem = false;
    m_held->pes.clear();
    m_holding = true;
    m_packOpen = true;
}

void CStreamCheckRuns::OnSystemHeader(const model::SystemHeaderEvent& header)
{
    if (m_holding && m_packOpen)
    {
        m_held->system = header;
        m_held->hasSystem = true;
        return;
    }
    Hold();
    m_checks->OnSystemHeader(header);
}

void CStreamCheckRuns::OnPes(const model::PesEvent& pes)
{
    if (m_holding)
    {
        // Only a pack that opens with a navigation packet waits for its navigation pack.
        if (pes.kind == model::Kind::Navigation && (m_packOpen || !m_held->pes.empty()))
        {
            m_packOpen = false;
            m_held->pes.push_back(pes);
            return;
        }
        Hold();
    }
    m_packOpen = false;
    Deliver(pes);
}

void CStreamCheckRuns::OnNavPack(const model::NavPack& nav)
{
    if (m_holding && nav.pack == m_held->pack.index)
    {
        const bool change = m_hasVob && nav.hasDsi && nav.vobIdn != m_vobId;
        char why[96];
        std::snprintf(why, sizeof why, "VOB %u follows VOB %u: each VOB has a clock of its own", nav.vobIdn, m_vobId);
        Release(change, why, m_held->pack.offset, m_held->pack.index, m_held->pack.scr27);
    }
    else
        Hold();
    if (nav.hasDsi)
    {
        m_hasVob = true;
        m_vobId = nav.vobIdn;
    }
    m_checks->OnNavPack(nav);
}

void CStreamCheckRuns::OnSequence(const model::SequenceEvent& seq)
{
    Hold();
    if (Run* run = RunOf(seq.pack))
        run->checks->OnSequence(seq);
}

void CStreamCheckRuns::OnAccessUnit(const model::AccessUnit& unit)
{
    Hold();
    Run* run = RunOf(unit.pack);
    if (!run)
        return;
    model::AccessUnit u = unit;
    const auto base = run->esBase.find(unit.stream);
    if (base != run->esBase.end())
        u.esOffset -= std::min(base->second, u.esOffset);
    run->checks->OnAccessUnit(u);
}

void CStreamCheckRuns::OnProgramEnd(const model::ProgramEndEvent& end)
{
    Hold();
    m_checks->OnProgramEnd(end);
    m_afterEnd = true;
}

void CStreamCheckRuns::OnResync(const model::ResyncEvent& resync)
{
    Hold();
    m_checks->OnResync(resync);
}

void CStreamCheckRuns::OnEnd(const model::StreamEnd& end)
{
    Hold();
    while (m_open.size() > 1)
        FinishOldest(m_open[1].firstOffset, nullptr);
    FinishOldest(end.fileSize, &end);
    m_checks = nullptr;
}

}  // namespace disc
