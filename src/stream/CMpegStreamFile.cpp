#include "stream/CMpegStreamFile.h"

namespace
{
// Position of the first 01 byte at or after from (from >= 2) that two zero bytes
// precede, or n when there is none.
inline uint32_t FindCodeEnd(const uint8_t* p, uint32_t from, uint32_t n)
{
    while (from < n)
    {
        const void* hit = std::memchr(p + from, 0x01, n - from);
        if (!hit)
            return n;
        const auto j = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - p);
        if (p[j - 1] == 0 && p[j - 2] == 0)
            return j;
        from = j + 1;
    }
    return n;
}
}  // namespace

uint64_t CMpegStreamFile::Seek(int64_t offset, SeekPosition from)
{
    m_nReadCursor = 0;
    m_nReadFill = 0;
    return CFile::Seek(offset, from);
}

bool CMpegStreamFile::NextStartCode(uint8_t& code)
{
    uint8_t w[3];
    if (Read(w, 3) != 3)
        return false;
    uint32_t window = (uint32_t{w[0]} << 16) | (uint32_t{w[1]} << 8) | w[2];

    if (!m_pReadBuffer)
    {
        // Unbuffered: slide the window one Read at a time.
        while (window != 0x000001)
        {
            uint8_t b;
            if (Read(&b, 1) != 1)
                return false;
            window = ((window << 8) | b) & 0xFFFFFF;
        }
        return Read(&code, 1) == 1;
    }

    while (window != 0x000001)
    {
        if (m_nReadCursor == m_nReadFill)
        {
            // What a one-byte Read on an empty buffer does: refill, or drain and fail.
            if (m_scanHook && !m_scanHook())
                return false;
            Refill();
            if (m_nReadFill == 0)
                return false;
        }
        const uint8_t* p = m_pReadBuffer.get() + m_nReadCursor;
        const uint32_t n = m_nReadFill - m_nReadCursor;

        // The first two bytes complete a code whose zeros may still be in the window.
        uint32_t k = 0;
        for (; k < n && k < 2; ++k)
        {
            window = ((window << 8) | p[k]) & 0xFFFFFF;
            if (window == 0x000001)
                break;
        }
        if (window == 0x000001)
        {
            m_nReadCursor += k + 1;
            m_nStreamPosition += k + 1;
            break;
        }
        // From here both zeros of a code lie in the buffer: look for its 01 byte.
        k = FindCodeEnd(p, k, n);
        if (k < n)
        {
            m_nReadCursor += k + 1;
            m_nStreamPosition += k + 1;
            window = 0x000001;
            break;
        }
        // Nothing here: the whole span is consumed; the window keeps its last three bytes.
        if (n >= 3)
            window = (uint32_t{p[n - 3]} << 16) | (uint32_t{p[n - 2]} << 8) | p[n - 1];
        m_nReadCursor += n;
        m_nStreamPosition += n;
    }
    return Read(&code, 1) == 1;
}

int32_t CMpegStreamFile::FindAudioSync(const uint8_t* bytes, int32_t length)
{
    if (length <= 1 || bytes == nullptr)
        return -1;
    const uint8_t* p = bytes;
    const uint8_t* last = bytes + length - 1;  // a sync needs a byte after the 0xFF
    while (p < last)
    {
        const void* hit = std::memchr(p, 0xFF, static_cast<size_t>(last - p));
        if (!hit)
            return -1;
        const uint8_t* q = static_cast<const uint8_t*>(hit);
        if ((q[1] & 0xF0) == 0xF0)
            return static_cast<int32_t>(q - bytes);
        p = q + 1;
    }
    return -1;
}
