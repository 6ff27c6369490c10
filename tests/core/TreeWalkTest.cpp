// The pre-order walk and the text output against an order made from nothing but each
// line's parent: on trees of real analyses (both walks of the file, a run stopped, a
// tree that ran out of room) and on trees made to reach the corners of the walk's links
// and of the line cache.

#include "analysis/CAnalysisDriver.h"
#include "analysis/LineFormat.h"
#include "analysis/TreeExport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <utility>
#include <vector>

namespace
{

using Walk = std::vector<std::pair<ItemId, uint32_t>>;  // line and depth, in order

// Pre-order from the parent links alone: each line's children in id order.
Walk ReferenceWalk(const CResultTree& t)
{
    std::vector<std::vector<ItemId>> children(static_cast<size_t>(t.Count()) + 1);
    for (ItemId id = 1; id <= t.Count(); ++id)
        children[t.Parent(id)].push_back(id);
    Walk walk;
    std::vector<std::pair<ItemId, size_t>> stack{{kNoItem, 0}};  // line, next child
    while (!stack.empty())
    {
        auto& [line, next] = stack.back();
        if (next == children[line].size())
        {
            stack.pop_back();
            continue;
        }
        const ItemId child = children[line][next++];
        walk.push_back({child, static_cast<uint32_t>(stack.size() - 1)});
        stack.push_back({child, 0});
    }
    return walk;
}

std::string ReferenceText(const CResultTree& t)
{
    std::string text;
    for (const auto& [line, depth] : ReferenceWalk(t))
    {
        text.append(2 * static_cast<size_t>(depth), ' ');
        text += LineText(t, line);
        text.push_back('\n');
    }
    return text;
}

Walk TreeWalk(const CResultTree& t, ItemId from = kNoItem, ItemId to = kNoItem)
{
    Walk walk;
    t.ForEachPreOrder(from, to, [&](ItemId line, uint32_t depth) { walk.push_back({line, depth}); });
    return walk;
}

std::string WrittenText(const CResultTree& t)
{
    std::FILE* f = std::tmpfile();
    EXPECT_TRUE(WriteTreeText(t, f));
    std::string s(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    EXPECT_EQ(std::fread(s.data(), 1, s.size(), f), s.size());
    std::fclose(f);
    return s;
}

// The whole walk, the walk in stretches between its cuts, and the text output agree with
// the reference.
void ExpectWalksAgree(const CResultTree& t, uint32_t pieces)
{
    const Walk expected = ReferenceWalk(t);
    ASSERT_EQ(expected.size(), t.Count());
    ASSERT_TRUE(TreeWalk(t) == expected);

    const std::vector<ItemId> cuts = t.PreOrderCuts(pieces);
    std::vector<size_t> position(static_cast<size_t>(t.Count()) + 1);
    for (size_t i = 0; i < expected.size(); ++i)
        position[expected[i].first] = i;
    for (size_t i = 1; i < cuts.size(); ++i)
    {
        ASSERT_LT(position[cuts[i - 1]], position[cuts[i]]) << "cut " << i;
        ASSERT_TRUE(t.PreOrderBefore(cuts[i - 1], cuts[i]));
        ASSERT_FALSE(t.PreOrderBefore(cuts[i], cuts[i - 1]));
    }
    Walk joined;
    for (size_t i = 0; i <= cuts.size(); ++i)
    {
        const Walk part = TreeWalk(t, i == 0 ? kNoItem : cuts[i - 1], i == cuts.size() ? kNoItem : cuts[i]);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    ASSERT_TRUE(joined == expected) << cuts.size() << " cuts";
    ASSERT_EQ(WrittenText(t), ReferenceText(t));
}

struct StopHost : IAnalysisHost
{
    std::function<void()> onPump;
    void Pump() override
    {
        if (onPump)
            onPump();
    }
};

// A DVD-style stream large enough for the text output's threads (a few hundred thousand
// lines each way), made once for the tests below.
class TreeWalkOnStream : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        DvdStreamOptions o;
        o.targetBytes = 24u << 20;
        o.seed = 7;
        s_path = s_dir->Write("dvd.mpg", MakeDvdStream(o));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    CAnalysisDriver::Outcome Run(bool byLengths)
    {
        m_driver.SetFollowPacketLengths(byLengths);
        return m_driver.Analyze(s_path, 0);
    }

    static TempDir* s_dir;
    static std::string s_path;
    CResultTree m_tree;
    StopHost m_host;
    CAnalysisDriver m_driver{m_tree, m_host};
};
TempDir* TreeWalkOnStream::s_dir = nullptr;
std::string TreeWalkOnStream::s_path;

TEST_F(TreeWalkOnStream, BothWalksOfTheFileComeOutInPreOrder)
{
    for (const bool byLengths : {true, false})
    {
        ASSERT_EQ(Run(byLengths), CAnalysisDriver::Outcome::EndOfInput);
        ASSERT_GT(m_tree.Count(), 600000u);
        SCOPED_TRACE(byLengths ? "by lengths" : "byte by byte");
        ExpectWalksAgree(m_tree, m_tree.Count() / 50000);
        // Cut into more pieces than the long lists have entries to spare, and into none.
        ExpectWalksAgree(m_tree, 100000);
        EXPECT_TRUE(m_tree.PreOrderCuts(1).empty());
    }
}

TEST_F(TreeWalkOnStream, TreesCutShortComeOutInPreOrder)
{
    // Stopped in the middle of the file: the last pack's lines are cut off wherever the
    // stop came.
    for (const bool byLengths : {true, false})
    {
        int pumps = 0;
        m_host.onPump = [&] {
            if (++pumps == 3001)
                m_driver.RequestStop();
        };
        ASSERT_EQ(Run(byLengths), CAnalysisDriver::Outcome::Stopped);
        ASSERT_GT(m_tree.Count(), 20000u);
        ExpectWalksAgree(m_tree, 40);
    }
    m_host.onPump = nullptr;

    // Out of room: the tree ends in the middle of a block and of a pack's lines.
    m_tree.SetLineLimit(300007);
    ASSERT_EQ(Run(true), CAnalysisDriver::Outcome::TreeFull);
    ASSERT_EQ(m_tree.Count(), 300007u);
    ExpectWalksAgree(m_tree, 40);
    ASSERT_EQ(Run(false), CAnalysisDriver::Outcome::TreeFull);
    ExpectWalksAgree(m_tree, 40);
}

TEST(TreeWalk, RandomTreesAcrossBlocks)
{
    // Lines under random earlier lines, so that children interleave everywhere and most
    // parents have children in later blocks; and lines that mostly take the line before
    // as parent, for long chains of children within and across blocks.
    for (const int shape : {0, 1})
    {
        CResultTree t;
        std::mt19937 rng(3 + shape);
        t.AddText(kNoItem, "root", TreeImage::Plus);
        for (uint32_t i = 0; i < 250000; ++i)
        {
            ItemId parent;
            if (shape == 0)
                parent = rng() % 8 == 0 ? kNoItem : static_cast<ItemId>(1 + rng() % t.Count());
            else
                parent = rng() % 64 == 0 ? static_cast<ItemId>(rng() % t.Count()) : t.Count();
            ASSERT_NE(t.AddValue(parent, LineFmt::PackNumber, i), kNoItem);
        }
        SCOPED_TRACE(shape);
        ExpectWalksAgree(t, 30);
    }
}

TEST(TreeWalk, LinesAddedAfterAWalkAreWalkedToo)
{
    CResultTree t;
    EXPECT_TRUE(TreeWalk(t).empty());
    EXPECT_EQ(WrittenText(t), "");
    const ItemId top = t.AddGroup(kNoItem, LineFmt::PacketStructure);
    for (uint32_t i = 0; i < 20000; ++i)
        t.AddValue(i % 3 == 0 ? top : t.Count(), LineFmt::PackNumber, i);
    ExpectWalksAgree(t, 4);
    // Under a line of the first block and under the last line, and a new top-level line.
    t.AddValue(2, LineFmt::Marker1, 1);
    t.AddValue(t.Count(), LineFmt::Marker1, 0);
    t.AddGroup(kNoItem, LineFmt::Essentials);
    ExpectWalksAgree(t, 4);
    // A walk from a line that is not there visits nothing.
    EXPECT_TRUE(TreeWalk(t, t.Count() + 1).empty());
    t.DeleteAll();
    EXPECT_TRUE(TreeWalk(t).empty());
}

TEST(TreeWalk, TextOutputOfEveryFormatAtEveryDepth)
{
    // Every format, with arguments that repeat (the line cache's hits) at different
    // depths, beside long free texts and texts of more than a cache entry holds; deep
    // lines beyond any indentation kept at hand.
    CResultTree t;
    const uint32_t name = t.StoreString("a rather long name of an input file, for lines longer than most.mpg");
    std::mt19937_64 rng(11);
    std::vector<ItemId> path{t.AddText(kNoItem, std::string(300, 'x'), TreeImage::Plus)};
    for (int round = 0; round < 40; ++round)
    {
        for (uint16_t f = 0; f < static_cast<uint16_t>(LineFmt::Count_); ++f)
        {
            const auto fmt = static_cast<LineFmt>(f);
            uint64_t arg = round % 2 ? rng() : rng() % 4;
            if (fmt == LineFmt::Text || fmt == LineFmt::RootPackets || fmt == LineFmt::RootAll)
                arg = PackArgs(name, static_cast<uint32_t>(arg));
            const ItemId parent = path[rng() % path.size()];
            const ItemId line = t.AddValue(parent, fmt, arg);
            ASSERT_NE(line, kNoItem);
            if (path.size() < 200 && rng() % 4 == 0)
                path.push_back(line);
        }
    }
    for (int i = 0; i < 300; ++i)
        path.push_back(t.AddValue(path.back(), LineFmt::Prio, 0));
    const std::string expected = ReferenceText(t);
    EXPECT_EQ(WrittenText(t), expected);
    // Written again with every text already made once.
    EXPECT_EQ(WrittenText(t), expected);
}

}  // namespace
