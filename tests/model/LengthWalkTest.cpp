// The analysis tree with "Follow packet lengths": packs and packets walked by their
// lengths, start codes looked for only in video payloads.

#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "support/StreamWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{

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

}  // namespace
