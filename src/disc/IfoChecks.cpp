#include "disc/IfoChecks.h"

#include "disc/DiscFindings.h"
#include "disc/DiscModel.h"
#include "disc/DiscRules.h"
#include "model/StreamStats.h"

#include <algorithm>

namespace disc
{

using namespace rules;

using model::Format;

namespace
{

// ---------------------------------------------------------------------------- titles

void CheckTitles(const CDisc& disc, CDiscFindings& findings)
{
    if (!disc.vmgData.read || !disc.vmgi.m_hasTtSrpt)
        return;
    const std::string& file = disc.vmgData.name;
    const uint32_t sets = disc.vmgi.m_mat.m_nVmgNrOfTitleSets;
    for (size_t i = 0; i < disc.vmgi.m_ttSrpt.m_titles.size(); ++i)
    {
        const TitleRef t = ResolveTitle(disc, i);
        const CIfoTtSrpt::Title& e = *t.entry;
        const uint32_t n = t.number;
        if (e.m_nTitleSetNr == 0 || e.m_nTitleSetNr > sets)
        {
            findings.Report(file, kIfoTitlePointer, e.m_nOffset + 6,
                            Format("title %u names title set %u, the disc has %u", n, e.m_nTitleSetNr, sets));
            continue;
        }
        // A title set that cannot be read has its finding already.
        if (!t.titleSet || !t.titleSet->data.read)
            continue;
        const CIfoVtsi& v = t.titleSet->vtsi;
        if (!t.chapters)
        {
            if (v.m_hasPttSrpt)
                findings.Report(file, kIfoTitlePointer, e.m_nOffset + 7,
                                Format("title %u is title %u of title set %u, which has %zu", n, e.m_nVtsTtn,
                                       e.m_nTitleSetNr, v.m_pttSrpt.m_titles.size()));
            continue;
        }
        if (e.m_nNrOfPtts != t.chapters->ptts.size())
            findings.Report(file, kIfoTitlePointer, e.m_nOffset + 2,
                            Format("title %u has %u chapters, title %u of title set %u has %zu", n, e.m_nNrOfPtts,
                                   e.m_nVtsTtn, e.m_nTitleSetNr, t.chapters->ptts.size()));
        // The angles of the title: those of the PGCs its chapters play.
        uint32_t angles = 0;
        for (const CIfoPttSrpt::Ptt& p : t.chapters->ptts)
            if (const CIfoPgc* pgc = TitlePgc(*t.titleSet, p.m_nPgcn))
                angles = std::max(angles, AngleCount(*pgc));
        if (angles > 0 && e.m_nNrOfAngles != angles)
            findings.Report(file, kIfoTitlePointer, e.m_nOffset + 1,
                            Format("title %u has %u angles, its PGCs have %u", n, e.m_nNrOfAngles, angles));
        const int64_t sector = disc.TitleSetSector(e.m_nTitleSetNr);
        if (sector >= 0 && e.m_nTitleSetSector != sector)
            findings.Report(file, kIfoTitlePointer, e.m_nOffset + 8,
                            Format("title %u: title set %u starts at sector %u, it begins at sector %lld", n,
                                   e.m_nTitleSetNr, e.m_nTitleSetSector, static_cast<long long>(sector)));
    }
    if (disc.vmgi.m_hasVtsAtrt && disc.vmgi.m_vtsAtrt.m_header.m_nCount != sets)
        findings.Report(file, kIfoStructure, disc.vmgi.m_vtsAtrt.m_header.m_nStart,
                        Format("VTS_ATRT lists %u title sets, the disc has %u", disc.vmgi.m_vtsAtrt.m_header.m_nCount,
                               sets));
}

// ---------------------------------------------------------------------------- PGCs

void CheckPrograms(const std::string& file, const PgcRef& ref, CDiscFindings& findings)
{
    const CIfoPgc& p = *ref.pgc;
    const char* label = ref.label.c_str();
    if (p.m_nNrOfPrograms > p.m_nNrOfCells || (p.m_nNrOfPrograms == 0 && p.m_nNrOfCells > 0))
        findings.Report(file, kIfoPgc, p.m_nOffset + 2,
                        Format("%s has %u programs and %u cells", label, p.m_nNrOfPrograms, p.m_nNrOfCells));
    for (size_t i = 0; i < p.m_programMap.size(); ++i)
    {
        const uint32_t cell = p.m_programMap[i];
        const uint32_t at = p.m_nOffset + p.m_nProgramMapOffset + static_cast<uint32_t>(i);
        if (cell == 0 || cell > p.m_nNrOfCells)
            findings.Report(file, kIfoPgc, at,
                            Format("%s: program %zu starts at cell %u, the PGC has %u cells", label, i + 1, cell,
                                   p.m_nNrOfCells));
        else if (i == 0 && cell != 1)
            findings.Report(file, kIfoPgc, at, Format("%s: program 1 starts at cell %u, not at cell 1", label, cell));
        else if (i > 0 && cell <= p.m_programMap[i - 1])
            findings.Report(file, kIfoPgc, at,
                            Format("%s: program %zu starts at cell %u, not after program %zu's cell %u", label, i + 1,
                                   cell, i, p.m_programMap[i - 1]));
    }
    const uint32_t pgcs = static_cast<uint32_t>(ref.table ? ref.table->m_srps.size() : 0);
    const uint16_t links[3] = {p.m_nNextPgcNr, p.m_nPrevPgcNr, p.m_nGoupPgcNr};
    const char* names[3] = {"next", "previous", "go-up"};
    for (int k = 0; k < 3; ++k)
        if (links[k] > pgcs)
            findings.Report(file, kIfoPgc, p.m_nOffset + 156 + 2 * k,
                            Format("%s: the %s PGC is PGC %u, the table has %u", label, names[k], links[k], pgcs));
}

void CheckCellPositions(const Domain& d, const PgcRef& ref, CDiscFindings& findings)
{
    if (!d.cAdt)
        return;
    const CIfoPgc& p = *ref.pgc;
    for (size_t i = 0; i < p.m_cellPosition.size(); ++i)
    {
        const CIfoCellPosition& c = p.m_cellPosition[i];
        if (!d.cAdt->Find(c.m_nVobIdNr, c.m_nCellNr))
            findings.Report(d.ifo, kIfoPgc, c.m_nOffset,
                            Format("%s: cell %zu is VOB %u cell %u, which the cell address table does not list",
                                   ref.label.c_str(), i + 1, c.m_nVobIdNr, c.m_nCellNr));
    }
}

void CheckPgcTime(const std::string& file, const PgcRef& ref, const std::map<uint32_t, int64_t>& streamTicks90,
                  CDiscFindings& findings)
{
    const CIfoPgc& p = *ref.pgc;
    if (p.m_cellPlayback.empty())
        return;
    if (!p.m_playbackTime.Valid())
    {
        findings.Report(file, kIfoPgcTime, p.m_nOffset + 4,
                        Format("%s: playback time %02x:%02x:%02x.%02x is not a valid time", ref.label.c_str(),
                               p.m_playbackTime.m_nHour, p.m_playbackTime.m_nMinute, p.m_playbackTime.m_nSecond,
                               p.m_playbackTime.m_nFrameU));
        return;
    }
    int64_t sum = 0;
    bool sameRate = true;
    uint64_t frames = 0;
    int64_t cells = 0;
    for (size_t i = 0; i < p.m_cellPlayback.size(); ++i)
    {
        const CIfoTime& t = p.m_cellPlayback[i].m_playbackTime;
        if (!t.Valid())
            return;  // the cell's own finding says it
        if (!CountsInTime(p, i))
            continue;
        const auto stream = streamTicks90.find(p.m_cellPlayback[i].m_nOffset);
        if (stream != streamTicks90.end())
        {
            sum += stream->second;
            frames += static_cast<uint64_t>((stream->second + t.FrameTicks() / 2) / t.FrameTicks());
        }
        else
        {
            sum += t.Ticks90();
            frames += t.Frames();
        }
        sameRate = sameRate && t.RateFlag() == p.m_playbackTime.RateFlag();
        ++cells;
    }
    // Each time is its span rounded to a frame: a cell that lasts a fraction of a frame
    // more or less than its coded time (VOBs joined with gaps between their time stamps)
    // moves the sum of the cells off the PGC's own rounded time by up to half a frame.
    const int64_t off = sameRate ? std::llabs(static_cast<int64_t>(frames - p.m_playbackTime.Frames()))
                                 : (std::llabs(sum - p.m_playbackTime.Ticks90()) + p.m_playbackTime.FrameTicks() / 2) /
                                       p.m_playbackTime.FrameTicks();
    const bool ok = 2 * off <= cells;
    if (!ok)
        findings.Report(file, kIfoPgcTime, p.m_nOffset + 4,
                        Format("%s: playback time %s, its cells add up to %s", ref.label.c_str(),
                               p.m_playbackTime.Text().c_str(), MsText((sum + 45) / 90).c_str()));
}

void CheckCellTimesValid(const std::string& file, const PgcRef& ref, CDiscFindings& findings)
{
    const CIfoPgc& p = *ref.pgc;
    for (size_t i = 0; i < p.m_cellPlayback.size(); ++i)
    {
        const CIfoTime& t = p.m_cellPlayback[i].m_playbackTime;
        if (!t.Valid())
            findings.Report(file, kIfoCellTime, p.m_cellPlayback[i].m_nOffset + 4,
                            Format("%s: cell %zu's playback time %02x:%02x:%02x.%02x is not a valid time",
                                   ref.label.c_str(), i + 1, t.m_nHour, t.m_nMinute, t.m_nSecond, t.m_nFrameU));
    }
}

void CheckChapters(const CDisc::TitleSet& ts, CDiscFindings& findings)
{
    const CIfoVtsi& v = ts.vtsi;
    if (!v.m_hasPttSrpt || !v.m_hasPgcit)
        return;
    const size_t pgcs = v.m_pgcit.m_srps.size();
    for (size_t t = 0; t < v.m_pttSrpt.m_titles.size(); ++t)
        for (size_t c = 0; c < v.m_pttSrpt.m_titles[t].ptts.size(); ++c)
        {
            const CIfoPttSrpt::Ptt& p = v.m_pttSrpt.m_titles[t].ptts[c];
            const CIfoPgc* pgc = TitlePgc(ts, p.m_nPgcn);
            if (p.m_nPgcn == 0 || p.m_nPgcn > pgcs)
                findings.Report(ts.data.name, kIfoPgc, p.m_nOffset,
                                Format("title %zu chapter %zu plays PGC %u, VTS_PGCIT has %zu", t + 1, c + 1, p.m_nPgcn,
                                       pgcs));
            else if (pgc && (p.m_nPgn == 0 || p.m_nPgn > pgc->m_nNrOfPrograms))
                findings.Report(ts.data.name, kIfoPgc, p.m_nOffset + 2,
                                Format("title %zu chapter %zu starts at program %u of PGC %u, which has %u", t + 1,
                                       c + 1, p.m_nPgn, p.m_nPgcn, pgc->m_nNrOfPrograms));
        }
}

// ---------------------------------------------------------------------------- attributes

void CheckCounts(const Domain& d, CDiscFindings& findings)
{
    if (d.audioCount > d.AudioSlots())
        findings.Report(d.ifo, kIfoStructure, d.audioCountOffset,
                        Format("%s: %u audio streams, at most %u", d.name.c_str(), d.audioCount, d.AudioSlots()));
    if (d.subpCount > d.SubpSlots())
        findings.Report(d.ifo, kIfoStructure, d.subpCountOffset,
                        Format("%s: %u subpicture streams, at most %u", d.name.c_str(), d.subpCount, d.SubpSlots()));
    if (d.hasVobs && d.sectors < 0)
        findings.Report(d.ifo, kIfoStructure, 0x0C,
                        Format("%s: the last sector and VOB start fields leave no room for the VOBs", d.name.c_str()));
}

}  // namespace

void CheckAttributeTable(const CDisc& disc, const std::set<uint32_t>& wrongVts, CDiscFindings& findings)
{
    if (!disc.vmgData.read || !disc.vmgi.m_hasVtsAtrt)
        return;
    const std::vector<CIfoVtsAtrt::Entry>& entries = disc.vmgi.m_vtsAtrt.m_entries;
    for (size_t i = 0; i < entries.size(); ++i)
    {
        const CIfoVtsAtrt::Entry& e = entries[i];
        const CDisc::TitleSet* ts = disc.FindTitleSet(static_cast<uint32_t>(i + 1));
        if (!e.read || !ts || !ts->data.read || wrongVts.count(ts->number))
            continue;
        const CIfoVtsiMat& m = ts->vtsi.m_mat;
        const char* what = nullptr;
        uint32_t at = e.m_nOffset;
        if (e.m_nVtsCat != m.m_nVtsCategory)
            what = "category", at += 4;
        else if (!(e.m_vtsmVideo == m.m_vtsmVideoAttr) || e.m_nVtsmAudioCount != m.m_nNrOfVtsmAudioStreams ||
                 !(e.m_vtsmAudio == m.m_vtsmAudioAttr) || e.m_nVtsmSubpCount != m.m_nNrOfVtsmSubpStreams ||
                 !(e.m_vtsmSubp == m.m_vtsmSubpAttr))
            what = "menu attributes", at += 8;
        else if (!(e.m_vtsVideo == m.m_vtsVideoAttr))
            what = "video attributes", at += 264;
        else if (e.m_nVtsAudioCount != m.m_nNrOfVtsAudioStreams ||
                 !std::equal(e.m_vtsAudio, e.m_vtsAudio + 8, m.m_vtsAudioAttr))
            what = "audio attributes", at += 267;
        else
        {
            const uint32_t subp = std::min<uint32_t>(32, (e.m_nLastByte + 1 - 350) / 6);
            if (e.m_nVtsSubpCount != m.m_nNrOfVtsSubpStreams ||
                !std::equal(e.m_vtsSubp, e.m_vtsSubp + subp, m.m_vtsSubpAttr))
                what = "subpicture attributes", at += 349;
        }
        if (what)
            findings.Report(disc.vmgData.name, kIfoAttributes, at,
                            Format("VTS_ATRT: the %s of title set %zu differ from %s's", what, i + 1,
                                   ts->data.name.c_str()));
    }
}

void CheckIfos(const CDisc& disc, CDiscFindings& findings)
{
    CheckTitles(disc, findings);
    for (const CDisc::TitleSet& ts : disc.titleSets)
        if (ts.data.read)
            CheckChapters(ts, findings);
    for (const Domain& d : disc.domains)
    {
        if (!d.hasTables)
            continue;
        CheckCounts(d, findings);
        for (const PgcRef& ref : d.pgcs)
        {
            CheckPrograms(d.ifo, ref, findings);
            CheckCellPositions(d, ref, findings);
            CheckCellTimesValid(d.ifo, ref, findings);
        }
    }
}

void CheckPgcTimes(const Domain& d, const std::map<uint32_t, int64_t>& streamTicks90, CDiscFindings& findings)
{
    for (const PgcRef& ref : d.pgcs)
        CheckPgcTime(d.ifo, ref, streamTicks90, findings);
}

void CheckCellsAgainstAddresses(const Domain& d, CDiscFindings& findings)
{
    if (!d.cAdt)
        return;
    for (const PgcRef& ref : d.pgcs)
    {
        const CIfoPgc& p = *ref.pgc;
        for (size_t i = 0; i < p.m_cellPlayback.size() && i < p.m_cellPosition.size(); ++i)
        {
            const CIfoCellPosition& pos = p.m_cellPosition[i];
            const CIfoCellPlayback& c = p.m_cellPlayback[i];
            uint32_t first = 0, last = 0;
            if (!d.cAdt->Span(pos.m_nVobIdNr, pos.m_nCellNr, first, last))
                continue;  // the cell position's own finding says it
            const bool vobuInside = c.m_nLastVobuStartSector >= c.m_nFirstSector &&
                                    c.m_nLastVobuStartSector <= c.m_nLastSector;
            if (c.m_nFirstSector != first || c.m_nLastSector != last || !vobuInside)
                findings.Report(d.ifo, kIfoCellPlayback, c.m_nOffset + 8,
                                Format("%s: cell %zu plays sectors %u to %u (last VOBU at %u), the cell address table "
                                       "gives VOB %u cell %u sectors %u to %u",
                                       ref.label.c_str(), i + 1, c.m_nFirstSector, c.m_nLastSector,
                                       c.m_nLastVobuStartSector, pos.m_nVobIdNr, pos.m_nCellNr, first, last));
        }
    }
}

}  // namespace disc
