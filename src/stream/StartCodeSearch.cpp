#include "stream/StartCodeSearch.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VARNODEL_X86 1
#endif

namespace startcode
{

namespace
{

// Byte by byte from j, up to the end.
size_t Tail(const uint8_t* data, size_t n, size_t j, uint32_t* out, size_t max, size_t found, size_t& next)
{
    for (; j + 3 < n; ++j)
        if (data[j] == 0 && data[j + 1] == 0 && data[j + 2] == 1)
        {
            if (found == max)
            {
                next = j;
                return found;
            }
            out[found++] = static_cast<uint32_t>(j);
        }
    next = n < 3 ? n : n - 3;
    return found;
}

#if VARNODEL_X86

// The places of a block whose mask bits are set, while there is room; false when full.
bool Take(unsigned mask, size_t base, size_t n, uint32_t* out, size_t max, size_t& found, size_t& next)
{
    for (; mask != 0; mask &= mask - 1)
    {
        const size_t at = base + static_cast<size_t>(__builtin_ctz(mask));
        if (at + 3 >= n)
            continue;
        if (found == max)
        {
            next = at;
            return false;
        }
        out[found++] = static_cast<uint32_t>(at);
    }
    return true;
}

// 00 at j, 00 at j + 1, 01 at j + 2, for sixteen j at a time.
size_t FindSse2(const uint8_t* data, size_t n, size_t from, uint32_t* out, size_t max, size_t& next)
{
    size_t found = 0;
    size_t j = from;
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    for (; j + 18 <= n; j += 16)
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 1));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j + 2));
        const __m128i hits =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero)), _mm_cmpeq_epi8(c, one));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0 && !Take(mask, j, n, out, max, found, next))
            return found;
    }
    return Tail(data, n, j, out, max, found, next);
}

// The same, thirty-two at a time.
__attribute__((target("avx2"))) size_t FindAvx2(const uint8_t* data, size_t n, size_t from, uint32_t* out,
                                                size_t max, size_t& next)
{
    size_t found = 0;
    size_t j = from;
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi8(1);
    for (; j + 34 <= n; j += 32)
    {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 1));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + j + 2));
        const __m256i hits = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a, zero), _mm256_cmpeq_epi8(b, zero)),
                                              _mm256_cmpeq_epi8(c, one));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hits));
        if (mask != 0 && !Take(mask, j, n, out, max, found, next))
            return found;
    }
    return Tail(data, n, j, out, max, found, next);
}


#endif

size_t FindBytes(const uint8_t* data, size_t n, size_t from, uint32_t* out, size_t max, size_t& next)
{
    return Tail(data, n, from, out, max, 0, next);
}

}  // namespace

Finders AllFinders()
{
#if VARNODEL_X86
    return {FindBytes, FindSse2, __builtin_cpu_supports("avx2") ? FindAvx2 : nullptr};
#else
    return {FindBytes, nullptr, nullptr};
#endif
}

size_t Find(const uint8_t* data, size_t n, size_t from, uint32_t* out, size_t max, size_t& next)
{
#if VARNODEL_X86
    static const Finder find = __builtin_cpu_supports("avx2") ? FindAvx2 : FindSse2;
    return find(data, n, from, out, max, next);
#else
    return FindBytes(data, n, from, out, max, next);
#endif
}

}  // namespace startcode
