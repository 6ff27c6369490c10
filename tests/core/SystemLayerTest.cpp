// Pack header, system header and PES header: decoding and display.

#include "ParseHelper.h"
#include "analysis/TreeDisplay.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"

#include <gtest/gtest.h>

namespace
{

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------- pack header

TEST(PackHeader, Mpeg2ExampleDecodesAndDisplays)
{
    // '01' SCR=0 markers, SCR ext 0, mux rate 25200 (0x6270), reserved 11111, no stuffing.
    auto p = ParseFrom<CPackHeader>({0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8, 0xAA});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.consumed, 10u);
    CResultTree t;
    const ItemId header = t.AddGroup(kNoItem, LineFmt::Header);
    ShowPackHeader(t, header, p.element);
    EXPECT_EQ(ChildTexts(t, header), (Strings{"SCR = 0.00 ms", "muxrate = 10080000 bps", "Details"}));
    const ItemId details = t.Child(header, 2);
    EXPECT_EQ(ChildTexts(t, details),
              (Strings{"Marker (01) = 01", "SCR[32..30] = 0x0", "Marker (1) = 1", "SCR[29..15] = 0x0",
                       "Marker (1) = 1", "SCR[14..0] = 0x0", "Marker (1) = 1", "SCR extension = 0x0",
                       "Marker (1) = 1", "muxrate = 0x6270", "Marker (1) = 1", "Marker (1) = 1",
                       "reserved = 0x1f", "pack stuffing = 0"}));
    EXPECT_EQ(t.Image(details), TreeImage::Plus);
    EXPECT_EQ(t.Image(t.Child(details, 0)), TreeImage::Blank);
}

TEST(PackHeader, StuffingScrAndBit32)
{
    StreamWriter w;
    w.PackHeader(90000, 0, 25200, 5);
    Bytes b(w.bytes.begin() + 4, w.bytes.end());
    b.push_back(0x00);
    auto p = ParseFrom<CPackHeader>(b);
    EXPECT_EQ(p.consumed, 15u);
    EXPECT_EQ(p.element.m_nStuffingLength, 5u);
    EXPECT_EQ(p.element.m_nScrBase, 90000u);
    CResultTree t;
    EXPECT_EQ(LineText(t, t.AddValue(kNoItem, LineFmt::Scr, p.element.m_nScrBase)), "SCR = 1000.00 ms");

    StreamWriter w33;
    w33.PackHeader((1ull << 32) + 90000);
    auto q = ParseFrom<CPackHeader>(Bytes(w33.bytes.begin() + 4, w33.bytes.end()));
    EXPECT_EQ(q.element.m_nScrBase, (1ull << 32) + 90000);
    EXPECT_EQ(q.element.m_nScr32_30, 4u);
    // The 33rd bit counts on screen.
    EXPECT_EQ(LineText(t, t.AddValue(kNoItem, LineFmt::Scr, q.element.m_nScrBase)), "SCR = 47722858.84 ms");
}

TEST(PackHeader, Mpeg1PackAndShortInput)
{
    StreamWriter w;
    w.Mpeg1PackHeader(3600, 1000);
    w.Append({0x00, 0x00});  // two more bytes to make ten
    auto p = ParseFrom<CPackHeader>(Bytes(w.bytes.begin() + 4, w.bytes.end()));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.element.m_nMarker01, 0u);

    auto s = ParseFrom<CPackHeader>({0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3});
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.element.m_nMarker01, 0u);
    EXPECT_EQ(s.element.m_nProgramMuxRate, 0u);
    EXPECT_EQ(s.element.m_nMuxRateBps, 0u);
}

// ---------------------------------------------------------------------------- system header

Bytes SystemHeaderBytes(const Bytes& header)
{
    Bytes b = {static_cast<uint8_t>(header.size() >> 8), static_cast<uint8_t>(header.size())};
    b.insert(b.end(), header.begin(), header.end());
    return b;
}

TEST(SystemHeader, EntryCountFollowsTheHeaderLength)
{
    const Bytes fixed = {0x80, 0x00, 0x01, 0x04, 0xE1, 0x7F};
    const Bytes entries = {0xE0, 0xE0, 0xE8, 0xC0, 0xC0, 0x20, 0xBD, 0xE0, 0x3A};
    struct Case
    {
        size_t length;
        size_t streams;
    } cases[] = {{6, 0}, {7, 0}, {8, 0}, {9, 1}, {12, 2}, {14, 2}, {15, 3}};
    for (const Case& c : cases)
    {
        Bytes h = fixed;
        h.insert(h.end(), entries.begin(), entries.end());
        h.resize(c.length, 0xFF);
        auto p = ParseFrom<CSystemHeader>(SystemHeaderBytes(h));
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.element.m_streams.size(), c.streams) << "length " << c.length;
        EXPECT_EQ(p.consumed, 2 + c.length);
    }
}

TEST(SystemHeader, ShortHeaderReadsNothingBeyondItsBytes)
{
    // Header length 3: the rate bound is there, everything after it stays 0.
    auto p = ParseFrom<CSystemHeader>({0x00, 0x03, 0xFF, 0xFF, 0xFF, 0x77, 0x77, 0x77});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.consumed, 5u);
    EXPECT_EQ(p.element.m_nRateBound, 0x3FFFFFu);
    EXPECT_EQ(p.element.m_nAudioBound, 0u);
    EXPECT_EQ(p.element.m_nReservedByte, 0u);
    EXPECT_TRUE(p.element.m_streams.empty());
    // Cut short inside the header: nothing decoded, length shown as 0.
    auto s = ParseFrom<CSystemHeader>({0x00, 0x0C, 0x80, 0x01});
    EXPECT_FALSE(s.ok);
    CResultTree t;
    EXPECT_EQ(LineText(t, t.Child(ShowSystemHeader(t, kNoItem, s.element), 0)), "Header Length = 0");
}

TEST(SystemHeader, DisplayLines)
{
    StreamWriter w;
    w.SystemHeader({{0xE0, 1, 232}, {0xC0, 0, 32}, {0xBD, 1, 58}}, 0x3FFFFF, 2, 1, false, true);
    auto p = ParseFrom<CSystemHeader>(Bytes(w.bytes.begin() + 4, w.bytes.end()));
    ASSERT_TRUE(p.ok);
    CResultTree t;
    const ItemId parent = t.AddText(kNoItem, "Essentials", TreeImage::Plus);
    ShowSystemHeader(t, parent, p.element);
    const ItemId group = ShowSystemHeader(t, parent, p.element);  // each call adds a group of its own
    ASSERT_EQ(t.ChildCount(parent), 2u);
    EXPECT_EQ(LineText(t, group), "System Header");
    EXPECT_EQ(ChildTexts(t, group),
              (Strings{"Header Length = 15", "Rate Bound = 0x3fffff (1677721200 bps)", "Audio Bound = 2 stream(s)",
                       "fixed flag = 0 (VBR)", "CSPS flag = 1 (constrained parms)", "system audio lock = 1",
                       "system video lock = 1", "Video Bound = 1 stream(s)",
                       "Stream ID 0xE0 (Video Stream 0)", "   P-STD bound scale: 1 ", "   P-STD bound size: 232 ",
                       "   [P-STD bound: 237568 (232 kB)]",
                       "Stream ID 0xC0 (Audio Stream 0)", "   P-STD bound scale: 0 ", "   P-STD bound size: 32 ",
                       "   [P-STD bound: 4096 (4 kB)]",
                       "Stream ID 0xBD ", "   P-STD bound scale: 1 ", "   P-STD bound size: 58 ",
                       "   [P-STD bound: 59392 (58 kB)]"}));
}

// ---------------------------------------------------------------------------- PES header

Bytes PesBytes(const Bytes& payload, const PesOptions& o, uint8_t id = 0xE0)
{
    StreamWriter w;
    w.PesPacket(id, payload, o);
    return Bytes(w.bytes.begin() + 4, w.bytes.end());
}

TEST(PesHeader, MinimalHeader)
{
    auto p = ParseFrom<CPesHeader>({0x00, 0x00, 0x80, 0x00, 0x00, 0x47});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.consumed, 5u);
    p.element.m_nStreamId = 0xBD;
    CResultTree t;
    const ItemId data = t.AddGroup(kNoItem, LineFmt::Data);
    const ItemId stream = ShowPesStreamLine(t, data, p.element);
    EXPECT_EQ(LineText(t, stream), "Stream 0xBD ");
    EXPECT_EQ(ChildTexts(t, ShowPesHeader(t, stream, p.element)),
              (Strings{"Packet length = 0", "marker = 02", "scrambling control = 0x0", "prio = 0", "data alignment = 0",
                       "copyright = 0", "original/copy = 0", "PTS/DTS flags = 0", "ESCR = 0", "ESRATE = 0",
                       "DSM trickmode = 0", "add. copy info = 0", "CRC flag = 0", "PES extension = 0",
                       "header data length = 0"}));
}

TEST(PesHeader, TimeStamps)
{
    // The five bytes 21 00 05 BF 21: PTS 90000.
    auto p = ParseFrom<CPesHeader>({0x00, 0x08, 0x80, 0x80, 0x05, 0x21, 0x00, 0x05, 0xBF, 0x21});
    EXPECT_EQ(p.element.m_nPts, 90000u);
    p.element.m_nStreamId = 0xC0;
    CResultTree t;
    const ItemId stream = ShowPesStreamLine(t, kNoItem, p.element);
    EXPECT_EQ(LineText(t, stream), "Stream 0xC0 (Audio Stream 0), PTS: 1000.00 ms");
    EXPECT_EQ(ChildTexts(t, ShowPesHeader(t, stream, p.element)).back(), "PTS = 1000.00 ms (90000)");

    PesOptions o;
    o.pts = (1ull << 32) | 90000;
    o.dts = 0x80000000ull;
    auto q = ParseFrom<CPesHeader>(PesBytes({}, o));
    EXPECT_EQ(q.consumed, 15u);
    EXPECT_EQ(q.element.m_nPts, (1ull << 32) | 90000);
    EXPECT_EQ(q.element.m_nDts, 0x80000000u);
    // Time stamps show all 33 bits, the raw value unsigned.
    q.element.m_nStreamId = 0xE0;
    CResultTree u;
    EXPECT_EQ(LineText(u, ShowPesStreamLine(u, kNoItem, q.element)), "Stream 0xE0 (Video Stream 0), PTS: 47722858.84 ms");
    AddPesFieldLines(u, kNoItem, q.element);
    const Strings lines = ChildTexts(u, kNoItem);
    EXPECT_EQ(lines[lines.size() - 2], "PTS = 47722858.84 ms (4295057296)");
    EXPECT_EQ(lines.back(), "DTS = 23860929.42 ms (2147483648)");
}

TEST(PesHeader, ExtensionFieldOffsets)
{
    struct Case
    {
        bool priv, packField, counter;
        int scale, size;
        int bytes, kb;
    } cases[] = {
        {false, false, false, 1, 232, 237568, 232},
        {false, false, false, 0, 32, 4096, 4},
        {true, false, false, 1, 100, 102400, 100},
        {true, true, true, 0, 8191, 1048448, 1023},
        {false, true, false, 1, 1, 1024, 1},
    };
    for (const Case& c : cases)
    {
        PesOptions o;
        o.pts = 1234;
        o.escr = o.esRate = o.crc = true;  // the fields before the extension move it on
        o.extension = true;
        o.privateData = c.priv;
        if (c.packField)
            o.packHeaderField = Bytes{0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04};
        o.sequenceCounter = c.counter;
        o.pstdBuffer = std::make_pair(c.scale, c.size);
        auto p = ParseFrom<CPesHeader>(PesBytes({1, 2, 3}, o));
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.element.m_nPstdBufferScale, c.scale);
        EXPECT_EQ(p.element.m_nPstdBufferSize, c.size);
        CResultTree t;
        AddPesFieldLines(t, kNoItem, p.element);
        // ... "PES extension = 1" > "P-STD buffer flag = 1" > "P-STD buffer: %d (%d kB)"
        const ItemId ext = t.Child(kNoItem, 13);
        ASSERT_EQ(LineText(t, ext), "PES extension = 1");
        const ItemId pstd = t.Child(ext, 3);
        ASSERT_EQ(LineText(t, pstd), "P-STD buffer flag = 1");
        EXPECT_EQ(LineText(t, t.Child(pstd, 0)),
                  "P-STD buffer: " + std::to_string(c.bytes) + " (" + std::to_string(c.kb) + " kB)");
        EXPECT_EQ(ChildTexts(t, ext)[0], std::string("PES private data = ") + (c.priv ? "1" : "0"));
    }
}

TEST(PesHeader, FieldsTheHeaderDataDoesNotCoverStayZero)
{
    // Flags 3 announce ten bytes of time stamps; only seven are there.
    PesOptions o;
    o.pts = 90000;
    o.dts = 45000;
    o.headerDataLength = 7;
    auto p = ParseFrom<CPesHeader>(PesBytes({}, o));
    EXPECT_EQ(p.element.m_nPts, 90000u);
    EXPECT_EQ(p.element.m_nDts, 0u);
    EXPECT_EQ(p.consumed, 12u);

    // An extension whose P-STD field lies behind the header data.
    PesOptions e;
    e.extension = true;
    e.pstdBuffer = std::make_pair(1, 232);
    e.headerDataLength = 2;
    auto q = ParseFrom<CPesHeader>(PesBytes({}, e));
    EXPECT_EQ(q.element.m_nPstdBufferFlag, 1);
    EXPECT_EQ(q.element.m_nPstdBufferSize, 0);

    // Flags 01: nothing decoded, the DTS line still shown with zeros.
    PesOptions f;
    f.pts = 90000;
    f.forbiddenPtsDtsFlags = true;
    auto r = ParseFrom<CPesHeader>(PesBytes({}, f));
    CResultTree t;
    AddPesFieldLines(t, kNoItem, r.element);
    EXPECT_EQ(ChildTexts(t, kNoItem).back(), "DTS = 0.00 ms (0)");
    EXPECT_EQ(r.element.PayloadSize(), 0);
}

}  // namespace
