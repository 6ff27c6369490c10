#pragma once
// Video sequence header (after 00 00 01 B3): the eight fixed bytes.

#include <cstddef>
#include <cstdint>

class CStreamFile;

class CSequenceHeader
{
public:
    // b: the bytes after the start code, n of them. True when n covers the 8 fixed
    // bytes; missing bytes read as 0, so fields beyond n stay 0.
    bool Parse(const uint8_t* b, size_t n);
    bool Parse(CStreamFile& file);

    // Frames per second for a frame rate code, 0.0 for a forbidden or reserved one.
    static double FrameRateFor(int32_t code);

    int32_t m_nHorizontalSize = 0;   // 12 bits
    int32_t m_nVerticalSize = 0;     // 12 bits
    int32_t m_nAspectRatioCode = 0;  // 4 bits
    int32_t m_nFrameRateCode = 0;    // 4 bits
    int32_t m_nBitRate = 0;          // bit/s: 18-bit value * 400
    int32_t m_nVbvBufferSize = 0;    // 10 bits, 16 kbit units
    uint8_t m_nConstrainedParameters = 0;
    uint8_t m_raw[8] = {};
};
