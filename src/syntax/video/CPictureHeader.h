#pragma once
// Picture header (after 00 00 01 00): temporal reference, coding type, VBV delay.

#include <cstddef>
#include <cstdint>

class CStreamFile;

class CPictureHeader
{
public:
    // b: the bytes after the start code, n of them. True when n covers the 4 fixed
    // bytes; missing bytes read as 0, so fields beyond n stay 0.
    bool Parse(const uint8_t* b, size_t n);
    bool Parse(CStreamFile& file);

    int32_t m_nTemporalReference = 0;  // 10 bits
    uint8_t m_nCodingType = 0;         // 3 bits
    int32_t m_nVbvDelay = 0;           // 16 bits
    uint8_t m_raw[4] = {};
};
