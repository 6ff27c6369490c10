#include "syntax/system/CSystemHeader.h"

#include "stream/CStreamFile.h"

bool CSystemHeader::Parse(const uint8_t* bytes, size_t n)
{
    *this = CSystemHeader();
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

    std::vector<uint8_t> raw(H + 2);
    raw[0] = r[0];
    raw[1] = r[1];
    // A header cut short by the end of the data keeps zeros, its length too.
    if (file.Read(raw.data() + 2, H) != H)
        return false;
    return Parse(raw.data(), raw.size());
}
