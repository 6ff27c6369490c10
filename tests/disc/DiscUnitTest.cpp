// The disc's parts on made-up events and files: the VOB-side scan (VOBUs, their blocks,
// time bases and video spans, its bound), the findings given to their files, and the
// rules for VOB files.

#include "disc/DiscCheck.h"
#include "disc/DiscRules.h"
#include "disc/VobSetScan.h"

#include <gtest/gtest.h>

using namespace disc;
using namespace disc::rules;
using namespace model;

namespace
{

PackEvent Pack(uint32_t index, int64_t scr27)
{
    PackEvent p;
    p.index = index;
    p.offset = uint64_t{index} * 2048;
    p.scr27 = scr27;
    p.scrBase = static_cast<uint64_t>(scr27 / 300);
    p.muxRate = 25200;
    p.scrByteOffset = p.offset + 8;
    return p;
}

NavPack Nav(uint32_t pack, uint16_t vob, uint8_t cell)
{
    NavPack n;
    n.pack = pack;
    n.offset = uint64_t{pack} * 2048;
    n.hasPci = n.hasDsi = true;
    n.pciLbn = n.dsiLbn = pack;
    n.vobIdn = vob;
    n.cellIdn = cell;
    return n;
}

AccessUnit Picture(uint32_t pack, int64_t pts27)
{
    AccessUnit u;
    u.stream = MakeStreamKey(0xE0);
    u.kind = Kind::Video;
    u.pack = u.lastPack = pack;
    u.offset = uint64_t{pack} * 2048 + 100;
    u.timed = true;
    u.pts27 = u.dts27 = pts27;
    u.duration27 = 27000000 / 25;
    u.pictureType = 1;
    return u;
}

// Packs 0..count-1, a navigation pack wherever navs says, as the demultiplexer sends
// them: a navigation pack's event once the next pack begins, a new time base announced
// before its first pack (the SCR starts again there).
void Feed(IModelSink& sink, uint32_t count, const std::vector<NavPack>& navs, const std::vector<AccessUnit>& units,
          const std::vector<uint32_t>& timeBases = {})
{
    int64_t scr = 0;
    size_t nav = 0, unit = 0;
    bool pendingNav = false;
    for (uint32_t p = 0; p < count; ++p)
    {
        if (pendingNav)
            sink.OnNavPack(navs[nav++]), pendingNav = false;
        for (uint32_t t : timeBases)
            if (t == p)
            {
                scr = 0;
                TimeBaseEvent base;
                base.pack = p;
                base.offset = uint64_t{p} * 2048;
                sink.OnTimeBase(base);
            }
        sink.OnPack(Pack(p, scr));
        scr += 27000000 / 200;
        if (nav < navs.size() && navs[nav].pack == p)
            pendingNav = true;
        while (unit < units.size() && units[unit].pack <= p)
            sink.OnAccessUnit(units[unit++]);
    }
    if (pendingNav)
        sink.OnNavPack(navs[nav]);
    StreamEnd end;
    end.fileSize = uint64_t{count} * 2048;
    end.packs = count;
    sink.OnEnd(end);
}

}  // namespace

TEST(VobSetScan, VobusTimeBasesAndVideo)
{
    // Two VOBs: VOBUs at packs 0 and 10 (VOB 1, cells 1 and 2), 20 (VOB 2), whose clock
    // starts anew.
    CVobSetScan scan;
    Feed(scan, 30, {Nav(0, 1, 1), Nav(10, 1, 2), Nav(20, 2, 1)},
         {Picture(1, 27000000), Picture(12, 27000000 + 1080000 * 2), Picture(13, 27000000 + 1080000),
          Picture(21, 13500000)},
         {20});
    const std::vector<VobuRecord>& v = scan.Vobus();
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].block, 0u);
    EXPECT_EQ(v[0].lastBlock, 9u);
    EXPECT_EQ(v[1].lastBlock, 19u);
    EXPECT_EQ(v[2].lastBlock, 29u);
    EXPECT_TRUE(v[0].newTimeBase);
    EXPECT_FALSE(v[1].newTimeBase);
    EXPECT_TRUE(v[2].newTimeBase);
    EXPECT_EQ(v[1].cellId, 2);
    // The second VOBU's pictures in any order: its span is the lowest start to the highest
    // end.
    EXPECT_EQ(v[1].videoStart27, 27000000 + 1080000);
    EXPECT_EQ(v[1].videoEnd27, 27000000 + 1080000 * 3);
    EXPECT_EQ(v[2].videoStart27, 13500000);
    EXPECT_EQ(scan.VobuOfPack(15), &v[1]);
    EXPECT_EQ(scan.VobuOfPack(0), &v[0]);
    EXPECT_FALSE(scan.Truncated());

    // The same VOB number all through, but a new time base inside the second VOBU (an SCR
    // running back): the VOBU holds a clock change, the next does not start one.
    CVobSetScan back;
    Feed(back, 30, {Nav(0, 1, 1), Nav(10, 1, 2), Nav(20, 1, 3)}, {}, {15});
    EXPECT_TRUE(back.Vobus()[1].timeBaseInside);
    EXPECT_FALSE(back.Vobus()[2].newTimeBase);

    // A VOB number that changes is no time base of the scan's own making: the model's
    // announcements are what it goes by.
    CVobSetScan unannounced;
    Feed(unannounced, 20, {Nav(0, 1, 1), Nav(10, 2, 1)}, {});
    EXPECT_FALSE(unannounced.Vobus()[1].newTimeBase);
}

TEST(VobSetScan, BoundOnVobus)
{
    // Past its bound the scan counts navigation packs but keeps no VOBU, and no picture is
    // given to the last one kept that belongs to a later one.
    std::vector<NavPack> navs;
    for (uint32_t p = 0; p < 100; p += 10)
        navs.push_back(Nav(p, 1, 1));
    CVobSetScan scan(4);
    Feed(scan, 100, navs, {Picture(35, 0), Picture(45, 27000000)});
    EXPECT_EQ(scan.Vobus().size(), 4u);
    EXPECT_EQ(scan.NavPacks(), 10u);
    EXPECT_TRUE(scan.Truncated());
    EXPECT_EQ(scan.Vobus()[3].lastBlock, 39u);
    EXPECT_TRUE(scan.Vobus()[3].hasVideo);
    EXPECT_EQ(scan.Vobus()[3].videoEnd27, 27000000 / 25);
    EXPECT_EQ(scan.VobuOfPack(45), nullptr);
}

TEST(DiscFindings, FilesOfASet)
{
    // A set of two files; findings go to the file that holds their offset, each file's in
    // offset order, the IFO's first as it was named first.
    CDiscFindings findings;
    findings.Report("VTS_01_0.IFO", kIfoPgc, 300, "b");
    findings.Report("VTS_01_0.IFO", kIfoPgc, 100, "a");
    const size_t set = findings.AddSet({"VTS_01_1.VOB", "VTS_01_2.VOB"}, {0, 4096});
    checks::Finding f;
    f.check = checks::rules::kDvdNavLbn.id;
    f.offset = 6144;
    checks::Finding g = f;
    g.offset = 2048;
    const uint64_t totals[3] = {3, 0, 0};  // one of them counted three times over
    findings.AddStreamFindings(set, {f, g}, totals);
    findings.ReportInSet(set, kDvdVobFiles, 2, 4096, "c");
    const std::vector<DiscFinding> all = findings.All();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].finding.message, "a");
    EXPECT_EQ(all[1].finding.message, "b");
    EXPECT_EQ(all[2].file, "VTS_01_1.VOB");
    EXPECT_EQ(all[2].finding.offset, 2048u);
    EXPECT_EQ(all[3].file, "VTS_01_2.VOB");
    EXPECT_EQ(all[3].finding.message, "c");
    EXPECT_TRUE(all[3].inStream);
    EXPECT_FALSE(all[0].inStream);
    EXPECT_EQ(findings.Total(checks::Severity::Error), 2u + 3u + 1u);
    // The rule's severity, from the table.
    findings.Report("VTS_01_0.IFO", kIfoStc, 0, "d");
    EXPECT_EQ(findings.Total(checks::Severity::Warning), 1u);
    // A file named last that comes first on the disc is listed first.
    findings.Report("VIDEO_TS.IFO", kIfoTitlePointer, 20, "e");
    EXPECT_EQ(findings.All().front().file, "VIDEO_TS.IFO");

    // Past the bound per check and file, repeats only count.
    CDiscFindings many;
    for (uint32_t i = 0; i < checks::FindingLog::kMaxPerCheck + 20; ++i)
        many.Report("VIDEO_TS.IFO", kIfoStructure, i, "x");
    EXPECT_EQ(many.All().size(), checks::FindingLog::kMaxPerCheck);
    EXPECT_EQ(many.Total(checks::Severity::Error), checks::FindingLog::kMaxPerCheck + 20);
}

TEST(DiscRules, TableAndIds)
{
    ASSERT_EQ(DiscRules().size(), 14u);
    for (const checks::Rule* rule : DiscRules())
    {
        EXPECT_EQ(FindDiscRule(rule->id), rule);
        // One table of rules for the whole program: the disc's are found in it, once.
        EXPECT_EQ(checks::FindRule(rule->id), rule) << rule->id;
        EXPECT_FALSE(rule->episodic) << rule->id;
    }
    EXPECT_EQ(FindDiscRule("scr-backwards"), nullptr);
    EXPECT_EQ(FindDiscRule("ifo-bup-differs")->severity, checks::Severity::Warning);
}

TEST(VobFiles, SizesAndGaps)
{
    Domain d;
    d.kind = DomainKind::Titles;
    d.vts = 1;
    const auto file = [](const char* name, uint64_t size) {
        DiscFile f;
        f.path = std::string("/x/") + name;
        f.name = name;
        f.size = size;
        return f;
    };
    {
        // Over 1 GiB, and not whole blocks: both read, with a finding each.
        d.vobs = {file("VTS_01_1.VOB", kMaxVobBytes + 2048), file("VTS_01_2.VOB", 4097)};
        CDiscFindings f;
        bool reported = false;
        EXPECT_EQ(CheckVobFiles(d, f, &reported).size(), 2u);
        EXPECT_TRUE(reported);
        const std::vector<DiscFinding> all = f.All();
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0].file, "VTS_01_1.VOB");
        EXPECT_EQ(all[1].file, "VTS_01_2.VOB");
        EXPECT_EQ(all[1].finding.offset, 4096u);
    }
    {
        // A gap: the files after it are not read, one finding names the missing file.
        d.vobs = {file("VTS_01_1.VOB", 2048), file("VTS_01_3.VOB", 2048), file("VTS_01_4.VOB", 2048)};
        CDiscFindings f;
        bool reported = false;
        EXPECT_EQ(CheckVobFiles(d, f, &reported).size(), 1u);
        ASSERT_EQ(f.All().size(), 1u);
        EXPECT_NE(f.All()[0].finding.message.find("VTS_01_2.VOB is missing"), std::string::npos);
    }
    {
        // A whole set present: nothing to say.
        d.vobs = {file("VTS_01_1.VOB", 2048), file("VTS_01_2.VOB", 2048)};
        CDiscFindings f;
        bool reported = false;
        EXPECT_EQ(CheckVobFiles(d, f, &reported).size(), 2u);
        EXPECT_FALSE(reported);
        EXPECT_TRUE(f.All().empty());
    }
}
