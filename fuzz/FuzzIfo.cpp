// libFuzzer target: the IFO reader and the disc checks on arbitrary bytes.
//
// The input is a video manager's IFO, a title set's, or the two one after the other (the
// title set's from its "DVDVIDEO-VTS" on). They are read as the disc's VIDEO_TS.IFO and
// VTS_01_0.IFO; then every check that needs the IFOs alone runs, the summary is made in
// text and JSON, and each domain's tables are judged against a VOB set made up from its
// own VOBU address map (a navigation pack at each address, numbered by the cell address
// table, a picture in each), so that hostile tables reach the comparisons too.

#include "disc/DiscFindings.h"
#include "disc/DiscModel.h"
#include "disc/DiscReport.h"
#include "disc/DiscRules.h"
#include "disc/IfoChecks.h"
#include "disc/VobSetChecks.h"
#include "disc/VobSetScan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace
{

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The made-up VOB set of a domain: its address map's first sectors in order.
disc::CVobSetScan MakeScan(const disc::Domain& d)
{
    disc::CVobSetScan scan(1024);
    std::set<uint32_t> blocks;
    if (d.admap)
        for (uint32_t s : d.admap->m_sectors)
            if (s < (1u << 22) && blocks.size() < 2048)
                blocks.insert(s);
    uint32_t pack = 0;
    int64_t pts = 27000000;
    for (uint32_t block : blocks)
    {
        model::PackEvent p;
        p.index = pack;
        p.offset = uint64_t{block} * 2048;
        p.scr27 = pts - 13500000;
        scan.OnPack(p);
        model::NavPack n;
        n.pack = pack;
        n.offset = p.offset;
        n.hasPci = n.hasDsi = true;
        n.pciLbn = n.dsiLbn = block;
        if (d.cAdt)
            for (const CIfoCAdt::Cell& c : d.cAdt->m_cells)
                if (block >= c.m_nStartSector && block <= c.m_nLastSector)
                {
                    n.vobIdn = c.m_nVobId;
                    n.cellIdn = c.m_nCellId;
                    break;
                }
        n.vobuSPtm = static_cast<uint32_t>(pts / 300);
        n.vobuEPtm = static_cast<uint32_t>((pts + 13500000) / 300);
        scan.OnNavPack(n);
        model::AccessUnit u;
        u.stream = model::MakeStreamKey(0xE0);
        u.kind = model::Kind::Video;
        u.pack = pack;
        u.timed = true;
        u.pts27 = pts;
        u.duration27 = 13500000;
        scan.OnAccessUnit(u);
        pts += 13500000;
        ++pack;
    }
    model::StreamEnd end;
    end.packs = pack;
    end.fileSize = blocks.empty() ? 0 : (uint64_t{*blocks.rbegin()} + 1) * 2048;
    scan.OnEnd(end);
    return scan;
}

void CheckFindings(const disc::CDiscFindings& findings)
{
    for (const disc::DiscFinding& f : findings.All())
        if (!disc::FindDiscRule(f.finding.check))
            Fail("a finding whose check is not in the disc's rule table");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t split = bytes.find("DVDVIDEO-VTS", 1);
    if (bytes.compare(0, 12, "DVDVIDEO-VTS") == 0)
        split = 0;
    const std::string vmg = bytes.substr(0, std::min(split, bytes.size()));
    const std::string vts = split == std::string::npos ? std::string() : bytes.substr(split);

    disc::CDisc d;
    disc::CDiscFindings findings;
    {
        CIfoBytes b(reinterpret_cast<const uint8_t*>(vmg.data()), vmg.size());
        d.vmgData.name = "VIDEO_TS.IFO";
        d.vmgData.read = d.vmgi.Parse(b);
        for (const IfoIssue& i : b.Issues())
            findings.Report(d.vmgData.name, disc::rules::kIfoStructure, i.offset, i.text);
    }
    if (!vts.empty())
    {
        disc::CDisc::TitleSet ts;
        ts.number = 1;
        ts.data.name = "VTS_01_0.IFO";
        CIfoBytes b(reinterpret_cast<const uint8_t*>(vts.data()), vts.size());
        ts.data.read = ts.vtsi.Parse(b);
        for (const IfoIssue& i : b.Issues())
            findings.Report(ts.data.name, disc::rules::kIfoStructure, i.offset, i.text);
        d.titleSets.push_back(std::move(ts));
    }
    disc::BuildDomains(d);

    disc::CheckIfos(d, findings);
    std::set<uint32_t> wrong;
    for (const disc::Domain& domain : d.domains)
    {
        disc::CheckCellsAgainstAddresses(domain, findings);
        const disc::CVobSetScan scan = MakeScan(domain);
        const uint32_t blocks = static_cast<uint32_t>(scan.Bytes() / 2048);
        const disc::DomainVerdict verdict =
            disc::CheckDomainAgainstVobs(domain, scan, blocks, size % 2 == 0, findings);
        disc::CheckPgcTimes(domain, verdict.cellTicks90, findings);
        if (verdict.attributesWrong)
            wrong.insert(domain.vts);
    }
    disc::CheckAttributeTable(d, wrong, findings);
    CheckFindings(findings);

    const std::string text = disc::SummaryText(d, "fuzz");
    const std::string json = disc::SummaryJson(d, "fuzz");
    if (json.empty() || json.back() != '\n' || text.empty())
        Fail("an empty summary");
    return 0;
}
