// The checks on real streams made at test time (make-streams.sh): the streams of mplex,
// ffmpeg and dvdauthor are clean, in whatever DVD structure they come (several VOBs,
// parts of a VOB set, stills, programs one after the other); the faults of mencoder and
// mpegpsmux are found and nothing else; one fault seeded at a time is found at the
// element that holds it.

#include "checks/StreamChecks.h"
#include "model/Pipeline.h"
#include "stream/CInput.h"
#include "support/StreamWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using checks::Finding;
using namespace model;

namespace
{

constexpr StreamKey kVideo = 0xE0, kMp2 = 0xC0, kNav = 0xBF;
constexpr StreamKey kAc3 = MakeStreamKey(0xBD, 0x80);

Bytes Load(const char* name)
{
    const Bytes b = ReadWholeFile(std::string(VARNODEL_CHECK_STREAMS) + "/" + name);
    if (b.empty())
        ADD_FAILURE() << "missing test stream " << name << " (made by make-streams.sh)";
    return b;
}

// The number a finding gives the pack of model index i: the tree's "PACK #n".
uint32_t PackNo(uint32_t index) { return index + 1; }

// What the demultiplexer saw in a stream: where to seed a fault.
struct Recorder : IModelSink
{
    std::vector<PackEvent> packs;
    std::vector<PesEvent> pes;
    std::vector<AccessUnit> units;
    std::vector<NavPack> navs;
    void OnPack(const PackEvent& e) override { packs.push_back(e); }
    void OnPes(const PesEvent& e) override { pes.push_back(e); }
    void OnAccessUnit(const AccessUnit& e) override { units.push_back(e); }
    void OnNavPack(const NavPack& e) override { navs.push_back(e); }

    std::vector<PesEvent> PesOf(StreamKey s) const
    {
        std::vector<PesEvent> out;
        for (const PesEvent& p : pes)
            if (p.stream == s)
                out.push_back(p);
        return out;
    }
    std::vector<AccessUnit> UnitsOf(StreamKey s) const
    {
        std::vector<AccessUnit> out;
        for (const AccessUnit& u : units)
            if (u.stream == s)
                out.push_back(u);
        return out;
    }
    // The pack and file offset of a position in a stream's joined payload.
    std::pair<uint32_t, uint64_t> Locate(StreamKey s, uint64_t esPos) const
    {
        for (const PesEvent& p : PesOf(s))
        {
            if (esPos < p.payloadSize)
                return {p.pack, p.payloadOffset + esPos};
            esPos -= p.payloadSize;
        }
        ADD_FAILURE() << "stream position past the end";
        return {0, 0};
    }
};

Recorder Record(const Bytes& b)
{
    Recorder r;
    CPipeline pipeline;
    pipeline.Add(r);
    pipeline.Run(b.data(), b.size());
    return r;
}

// The checks' findings on bytes in memory, or on an input.
struct Verdict
{
    std::vector<Finding> findings;
    uint64_t errors = 0;
    uint64_t peak[3] = {};
};

Verdict Judge(const std::function<void(CPipeline&)>& run, std::initializer_list<StreamKey> peaks = {})
{
    CPipeline pipeline;
    checks::StreamChecks c(pipeline.Context());
    pipeline.Add(c);
    run(pipeline);
    Verdict v;
    v.findings = c.Log().Findings();
    v.errors = c.Log().Total(checks::Severity::Error);
    int i = 0;
    for (StreamKey k : peaks)
        v.peak[i++] = c.BufferPeak(k);
    return v;
}

std::vector<Finding> Check(const Bytes& b)
{
    return Judge([&](CPipeline& p) { p.Run(b.data(), b.size()); }).findings;
}

// The ids of the findings, each once.
std::set<std::string> Ids(const std::vector<Finding>& findings)
{
    std::set<std::string> ids;
    for (const Finding& f : findings)
        ids.insert(f.check);
    return ids;
}

size_t CountOf(const std::vector<Finding>& findings, const char* check)
{
    return size_t(std::count_if(findings.begin(), findings.end(),
                                [&](const Finding& f) { return std::string(f.check) == check; }));
}

std::string Describe(const std::vector<Finding>& findings)
{
    std::string s;
    for (const Finding& f : findings)
        s += checks::FormatFinding(f) + "\n";
    return s;
}

// The first finding of the check; a failure when there is none.
Finding First(const std::vector<Finding>& findings, const char* check)
{
    for (const Finding& f : findings)
        if (std::string(f.check) == check)
            return f;
    ADD_FAILURE() << "no " << check << " in:\n" << Describe(findings);
    return {};
}

#define EXPECT_FOUND(findings, check, streamKey, packIndex)                                  \
    do                                                                                         \
    {                                                                                          \
        const Finding f_ = First(findings, check);                                             \
        EXPECT_EQ(f_.stream, streamKey) << check;                                              \
        EXPECT_EQ(f_.pack, PackNo(packIndex)) << check << "\n" << Describe(findings);          \
    } while (0)

void Put32(Bytes& b, uint64_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
uint32_t Get32(const Bytes& b, uint64_t at)
{
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Rewrites an MPEG-2 pack header's SCR and mux rate, keeping its stuffing.
void SetPack(Bytes& b, const PackEvent& p, uint64_t scrBase, uint32_t ext, uint32_t muxRate)
{
    StreamWriter w;
    w.PackHeader(scrBase, ext, muxRate);
    std::copy(w.bytes.begin() + 4, w.bytes.begin() + 13, b.begin() + p.offset + 4);
}

// Offset of the P-STD_buffer field in an MPEG-2 PES header, 0 where it has none.
uint64_t PstdFieldOffset(const Bytes& b, const PesEvent& p)
{
    const uint64_t o = p.offset;
    const uint8_t flags = b[o + 7];
    uint64_t at = o + 9;
    at += (flags & 0x80 ? 5 : 0) + (flags & 0x40 ? 5 : 0) + (flags & 0x20 ? 6 : 0) + (flags & 0x10 ? 3 : 0) +
          (flags & 0x08 ? 1 : 0) + (flags & 0x04 ? 1 : 0) + (flags & 0x02 ? 2 : 0);
    if (!(flags & 0x01))
        return 0;
    const uint8_t ext = b[at++];
    if (ext & 0x80)
        at += 16;
    if (ext & 0x40)
        at += 1 + b[at];
    if (ext & 0x20)
        at += 2;
    return ext & 0x10 ? at : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Good streams

namespace
{

// The stream with its MPEG_program_end_code taken into the padding packet before it, as
// a muxer that writes none would have it; the packs keep their size.
Bytes WithoutEndCode(Bytes b)
{
    const size_t end = b.size() - 4;
    EXPECT_EQ(Get32(b, end), 0x000001B9u);
    const Recorder r = Record(b);
    const PesEvent& last = r.pes.back();
    EXPECT_EQ(StreamIdOf(last.stream), 0xBE);
    EXPECT_EQ(last.offset + 6 + last.packetLength, end);
    const uint32_t length = last.packetLength + 4;
    b[last.offset + 4] = uint8_t(length >> 8);
    b[last.offset + 5] = uint8_t(length);
    std::fill(b.begin() + long(end), b.end(), 0xFF);
    return b;
}

// The first `count` PES packets of every stream without their PTS and DTS: the flags
// cleared, the fields left as stuffing bytes.
Bytes WithoutFirstTimeStamps(Bytes b, int count)
{
    std::map<StreamKey, int> seen;
    for (const PesEvent& p : Record(b).pes)
    {
        if (!p.hasPts || seen[p.stream]++ >= count)
            continue;
        b[p.offset + 7] &= 0x3F;  // PTS_DTS_flags
        std::fill(b.begin() + long(p.offset + 9), b.begin() + long(p.offset + 9 + (p.hasDts ? 10 : 5)), 0xFF);
    }
    return b;
}

// Every SCR rounded down to 90 kHz: the extensions written as 0.
Bytes ScrsIn90kHzSteps(Bytes b)
{
    for (const PackEvent& p : Record(b).packs)
        SetPack(b, p, p.scrBase, 0, p.muxRate);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

}  // namespace

// mplex fills the DVD video buffer (232 KiB), the MP2 buffer (4 KiB) and the LPCM buffer
// (58 KiB, the frames' bytes without the substream headers) almost to the byte:
// a model that removes a picture a little late overflows, one that removes it early or
// lets bytes arrive late peaks visibly lower.
TEST(RealChecks, BufferModelMeetsMplexToTheByte)
{
    const Bytes b = Load("dvd.mpg");
    const Verdict v = Judge([&](CPipeline& p) { p.Run(b.data(), b.size()); }, {kVideo, 0xC1});
    EXPECT_LE(v.peak[0], 237568u);
    EXPECT_GE(v.peak[0], 237568u - 64);
    EXPECT_LE(v.peak[1], 4096u);
    EXPECT_GE(v.peak[1], 4096u - 32);
    const Bytes l = Load("lpcm.mpg");
    const StreamKey pcm = MakeStreamKey(0xBD, 0xA0);
    const Verdict w = Judge([&](CPipeline& p) { p.Run(l.data(), l.size()); }, {pcm});
    EXPECT_LE(w.peak[0], 59392u);
    EXPECT_GE(w.peak[0], 59392u - 64);
}

// No rule cries wolf on streams nobody tuned it to: mplex's, ffmpeg's and dvdauthor's,
// titles and menus of several VOBs (a still among them), SCRs in 90 kHz steps. What they
// may say: a muxer's placeholder navigation packs, the VOBs' own clocks, and mplex's
// habit of sending low-rate video more than a second ahead (just over it: real, and a
// warning).
TEST(RealChecks, CleanStreamsFromEveryMuxer)
{
    struct Case
    {
        const char* name;
        Bytes bytes;
        std::set<std::string> may;  // warnings and infos it may have
        size_t timeBases;
    };
    const std::set<std::string> placeholders = {"dvd-nav-unauthored"};
    const Case cases[] = {
        {"mplex VCD", Load("vcd.mpg"), {}, 0},
        {"mplex SVCD", Load("svcd.mpg"), {"mux-delay"}, 0},
        {"mplex MPEG-2", Load("mplex2.mpg"), {"mux-delay"}, 0},
        {"mplex DVD", Load("dvd.mpg"), placeholders, 0},
        {"mplex DVD LPCM", Load("lpcm.mpg"), placeholders, 0},
        {"mplex DVD still", Load("still.mpg"), placeholders, 0},
        {"ffmpeg DVD", Load("ffdvd.mpg"), placeholders, 0},
        {"ffmpeg DVD, SCRs in 90 kHz steps", ScrsIn90kHzSteps(Load("ffdvd.mpg")), placeholders, 0},
        {"ffmpeg MPEG-1", Load("ffmpeg1.mpg"), {}, 0},
        {"ffmpeg VOB", Load("ff.vob"), {}, 0},
        {"dvdauthor title of one VOB", Load("authored.vob"), {}, 0},
        {"dvdauthor title of three VOBs", Load("title.vob"), {"time-base"}, 2},
        {"dvdauthor menus of three VOBs, a still among them", Load("menus.vob"), {"time-base"}, 2},
    };
    for (const Case& c : cases)
    {
        const auto findings = Check(c.bytes);
        for (const Finding& f : findings)
        {
            EXPECT_NE(f.severity, checks::Severity::Error) << c.name << ": " << checks::FormatFinding(f);
            EXPECT_TRUE(c.may.count(f.check)) << c.name << ": " << checks::FormatFinding(f);
        }
        EXPECT_EQ(CountOf(findings, "time-base"), c.timeBases) << c.name << "\n" << Describe(findings);
    }
}

// ---------------------------------------------------------------------------------------
// Time bases

// Each VOB of a DVD runs on its own clock; a program after an end code on its own; an
// SCR that runs back with neither is one fault, and nothing else follows from it.
TEST(RealChecks, TimeBases)
{
    {
        // Three VOBs, each starting at SCR 0: announced at each VOB's navigation pack.
        const Bytes b = Load("title.vob");
        const Recorder r = Record(b);
        const auto findings = Check(b);
        std::vector<uint32_t> starts;
        for (size_t i = 1; i < r.navs.size(); ++i)
            if (r.navs[i].vobIdn != r.navs[i - 1].vobIdn)
                starts.push_back(PackNo(r.navs[i].pack));
        ASSERT_EQ(starts.size(), 2u);
        std::vector<uint32_t> found;
        for (const Finding& f : findings)
            if (std::string(f.check) == "time-base")
                found.push_back(f.pack);
        EXPECT_EQ(found, starts);
    }
    {
        // A DVD program, its end code, then an SVCD program: packs of 2324 bytes and no
        // navigation packs are no fault of the second program.
        const auto findings = Check(Cat({Load("dvd.mpg"), Load("svcd.mpg")}));
        std::set<std::string> ids = Ids(findings);
        ids.erase("mux-delay");  // mplex's SVCD video (above)
        ids.erase("dvd-nav-unauthored");
        EXPECT_EQ(ids, std::set<std::string>{"time-base"}) << Describe(findings);
        EXPECT_EQ(CountOf(findings, "time-base"), 1u);
    }
    {
        // The same without the end code: the SCR runs back where the second begins.
        const Bytes first = WithoutEndCode(Load("dvd.mpg"));
        const Verdict v = Judge([&](CPipeline& p) {
            const Bytes b = Cat({first, Load("bars.mpg")});
            p.Run(b.data(), b.size());
        });
        EXPECT_EQ(v.errors, 1u) << Describe(v.findings);
        const Finding f = First(v.findings, "scr-backwards");
        EXPECT_EQ(f.offset, first.size());
    }
    {
        // Eight copies of one stream, joined as they are (ffmpeg writes no end code): one
        // finding per join.
        const Bytes one = Load("ffdvd.mpg");
        Bytes b;
        for (int i = 0; i < 8; ++i)
            b.insert(b.end(), one.begin(), one.end());
        const Verdict v = Judge([&](CPipeline& p) { p.Run(b.data(), b.size()); });
        EXPECT_EQ(v.errors, 7u) << Describe(v.findings);
        EXPECT_EQ(CountOf(v.findings, "scr-backwards"), 7u);
    }
}

// A VOB file that is a part of its set counts its blocks from where the set starts; given
// with the parts before it, from the set's start.
TEST(RealChecks, PartsOfAVobSet)
{
    const Bytes title = Load("title.vob");
    const Recorder r = Record(title);
    ASSERT_GT(r.navs.size(), 12u);
    const NavPack cutAt = r.navs[10];
    const Bytes head(title.begin(), title.begin() + long(cutAt.offset));
    const Bytes tail(title.begin() + long(cutAt.offset), title.end());
    {
        // Cut after its AC-3 stream's first packet, the only one to give its P-STD size
        // (ffmpeg's system header gives it as 0): that buffer cannot be judged.
        const auto findings = Check(tail);
        EXPECT_EQ(Ids(findings), (std::set<std::string>{"dvd-vobs-offset", "time-base", "pstd-size-unknown"}))
            << Describe(findings);
        const Finding f = First(findings, "dvd-vobs-offset");
        EXPECT_EQ(f.pack, 1u);
        EXPECT_NE(f.message.find(std::to_string(cutAt.offset / 2048) + " blocks"), std::string::npos) << f.message;
    }
    {
        // The part before it ends where a navigation pack would follow: not a fault.
        const auto findings = Check(head);
        EXPECT_EQ(Ids(findings), std::set<std::string>{"time-base"}) << Describe(findings);
    }
    {
        // Both files read as one set: blocks counted from the first.
        TempDir dir;
        CFileSetInput set;
        ASSERT_TRUE(set.Open({dir.Write("VTS_01_1.VOB", head), dir.Write("VTS_01_2.VOB", tail)}));
        const Verdict v = Judge([&](CPipeline& p) { p.Run(set); });
        EXPECT_EQ(Ids(v.findings), std::set<std::string>{"time-base"}) << Describe(v.findings);
    }
    {
        // A wrong address in the part is still one, counted from the set's start.
        Bytes b = tail;
        const NavPack& n = r.navs[13];
        const uint64_t at = n.offset - cutAt.offset;
        Put32(b, at + 0x2D, Get32(b, at + 0x2D) + 1);  // PCI nv_pck_lbn
        const auto findings = Check(b);
        EXPECT_EQ(CountOf(findings, "dvd-nav-lbn"), 1u) << Describe(findings);
        EXPECT_FOUND(findings, "dvd-nav-lbn", kNav, uint32_t(at / 2048));
    }
    {
        // Addresses all off by more than a VOB set can hold (nine files of 1 GiB) make no
        // part of one: they are wrong, from the first navigation pack on.
        Bytes b = title;
        for (const NavPack& n : r.navs)
        {
            Put32(b, n.offset + 0x2D, Get32(b, n.offset + 0x2D) + (9u << 19));   // PCI nv_pck_lbn
            Put32(b, n.offset + 0x40B, Get32(b, n.offset + 0x40B) + (9u << 19)); // DSI nv_pck_lbn
        }
        const auto findings = Check(b);
        EXPECT_EQ(CountOf(findings, "dvd-vobs-offset"), 0u) << Describe(findings);
        EXPECT_FOUND(findings, "dvd-nav-lbn", kNav, 0u);
    }
}

// A still picture ends at its sequence_end_code: its VOBU's reference frame address is
// where that code is, and a wrong one is found.
TEST(RealChecks, StillPictures)
{
    const Bytes menus = Load("menus.vob");
    const Recorder r = Record(menus);
    // The still's VOB: a single VOBU whose picture ends its sequence.
    std::map<uint16_t, int> vobus;
    for (const NavPack& n : r.navs)
        ++vobus[n.vobIdn];
    const auto still = std::find_if(r.navs.begin(), r.navs.end(),
                                    [&](const NavPack& n) { return vobus[n.vobIdn] == 1 && n.ref1Ea > 0; });
    ASSERT_NE(still, r.navs.end());
    const auto picture = std::find_if(r.units.begin(), r.units.end(), [&](const AccessUnit& u) {
        return u.stream == kVideo && u.pack > still->pack && u.sequenceEnd;
    });
    ASSERT_NE(picture, r.units.end());
    EXPECT_EQ(still->ref1Ea, picture->lastOffset / 2048 - still->offset / 2048);
    Bytes b = menus;
    Put32(b, still->offset + 0x407 + 12, still->ref1Ea + 1);  // vobu_1stref_ea
    const auto findings = Check(b);
    EXPECT_EQ(Ids(findings), (std::set<std::string>{"dvd-ref-frame-end", "time-base"})) << Describe(findings);
    EXPECT_FOUND(findings, "dvd-ref-frame-end", kNav, still->pack);
}

// A stream whose first packets carry no time stamps: one warning per stream, and no
// buffer or timestamp rule judges what has no time.
TEST(RealChecks, FirstUnitsWithoutTimeStamps)
{
    const auto findings = Check(WithoutFirstTimeStamps(Load("dvd.mpg"), 6));
    std::set<StreamKey> streams;
    for (const Finding& f : findings)
    {
        if (std::string(f.check) == "dvd-nav-unauthored")
            continue;
        EXPECT_STREQ(f.check, "timestamp-missing") << checks::FormatFinding(f);
        streams.insert(f.stream);
    }
    EXPECT_EQ(streams, (std::set<StreamKey>{kVideo, kAc3, 0xC1})) << Describe(findings);
}

// ---------------------------------------------------------------------------------------
// Clocks hours apart

namespace
{

// 65,537 MP2 packets of one frame each (24 ms), six to a pack; the packs' SCRs run
// `ahead` 90 kHz ticks ahead of the frames' PTS (behind where negative).
Bytes AudioAhead(int64_t ahead)
{
    StreamWriter w;
    uint32_t seed = 9;
    const uint64_t first = 43200ull * 90000;  // 12 h: room for a clock ten hours either side
    for (uint32_t k = 0; k < 65537; ++k)
    {
        const uint64_t pts = first + uint64_t(k) * 2160;
        if (k % 6 == 0)
        {
            w.PackHeader(uint64_t(int64_t(pts) + ahead), 0, 25200);
            if (k == 0)
                w.SystemHeader({{0xC0, 0, 32}}, 25200, 1, 0);
        }
        PesOptions o;
        o.pts = pts;
        w.PesPacket(0xC0, StreamWriter::Mp2Frame(6, 1, false, seed), o);  // 96 kbit/s at 48 kHz
    }
    return w.bytes;
}

}  // namespace

// Packets that arrive ten hours after their frames are decoded (this crashed the checks
// once), and frames decoded ten hours after their packets arrive: the fault is found,
// the buffer model's queue stays within its bound, nothing crashes.
TEST(RealChecks, ClocksHoursApart)
{
    const int64_t tenHours = int64_t{36000} * 90000;
    {
        const auto findings = Check(AudioAhead(tenHours));
        EXPECT_EQ(Ids(findings), std::set<std::string>{"pstd-underflow"}) << Describe(findings);
    }
    {
        const auto findings = Check(AudioAhead(-tenHours));
        EXPECT_EQ(Ids(findings), (std::set<std::string>{"pstd-overflow", "model-limit"})) << Describe(findings);
    }
}

// ---------------------------------------------------------------------------------------
// Muxers with faults of their own

// mencoder (-of mpeg) and GStreamer's mpegpsmux write streams that break the standard's
// timing rules; those faults are found, nothing else is.
TEST(RealChecks, FaultsOfOtherMuxers)
{
    {
        // mencoder's DVD mode gives the pack after each navigation pack the navigation
        // pack's own SCR: its bytes would arrive while the navigation pack's still do.
        const Bytes b = Load("mencoder-dvd.mpg");
        const Recorder r = Record(b);
        const auto findings = Check(b);
        EXPECT_EQ(Ids(findings), (std::set<std::string>{"mux-rate-exceeded", "dvd-nav-unauthored"}))
            << Describe(findings);
        std::set<uint32_t> navPacks;
        for (const NavPack& n : r.navs)
            navPacks.insert(n.pack);
        for (const Finding& f : findings)
            if (std::string(f.check) == "mux-rate-exceeded")
            {
                const PackEvent& p = r.packs[f.pack - 1];
                ASSERT_GT(p.index, 0u);
                EXPECT_EQ(p.scr27, r.packs[p.index - 1].scr27);
                EXPECT_TRUE(navPacks.count(p.index - 1)) << checks::FormatFinding(f);
            }
    }
    // mencoder's MPEG-2 and MPEG-1 modes give the video a P-STD buffer of 46 KiB in the
    // system header, and send its bytes earlier than that holds.
    for (const char* name : {"mencoder.mpg", "mencoder1.mpg"})
    {
        const auto findings = Check(Load(name));
        EXPECT_EQ(Ids(findings), std::set<std::string>{"pstd-overflow"}) << name << "\n" << Describe(findings);
        for (const Finding& f : findings)
        {
            EXPECT_EQ(f.stream, kVideo);
            EXPECT_NE(f.message.find("buffer size of 47104 bytes"), std::string::npos) << f.message;
        }
    }
    {
        // mpegpsmux: program_mux_rate far below the rate its SCRs give (and above the
        // system header's rate_bound), SCRs set to the first packet's decoding time so
        // that units arrive after it, and no DTS for reordered pictures.
        const auto findings = Check(Load("mpegpsmux.mpg"));
        EXPECT_EQ(Ids(findings), (std::set<std::string>{"mux-rate-exceeded", "system-header-bound", "pstd-underflow",
                                                        "pstd-overflow", "dts-backwards"}))
            << Describe(findings);
    }
}

// ---------------------------------------------------------------------------------------
// System layer and timestamps

TEST(RealChecks, SeededSystemAndTimestampFaults)
{
    const Bytes clean = Load("dvd.mpg");
    const Recorder r = Record(clean);
    ASSERT_GT(r.packs.size(), 100u);
    {
        // SCR set back below the previous pack's.
        Bytes b = clean;
        const PackEvent& p = r.packs[60];
        SetPack(b, p, r.packs[59].scrBase - 100, 0, p.muxRate);
        EXPECT_FOUND(Check(b), "scr-backwards", kNoStream, 60u);
    }
    {
        // Every SCR from pack 60 on 0.8 s later.
        Bytes b = clean;
        for (size_t k = 60; k < r.packs.size(); ++k)
            SetPack(b, r.packs[k], r.packs[k].scrBase + 72000, r.packs[k].scrExtension, r.packs[k].muxRate);
        EXPECT_FOUND(Check(b), "scr-interval", kNoStream, 60u);
    }
    {
        // A mux rate of a quarter: the first pack that comes before the previous one has
        // arrived at that rate.
        Bytes b = clean;
        uint32_t expected = 0;
        for (size_t k = 0; k < r.packs.size(); ++k)
        {
            const PackEvent& p = r.packs[k];
            SetPack(b, p, p.scrBase, p.scrExtension, p.muxRate / 4);
            if (k > 0 && !expected)
            {
                const PackEvent& q = r.packs[k - 1];
                const double arrives = q.scr27 + double(p.offset - 1 - q.scrByteOffset) * 27e6 / (q.muxRate / 4 * 50.0);
                if (p.scr27 + 1 < arrives)
                    expected = p.index;
            }
        }
        ASSERT_NE(expected, 0u);
        EXPECT_FOUND(Check(b), "mux-rate-exceeded", kNoStream, expected);
    }
    {
        // A DTS after its PTS.
        Bytes b = clean;
        const std::vector<PesEvent> video = r.PesOf(kVideo);
        const auto it = std::find_if(video.begin() + 10, video.end(), [](const PesEvent& p) { return p.hasDts; });
        ASSERT_NE(it, video.end());
        ASSERT_EQ(b[it->offset + 7] & 0xC0, 0xC0);
        StreamWriter::Put33(&b[it->offset + 14], 1, it->pts + 3000);
        EXPECT_FOUND(Check(b), "dts-after-pts", kVideo, it->pack);
    }
}

// ---------------------------------------------------------------------------------------
// Decoder buffers

TEST(RealChecks, SeededBufferFaults)
{
    const Bytes clean = Load("dvd.mpg");
    const Recorder r = Record(clean);
    {
        // A video buffer of 2 KiB: overflowing at byte 2048 of the video, long before the
        // first picture is decoded.
        Bytes b = clean;
        int fields = 0;
        for (const PesEvent& p : r.PesOf(kVideo))
            if (const uint64_t at = PstdFieldOffset(b, p))
            {
                b[at] = 0x60;  // '01', scale 1 (1024 bytes), size 2
                b[at + 1] = 0x02;
                ++fields;
            }
        ASSERT_GT(fields, 0);
        EXPECT_FOUND(Check(b), "pstd-overflow", kVideo, r.Locate(kVideo, 2048).first);
    }
    {
        // Late arrival: the first picture decoded at the SCR of the pack it starts in.
        Bytes b = clean;
        const PesEvent first = r.PesOf(kVideo)[0];
        ASSERT_TRUE(first.hasDts);
        const AccessUnit unit = r.UnitsOf(kVideo)[0];
        StreamWriter::Put33(&b[first.offset + 14], 1, r.packs[first.pack].scrBase);
        EXPECT_FOUND(Check(b), "pstd-underflow", kVideo, unit.pack);
    }
}

// ---------------------------------------------------------------------------------------
// Elementary streams

TEST(RealChecks, SeededElementaryStreamFaults)
{
    {
        // An audio packet turned into padding: the frame that ran into it ends where the
        // next sync word is not.
        const Bytes clean = Load("vcd.mpg");
        const Recorder r = Record(clean);
        const std::vector<PesEvent> audio = r.PesOf(kMp2);
        ASSERT_GT(audio.size(), 20u);
        const PesEvent gone = audio[10];
        Bytes b = clean;
        b[gone.offset + 3] = 0xBE;
        uint64_t goneStart = 0;
        for (size_t i = 0; i < 10; ++i)
            goneStart += audio[i].payloadSize;
        // The frame running into the packet; its successor should start its length on,
        // counted in the stream without the packet.
        const std::vector<AccessUnit> frames = r.UnitsOf(kMp2);
        const auto f = std::find_if(frames.begin(), frames.end(), [&](const AccessUnit& u) {
            return u.esOffset + u.size > goneStart;
        });
        ASSERT_NE(f, frames.end());
        const auto [pack, offset] = r.Locate(kMp2, f->esOffset + f->size + gone.payloadSize);
        const auto findings = Check(b);
        EXPECT_FOUND(findings, "audio-frame-gap", kMp2, pack);
        EXPECT_EQ(First(findings, "audio-frame-gap").offset, offset);
    }
    // A wiped frame header, MPEG audio and AC-3: the gap is where it was.
    for (const auto& [name, stream] : {std::pair{"vcd.mpg", kMp2}, std::pair{"dvd.mpg", kAc3}})
    {
        const Bytes clean = Load(name);
        const Recorder r = Record(clean);
        const std::vector<AccessUnit> frames = r.UnitsOf(stream);
        ASSERT_GT(frames.size(), 30u) << name;
        const auto u = std::find_if(frames.begin() + 20, frames.end(),
                                    [](const AccessUnit& a) { return a.lastOffset - a.offset + 1 == a.size; });
        ASSERT_NE(u, frames.end());
        Bytes b = clean;
        b[u->offset] = b[u->offset + 1] = 0;
        const auto findings = Check(b);
        EXPECT_FOUND(findings, "audio-frame-gap", stream, u->pack);
        EXPECT_EQ(First(findings, "audio-frame-gap").offset, u->offset) << name;
    }
    {
        // A picture's temporal_reference out of its group's range.
        const Bytes clean = Load("dvd.mpg");
        const Recorder r = Record(clean);
        const std::vector<AccessUnit> pictures = r.UnitsOf(kVideo);
        const auto u = std::find_if(pictures.begin() + 20, pictures.end(), [&](const AccessUnit& a) {
            return !a.gopStart && !a.sequenceStart && a.lastOffset - a.offset + 1 == a.size;
        });
        ASSERT_NE(u, pictures.end());
        Bytes b = clean;
        ASSERT_EQ(Get32(b, u->offset), 0x00000100u);
        b[u->offset + 4] = 0xFF;
        b[u->offset + 5] |= 0xC0;  // 1023
        const auto findings = Check(b);
        EXPECT_FOUND(findings, "video-temporal-reference", kVideo, u->pack);
        EXPECT_EQ(First(findings, "video-temporal-reference").offset, u->offset);
    }
}

// ---------------------------------------------------------------------------------------
// DVD navigation packs

TEST(RealChecks, SeededNavigationPackFaults)
{
    const Bytes clean = Load("authored.vob");
    const Recorder r = Record(clean);
    ASSERT_GT(r.navs.size(), 4u);
    const NavPack nav = r.navs[3];
    // Byte offsets in the nav pack: PCI data from 0x2D, DSI data from 0x407.
    struct Field
    {
        const char* check;
        uint32_t at;
        uint32_t delta;
    };
    const Field fields[] = {
        {"dvd-nav-lbn", 0x2D, 1},             // PCI nv_pck_lbn
        {"dvd-vobu-ptm", 0x39, 900},          // vobu_s_ptm
        {"dvd-vobu-ptm", 0x3D, 900},          // vobu_e_ptm
        {"dvd-nav-lbn", 0x407 + 4, 1},        // DSI nv_pck_lbn
        {"dvd-vobu-end", 0x407 + 8, 1},       // vobu_ea
        {"dvd-ref-frame-end", 0x407 + 12, 1}, // vobu_1stref_ea
        {"dvd-ref-frame-end", 0x407 + 16, 1}, // vobu_2ndref_ea
        {"dvd-vobu-links", 0x407 + 314, 1},   // next_vobu
        {"dvd-vobu-links", 0x407 + 318, 1},   // prev_vobu
    };
    for (const Field& field : fields)
    {
        Bytes b = clean;
        Put32(b, nav.offset + field.at, Get32(b, nav.offset + field.at) + field.delta);
        EXPECT_FOUND(Check(b), field.check, kNav, nav.pack);
    }
    // Cut a whole pack after the fourth nav pack: that VOBU runs on past the end of the
    // file, so its addresses are not judged.
    const Bytes cut(clean.begin(), clean.begin() + nav.offset + 2048 * 2);
    for (const Finding& f : Check(cut))
        EXPECT_NE(f.stream, kNav) << checks::FormatFinding(f);
}
