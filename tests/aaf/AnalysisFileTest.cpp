// What an analysis file holds: the layout byte for byte on small cases, and every field
// of a varied analysis read back by an independent reader.

#include "AafReader.h"
#include "AafTestUtil.h"

#include "aaf/AnalysisFile.h"
#include "stream/CFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t count)
{
    if (from > v.size())
        return {};
    count = std::min(count, v.size() - from);
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + count);
}

std::vector<uint8_t> SaveAndRead(CPackList& list, const ScratchDir& dir, const std::string& name = "out.aaf")
{
    EXPECT_EQ(AnalysisFile::Save(&list, dir / name), AnalysisFile::SaveResult::Ok);
    bool ok = false;
    std::vector<uint8_t> bytes = ReadWholeFile(dir / name, &ok);
    EXPECT_TRUE(ok);
    return bytes;
}

// Every word of every node and every PH1.0 payload against the list the file came from.
void ExpectFileMatchesList(const AafFile& file, const CPackList& list)
{
    EXPECT_EQ(file.banner, "Workers of hand and fist unite !");
    EXPECT_EQ(file.formatTag, "MA1.2");
    EXPECT_EQ(file.inputPath, list.m_strInputPath);
    EXPECT_EQ(file.date, list.m_strDate);
    EXPECT_EQ(file.nodeCount, list.Count());
    ASSERT_EQ(file.nodes.size(), list.Count());

    const uint32_t recordType = file.nodes.empty() ? 0 : file.nodes[0].words[0];
    size_t i = 0;
    for (const CPackNode& n : list.Nodes())
    {
        const CPackNode* node = &n;
        SCOPED_TRACE("node " + std::to_string(i + 1));
        const uint32_t* w = file.nodes[i].words;
        EXPECT_NE(w[0], 0u);
        EXPECT_EQ(w[0], recordType);  // the same in every record
        EXPECT_EQ(w[1] != 0, i + 1 < list.Count());
        EXPECT_EQ(w[2] != 0, i > 0);
        EXPECT_EQ(w[3], node->m_nPackNumber);
        EXPECT_EQ(w[4], static_cast<uint32_t>(node->m_nPosition & 0xFFFFFFFFu));
        const CPackNode::Element order[] = {CPackNode::PackHeader,     CPackNode::SystemHeader, CPackNode::PesHeader,
                                            CPackNode::SequenceHeader, CPackNode::GopHeader,    CPackNode::PictureHeader,
                                            CPackNode::AudioHeader,    CPackNode::PackLine,     CPackNode::HeaderLine};
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(w[5 + k] != 0, node->Has(order[k])) << "word " << 5 + k;
        EXPECT_EQ(w[14], 0u);

        ++i;
        ASSERT_EQ(file.nodes[i - 1].hasPackRecord, node->Has(CPackNode::PackHeader));
        if (!node->Has(CPackNode::PackHeader))
            continue;
        const CPackHeader& ph = node->m_packHeader;
        const AafPackPayload p = DecodePackPayload(file.nodes[i - 1].payload);
        const uint32_t expected[15] = {ph.m_nMarker01,  ph.m_nScr32_30,       ph.m_nMarker1,  ph.m_nScr29_15,
                                       ph.m_nMarker2,   ph.m_nScr14_0,        ph.m_nMarker3,  ph.m_nScrExtension,
                                       ph.m_nMarker4,   ph.m_nProgramMuxRate, ph.m_nMarker5,  ph.m_nMarker6,
                                       ph.m_nReserved,  ph.m_nStuffingLength, static_cast<uint32_t>(ph.m_nScrBase)};
        for (int f = 0; f < 15; ++f)
            EXPECT_EQ(p.fields[f], expected[f]) << "payload offset " << f * 4;
        EXPECT_EQ(p.padding60, 0u);
        // The milliseconds of the low 32 bits, as 1/90 times the value.
        const double ms = static_cast<uint32_t>(ph.m_nScrBase) * (1.0 / 90.0);
        EXPECT_EQ(std::memcmp(&p.scrMs, &ms, sizeof(double)), 0) << p.scrMs << " vs " << ms;
        EXPECT_EQ(p.muxRateBps, ph.m_nMuxRateBps);
        EXPECT_EQ(p.padding76, 0u);
    }
}
}  // namespace

// ---------------------------------------------------------------------------------------
// Layout

TEST(AnalysisFileLayout, FileWithoutStartCodesIsHeaderAndSummaryOnly)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "clip.mpg";
    std::vector<uint8_t> bytes = SaveAndRead(list, dir);

    ASSERT_EQ(bytes.size(), 79u + 8u);
    const std::vector<uint8_t> head = Bytes({
        0x21, 0x00, 0x00, 0x00,                                // 33
        'W', 'o', 'r', 'k', 'e', 'r', 's', ' ', 'o', 'f', ' ', 'h', 'a', 'n', 'd', ' ',
        'a', 'n', 'd', ' ', 'f', 'i', 's', 't', ' ', 'u', 'n', 'i', 't', 'e', ' ', '!', 0,
        0x06, 0x00, 0x00, 0x00, 'M', 'A', '1', '.', '2', 0,    // format tag
        0x06, 0x00, 0x00, 0x00, 'S', 'I', '1', '.', '0', 0,    // summary tag
        0x09, 0x00, 0x00, 0x00, 'c', 'l', 'i', 'p', '.', 'm', 'p', 'g', 0,  // input path
        0x09, 0x00, 0x00, 0x00,                                // date length, always 9
    });
    EXPECT_EQ(Slice(bytes, 0, head.size()), head);
    // Eight digits and a NUL, then a node count of 0 ending the file.
    const std::string date(reinterpret_cast<const char*>(bytes.data()) + head.size(), 8);
    EXPECT_EQ(date.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(bytes[head.size() + 8], 0);
    EXPECT_EQ(Slice(bytes, bytes.size() - 4, 4), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(list.m_strDate, date);
}

TEST(AnalysisFileLayout, OnePackGroupIsSpThenPhRecord)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "a.mpg";
    AppendPack(list, 1, 4);
    std::vector<uint8_t> bytes = SaveAndRead(list, dir);

    ASSERT_EQ(bytes.size(), 252u);
    EXPECT_EQ(Slice(bytes, 80, 4), Bytes({1, 0, 0, 0}));  // node count

    // SP1.0: tag, 60, then the fifteen words.
    const std::vector<uint8_t> sp = Slice(bytes, 84, 74);
    EXPECT_EQ(Slice(sp, 0, 14), Bytes({0x06, 0, 0, 0, 'S', 'P', '1', '.', '0', 0, 0x3C, 0, 0, 0}));
    auto word = [&](int i) { return Slice(sp, 14 + 4 * i, 4); };
    EXPECT_NE(word(0), Bytes({0, 0, 0, 0}));   // record type
    EXPECT_EQ(word(1), Bytes({0, 0, 0, 0}));   // no next node
    EXPECT_EQ(word(2), Bytes({0, 0, 0, 0}));   // no previous node
    EXPECT_EQ(word(3), Bytes({1, 0, 0, 0}));   // pack 1
    EXPECT_EQ(word(4), Bytes({4, 0, 0, 0}));   // position after the start code
    EXPECT_NE(word(5), Bytes({0, 0, 0, 0}));   // pack header: PH1.0 follows
    for (int i = 6; i <= 11; ++i)
        EXPECT_EQ(word(i), Bytes({0, 0, 0, 0})) << "word " << i;
    EXPECT_NE(word(12), Bytes({0, 0, 0, 0}));  // "PACK #1" line
    EXPECT_NE(word(13), Bytes({0, 0, 0, 0}));  // "HEADER" line
    EXPECT_EQ(word(14), Bytes({0, 0, 0, 0}));

    // PH1.0 of the pack 44 00 04 00 04 01 01 89 C3 F8.
    const std::vector<uint8_t> ph = Bytes({
        0x06, 0, 0, 0, 'P', 'H', '1', '.', '0', 0, 0x50, 0, 0, 0,
        1, 0, 0, 0,              // marker 01
        0, 0, 0, 0,              // SCR 32..30
        1, 0, 0, 0,              // marker
        0, 0, 0, 0,              // SCR 29..15
        1, 0, 0, 0,              // marker
        0, 0, 0, 0,              // SCR 14..0
        1, 0, 0, 0,              // marker
        0, 0, 0, 0,              // SCR extension
        1, 0, 0, 0,              // marker
        0x70, 0x62, 0, 0,        // program mux rate 25200
        1, 0, 0, 0,              // marker
        1, 0, 0, 0,              // marker
        0x1F, 0, 0, 0,           // reserved
        0, 0, 0, 0,              // stuffing length
        0, 0, 0, 0,              // SCR base
        0, 0, 0, 0,              // padding
        0, 0, 0, 0, 0, 0, 0, 0,  // 0.0 ms
        0x00, 0xCF, 0x99, 0x00,  // 10080000 bit/s
        0, 0, 0, 0,              // padding
    });
    EXPECT_EQ(Slice(bytes, 84 + 74, 94), ph);
}

TEST(AnalysisFileLayout, PackPayloadEncodesScrAsBinary64AndZeroPadding)
{
    CPackHeader ph;
    ph.m_nScrBase = (1ull << 32) | 90000;  // the record keeps the low 32 bits
    // Every other field all ones, so that stray bits in the padding would show.
    for (uint32_t* f : {&ph.m_nMarker01, &ph.m_nScr32_30, &ph.m_nMarker1, &ph.m_nScr29_15, &ph.m_nMarker2,
                        &ph.m_nScr14_0, &ph.m_nMarker3, &ph.m_nScrExtension, &ph.m_nMarker4, &ph.m_nProgramMuxRate,
                        &ph.m_nMarker5, &ph.m_nMarker6, &ph.m_nReserved, &ph.m_nStuffingLength, &ph.m_nMuxRateBps})
        *f = 0xFFFFFFFFu;
    uint8_t out[80];
    std::memset(out, 0xAA, sizeof(out));
    AnalysisFile::PackPayload(ph, out);
    std::vector<uint8_t> v(out, out + 80);
    EXPECT_EQ(Slice(v, 56, 4), Bytes({0x90, 0x5F, 0x01, 0x00}));                     // 90000
    EXPECT_EQ(Slice(v, 60, 4), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(Slice(v, 64, 8), Bytes({0, 0, 0, 0, 0, 0x40, 0x8F, 0x40}));           // 1000.0
    EXPECT_EQ(Slice(v, 72, 4), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Slice(v, 76, 4), Bytes({0, 0, 0, 0}));
}

TEST(AnalysisFileLayout, StringsCountTheirNul)
{
    ScratchDir dir;
    CFile file;
    ASSERT_TRUE(file.Open(dir / "s", CFile::modeCreate | CFile::modeReadWrite));
    EXPECT_TRUE(AnalysisFile::WriteString(file, ""));
    EXPECT_TRUE(AnalysisFile::WriteString(file, "ab"));
    file.Close();
    EXPECT_EQ(ReadWholeFile(dir / "s"), Bytes({1, 0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}));
}

// ---------------------------------------------------------------------------------------
// Round trip through the reader

TEST(AnalysisFileContent, VariedAnalysisReadsBackFieldForField)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "/media/disc/VIDEO_TS/VTS_01_1.VOB";

    // A sequence header before the first pack: a node without pack, position or lines.
    CPackNode& lead = list.Append();
    lead.Set(CPackNode::SequenceHeader);
    lead.Set(CPackNode::GopHeader);

    CPackNode* first = AppendPack(list, 1, 4);
    first->Set(CPackNode::SystemHeader);
    first->Set(CPackNode::PesHeader);
    first->Set(CPackNode::PictureHeader);

    // A pack well past 4 GiB, with an SCR that uses the top bits and stuffing.
    CPackNode* far = AppendPack(list, 2, 0x1'2345'6789ull);
    far->Set(CPackNode::AudioHeader);
    far->Set(CPackNode::PesHeader);
    CPackHeader& ph = far->m_packHeader;
    ph.m_nScr32_30 = 7;
    ph.m_nScr29_15 = 0x7FFF;
    ph.m_nScr14_0 = 0x1234;
    ph.m_nScrExtension = 299;
    ph.m_nStuffingLength = 5;
    ph.m_nScrBase = 0x1FFFF9234ull;
    ph.m_nMarker01 = 0;  // an MPEG-1 pack

    // A pack whose header was cut short: every field zero, still a PH1.0 record.
    CPackNode& cut = list.Append();
    cut.m_nPackNumber = 3;
    cut.m_nPosition = 0x1'2345'7000ull;
    cut.Set(CPackNode::PackHeader);
    cut.Set(CPackNode::PackLine);
    cut.Set(CPackNode::HeaderLine);

    std::vector<uint8_t> bytes = SaveAndRead(list, dir);
    AafFile file;
    std::string error;
    ASSERT_TRUE(ParseAaf(bytes, &file, &error)) << error;
    ExpectFileMatchesList(file, list);
    EXPECT_EQ(bytes.size(), 79u + list.m_strInputPath.size() + 74u + 3u * 168u);
    EXPECT_EQ(file.nodes[2].words[4], 0x23456789u);
}

TEST(AnalysisFileContent, LongAnalysisKeepsCountAndOrder)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "long.mpg";
    // Enough groups to run through the writer's buffer more than once.
    for (uint32_t n = 1; n <= 3000; ++n)
    {
        CPackNode* node = AppendPack(list, n, 4 + 2048ull * (n - 1));
        node->m_packHeader.m_nScrBase = n * 3600;
        if (n % 3 == 0)
            node->Set(CPackNode::PesHeader);
    }
    std::vector<uint8_t> bytes = SaveAndRead(list, dir);
    EXPECT_EQ(bytes.size(), 79u + 8u + 3000u * 168u);
    AafFile file;
    std::string error;
    ASSERT_TRUE(ParseAaf(bytes, &file, &error)) << error;
    ExpectFileMatchesList(file, list);
}

TEST(AnalysisFileContent, SavingTwiceTheSameDayGivesIdenticalFiles)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "twice.mpg";
    AppendPack(list, 1, 4);
    AppendPack(list, 2, 2052)->Set(CPackNode::PesHeader);

    const std::string dayBefore = TodayLocal();
    std::vector<uint8_t> first = SaveAndRead(list, dir, "one.aaf");
    const std::string firstDate = list.m_strDate;
    std::vector<uint8_t> second = SaveAndRead(list, dir, "two.aaf");
    if (TodayLocal() != dayBefore)
        GTEST_SKIP() << "the local date changed during the test";
    EXPECT_EQ(firstDate, dayBefore);
    EXPECT_EQ(list.m_strDate, dayBefore);
    EXPECT_EQ(first, second);
    // The list itself is left as it was.
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.m_strInputPath, "twice.mpg");
}
