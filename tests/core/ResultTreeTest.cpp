// The result tree store: structure queries, the error mark, the icon switch, and the
// texts made on demand (printf details the displays rely on).

#include "analysis/LineFormat.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

TEST(ResultTree, InterleavedAppendsKeepEachParentsOrder)
{
    CResultTree t;
    const ItemId a = t.AddText(kNoItem, "a", TreeImage::Plus);
    const ItemId b = t.AddText(kNoItem, "b", TreeImage::Plus);
    std::vector<ItemId> underA, underB;
    for (int i = 0; i < 50; ++i)
    {
        underA.push_back(t.AddValue(a, LineFmt::PackNumber, static_cast<uint32_t>(i)));
        if (i % 3 == 0)
            underB.push_back(t.AddValue(b, LineFmt::PackNumber, static_cast<uint32_t>(100 + i)));
    }
    ASSERT_EQ(t.ChildCount(kNoItem), 2u);
    EXPECT_EQ(t.Child(kNoItem, 1), b);
    ASSERT_EQ(t.ChildCount(a), 50u);
    ASSERT_EQ(t.ChildCount(b), underB.size());
    for (uint32_t r = 0; r < underA.size(); ++r)
    {
        EXPECT_EQ(t.Child(a, r), underA[r]);
        EXPECT_EQ(t.Row(underA[r]), r);
        EXPECT_EQ(t.Parent(underA[r]), a);
    }
    EXPECT_EQ(LineText(t, underB[2]), "PACK #106");
    EXPECT_EQ(t.Child(a, 50), kNoItem);
    EXPECT_EQ(t.ChildCount(underA[0]), 0u);

    // Lines added after a query are seen by the next one.
    const ItemId late = t.AddText(a, "late", TreeImage::Blank);
    EXPECT_EQ(t.ChildCount(a), 51u);
    EXPECT_EQ(t.Row(late), 50u);
}

TEST(ResultTree, GrowsAcrossChunksWithoutMovingLines)
{
    CResultTree t;
    const ItemId root = t.AddText(kNoItem, "root", TreeImage::Plus);
    // Four chunks of lines.
    ItemId last = kNoItem;
    const uint32_t n = 1700000;
    for (uint32_t i = 0; i < n; ++i)
        last = t.AddValue(root, LineFmt::PackStuffing, i);
    EXPECT_EQ(t.Count(), n + 1);
    EXPECT_EQ(LineText(t, last), "pack stuffing = " + std::to_string(n - 1));
    EXPECT_EQ(LineText(t, 600000), "pack stuffing = 599998");
    EXPECT_EQ(t.Row(last), n - 1);
    EXPECT_EQ(LineText(t, root), "root");
    EXPECT_LT(t.MemoryBytes() / t.Count(), 40u);
}

TEST(ResultTree, ChildListsAcrossChunksFollowTheParents)
{
    // The shape of a large analysis over several chunks of lines: long-lived groups that
    // gather children everywhere (one of them only now and then), short-lived lines with
    // children right after them, and top-level lines late in the tree.
    CResultTree t;
    const ItemId root = t.AddText(kNoItem, "root", TreeImage::Plus);
    const ItemId packs = t.AddGroup(root, LineFmt::PacketStructure);
    const ItemId video = t.AddGroup(root, LineFmt::VideoSequence);
    const ItemId rare = t.AddGroup(root, LineFmt::ElementaryStreams);
    auto grow = [&](uint32_t from, uint32_t to) {
        for (uint32_t i = from; i < to; ++i)
        {
            const ItemId pack = t.AddGroup(packs, LineFmt::PackNumber, i);
            const ItemId header = t.AddGroup(pack, LineFmt::Header);
            t.AddValue(header, LineFmt::Scr, i);
            t.AddValue(pack, LineFmt::Data);
            if (i % 7 == 0)
                t.AddValue(video, LineFmt::Picture, i);
            if (i == 5 || i == 100000)
                t.AddValue(rare, LineFmt::Padding);
            if (i % 50000 == 49999)
                t.AddText(kNoItem, "late", TreeImage::Blank);
        }
    };
    // Every line's children, as the parents say, against what the queries give; a
    // second reader (another thread's) agrees.
    auto verify = [&] {
        std::vector<std::vector<ItemId>> expected(t.Count() + 1);
        for (ItemId id = 1; id <= t.Count(); ++id)
            expected[t.Parent(id)].push_back(id);
        CResultTree::Reader other(t);
        for (ItemId p = 0; p <= t.Count(); ++p)
        {
            ASSERT_EQ(t.ChildCount(p), expected[p].size()) << p;
            ASSERT_EQ(t.HasChildren(p), !expected[p].empty()) << p;
            for (uint32_t r = 0; r < expected[p].size(); r += (p == packs ? 997 : 1))
            {
                ASSERT_EQ(t.Child(p, r), expected[p][r]) << p << " row " << r;
                ASSERT_EQ(t.Row(expected[p][r]), r);
            }
            ASSERT_EQ(t.Child(p, static_cast<uint32_t>(expected[p].size())), kNoItem);
            if (p % 61 == 0 || p == packs)
            {
                ASSERT_EQ(other.ChildCount(p), expected[p].size()) << p;
            }
        }
    };
    // Queried halfway through a chunk, then grown: the indexes made before see the new lines.
    grow(0, 40000);
    verify();
    grow(40000, 120000);
    ASSERT_GT(t.Count(), 3u * 131072u);
    verify();

    // The pre-order walk (its own links) agrees, and a new line is seen at once.
    uint32_t visited = 0;
    t.ForEachPreOrder([&](ItemId, uint32_t) { ++visited; });
    EXPECT_EQ(visited, t.Count());
    const ItemId added = t.AddValue(rare, LineFmt::Padding);
    EXPECT_EQ(t.ChildCount(rare), 3u);
    EXPECT_EQ(t.Row(added), 2u);
    // A parent that is not there yet is refused.
    EXPECT_EQ(t.AddValue(t.Count() + 1, LineFmt::Padding), kNoItem);
    EXPECT_EQ(t.Count(), added);
}

TEST(ResultTree, ReadersOnTwoThreadsKeepTheirOwnIndexes)
{
    // A search reads the tree on its own thread while the window goes on asking for
    // children: each walks far more blocks than are kept, so each drops and makes its
    // indexes again all the time, and neither may touch the other's.
    CResultTree t;
    const ItemId packs = t.AddText(kNoItem, "packs", TreeImage::Plus);
    for (uint32_t i = 0; i < 300000; ++i)
    {
        const ItemId pack = t.AddGroup(packs, LineFmt::PackNumber, i);
        t.AddValue(t.AddGroup(pack, LineFmt::Header), LineFmt::Scr, i);
    }
    // Every line is somebody's child, once.
    auto walk = [&t](auto&& childCount) {
        uint64_t children = 0;
        for (int round = 0; round < 2; ++round)
            for (ItemId p = 0; p <= t.Count(); ++p)
                children += childCount(p);
        return children;
    };
    const uint64_t expected = t.Count();
    uint64_t other = 0;
    std::thread search([&] {
        CResultTree::Reader reader(t);
        other = walk([&](ItemId p) { return reader.ChildCount(p); });
    });
    const uint64_t own = walk([&](ItemId p) { return t.ChildCount(p); });
    search.join();
    EXPECT_EQ(own, 2 * expected);
    EXPECT_EQ(other, 2 * expected);
}

TEST(ResultTree, ErrorMarkExpandsUpToTheTopAndKeepsTheImagesAbove)
{
    CResultTree t;
    const ItemId root = t.AddText(kNoItem, "root", TreeImage::Plus);
    const ItemId mid = t.AddText(root, "mid", TreeImage::Plus);
    const ItemId other = t.AddText(root, "other", TreeImage::Plus);
    const ItemId line = t.AddGroup(mid, LineFmt::AudioHeaderNext, 672);
    t.MarkError(line, LineFmt::AudioHeaderNextErr, PackArgs(700, 672));

    EXPECT_EQ(LineText(t, line), "audio header @ 700 offs. ERR: ! 672");
    EXPECT_EQ(t.MarkedLines(), std::vector<ItemId>{line});
    EXPECT_EQ(t.Image(line), TreeImage::Error);
    EXPECT_TRUE(t.IsExpanded(line));
    EXPECT_TRUE(t.IsExpanded(mid));
    EXPECT_TRUE(t.IsExpanded(root));
    EXPECT_FALSE(t.IsExpanded(other));
    EXPECT_EQ(t.Image(mid), TreeImage::Plus);
    EXPECT_EQ(t.Image(root), TreeImage::Plus);

    // The user's expand and collapse switch icons, the error icon included.
    t.IconSwitch(line, false);
    EXPECT_EQ(t.Image(line), TreeImage::Plus);
    t.IconSwitch(line, true);
    EXPECT_EQ(t.Image(line), TreeImage::Minus);

    // Offsets of an audio file past 64 KiB make an argument wider than a line keeps: it
    // is kept aside, through the mark and back.
    const ItemId far = t.AddGroup(mid, LineFmt::AudioHeaderFirst, PackArgs(70000, 70000));
    EXPECT_EQ(LineText(t, far), "audio header @ 70000 offs. (expecting @ 70000)");
    t.MarkError(far, LineFmt::AudioHeaderFirstErr, PackArgs(90000, 80000));
    EXPECT_EQ(LineText(t, far), "audio header @ 90000 offs. (expecting @ 80000) ERR: ! 80000");
    EXPECT_EQ(t.Image(far), TreeImage::Error);
    t.SetText(far, LineFmt::AudioHeaderNext, 5);
    EXPECT_EQ(LineText(t, far), "audio header @ 5 offs.");
    EXPECT_EQ(t.Arg(far), 5u);
    EXPECT_EQ(t.Arg(line), PackArgs(700, 672));
}

TEST(ResultTree, DeleteAllEmptiesAndQueriesOutsideAreHarmless)
{
    CResultTree t;
    const ItemId a = t.AddText(kNoItem, "a", TreeImage::Plus);
    t.MarkError(a, LineFmt::Pack, 0);
    t.DeleteAll();
    EXPECT_EQ(t.Count(), 0u);
    EXPECT_TRUE(t.MarkedLines().empty());
    EXPECT_FALSE(t.HasChildren(kNoItem));
    EXPECT_EQ(t.ChildCount(kNoItem), 0u);
    EXPECT_EQ(LineText(t, a), "");
    EXPECT_EQ(t.Parent(a), kNoItem);
    EXPECT_EQ(t.Child(12345, 0), kNoItem);
    t.MarkError(99, LineFmt::Pack, 0);
    EXPECT_TRUE(t.MarkedLines().empty());
    EXPECT_EQ(t.AddText(kNoItem, "b", TreeImage::Plus), 1u);
}

TEST(LineText, PrintfDetailsOfTheDisplays)
{
    CResultTree t;
    auto text = [&](LineFmt f, uint64_t arg) { return LineText(t, t.AddValue(kNoItem, f, arg)); };
    // Blank padding, not zeros, in the hexadecimal VBV delay.
    EXPECT_EQ(text(LineFmt::VbvDelay, 0x1A), "VBV delay = 26 (0x  1A)");
    EXPECT_EQ(text(LineFmt::VbvDelay, 65535), "VBV delay = 65535 (0xFFFF)");
    // The raw field of a time stamp is unsigned and has all 33 bits.
    EXPECT_EQ(text(LineFmt::Pts, 0x80000000u), "PTS = 23860929.42 ms (2147483648)");
    EXPECT_EQ(text(LineFmt::Dts, 0x1FFFFFFFFull), "DTS = 95443717.68 ms (8589934591)");
    EXPECT_EQ(text(LineFmt::PackPts, 90000), "pack PTS = 1000.00 ms");
    // Stream ids below 0x10 pad to two places with a blank; an unlabelled id keeps the blank after it.
    EXPECT_EQ(text(LineFmt::StreamIdEntry, 0xBD), "Stream ID 0xBD ");
    EXPECT_EQ(text(LineFmt::PesStreamPts, StreamPtsArg(0xBF, 90000)), "Stream 0xBF , PTS: 1000.00 ms");
    EXPECT_EQ(text(LineFmt::PesStream, 0xE1), "Stream 0xE1 (Video Stream 1)");
    EXPECT_EQ(text(LineFmt::Marker01, 1), "Marker (01) = 01");
    EXPECT_EQ(text(LineFmt::PesMarker, 2), "marker = 02");
    EXPECT_EQ(text(LineFmt::Timecode, 0x04030201), "timecode :  01:02:03.04");
    EXPECT_EQ(text(LineFmt::Picture, PackArgs(5, 6)), "picture (tref = 5, Reserved (= 6))");
    EXPECT_EQ(text(LineFmt::AspectRatio, 7), "aspect ratio = Reserved (= 7)");
    EXPECT_EQ(text(LineFmt::SamplingFreq, PackArgs(0, 2)), "Sampling Freq. idx = 0 (22.1 kHz)");
    EXPECT_EQ(text(LineFmt::AudioHeaderFirstErr, PackArgs(26, 16)),
              "audio header @ 26 offs. (expecting @ 16) ERR: ! 16");
    const uint32_t name = t.StoreString("clip.mpg");
    EXPECT_EQ(text(LineFmt::RootPackets, PackArgs(name, 100)), "clip.mpg [100 packets]");
    EXPECT_EQ(text(LineFmt::RootAll, PackArgs(name)), "clip.mpg [all packets]");
}

}  // namespace
