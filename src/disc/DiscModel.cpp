#include "disc/DiscModel.h"

#include "disc/DiscFindings.h"
#include "disc/DiscRules.h"
#include "stream/CFile.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace disc
{

using namespace rules;

namespace
{

// Reads a whole file; false, with the reason, where it cannot be or is too large.
bool ReadAll(const DiscFile& f, std::vector<uint8_t>& out, std::string& why)
{
    out.clear();
    CFile file;
    int error = 0;
    if (!file.Open(f.path, CFile::modeRead, &error))
    {
        why = std::string("cannot be opened (") + std::strerror(error) + ")";
        return false;
    }
    const uint64_t size = file.GetLength();
    if (size > kMaxIfoBytes)
    {
        why = "has " + std::to_string(size) + " bytes, more than an IFO can have";
        return false;
    }
    out.resize(size);
    if (size > 0 && (file.Read(out.data(), static_cast<uint32_t>(size)) != size || file.HadReadError()))
    {
        why = "cannot be read to its end";
        out.clear();
        return false;
    }
    return true;
}

template <class Parsed>
bool ParseIfo(const std::vector<uint8_t>& bytes, Parsed& parsed, std::vector<IfoIssue>& issues, uint64_t& issueCount)
{
    CIfoBytes b(bytes.data(), bytes.size());
    const bool ok = parsed.Parse(b);
    issues = b.Issues();
    issueCount = b.IssueCount();
    return ok;
}

const std::vector<IfoTableRange>& TablesOf(const CIfoVmgi& p) { return p.m_tables; }
const std::vector<IfoTableRange>& TablesOf(const CIfoVtsi& p) { return p.m_tables; }

void ReportIssues(CDiscFindings& findings, const std::string& file, const std::vector<IfoIssue>& issues,
                  uint64_t count)
{
    for (const IfoIssue& i : issues)
        findings.Report(file, kIfoStructure, i.offset, i.text);
    if (count > issues.size())
        findings.Report(file, kIfoStructure, issues.empty() ? 0 : issues.back().offset,
                        std::to_string(count - issues.size()) + " more problems of the tables are not listed");
}

// Reads one IFO, or its BUP where the IFO cannot be read; compares the two.
template <class Parsed>
bool ReadIfo(const DiscFile& ifo, const DiscFile& bup, const std::string& ifoName, const std::string& bupName,
             const char* identifier, IfoData& data, Parsed& parsed, CDiscFindings& findings)
{
    std::vector<IfoIssue> issues;
    uint64_t issueCount = 0;
    std::string why;
    std::vector<uint8_t> ifoBytes, bupBytes;
    bool ifoOk = false;
    if (!ifo.Present())
        findings.Report(ifoName, kIfoUnreadable, 0, ifoName + " is missing");
    else if (!ReadAll(ifo, ifoBytes, why))
        findings.Report(ifoName, kIfoUnreadable, 0, ifoName + " " + why);
    else if (!(ifoOk = ParseIfo(ifoBytes, parsed, issues, issueCount)))
        findings.Report(ifoName, kIfoUnreadable, 0,
                        ifoBytes.size() < 12 ? ifoName + " has " + std::to_string(ifoBytes.size()) + " bytes"
                                             : ifoName + ": the identifier is not \"" + identifier + "\"");
    const bool bupRead = bup.Present() && ReadAll(bup, bupBytes, why);
    if (ifoOk)
    {
        data.name = ifoName;
        data.read = true;
        ReportIssues(findings, ifoName, issues, issueCount);
        if (!bup.Present())
            findings.Report(bupName, kIfoBupDiffers, 0, bupName + " is missing");
        else if (!bupRead)
            findings.Report(bupName, kIfoBupDiffers, 0, bupName + " " + why);
        else if (bupBytes != ifoBytes)
        {
            const size_t n = std::min(bupBytes.size(), ifoBytes.size());
            size_t at = 0;
            while (at < n && bupBytes[at] == ifoBytes[at])
                ++at;
            std::string table = TableAt(TablesOf(parsed), at);
            findings.Report(bupName, kIfoBupDiffers, at,
                            at == n ? bupName + " has " + std::to_string(bupBytes.size()) + " bytes, " + ifoName +
                                          " " + std::to_string(ifoBytes.size())
                                    : bupName + " differs from " + ifoName + " first at byte " + std::to_string(at) +
                                          (table.empty() ? std::string(", outside its tables") : ", in " + table));
        }
        return true;
    }
    // The IFO cannot be read: a player reads the BUP instead, and so do the checks.
    if (!bup.Present())
    {
        findings.Report(bupName, kIfoUnreadable, 0, bupName + " is missing as well");
        return false;
    }
    if (!bupRead)
    {
        findings.Report(bupName, kIfoUnreadable, 0, bupName + " " + why);
        return false;
    }
    if (!ParseIfo(bupBytes, parsed, issues, issueCount))
    {
        findings.Report(bupName, kIfoUnreadable, 0, bupName + ": the identifier is not \"" + identifier + "\"");
        return false;
    }
    data.name = bupName;
    data.read = true;
    ReportIssues(findings, bupName, issues, issueCount);
    return true;
}

// Each PGC of a PGCI_UT once, named by language unit and number.
void AddMenuPgcs(const CIfoPgciUt& ut, const char* table, std::vector<PgcRef>& out)
{
    std::set<const CIfoPgc*> seen;
    for (size_t l = 0; l < ut.m_lus.size(); ++l)
    {
        if (ut.m_lus[l].pgcit < 0)
            continue;
        const CIfoPgcit& pgcit = ut.m_pgcits[static_cast<size_t>(ut.m_lus[l].pgcit)];
        for (size_t i = 0; i < pgcit.m_srps.size(); ++i)
        {
            const CIfoPgc* pgc = pgcit.PgcOf(i);
            if (pgc && seen.insert(pgc).second)
                out.push_back({pgc, std::string(table) + " LU " + std::to_string(l + 1) + " PGC " + std::to_string(i + 1),
                               &pgcit, static_cast<uint32_t>(i + 1)});
        }
    }
}

int64_t Difference(int64_t a, int64_t b) { return a >= b ? a - b : -1; }

}  // namespace

const CDisc::TitleSet* CDisc::FindTitleSet(uint32_t number) const
{
    for (const TitleSet& t : titleSets)
        if (t.number == number)
            return &t;
    return nullptr;
}

int64_t CDisc::TitleSetSector(uint32_t number) const
{
    if (!vmgData.read)
        return -1;
    int64_t sector = int64_t{vmgi.m_mat.m_nVmgLastSector} + 1;
    for (uint32_t n = 1; n < number; ++n)
    {
        const TitleSet* t = FindTitleSet(n);
        if (!t || !t->data.read)
            return -1;
        sector += int64_t{t->vtsi.m_mat.m_nVtsLastSector} + 1;
    }
    return sector;
}

const CIfoPgc* TitlePgc(const CDisc::TitleSet& ts, uint32_t pgcn)
{
    if (!ts.data.read || !ts.vtsi.m_hasPgcit || pgcn == 0)
        return nullptr;
    return ts.vtsi.m_pgcit.PgcOf(pgcn - 1);
}

TitleRef ResolveTitle(const CDisc& disc, size_t index)
{
    TitleRef t;
    t.number = static_cast<uint32_t>(index + 1);
    if (!disc.vmgData.read || !disc.vmgi.m_hasTtSrpt || index >= disc.vmgi.m_ttSrpt.m_titles.size())
        return t;
    t.entry = &disc.vmgi.m_ttSrpt.m_titles[index];
    t.titleSet = disc.FindTitleSet(t.entry->m_nTitleSetNr);
    if (!t.titleSet || !t.titleSet->data.read)
        return t;
    const CIfoVtsi& v = t.titleSet->vtsi;
    const uint32_t ttn = t.entry->m_nVtsTtn;
    if (!v.m_hasPttSrpt || ttn == 0 || ttn > v.m_pttSrpt.m_titles.size())
        return t;
    t.chapters = &v.m_pttSrpt.m_titles[ttn - 1];
    if (!t.chapters->ptts.empty())
    {
        t.firstPgcn = t.chapters->ptts.front().m_nPgcn;
        t.firstPgc = TitlePgc(*t.titleSet, t.firstPgcn);
    }
    return t;
}

uint32_t AngleCount(const CIfoPgc& pgc)
{
    uint32_t most = 1, run = 0;
    for (const CIfoCellPlayback& c : pgc.m_cellPlayback)
    {
        if (!c.InAngleBlock())
        {
            run = 0;
            continue;
        }
        run = c.m_nBlockMode == 1 ? 1 : run + 1;
        most = std::max(most, run);
    }
    return most;
}

bool CountsInTime(const CIfoPgc& pgc, size_t cell)
{
    const CIfoCellPlayback& c = pgc.m_cellPlayback[cell];
    return !c.InAngleBlock() || c.m_nBlockMode == 1;
}

// ---------------------------------------------------------------------------- domains

namespace
{
// The VOB sets of a title set without readable tables, as its files have them.
void AddUnknownSets(CDisc& disc, uint32_t vts)
{
    const auto it = disc.files.titleSets.find(vts);
    if (it == disc.files.titleSets.end())
        return;
    Domain menus;
    menus.kind = DomainKind::TitleSetMenus;
    menus.vts = vts;
    menus.name = "VTSM " + std::to_string(vts);
    menus.hasTables = false;
    menus.vobNames = {VtsName(vts, 0, "VOB")};
    if (it->second.menuVob.Present())
        menus.vobs.push_back(it->second.menuVob);
    menus.hasVobs = !menus.vobs.empty();
    Domain titles;
    titles.kind = DomainKind::Titles;
    titles.vts = vts;
    titles.name = "VTS " + std::to_string(vts);
    titles.hasTables = false;
    for (const auto& [number, f] : it->second.titleVobs)
    {
        titles.vobNames.push_back(f.name);
        titles.vobs.push_back(f);
    }
    titles.hasVobs = !titles.vobs.empty();
    for (Domain* d : {&menus, &titles})
        if (d->hasVobs)
            disc.domains.push_back(std::move(*d));
}
}  // namespace

void BuildDomains(CDisc& disc)
{
    disc.domains.clear();
    if (disc.vmgData.read)
    {
        const CIfoVmgi& v = disc.vmgi;
        Domain d;
        d.kind = DomainKind::ManagerMenus;
        d.name = "VMGM";
        d.ifo = disc.vmgData.name;
        d.cAdt = v.m_hasCAdt ? &v.m_cAdt : nullptr;
        d.admap = v.m_hasAdmap ? &v.m_admap : nullptr;
        if (v.m_hasPgciUt)
            AddMenuPgcs(v.m_pgciUt, "VMGM_PGCI_UT", d.pgcs);
        d.video = &v.m_mat.m_vmgmVideoAttr;
        d.videoOffset = CIfoVmgiMat::kVideoAttr;
        d.audioCount = v.m_mat.m_nNrOfVmgmAudioStreams;
        d.audio = &v.m_mat.m_vmgmAudioAttr;
        d.audioOffset = CIfoVmgiMat::kAudioAttr;
        d.audioCountOffset = CIfoVmgiMat::kAudioCount;
        d.subpCount = v.m_mat.m_nNrOfVmgmSubpStreams;
        d.subp = &v.m_mat.m_vmgmSubpAttr;
        d.subpOffset = CIfoVmgiMat::kSubpAttr;
        d.subpCountOffset = CIfoVmgiMat::kSubpCount;
        d.hasVobs = v.m_mat.m_nVmgmVobs != 0;
        if (d.hasVobs)
            d.sectors = Difference(int64_t{v.m_mat.m_nVmgLastSector} + 1,
                                   int64_t{v.m_mat.m_nVmgmVobs} + v.m_mat.m_nVmgiLastSector + 1);
        d.vobNames = {VmgName("VOB")};
        if (disc.files.vmgVob.Present())
            d.vobs.push_back(disc.files.vmgVob);
        disc.domains.push_back(std::move(d));
    }
    for (const CDisc::TitleSet& ts : disc.titleSets)
    {
        if (!ts.data.read)
        {
            AddUnknownSets(disc, ts.number);
            continue;
        }
        const CIfoVtsi& t = ts.vtsi;
        const auto it = disc.files.titleSets.find(ts.number);
        Domain menus;
        menus.kind = DomainKind::TitleSetMenus;
        menus.vts = ts.number;
        menus.name = "VTSM " + std::to_string(ts.number);
        menus.ifo = ts.data.name;
        menus.cAdt = t.m_hasMenuCAdt ? &t.m_menuCAdt : nullptr;
        menus.admap = t.m_hasMenuAdmap ? &t.m_menuAdmap : nullptr;
        if (t.m_hasMenuPgciUt)
            AddMenuPgcs(t.m_menuPgciUt, "VTSM_PGCI_UT", menus.pgcs);
        menus.video = &t.m_mat.m_vtsmVideoAttr;
        menus.videoOffset = CIfoVtsiMat::kMenuVideoAttr;
        menus.audioCount = t.m_mat.m_nNrOfVtsmAudioStreams;
        menus.audio = &t.m_mat.m_vtsmAudioAttr;
        menus.audioOffset = CIfoVtsiMat::kMenuAudioAttr;
        menus.audioCountOffset = CIfoVtsiMat::kMenuAudioCount;
        menus.subpCount = t.m_mat.m_nNrOfVtsmSubpStreams;
        menus.subp = &t.m_mat.m_vtsmSubpAttr;
        menus.subpOffset = CIfoVtsiMat::kMenuSubpAttr;
        menus.subpCountOffset = CIfoVtsiMat::kMenuSubpCount;
        menus.hasVobs = t.m_mat.m_nVtsmVobs != 0;
        if (menus.hasVobs)
            menus.sectors = Difference(t.m_mat.m_nVtsttVobs, t.m_mat.m_nVtsmVobs);
        menus.vobNames = {VtsName(ts.number, 0, "VOB")};
        if (it != disc.files.titleSets.end() && it->second.menuVob.Present())
            menus.vobs.push_back(it->second.menuVob);
        disc.domains.push_back(std::move(menus));

        Domain titles;
        titles.kind = DomainKind::Titles;
        titles.vts = ts.number;
        titles.name = "VTS " + std::to_string(ts.number);
        titles.ifo = ts.data.name;
        titles.cAdt = t.m_hasCAdt ? &t.m_cAdt : nullptr;
        titles.admap = t.m_hasAdmap ? &t.m_admap : nullptr;
        titles.tmapt = t.m_hasTmapt ? &t.m_tmapt : nullptr;
        titles.pgcit = t.m_hasPgcit ? &t.m_pgcit : nullptr;
        if (t.m_hasPgcit)
        {
            std::set<const CIfoPgc*> seen;
            for (size_t i = 0; i < t.m_pgcit.m_srps.size(); ++i)
                if (const CIfoPgc* pgc = t.m_pgcit.PgcOf(i); pgc && seen.insert(pgc).second)
                    titles.pgcs.push_back({pgc, "VTS_PGCIT PGC " + std::to_string(i + 1), &t.m_pgcit,
                                           static_cast<uint32_t>(i + 1)});
        }
        titles.video = &t.m_mat.m_vtsVideoAttr;
        titles.videoOffset = CIfoVtsiMat::kVideoAttr;
        titles.audioCount = t.m_mat.m_nNrOfVtsAudioStreams;
        titles.audio = t.m_mat.m_vtsAudioAttr;
        titles.audioOffset = CIfoVtsiMat::kAudioAttr;
        titles.audioCountOffset = CIfoVtsiMat::kAudioCount;
        titles.subpCount = t.m_mat.m_nNrOfVtsSubpStreams;
        titles.subp = t.m_mat.m_vtsSubpAttr;
        titles.subpOffset = CIfoVtsiMat::kSubpAttr;
        titles.subpCountOffset = CIfoVtsiMat::kSubpCount;
        titles.hasVobs = true;
        titles.sectors = Difference(int64_t{t.m_mat.m_nVtsLastSector} + 1,
                                    int64_t{t.m_mat.m_nVtsttVobs} + t.m_mat.m_nVtsiLastSector + 1);
        if (it != disc.files.titleSets.end())
            for (const auto& [number, f] : it->second.titleVobs)
            {
                titles.vobNames.push_back(f.name);
                titles.vobs.push_back(f);
            }
        if (titles.vobNames.empty())
            titles.vobNames = {VtsName(ts.number, 1, "VOB")};
        disc.domains.push_back(std::move(titles));
    }
}

// ---------------------------------------------------------------------------- loading

std::unique_ptr<CDisc> LoadDisc(const DiscFiles& files, CDiscFindings& findings)
{
    auto disc = std::make_unique<CDisc>();
    disc->files = files;
    ReadIfo(files.vmgIfo, files.vmgBup, VmgName("IFO"), VmgName("BUP"), "DVDVIDEO-VMG", disc->vmgData, disc->vmgi,
            findings);

    std::set<uint32_t> numbers;
    if (disc->vmgData.read)
        for (uint32_t n = 1; n <= std::min<uint32_t>(disc->vmgi.m_mat.m_nVmgNrOfTitleSets, 99); ++n)
            numbers.insert(n);
    for (const auto& [n, ts] : files.titleSets)
        numbers.insert(n);
    disc->titleSets.reserve(numbers.size());
    for (uint32_t n : numbers)
    {
        CDisc::TitleSet ts;
        ts.number = n;
        const auto it = files.titleSets.find(n);
        const TitleSetFiles none;
        const TitleSetFiles& f = it != files.titleSets.end() ? it->second : none;
        ReadIfo(f.ifo, f.bup, VtsName(n, 0, "IFO"), VtsName(n, 0, "BUP"), "DVDVIDEO-VTS", ts.data, ts.vtsi, findings);
        disc->titleSets.push_back(std::move(ts));
    }

    BuildDomains(*disc);
    return disc;
}

}  // namespace disc
