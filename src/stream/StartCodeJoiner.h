#pragma once
// The start codes (00 00 01 xx) of a payload that arrives in pieces, the ones that piece
// boundaries cut included: each is reported once, when its fourth byte arrives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

class CStartCodeJoiner
{
public:
    // Calls found(code, position, after, available) for each start code completed by
    // data: position counts the bytes of all pieces so far (base is data[0]'s); after
    // points at the bytes following the code in data, available of them.
    template <class Found>
    void Scan(const uint8_t* data, size_t n, uint64_t base, Found&& found)
    {
        if (m_carryLen > 0)
        {
            uint8_t t[6];
            std::memcpy(t, m_carry, m_carryLen);
            const size_t extra = std::min<size_t>(3, n);
            std::memcpy(t + m_carryLen, data, extra);
            for (size_t p = 0; p < m_carryLen && p + 3 < m_carryLen + extra; ++p)
                if (t[p] == 0 && t[p + 1] == 0 && t[p + 2] == 1)
                {
                    const size_t next = p + 4 - m_carryLen;
                    found(t[p + 3], base - m_carryLen + p, data + next, n - next);
                }
        }
        // Find each 01, then look back for the two zeros.
        size_t i = 2;
        while (i + 1 < n)
        {
            const void* hit = std::memchr(data + i, 1, n - 1 - i);
            if (!hit)
                break;
            const size_t j = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
            if (data[j - 1] == 0 && data[j - 2] == 0)
                found(data[j + 1], base + j - 2, data + j + 2, n - j - 2);
            i = j + 1;
        }
        // Keep the last three bytes of all pieces so far.
        uint8_t t[6];
        std::memcpy(t, m_carry, m_carryLen);
        const size_t tail = std::min<size_t>(3, n);
        std::memcpy(t + m_carryLen, data + n - tail, tail);
        const size_t tn = m_carryLen + tail;
        m_carryLen = static_cast<uint32_t>(std::min<size_t>(3, tn));
        std::memcpy(m_carry, t + tn - m_carryLen, m_carryLen);
    }

private:
    uint8_t m_carry[3] = {};
    uint32_t m_carryLen = 0;
};
