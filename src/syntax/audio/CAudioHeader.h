#pragma once
// MPEG audio frame header (ISO/IEC 11172-3, 13818-3): four bytes in memory, the frame
// length and duration computed from them.

#include <cstdint>

class CAudioHeader
{
public:
    // Decodes the header at bytes (available bytes readable; missing ones count as 0)
    // and returns the frame length in bytes, 0 for a header without table entries.
    int32_t Parse(const uint8_t* bytes, int32_t available = 4);

    // kbit/s for version 1 or 2, layer 1..3, index 1..14; 0 without an entry.
    static int32_t BitRateFor(uint32_t version, uint32_t layer, uint32_t index);
    // kHz for version 1 or 2 and index 0..2; 0.0 without an entry.
    static double SamplingFrequencyFor(uint32_t version, uint32_t index);
    // Duration in ms of a frame with header bytes b1 and b2 (0.0 without entries).
    static double DurationFor(uint8_t b1, uint8_t b2);

    uint8_t m_nVersion = 0;          // 1: ID bit set, 2: lower sampling frequencies
    uint8_t m_nLayer = 0;            // 4 - layer bits
    uint8_t m_nProtectionBit = 0;
    uint8_t m_nBitRateIndex = 0;     // 4 bits
    int32_t m_nBitRate = 0;          // kbit/s
    uint8_t m_nSamplingFrequencyIndex = 0;  // 2 bits
    double m_dSamplingFrequency = 0.0;      // kHz
    uint8_t m_nPaddingBit = 0;
    int32_t m_nFrameLength = 0;      // bytes, header and padding included
    double m_dFrameDuration = 0.0;   // ms
    uint8_t m_raw[4] = {};
};
