#include "syntax/video/CGopHeader.h"

#include "stream/CStreamFile.h"

#include <cstring>

// ---------------------------------------------------------------------------- parsing

bool CGopHeader::Parse(const uint8_t* bytes, size_t n)
{
    std::memset(m_raw, 0, sizeof m_raw);
    if (bytes)
        std::memcpy(m_raw, bytes, n < sizeof m_raw ? n : sizeof m_raw);
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3];
    // A field whose last byte is missing stays 0, not half read.
    const size_t have = bytes ? n : 0;
    auto upTo = [have](size_t end, uint32_t v) { return static_cast<uint8_t>(have >= end ? v : 0u); };
    m_nDropFlag = static_cast<uint8_t>(b0 >> 7);
    m_nHours = static_cast<uint8_t>((b0 >> 2) & 0x1F);
    m_nMinutes = upTo(2, (b0 & 3) * 16 + (b1 >> 4));
    m_nSeconds = upTo(3, (b1 & 7) * 8 + (b2 >> 5));
    m_nPictures = upTo(4, (b2 & 0x1F) * 2 + (b3 >> 7));
    m_nClosedGop = static_cast<uint8_t>((b3 >> 6) & 1);
    m_nBrokenLink = static_cast<uint8_t>((b3 >> 5) & 1);
    return bytes && n >= sizeof m_raw;
}

bool CGopHeader::Parse(CStreamFile& file)
{
    uint8_t b[4];
    return file.Read(b, sizeof b) == sizeof b && Parse(b, sizeof b);
}
