// The checks on real streams: mplex's VCD, SVCD and DVD streams and a dvdauthor VOB, made
// at test time (make-streams.sh), are clean; one fault seeded at a time is found at the
// element that holds it.

#include "checks/StreamChecks.h"
#include "model/CDemuxer.h"
#include "support/StreamWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

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
    CDemuxer(r).Run(b.data(), b.size());
    return r;
}

std::vector<Finding> Check(const Bytes& b)
{
    checks::StreamChecks c;
    CDemuxer(c).Run(b.data(), b.size());
    return c.Log().Findings();
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
        EXPECT_EQ(f_.pack, packIndex) << check << "\n" << Describe(findings);                  \
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

// mplex fills the DVD video buffer (232 KiB), the MP2 buffer (4 KiB) and the LPCM buffer
// (58 KiB, the frames' bytes without the substream headers) almost to the byte:
// a model that removes a picture a little late overflows, one that removes it early or
// lets bytes arrive late peaks visibly lower.
TEST(RealChecks, BufferModelMeetsMplexToTheByte)
{
    checks::StreamChecks c;
    const Bytes b = Load("dvd.mpg");
    CDemuxer(c).Run(b.data(), b.size());
    EXPECT_LE(c.BufferPeak(kVideo), 237568u);
    EXPECT_GE(c.BufferPeak(kVideo), 237568u - 64);
    EXPECT_LE(c.BufferPeak(0xC1), 4096u);
    EXPECT_GE(c.BufferPeak(0xC1), 4096u - 32);
    checks::StreamChecks lpcm;
    const Bytes l = Load("lpcm.mpg");
    CDemuxer(lpcm).Run(l.data(), l.size());
    const StreamKey pcm = MakeStreamKey(0xBD, 0xA0);
    EXPECT_LE(lpcm.BufferPeak(pcm), 59392u);
    EXPECT_GE(lpcm.BufferPeak(pcm), 59392u - 64);
}

TEST(RealChecks, MuxerAndAuthoringStreamsHaveNoErrors)
{
    for (const char* name : {"vcd.mpg", "svcd.mpg", "dvd.mpg", "lpcm.mpg", "authored.vob"})
    {
        const auto findings = Check(Load(name));
        for (const Finding& f : findings)
            EXPECT_NE(f.severity, checks::Severity::Error) << name << ": " << checks::FormatFinding(f);
        const bool authored = std::string(name) == "authored.vob";
        for (const Finding& f : findings)
        {
            if (authored)
            {
                EXPECT_EQ(std::string(f.check).rfind("dvd-", 0), std::string::npos) << checks::FormatFinding(f);
            }
        }
        if (!HasFailure())
            std::printf("%s: %zu findings\n%s", name, findings.size(), Describe(findings).c_str());
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
