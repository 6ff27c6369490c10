// The analysis tree walked by packet lengths (the default): packs and packets by their
// lengths, with the headers the demultiplexer parsed; start codes looked for only in
// video payloads, audio frames followed through their streams' payloads.

#include "ModelSupport.h"

#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "support/StreamWriter.h"
#include "support/TestFiles.h"
#include "support/TreeLines.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/Mpeg1Headers.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{

using Strings = std::vector<std::string>;

struct TreeRun
{
    std::string text;
    uint32_t packs = 0;
    uint32_t records = 0;
    uint64_t bytes = 0;
    CAnalysisDriver::Outcome outcome{};
};

TreeRun Analyze(const std::string& path, bool byLength, uint32_t maxPacks = 0)
{
    CResultTree tree;
    IAnalysisHost host;
    CAnalysisDriver driver(tree, host);
    driver.SetFollowPacketLengths(byLength);
    TreeRun r;
    r.outcome = driver.Analyze(path, maxPacks);
    r.packs = driver.PackCount();
    r.bytes = driver.BytesConsumed();
    r.records = driver.Records() ? driver.Records()->Count() : 0;
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    WriteTreeText(tree, out);
    std::fclose(out);
    r.text.assign(buffer, size);
    std::free(buffer);
    return r;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A whole run of the walk by lengths, kept for looking at its lines.
class WalkTest : public ::testing::Test
{
protected:
    CAnalysisDriver::Outcome Run(const Bytes& bytes, uint32_t maxPacks = 0)
    {
        m_path = m_dir.Write("in.mpg", bytes);
        return m_driver.Analyze(m_path, maxPacks);
    }
    std::string Root() const { return LineText(m_tree, m_tree.Child(kNoItem, 0)); }
    // The texts under the line reached by following child texts from the root.
    Strings Children(const Strings& path) const
    {
        const ItemId at = FindLine(m_tree, m_tree.Child(kNoItem, 0), path);
        return at == kNoItem ? Strings{} : ChildTexts(m_tree, at);
    }
    size_t Marks() const
    {
        size_t n = 0;
        for (ItemId id = 1; id <= m_tree.Count(); ++id)
            n += m_tree.Image(id) == TreeImage::Error;
        return n;
    }

    TempDir m_dir;
    std::string m_path;
    CResultTree m_tree;
    IAnalysisHost m_host;
    CAnalysisDriver m_driver{m_tree, m_host};
};

// A packet without PES header fields (private stream 2): start code, length, bytes.
void RawPacket(StreamWriter& w, uint8_t id, const Bytes& payload)
{
    w.StartCode(id);
    w.Append({static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size())});
    w.Append(payload);
}

void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A DVD-style stream where the byte walk goes wrong: a video payload that ends in
// 00 00 01 (the rest of the start code is in the next video packet) hides the next pack
// and makes up a picture; an AC-3 payload holds 00 00 01 C0, a made-up audio packet.
TEST(LengthWalk, PayloadsHideNothing)
{
    uint32_t seed = 11;
    Bytes video = StreamWriter::SequenceHeader(720, 576, 2, 3, 25000, 112);
    const Bytes gop = StreamWriter::GopHeader(0, 0, 0, 0, true, false);
    video.insert(video.end(), gop.begin(), gop.end());
    const Bytes picture = StreamWriter::PictureHeader(0, 1, 0x1234);
    video.insert(video.end(), picture.begin(), picture.end());
    const Bytes slice = StreamWriter::Slice(1, 300, seed);
    video.insert(video.end(), slice.begin(), slice.end());
    const Bytes picture2 = StreamWriter::PictureHeader(1, 2, 0x1234);
    const size_t cut = video.size() + 3;  // after 00 00 01 of the second picture
    video.insert(video.end(), picture2.begin(), picture2.end());
    video.insert(video.end(), slice.begin(), slice.end());

    Bytes ac3 = {0x80, 0x01, 0x00, 0x01, 0x0B, 0x77, 0x00, 0x00, 0x00, 0x00, 0x01, 0xC0, 0x07, 0xEC, 0x81, 0x80};
    ac3.resize(200, 0x5A);

    StreamWriter w;
    w.PackHeader(0);
    w.SystemHeader({{0xE0, 1, 230}, {0xC0, 0, 32}, {0xBD, 1, 58}});
    PesOptions stamped;
    stamped.pts = 45000;
    w.PesPacket(0xE0, Bytes(video.begin(), video.begin() + static_cast<long>(cut)), stamped);
    w.PackHeader(100);
    w.PesPacket(0xBD, ac3);
    w.PackHeader(200);
    w.PesPacket(0xE0, Bytes(video.begin() + static_cast<long>(cut), video.end()));
    w.PackHeader(300);
    w.PaddingPacket(50);
    TempDir dir;
    const std::string path = dir.Write("dvd.mpg", w.bytes);

    const TreeRun bytes = Analyze(path, false);
    const TreeRun lengths = Analyze(path, true);
    // What the byte walk gets wrong here: the made-up audio packet's length swallows the
    // rest of the file after the hidden pack...
    EXPECT_EQ(Count(bytes.text, "Stream 0xC0"), 1u);
    EXPECT_EQ(bytes.packs, 1u);
    EXPECT_EQ(Count(bytes.text, "Forbidden"), 2u);
    // ...and the walk by lengths does not.
    EXPECT_EQ(lengths.packs, 4u);
    EXPECT_EQ(lengths.records, 4u);
    EXPECT_EQ(Count(lengths.text, "PACK #"), 4u);
    EXPECT_EQ(Count(lengths.text, "Forbidden"), 0u);
    EXPECT_EQ(Count(lengths.text, "Stream 0xC0"), 0u);
    EXPECT_EQ(Count(lengths.text, "picture (tref = 0, I-Frame)"), 2u);   // stream branch and video sequence
    EXPECT_EQ(Count(lengths.text, "picture (tref = 1, P-Frame)"), 2u);   // joined across the packets
    EXPECT_EQ(Count(lengths.text, "padding"), Count(bytes.text, "padding"));
    EXPECT_EQ(lengths.outcome, CAnalysisDriver::Outcome::EndOfInput);

    // The pack limit counts the same packs.
    const TreeRun two = Analyze(path, true, 2);
    EXPECT_EQ(two.outcome, CAnalysisDriver::Outcome::PackLimit);
    EXPECT_EQ(Count(two.text, "PACK #"), 2u);
}

// MPEG-1 system streams: packs and packets read with their own layouts, so the system
// header and the PES packets show; elementary streams are walked as before.
TEST(LengthWalk, Mpeg1SystemStreamAndElementaryStreams)
{
    StreamWriter w;
    w.Mpeg1PackHeader(900, 3000);
    w.SystemHeader({{0xE0, 1, 46}});
    const Bytes video = MakeVideoElementaryStream(1, 3, 1);
    const size_t length = 1 + video.size();
    w.Append({0x00, 0x00, 0x01, 0xE0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0x0F});
    w.Append(video);
    TempDir dir;
    const std::string path = dir.Write("vcd.mpg", w.bytes);
    const TreeRun r = Analyze(path, true);
    EXPECT_EQ(Count(r.text, "System Header"), 2u);  // "Essentials" and the pack's data
    EXPECT_EQ(Count(r.text, "SCR = 10.00 ms"), 1u);
    EXPECT_EQ(Count(r.text, "Packet length = " + std::to_string(length)), 2u);
    EXPECT_EQ(Count(r.text, "-Frame)"), 2u * 3);

    const std::string es = dir.Write("video.m2v", video);
    const TreeRun lengths = Analyze(es, true);
    EXPECT_EQ(lengths.text, Analyze(es, false).text);
    EXPECT_EQ(lengths.bytes, video.size());
}

// ---------------------------------------------------------------------------- DVD packets

TEST_F(WalkTest, DvdPacketsShowUnderTheirPackAndTheirStream)
{
    StreamWriter w;
    // Before the first pack: a system header.
    w.SystemHeader({{0xB9, 1, 232}, {0xB8, 0, 32}, {0xBD, 1, 58}, {0xBF, 1, 2}});
    w.PackHeader(0);
    Bytes pci(980, 0x00);
    pci[0] = 0x00;                // substream: PCI
    Put32(pci, 1, 7);             // nv_pck_lbn
    Put32(pci, 1 + 12, 90000);    // vobu_s_ptm
    Put32(pci, 1 + 16, 135000);   // vobu_e_ptm
    RawPacket(w, 0xBF, pci);
    Bytes dsi(1018, 0x00);
    dsi[0] = 0x01;                // substream: DSI
    Put32(dsi, 1, 3000);          // nv_pck_scr
    Put32(dsi, 1 + 4, 7);         // nv_pck_lbn
    Put32(dsi, 1 + 8, 42);        // vobu_ea
    dsi[1 + 24] = 0x00;           // vobu_vob_idn
    dsi[1 + 25] = 0x02;
    dsi[1 + 27] = 0x05;           // vobu_c_idn
    Put32(dsi, 1 + 28, 0x000123D2);  // c_eltm: 00:01:23 and 12 frames at 30 fps (bits 11)
    Put32(dsi, 1 + 314, 0x80000031);  // next_vobu: flag and 49 blocks
    Put32(dsi, 1 + 318, 0x3FFFFFFF);  // prev_vobu: none
    RawPacket(w, 0xBF, dsi);

    // AC-3 substream 0x80: two 768-byte frames (48 kHz, 192 kbit/s, 2/0), the second
    // cut by the packets' boundary.
    Bytes ac3;
    for (int i = 0; i < 3; ++i)
    {
        const Bytes header = {0x0B, 0x77, 0x00, 0x00, 0x14, 0x40, 0x40, 0x00};
        ac3.insert(ac3.end(), header.begin(), header.end());
        ac3.resize(ac3.size() + 768 - header.size(), 0x00);
    }
    PesOptions o;
    o.pts = 90000;
    Bytes first = {0x80, 0x02, 0x00, 0x01};  // substream 0x80, 2 frames, first at +1
    first.insert(first.end(), ac3.begin(), ac3.begin() + 768 + 3);
    w.PackHeader(100);
    w.PesPacket(0xBD, first, o);
    Bytes second = {0x80, 0x01, 0x02, 0xFE};  // 1 frame, the next at +766
    second.insert(second.end(), ac3.begin() + 768 + 3, ac3.end());
    w.PackHeader(200);
    w.PesPacket(0xBD, second);

    // LPCM substream 0xA0: 16 bits, 48 kHz, two channels.
    Bytes lpcm = {0xA0, 0x01, 0x00, 0x04,  // substream, frame count, first access unit
                  0x00,                    // emphasis, mute, frame number 0
                  0x01,                    // quantization 0, sampling 0, channels - 1 = 1
                  0x80};                   // dynamic range
    lpcm.resize(200, 0x55);
    w.PackHeader(300);
    w.PesPacket(0xBD, lpcm, o);
    ASSERT_EQ(Run(w.bytes), CAnalysisDriver::Outcome::EndOfInput);

    // Nothing stands beside the root; the system header in front has its "DATA" under
    // "Packet structure".
    EXPECT_EQ(m_tree.ChildCount(kNoItem), 1u);
    EXPECT_EQ(Children({"Packet structure"}), (Strings{"DATA", "PACK #1", "PACK #2", "PACK #3", "PACK #4"}));
    EXPECT_EQ(Children({"Packet structure", "DATA"}), (Strings{"System Header"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "DATA"}), (Strings{"PCI", "DSI"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "DATA", "PCI"}),
              (Strings{"Packet length = 980", "nv_pck_lbn = 7", "vobu_s_ptm = 1000.00 ms (90000)",
                       "vobu_e_ptm = 1500.00 ms (135000)", "vobu_se_e_ptm = 0.00 ms (0)"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "DATA", "DSI"}),
              (Strings{"Packet length = 1018", "nv_pck_scr = 33.33 ms (3000)", "nv_pck_lbn = 7", "vobu_ea = 42",
                       "vobu_vob_idn = 2", "vobu_c_idn = 5", "c_eltm = 00:01:23.12",
                       "next_vobu = 0x80000031 (49)", "prev_vobu = 0x3FFFFFFF (1073741823)"}));

    // The substreams: under their pack with their header, and one item each.
    EXPECT_EQ(Children({"Packet structure", "PACK #2", "DATA"}),
              (Strings{"Stream 0xBD (AC-3 Stream 0x80), PTS: 1000.00 ms"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #2", "DATA", "Stream 0xBD (AC-3 Stream 0x80), PTS: 1000.00 ms",
                        "SUBSTREAM HEADER"}),
              (Strings{"substream id = 0x80", "frame count = 2", "first access unit = 1"}));
    EXPECT_EQ(Children({"Elementary streams"}), (Strings{"(AC-3 Stream 0x80)", "(LPCM Stream 0xA0)"}));
    EXPECT_EQ(Children({"Elementary streams", "(AC-3 Stream 0x80)"}), (Strings{"pack PTS = 1000.00 ms", "pack"}));
    // The frame cut by the boundary shows in the packet it starts in.
    EXPECT_EQ(Children({"Elementary streams", "(AC-3 Stream 0x80)", "pack PTS = 1000.00 ms"}),
              (Strings{"PES HEADER", "SUBSTREAM HEADER", "audio header @ 0 offs. (expecting @ 0)",
                       "audio header @ 768 offs."}));
    EXPECT_EQ(Children({"Elementary streams", "(AC-3 Stream 0x80)", "pack"}),
              (Strings{"PES HEADER", "SUBSTREAM HEADER", "audio header @ 765 offs. (expecting @ 765)"}));
    EXPECT_EQ(Children({"Elementary streams", "(AC-3 Stream 0x80)", "pack PTS = 1000.00 ms",
                        "audio header @ 0 offs. (expecting @ 0)"}),
              (Strings{"AC-3, bsid = 8, bsmod = 0", "Sampling Freq. code = 0 (48.0 kHz)",
                       "Bitrate code = 20 (192000 bps)", "channel mode = 2 (2/0), 2 channels", "LFE = 0",
                       "Frame Size = 768 bytes (32.00 ms)"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #4", "DATA", "Stream 0xBD (LPCM Stream 0xA0), PTS: 1000.00 ms",
                        "SUBSTREAM HEADER"}),
              (Strings{"substream id = 0xA0", "frame count = 1", "first access unit = 4", "emphasis = 0", "mute = 0",
                       "frame number = 0", "quantization = 0 (16 bits)", "Sampling Freq. code = 0 (48.0 kHz)",
                       "channels = 2", "dynamic range = 0x80"}));
    EXPECT_EQ(Marks(), 0u);
}

// ---------------------------------------------------------------------------- MPEG audio

// A stream of `frames` 672-byte MP2 frames, in packets of size bytes, one pack each; the
// packet from lose on (when given) left out.
Bytes Mp2InPackets(int frames, size_t size, size_t lose = ~size_t{0})
{
    uint32_t seed = 9;
    Bytes es;
    for (int i = 0; i < frames; ++i)
    {
        const Bytes f = StreamWriter::Mp2Frame(11, 1, false, seed);
        es.insert(es.end(), f.begin(), f.end());
    }
    StreamWriter w;
    w.PackHeader(0);
    w.SystemHeader({{0xC0, 0, 32}});
    for (size_t at = 0; at < es.size(); at += size)
    {
        if (at == lose)
            continue;
        w.PackHeader(at);
        w.PesPacket(0xC0, Bytes(es.begin() + static_cast<long>(at),
                                es.begin() + static_cast<long>(std::min(es.size(), at + size))));
    }
    return w.bytes;
}

TEST_F(WalkTest, MpegAudioHeadersCutByPacketsAreJoined)
{
    // 672-byte frames in packets of 1000 bytes: boundaries at 1000, 2000, ... fall 328,
    // 656 (inside a header: 16 bytes short), ... bytes into a frame. Then the same with
    // packets of 2017 bytes, whose first boundary cuts the fourth header after one byte.
    for (const size_t size : {1000u, 2017u, 2018u, 2019u})
    {
        SCOPED_TRACE(size);
        ASSERT_EQ(Run(Mp2InPackets(12, size)), CAnalysisDriver::Outcome::EndOfInput);
        EXPECT_EQ(Marks(), 0u);
        const TreeRun r = Analyze(m_path, true);
        EXPECT_EQ(Count(r.text, "audio header @ "), 12u);
        if (size == 2017)
        {
            EXPECT_EQ(Children({"Elementary streams", "(Audio Stream 0)", "pack"}),
                      (Strings{"PES HEADER", "audio header @ 0 offs. (expecting @ 0)", "audio header @ 672 offs.",
                               "audio header @ 1344 offs.", "audio header @ 2016 offs."}));
        }
    }

    // A packet lost: one mark, at the first header after it, saying where a frame was
    // expected.
    ASSERT_EQ(Run(Mp2InPackets(8, 1000, 2000)), CAnalysisDriver::Outcome::EndOfInput);
    EXPECT_EQ(Marks(), 1u);
    // The frame at 1344 runs 16 bytes into the lost packet: the next packet that comes
    // (from 3000 on) is expected to start a frame at 16; the first header in it is the
    // one at 3360, 360 bytes in.
    const TreeRun r = Analyze(m_path, true);
    EXPECT_EQ(Count(r.text, "audio header @ 360 offs. (expecting @ 16) ERR: ! 16"), 1u);
}

// ---------------------------------------------------------------------------- MPEG-1

TEST_F(WalkTest, Mpeg1PacksAndPacketsShowTheirOwnFields)
{
    StreamWriter w;
    w.Mpeg1PackHeader(90000, 3528);  // SCR 1 s, 1411200 bit/s
    w.SystemHeader({{0xE0, 1, 46}, {0xC0, 0, 32}});
    // An MPEG-1 packet: two stuffing bytes, STD buffer (scale 1, 46 kB), PTS and DTS.
    Bytes packet = {0xFF, 0xFF, 0x60, 0x2E};
    uint8_t t[5];
    StreamWriter::Put33(t, 3, 93600);
    packet.insert(packet.end(), t, t + 5);
    StreamWriter::Put33(t, 1, 90000);
    packet.insert(packet.end(), t, t + 5);
    const Bytes picture = StreamWriter::PictureHeader(0, 1, 100);
    packet.insert(packet.end(), picture.begin(), picture.end());
    w.StartCode(0xE0);
    w.Append({static_cast<uint8_t>(packet.size() >> 8), static_cast<uint8_t>(packet.size())});
    w.Append(packet);
    ASSERT_EQ(Run(w.bytes), CAnalysisDriver::Outcome::EndOfInput);
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "HEADER"}),
              (Strings{"SCR = 1000.00 ms", "muxrate = 1411200 bps", "Details"}));
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "HEADER", "Details"}),
              (Strings{"Marker (0010) = 0010", "SCR[32..30] = 0x0", "Marker (1) = 1", "SCR[29..15] = 0x2",
                       "Marker (1) = 1", "SCR[14..0] = 0x5f90", "Marker (1) = 1", "Marker (1) = 1", "muxrate = 0xdc8",
                       "Marker (1) = 1"}));
    const std::string line = "Stream 0xE0 (Video Stream 0), PTS: 1040.00 ms";
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "DATA"}), (Strings{"System Header", line}));
    EXPECT_EQ(Children({"Packet structure", "PACK #1", "DATA", line, "PES HEADER"}),
              (Strings{"Packet length = " + std::to_string(packet.size()), "stuffing bytes = 2",
                       "STD buffer: 47104 (46 kB)", "PTS = 1040.00 ms (93600)", "DTS = 1000.00 ms (90000)"}));
    EXPECT_EQ(Children({"Elementary streams", "(Video Stream 0)", "pack PTS = 1040.00 ms"}),
              (Strings{"PES HEADER", "picture (tref = 0, I-Frame)"}));
    // The record keeps the SCR and the mux rate in the analysis file's pack header.
    const CPackNode& n = m_driver.Records()->Nodes().front();
    EXPECT_EQ(n.m_packHeader.m_nScrBase, 90000u);
    EXPECT_EQ(n.m_packHeader.m_nMuxRateBps, 1411200u);
}

// ---------------------------------------------------------------------------- how a run ends

TEST_F(WalkTest, ARunEndsAsTheByteWalkDoes)
{
    const Bytes dvd = MakeDvdStream(DvdStreamOptions{.targetBytes = 400 * 2048});
    // "stop" from the event pump: the root line says where.
    struct StopHost : IAnalysisHost
    {
        CAnalysisDriver* driver = nullptr;
        int pumps = 0;
        std::vector<uint32_t> progress;
        void Pump() override
        {
            if (++pumps == 500)
                driver->RequestStop();
        }
        void OnProgress(uint32_t percent) override { progress.push_back(percent); }
    } host;
    CResultTree tree;
    CAnalysisDriver driver(tree, host);
    host.driver = &driver;
    const std::string path = m_dir.Write("dvd.mpg", dvd);
    EXPECT_EQ(driver.Analyze(path, 0), CAnalysisDriver::Outcome::Stopped);
    EXPECT_LT(driver.PackCount(), 400u);
    EXPECT_EQ(LineText(tree, 1), path + " [all packets] - stopped at PACK #" + std::to_string(driver.PackCount()));

    // The whole run: the bar rises to 100.
    host.pumps = -1000000;
    host.progress.clear();
    EXPECT_EQ(driver.Analyze(path, 0), CAnalysisDriver::Outcome::EndOfInput);
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back(), 100u);
    for (size_t i = 1; i < host.progress.size(); ++i)
        EXPECT_GT(host.progress[i], host.progress[i - 1]);

    // A tree that cannot grow ends the run with what it has.
    tree.SetLineLimit(3000);
    EXPECT_EQ(driver.Analyze(path, 0), CAnalysisDriver::Outcome::TreeFull);
    EXPECT_EQ(tree.Count(), 3000u);
    tree.SetLineLimit(1u << 30);

    // The last packet, cut by the end of the file, shows with what there is of it.
    const Bytes cut(dvd.begin(), dvd.begin() + 2048 * 3 + 1000);
    EXPECT_EQ(driver.Analyze(m_dir.Write("cut.mpg", cut), 0), CAnalysisDriver::Outcome::EndOfInput);
    EXPECT_EQ(driver.PackCount(), 4u);
}

// ---------------------------------------------------------------------------- the hook

// What the hook saw, beside the model's events of the same elements.
struct HookAndSink : model::IElementHook, RecordingSink
{
    std::vector<uint64_t> hookScr, hookPts;
    size_t cut = 0, stopAt = ~size_t{0}, elements = 0;
    bool Go() { return ++elements < stopAt; }
    bool OnPack(const model::ElementBytes& e, const model::PackHeaders& h) override
    {
        EXPECT_TRUE((h.mpeg2 != nullptr) != (h.mpeg1 != nullptr));
        cut += e.cut;
        hookScr.push_back(h.mpeg2 ? h.mpeg2->m_nScrBase : h.mpeg1->m_nScr);
        return Go();
    }
    bool OnSystemHeader(const model::ElementBytes&, const CSystemHeader&) override { return Go(); }
    bool OnPacket(const model::ElementBytes& e, const model::PacketHeaders& h) override
    {
        cut += e.cut;
        if (h.mpeg2 && h.mpeg2->HasPts())
            hookPts.push_back(h.mpeg2->m_nPts);
        return Go();
    }
    bool OnElementaryData(const uint8_t*, size_t, uint64_t) override { return Go(); }
};

TEST(ElementHook, SeesTheHeadersTheEventsAreMadeFromAndCanEndTheRun)
{
    const Bytes dvd = MakeDvdStream(DvdStreamOptions{.targetBytes = 60 * 2048});
    HookAndSink both;
    model::CDemuxer demuxer(both);
    demuxer.SetElementHook(&both);
    demuxer.Run(dvd.data(), dvd.size());
    ASSERT_EQ(both.hookScr.size(), both.packs.size());
    for (size_t i = 0; i < both.packs.size(); ++i)
        EXPECT_EQ(both.hookScr[i], both.packs[i].scrBase);
    std::vector<uint64_t> eventPts;
    for (const model::PesEvent& e : both.pes)
        if (e.hasPts)
            eventPts.push_back(e.pts);
    EXPECT_EQ(both.hookPts, eventPts);

    // Ended by the hook at its tenth element: no event of it or after it.
    HookAndSink stopped;
    stopped.stopAt = 10;
    model::CDemuxer early(stopped);
    early.SetElementHook(&stopped);
    early.Run(dvd.data(), dvd.size());
    EXPECT_TRUE(stopped.end.stopped);
    EXPECT_EQ(stopped.packs.size() + stopped.systemHeaders.size() + stopped.pes.size(), 9u);

    // The last packet cut by the end of the input: the hook sees it, the model does not.
    HookAndSink cut;
    model::CDemuxer short_(cut);
    short_.SetElementHook(&cut);
    short_.Run(dvd.data(), 2048 * 2 + 700);
    EXPECT_EQ(cut.cut, 1u);
    EXPECT_EQ(cut.elements, cut.packs.size() + cut.systemHeaders.size() + cut.pes.size() + 1);
}

}  // namespace
