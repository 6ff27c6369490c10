#include "syntax/system/CPesHeader.h"

#include "stream/CStreamFile.h"
#include "syntax/Mpeg.h"

#include <cstring>

// ---------------------------------------------------------------------------- parsing

bool CPesHeader::Parse(const uint8_t* bytes, size_t n)
{
    const uint8_t streamId = m_nStreamId;
    *this = CPesHeader();
    m_nStreamId = streamId;
    if (!bytes)
        n = 0;
    // The five fixed bytes, missing ones as 0.
    uint8_t f[5] = {};
    if (n > 0)
        std::memcpy(f, bytes, n < 5 ? n : 5);
    const uint32_t L1 = f[0], L0 = f[1], F1 = f[2], F2 = f[3], H = f[4];
    m_nPacketLength = static_cast<int32_t>((L1 << 8) | L0);
    m_nMarkerBits = static_cast<uint8_t>(F1 >> 6);
    m_nScramblingControl = (F1 >> 4) & 3;
    m_nPriority = (F1 >> 3) & 1;
    m_nDataAlignment = (F1 >> 2) & 1;
    m_nCopyright = (F1 >> 1) & 1;
    m_nOriginalOrCopy = F1 & 1;
    m_nPtsDtsFlags = static_cast<uint8_t>(F2 >> 6);
    m_nEscrFlag = (F2 >> 5) & 1;
    m_nEsRateFlag = (F2 >> 4) & 1;
    m_nDsmTrickModeFlag = (F2 >> 3) & 1;
    m_nAdditionalCopyInfoFlag = (F2 >> 2) & 1;
    m_nCrcFlag = (F2 >> 1) & 1;
    m_nExtensionFlag = F2 & 1;
    m_nHeaderDataLength = static_cast<uint8_t>(H);

    // Optional fields are taken only where both the header data and the bytes at hand
    // cover all of their bytes.
    const uint32_t have = n > 5 ? static_cast<uint32_t>(n - 5 < H ? n - 5 : H) : 0;
    if (have > 0)
        ParseHeaderData(bytes + 5, have);
    return n >= 5 && n - 5 >= H;
}

void CPesHeader::ParseHeaderData(const uint8_t* d, uint32_t have)
{
    auto covers = [&](uint32_t from, uint32_t count) { return from + count <= have; };
    uint32_t p = 0;
    if (m_nPtsDtsFlags == 2 || m_nPtsDtsFlags == 3)
    {
        if (covers(0, 5))
            m_nPts = mpeg::ReadTimeStamp(d);
        p = 5;
    }
    if (m_nPtsDtsFlags == 3)
    {
        if (covers(5, 5))
            m_nDts = mpeg::ReadTimeStamp(d + 5);
        p = 10;
    }
    if (m_nEscrFlag)
        p += 6;
    if (m_nEsRateFlag)
        p += 3;
    if (m_nDsmTrickModeFlag)
        p += 1;
    if (m_nAdditionalCopyInfoFlag)
        p += 1;
    if (m_nCrcFlag)
        p += 2;
    if (m_nExtensionFlag && covers(p, 1))
        ParseExtension(d + p, have - p);
}

void CPesHeader::ParseExtension(const uint8_t* x, uint32_t have)
{
    const uint32_t e = x[0];
    m_nPrivateDataFlag = static_cast<uint8_t>(e >> 7);
    m_nPackHeaderFieldFlag = (e >> 6) & 1;
    m_nSequenceCounterFlag = (e >> 5) & 1;
    m_nPstdBufferFlag = (e >> 4) & 1;
    m_nExtReserved = (e >> 1) & 7;
    m_nExtensionFlag2 = e & 1;

    auto covers = [&](uint32_t from, uint32_t count) { return from + count <= have; };
    uint32_t q = 1;
    if (m_nPrivateDataFlag)
        q += 16;
    if (m_nPackHeaderFieldFlag)
    {
        // The P-STD field lies behind the pack header field, whose length byte we need.
        if (!covers(q, 1))
            return;
        q += x[q] + 1u;
    }
    if (m_nSequenceCounterFlag)
        q += 2;
    if (m_nPstdBufferFlag && covers(q, 2))
    {
        m_nPstdBufferScale = (x[q] >> 5) & 1;
        m_nPstdBufferSize = static_cast<int32_t>(((uint32_t{x[q]} & 0x1F) << 8) | x[q + 1]);
    }
}

bool CPesHeader::Parse(CStreamFile& file)
{
    // Five fixed bytes and at most 255 of header data: no allocation per packet.
    uint8_t h[5 + 255];
    if (file.Read(h, 5) != 5)
        return false;
    const uint32_t H = h[4];
    if (file.Read(h + 5, H) != H)
        return false;
    return Parse(h, 5 + H);
}
