#pragma once
// The start codes (00 00 01 xx) of a payload that arrives in pieces, the ones that piece
// boundaries cut included: each is reported once, when its fourth byte arrives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        // The start codes within data whose code byte is there too.
        size_t j = 0;  // where one may begin
#if defined(__SSE2__)
        // Sixteen places at a time: 00 at j, 00 at j + 1 and 01 at j + 2. Payloads are
        // mostly slice data, where a 01 byte comes every 256 bytes or so and a start code
        // every few hundred: looking for the three bytes at once costs less than stopping
        // at every 01.
        const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
        for (; j + 18 <= n; j += 16)
        {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 1));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 2));
            const __m128i hits =
                _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero)), _mm_cmpeq_epi8(c, one));
            for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1)
            {
                const size_t at = j + static_cast<size_t>(__builtin_ctz(mask));
                if (at + 3 < n)
                    found(data[at + 3], base + at, data + at + 4, n - at - 4);
            }
        }
#else
        // Each 01, then the two zeros before it.
        for (size_t i = 2; i + 1 < n;)
        {
            const void* hit = std::memchr(data + i, 1, n - 1 - i);
            if (!hit)
                break;
            const size_t k = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
            if (data[k - 1] == 0 && data[k - 2] == 0)
                found(data[k + 1], base + k - 2, data + k + 2, n - k - 2);
            i = k + 1;
        }
        j = n;
#endif
        for (; j + 3 < n; ++j)
            if (data[j] == 0 && data[j + 1] == 0 && data[j + 2] == 1)
                found(data[j + 3], base + j, data + j + 4, n - j - 4);
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
