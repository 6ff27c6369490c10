#include "syntax/system/CSystemHeader.h"

#include "stream/CStreamFile.h"

#include <new>

CSystemHeader::CSystemHeader(const CSystemHeader& other)
    : m_nSize(other.m_nSize)
    , m_nMarker1(other.m_nMarker1)
    , m_nRateBound(other.m_nRateBound)
    , m_nMarker2(other.m_nMarker2)
    , m_nAudioBound(other.m_nAudioBound)
    , m_nFixedFlag(other.m_nFixedFlag)
    , m_nCspsFlag(other.m_nCspsFlag)
    , m_nSystemAudioLock(other.m_nSystemAudioLock)
    , m_nSystemVideoLock(other.m_nSystemVideoLock)
    , m_nMarker3(other.m_nMarker3)
    , m_nVideoBound(other.m_nVideoBound)
    , m_nReservedByte(other.m_nReservedByte)
    , m_streams(other.m_streams)
    , m_hParent(other.m_hParent)
    , m_hSystemHeaderItem(other.m_hSystemHeaderItem)
{
    if (other.m_pRaw && other.m_nSize > 0)
    {
        m_pRaw.reset(new (std::nothrow) uint8_t[static_cast<size_t>(other.m_nSize)]);
        if (m_pRaw)
            std::memcpy(m_pRaw.get(), other.m_pRaw.get(), static_cast<size_t>(other.m_nSize));
    }
}

// ---------------------------------------------------------------------------- parsing

bool CSystemHeader::Parse(const uint8_t* bytes, size_t n)
{
    if (!bytes || n < 2)
        return false;
    const uint32_t H = (uint32_t{bytes[0]} << 8) | bytes[1];
    m_nSize = static_cast<int32_t>(H + 2);

    // A header shorter than its six fixed bytes keeps zeros for the fields beyond it.
    const uint32_t have = n - 2 < H ? static_cast<uint32_t>(n - 2) : H;
    const uint8_t* h = bytes + 2;
    auto at = [&](uint32_t i) -> uint32_t { return i < have ? h[i] : 0; };
    if (have >= 1)
        m_nMarker1 = at(0) >> 7;
    if (have >= 3)
    {
        m_nRateBound = ((at(0) & 0x7F) << 15) | (at(1) << 7) | (at(2) >> 1);
        m_nMarker2 = at(2) & 1;
    }
    if (have >= 4)
    {
        m_nAudioBound = at(3) >> 2;
        m_nFixedFlag = (at(3) >> 1) & 1;
        m_nCspsFlag = at(3) & 1;
    }
    if (have >= 5)
    {
        m_nSystemAudioLock = at(4) >> 7;
        m_nSystemVideoLock = (at(4) >> 6) & 1;
        m_nMarker3 = (at(4) >> 5) & 1;
        m_nVideoBound = at(4) & 0x1F;
    }
    if (have >= 6)
        m_nReservedByte = at(5);

    m_streams.clear();
    const int32_t count = (static_cast<int32_t>(have) - 6) / 3;
    for (int32_t i = 0; i < count; ++i)
    {
        const uint8_t* e = h + 6 + 3 * i;
        StreamEntry entry;
        entry.streamId = e[0];
        entry.markerBits = e[1] >> 6;
        entry.bufferBoundScale = (e[1] >> 5) & 1;
        entry.bufferSizeBound = (uint32_t{e[1] & 0x1Fu} << 8) | e[2];
        m_streams.push_back(entry);
    }
    return have == H;
}

bool CSystemHeader::Parse(CStreamFile& file)
{
    uint8_t r[2];
    if (file.Read(r, 2) != 2)
        return false;
    const uint32_t H = (uint32_t{r[0]} << 8) | r[1];

    m_pRaw.reset(new (std::nothrow) uint8_t[H + 2]);
    if (!m_pRaw)
        return false;
    m_pRaw[0] = r[0];
    m_pRaw[1] = r[1];
    // A header cut short by the end of the data keeps zeros, its length too.
    if (file.Read(m_pRaw.get() + 2, H) != H)
        return false;
    return Parse(m_pRaw.get(), H + 2);
}

// ---------------------------------------------------------------------------- display

void CSystemHeader::Display(CResultTree& tree, ItemId parent)
{
    m_hParent = parent;
    m_hSystemHeaderItem = tree.AddGroup(parent, LineFmt::SystemHeader);
    const ItemId s = m_hSystemHeaderItem;

    // A header cut short before its length was taken shows 0, not -2.
    tree.AddValue(s, LineFmt::HeaderLength, static_cast<uint32_t>(m_nSize >= 2 ? m_nSize - 2 : 0));
    tree.AddValue(s, LineFmt::RateBound, m_nRateBound);
    tree.AddValue(s, LineFmt::AudioBound, m_nAudioBound);
    tree.AddValue(s, m_nFixedFlag ? LineFmt::FixedFlagFbr : LineFmt::FixedFlagVbr, m_nFixedFlag ? 1 : 0);
    tree.AddValue(s, m_nCspsFlag ? LineFmt::CspsConstrained : LineFmt::CspsUnconstrained, m_nCspsFlag ? 1 : 0);
    tree.AddValue(s, LineFmt::SystemAudioLock, m_nSystemAudioLock);
    tree.AddValue(s, LineFmt::SystemVideoLock, m_nSystemVideoLock);
    tree.AddValue(s, LineFmt::VideoBound, m_nVideoBound);

    for (const StreamEntry& e : m_streams)
    {
        const uint32_t bytes = e.bufferSizeBound * (e.bufferBoundScale ? 1024u : 128u);
        tree.AddValue(s, LineFmt::StreamIdEntry, e.streamId);
        tree.AddValue(s, LineFmt::PstdBoundScale, e.bufferBoundScale);
        tree.AddValue(s, LineFmt::PstdBoundSize, e.bufferSizeBound);
        tree.AddValue(s, LineFmt::PstdBound, bytes);
    }
}
