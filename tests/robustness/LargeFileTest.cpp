// Files past 4 GiB: a sparse file whose holes read as zeros, with real packs placed on
// both sides of the 4 GiB line and one whose start code straddles it. Positions in the
// records are 64-bit; the analysis file keeps their low 32 bits.

#include "RobustSupport.h"

#include "support/StreamWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using namespace robust;
using namespace std::chrono_literals;

constexpr uint64_t k4G = uint64_t{1} << 32;

uint32_t LE32(const Bytes& b, size_t at)
{
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// Both walks of the tree.
class LargeFileTest : public ::testing::TestWithParam<Walk>
{
protected:
    // Puts bytes at offset; false (with the reason in m_skip) when the file system refuses.
    bool Place(int fd, uint64_t offset, const Bytes& bytes)
    {
        for (size_t done = 0; done < bytes.size();)
        {
            const ssize_t w = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (w <= 0)
            {
                m_skip = std::string("cannot write at offset ") + std::to_string(offset + done) + ": " +
                         std::strerror(errno);
                return false;
            }
            done += static_cast<size_t>(w);
        }
        m_expectedPositions.push_back(offset + 4);  // every piece placed here opens with a pack
        return true;
    }

    TempDir m_dir;
    std::string m_skip;
    std::vector<uint64_t> m_expectedPositions;
};

TEST_P(LargeFileTest, SparseFilePastFourGigabytes)
{
    const std::string path = m_dir.File("huge.mpg");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);

    // Size chosen so that it is not a multiple of 100 and the last pack ends the file.
    StreamWriter tail;
    tail.PackHeader(999999);
    const uint64_t size = k4G + (3u << 20) + 77;

    // At the start: a pack with a system header listing MP2 audio 0xC0 and video 0xE0.
    StreamWriter head;
    head.PackHeader(0);
    head.SystemHeader({{0xC0, 0, 32}, {0xE0, 1, 232}});
    head.PesPacket(0xE0, StreamWriter::PictureHeader(0, 1, 100));

    // A pack whose start code lies across the 4 GiB line: its position is 4 GiB + 2.
    StreamWriter across;
    across.PackHeader(1000);

    // Past 4 GiB: a pack with an audio packet of two whole 672-byte frames.
    StreamWriter audio;
    audio.PackHeader(2000);
    uint32_t seed = 5;
    Bytes frames = StreamWriter::Mp2Frame(11, 1, false, seed);
    const Bytes second = StreamWriter::Mp2Frame(11, 1, false, seed);
    frames.insert(frames.end(), second.begin(), second.end());
    PesOptions o;
    o.pts = 90000;
    audio.PesPacket(0xC0, frames, o);

    bool placed = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (!placed)
        m_skip = std::string("cannot make a file of ") + std::to_string(size) + " bytes: " + std::strerror(errno);
    placed = placed && Place(fd, 0, head.bytes) && Place(fd, k4G - 2, across.bytes) &&
             Place(fd, k4G + (1u << 20), audio.bytes) && Place(fd, size - tail.bytes.size(), tail.bytes);
    struct stat st;
    if (placed && ::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_blocks) * 512 > (64u << 20))
    {
        placed = false;
        m_skip = "the file system does not keep holes in sparse files";
    }
    ::close(fd);
    if (!placed)
        GTEST_SKIP() << "a sparse file past 4 GiB is not possible here: " << m_skip;

    CResultTree tree;
    RecordingHost host;
    CAnalysisDriver driver(tree, host);
    Choose(driver, GetParam());
    Outcome outcome;
    {
        // Reading 4 GiB of holes takes a few seconds; far more would mean something reads
        // them byte by byte.
        Watchdog watchdog(120s, "the run over a sparse 4 GiB file");
        outcome = driver.Analyze(path, 0);
    }
    EXPECT_EQ(outcome, Outcome::EndOfInput);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(driver.FileSize(), size);
    EXPECT_EQ(driver.BytesConsumed(), size);

    // Positions are those of the file, not wrapped at 4 GiB.
    const RunFigures f = Figures(driver, tree, outcome);
    EXPECT_EQ(f.packPositions, m_expectedPositions);
    ASSERT_EQ(m_expectedPositions.size(), 4u);
    EXPECT_EQ(m_expectedPositions[1], k4G + 2);

    // Progress rises and reaches 100 with the last pack.
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.front(), 0u);
    for (size_t i = 1; i < host.progress.size(); ++i)
        EXPECT_GT(host.progress[i], host.progress[i - 1]);
    EXPECT_EQ(host.progress.back(), 100u);

    // The audio packet past 4 GiB has both of its frames where they belong.
    size_t audioHeaders = 0, marked = 0;
    for (ItemId id = 1; id <= tree.Count(); ++id)
    {
        audioHeaders += LineText(tree, id).rfind("audio header @ ", 0) == 0;
        marked += tree.Image(id) == TreeImage::Error;
    }
    EXPECT_EQ(audioHeaders, 2u);
    EXPECT_EQ(marked, 0u);

    // The analysis file: word 4 of each SP1.0 record holds the low 32 bits of the position.
    const std::string aaf = m_dir.File("huge.aaf");
    ASSERT_EQ(AnalysisFile::Save(driver.Records(), aaf), AnalysisFile::SaveResult::Ok);
    const Bytes b = ReadWholeFile(aaf);
    const size_t P = path.size();
    ASSERT_GE(b.size(), 79 + P);
    ASSERT_EQ(LE32(b, 75 + P), 4u);
    size_t at = 79 + P;
    for (const uint64_t position : m_expectedPositions)
    {
        ASSERT_GE(b.size(), at + 74);
        EXPECT_EQ(std::memcmp(b.data() + at + 4, "SP1.0", 6), 0);
        EXPECT_EQ(LE32(b, at + 14 + 16), static_cast<uint32_t>(position)) << position;
        EXPECT_NE(LE32(b, at + 14 + 20), 0u);  // a pack header: the PH1.0 record follows
        at += 74 + 94;
    }
    EXPECT_EQ(at, b.size());
}

INSTANTIATE_TEST_SUITE_P(Walks, LargeFileTest, ::testing::Values(Walk::ByLength, Walk::ScanBytes), WalkParamName);

}  // namespace
