#include "disc/DiscCheck.h"

#include "disc/DiscRules.h"
#include "disc/IfoChecks.h"
#include "disc/VobSetChecks.h"
#include "checks/StreamChecks.h"
#include "model/Pipeline.h"
#include "model/StreamStats.h"
#include "stream/CInput.h"

#include <algorithm>
#include <set>

namespace disc
{

using namespace rules;

using model::Format;

namespace
{

// Whether a set's files hold the blocks its IFO and navigation packs say it has.
struct SetSize
{
    bool cut = false;     // the set ends before its data does
    bool extra = false;   // more blocks than the IFO gives the set
    std::string why;
};

SetSize SizeOf(const Domain& d, const CVobSetScan& scan, uint64_t blocks)
{
    SetSize s;
    // The last VOBU runs on past the files: they are cut short.
    const std::vector<VobuRecord>& v = scan.Vobus();
    if (!v.empty() && !scan.Truncated() && v.back().hasDsi && uint64_t{v.back().block} + v.back().vobuEa + 1 > blocks)
    {
        s.cut = true;
        s.why = Format("inside the VOBU at block %u, which runs to block %llu", v.back().block,
                       static_cast<unsigned long long>(uint64_t{v.back().block} + v.back().vobuEa));
    }
    // Both address tables go on past the files' end: whole VOBUs are missing. (Either
    // table alone may be the one at fault; its own check says so then.)
    uint64_t admapEnd = 0, cellsEnd = 0;
    if (d.admap)
        for (uint32_t sector : d.admap->m_sectors)
            admapEnd = std::max<uint64_t>(admapEnd, uint64_t{sector} + 1);
    if (d.cAdt)
        for (const CIfoCAdt::Cell& c : d.cAdt->m_cells)
            cellsEnd = std::max<uint64_t>(cellsEnd, uint64_t{c.m_nLastSector} + 1);
    if (!s.cut && admapEnd > blocks && cellsEnd > blocks)
    {
        s.cut = true;
        s.why = Format("the cell address table goes on to sector %llu", static_cast<unsigned long long>(cellsEnd - 1));
    }
    // The IFO's layout gives the set its sectors; the set may be shorter (an authoring
    // tool pads a small manager or title set to keep the IFO and its BUP apart on the
    // disc), but never longer.
    s.extra = d.sectors >= 0 && blocks > static_cast<uint64_t>(d.sectors);
    return s;
}

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
        // A stop asked for ends the reading of VOB sets; the IFOs' checks stay.
        if (options.stop && options.stop->load(std::memory_order_relaxed))
            paths.clear();
        if (paths.empty())
        {
            if (d.hasVobs)
                CheckCellsAgainstAddresses(d, findings);
            CheckPgcTimes(d, {}, findings);
            result.runs.push_back(std::move(run));
            continue;
        }
        // One run of the model over the set: the stream checks (afresh at each VOB's clock)
        // and the scan.
        run.scan = std::make_unique<CVobSetScan>(options.maxVobus);
        model::CPipeline pipeline;
        checks::StreamChecks checks(pipeline.Context());
        pipeline.Add(*run.scan);
        pipeline.Add(checks);
        const std::shared_ptr<void> observer = options.observeSet ? options.observeSet(i, pipeline) : nullptr;
        pipeline.Demuxer().SetStopFlag(options.stop);
        pipeline.Run(input);

        std::vector<uint64_t> starts;
        for (uint32_t k = 0; k < input.FileCount(); ++k)
            starts.push_back(input.FileStart(k));
        const size_t set = findings.AddSet(names, starts);
        run.readError = run.scan->End().readError;
        if (run.readError)
        {
            run.readErrorFile = input.FileName(input.Locate(run.scan->Bytes()).file);
            result.unreadable.push_back(run.readErrorFile);
            result.readError = true;
        }
        run.blocks = run.scan->Bytes() / kBlock;
        const bool allRead = !run.readError && !run.scan->End().stopped && run.files.size() == d.vobs.size();
        const SetSize size = SizeOf(d, *run.scan, run.blocks);
        if (allRead && size.cut)
            findings.Report(names.back(), kDvdVobFiles, input.Locate(run.scan->Bytes()).offset,
                            Format("the VOB files of %s end at block %llu, %s", d.name.c_str(),
                                   static_cast<unsigned long long>(run.blocks), size.why.c_str()));
        if (allRead && size.extra)
            findings.Report(names.front(), kDvdVobFiles, 0,
                            Format("the VOB files of %s hold %llu blocks, more than the %lld sectors %s gives the set",
                                   d.name.c_str(), static_cast<unsigned long long>(run.blocks),
                                   static_cast<long long>(d.sectors), d.ifo.c_str()));
        // In a set cut short, the last navigation pack points at VOBUs that are not there:
        // that is the cut, said once above.
        const checks::FindingLog& log = checks.Log();
        std::vector<checks::Finding> stream = log.Findings();
        uint64_t totals[3] = {log.Total(checks::Severity::Error), log.Total(checks::Severity::Warning),
                              log.Total(checks::Severity::Info)};
        if (size.cut && !run.scan->Vobus().empty())
        {
            const uint64_t lastNav = uint64_t{run.scan->Vobus().back().block} * kBlock;
            stream.erase(std::remove_if(stream.begin(), stream.end(),
                                        [&](const checks::Finding& f) {
                                            const bool drop = f.offset == lastNav && f.stream == 0xBF;
                                            if (drop)
                                                totals[static_cast<int>(f.severity)] -= f.count;
                                            return drop;
                                        }),
                         stream.end());
        }
        findings.AddStreamFindings(set, stream, totals);
        const bool complete = allRead && !size.cut && !size.extra;
        const uint64_t limit = size.extra ? static_cast<uint64_t>(d.sectors) : run.blocks;
        DomainVerdict verdict;
        if (d.hasTables)
            verdict = CheckDomainAgainstVobs(d, *run.scan, static_cast<uint32_t>(std::min<uint64_t>(limit, UINT32_MAX)),
                                             complete, findings);
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
