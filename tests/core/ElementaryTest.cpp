// Sequence, group of pictures, picture and audio frame headers.

#include "ParseHelper.h"
#include "analysis/TreeDisplay.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <gtest/gtest.h>

namespace
{

using Strings = std::vector<std::string>;

std::string AspectRatioLine(const CSequenceHeader& s)
{
    CResultTree t;
    return ChildTexts(t, ShowSequenceHeader(t, kNoItem, s))[2];
}

std::string PictureLine(const CPictureHeader& p)
{
    CResultTree t;
    return LineText(t, ShowPictureHeader(t, kNoItem, p));
}

TEST(SequenceHeader, ExampleBytes)
{
    auto p = ParseFrom<CSequenceHeader>({0x2D, 0x02, 0x40, 0x23, 0x17, 0xED, 0x23, 0x80, 0x99});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.consumed, 8u);
    const CSequenceHeader& s = p.element;
    EXPECT_EQ(s.m_nHorizontalSize, 720);
    EXPECT_EQ(s.m_nVerticalSize, 576);
    EXPECT_EQ(AspectRatioLine(s), "aspect ratio = 4:3");
    EXPECT_EQ(CSequenceHeader::FrameRateFor(s.m_nFrameRateCode), 25.0);
    EXPECT_EQ(s.m_nBitRate, 9800000);
    EXPECT_EQ(s.m_nVbvBufferSize, 112);
    EXPECT_EQ(s.m_nConstrainedParameters, 0);
    CResultTree t;
    const ItemId a = t.AddText(kNoItem, "a", 0), b = t.AddText(kNoItem, "b", 0);
    ShowSequenceHeader(t, a, s);
    ShowSequenceHeader(t, b, s);
    const Strings lines = {"horizontal size = 720", "vertical size = 576", "aspect ratio = 4:3", "bitrate = 9800000",
                           "VBV buffer size = 112 (== 224 KB)"};
    EXPECT_EQ(LineText(t, t.Child(a, 0)), "sequence header");
    EXPECT_EQ(ChildTexts(t, t.Child(a, 0)), lines);
    EXPECT_EQ(ChildTexts(t, t.Child(b, 0)), lines);
}

TEST(SequenceHeader, CodesAndLimits)
{
    // Aspect 0, frame rate 15, all 18 bit-rate bits, VBV 1023, constrained, marker bit 0.
    auto p = ParseFrom<CSequenceHeader>({0x10, 0x01, 0x00, 0x0F, 0xFF, 0xFF, 0xDF, 0xFC});
    EXPECT_EQ(AspectRatioLine(p.element), "aspect ratio = Forbidden (= 0)");
    EXPECT_EQ(CSequenceHeader::FrameRateFor(p.element.m_nFrameRateCode), 0.0);
    EXPECT_EQ(p.element.m_nBitRate, 104857200);
    EXPECT_EQ(p.element.m_nVbvBufferSize, 1023);
    EXPECT_EQ(p.element.m_nConstrainedParameters, 1);
    auto r = ParseFrom<CSequenceHeader>({0x10, 0x01, 0x00, 0x74, 0, 0, 0x20, 0});
    EXPECT_EQ(AspectRatioLine(r.element), "aspect ratio = Reserved (= 7)");
    EXPECT_EQ(CSequenceHeader::FrameRateFor(r.element.m_nFrameRateCode), 29.97);
    auto s = ParseFrom<CSequenceHeader>({0x2D, 0x02, 0x40, 0x23, 0x17, 0xED, 0x23});
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.element.m_nHorizontalSize, 0);
}

TEST(GopHeader, ExampleAndRanges)
{
    auto p = ParseFrom<CGopHeader>({0x04, 0x28, 0x62, 0x40});
    ASSERT_TRUE(p.ok);
    CResultTree t;
    ShowGopHeader(t, kNoItem, p.element);
    const ItemId g = t.Child(kNoItem, 0);
    EXPECT_EQ(LineText(t, g), "group of pictures");
    EXPECT_EQ(ChildTexts(t, g),
              (Strings{"drop flag = 0", "timecode :  01:02:03.04", "closed gop = 1", "broken link = 0"}));
    // Minutes 63, marker 0, drop and broken link set.
    auto q = ParseFrom<CGopHeader>({0x83, 0xF0, 0x00, 0x20});
    EXPECT_EQ(q.element.m_nMinutes, 63);
    EXPECT_EQ(q.element.m_nDropFlag, 1);
    EXPECT_EQ(q.element.m_nBrokenLink, 1);
    EXPECT_FALSE(ParseFrom<CGopHeader>({0x04, 0x28}).ok);
}

TEST(PictureHeader, ExampleAndCodingTypes)
{
    auto p = ParseFrom<CPictureHeader>({0x01, 0x5F, 0xFF, 0xF8});
    CResultTree t;
    ShowPictureHeader(t, kNoItem, p.element);
    const ItemId g = t.Child(kNoItem, 0);
    EXPECT_EQ(LineText(t, g), "picture (tref = 5, B-Frame)");
    EXPECT_EQ(ChildTexts(t, g), (Strings{"VBV delay = 65535 (0xFFFF)"}));
    EXPECT_EQ(PictureLine(ParseFrom<CPictureHeader>({0x00, 0x00, 0x00, 0x00}).element), "picture (tref = 0, Forbidden (= 0))");
    EXPECT_EQ(PictureLine(ParseFrom<CPictureHeader>({0x00, 0x30, 0x00, 0x00}).element), "picture (tref = 0, Reserved (= 6))");
    EXPECT_EQ(ParseFrom<CPictureHeader>({0x00, 0x08, 0x00, 0xD0}).element.m_nVbvDelay, 0x1A);
    EXPECT_FALSE(ParseFrom<CPictureHeader>({0x01, 0x5F, 0xFF}).ok);
}

struct AudioCase
{
    uint8_t b1, b2;
    int length;
    const char* duration;
};

TEST(AudioHeader, FrameLengthsAndDurations)
{
    const AudioCase cases[] = {
        {0xFD, 0xB0, 731, "26.12"},   // v1 layer II 224k 44.1 kHz
        {0xFD, 0xB2, 732, "26.12"},   // with padding
        {0xFD, 0xE4, 1152, "24.00"},  // v1 layer II 384k 48 kHz
        {0xFF, 0xC0, 416, "8.71"},    // v1 layer I 384k 44.1 kHz
        {0xFF, 0xC2, 420, "8.71"},
        {0xF3, 0x84, 192, "24.00"},   // v2 layer III 64k 24 kHz
        {0xFC, 0xB0, 731, "26.12"},   // protection 0: same length
    };
    for (const AudioCase& c : cases)
    {
        CAudioHeader h;
        const uint8_t bytes[4] = {0xFF, c.b1, c.b2, 0x04};
        EXPECT_EQ(h.Parse(bytes), c.length);
        char d[16];
        std::snprintf(d, sizeof d, "%.2f", h.m_dFrameDuration);
        EXPECT_STREQ(d, c.duration);
    }
}

TEST(AudioHeader, DisplayLines)
{
    CAudioHeader h;
    const uint8_t v1[4] = {0xFF, 0xFD, 0xB0, 0x04};
    h.Parse(v1);
    CResultTree t;
    ShowAudioHeader(t, kNoItem, h);
    EXPECT_EQ(ChildTexts(t, kNoItem),
              (Strings{"MPEG1, Level 2", "protection bit = 1 (no CRC)", "Bitrate idx = 11 (224000 bps)",
                       "Sampling Freq. idx = 0 (44.1 kHz)", "padding = 0 ", "Frame Size = 731 bytes (26.12 ms)"}));
    const uint8_t v2[4] = {0xFF, 0xF2, 0x80, 0x00};  // v2 layer III with CRC, 22.05 kHz
    h.Parse(v2);
    CResultTree u;
    ShowAudioHeader(u, kNoItem, h);
    EXPECT_EQ(ChildTexts(u, kNoItem)[1], "protection bit = 0 (has CRC)");
    EXPECT_EQ(ChildTexts(u, kNoItem)[3], "Sampling Freq. idx = 0 (22.1 kHz)");
}

TEST(AudioHeader, HeadersWithoutTableEntries)
{
    const uint8_t layer00[4] = {0xFF, 0xF9, 0xB0, 0x00};
    const uint8_t freeFormat[4] = {0xFF, 0xFD, 0x00, 0x00};
    const uint8_t badIndex[4] = {0xFF, 0xFD, 0xF0, 0x00};
    const uint8_t badFreq[4] = {0xFF, 0xFD, 0xBC, 0x00};
    for (const uint8_t* b : {layer00, freeFormat, badIndex, badFreq})
    {
        CAudioHeader h;
        EXPECT_EQ(h.Parse(b), 0);
        EXPECT_EQ(h.m_dFrameDuration, 0.0);
        CResultTree t;
        ShowAudioHeader(t, kNoItem, h);
        EXPECT_EQ(ChildTexts(t, kNoItem).back(), "Frame Size = 0 bytes (0.00 ms)");
    }
    CAudioHeader h;
    h.Parse(badFreq);
    EXPECT_EQ(h.m_nBitRate, 224);
    EXPECT_EQ(h.m_dSamplingFrequency, 0.0);
    h.Parse(layer00);
    EXPECT_EQ(h.m_nLayer, 4);
    EXPECT_EQ(h.m_nBitRate, 0);
    // Fewer than four bytes: the missing ones count as zero.
    const uint8_t two[2] = {0xFF, 0xFD};
    EXPECT_EQ(h.Parse(two, 2), 0);
    EXPECT_EQ(h.m_nBitRateIndex, 0);
}

}  // namespace
