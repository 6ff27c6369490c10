#include "syntax/video/CPictureHeader.h"

#include "stream/CStreamFile.h"

#include <cstring>


// ---------------------------------------------------------------------------- parsing

bool CPictureHeader::Parse(const uint8_t* bytes, size_t n)
{
    std::memset(m_raw, 0, sizeof m_raw);
    if (bytes)
        std::memcpy(m_raw, bytes, n < sizeof m_raw ? n : sizeof m_raw);
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3];
    // A field whose last byte is missing stays 0, not half read.
    const size_t have = bytes ? n : 0;
    auto upTo = [have](size_t end, uint32_t v) { return static_cast<int32_t>(have >= end ? v : 0u); };
    m_nTemporalReference = upTo(2, b0 * 4 + (b1 >> 6));
    m_nCodingType = static_cast<uint8_t>((b1 >> 3) & 7);
    m_nVbvDelay = upTo(4, ((b1 & 7) * 256 + b2) * 32 + (b3 >> 3));
    return bytes && n >= sizeof m_raw;
}

bool CPictureHeader::Parse(CStreamFile& file)
{
    uint8_t b[4];
    return file.Read(b, sizeof b) == sizeof b && Parse(b, sizeof b);
}
