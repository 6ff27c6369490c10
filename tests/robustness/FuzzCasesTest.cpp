// Inputs kept from fuzzing (cases/): every input that ever made the fuzz target fail, and
// a dozen small corpus inputs that between them reach most kinds of tree line (picked
// greedily by the kinds of line they show). Each is analysed whole, written out as text,
// as JSON and as an analysis file, and what the run left behind must hold together.

#include "RobustSupport.h"

#include "analysis/TreeExport.h"
#include "checks/StreamChecks.h"
#include "model/Pipeline.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace
{

using namespace robust;

uint32_t LE32(const Bytes& b, size_t at)
{
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

std::vector<std::string> CaseFiles()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(VARNODEL_ROBUST_CASES, ec))
        if (e.is_regular_file())
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Each case in both walks of the tree.
class FuzzCaseTest : public ::testing::TestWithParam<std::tuple<std::string, Walk>>
{
};

TEST_P(FuzzCaseTest, AnalysesWholeAndSavesAConsistentAnalysisFile)
{
    const std::string& path = std::get<0>(GetParam());
    const Walk walk = std::get<1>(GetParam());
    const Bytes input = ReadWholeFile(path);

    CResultTree tree;
    RecordingHost host;
    CAnalysisDriver driver(tree, host);
    Choose(driver, walk);
    const Outcome outcome = driver.Analyze(path, 0);
    const RunFigures f = Figures(driver, tree, outcome);
    ASSERT_EQ(outcome, Outcome::EndOfInput);
    EXPECT_TRUE(host.messages.empty());
    // The byte walk pumps once per start code, the walk by lengths once per pack, system
    // header or packet (fewer than its start codes, which count the video ones); both pump
    // more while long stretches without one are read.
    EXPECT_GE(host.pumps, walk == Walk::ScanBytes ? f.startCodes : f.packs);
    EXPECT_LE(host.pumps, f.startCodes + input.size() / (256 * 1024) + 2);
    ExpectLinearWork(f, input.size(), path);
    for (size_t i = 1; i < host.progress.size(); ++i)
        EXPECT_GT(host.progress[i], host.progress[i - 1]);
    for (ItemId id = 1; id <= tree.Count(); ++id)
        ASSERT_LT(tree.Parent(id), id);

    // Packs are numbered 1, 2, ... at rising positions inside the file.
    for (size_t i = 0; i < f.packPositions.size(); ++i)
    {
        EXPECT_GE(f.packPositions[i], 4u);
        EXPECT_LE(f.packPositions[i], input.size());
        if (i > 0)
        {
            EXPECT_GT(f.packPositions[i], f.packPositions[i - 1]);
        }
    }
    EXPECT_EQ(f.packPositions.size(), f.packs);

    std::FILE* devNull = std::fopen("/dev/null", "w");
    ASSERT_NE(devNull, nullptr);
    EXPECT_TRUE(WriteTreeText(tree, devNull));
    EXPECT_TRUE(WriteTreeJson(tree, devNull));
    std::fclose(devNull);

    // The analysis file: a 74-byte group per node, 94 more for a node with a pack header,
    // and word 4 of each node the low 32 bits of its position.
    TempDir dir;
    const std::string aaf = dir.File("case.aaf");
    ASSERT_EQ(AnalysisFile::Save(driver.Records(), aaf), AnalysisFile::SaveResult::Ok);
    const Bytes b = ReadWholeFile(aaf);
    const CPackList& list = *driver.Records();
    size_t at = 79 + path.size();
    ASSERT_GE(b.size(), at);
    EXPECT_EQ(LE32(b, at - 4), list.Count());
    for (const CPackNode& node : list.Nodes())
    {
        ASSERT_GE(b.size(), at + 74);
        EXPECT_EQ(std::memcmp(b.data() + at + 4, "SP1.0", 6), 0);
        EXPECT_EQ(LE32(b, at + 14 + 12), node.m_nPackNumber);
        EXPECT_EQ(LE32(b, at + 14 + 16), static_cast<uint32_t>(node.m_nPosition));
        at += 74;
        if (node.Has(CPackNode::PackHeader))
        {
            ASSERT_GE(b.size(), at + 94);
            EXPECT_EQ(std::memcmp(b.data() + at + 4, "PH1.0", 6), 0);
            at += 94;
        }
    }
    EXPECT_EQ(at, b.size());
}

// The same cases judged by the checks: what they report lies in the input, in packs the
// input has, and nothing is judged by a clock the input does not have.
class FuzzCaseCheckTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(FuzzCaseCheckTest, FindingsStayInsideTheInput)
{
    const Bytes input = ReadWholeFile(GetParam());
    model::CPipeline pipeline;
    checks::StreamChecks c(pipeline.Context());
    pipeline.Add(c);
    pipeline.Run(input.data(), input.size());
    uint64_t counted = 0;
    for (const checks::Finding& f : c.Log().Findings())
    {
        EXPECT_LE(f.offset, input.size()) << checks::FormatFinding(f);
        EXPECT_LE(f.pack, c.Packs()) << checks::FormatFinding(f);
        // A finding that needs a pack's clock names the pack.
        const bool timed = f.check == std::string_view(checks::rules::kMuxDelay.id) ||
                           f.check == std::string_view(checks::rules::kPstdOverflow.id) ||
                           f.check == std::string_view(checks::rules::kPstdUnderflow.id);
        if (timed)
        {
            EXPECT_GT(f.pack, 0u) << checks::FormatFinding(f);
        }
        counted += f.count;
    }
    EXPECT_EQ(counted, c.Log().Total(checks::Severity::Error) + c.Log().Total(checks::Severity::Warning) +
                           c.Log().Total(checks::Severity::Info));
}

INSTANTIATE_TEST_SUITE_P(Cases, FuzzCaseCheckTest, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzCaseCheckTest);

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::string, Walk>>& info)
{
    std::string name = std::filesystem::path(std::get<0>(info.param)).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name + "_" + WalkName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Cases, FuzzCaseTest,
                         ::testing::Combine(::testing::ValuesIn(CaseFiles()),
                                            ::testing::Values(Walk::ByLength, Walk::ScanBytes)),
                         CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzCaseTest);

}  // namespace
