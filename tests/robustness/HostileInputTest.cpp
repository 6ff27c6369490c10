// Inputs that are not what they seem: things that are not files, files that change under
// the run, and files whose bytes are built to make a run hang or grow without bound.

#include "RobustSupport.h"

#include "analysis/TreeExport.h"
#include "support/StreamWriter.h"

#include <algorithm>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using namespace robust;
using namespace std::chrono_literals;

// A small clean stream: one pack with a system header listing audio 0xC0 and video 0xE0.
Bytes OnePack()
{
    StreamWriter w;
    w.PackHeader(0);
    w.SystemHeader({{0xC0, 0, 32}, {0xE0, 1, 232}});
    return w.bytes;
}

// ---------------------------------------------------------------------------- cannot start

class NotAFileTest : public ::testing::Test
{
protected:
    // A run on path must not start: the one message, no run, and the tree and records
    // of the analysis before it untouched.
    void ExpectRefused(const std::string& path)
    {
        for (const Walk walk : {Walk::ByLength, Walk::ScanBytes})
            ExpectRefused(path, walk);
    }
    void ExpectRefused(const std::string& path, Walk walk)
    {
        SCOPED_TRACE(WalkName(walk));
        CResultTree tree;
        RecordingHost host;
        CAnalysisDriver driver(tree, host);
        Choose(driver, walk);
        ASSERT_EQ(driver.Analyze(m_dir.Write("good.mpg", OnePack()), 0), Outcome::EndOfInput);
        const uint32_t lines = tree.Count();
        const CPackList* records = driver.Records();
        host = RecordingHost();

        Watchdog watchdog(10s, "opening " + path);
        EXPECT_EQ(driver.Analyze(path, 0), Outcome::OpenFailed) << path;
        EXPECT_EQ(host.messages, std::vector<std::string>{"Error !: Cannot open input file"}) << path;
        EXPECT_EQ(host.started, 0) << path;
        EXPECT_EQ(host.ended, 0) << path;
        EXPECT_EQ(tree.Count(), lines) << path;
        EXPECT_EQ(driver.Records(), records) << path;
        EXPECT_FALSE(driver.IsRunning()) << path;
    }

    TempDir m_dir;
};

TEST_F(NotAFileTest, DirectoriesFifosDevicesAndMissingFilesAreRefused)
{
    ExpectRefused(m_dir.Path());
    ExpectRefused(m_dir.File("missing.mpg"));
    // A FIFO with no writer: opening it must neither wait for one nor read from it.
    const std::string fifo = m_dir.File("pipe.mpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectRefused(fifo);
    // An endless device would keep a run going forever.
    ExpectRefused("/dev/zero");
    ExpectRefused("/dev/null");
}

TEST_F(NotAFileTest, FileWithoutReadPermissionIsRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop reads";
    const std::string path = m_dir.Write("secret.mpg", OnePack());
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    ExpectRefused(path);
}

// ---------------------------------------------------------------------------- files that change

// Far longer than the read buffer, so that the run has to go back to the file after the
// file was cut.
Bytes LongDvdStream()
{
    DvdStreamOptions o;
    o.targetBytes = 4 * CStreamFile::kReadCapacity;
    return MakeDvdStream(o);
}

class ShrinkingFileTest : public ::testing::Test
{
protected:
    // Cuts the file to newSize from the host's event pump after the given number of start
    // codes; the run must end by itself, as at the end of any file, with what it could read.
    // The byte walk's buffer sizes are those of CStreamFile; the walk by lengths has its
    // own case below.
    RunFigures RunAndCut(uint64_t afterStartCodes, uint64_t newSize, Walk walk = Walk::ScanBytes)
    {
        const std::string path = m_dir.Write("shrinking.mpg", m_stream);
        CResultTree tree;
        RecordingHost host;
        bool cut = false;
        host.onPump = [&] {
            if (!cut && host.pumps == afterStartCodes)
            {
                cut = ::truncate(path.c_str(), static_cast<off_t>(newSize)) == 0;
                EXPECT_TRUE(cut);
            }
        };
        CAnalysisDriver driver(tree, host);
        Choose(driver, walk);
        Watchdog watchdog(30s, "a run on a shrinking file");
        const Outcome outcome = driver.Analyze(path, 0);
        EXPECT_TRUE(cut);
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(host.ended, 1);
        for (size_t i = 1; i < host.progress.size(); ++i)
            EXPECT_GT(host.progress[i], host.progress[i - 1]);
        return Figures(driver, tree, outcome);
    }

    TempDir m_dir;
    Bytes m_stream = LongDvdStream();
};

TEST_F(ShrinkingFileTest, CutBehindTheBufferedDataEndsWithTheBuffer)
{
    // Cut to nothing after the first start code: what the buffer already held is still
    // analysed, nothing more.
    const RunFigures f = RunAndCut(1, 0);
    EXPECT_EQ(f.outcome, Outcome::EndOfInput);
    EXPECT_LE(f.bytesConsumed, uint64_t{CStreamFile::kReadCapacity});
    EXPECT_GT(f.packs, 10u);
    ExpectLinearWork(f, m_stream.size(), "cut to 0");
}

TEST_F(ShrinkingFileTest, CutAheadOfTheRunEndsAtTheNewEnd)
{
    // After a few packs, cut the file well beyond what has been read so far: the run goes
    // on to the new end and stops there.
    const uint64_t newSize = 2 * CStreamFile::kReadCapacity + 12345;
    const RunFigures f = RunAndCut(50, newSize);
    EXPECT_EQ(f.outcome, Outcome::EndOfInput);
    EXPECT_LE(f.bytesConsumed, newSize);
    EXPECT_GT(f.bytesConsumed, newSize - 4096);
    ASSERT_FALSE(f.packPositions.empty());
    EXPECT_LE(f.packPositions.back(), newSize);
    EXPECT_EQ(f.packs, newSize / 2048 + 1);  // 2048-byte packs, the last one cut short
}

TEST_F(ShrinkingFileTest, CutWhileTheRunIsPastTheNewEnd)
{
    // Let the run get into the third buffer load, then cut the file behind it.
    const RunFigures f = RunAndCut(2000, CStreamFile::kReadCapacity / 2);
    EXPECT_EQ(f.outcome, Outcome::EndOfInput);
    EXPECT_GT(f.bytesConsumed, uint64_t{CStreamFile::kReadCapacity});
    EXPECT_LE(f.bytesConsumed, m_stream.size());
}

TEST_F(ShrinkingFileTest, WalkByLengthsEndsAtTheNewEndWithThePackItCuts)
{
    // The walk by lengths reads a megabyte ahead: cut the file, after a few packs, to a
    // size past that. It goes on to the new end, and shows the pack the cut runs through
    // with what there is of it.
    m_stream = MakeDvdStream([] {
        DvdStreamOptions o;
        o.targetBytes = 3u << 20;
        return o;
    }());
    const uint64_t newSize = (3u << 19) + 12345;
    const RunFigures f = RunAndCut(50, newSize, Walk::ByLength);
    EXPECT_EQ(f.outcome, Outcome::EndOfInput);
    EXPECT_EQ(f.bytesConsumed, newSize);
    ASSERT_FALSE(f.packPositions.empty());
    EXPECT_LE(f.packPositions.back(), newSize);
    EXPECT_EQ(f.packs, newSize / 2048 + 1);
}

// ---------------------------------------------------------------------------- degenerate content

// Both walks of the tree.
class DegenerateContentTest : public ::testing::TestWithParam<Walk>
{
protected:
    bool ByLength() const { return GetParam() == Walk::ByLength; }
    RunFigures Run(const Bytes& bytes, RecordingHost& host, std::string* aafPath = nullptr)
    {
        const std::string path = m_dir.Write("odd.mpg", bytes);
        CResultTree tree;
        CAnalysisDriver driver(tree, host);
        Choose(driver, GetParam());
        Watchdog watchdog(60s, "a run on degenerate content");
        const Outcome outcome = driver.Analyze(path, 0);
        RunFigures f = Figures(driver, tree, outcome);
        EXPECT_EQ(outcome, Outcome::EndOfInput);
        EXPECT_TRUE(host.messages.empty());
        ExpectLinearWork(f, bytes.size(), "degenerate content");
        std::FILE* devNull = std::fopen("/dev/null", "w");
        EXPECT_TRUE(devNull && WriteTreeText(tree, devNull));
        if (devNull)
            std::fclose(devNull);
        if (aafPath)
        {
            *aafPath = m_dir.File("odd.aaf");
            EXPECT_EQ(AnalysisFile::Save(driver.Records(), *aafPath), AnalysisFile::SaveResult::Ok);
        }
        m_texts.clear();
        for (ItemId id = 1; id <= tree.Count(); ++id)
            m_texts.push_back(LineText(tree, id));
        m_images.clear();
        for (ItemId id = 1; id <= tree.Count(); ++id)
            m_images.push_back(tree.Image(id));
        return f;
    }
    size_t CountTextsStartingWith(const std::string& prefix) const
    {
        size_t n = 0;
        for (const std::string& t : m_texts)
            n += t.rfind(prefix, 0) == 0;
        return n;
    }

    TempDir m_dir;
    std::vector<std::string> m_texts;
    std::vector<uint8_t> m_images;
};

TEST_P(DegenerateContentTest, EmptyFileGivesTheSkeletonAndAnEmptyAnalysisFile)
{
    RecordingHost host;
    std::string aaf;
    const RunFigures f = Run({}, host, &aaf);
    EXPECT_EQ(f.lines, 5u);  // root, "Essentials", "Elementary streams", "Video sequence", "Packet structure"
    EXPECT_EQ(f.nodes, 0u);
    EXPECT_EQ(host.progress, std::vector<uint32_t>{0});
    const std::string input = m_dir.File("odd.mpg");
    EXPECT_EQ(ReadWholeFile(aaf).size(), 79 + input.size());
}

TEST_P(DegenerateContentTest, OnlyZerosAreReadToTheEndWithoutFindingAnything)
{
    RecordingHost host;
    const Bytes zeros(1 << 20, 0x00);
    const RunFigures f = Run(zeros, host);
    EXPECT_EQ(f.startCodes, 0u);
    EXPECT_EQ(f.lines, 5u);
    EXPECT_GE(f.bytesConsumed, zeros.size() - 2);  // the last window is never completed
    // No start code, but the long scan still moves the bar and keeps the window alive.
    EXPECT_EQ(host.progress.front(), 0u);
    EXPECT_EQ(host.progress.back(), 100u);
    for (size_t i = 1; i < host.progress.size(); ++i)
        EXPECT_GT(host.progress[i], host.progress[i - 1]);
    EXPECT_GE(host.pumps, 3u);
}

TEST_P(DegenerateContentTest, RepeatedStartCodesStayLinear)
{
    // 00 00 01 over and over: each code byte is the next 00, a picture start code, whose
    // header then takes the following bytes. Then the same with each start code the
    // scanner can act on; streams listed by a system header at the front.
    for (const int code : {-1, 0xB3, 0xB5, 0xB8, 0xBA, 0xBB, 0xBE, 0xC0, 0xE0, 0xBD})
    {
        StreamWriter w;
        w.SystemHeader({{0xC0, 0, 32}, {0xE0, 1, 232}, {0xBD, 1, 58}});
        while (w.bytes.size() < (256u << 10))
        {
            w.Append({0x00, 0x00, 0x01});
            if (code >= 0)
                w.bytes.push_back(static_cast<uint8_t>(code));
        }
        SCOPED_TRACE(code);
        RecordingHost host;
        const RunFigures f = Run(w.bytes, host);
        // The byte walk takes each for a start code; to the walk by lengths they are no
        // elements: it shows the system header in front (twice) and the one the end of the
        // file cuts, no more.
        if (ByLength())
            EXPECT_LE(f.lines, 100u);
        else
            EXPECT_GT(f.startCodes, w.bytes.size() / 32);
        // A few dozen lines per start code (a PES header shows its fields twice), and a few
        // dozen bytes of tree per byte of input.
        EXPECT_LE(uint64_t{f.lines}, 80 * f.startCodes + 64);
        EXPECT_LE(f.treeBytes, 64 * w.bytes.size() + (8u << 20));
    }
}

// An audio packet of stream 0xC0 with the given PES fields and payload, after OnePack().
Bytes AudioPacket(const Bytes& payload, std::optional<int> packetLength = std::nullopt,
                  std::optional<int> headerDataLength = std::nullopt)
{
    StreamWriter w;
    w.bytes = OnePack();
    PesOptions o;
    o.packetLength = packetLength;
    o.headerDataLength = headerDataLength;
    w.PesPacket(0xC0, payload, o);
    return w.bytes;
}

TEST_P(DegenerateContentTest, PesLengthsThatDoNotFitTheFile)
{
    {
        SCOPED_TRACE("length 65535, file ends after 100 payload bytes");
        RecordingHost host;
        const RunFigures f = Run(AudioPacket(Bytes(100, 0x11), 0xFFFF), host);
        EXPECT_EQ(CountTextsStartingWith("Packet length = 65535"), 2u);
        EXPECT_EQ(CountTextsStartingWith("audio header"), 0u);  // the payload never arrived
        EXPECT_EQ(f.packs, 1u);
    }
    {
        SCOPED_TRACE("length shorter than its own header, then another pack");
        Bytes b = AudioPacket(Bytes(40, 0xFF), 2, 30);
        StreamWriter next;
        next.PackHeader(900);
        b.insert(b.end(), next.bytes.begin(), next.bytes.end());
        RecordingHost host;
        const RunFigures f = Run(b, host);
        EXPECT_EQ(CountTextsStartingWith("audio header"), 0u);  // negative payload size: no scan
        EXPECT_EQ(f.packs, 2u);
    }
    {
        SCOPED_TRACE("header data length 255, file ends inside it");
        RecordingHost host;
        const RunFigures f = Run(AudioPacket(Bytes(20, 0x22), std::nullopt, 255), host);
        EXPECT_EQ(f.packs, 1u);
        EXPECT_EQ(CountTextsStartingWith("audio header"), 0u);
    }
}

TEST_P(DegenerateContentTest, SyncWordsEverywhereMoveTheFrameWalkOneByteAtATime)
{
    // FF FF FF FF: a sync word with bit rate index 15, which has no frame length. In the
    // byte walk every byte but the last starts another header, each where the walk
    // expects it; the walk by lengths takes no such header for a frame.
    const size_t L = 60000;
    RecordingHost host;
    const RunFigures f = Run(AudioPacket(Bytes(L, 0xFF)), host);
    EXPECT_EQ(CountTextsStartingWith("audio header @ "), ByLength() ? 0 : L - 1);
    EXPECT_EQ(CountTextsStartingWith("audio header @ 0 offs. (expecting @ 0)"), ByLength() ? 0u : 1u);
    EXPECT_EQ(std::count(m_images.begin(), m_images.end(), uint8_t{4}), 0);
    EXPECT_EQ(f.packs, 1u);
}

INSTANTIATE_TEST_SUITE_P(Walks, DegenerateContentTest, ::testing::Values(Walk::ByLength, Walk::ScanBytes),
                         WalkParamName);

}  // namespace
