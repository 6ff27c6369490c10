#include "syntax/system/CPesHeader.h"

#include "stream/CStreamFile.h"

#include <cstring>

namespace
{
// 33-bit time stamp from five bytes, marker bits ignored.
uint64_t TimeStamp(const uint8_t* t)
{
    return ((uint64_t{t[0]} & 0x0E) << 29) | (uint64_t{t[1]} << 22) | ((uint64_t{t[2]} & 0xFE) << 14)
        | (uint64_t{t[3]} << 7) | (uint64_t{t[4]} >> 1);
}
}  // namespace

// ---------------------------------------------------------------------------- parsing

bool CPesHeader::Parse(const uint8_t* bytes, size_t n)
{
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
    const uint8_t* d = have > 0 ? bytes + 5 : nullptr;
    auto covers = [&](uint32_t from, uint32_t count) { return from + count <= have; };
    uint32_t p = 0;
    if (m_nPtsDtsFlags == 2 || m_nPtsDtsFlags == 3)
    {
        if (covers(0, 5))
            m_nPts = TimeStamp(d);
        p = 5;
    }
    if (m_nPtsDtsFlags == 3)
    {
        if (covers(5, 5))
            m_nDts = TimeStamp(d + 5);
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
    {
        const uint32_t e = d[p];
        m_nPrivateDataFlag = static_cast<uint8_t>(e >> 7);
        m_nPackHeaderFieldFlag = (e >> 6) & 1;
        m_nSequenceCounterFlag = (e >> 5) & 1;
        m_nPstdBufferFlag = (e >> 4) & 1;
        m_nExtReserved = (e >> 1) & 7;
        m_nExtensionFlag2 = e & 1;

        uint32_t q = p + 1;
        if (m_nPrivateDataFlag)
            q += 16;
        bool reachable = true;  // false once a length byte we need lies outside the header
        if (m_nPackHeaderFieldFlag)
        {
            if (covers(q, 1))
                q += d[q] + 1u;
            else
                reachable = false;
        }
        if (m_nSequenceCounterFlag)
            q += 2;
        if (m_nPstdBufferFlag && reachable && covers(q, 2))
        {
            m_nPstdBufferScale = (d[q] >> 5) & 1;
            m_nPstdBufferSize = static_cast<int32_t>(((uint32_t{d[q]} & 0x1F) << 8) | d[q + 1]);
        }
    }
    return n >= 5 && n - 5 >= H;
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

// ---------------------------------------------------------------------------- display

void CPesHeader::Display(CResultTree& tree, ItemId parent)
{
    if (m_hStreamLineItem == kNoItem)
    {
        m_hStreamLineItem = HasPts() ? tree.AddGroup(parent, LineFmt::PesStreamPts, PackArgs(static_cast<uint32_t>(m_nPts), m_nStreamId))
                                     : tree.AddGroup(parent, LineFmt::PesStream, m_nStreamId);
    }
    if (m_hPesHeaderItem == kNoItem)
        m_hPesHeaderItem = tree.AddGroup(m_hStreamLineItem, LineFmt::PesHeader);
    AddFieldLines(tree, m_hPesHeaderItem);
}

void CPesHeader::DisplayHeader(CResultTree& tree, ItemId parent)
{
    AddFieldLines(tree, tree.AddGroup(parent, LineFmt::PesHeader));
}

void CPesHeader::AddFieldLines(CResultTree& tree, ItemId item) const
{
    tree.AddValue(item, LineFmt::PacketLength, static_cast<uint32_t>(m_nPacketLength));
    tree.AddValue(item, LineFmt::PesMarker, m_nMarkerBits);
    tree.AddValue(item, LineFmt::ScramblingControl, m_nScramblingControl);
    tree.AddValue(item, LineFmt::Prio, m_nPriority);
    tree.AddValue(item, LineFmt::DataAlignment, m_nDataAlignment);
    tree.AddValue(item, LineFmt::Copyright, m_nCopyright);
    tree.AddValue(item, LineFmt::OriginalCopy, m_nOriginalOrCopy);
    tree.AddValue(item, LineFmt::PtsDtsFlags, m_nPtsDtsFlags);
    tree.AddValue(item, LineFmt::Escr, m_nEscrFlag);
    tree.AddValue(item, LineFmt::EsRate, m_nEsRateFlag);
    tree.AddValue(item, LineFmt::DsmTrickMode, m_nDsmTrickModeFlag);
    tree.AddValue(item, LineFmt::AddCopyInfo, m_nAdditionalCopyInfoFlag);
    tree.AddValue(item, LineFmt::CrcFlag, m_nCrcFlag);

    if (m_nExtensionFlag)
    {
        const ItemId ext = tree.AddGroup(item, LineFmt::PesExtension, 1);
        tree.AddValue(ext, LineFmt::PesPrivateData, m_nPrivateDataFlag);
        tree.AddValue(ext, LineFmt::PackHeaderField, m_nPackHeaderFieldFlag);
        tree.AddValue(ext, LineFmt::SequenceCounter, m_nSequenceCounterFlag);
        if (m_nPstdBufferFlag)
        {
            const ItemId pstd = tree.AddGroup(ext, LineFmt::PstdBufferFlag, 1);
            const uint32_t bytes = static_cast<uint32_t>(m_nPstdBufferSize) * (m_nPstdBufferScale ? 1024u : 128u);
            tree.AddValue(pstd, LineFmt::PstdBuffer, bytes);
        }
        else
        {
            tree.AddValue(ext, LineFmt::PstdBufferFlag, 0);
        }
        tree.AddValue(ext, LineFmt::ReservedDec, m_nExtReserved);
        tree.AddValue(ext, LineFmt::PesExtensionField, m_nExtensionFlag2);
    }
    else
    {
        tree.AddValue(item, LineFmt::PesExtension, 0);
    }
    tree.AddValue(item, LineFmt::HeaderDataLength, m_nHeaderDataLength);
    if (HasPts())
        tree.AddValue(item, LineFmt::Pts, static_cast<uint32_t>(m_nPts));
    if (HasDts())
        tree.AddValue(item, LineFmt::Dts, static_cast<uint32_t>(m_nDts));
}
