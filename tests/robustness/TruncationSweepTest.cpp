// Damaged copies of real streams: every prefix (a half-copied file), and every
// single-byte change in the first bytes of each header. Each must analyse to its end,
// and what the run finds must follow from the bytes that are there.

#include "RobustSupport.h"

#include "analysis/TreeExport.h"
#include "support/StreamWriter.h"

#include <cstdio>

namespace
{

using namespace robust;

// A DVD-style stream of ten 2048-byte packs: pack, system and PES headers, MPEG-2 video
// headers and MP2 audio frames that straddle packets.
Bytes SmallDvdStream()
{
    DvdStreamOptions o;
    o.targetBytes = 10 * 2048;
    o.gopLength = 6;
    o.slicesPerPicture = 4;
    o.iFrameBytes = 3000;
    o.pFrameBytes = 1200;
    o.bFrameBytes = 600;
    o.seed = 7;
    return MakeDvdStream(o);
}

// Audio packets whose frames straddle them, an MPEG-1 pack header, a system header before
// the first pack, PES extensions and padding: the corners of the system layer.
Bytes CornerStream()
{
    StreamWriter w;
    uint32_t seed = 3;
    w.SystemHeader({{0xC0, 0, 32}, {0xE0, 1, 232}, {0xBD, 1, 58}});
    PesOptions stamped;
    stamped.pts = 4000;
    w.PesPacket(0xBD, Bytes(20, 0x80), stamped);
    w.Mpeg1PackHeader(90000, 3000);
    w.Append({0xFF, 0xF8});
    Bytes es;
    for (int i = 0; i < 6; ++i)
    {
        Bytes f = StreamWriter::Mp2Frame(11, 1, false, seed);  // 672 bytes
        es.insert(es.end(), f.begin(), f.end());
    }
    for (int i = 0; i < 4; ++i)
    {
        w.PackHeader(1000u * (i + 1), 0, 25200, i % 3);
        PesOptions o;
        o.pts = 90000u + 2160u * i;
        if (i == 1)
        {
            o.extension = true;
            o.privateData = true;
            o.pstdBuffer = std::make_pair(0, 32);
        }
        w.PesPacket(0xC0, Bytes(es.begin() + i * 1000, es.begin() + (i + 1) * 1000), o);
        if (i == 2)
            w.PaddingPacket(30);
    }
    Bytes video = StreamWriter::SequenceHeader(352, 288, 2, 3, 1000, 20);
    Bytes gop = StreamWriter::GopHeader(0, 0, 1, 0, true, false);
    Bytes pic = StreamWriter::PictureHeader(0, 1, 0xFFFF);
    video.insert(video.end(), gop.begin(), gop.end());
    video.insert(video.end(), pic.begin(), pic.end());
    stamped.pts = 100000;
    stamped.dts = 96000;
    w.PesPacket(0xE0, video, stamped);
    w.StartCode(0xB9);
    return w.bytes;
}

// Both walks of the tree.
class SweepTest : public ::testing::TestWithParam<Walk>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_file.Ok());
        m_path = m_file.Path();
    }
    void WriteInput(const Bytes& bytes) { ASSERT_TRUE(m_file.Assign(bytes)); }
    void Truncate(uint64_t size) { ASSERT_TRUE(m_file.Resize(size)); }
    void PutByte(size_t at, uint8_t value) { ASSERT_TRUE(m_file.PutByte(at, value)); }

    // Every prefix, from the whole stream down to nothing. A prefix holds the start codes
    // of the whole stream that lie in it, in the same order: it finds exactly the packs
    // whose start code it holds, at the same positions, and never more start codes than
    // a longer prefix.
    void SweepPrefixes(const Bytes& bytes, const char* name)
    {
        WriteInput(bytes);
        const RunFigures whole = AnalyzeAll(m_path, nullptr, GetParam());
        ASSERT_EQ(whole.outcome, Outcome::EndOfInput) << name;
        ASSERT_GT(whole.startCodes, 0u) << name;

        uint64_t longerStartCodes = whole.startCodes;
        for (uint64_t n = bytes.size(); n-- > 0;)
        {
            Truncate(n);
            RecordingHost host;
            const RunFigures f = AnalyzeAll(m_path, &host, GetParam());
            const std::string what = std::string(name) + " cut to " + std::to_string(n) + " bytes";
            ASSERT_EQ(f.outcome, Outcome::EndOfInput) << what;
            ASSERT_TRUE(host.messages.empty()) << what;
            ASSERT_EQ(host.ended, 1) << what;
            ASSERT_LE(f.startCodes, longerStartCodes) << what;
            longerStartCodes = f.startCodes;

            size_t packsInPrefix = 0;
            while (packsInPrefix < whole.packPositions.size() && whole.packPositions[packsInPrefix] <= n)
                ++packsInPrefix;
            ASSERT_EQ(f.packPositions.size(), packsInPrefix) << what;
            for (size_t i = 0; i < packsInPrefix; ++i)
                ASSERT_EQ(f.packPositions[i], whole.packPositions[i]) << what;
            ExpectLinearWork(f, n, what);
            if (HasFailure())
                return;
        }
    }

    // Each of the first bytes of every header (the code byte and what follows) set to
    // 00, to FF and to its complement, one at a time.
    void SweepHeaderBytes(const Bytes& bytes, const char* name, size_t bytesPerHeader)
    {
        WriteInput(bytes);
        std::FILE* devNull = std::fopen("/dev/null", "w");
        ASSERT_NE(devNull, nullptr);
        size_t headers = 0, runs = 0;
        for (size_t at = 0; at + 3 < bytes.size(); ++at)
        {
            if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 1)
                continue;
            const uint8_t code = bytes[at + 3];
            const bool header = code == 0x00 || code >= 0xB3;  // not slices
            if (!header)
                continue;
            ++headers;
            for (size_t k = 3; k < 3 + bytesPerHeader && at + k < bytes.size(); ++k)
            {
                const size_t pos = at + k;
                const uint8_t original = bytes[pos];
                for (const uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(~original)})
                {
                    if (value == original)
                        continue;
                    PutByte(pos, value);
                    CResultTree tree;
                    RecordingHost host;
                    CAnalysisDriver driver(tree, host);
                    Choose(driver, GetParam());
                    const Outcome outcome = driver.Analyze(m_path, 0);
                    const RunFigures f = Figures(driver, tree, outcome);
                    const std::string what = std::string(name) + ": byte " + std::to_string(pos) + " set to " +
                                             std::to_string(value);
                    ASSERT_EQ(outcome, Outcome::EndOfInput) << what;
                    ASSERT_TRUE(host.messages.empty()) << what;
                    ExpectLinearWork(f, bytes.size(), what);
                    ASSERT_TRUE(WriteTreeText(tree, devNull)) << what;
                    ++runs;
                    if (HasFailure())
                        break;
                }
                PutByte(pos, original);
                if (HasFailure())
                {
                    std::fclose(devNull);
                    return;
                }
            }
        }
        std::fclose(devNull);
        EXPECT_GT(headers, 10u) << name << ": the stream should hold headers of every kind";
        EXPECT_GT(runs, 30 * headers) << name;
    }

    MemFile m_file;
    std::string m_path;
};

TEST_P(SweepTest, EveryPrefixOfADvdStream)
{
    const Bytes dvd = SmallDvdStream();
    ASSERT_GE(dvd.size(), 20000u);
    SweepPrefixes(dvd, "dvd");
}

TEST_P(SweepTest, EveryPrefixOfTheSystemLayerCorners)
{
    SweepPrefixes(CornerStream(), "corners");
}

TEST_P(SweepTest, EveryPrefixOfAVideoElementaryStream)
{
    Bytes es = MakeVideoElementaryStream(1, 4, 9);
    if (es.size() > 6000)
        es.resize(6000);
    SweepPrefixes(es, "video es");
}

TEST_P(SweepTest, HeaderByteCorruptionsOfADvdStream)
{
    SweepHeaderBytes(SmallDvdStream(), "dvd", 16);
}

TEST_P(SweepTest, HeaderByteCorruptionsOfTheSystemLayerCorners)
{
    // Deeper into each header here: the PES extension and the stream list lie further in.
    SweepHeaderBytes(CornerStream(), "corners", 24);
}

INSTANTIATE_TEST_SUITE_P(Walks, SweepTest, ::testing::Values(Walk::ByLength, Walk::ScanBytes), WalkParamName);

}  // namespace
