#include "syntax/system/Mpeg1Headers.h"

#include "syntax/Mpeg.h"

#include <algorithm>

// ---------------------------------------------------------------------------- pack header

bool CMpeg1PackHeader::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 8)
        return false;
    m_nPrefix = b[0] >> 4;
    m_nScr = mpeg::ReadTimeStamp(b);
    m_nMarkers = (b[0] & 1) | ((b[2] & 1) << 1) | ((b[4] & 1) << 2) | ((b[5] >> 7) << 3) | ((b[7] & 1) << 4);
    m_nProgramMuxRate = ((uint32_t{b[5]} & 0x7F) << 15) | (uint32_t{b[6]} << 7) | (b[7] >> 1);
    return m_nPrefix == 2;
}

// ---------------------------------------------------------------------------- PES header

bool CMpeg1PesHeader::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 2)
        return false;
    m_nPacketLength = (uint32_t{b[0]} << 8) | b[1];
    const size_t end = std::min<size_t>(n, size_t{m_nPacketLength} + 2);
    size_t i = 2;
    while (i < end && b[i] == 0xFF)
        ++i;
    m_nStuffingBytes = static_cast<uint32_t>(i - 2);
    if (m_nStuffingBytes > 16 || i >= end)
        return false;
    if ((b[i] & 0xC0) == 0x40)
    {
        if (i + 2 > end)
            return false;
        m_bStdBuffer = true;
        m_nStdBufferScale = (b[i] >> 5) & 1;
        m_nStdBufferSize = ((uint32_t{b[i]} & 0x1F) << 8) | b[i + 1];
        i += 2;
        if (i >= end)
            return false;
    }
    const uint8_t prefix = b[i] >> 4;
    if (prefix == 2)
    {
        if (i + 5 > end)
            return false;
        m_bPts = true;
        m_nPts = mpeg::ReadTimeStamp(b + i);
        i += 5;
    }
    else if (prefix == 3)
    {
        if (i + 10 > end)
            return false;
        m_bPts = m_bDts = true;
        m_nPts = mpeg::ReadTimeStamp(b + i);
        m_nDts = mpeg::ReadTimeStamp(b + i + 5);
        i += 10;
    }
    else if (b[i] == 0x0F)
        i += 1;
    else
        return false;
    m_nHeaderSize = static_cast<uint32_t>(i - 2);
    return true;
}
