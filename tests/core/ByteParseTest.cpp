// The element parsers over bytes in memory: every prefix of a header, damaged lengths,
// no bytes at all. Each parse gets a heap copy of exactly the bytes it may read, so the
// sanitizer build catches a read past them.

#include "support/StreamWriter.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// Parses the first n bytes of b from a buffer of exactly n bytes.
template <class Element>
Element ParsePrefix(const Bytes& b, size_t n, bool* ok = nullptr)
{
    auto copy = std::make_unique<uint8_t[]>(n > 0 ? n : 1);
    std::copy(b.begin(), b.begin() + static_cast<ptrdiff_t>(n), copy.get());
    Element e;
    const bool covered = e.Parse(copy.get(), n);
    if (ok)
        *ok = covered;
    return e;
}

Bytes AfterStartCode(const StreamWriter& w)
{
    return Bytes(w.bytes.begin() + 4, w.bytes.end());
}

TEST(ByteParse, PackHeaderPrefixes)
{
    StreamWriter w;
    w.PackHeader((1ull << 32) | 0x12345678u, 300, 25200, 3);
    const Bytes b = AfterStartCode(w);
    bool ok = false;
    const auto full = ParsePrefix<CPackHeader>(b, 10, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(full.m_nScrBase, (1ull << 32) | 0x12345678u);
    EXPECT_EQ(full.m_nScrExtension, 300u);
    EXPECT_EQ(full.m_nStuffingLength, 3u);
    for (size_t n = 0; n < 10; ++n)
    {
        const auto p = ParsePrefix<CPackHeader>(b, n, &ok);
        EXPECT_FALSE(ok) << n;
        // A field whose last byte is missing stays 0.
        EXPECT_EQ(p.m_nScr32_30, n >= 1 ? 4u : 0u) << n;
        EXPECT_EQ(p.m_nScr29_15, n >= 3 ? full.m_nScr29_15 : 0u) << n;
        EXPECT_EQ(p.m_nScrBase, n >= 5 ? full.m_nScrBase : p.m_nScrBase & ~0x7FFFull) << n;
        EXPECT_EQ(p.m_nScrExtension, n >= 6 ? 300u : 0u) << n;
        EXPECT_EQ(p.m_nProgramMuxRate, n >= 9 ? full.m_nProgramMuxRate : 0u) << n;
        EXPECT_EQ(p.m_nStuffingLength, 0u) << n;
    }
    EXPECT_EQ(ParsePrefix<CPackHeader>(b, 0).m_nMarker01, 0u);
}

TEST(ByteParse, SystemHeaderPrefixesAndDamagedLength)
{
    StreamWriter w;
    w.SystemHeader({{0xE0, 1, 232}, {0xC0, 0, 32}, {0xBD, 1, 58}}, 0x3FFFFF, 2, 1);
    const Bytes b = AfterStartCode(w);
    ASSERT_EQ(b.size(), 17u);
    bool ok = false;
    for (size_t n = 0; n <= b.size(); ++n)
    {
        const auto s = ParsePrefix<CSystemHeader>(b, n, &ok);
        EXPECT_EQ(ok, n == b.size()) << n;
        EXPECT_EQ(s.m_nSize, n >= 2 ? 17 : 0) << n;
        EXPECT_EQ(s.m_nRateBound, n >= 5 ? 0x3FFFFFu : 0u) << n;
        EXPECT_EQ(s.m_nVideoBound, n >= 7 ? 1u : 0u) << n;
        // Only whole stream entries count.
        EXPECT_EQ(s.m_streams.size(), n >= 8 ? (n - 8) / 3 : 0u) << n;
    }
    // A length far beyond the bytes: what is there is read, nothing more.
    Bytes damaged = b;
    damaged[0] = damaged[1] = 0xFF;
    const auto d = ParsePrefix<CSystemHeader>(damaged, damaged.size(), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(d.m_nSize, 0xFFFF + 2);
    EXPECT_EQ(d.m_streams.size(), 3u);
}

TEST(ByteParse, PesHeaderPrefixesAndDamagedLengths)
{
    PesOptions o;
    o.pts = (1ull << 32) | 90000;  // bit 32 set
    o.dts = 1ull << 31;
    o.extension = true;
    o.pstdBuffer = std::make_pair(1, 232);
    StreamWriter w;
    w.PesPacket(0xE0, {1, 2, 3}, o);
    const Bytes b = AfterStartCode(w);
    const size_t header = 5 + b[4];
    ASSERT_EQ(header, 5u + 10 + 1 + 2);
    bool ok = false;
    for (size_t n = 0; n <= header; ++n)
    {
        const auto p = ParsePrefix<CPesHeader>(b, n, &ok);
        EXPECT_EQ(ok, n == header) << n;
        EXPECT_EQ(p.m_nPtsDtsFlags, n >= 4 ? 3 : 0) << n;
        EXPECT_EQ(p.m_nPts, n >= 10 ? (1ull << 32) | 90000 : 0u) << n;
        EXPECT_EQ(p.m_nDts, n >= 15 ? 1ull << 31 : 0u) << n;
        EXPECT_EQ(p.m_nPstdBufferSize, n >= header ? 232 : 0) << n;
    }
    // A header data length beyond the bytes at hand, and beyond the packet: only what
    // both cover is taken.
    Bytes damaged(b.begin(), b.begin() + static_cast<ptrdiff_t>(header));
    damaged[4] = 0xFF;
    const auto d = ParsePrefix<CPesHeader>(damaged, damaged.size(), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(d.m_nDts, 1ull << 31);
    EXPECT_EQ(d.m_nHeaderDataLength, 0xFF);
    // Flags that announce everything over a header of one byte.
    const Bytes flags = {0x00, 0x10, 0xFF, 0xFF, 0x01, 0xFF};
    const auto f = ParsePrefix<CPesHeader>(flags, flags.size(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(f.m_nPts, 0u);
    EXPECT_EQ(f.m_nPstdBufferSize, 0);
    CPesHeader none;
    EXPECT_FALSE(none.Parse(nullptr, 20));
    EXPECT_EQ(none.m_nPacketLength, 0);
}

TEST(ByteParse, VideoHeadersPrefixes)
{
    const Bytes seq = {0x2D, 0x02, 0x40, 0x23, 0x17, 0xED, 0x23, 0x80};
    bool ok = false;
    for (size_t n = 0; n <= seq.size(); ++n)
    {
        const auto s = ParsePrefix<CSequenceHeader>(seq, n, &ok);
        EXPECT_EQ(ok, n == seq.size()) << n;
        EXPECT_EQ(s.m_nVerticalSize, n >= 3 ? 576 : 0) << n;
        EXPECT_EQ(s.m_nAspectRatioCode, n >= 4 ? 2 : 0) << n;
        EXPECT_EQ(s.m_nBitRate, n >= 7 ? 9800000 : 0) << n;
        EXPECT_EQ(s.m_nVbvBufferSize, n == 8 ? 112 : 0) << n;
    }
    const Bytes gop = {0x04, 0x28, 0x62, 0x40};
    const Bytes pic = {0x01, 0x5F, 0xFF, 0xF8};
    for (size_t n = 0; n <= 4; ++n)
    {
        const auto g = ParsePrefix<CGopHeader>(gop, n, &ok);
        EXPECT_EQ(ok, n == 4) << n;
        EXPECT_EQ(g.m_nClosedGop, n == 4 ? 1 : 0) << n;
        EXPECT_EQ(g.m_nHours, n >= 1 ? 1 : 0) << n;
        EXPECT_EQ(g.m_nPictures, n == 4 ? 4 : 0) << n;
        const auto p = ParsePrefix<CPictureHeader>(pic, n, &ok);
        EXPECT_EQ(ok, n == 4) << n;
        EXPECT_EQ(p.m_nCodingType, n >= 2 ? 3 : 0) << n;
        EXPECT_EQ(p.m_nVbvDelay, n == 4 ? 0xFFFF : 0) << n;
    }
}

}  // namespace
