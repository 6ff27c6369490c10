// The analysis run: records, the tree it builds, the pack limit, stop, progress, and the
// audio frame check.

#include "ParseHelper.h"
#include "analysis/CAnalysisDriver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace
{

using Strings = std::vector<std::string>;
using Outcome = CAnalysisDriver::Outcome;

struct TestHost : IAnalysisHost
{
    std::vector<uint32_t> progress;
    std::vector<std::pair<std::string, std::string>> messages;
    int started = 0, ended = 0, pumps = 0;
    std::function<void()> onPump;
    void OnRunStarted() override { ++started; }
    void OnProgress(uint32_t p) override { progress.push_back(p); }
    void Pump() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    void OnRunEnded() override { ++ended; }
    void ShowMessage(const std::string& t, const std::string& c) override { messages.push_back({t, c}); }
};

// The byte walk, start code by start code: the design's own behaviour, texts and shape
// (the walk by lengths has its tests in LengthWalkTest.cpp).
class DriverTest : public ::testing::Test
{
protected:
    DriverTest() { m_driver.SetFollowPacketLengths(false); }
    Outcome Run(const Bytes& bytes, uint32_t maxPacks = 0)
    {
        m_path = m_dir.Write("in.mpg", bytes);
        return m_driver.Analyze(m_path, maxPacks);
    }
    // The line reached by following child texts from the top level.
    ItemId Find(const Strings& path) const { return FindLine(m_tree, kNoItem, path); }
    std::string Root() const { return m_path + " [all packets]"; }

    TempDir m_dir;
    std::string m_path;
    CResultTree m_tree;
    TestHost m_host;
    CAnalysisDriver m_driver{m_tree, m_host};
};

Bytes ThreePacks()
{
    StreamWriter w;
    for (int i = 0; i < 3; ++i)
    {
        w.PackHeader(static_cast<uint64_t>(i) * 1000);
        if (i == 0)
            w.SystemHeader({{0xE0, 1, 232}});
        w.PesPacket(0xE0, StreamWriter::PictureHeader(i, 1, 100), {.pts = 3600u * i});
    }
    return w.bytes;
}

// ---------------------------------------------------------------------------- shape and records

TEST_F(DriverTest, SkeletonAndRecordsOfAProgramStream)
{
    ASSERT_EQ(Run(ThreePacks()), Outcome::EndOfInput);
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{Root()}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root()})),
              (Strings{"Essentials", "Elementary streams", "Video sequence", "Packet structure"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Packet structure"})), (Strings{"PACK #1", "PACK #2", "PACK #3"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Packet structure", "PACK #1"})), (Strings{"HEADER", "DATA"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Packet structure", "PACK #1", "DATA"})),
              (Strings{"System Header", "Stream 0xE0 (Video Stream 0), PTS: 0.00 ms"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Elementary streams", "(Video Stream 0)"})),
              (Strings{"pack PTS = 0.00 ms", "pack PTS = 40.00 ms", "pack PTS = 80.00 ms"}));
    // The picture inside each video packet shows under the packet and under "Video sequence".
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Elementary streams", "(Video Stream 0)", "pack PTS = 40.00 ms"})),
              (Strings{"PES HEADER", "picture (tref = 1, I-Frame)"}));
    EXPECT_EQ(m_tree.ChildCount(Find({Root(), "Video sequence"})), 3u);

    const CPackList* records = m_driver.Records();
    ASSERT_EQ(records->Count(), 3u);
    const CPackNode& n = records->Nodes().front();
    EXPECT_EQ(n.m_nPackNumber, 1u);
    EXPECT_EQ(n.m_nPosition, 4u);  // just after the first pack start code
    EXPECT_EQ(n.m_nElements, CPackNode::PackHeader | CPackNode::SystemHeader | CPackNode::PesHeader |
                                 CPackNode::PictureHeader | CPackNode::PackLine | CPackNode::HeaderLine);
    EXPECT_EQ(n.m_packHeader.m_nMuxRateBps, 25200u * 400);
    EXPECT_FALSE(records->Nodes()[1].Has(CPackNode::SystemHeader));
    EXPECT_EQ(records->Nodes().back().m_nPackNumber, 3u);
    EXPECT_EQ(records->m_strInputPath, m_path);
    EXPECT_EQ(m_host.started, 1);
    EXPECT_EQ(m_host.ended, 1);
}

TEST_F(DriverTest, TimeStampsKeepTheir33rdBitOnScreen)
{
    // An SCR with bit 32 set, a PTS of 2700000000 (bit 31 set) and a DTS with bit 32 set,
    // as broadcast captures and streams with a large time offset have them.
    StreamWriter w;
    w.PackHeader((1ull << 32) + 3600);
    w.SystemHeader({{0xE0, 1, 232}});
    w.PesPacket(0xE0, StreamWriter::PictureHeader(0, 1, 100), {.pts = 2700000000ull, .dts = (1ull << 32) | 90000});
    ASSERT_EQ(Run(w.bytes), Outcome::EndOfInput);
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Packet structure", "PACK #1", "HEADER"}))[0], "SCR = 47721898.84 ms");
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Elementary streams", "(Video Stream 0)"})),
              (Strings{"pack PTS = 30000000.00 ms"}));
    const ItemId stream = Find({Root(), "Packet structure", "PACK #1", "DATA", "Stream 0xE0 (Video Stream 0), PTS: 30000000.00 ms"});
    ASSERT_NE(stream, kNoItem);
    const Strings fields = ChildTexts(m_tree, m_tree.Child(stream, 0));
    EXPECT_EQ(fields[fields.size() - 2], "PTS = 30000000.00 ms (2700000000)");
    EXPECT_EQ(fields.back(), "DTS = 47722858.84 ms (4295057296)");
    // The record keeps the whole SCR; the analysis file takes its low 32 bits.
    EXPECT_EQ(m_driver.Records()->Nodes().front().m_packHeader.m_nScrBase, (1ull << 32) + 3600);
}

TEST_F(DriverTest, PackLimit)
{
    ASSERT_EQ(Run(ThreePacks(), 1), Outcome::PackLimit);
    EXPECT_EQ(LineText(m_tree, Find({m_path + " [1 packets]"})), m_path + " [1 packets]");
    const ItemId pack = Find({m_path + " [1 packets]", "Packet structure", "PACK #1"});
    EXPECT_EQ(ChildTexts(m_tree, pack), (Strings{"HEADER"}));
    EXPECT_EQ(m_driver.Records()->Count(), 1u);
    EXPECT_EQ(m_tree.ChildCount(Find({m_path + " [1 packets]", "Essentials"})), 0u);

    ASSERT_EQ(Run(ThreePacks(), 2), Outcome::PackLimit);
    EXPECT_EQ(m_driver.Records()->Count(), 2u);
    EXPECT_EQ(m_driver.PackCount(), 2u);

    ASSERT_EQ(Run(ThreePacks(), 3), Outcome::PackLimit);  // limit reached before the end is seen
    EXPECT_EQ(m_driver.Records()->Count(), 3u);
}

TEST_F(DriverTest, ElementaryStreamFillsOneRecordWithoutPack)
{
    const Bytes es = MakeVideoElementaryStream(2, 3, 9);
    ASSERT_EQ(Run(es, 1), Outcome::EndOfInput);  // no packs: the limit never applies
    const std::string root = m_path + " [1 packets]";
    const CPackList* records = m_driver.Records();
    ASSERT_EQ(records->Count(), 1u);
    const CPackNode& n = records->Nodes().front();
    EXPECT_EQ(n.m_nPackNumber, 0u);
    EXPECT_EQ(n.m_nPosition, 0u);
    EXPECT_EQ(n.m_nElements, CPackNode::PictureHeader | CPackNode::GopHeader | CPackNode::SequenceHeader);
    // Two GOPs of three pictures: 2 sequence + 2 GOP + 6 picture groups, in file order.
    const Strings seq = ChildTexts(m_tree, Find({root, "Video sequence"}));
    EXPECT_EQ(seq, (Strings{"sequence header", "group of pictures", "picture (tref = 2, I-Frame)",
                            "picture (tref = 0, B-Frame)", "picture (tref = 1, B-Frame)", "sequence header",
                            "group of pictures", "picture (tref = 2, I-Frame)", "picture (tref = 0, B-Frame)",
                            "picture (tref = 1, B-Frame)"}));
    // Only the first sequence header goes to "Video Information", created once.
    EXPECT_EQ(ChildTexts(m_tree, Find({root, "Essentials"})), (Strings{"Video Information"}));
    EXPECT_EQ(m_tree.ChildCount(Find({root, "Essentials", "Video Information"})), 1u);
}

TEST_F(DriverTest, WithoutSystemHeaderNoPacketIsDecoded)
{
    StreamWriter w;
    w.PackHeader(0);
    w.PesPacket(0xE0, StreamWriter::PictureHeader(0, 1, 1), {.pts = 1});
    ASSERT_EQ(Run(w.bytes), Outcome::EndOfInput);
    EXPECT_EQ(m_tree.ChildCount(Find({Root(), "Elementary streams"})), 0u);
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Packet structure", "PACK #1"})), (Strings{"HEADER"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Video sequence"})), (Strings{"picture (tref = 0, I-Frame)"}));
}

TEST_F(DriverTest, ElementsBeforeTheFirstPackGetTheirOwnRecordAndTopLevelData)
{
    StreamWriter w;
    w.SystemHeader({{0xC0, 0, 32}, {0xBD, 1, 10}, {0xC0, 0, 32}});  // 0xC0 listed twice
    w.PesPacket(0xBD, Bytes(4, 0x80));
    w.PackHeader(0);
    w.PesPacket(0xC0, Bytes(10, 0x80), {.pts = 9000});
    ASSERT_EQ(Run(w.bytes), Outcome::EndOfInput);
    // The system header's "DATA" stands beside the root; the private packet's "PES
    // HEADER" at the top level too, since no audio or video packet came before it.
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{Root(), "DATA", "PES HEADER"}));
    EXPECT_EQ(ChildTexts(m_tree, Find({"DATA"})), (Strings{"System Header", "Stream 0xBD "}));
    ASSERT_EQ(m_driver.Records()->Count(), 2u);
    EXPECT_EQ(m_driver.Records()->Nodes().front().m_nPackNumber, 0u);
    EXPECT_EQ(m_driver.Records()->Nodes().back().m_nPackNumber, 1u);
    // One packet, one line, however often the header lists its id; and the pack after it survives.
    EXPECT_EQ(ChildTexts(m_tree, Find({Root(), "Elementary streams", "(Audio Stream 0)"})),
              (Strings{"pack PTS = 100.00 ms"}));
}

TEST_F(DriverTest, OpenFailureLeavesTheLastAnalysis)
{
    ASSERT_EQ(Run(ThreePacks()), Outcome::EndOfInput);
    const uint32_t lines = m_tree.Count();
    EXPECT_EQ(m_driver.Analyze(m_dir.File("missing.mpg"), 0), Outcome::OpenFailed);
    EXPECT_EQ(CAnalysisDriver::OpenErrorReason(m_driver.OpenError()), "no such file");
    EXPECT_EQ(m_driver.Analyze(m_dir.Path(), 0), Outcome::OpenFailed);
    EXPECT_EQ(CAnalysisDriver::OpenErrorReason(m_driver.OpenError()), "a directory");
    EXPECT_EQ(m_driver.Analyze("", 0), Outcome::NotStarted);
    ASSERT_EQ(m_host.messages.size(), 2u);
    EXPECT_EQ(m_host.messages[0], std::make_pair(std::string("Cannot open input file"), std::string("Error !")));
    EXPECT_EQ(m_tree.Count(), lines);
    EXPECT_EQ(m_driver.Records()->Count(), 3u);
    EXPECT_EQ(m_host.started, 1);
    EXPECT_EQ(CAnalysisDriver::OpenErrorReason(EACCES), "permission denied");
    EXPECT_EQ(CAnalysisDriver::OpenErrorReason(EINVAL), "not a regular file");

    // A second run starts from an empty tree.
    ASSERT_EQ(Run(ThreePacks(), 1), Outcome::PackLimit);
    EXPECT_EQ(m_tree.ChildCount(kNoItem), 1u);
}

TEST_F(DriverTest, StopEndsTheRunAfterTheStartCodeInHand)
{
    m_host.onPump = [&] {
        if (m_host.pumps == 4)
            m_driver.RequestStop();
    };
    ASSERT_EQ(Run(ThreePacks()), Outcome::Stopped);
    // Four start codes: pack, system header, PES, picture.
    EXPECT_EQ(m_driver.StartCodeCount(), 4u);
    EXPECT_EQ(m_driver.Records()->Count(), 1u);
    EXPECT_TRUE(m_driver.StopRequested());
    EXPECT_EQ(m_host.ended, 1);
    // The root line says the tree is partial; a complete run says nothing more.
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{Root() + " - stopped at PACK #1"}));
    m_host.onPump = nullptr;
    ASSERT_EQ(Run(ThreePacks()), Outcome::EndOfInput);  // the flag is cleared by the next run
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{Root()}));
    ASSERT_EQ(Run(ThreePacks(), 2), Outcome::PackLimit);
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{m_path + " [2 packets]"}));
}

TEST_F(DriverTest, ProgressSteps)
{
    // 1 000 000 bytes: a step of 10 000; codes every 5 000 bytes move the bar by one
    // every second code, to 100 at the end.
    Bytes b(1000000, 0xFF);
    for (size_t at = 0; at + 4 <= b.size(); at += 5000)
        b[at] = 0, b[at + 1] = 0, b[at + 2] = 1, b[at + 3] = 0xB2;
    ASSERT_EQ(Run(b), Outcome::EndOfInput);
    ASSERT_FALSE(m_host.progress.empty());
    EXPECT_EQ(m_host.progress.front(), 0u);
    for (size_t i = 1; i < m_host.progress.size(); ++i)
        EXPECT_EQ(m_host.progress[i], m_host.progress[i - 1] + 1);
    // The last code stands at 995 004 bytes; the scan on to the end fills the bar.
    EXPECT_EQ(m_host.progress.back(), 100u);

    // A file under 100 bytes: step 1, percent = bytes consumed.
    m_host.progress.clear();
    ASSERT_EQ(Run({0x00, 0x00, 0x01, 0xB2, 0x00, 0x00, 0x01, 0xB2}), Outcome::EndOfInput);
    EXPECT_EQ(m_host.progress, (std::vector<uint32_t>{0, 4, 8}));
}

TEST_F(DriverTest, LongStretchWithoutStartCodesKeepsTheWindowAlive)
{
    // Three megabytes without a single start code: the scan still moves the bar and
    // lets the window run, and "stop" ends it in the middle.
    const Bytes zeros(3000000, 0x00);
    ASSERT_EQ(Run(zeros), Outcome::EndOfInput);
    EXPECT_GE(m_host.pumps, 9);
    EXPECT_EQ(m_host.progress.back(), 100u);
    EXPECT_EQ(m_driver.StartCodeCount(), 0u);

    m_host.pumps = 0;
    m_host.onPump = [&] {
        if (m_host.pumps == 3)
            m_driver.RequestStop();
    };
    ASSERT_EQ(Run(zeros), Outcome::Stopped);
    EXPECT_EQ(m_host.pumps, 3);
    EXPECT_LT(m_driver.BytesConsumed(), 1000000u);
    EXPECT_EQ(m_host.ended, 2);
}

TEST_F(DriverTest, ReadErrorIsNotTheEndOfTheFile)
{
    // Reading this process's own memory file from offset 0 fails with an I/O error.
    const auto outcome = m_driver.Analyze("/proc/self/mem", 0);
    if (outcome == Outcome::OpenFailed)
        GTEST_SKIP() << "/proc/self/mem cannot be opened here";
    EXPECT_EQ(outcome, Outcome::ReadError);
    ASSERT_FALSE(m_host.messages.empty());
    EXPECT_EQ(m_host.messages.back().first, "Read error in input file");
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{"/proc/self/mem [all packets] - read error at PACK #0"}));
}

// ---------------------------------------------------------------------------- audio frames

struct AudioRun
{
    StreamWriter w;
    uint32_t seed = 3;
    Bytes es;
    size_t used = 0;
    AudioRun(std::initializer_list<uint8_t> ids)
    {
        std::vector<SystemStream> s;
        for (uint8_t id : ids)
            s.push_back({id, 0, 32});
        w.PackHeader(0);
        w.SystemHeader(s);
    }
    void Frames(int bitRateIndex, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            const Bytes f = StreamWriter::Mp2Frame(bitRateIndex, 1, false, seed);
            es.insert(es.end(), f.begin(), f.end());
        }
    }
    void Packet(uint8_t id, size_t length)
    {
        w.PesPacket(id, Bytes(es.begin() + static_cast<std::ptrdiff_t>(used),
                              es.begin() + static_cast<std::ptrdiff_t>(used + length)),
                    {.pts = 90000});
        used += length;
    }
};

TEST_F(DriverTest, CleanFramesStraddlingPacketsShowNoMark)
{
    AudioRun a({0xC0});
    a.Frames(11, 12);  // 672-byte frames
    for (int i = 0; i < 3; ++i)
        a.Packet(0xC0, 2048);
    ASSERT_EQ(Run(a.w.bytes), Outcome::EndOfInput);
    const ItemId stream = Find({Root(), "Elementary streams", "(Audio Stream 0)"});
    ASSERT_EQ(m_tree.ChildCount(stream), 3u);
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 0)),
              (Strings{"PES HEADER", "audio header @ 0 offs. (expecting @ 0)", "audio header @ 672 offs.",
                       "audio header @ 1344 offs.", "audio header @ 2016 offs."}));
    // 2016 + 672 - 2048 = 640 bytes of that frame lie in the second packet.
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 1))[1], "audio header @ 640 offs. (expecting @ 640)");
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 2))[1], "audio header @ 608 offs. (expecting @ 608)");
    for (ItemId id = 1; id <= m_tree.Count(); ++id)
        EXPECT_NE(m_tree.Image(id), TreeImage::Error) << LineText(m_tree, id);
    const ItemId frame = m_tree.Child(m_tree.Child(stream, 0), 2);
    EXPECT_EQ(ChildTexts(m_tree, frame).back(), "Frame Size = 672 bytes (24.00 ms)");
    EXPECT_TRUE(m_driver.Records()->Nodes().front().Has(CPackNode::AudioHeader));
}

TEST_F(DriverTest, MisplacedHeaderIsMarkedAndMadeVisible)
{
    AudioRun a({0xC0});
    a.Frames(11, 3);
    a.es.insert(a.es.begin() + 672, 5, 0x55);  // five bytes of garbage after the first frame
    a.Packet(0xC0, 1500);
    ASSERT_EQ(Run(a.w.bytes), Outcome::EndOfInput);
    const ItemId packet = Find({Root(), "Elementary streams", "(Audio Stream 0)", "pack PTS = 1000.00 ms"});
    const ItemId marked = Find({Root(), "Elementary streams", "(Audio Stream 0)", "pack PTS = 1000.00 ms",
                                "audio header @ 677 offs. ERR: ! 672"});
    ASSERT_NE(marked, kNoItem);
    EXPECT_EQ(m_tree.Image(marked), TreeImage::Error);
    for (ItemId id = marked; id != kNoItem; id = m_tree.Parent(id))
        EXPECT_TRUE(m_tree.IsExpanded(id)) << LineText(m_tree, id);
    EXPECT_EQ(m_tree.Image(packet), TreeImage::Plus);
    EXPECT_FALSE(m_tree.IsExpanded(Find({Root(), "Packet structure"})));
}

TEST_F(DriverTest, EachAudioStreamCarriesItsOwnFrames)
{
    AudioRun a({0xC0, 0xC1});
    a.Frames(11, 10);
    // Alternate packets of two streams cut from the same frames: each stream's carry-over
    // must only apply to its own next packet.
    AudioRun b({0xC0});
    (void)b;
    StreamWriter& w = a.w;
    uint32_t seedB = 99;
    Bytes other;
    for (int i = 0; i < 10; ++i)
    {
        const Bytes f = StreamWriter::Mp2Frame(8, 1, false, seedB);  // 384 bytes
        other.insert(other.end(), f.begin(), f.end());
    }
    size_t usedB = 0;
    for (int i = 0; i < 3; ++i)
    {
        a.Packet(0xC0, 1000);
        w.PesPacket(0xC1, Bytes(other.begin() + static_cast<std::ptrdiff_t>(usedB),
                                other.begin() + static_cast<std::ptrdiff_t>(usedB + 500)));
        usedB += 500;
    }
    ASSERT_EQ(Run(w.bytes), Outcome::EndOfInput);
    // Both streams share the one item named after the first.
    const ItemId stream = Find({Root(), "Elementary streams", "(Audio Stream 0)"});
    ASSERT_EQ(m_tree.ChildCount(stream), 6u);
    EXPECT_EQ(m_tree.ChildCount(Find({Root(), "Elementary streams"})), 1u);
    for (ItemId id = 1; id <= m_tree.Count(); ++id)
        EXPECT_NE(m_tree.Image(id), TreeImage::Error) << LineText(m_tree, id);
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 3))[1], "audio header @ 268 offs. (expecting @ 268)");
}

TEST_F(DriverTest, FrameLongerThanItsPacketsCarriesOver)
{
    AudioRun a({0xC0});
    a.Frames(14, 3);  // 1152-byte frames in 300-byte packets
    for (int i = 0; i < 8; ++i)
        a.Packet(0xC0, 300);
    ASSERT_EQ(Run(a.w.bytes), Outcome::EndOfInput);
    const ItemId stream = Find({Root(), "Elementary streams", "(Audio Stream 0)"});
    ASSERT_EQ(m_tree.ChildCount(stream), 8u);
    // Packets 2 to 4 lie inside the first frame: no header line at all. The fourth
    // packet holds its end (252 bytes) and the second frame's header.
    for (uint32_t p : {1u, 2u})
        EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, p)), (Strings{"PES HEADER"}));
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 3))[1], "audio header @ 252 offs. (expecting @ 252)");
    EXPECT_EQ(ChildTexts(m_tree, m_tree.Child(stream, 7))[1], "audio header @ 204 offs. (expecting @ 204)");
    for (ItemId id = 1; id <= m_tree.Count(); ++id)
        EXPECT_NE(m_tree.Image(id), TreeImage::Error) << LineText(m_tree, id);
}

TEST_F(DriverTest, TreeWithoutRoomEndsTheRunWithWhatItHas)
{
    // Audio payloads full of sync words make seven lines per byte: a tree that cannot
    // grow must end the run cleanly, not take the program down.
    AudioRun a({0xC0});
    a.es.assign(60000, 0xFF);
    for (int i = 0; i < 10; ++i)
    {
        a.w.PackHeader(static_cast<uint64_t>(i));
        a.Packet(0xC0, 6000);
    }
    m_tree.SetLineLimit(5000);
    ASSERT_EQ(Run(a.w.bytes), Outcome::TreeFull);
    EXPECT_EQ(m_tree.Count(), 5000u);
    EXPECT_TRUE(m_tree.IsFull());
    ASSERT_FALSE(m_host.messages.empty());
    EXPECT_EQ(m_host.messages.back().first, "Not enough memory for the whole analysis: it stops here");
    EXPECT_EQ(m_driver.PackCount(), 2u);  // the run ended in the first audio packet
    EXPECT_EQ(m_host.ended, 1);
    // The store stays usable: the lines it holds read as before, a new run starts afresh.
    EXPECT_EQ(ChildTexts(m_tree, kNoItem), (Strings{Root() + " - out of memory at PACK #2"}));
    m_tree.SetLineLimit(1u << 30);
    ASSERT_EQ(Run(ThreePacks()), Outcome::EndOfInput);
    EXPECT_FALSE(m_tree.IsFull());
}

}  // namespace
