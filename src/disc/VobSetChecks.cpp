#include "disc/VobSetChecks.h"

#include "disc/DiscFindings.h"
#include "disc/DiscModel.h"
#include "disc/DiscRules.h"
#include "disc/VobSetScan.h"
#include "model/StreamStats.h"

#include <algorithm>
#include <cinttypes>
#include <limits>
#include <map>
#include <set>

namespace disc
{

using namespace rules;

using model::Format;

namespace
{

constexpr int64_t kTicks27Per90 = 300;
constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

uint32_t CellKey(uint16_t vob, uint8_t cell) { return (uint32_t{vob} << 8) | cell; }

// VOBUs in a row that carry the same VOB and cell number.
struct Run
{
    uint16_t vob = 0;
    uint8_t cell = 0;
    size_t first = 0, last = 0;   // indexes of its first and last VOBU
    bool matched = false;          // a cell address entry starts with it
};

// What the stream says of a cell (all its VOBUs, in every run).
struct CellSpan
{
    bool found = false;
    size_t firstVobu = 0, lastVobu = 0;
    bool hasVideo = false;
    int64_t videoStart27 = 0, videoEnd27 = 0;
    std::vector<size_t> vobus;     // in block order
};

class Judge
{
public:
    Judge(const Domain& d, const CVobSetScan& scan, uint32_t limit, bool complete, CDiscFindings& findings)
        : m_d(d), m_scan(scan), m_findings(findings)
    {
        const std::vector<VobuRecord>& all = scan.Vobus();
        if (scan.Truncated())
            complete = false;
        for (const VobuRecord& v : all)
            if (v.block < limit)
                m_vobus.push_back(&v);
        BuildRuns();
        // A set cut short (or with VOBUs past the ones kept) is judged up to the last run
        // it has whole: the last one may go on past the cut.
        m_horizon = kNone;
        if (!complete)
            m_horizon = m_runs.empty() ? 0 : m_vobus[m_runs.back().first]->block;
        if (!complete && !m_runs.empty())
            m_runs.pop_back();
        while (!m_vobus.empty() && m_vobus.back()->block >= m_horizon)
            m_vobus.pop_back();
        for (size_t i = 0; i < m_runs.size(); ++i)
            m_byCell[CellKey(m_runs[i].vob, m_runs[i].cell)].push_back(i);
        if (scan.Truncated())
            m_findings.Report(d.ifo, checks::rules::kModelLimit, d.admap ? d.admap->m_nStart : 0,
                              Format("%s: the VOB set has %" PRIu64 " navigation packs, more than the %zu the checks keep; "
                                     "the tables are judged up to block %u",
                                     d.name.c_str(), scan.NavPacks(), all.size(), m_horizon));
    }

    void Admap();
    void CellAddresses();
    void CellPlayback();
    void CellTimes();
    void TimeMaps();
    void Attributes();
    void Stc();
    DomainVerdict verdict;

private:
    void BuildRuns();
    const CellSpan* SpanOf(uint16_t vob, uint8_t cell);
    // Calls f(pgc, cell index, playback entry, position entry, span) for each cell of the
    // domain's PGCs that the stream has (one no navigation pack carries has its finding in
    // the cell addresses).
    template <class F>
    void ForEachCell(F f);
    bool Judged(uint32_t lastSector) const { return m_horizon == kNone || lastSector < m_horizon; }
    const VobuRecord& V(size_t i) const { return *m_vobus[i]; }
    // The VOBU whose navigation pack is at a block, or kNone.
    size_t VobuAt(uint32_t block) const;
    // The PGC times of a title PGC's VOBUs, and its length, for the time map; false where
    // a cell is not in the stream.
    bool Timeline(const CIfoPgc& pgc, std::vector<std::pair<int64_t, size_t>>& starts, int64_t& length);
    void CheckVideo(const FoundStream& s, const model::SequenceEvent& seq);
    std::set<uint32_t> StreamNumbers(bool audio, uint32_t count) const;

    const Domain& m_d;
    const CVobSetScan& m_scan;
    CDiscFindings& m_findings;
    std::vector<const VobuRecord*> m_vobus;
    std::vector<Run> m_runs;
    std::map<uint32_t, std::vector<size_t>> m_byCell;
    std::map<uint32_t, CellSpan> m_spans;
    uint32_t m_horizon = kNone;
};

void Judge::BuildRuns()
{
    for (size_t i = 0; i < m_vobus.size(); ++i)
    {
        const VobuRecord& v = V(i);
        if (!m_runs.empty() && m_runs.back().vob == v.vobId && m_runs.back().cell == v.cellId)
            m_runs.back().last = i;
        else
            m_runs.push_back({v.vobId, v.cellId, i, i, false});
    }
}

size_t Judge::VobuAt(uint32_t block) const
{
    const auto it = std::lower_bound(m_vobus.begin(), m_vobus.end(), block,
                                     [](const VobuRecord* v, uint32_t b) { return v->block < b; });
    return it != m_vobus.end() && (*it)->block == block ? static_cast<size_t>(it - m_vobus.begin()) : kNone;
}

const CellSpan* Judge::SpanOf(uint16_t vob, uint8_t cell)
{
    const uint32_t key = CellKey(vob, cell);
    const auto done = m_spans.find(key);
    if (done != m_spans.end())
        return done->second.found ? &done->second : nullptr;
    CellSpan& s = m_spans[key];
    const auto it = m_byCell.find(key);
    if (it == m_byCell.end())
        return nullptr;
    s.found = true;
    for (size_t r : it->second)
        for (size_t i = m_runs[r].first; i <= m_runs[r].last; ++i)
        {
            s.vobus.push_back(i);
            const VobuRecord& v = V(i);
            if (!v.hasVideo)
                continue;
            s.videoStart27 = s.hasVideo ? std::min(s.videoStart27, v.videoStart27) : v.videoStart27;
            s.videoEnd27 = s.hasVideo ? std::max(s.videoEnd27, v.videoEnd27) : v.videoEnd27;
            s.hasVideo = true;
        }
    s.firstVobu = s.vobus.front();
    s.lastVobu = s.vobus.back();
    return &s;
}

// ---------------------------------------------------------------------------- VOBU address map

void Judge::Admap()
{
    const CIfoVobuAdmap* map = m_d.admap;
    if (!map)
        return;
    std::vector<size_t> entries;  // indexes of the judged entries
    for (size_t i = 0; i < map->m_sectors.size(); ++i)
        if (Judged(map->m_sectors[i]))
            entries.push_back(i);
    const char* name = m_d.name.c_str();
    if (entries.size() == m_vobus.size())
    {
        // Entry for entry: a wrong entry is one finding, not a shift of all after it.
        for (size_t k = 0; k < entries.size(); ++k)
        {
            const uint32_t sector = map->m_sectors[entries[k]];
            if (sector != V(k).block)
                m_findings.Report(m_d.ifo, kIfoVobuAdmap, map->EntryOffset(entries[k]),
                                  Format("%s: entry %zu is sector %u, VOBU %zu's navigation pack is at block %u", name,
                                         entries[k] + 1, sector, k + 1, V(k).block));
        }
        return;
    }
    std::set<uint32_t> listed;
    for (size_t k = 0; k < entries.size(); ++k)
    {
        const uint32_t sector = map->m_sectors[entries[k]];
        listed.insert(sector);
        if (VobuAt(sector) == kNone)
            m_findings.Report(m_d.ifo, kIfoVobuAdmap, map->EntryOffset(entries[k]),
                              Format("%s: entry %zu is sector %u, which is not a navigation pack", name, entries[k] + 1,
                                     sector));
        else if (k > 0 && sector <= map->m_sectors[entries[k - 1]])
            m_findings.Report(m_d.ifo, kIfoVobuAdmap, map->EntryOffset(entries[k]),
                              Format("%s: entry %zu (sector %u) does not follow entry %zu (sector %u)", name,
                                     entries[k] + 1, sector, entries[k], map->m_sectors[entries[k - 1]]));
    }
    for (size_t i = 0; i < m_vobus.size(); ++i)
        if (!listed.count(V(i).block))
            m_findings.Report(m_d.ifo, kIfoVobuAdmap, map->m_nStart,
                              Format("%s: the navigation pack at block %u (VOBU %zu) is not in the map of %zu entries",
                                     name, V(i).block, i + 1, map->m_sectors.size()));
}

// ---------------------------------------------------------------------------- cell addresses

void Judge::CellAddresses()
{
    const CIfoCAdt* t = m_d.cAdt;
    if (!t)
        return;
    const char* name = m_d.name.c_str();
    // The pieces of interleaved cells (angle blocks) may be listed in the order they lie
    // in; only a table without them is held to VOB and cell order.
    bool interleaved = false;
    for (const PgcRef& ref : m_d.pgcs)
        for (const CIfoCellPlayback& c : ref.pgc->m_cellPlayback)
            interleaved = interleaved || c.m_nInterleaved || c.InAngleBlock();
    std::set<uint32_t> listed;
    for (size_t k = 0; k < t->m_cells.size(); ++k)
    {
        const CIfoCAdt::Cell& c = t->m_cells[k];
        listed.insert(CellKey(c.m_nVobId, c.m_nCellId));
        if (k > 0 && !interleaved)
        {
            const CIfoCAdt::Cell& p = t->m_cells[k - 1];
            const auto key = [](const CIfoCAdt::Cell& x) {
                return std::make_tuple(x.m_nVobId, x.m_nCellId, x.m_nStartSector);
            };
            if (key(c) < key(p))
                m_findings.Report(m_d.ifo, kIfoCellAddress, c.m_nOffset,
                                  Format("%s: entry %zu (VOB %u cell %u, sector %u) comes after entry %zu (VOB %u cell "
                                         "%u, sector %u): the table is not sorted",
                                         name, k + 1, c.m_nVobId, c.m_nCellId, c.m_nStartSector, k, p.m_nVobId,
                                         p.m_nCellId, p.m_nStartSector));
        }
        if (!Judged(c.m_nLastSector))
            continue;
        const size_t at = VobuAt(c.m_nStartSector);
        const auto run = std::lower_bound(m_runs.begin(), m_runs.end(), at,
                                          [](const Run& r, size_t vobu) { return r.first < vobu; });
        if (at != kNone && run != m_runs.end() && run->first == at && run->vob == c.m_nVobId && run->cell == c.m_nCellId)
        {
            // The entry's cell may go on after VOBUs that carry another number: those are
            // the VOB's fault (reported as a run the table does not list), not the entry's.
            auto end = run;
            end->matched = true;
            for (auto next = run + 1; next != m_runs.end() && V(next->first).block <= c.m_nLastSector; ++next)
                if (next->vob == c.m_nVobId && next->cell == c.m_nCellId)
                {
                    end = next;
                    end->matched = true;
                }
            const uint32_t last = V(end->last).lastBlock;
            if (last != c.m_nLastSector)
                m_findings.Report(m_d.ifo, kIfoCellAddress, c.m_nOffset + 8,
                                  Format("%s: entry %zu (VOB %u cell %u) ends at sector %u, its navigation packs' "
                                         "last VOBU ends at block %u",
                                         name, k + 1, c.m_nVobId, c.m_nCellId, c.m_nLastSector, last));
            continue;
        }
        const CellSpan* span = SpanOf(c.m_nVobId, c.m_nCellId);
        if (!span)
            m_findings.Report(m_d.ifo, kIfoCellAddress, c.m_nOffset,
                              Format("%s: entry %zu (VOB %u cell %u, sectors %u to %u): no navigation pack carries VOB "
                                     "%u cell %u",
                                     name, k + 1, c.m_nVobId, c.m_nCellId, c.m_nStartSector, c.m_nLastSector,
                                     c.m_nVobId, c.m_nCellId));
        else
            m_findings.Report(m_d.ifo, kIfoCellAddress, c.m_nOffset + 4,
                              Format("%s: entry %zu (VOB %u cell %u) gives sectors %u to %u, its navigation packs "
                                     "run from block %u to %u",
                                     name, k + 1, c.m_nVobId, c.m_nCellId, c.m_nStartSector, c.m_nLastSector,
                                     V(span->firstVobu).block, V(span->lastVobu).lastBlock));
    }
    for (const Run& r : m_runs)
        if (!r.matched && !listed.count(CellKey(r.vob, r.cell)))
            m_findings.Report(m_d.ifo, kIfoCellAddress, t->m_header.m_nStart,
                              Format("%s: blocks %u to %u carry VOB %u cell %u, which the table does not list", name,
                                     V(r.first).block, V(r.last).lastBlock, r.vob, r.cell));
}

// ---------------------------------------------------------------------------- cells of the PGCs

template <class F>
void Judge::ForEachCell(F f)
{
    for (const PgcRef& ref : m_d.pgcs)
    {
        const CIfoPgc& p = *ref.pgc;
        for (size_t i = 0; i < p.m_cellPlayback.size() && i < p.m_cellPosition.size(); ++i)
        {
            const CIfoCellPosition& pos = p.m_cellPosition[i];
            if (const CellSpan* s = SpanOf(pos.m_nVobIdNr, pos.m_nCellNr))
                f(ref, i, p.m_cellPlayback[i], pos, *s);
        }
    }
}

void Judge::CellPlayback()
{
    ForEachCell([&](const PgcRef& ref, size_t i, const CIfoCellPlayback& c, const CIfoCellPosition& pos,
                const CellSpan& span) {
        const CellSpan* s = &span;
        if (!Judged(c.m_nLastSector) || !Judged(V(s->lastVobu).lastBlock))
            return;
        const uint32_t first = V(s->firstVobu).block, lastVobu = V(s->lastVobu).block,
                       last = V(s->lastVobu).lastBlock;
        std::string wrong;
        const auto describe = [&](const char* field, uint32_t coded, uint32_t want, bool navPack) {
            if (!wrong.empty())
                wrong += "; ";
            wrong += Format("%s %u %s, the cell's is %u", field, coded,
                            navPack ? (VobuAt(coded) == kNone ? "is not a navigation pack" : "is another VOBU's")
                                    : "is not its last block",
                            want);
        };
        uint32_t at = 0;
        if (c.m_nFirstSector != first)
            describe("first sector", c.m_nFirstSector, first, true), at = at ? at : c.m_nOffset + 8;
        if (c.m_nLastVobuStartSector != lastVobu)
            describe("last VOBU start sector", c.m_nLastVobuStartSector, lastVobu, true),
                at = at ? at : c.m_nOffset + 16;
        if (c.m_nLastSector != last)
            describe("last sector", c.m_nLastSector, last, false), at = at ? at : c.m_nOffset + 20;
        if (!wrong.empty())
            m_findings.Report(m_d.ifo, kIfoCellPlayback, at,
                              Format("%s cell %zu (VOB %u cell %u): %s", ref.label.c_str(), i + 1, pos.m_nVobIdNr,
                                     pos.m_nCellNr, wrong.c_str()));
    });
}

void Judge::CellTimes()
{
    const auto video = m_scan.Streams().find(model::MakeStreamKey(0xE0));
    const bool hasVideo = video != m_scan.Streams().end() && video->second.hasSequence;
    const uint8_t rateCode = hasVideo ? video->second.sequence.frameRateCode : 0;
    ForEachCell([&](const PgcRef& ref, size_t i, const CIfoCellPlayback& c, const CIfoCellPosition& pos,
                const CellSpan& span) {
        const CellSpan* s = &span;
        if (!s->hasVideo || !c.m_playbackTime.Valid() || !Judged(c.m_nLastSector) ||
            !Judged(V(s->lastVobu).lastBlock))
            return;
        const CIfoTime& t = c.m_playbackTime;
        // The frame rate flag says how the frames count: 25 a second for PAL video,
        // 30 (at 29.97) for NTSC video.
        const uint8_t flag = rateCode == 3 ? 1 : rateCode == 4 ? 3 : t.RateFlag();
        const int64_t stream = s->videoEnd27 - s->videoStart27;
        const int64_t coded = t.Ticks90() * kTicks27Per90;
        const int64_t frame = t.FrameTicks() * kTicks27Per90;
        if (flag != t.RateFlag())
            m_findings.Report(m_d.ifo, kIfoCellTime, c.m_nOffset + 7,
                              Format("%s cell %zu: the playback time counts %u frames a second, the video has %s fps",
                                     ref.label.c_str(), i + 1, t.NominalRate(), rateCode == 3 ? "25" : "29.97"));
        else if (std::llabs(stream - coded) > frame)
        {
            verdict.cellTicks90[c.m_nOffset] = (stream + kTicks27Per90 / 2) / kTicks27Per90;
            m_findings.Report(m_d.ifo, kIfoCellTime, c.m_nOffset + 4,
                              Format("%s cell %zu (VOB %u cell %u): playback time %s, its video lasts %.3f s",
                                     ref.label.c_str(), i + 1, pos.m_nVobIdNr, pos.m_nCellNr, t.Text().c_str(),
                                     static_cast<double>(stream) / 27e6));
        }
    });
}

void Judge::Stc()
{
    ForEachCell([&](const PgcRef& ref, size_t i, const CIfoCellPlayback& c, const CIfoCellPosition&,
                const CellSpan& s) {
        // The cells of an angle block interleave with each other's clocks.
        if (c.InAngleBlock() || c.m_nInterleaved)
            return;
        const VobuRecord& v = V(s.firstVobu);
        const bool flagged = c.m_nStcDiscontinuity != 0;
        if (flagged == v.newTimeBase)
            return;
        m_findings.Report(m_d.ifo, kIfoStc, c.m_nOffset,
                          flagged ? Format("%s cell %zu is marked with an STC discontinuity, but its first VOBU "
                                           "(block %u) goes on with the clock of the VOBU before it",
                                           ref.label.c_str(), i + 1, v.block)
                                  : Format("%s cell %zu is marked without an STC discontinuity, but a new time base "
                                           "starts at its first VOBU (block %u, VOB %u)",
                                           ref.label.c_str(), i + 1, v.block, v.vobId));
    });
}

// ---------------------------------------------------------------------------- time maps

bool Judge::Timeline(const CIfoPgc& pgc, std::vector<std::pair<int64_t, size_t>>& starts, int64_t& length)
{
    starts.clear();
    length = 0;
    for (size_t i = 0; i < pgc.m_cellPlayback.size() && i < pgc.m_cellPosition.size(); ++i)
    {
        if (!CountsInTime(pgc, i))
            continue;
        const CIfoCellPosition& pos = pgc.m_cellPosition[i];
        const CellSpan* s = SpanOf(pos.m_nVobIdNr, pos.m_nCellNr);
        if (!s || !Judged(V(s->lastVobu).lastBlock))
            return false;
        // A VOBU's time in the cell: from its video where it has some, else from its
        // navigation pack's presentation start.
        const VobuRecord& first = V(s->firstVobu);
        const int64_t cellStart = s->hasVideo ? s->videoStart27 : int64_t{first.vobuSPtm} * kTicks27Per90;
        for (size_t k : s->vobus)
        {
            const VobuRecord& v = V(k);
            const int64_t at = v.hasVideo ? v.videoStart27 : int64_t{v.vobuSPtm} * kTicks27Per90;
            starts.push_back({length + std::max<int64_t>(0, at - cellStart), k});
        }
        const VobuRecord& last = V(s->lastVobu);
        const int64_t cellEnd = s->hasVideo ? s->videoEnd27 : int64_t{last.vobuEPtm} * kTicks27Per90;
        length += std::max<int64_t>(0, cellEnd - cellStart);
    }
    return !starts.empty();
}

void Judge::TimeMaps()
{
    const CIfoTmapt* t = m_d.tmapt;
    if (!t || !m_d.pgcit)
        return;
    const char* name = m_d.name.c_str();
    if (t->m_maps.size() != m_d.pgcit->m_srps.size())
        m_findings.Report(m_d.ifo, kIfoTimeMap, t->m_header.m_nStart,
                          Format("%s: %zu time maps for %zu title PGCs", name, t->m_maps.size(),
                                 m_d.pgcit->m_srps.size()));
    std::vector<std::pair<int64_t, size_t>> starts;
    for (size_t m = 0; m < t->m_maps.size(); ++m)
    {
        const CIfoTmapt::Map& map = t->m_maps[m];
        const CIfoPgc* pgc = m_d.pgcit->PgcOf(m);
        int64_t length = 0;
        if (!map.read || !pgc || map.entries.empty() || !Timeline(*pgc, starts, length))
            continue;
        if (map.m_nTmu == 0)
        {
            m_findings.Report(m_d.ifo, kIfoTimeMap, map.m_nOffset,
                              Format("%s: time map %zu has %zu entries and a time unit of 0 s", name, m + 1,
                                     map.entries.size()));
            continue;
        }
        const int64_t unit = int64_t{map.m_nTmu} * 27000000;
        const int64_t tolerance = 27000000 / 25;  // a frame
        size_t j = 0;
        for (size_t k = 0; k < map.entries.size(); ++k)
        {
            const int64_t time = unit * static_cast<int64_t>(k + 1);
            const uint32_t sector = map.entries[k] & CIfoTmapt::kSectorMask;
            if (time >= length + tolerance)
            {
                m_findings.Report(m_d.ifo, kIfoTimeMap, map.EntryOffset(k),
                                  Format("%s: time map %zu entry %zu (at %lld s) lies past the PGC's end at %.3f s", name,
                                         m + 1, k + 1, static_cast<long long>(time / 27000000),
                                         static_cast<double>(length) / 27e6));
                break;
            }
            // The VOBU that starts last at or before the time; within a frame of a VOBU's
            // start either neighbour will do.
            while (j + 1 < starts.size() && starts[j + 1].first <= time)
                ++j;
            bool ok = V(starts[j].second).block == sector;
            if (!ok && j + 1 < starts.size() && starts[j + 1].first - time <= tolerance)
                ok = V(starts[j + 1].second).block == sector;
            if (!ok && j > 0 && time - starts[j].first <= tolerance)
                ok = V(starts[j - 1].second).block == sector;
            if (!ok)
                m_findings.Report(m_d.ifo, kIfoTimeMap, map.EntryOffset(k),
                                  Format("%s: time map %zu entry %zu (at %lld s) is sector %u, the VOBU that holds that "
                                         "time is at block %u",
                                         name, m + 1, k + 1, static_cast<long long>(time / 27000000), sector,
                                         V(starts[j].second).block));
        }
        // Every whole time unit of the PGC has its entry (an end within a frame of a unit
        // may have one or not).
        const int64_t due = (length - tolerance) / unit;
        if (static_cast<int64_t>(map.entries.size()) < due)
            m_findings.Report(m_d.ifo, kIfoTimeMap, map.m_nOffset + 2,
                              Format("%s: time map %zu has %zu entries, the PGC's %.3f s need %lld", name, m + 1,
                                     map.entries.size(), static_cast<double>(length) / 27e6,
                                     static_cast<long long>(due)));
    }
}

// ---------------------------------------------------------------------------- attributes

void Judge::CheckVideo(const FoundStream& s, const model::SequenceEvent& seq)
{
    const CIfoVideoAttr& a = *m_d.video;
    std::string wrong;
    const auto add = [&](const std::string& text) { wrong += (wrong.empty() ? "" : ", ") + text; };
    if ((a.m_nMpegVersion == 1) != seq.mpeg2)
        add(Format("MPEG-%u video, the stream is MPEG-%u", a.m_nMpegVersion + 1u, seq.mpeg2 ? 2u : 1u));
    const bool pal = seq.frameRateCode == 3, ntsc = seq.frameRateCode == 4;
    if ((a.Pal() && !pal) || (!a.Pal() && !ntsc))
        add(Format("%s, the stream has %.3f fps", a.Pal() ? "PAL" : "NTSC",
                   seq.frameRateDen ? static_cast<double>(seq.frameRateNum) / seq.frameRateDen : 0.0));
    else if (a.Width() != seq.width || a.Height() != seq.height)
        add(Format("%ux%u, the stream is %ux%u", a.Width(), a.Height(), seq.width, seq.height));
    // MPEG-1 codes the pixel's shape, not the picture's: only MPEG-2 aspect codes compare.
    if (seq.mpeg2 && seq.aspectRatioCode >= 2 && seq.aspectRatioCode <= 3 &&
        (a.m_nDisplayAspectRatio == 3) != (seq.aspectRatioCode == 3))
        add(Format("%s, the stream is %s", a.AspectText().c_str(), seq.aspectRatioCode == 3 ? "16:9" : "4:3"));
    if (!wrong.empty())
        m_findings.Report(m_d.ifo, kIfoAttributes, m_d.videoOffset,
                          Format("%s video attributes: %s (stream 0xE0 at pack %u)", m_d.name.c_str(), wrong.c_str(),
                                 seq.pack == 0 ? s.firstPack : seq.pack));
}

std::set<uint32_t> Judge::StreamNumbers(bool audio, uint32_t count) const
{
    // The PGCs' stream controls say which stream each attribute entry is; without them,
    // entry i is stream i.
    std::set<uint32_t> out;
    for (uint32_t i = 0; i < count; ++i)
    {
        bool given = false;
        for (const PgcRef& ref : m_d.pgcs)
        {
            const CIfoPgc& p = *ref.pgc;
            if (audio ? !p.AudioAvailable(static_cast<int>(i)) : !p.SubpAvailable(static_cast<int>(i)))
                continue;
            given = true;
            if (audio)
                out.insert((i << 8) | p.AudioStreamNumber(static_cast<int>(i)));
            else
                for (int shift = 0; shift < 32; shift += 8)
                    out.insert((i << 8) | ((p.m_nSubpControl[i] >> shift) & 0x1F));
        }
        if (!given)
            out.insert((i << 8) | i);
    }
    return out;
}

void Judge::Attributes()
{
    const auto& streams = m_scan.Streams();
    const char* name = m_d.name.c_str();
    if (m_d.video)
        if (const auto v = streams.find(model::MakeStreamKey(0xE0)); v != streams.end() && v->second.hasSequence)
        {
            CheckVideo(v->second, v->second.sequence);
            if (v->second.sequenceChanges)
                CheckVideo(v->second, v->second.changed);
        }

    // Audio: each entry's stream, then the streams no entry names.
    std::set<model::StreamKey> named;
    const uint32_t audio = std::min(m_d.audioCount, m_d.AudioSlots());
    for (uint32_t entry : StreamNumbers(true, audio))
    {
        const uint32_t i = entry >> 8, number = entry & 7;
        const CIfoAudioAttr& a = m_d.audio[i];
        const uint8_t base = a.StreamBase();
        if (base == 0)
            continue;
        const model::StreamKey key = a.IsSubstream() ? model::MakeStreamKey(0xBD, static_cast<uint8_t>(base + number))
                                                     : model::MakeStreamKey(static_cast<uint8_t>(base + number));
        named.insert(key);
        const uint32_t at = m_d.audioOffset + 8 * i;
        const auto s = streams.find(key);
        if (s == streams.end())
        {
            m_findings.Report(m_d.ifo, kIfoAttributes, at,
                              Format("%s audio stream %u (%s) is stream %s, which the VOBs do not have", name, i + 1,
                                     a.FormatText().c_str(), model::StreamKeyText(key).c_str()));
            continue;
        }
        const FoundStream& f = s->second;
        if (f.units == 0)
            continue;
        std::string wrong;
        const auto add = [&](const std::string& text) { wrong += (wrong.empty() ? "" : ", ") + text; };
        if (a.m_nAudioFormat != 3 && f.channels != 0 && a.ChannelCount() != f.channels)
            add(Format("%u channels, the stream has %u", a.ChannelCount(), f.channels));
        if (f.sampleRate != 0 && a.SampleRate() != f.sampleRate)
            add(Format("%u Hz, the stream has %u Hz", a.SampleRate(), f.sampleRate));
        if (a.m_nAudioFormat == 4 && f.bitsPerSample != 0 && 16u + 4u * a.m_nQuantization != f.bitsPerSample)
            add(Format("%u-bit samples, the stream has %u-bit", 16u + 4u * a.m_nQuantization, f.bitsPerSample));
        if (!wrong.empty())
            m_findings.Report(m_d.ifo, kIfoAttributes, at,
                              Format("%s audio stream %u (%s, stream %s): %s", name, i + 1, a.FormatText().c_str(),
                                     model::StreamKeyText(key).c_str(), wrong.c_str()));
    }
    const std::set<uint32_t> subpNumbers = StreamNumbers(false, std::min(m_d.subpCount, m_d.SubpSlots()));
    for (const auto& [key, f] : streams)
    {
        const bool isAudio = f.kind == model::Kind::MpegAudio || f.kind == model::Kind::Ac3 ||
                             f.kind == model::Kind::Dts || f.kind == model::Kind::Lpcm;
        if (isAudio && !named.count(key))
            m_findings.Report(m_d.ifo, kIfoAttributes, m_d.audioCountOffset,
                              Format("%s: the VOBs have audio stream %s (first at pack %u), which no audio attribute "
                                     "names (%u audio streams)",
                                     name, model::StreamKeyText(key).c_str(), f.firstPack, m_d.audioCount));
        if (f.kind != model::Kind::Subpicture)
            continue;
        const uint32_t number = model::SubIdOf(key) - 0x20u;
        bool listed = false;
        for (uint32_t e : subpNumbers)
            listed = listed || (e & 0xFF) == number;
        if (!listed)
            m_findings.Report(m_d.ifo, kIfoAttributes, m_d.subpCountOffset,
                              Format("%s: the VOBs have subpicture stream %s (first at pack %u), which no subpicture "
                                     "attribute names (%u subpicture streams)",
                                     name, model::StreamKeyText(key).c_str(), f.firstPack, m_d.subpCount));
    }
}

}  // namespace

DomainVerdict CheckDomainAgainstVobs(const Domain& domain, const CVobSetScan& scan, uint32_t limit, bool complete,
                                     CDiscFindings& findings)
{
    Judge judge(domain, scan, limit, complete, findings);
    judge.Admap();
    judge.CellAddresses();
    judge.CellPlayback();
    judge.CellTimes();
    judge.Stc();
    judge.TimeMaps();
    const uint64_t before = findings.Total(checks::Severity::Error);
    judge.Attributes();
    judge.verdict.attributesWrong = findings.Total(checks::Severity::Error) > before;
    return judge.verdict;
}

}  // namespace disc
