#include "disc/DiscCheck.h"

#include "disc/DiscRules.h"
#include "disc/IfoChecks.h"
#include "disc/StreamCheckRuns.h"
#include "disc/VobSetChecks.h"
#include "model/CDemuxer.h"
#include "model/StreamStats.h"
#include "stream/CInput.h"

#include <algorithm>
#include <set>

namespace disc
{

using model::Format;

namespace
{

// The scan and the stream checks see the same events of one run of the demultiplexer.
class CFanOut : public model::IModelSink
{
public:
    CFanOut(model::IModelSink& a, model::IModelSink& b) : m_a(a), m_b(b) {}
    void OnContainer(model::Container c) override { m_a.OnContainer(c), m_b.OnContainer(c); }
    void OnPack(const model::PackEvent& e) override { m_a.OnPack(e), m_b.OnPack(e); }
    void OnSystemHeader(const model::SystemHeaderEvent& e) override { m_a.OnSystemHeader(e), m_b.OnSystemHeader(e); }
    void OnPes(const model::PesEvent& e) override { m_a.OnPes(e), m_b.OnPes(e); }
    void OnSequence(const model::SequenceEvent& e) override { m_a.OnSequence(e), m_b.OnSequence(e); }
    void OnAccessUnit(const model::AccessUnit& e) override { m_a.OnAccessUnit(e), m_b.OnAccessUnit(e); }
    void OnNavPack(const model::NavPack& e) override { m_a.OnNavPack(e), m_b.OnNavPack(e); }
    void OnProgramEnd(const model::ProgramEndEvent& e) override { m_a.OnProgramEnd(e), m_b.OnProgramEnd(e); }
    void OnTimeBase(const model::TimeBaseEvent& e) override { m_a.OnTimeBase(e), m_b.OnTimeBase(e); }
    void OnResync(const model::ResyncEvent& e) override { m_a.OnResync(e), m_b.OnResync(e); }
    void OnEnd(const model::StreamEnd& e) override { m_a.OnEnd(e), m_b.OnEnd(e); }

private:
    model::IModelSink& m_a;
    model::IModelSink& m_b;
};

}  // namespace

std::vector<DiscFile> CheckVobFiles(const Domain& d, CDiscFindings& findings, bool* reported)
{
    std::vector<DiscFile> out;
    bool gap = false;
    const bool titles = d.kind == DomainKind::Titles;
    uint32_t expect = titles ? 1 : 0;
    for (const DiscFile& f : d.vobs)
    {
        const uint32_t number = titles ? static_cast<uint32_t>(f.name[7] - '0') : 0;
        if (f.size == 0 || number != expect)
        {
            if (!gap && (!out.empty() || number != expect))
            {
                *reported = true;
                const std::string missing = f.size == 0 ? f.name : VtsName(d.vts, expect, "VOB");
                findings.Report(f.name, kDvdVobFiles, 0,
                                f.size == 0 ? Format("%s is empty; the files after it are not read", f.name.c_str())
                                            : Format("%s is missing before %s; the files after it are not read",
                                                     missing.c_str(), f.name.c_str()));
            }
            gap = true;
        }
        ++expect;
        if (gap)
            continue;
        if (f.size > kMaxVobBytes)
            findings.Report(f.name, kDvdVobFiles, 0,
                            Format("%s has %llu bytes, more than 1 GiB", f.name.c_str(),
                                   static_cast<unsigned long long>(f.size)));
        if (f.size % kBlock != 0)
            findings.Report(f.name, kDvdVobFiles, f.size - f.size % kBlock,
                            Format("%s has %llu bytes, not a whole number of 2048-byte blocks", f.name.c_str(),
                                   static_cast<unsigned long long>(f.size)));
        if (f.size > kMaxVobBytes || f.size % kBlock != 0)
            *reported = true;
        out.push_back(f);
    }
    return out;
}

DiscCheckResult CheckDisc(const DiscFiles& files, const DiscCheckOptions& options)
{
    DiscCheckResult result;
    CDiscFindings& findings = result.findings;
    result.disc = LoadDisc(files, findings);
    CDisc& disc = *result.disc;
    CheckIfos(disc, findings);

    std::vector<std::vector<DiscFile>> sets(disc.domains.size());
    std::vector<std::string> missing;
    std::vector<bool> told(disc.domains.size(), false);
    bool anyVobs = false;
    for (size_t i = 0; i < disc.domains.size() && options.readVobs; ++i)
    {
        const Domain& d = disc.domains[i];
        if (!d.hasVobs)
            continue;
        bool reported = false;
        sets[i] = CheckVobFiles(d, findings, &reported);
        told[i] = reported;
        if (sets[i].empty())
            missing.push_back(d.vobNames.front());
        anyVobs = anyVobs || !sets[i].empty();
    }
    // A disc kept without its VOBs is one fact, not one per set.
    if (!anyVobs && !missing.empty())
    {
        std::string list;
        for (const std::string& m : missing)
            list += (list.empty() ? "" : ", ") + m;
        findings.Report(missing.front(), kDvdVobFiles, 0,
                        "no VOB files (" + list + "): the IFOs are judged alone");
    }
    else
        for (size_t i = 0; i < disc.domains.size(); ++i)
            if (disc.domains[i].hasVobs && sets[i].empty() && !told[i] && options.readVobs)
                findings.Report(disc.domains[i].vobNames.front(), kDvdVobFiles, 0,
                                Format("the VOB set of %s (%s) is missing", disc.domains[i].name.c_str(),
                                       disc.domains[i].vobNames.front().c_str()));

    std::set<uint32_t> wrongVts;
    for (size_t i = 0; i < disc.domains.size(); ++i)
    {
        const Domain& d = disc.domains[i];
        DomainRun run;
        run.domain = &d;
        run.files = sets[i];
        std::vector<std::string> paths, names;
        for (const DiscFile& f : run.files)
        {
            paths.push_back(f.path);
            names.push_back(f.name);
        }
        CFileSetInput input;
        int error = 0;
        size_t failed = 0;
        if (!paths.empty() && !input.Open(paths, &error, &failed))
        {
            result.unreadable.push_back(paths[failed]);
            result.readError = true;
            paths.clear();
        }
        if (paths.empty())
        {
            if (d.hasVobs)
                CheckCellsAgainstAddresses(d, findings);
            CheckPgcTimes(d, {}, findings);
            result.runs.push_back(std::move(run));
            continue;
        }
        run.scan = std::make_unique<CVobSetScan>(options.maxVobus);
        CStreamCheckRuns checks;
        CFanOut fan(*run.scan, checks);
        model::CDemuxer demuxer(fan);
        demuxer.SetStopFlag(options.stop);
        demuxer.Run(input);

        std::vector<uint64_t> starts;
        for (uint32_t k = 0; k < input.FileCount(); ++k)
            starts.push_back(input.FileStart(k));
        const size_t set = findings.AddSet(names, starts);
        const uint64_t totals[3] = {checks.Total(checks::Severity::Error), checks.Total(checks::Severity::Warning),
                                    checks.Total(checks::Severity::Info)};
        findings.AddStreamFindings(set, checks.Findings(), totals);

        run.readError = run.scan->End().readError;
        if (run.readError)
        {
            run.readErrorFile = input.FileName(input.Locate(run.scan->Bytes()).file);
            result.unreadable.push_back(run.readErrorFile);
            result.readError = true;
        }
        run.blocks = run.scan->Bytes() / kBlock;
        const bool allRead = !run.readError && !run.scan->End().stopped && run.files.size() == d.vobs.size();
        uint64_t limit = run.blocks;
        bool complete = allRead;
        if (d.sectors >= 0)
        {
            if (run.blocks != static_cast<uint64_t>(d.sectors) && allRead)
                findings.Report(names.front(), kDvdVobFiles, 0,
                                Format("the VOB files of %s hold %llu blocks, %s gives the set %lld sectors",
                                       d.name.c_str(), static_cast<unsigned long long>(run.blocks), d.ifo.c_str(),
                                       static_cast<long long>(d.sectors)));
            limit = std::min<uint64_t>(limit, static_cast<uint64_t>(d.sectors));
            complete = complete && run.blocks == static_cast<uint64_t>(d.sectors);
        }
        const DomainVerdict verdict = CheckDomainAgainstVobs(
            d, *run.scan, static_cast<uint32_t>(std::min<uint64_t>(limit, UINT32_MAX)), complete, findings);
        CheckPgcTimes(d, verdict.cellTicks90, findings);
        if (verdict.attributesWrong && d.kind != DomainKind::ManagerMenus)
            wrongVts.insert(d.vts);
        result.packs += run.scan->Packs();
        result.bytes += run.scan->Bytes();
        result.runs.push_back(std::move(run));
    }
    CheckAttributeTable(disc, wrongVts, findings);
    return result;
}

}  // namespace disc
