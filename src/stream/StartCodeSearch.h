#pragma once
// The search for start codes (00 00 01) in a block of memory, as fast as the machine
// allows: 32 places at a time where the processor has AVX2, 16 with SSE2, byte by byte
// elsewhere. Video payloads are mostly slice data, where a start code comes every few
// hundred bytes; this is where a walk over them spends its time.

#include <cstddef>
#include <cstdint>

namespace startcode
{

// The positions j >= from at which data (n bytes, fewer than 4 GiB) holds 00 00 01 and
// then a code byte (j + 3 < n), in order, at most max of them, into out; returns how
// many. next gets where a further search goes on.
size_t Find(const uint8_t* data, size_t n, size_t from, uint32_t* out, size_t max, size_t& next);

// Each way of searching on its own, for the tests; an entry is null where the machine
// cannot run it.
using Finder = size_t (*)(const uint8_t* data, size_t n, size_t from, uint32_t* out, size_t max, size_t& next);
struct Finders
{
    Finder bytes, sse2, avx2;
};
Finders AllFinders();

}  // namespace startcode
