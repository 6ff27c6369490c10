#include "syntax/system/CPackHeader.h"

#include "stream/CStreamFile.h"

#include <cstring>

bool CPackHeader::Parse(const uint8_t* bytes, size_t n)
{
    std::memset(m_raw, 0, sizeof m_raw);
    if (bytes)
        std::memcpy(m_raw, bytes, n < sizeof m_raw ? n : sizeof m_raw);
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3], b4 = m_raw[4];
    const uint32_t b5 = m_raw[5], b6 = m_raw[6], b7 = m_raw[7], b8 = m_raw[8], b9 = m_raw[9];
    // A field whose last byte is missing stays 0, not half read.
    const size_t have = bytes ? n : 0;
    auto upTo = [have](size_t end, uint32_t v) { return have >= end ? v : 0u; };
    m_nMarker01 = b0 >> 6;
    m_nScr32_30 = (b0 >> 3) & 7;
    m_nMarker1 = (b0 >> 2) & 1;
    m_nScr29_15 = upTo(3, ((b0 & 3) << 13) | (b1 << 5) | (b2 >> 3));
    m_nMarker2 = (b2 >> 2) & 1;
    m_nScr14_0 = upTo(5, ((b2 & 3) << 13) | (b3 << 5) | (b4 >> 3));
    m_nMarker3 = (b4 >> 2) & 1;
    m_nScrExtension = upTo(6, ((b4 & 3) << 7) | (b5 >> 1));
    m_nMarker4 = b5 & 1;
    m_nProgramMuxRate = upTo(9, (b6 << 14) | (b7 << 6) | (b8 >> 2));
    m_nMarker5 = (b8 >> 1) & 1;
    m_nMarker6 = b8 & 1;
    m_nReserved = b9 >> 3;
    m_nStuffingLength = b9 & 7;

    m_nScrBase = (uint64_t{m_nScr32_30} << 30) | (m_nScr29_15 << 15) | m_nScr14_0;
    m_nMuxRateBps = m_nProgramMuxRate * 400;
    return bytes && n >= sizeof m_raw;
}

bool CPackHeader::Parse(CStreamFile& file)
{
    uint8_t b[10];
    if (file.Read(b, 10) != 10)
        return false;
    // A pack whose stuffing runs past the end of the data keeps zeros.
    const uint32_t n = b[9] & 7;
    uint8_t stuffing[7];
    for (uint32_t i = 0; i < n; ++i)
        if (file.Read(&stuffing[i], 1) != 1)
            return false;
    return Parse(b, sizeof b);
}
