#include "analysis/FrameWalk.h"

#include <cstring>

size_t CFrameWalk::HeaderBytes() const
{
    switch (m_codec)
    {
    case Codec::MpegAudio: return 4;
    case Codec::Ac3: return 8;   // syncinfo and the bit stream information up to lfeon
    case Codec::Dts: return 11;  // up to LFF
    }
    return 4;
}

bool CFrameWalk::CouldBeSync(const uint8_t* p, size_t n) const
{
    switch (m_codec)
    {
    case Codec::MpegAudio: return n >= 1 && p[0] == 0xFF && (n < 2 || (p[1] & 0xF0) == 0xF0);
    case Codec::Ac3: return n >= 1 && p[0] == 0x0B && (n < 2 || p[1] == 0x77);
    case Codec::Dts:
    {
        static const uint8_t kSync[4] = {0x7F, 0xFE, 0x80, 0x01};
        return n >= 1 && std::memcmp(p, kSync, n < 4 ? n : 4) == 0;
    }
    }
    return false;
}

uint32_t CFrameWalk::FrameLength(const uint8_t* header)
{
    switch (m_codec)
    {
    case Codec::MpegAudio:
    {
        const int32_t length = m_mpeg.Parse(header, 4);
        return length > 0 ? static_cast<uint32_t>(length) : 0;
    }
    case Codec::Ac3: return m_ac3.Parse(header, HeaderBytes());
    case Codec::Dts: return m_dts.Parse(header, HeaderBytes());
    }
    return 0;
}

size_t CFrameWalk::FindSync(const uint8_t* data, size_t size, size_t from) const
{
    const uint8_t lead = m_codec == Codec::MpegAudio ? 0xFF : m_codec == Codec::Ac3 ? 0x0B : 0x7F;
    while (from < size)
    {
        const void* hit = std::memchr(data + from, lead, size - from);
        if (!hit)
            return size;
        const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        if (CouldBeSync(data + at, size - at))
            return at;
        from = at + 1;
    }
    return size;
}
