// Discs authored by dvdauthor at test time (make-discs.sh) judged as a whole: the clean
// discs give no error, and each check finds its fault, seeded in a copy of a clean disc,
// at the table entry or block that holds it, and nothing else.
//
// The offsets of the seeded faults are worked out here from the layouts (the management
// tables' pointers, the tables' fixed entry sizes), not taken from the reader.

#include "disc/DiscCheck.h"
#include "disc/DiscReport.h"
#include "disc/DiscRules.h"
#include "model/CDemuxer.h"
#include "stream/CInput.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using namespace disc;
using namespace disc::rules;

namespace
{

const std::string kDiscs = VARNODEL_DISCS;

uint32_t Be32(const Bytes& b, size_t at)
{
    return (uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) | (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}
uint16_t Be16(const Bytes& b, size_t at) { return static_cast<uint16_t>((b.at(at) << 8) | b.at(at + 1)); }
void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Where the tables of a title set IFO are: sector pointers of VTSI_MAT.
size_t Table(const Bytes& ifo, size_t pointer) { return size_t{Be32(ifo, pointer)} * 2048; }
constexpr size_t kVtsPgcit = 0xCC, kVtsTmapt = 0xD4, kVtsCAdt = 0xE0, kVtsAdmap = 0xE4, kVtsPttSrpt = 0xC8;
// A PGC of VTS_PGCIT (0-based) and its cell playback entry (0-based).
size_t Pgc(const Bytes& ifo, size_t n) { return Table(ifo, kVtsPgcit) + Be32(ifo, Table(ifo, kVtsPgcit) + 8 + 8 * n + 4); }
size_t CellPlayback(const Bytes& ifo, size_t pgc, size_t cell) { return Pgc(ifo, pgc) + Be16(ifo, Pgc(ifo, pgc) + 0xE8) + 24 * cell; }

// A copy of an authored disc to seed a fault in.
class DiscCopy
{
public:
    explicit DiscCopy(const std::string& name = "disc")
    {
        const fs::path from = fs::path(kDiscs) / name / "VIDEO_TS";
        if (!fs::exists(from))
            ADD_FAILURE() << "missing disc " << from << " (made by make-discs.sh)";
        fs::create_directories(Folder());
        for (const auto& e : fs::directory_iterator(from))
            fs::copy_file(e.path(), Folder() / e.path().filename());
    }
    fs::path Folder() const { return fs::path(m_dir.Path()) / "VIDEO_TS"; }
    std::string Root() const { return m_dir.Path(); }
    Bytes Read(const std::string& file) const { return ReadWholeFile((Folder() / file).string()); }
    void Write(const std::string& file, const Bytes& b) const { m_dir.Write("VIDEO_TS/" + file, b); }
    // Changes an IFO, and its BUP with it (a fault of the tables, not of one copy).
    void Edit(const std::string& ifo, const std::function<void(Bytes&)>& change) const
    {
        Bytes b = Read(ifo);
        change(b);
        Write(ifo, b);
        Write(ifo.substr(0, ifo.size() - 3) + "BUP", b);
    }

private:
    TempDir m_dir;
};

DiscCheckResult Check(const std::string& path, const DiscCheckOptions& options = {})
{
    DiscFiles files;
    int error = 0;
    EXPECT_TRUE(FindDisc(path, files, &error)) << path << ": " << error;
    return CheckDisc(files, options);
}

// The errors and warnings (the infos mark time bases).
std::vector<DiscFinding> Faults(const DiscCheckResult& r)
{
    std::vector<DiscFinding> out;
    for (const DiscFinding& f : r.findings.All())
        if (f.finding.severity != checks::Severity::Info)
            out.push_back(f);
    return out;
}

std::string Describe(const std::vector<DiscFinding>& list)
{
    std::string out;
    for (const DiscFinding& f : list)
        out += f.file + ": " + FormatDiscFinding(f) + "\n";
    return out;
}

// The one fault of a disc: its check, file and offset.
void ExpectOnly(const DiscCheckResult& r, const checks::Rule& rule, const std::string& file, uint64_t offset)
{
    const char* check = rule.id;
    const std::vector<DiscFinding> faults = Faults(r);
    ASSERT_EQ(faults.size(), 1u) << Describe(faults);
    EXPECT_STREQ(faults[0].finding.check, check) << Describe(faults);
    EXPECT_EQ(faults[0].file, file) << Describe(faults);
    EXPECT_EQ(faults[0].finding.offset, offset) << Describe(faults);
}

}  // namespace

// ---------------------------------------------------------------------------- clean discs

TEST(DiscReal, CleanDiscsHaveNoFaults)
{
    for (const char* name : {"disc", "ntsc"})
    {
        const DiscCheckResult r = Check(kDiscs + "/" + name);
        EXPECT_EQ(r.findings.Total(checks::Severity::Error), 0u) << name << "\n" << CheckText(r);
        // Only the stream checks' mux-delay warnings on mplex's NTSC stream, which holds
        // its video a few milliseconds past the second.
        for (const DiscFinding& f : Faults(r))
            EXPECT_STREQ(f.finding.check, "mux-delay") << name << "\n" << CheckText(r);
        EXPECT_FALSE(r.readError);
    }
    // Every VOB of the menus and titles starts a time base of its own: two menus in the
    // manager's and in title set 1's menus, four VOBs in title set 1's titles, two in title
    // set 2's.
    const DiscCheckResult r = Check(kDiscs + "/disc");
    size_t bases = 0;
    for (const DiscFinding& f : r.findings.All())
        bases += std::string(f.finding.check) == "time-base";
    EXPECT_EQ(bases, 1u + 1u + 3u + 1u);
}

TEST(DiscReal, TitleVobSetReadAcrossItsFiles)
{
    // The title VOB set is cut in two in the middle of a VOBU: a picture runs on from the
    // first file into the second, and the blocks count on across the cut.
    const std::string folder = kDiscs + "/disc/VIDEO_TS/";
    CFileSetInput input;
    ASSERT_TRUE(input.Open({folder + "VTS_01_1.VOB", folder + "VTS_01_2.VOB"}));
    const uint64_t cut = input.FileStart(1);
    ASSERT_GT(cut, 0u);
    struct Spans : model::IModelSink
    {
        uint64_t cut = 0;
        bool pictureAcross = false, vobuAcross = false;
        uint64_t lastNav = 0;
        void OnAccessUnit(const model::AccessUnit& u) override
        {
            pictureAcross |= u.kind == model::Kind::Video && u.offset < cut && u.lastOffset >= cut;
        }
        void OnNavPack(const model::NavPack& n) override
        {
            vobuAcross |= lastNav < cut && n.offset > cut;
            lastNav = n.offset;
        }
    } spans;
    spans.cut = cut;
    model::CDemuxer(spans).Run(input);
    EXPECT_TRUE(spans.pictureAcross);
    EXPECT_TRUE(spans.vobuAcross);

    // The stream findings name the file that holds them, their packs and offsets count in
    // the set: a navigation pack of the second file with a wrong block number.
    DiscCopy copy;
    Bytes second = copy.Read("VTS_01_2.VOB");
    size_t nav = 0;
    while (nav + 2048 <= second.size() && !(second[nav + 14 + 24 + 3] == 0xBF))
        nav += 2048;
    ASSERT_LT(nav + 2048, second.size());
    // The DSI's nv_pck_lbn: after the pack header (14), system header (24), PCI packet
    // (6 + 980) and the DSI packet's own six bytes and substream byte, 4 bytes in.
    const size_t dsiLbn = nav + 14 + 24 + 986 + 6 + 1 + 4;
    ASSERT_EQ(second[nav + 14 + 24 + 986 + 3], 0xBF);
    Put32(second, dsiLbn, Be32(second, dsiLbn) + 7);
    copy.Write("VTS_01_2.VOB", second);
    const DiscCheckResult r = Check(copy.Root());
    const std::vector<DiscFinding> faults = Faults(r);
    ASSERT_EQ(faults.size(), 1u) << Describe(faults);
    EXPECT_STREQ(faults[0].finding.check, "dvd-nav-lbn");
    EXPECT_EQ(faults[0].file, "VTS_01_2.VOB");
    EXPECT_TRUE(faults[0].inStream);
    EXPECT_EQ(faults[0].finding.offset, cut + nav);
}

TEST(DiscReal, FileBoundaryInsideAPacketLosesNothing)
{
    // The same set cut 1000 bytes into a block: the stream reads as before; only the files
    // are not whole blocks.
    DiscCopy copy;
    Bytes first = copy.Read("VTS_01_1.VOB"), second = copy.Read("VTS_01_2.VOB");
    const size_t keep = first.size() - 1048;
    second.insert(second.begin(), first.begin() + static_cast<ptrdiff_t>(keep), first.end());
    first.resize(keep);
    copy.Write("VTS_01_1.VOB", first);
    copy.Write("VTS_01_2.VOB", second);
    const std::vector<DiscFinding> faults = Faults(Check(copy.Root()));
    ASSERT_EQ(faults.size(), 2u) << Describe(faults);
    for (const DiscFinding& f : faults)
        EXPECT_STREQ(f.finding.check, kDvdVobFiles.id) << Describe(faults);
    EXPECT_EQ(faults[0].file, "VTS_01_1.VOB");
    EXPECT_EQ(faults[1].file, "VTS_01_2.VOB");
}

TEST(DiscReal, IfoOnlyDisc)
{
    // One finding for the missing VOBs; the tables are judged and summarised all the same.
    const DiscCheckResult r = Check(kDiscs + "/ifo-only");
    ExpectOnly(r, kDvdVobFiles, "VIDEO_TS.VOB", 0);
    EXPECT_EQ(r.packs, 0u);
    const DiscCheckResult full = Check(kDiscs + "/disc");
    EXPECT_EQ(SummaryText(*r.disc, "D"), SummaryText(*full.disc, "D"));
}

TEST(DiscReal, NamesAndPaths)
{
    // Lower-case names, as some copies have them; the disc found from each of its paths.
    DiscCopy copy;
    for (const auto& e : fs::directory_iterator(copy.Folder()))
    {
        std::string lower = e.path().filename().string();
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        fs::rename(e.path(), copy.Folder() / lower);
    }
    const fs::path lowerFolder = copy.Folder().parent_path() / "video_ts";
    fs::rename(copy.Folder(), lowerFolder);
    for (const fs::path& p : {fs::path(copy.Root()), lowerFolder, lowerFolder / "video_ts.ifo",
                              lowerFolder / "vts_02_0.ifo"})
    {
        const DiscCheckResult r = Check(p.string());
        EXPECT_EQ(Faults(r).size(), 0u) << p << "\n" << Describe(Faults(r));
        EXPECT_EQ(r.runs.size(), 5u) << p;
        EXPECT_GT(r.packs, 1000u) << p;
    }
    DiscFiles files;
    int error = 0;
    EXPECT_FALSE(FindDisc((lowerFolder / "vts_01_1.vob").string(), files, &error));
    EXPECT_FALSE(FindDisc(kDiscs, files, &error));  // holds discs, but is none
    EXPECT_FALSE(FindDisc(kDiscs + "/nowhere", files, &error));
}

// ---------------------------------------------------------------------------- the IFOs alone

TEST(DiscSeeded, UnreadableIfoFallsBackToItsBup)
{
    DiscCopy copy;
    Bytes ifo = copy.Read("VTS_02_0.IFO");
    ifo[11] = 'X';  // "DVDVIDEO-VTX"
    copy.Write("VTS_02_0.IFO", ifo);
    const DiscCheckResult r = Check(copy.Root());
    ExpectOnly(r, kIfoUnreadable, "VTS_02_0.IFO", 0);
    // The title set is read from its BUP: its title is all there.
    EXPECT_NE(SummaryText(*r.disc, "D").find("Title 3: VTS 2, TTN 1, 1 angle, 1 chapter, 2 cells, length 00:00:03.400"),
              std::string::npos);
}

TEST(DiscSeeded, TitleSetWithoutTables)
{
    // Both copies of title set 2's IFO broken: the tables are gone, its VOBs are still
    // judged as streams.
    DiscCopy copy;
    for (const char* name : {"VTS_02_0.IFO", "VTS_02_0.BUP"})
    {
        Bytes b = copy.Read(name);
        b[0] = 'X';
        copy.Write(name, b);
    }
    const DiscCheckResult r = Check(copy.Root());
    const std::vector<DiscFinding> faults = Faults(r);
    ASSERT_EQ(faults.size(), 2u) << Describe(faults);
    EXPECT_EQ(faults[0].file, "VTS_02_0.IFO");
    EXPECT_EQ(faults[1].file, "VTS_02_0.BUP");
    bool judged = false;
    for (const DiscFinding& f : r.findings.All())
        judged = judged || (f.file == "VTS_02_1.VOB" && std::string(f.finding.check) == "time-base");
    EXPECT_TRUE(judged);
    EXPECT_NE(SummaryText(*r.disc, "D").find("Title set 2: not readable"), std::string::npos);
}

TEST(DiscSeeded, IfoTooLargeToRead)
{
    // An IFO past the size any IFO has (a sparse file: no bytes written) is not read;
    // its BUP is.
    DiscCopy copy;
    fs::resize_file(copy.Folder() / "VTS_01_0.IFO", kMaxIfoBytes + 2048);
    const DiscCheckResult r = Check(copy.Root());
    ExpectOnly(r, kIfoUnreadable, "VTS_01_0.IFO", 0);
    EXPECT_EQ(r.disc->FindTitleSet(1)->data.name, "VTS_01_0.BUP");
}

TEST(DiscSeeded, Structure)
{
    {
        // VTS_C_ADT's last byte far past the file.
        DiscCopy copy;
        size_t cadt = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            cadt = Table(b, kVtsCAdt);
            Put32(b, cadt + 4, 0x7FFFFFF0);
        });
        ExpectOnly(Check(copy.Root()), kIfoStructure, "VTS_01_0.IFO", cadt + 4);
    }
    {
        // The second title PGC's start byte outside VTS_PGCIT.
        DiscCopy copy;
        size_t srp = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            srp = Table(b, kVtsPgcit) + 8 + 8;
            Put32(b, srp + 4, 0x10000);
        });
        ExpectOnly(Check(copy.Root()), kIfoStructure, "VTS_01_0.IFO", srp + 4);
    }
}

TEST(DiscSeeded, BupDiffers)
{
    DiscCopy copy;
    Bytes bup = copy.Read("VTS_01_0.BUP");
    const size_t at = Pgc(bup, 0) + 4;  // the first title PGC's playback time
    bup[at] ^= 0x01;
    copy.Write("VTS_01_0.BUP", bup);
    const DiscCheckResult r = Check(copy.Root());
    ExpectOnly(r, kIfoBupDiffers, "VTS_01_0.BUP", at);
    EXPECT_NE(Faults(r)[0].finding.message.find("VTS_PGCIT"), std::string::npos) << Faults(r)[0].finding.message;
}

TEST(DiscSeeded, TitlePointers)
{
    // TT_SRPT: the third title's title set sector, then the first title's chapter count.
    for (const size_t field : {size_t{8}, size_t{2}})
    {
        DiscCopy copy;
        size_t at = 0;
        copy.Edit("VIDEO_TS.IFO", [&](Bytes& b) {
            const size_t title = Table(b, 0xC4) + 8 + 12 * (field == 8 ? 2 : 0);
            at = title + field;
            if (field == 8)
                Put32(b, at, Be32(b, at) + 1);
            else
                b[at + 1] = 3;
        });
        ExpectOnly(Check(copy.Root()), kIfoTitlePointer, "VIDEO_TS.IFO", at);
    }
}

TEST(DiscSeeded, Pgc)
{
    {
        // Program 2 of title 1's PGC starts at cell 9 of 4.
        DiscCopy copy;
        size_t at = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            at = Pgc(b, 0) + Be16(b, Pgc(b, 0) + 0xE6) + 1;
            b[at] = 9;
        });
        ExpectOnly(Check(copy.Root()), kIfoPgc, "VTS_01_0.IFO", at);
    }
    {
        // Title 1's second chapter at program 5 of a PGC of 2.
        DiscCopy copy;
        size_t at = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            const size_t ptt = Table(b, kVtsPttSrpt);
            at = ptt + Be32(b, ptt + 8) + 4 + 2;
            b[at + 1] = 5;
        });
        ExpectOnly(Check(copy.Root()), kIfoPgc, "VTS_01_0.IFO", at);
    }
}

TEST(DiscSeeded, PgcTime)
{
    // A PGC of one cell one frame off its cell, one of four three frames off (each cell's
    // time is rounded to a frame: four cells may add up to two frames off the whole).
    for (const auto& [pgc, frames] : {std::pair<size_t, uint8_t>{1, 1}, std::pair<size_t, uint8_t>{0, 3}})
    {
        DiscCopy copy;
        size_t at = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            at = Pgc(b, pgc) + 4;
            ASSERT_LT(b[at + 3] & 0x0F, 7);
            b[at + 3] = static_cast<uint8_t>(b[at + 3] + frames);  // a BCD digit below 7 stays a digit
        });
        ExpectOnly(Check(copy.Root()), kIfoPgcTime, "VTS_01_0.IFO", at);
    }
}

// ---------------------------------------------------------------------------- the IFOs against the VOBs

TEST(DiscSeeded, CellAddress)
{
    // Entry 2 of VTS_C_ADT (VOB 1 cell 2) ends ten sectors early.
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        at = Table(b, kVtsCAdt) + 8 + 12 + 8;
        Put32(b, at, Be32(b, at) - 10);
    });
    ExpectOnly(Check(copy.Root()), kIfoCellAddress, "VTS_01_0.IFO", at);
}

TEST(DiscSeeded, CellNumberOfANavigationPack)
{
    // A VOBU inside VOB 1 cell 2 says it is cell 3: the VOB is at fault, at that block,
    // and the cell's entry, which runs on past it, is not.
    DiscCopy copy;
    const Bytes ifo = copy.Read("VTS_01_0.IFO");
    const size_t admap = Table(ifo, kVtsAdmap);
    const uint32_t cellStart = Be32(ifo, Table(ifo, kVtsCAdt) + 8 + 12 + 4);
    uint32_t block = 0;
    for (size_t i = 0; i + 1 < (Be32(ifo, admap) + 1 - 4) / 4; ++i)
        if (Be32(ifo, admap + 4 + 4 * i) == cellStart)
            block = Be32(ifo, admap + 4 + 4 * (i + 1));
    ASSERT_GT(block, cellStart);
    Bytes vob = copy.Read("VTS_01_1.VOB");
    ASSERT_LT(size_t{block} * 2048, vob.size());
    const size_t dsi = size_t{block} * 2048 + 14 + 24 + 986 + 6 + 1;
    ASSERT_EQ(vob[dsi + 27], 2);  // vobu_c_idn
    vob[dsi + 27] = 3;
    copy.Write("VTS_01_1.VOB", vob);
    const DiscCheckResult r = Check(copy.Root());
    const std::vector<DiscFinding> faults = Faults(r);
    ASSERT_EQ(faults.size(), 1u) << Describe(faults);
    EXPECT_STREQ(faults[0].finding.check, kIfoCellAddress.id);
    EXPECT_NE(faults[0].finding.message.find("blocks " + std::to_string(block) + " to"), std::string::npos)
        << faults[0].finding.message;
    EXPECT_NE(faults[0].finding.message.find("VOB 1 cell 3"), std::string::npos) << faults[0].finding.message;
}

TEST(DiscSeeded, CellPlayback)
{
    // Title 1's third cell names its first VOBU as its last.
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        const size_t cell = CellPlayback(b, 0, 2);
        at = cell + 16;
        Put32(b, at, Be32(b, cell + 8));
    });
    ExpectOnly(Check(copy.Root()), kIfoCellPlayback, "VTS_01_0.IFO", at);
}

TEST(DiscSeeded, CellTime)
{
    // Title 1's second cell half a second longer than its video: the cell's fault, not
    // its PGC's, whose time is still the cells' true times added up.
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        at = CellPlayback(b, 0, 1) + 4;
        ASSERT_EQ(b[at + 2], 0x01);  // 1 s
        b[at + 2] = 0x02;
    });
    ExpectOnly(Check(copy.Root()), kIfoCellTime, "VTS_01_0.IFO", at);

    // Without the VOBs only the sum is there to judge: the PGC's time is then at fault.
    for (const auto& e : fs::directory_iterator(copy.Folder()))
        if (e.path().extension() == ".VOB")
            fs::remove(e.path());
    const std::vector<DiscFinding> faults = Faults(Check(copy.Root()));
    ASSERT_EQ(faults.size(), 2u) << Describe(faults);
    EXPECT_STREQ(faults[1].finding.check, kIfoPgcTime.id) << Describe(faults);
}

TEST(DiscSeeded, VobuAddressMap)
{
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        at = Table(b, kVtsAdmap) + 4 + 4 * 4;
        Put32(b, at, Be32(b, at) + 1);
    });
    ExpectOnly(Check(copy.Root()), kIfoVobuAdmap, "VTS_01_0.IFO", at);
}

TEST(DiscSeeded, TimeMap)
{
    // Title 1's time map: the entry for 2 s points at the VOBU of 3 s.
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        const size_t tmapt = Table(b, kVtsTmapt);
        const size_t map = tmapt + Be32(b, tmapt + 8);
        at = map + 4 + 4;
        Put32(b, at, Be32(b, map + 4 + 8));
    });
    ExpectOnly(Check(copy.Root()), kIfoTimeMap, "VTS_01_0.IFO", at);
}

TEST(DiscSeeded, Attributes)
{
    {
        // Title set 2's second audio stream said to have 6 channels: the title set's
        // fault, not the manager's copy, which still says what the stream has.
        DiscCopy copy;
        copy.Edit("VTS_02_0.IFO", [](Bytes& b) { b[0x20C + 1] = static_cast<uint8_t>((b[0x20C + 1] & ~7) | 5); });
        ExpectOnly(Check(copy.Root()), kIfoAttributes, "VTS_02_0.IFO", 0x20C);
    }
    {
        // The manager's copy of title set 2's video attributes says 4:3.
        DiscCopy copy;
        size_t at = 0;
        copy.Edit("VIDEO_TS.IFO", [&](Bytes& b) {
            const size_t atrt = Table(b, 0xD0);
            at = atrt + Be32(b, atrt + 8 + 4) + 264;
            b[at] &= static_cast<uint8_t>(~0x0C);
        });
        ExpectOnly(Check(copy.Root()), kIfoAttributes, "VIDEO_TS.IFO", at);
    }
    {
        // Title set 1's video said to be NTSC.
        DiscCopy copy;
        copy.Edit("VTS_01_0.IFO", [](Bytes& b) { b[0x200] &= static_cast<uint8_t>(~0x30); });
        const DiscCheckResult r = Check(copy.Root());
        ExpectOnly(r, kIfoAttributes, "VTS_01_0.IFO", 0x200);
    }
}

TEST(DiscSeeded, StcDiscontinuity)
{
    // Title 1's second cell goes on in the VOB of the first; marked as a new clock.
    DiscCopy copy;
    size_t at = 0;
    copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
        at = CellPlayback(b, 0, 1);
        b[at] |= 0x02;
    });
    ExpectOnly(Check(copy.Root()), kIfoStc, "VTS_01_0.IFO", at);
}

TEST(DiscSeeded, VobFiles)
{
    {
        // The set one block short, inside its last VOBU: one finding at the end of the
        // last file, and no table entry judged past the cut.
        DiscCopy copy;
        Bytes b = copy.Read("VTS_01_2.VOB");
        b.resize(b.size() - 2048);
        copy.Write("VTS_01_2.VOB", b);
        ExpectOnly(Check(copy.Root()), kDvdVobFiles, "VTS_01_2.VOB", b.size());
    }
    {
        // The set's last VOBU gone whole: the files end where a VOBU does, but both
        // address tables go on.
        DiscCopy copy;
        Bytes b = copy.Read("VTS_01_2.VOB");
        const Bytes ifo = copy.Read("VTS_01_0.IFO");
        const size_t admap = Table(ifo, kVtsAdmap);
        const size_t last = Be32(ifo, admap + Be32(ifo, admap) - 3);
        b.resize(last * 2048 - copy.Read("VTS_01_1.VOB").size());
        copy.Write("VTS_01_2.VOB", b);
        ExpectOnly(Check(copy.Root()), kDvdVobFiles, "VTS_01_2.VOB", b.size());
    }
    {
        // More blocks than the IFO gives the set.
        DiscCopy copy;
        Bytes b = copy.Read("VTS_02_1.VOB");
        b.insert(b.end(), b.end() - 2048, b.end());
        copy.Write("VTS_02_1.VOB", b);
        const std::vector<DiscFinding> faults = Faults(Check(copy.Root()));
        ASSERT_GE(faults.size(), 1u);
        EXPECT_STREQ(faults[0].finding.check, kDvdVobFiles.id) << Describe(faults);
        EXPECT_EQ(faults[0].file, "VTS_02_1.VOB");
    }
    {
        // The first file of the set gone: the second is not read as the first.
        DiscCopy copy;
        fs::remove(copy.Folder() / "VTS_01_1.VOB");
        const DiscCheckResult r = Check(copy.Root());
        ExpectOnly(r, kDvdVobFiles, "VTS_01_2.VOB", 0);
        EXPECT_EQ(r.runs[2].domain->name, "VTS 1");
        EXPECT_EQ(r.runs[2].files.size(), 0u);
    }
    {
        // A menu VOB empty.
        DiscCopy copy;
        copy.Write("VTS_01_0.VOB", Bytes());
        ExpectOnly(Check(copy.Root()), kDvdVobFiles, "VTS_01_0.VOB", 0);
    }
}

TEST(DiscSeeded, VobuBound)
{
    // Fewer VOBUs kept than the sets have: one model-limit warning per set says so, and
    // nothing past the last VOBU kept is judged.
    DiscCheckOptions options;
    options.maxVobus = 5;
    const DiscCheckResult r = Check(kDiscs + "/disc", options);
    const std::vector<DiscFinding> faults = Faults(r);
    // The manager's menus, title set 1's menus and titles, title set 2's titles.
    ASSERT_EQ(faults.size(), 4u) << Describe(faults);
    for (const DiscFinding& f : faults)
    {
        EXPECT_STREQ(f.finding.check, checks::rules::kModelLimit.id) << Describe(faults);
        EXPECT_NE(f.finding.message.find("more than the 5 the checks keep"), std::string::npos) << f.finding.message;
    }
}
