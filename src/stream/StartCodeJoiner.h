#pragma once
// The start codes (00 00 01 xx) of a payload that arrives in pieces, the ones that piece
// boundaries cut included: each is reported once, when its fourth byte arrives.

#include "stream/StartCodeSearch.h"

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
        // The start codes within data whose code byte is there too, a batch at a time.
        uint32_t at[64];
        for (size_t from = 0; from + 3 < n;)
        {
            size_t next = n;
            const size_t count = startcode::Find(data, n, from, at, sizeof at / sizeof at[0], next);
            for (size_t i = 0; i < count; ++i)
                found(data[at[i] + 3], base + at[i], data + at[i] + 4, n - at[i] - 4);
            if (count < sizeof at / sizeof at[0])
                break;
            from = next;
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
