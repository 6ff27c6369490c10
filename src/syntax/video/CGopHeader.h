#pragma once
// Group of pictures header (after 00 00 01 B8): time code, closed GOP, broken link.

#include <cstddef>
#include <cstdint>

class CStreamFile;

class CGopHeader
{
public:
    // b: the bytes after the start code, n of them. True when n covers the 4 fixed
    // bytes; missing bytes read as 0, so fields beyond n stay 0.
    bool Parse(const uint8_t* b, size_t n);
    bool Parse(CStreamFile& file);

    uint8_t m_nDropFlag = 0;   // 1 bit
    uint8_t m_nHours = 0;      // 5 bits
    uint8_t m_nMinutes = 0;    // 6 bits
    uint8_t m_nSeconds = 0;    // 6 bits
    uint8_t m_nPictures = 0;   // 6 bits
    uint8_t m_nClosedGop = 0;  // 1 bit
    uint8_t m_nBrokenLink = 0; // 1 bit
    uint8_t m_raw[4] = {};
};
