#include "app/inspector/InspectDisc.h"

#include "analysis/CAnalysisDriver.h"
#include "app/inspector/InspectCollector.h"
#include "disc/DiscReport.h"
#include "model/Pipeline.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

namespace inspector
{

using disc::DiscFinding;

// ---------------------------------------------------------------------------------
// Sets and places
// ---------------------------------------------------------------------------------

int DiscInspection::SetOfFile(const std::string& name) const
{
    for (size_t s = 0; s < sets.size(); ++s)
        if (std::find(sets[s].names.begin(), sets[s].names.end(), name) != sets[s].names.end())
            return static_cast<int>(s);
    return -1;
}

int DiscInspection::SetOfDomain(size_t domain) const
{
    for (size_t s = 0; s < sets.size(); ++s)
        if (sets[s].domain == domain)
            return static_cast<int>(s);
    return -1;
}

int DiscInspection::FirstTitleSet() const
{
    for (const DiscEntry& e : entries)
        if (e.kind == DiscEntry::Kind::Title && e.set >= 0)
            return e.set;
    return sets.empty() ? -1 : 0;
}

std::string DiscInspection::PathOf(const std::string& name) const
{
    const disc::DiscFiles& files = check.disc->files;
    std::vector<const disc::DiscFile*> all = {&files.vmgIfo, &files.vmgBup, &files.vmgVob};
    for (const auto& [number, ts] : files.titleSets)
    {
        all.insert(all.end(), {&ts.ifo, &ts.bup, &ts.menuVob});
        for (const auto& [n, vob] : ts.titleVobs)
            all.push_back(&vob);
    }
    for (const disc::DiscFile* f : all)
        if (f->Present() && f->name == name)
            return f->path;
    return std::string();
}

DiscInspection::Place DiscInspection::PlaceOf(size_t finding) const
{
    Place p;
    if (finding >= findings.size())
        return p;
    const DiscFinding& f = findings[finding];
    p.name = f.file;
    p.set = SetOfFile(f.file);
    if (p.set < 0)
    {
        p.path = PathOf(f.file);
        p.offset = f.finding.offset;
        return p;
    }
    const DiscSet& set = sets[static_cast<size_t>(p.set)];
    // A stream finding counts its offset in the set; a finding about a VOB file itself
    // (its size, say) in that file.
    const size_t file = static_cast<size_t>(
        std::find(set.names.begin(), set.names.end(), f.file) - set.names.begin());
    p.offset = f.inStream ? f.finding.offset : set.starts[file] + f.finding.offset;
    p.path = set.paths[file];
    return p;
}

// ---------------------------------------------------------------------------------
// The tree
// ---------------------------------------------------------------------------------

namespace
{

bool Within(uint64_t offset, uint32_t start, uint32_t size)
{
    return offset >= start && offset - start < size;
}

class TreeBuilder
{
public:
    explicit TreeBuilder(const DiscInspection& d) : m_d(d), m_taken(d.findings.size(), false) {}

    std::vector<DiscEntry> Build()
    {
        const disc::CDisc& disc = *m_d.check.disc;
        const std::vector<std::string> titleLines = disc::TitleLines(disc);
        for (size_t i = 0; i < titleLines.size(); ++i)
            AddTitle(disc, i, titleLines[i]);
        // What no entry took stays reachable under its file.
        std::map<std::string, int> files;
        for (size_t i = 0; i < m_d.findings.size(); ++i)
        {
            if (m_taken[i])
                continue;
            const std::string& name = m_d.findings[i].file;
            auto it = files.find(name);
            if (it == files.end())
            {
                DiscEntry e;
                e.kind = DiscEntry::Kind::File;
                e.text = name;
                e.set = m_d.SetOfFile(name);
                it = files.emplace(name, Add(std::move(e))).first;
            }
            m_entries[static_cast<size_t>(it->second)].findings.push_back(static_cast<uint32_t>(i));
        }
        // Each entry's own findings counted up to the top.
        for (size_t i = m_entries.size(); i-- > 0;)
        {
            DiscEntry& e = m_entries[i];
            e.all.insert(e.all.end(), e.findings.begin(), e.findings.end());
            std::sort(e.all.begin(), e.all.end());
            e.all.erase(std::unique(e.all.begin(), e.all.end()), e.all.end());
            for (uint32_t f : e.all)
            {
                const int severity = static_cast<int>(m_d.findings[f].finding.severity);
                e.worst = e.worst < 0 ? severity : std::min(e.worst, severity);
            }
            if (e.parent >= 0)
            {
                std::vector<uint32_t>& up = m_entries[static_cast<size_t>(e.parent)].all;
                up.insert(up.end(), e.all.begin(), e.all.end());
            }
        }
        return std::move(m_entries);
    }

private:
    int Add(DiscEntry e)
    {
        m_entries.push_back(std::move(e));
        return static_cast<int>(m_entries.size() - 1);
    }

    // The findings of a file whose offsets fall in [start, start + size).
    void TakeIfo(int entry, const std::string& file, uint32_t start, uint32_t size)
    {
        for (size_t i = 0; i < m_d.findings.size(); ++i)
        {
            const DiscFinding& f = m_d.findings[i];
            if (!m_takenHere.count(i) && !f.inStream && f.file == file && Within(f.finding.offset, start, size))
            {
                m_entries[static_cast<size_t>(entry)].findings.push_back(static_cast<uint32_t>(i));
                m_takenHere.insert(i);
                m_taken[i] = true;
            }
        }
    }

    void AddTitle(const disc::CDisc& disc, size_t index, const std::string& line)
    {
        const disc::TitleRef r = disc::ResolveTitle(disc, index);
        DiscEntry title;
        title.kind = DiscEntry::Kind::Title;
        title.text = line;
        for (size_t k = 0; k < disc.domains.size(); ++k)
            if (r.entry && disc.domains[k].kind == disc::DomainKind::Titles &&
                disc.domains[k].vts == r.entry->m_nTitleSetNr)
                title.set = m_d.SetOfDomain(k);
        const int t = Add(std::move(title));
        m_takenHere.clear();
        if (r.entry)
            TakeIfo(t, disc.vmgData.name, r.entry->m_nOffset, CIfoTtSrpt::kEntrySize);
        if (!r.titleSet)
            return;
        // The PGCs its chapters play, in the chapters' order.
        std::vector<uint32_t> pgcns;
        if (r.chapters)
            for (const CIfoPttSrpt::Ptt& p : r.chapters->ptts)
                if (std::find(pgcns.begin(), pgcns.end(), p.m_nPgcn) == pgcns.end())
                    pgcns.push_back(p.m_nPgcn);
        if (pgcns.empty() && r.firstPgc)
            pgcns.push_back(r.firstPgcn);
        const std::string& ifo = r.titleSet->data.name;
        const int set = m_entries[static_cast<size_t>(t)].set;
        for (uint32_t pgcn : pgcns)
        {
            const CIfoPgc* pgc = disc::TitlePgc(*r.titleSet, pgcn);
            if (!pgc)
                continue;
            DiscEntry pe;
            pe.kind = DiscEntry::Kind::Pgc;
            pe.text = disc::PgcLine(*pgc, pgcn);
            pe.parent = t;
            pe.set = set;
            const int p = Add(std::move(pe));
            m_takenHere.clear();
            std::vector<int> cells;
            for (size_t c = 0; c < pgc->m_cellPlayback.size(); ++c)
            {
                const CIfoCellPlayback& play = pgc->m_cellPlayback[c];
                DiscEntry ce;
                ce.kind = DiscEntry::Kind::Cell;
                ce.text = disc::CellLine(*pgc, c);
                ce.parent = p;
                ce.set = set;
                ce.firstSector = play.m_nFirstSector;
                ce.lastSector = play.m_nLastSector;
                const int cell = Add(std::move(ce));
                cells.push_back(cell);
                TakeIfo(cell, ifo, play.m_nOffset, CIfoCellPlayback::kSize);
                if (c < pgc->m_cellPosition.size())
                    TakeIfo(cell, ifo, pgc->m_cellPosition[c].m_nOffset, CIfoCellPosition::kSize);
                TakeStream(cell, set, play.m_nFirstSector, play.m_nLastSector);
            }
            // The rest of the PGC's header and tables.
            if (pgc->m_extent.end > pgc->m_extent.start)
                TakeIfo(p, ifo, pgc->m_extent.start, pgc->m_extent.end - pgc->m_extent.start);
        }
    }

    // The stream findings of a set in a cell's sectors.
    void TakeStream(int entry, int set, uint32_t firstSector, uint32_t lastSector)
    {
        if (set < 0)
            return;
        for (size_t i = 0; i < m_d.findings.size(); ++i)
        {
            const DiscFinding& f = m_d.findings[i];
            if (!f.inStream || m_d.SetOfFile(f.file) != set)
                continue;
            const uint64_t sector = m_d.PlaceOf(i).offset / disc::kBlock;
            if (sector >= firstSector && sector <= lastSector)
            {
                m_entries[static_cast<size_t>(entry)].findings.push_back(static_cast<uint32_t>(i));
                m_taken[i] = true;
            }
        }
    }

    const DiscInspection& m_d;
    std::vector<bool> m_taken;
    std::set<size_t> m_takenHere;  // by the title or PGC being built, and its cells
    std::vector<DiscEntry> m_entries;
};

}  // namespace

std::vector<DiscEntry> BuildDiscEntries(const DiscInspection& d)
{
    return TreeBuilder(d).Build();
}

// ---------------------------------------------------------------------------------
// The pass
// ---------------------------------------------------------------------------------

namespace
{

// How far the pass has come through all the disc's VOB files.
class DiscProgress : public model::IModelSink
{
public:
    DiscProgress(uint64_t done, uint64_t total, std::atomic<int>& percent)
        : m_nDone(done), m_nTotal(total), m_percent(percent)
    {
    }
    void OnPack(const model::PackEvent& pack) override
    {
        if (m_nTotal && (pack.index & 255) == 0)
            m_percent.store(static_cast<int>(std::min<uint64_t>((m_nDone + pack.offset) * 100 / m_nTotal, 99)),
                            std::memory_order_relaxed);
    }

private:
    uint64_t m_nDone, m_nTotal;
    std::atomic<int>& m_percent;
};

// What the inspector adds to the disc check's run over one set.
struct SetPass
{
    SetPass(model::CPipeline& pipeline, uint64_t done, uint64_t total, std::atomic<int>& percent)
        : result(std::make_shared<InspectResult>()), collector(*result, pipeline),
          progress(done, total, percent)
    {
        pipeline.Add(progress);
    }
    std::shared_ptr<InspectResult> result;
    InspectCollector collector;
    DiscProgress progress;
};

uint64_t VobBytes(const disc::DiscFiles& files)
{
    uint64_t total = files.vmgVob.size;
    for (const auto& [number, ts] : files.titleSets)
    {
        total += ts.menuVob.size;
        for (const auto& [n, vob] : ts.titleVobs)
            total += vob.size;
    }
    return total;
}

}  // namespace

bool InspectDisc(const std::string& path, InspectResult& result, const std::atomic<bool>& stop,
                 std::atomic<int>& percent, std::string& error)
{
    disc::DiscFiles files;
    int code = 0;
    if (!disc::FindDisc(path, files, &code))
    {
        // A folder that holds no disc says so, rather than "no such file".
        error = std::string(CAnalysisDriver::kOpenErrorText) + ": " + path + ": " +
                (code == ENOENT && disc::LooksLikeDisc(path) ? std::string(disc::kNoDiscReason)
                                                             : CAnalysisDriver::OpenErrorReason(code));
        return false;
    }
    auto d = std::make_shared<DiscInspection>();
    const uint64_t total = VobBytes(files);
    uint64_t done = 0;
    std::map<size_t, std::shared_ptr<SetPass>> passes;
    std::shared_ptr<SetPass> last;
    disc::DiscCheckOptions options;
    options.stop = &stop;
    options.observeSet = [&](size_t domain, model::CPipeline& pipeline) -> std::shared_ptr<void> {
        if (last)
            done += last->result->fileSize;
        last = std::make_shared<SetPass>(pipeline, done, total, percent);
        passes[domain] = last;
        return last;
    };
    d->check = disc::CheckDisc(files, options);
    d->findings = d->check.findings.All();
    d->totals = disc::TotalsLine(d->check);

    for (size_t k = 0; k < d->check.runs.size(); ++k)
    {
        const disc::DomainRun& run = d->check.runs[k];
        const auto pass = passes.find(k);
        if (!run.scan || pass == passes.end())
            continue;
        DiscSet set;
        set.domain = k;
        set.name = run.domain->name;
        uint64_t start = 0;
        for (const disc::DiscFile& f : run.files)
        {
            set.paths.push_back(f.path);
            set.names.push_back(f.name);
            set.starts.push_back(start);
            start += f.size;
        }
        pass->second->result->path = set.paths.empty() ? std::string() : set.paths.front();
        set.result = pass->second->result;
        result.stopped = result.stopped || set.result->stopped;
        result.readError = result.readError || set.result->readError;
        d->sets.push_back(std::move(set));
    }
    d->entries = BuildDiscEntries(*d);

    for (const DiscFinding& f : d->findings)
    {
        result.findings.push_back(f.finding);
        result.findingFiles.push_back(f.file);
    }
    result.errors = d->check.findings.Total(checks::Severity::Error);
    result.warnings = d->check.findings.Total(checks::Severity::Warning);
    result.infos = d->check.findings.Total(checks::Severity::Info);
    result.stopped = result.stopped || stop.load();
    result.fileSize = total;
    result.disc = std::move(d);
    return true;
}

}  // namespace inspector
