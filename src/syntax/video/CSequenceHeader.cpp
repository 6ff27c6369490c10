#include "syntax/video/CSequenceHeader.h"

#include "stream/CStreamFile.h"
#include "syntax/Mpeg.h"

#include <cmath>
#include <cstring>


double CSequenceHeader::FrameRateFor(int32_t code)
{
    // The nominal rate to the thousandth: 30000/1001 is 29.97.
    const mpeg::FrameRate rate = code >= 0 ? mpeg::FrameRateOf(static_cast<uint32_t>(code)) : mpeg::FrameRate{};
    return std::round(1000.0 * rate.num / rate.den) / 1000.0;
}

// ---------------------------------------------------------------------------- parsing

bool CSequenceHeader::Parse(const uint8_t* bytes, size_t n)
{
    std::memset(m_raw, 0, sizeof m_raw);
    if (bytes)
        std::memcpy(m_raw, bytes, n < sizeof m_raw ? n : sizeof m_raw);
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3];
    const uint32_t b4 = m_raw[4], b5 = m_raw[5], b6 = m_raw[6], b7 = m_raw[7];
    // A field whose last byte is missing stays 0, not half read.
    const size_t have = bytes ? n : 0;
    auto upTo = [have](size_t end, uint32_t v) { return static_cast<int32_t>(have >= end ? v : 0u); };
    m_nHorizontalSize = upTo(2, (b0 << 4) | (b1 >> 4));
    m_nVerticalSize = upTo(3, ((b1 & 0x0F) << 8) | b2);
    m_nAspectRatioCode = static_cast<int32_t>(b3 >> 4);
    m_nFrameRateCode = static_cast<int32_t>(b3 & 0x0F);
    m_nBitRate = upTo(7, ((b4 * 256 + b5) * 4 + (b6 >> 6)) * 400);
    m_nVbvBufferSize = upTo(8, (b6 & 0x1F) * 32 + (b7 >> 3));
    m_nConstrainedParameters = static_cast<uint8_t>((b7 >> 2) & 1);
    return bytes && n >= sizeof m_raw;
}

bool CSequenceHeader::Parse(CStreamFile& file)
{
    uint8_t b[8];
    return file.Read(b, sizeof b) == sizeof b && Parse(b, sizeof b);
}
