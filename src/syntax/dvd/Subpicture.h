#pragma once
// DVD subpicture unit: the unit header and the display control sequences, from which the
// display start and stop times come.

#include <cstddef>
#include <cstdint>

struct CSubpictureUnit
{
    // b: the whole unit (its first byte is the size field's), n bytes. False when the
    // header is short; control sequences that run past n are left out.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nSize = 0;             // 16 bits: unit size in bytes
    uint32_t m_nControlOffset = 0;    // 16 bits: offset of the first control sequence
    uint32_t m_nSequences = 0;        // control sequences read
    bool m_bStart = false, m_bStop = false, m_bForced = false;
    // Delays of the sequences holding the start and stop commands, in 90 kHz ticks from
    // the unit's presentation time (the coded delay counts 1024-tick units).
    uint32_t m_nStartDelay = 0;
    uint32_t m_nStopDelay = 0;
};
