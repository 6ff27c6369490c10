#pragma once
// Video sequence header (after 00 00 01 B3): the eight fixed bytes.

#include "analysis/CResultTree.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CStreamFile;

class CSequenceHeader
{
public:
    CSequenceHeader() = default;
    virtual ~CSequenceHeader() = default;

    // b: the bytes after the start code, n of them. True when n covers the 8 fixed
    // bytes; missing bytes read as 0, so fields beyond n stay 0.
    bool Parse(const uint8_t* b, size_t n);
    bool Parse(CStreamFile& file);
    void Display(CResultTree& tree, const ItemId& parent) const;

    // "Forbidden (= 0)", "1:1 (square pixels)", "4:3", "16:9", "2,21:1", "Reserved (= %d)".
    static void AppendAspectRatioText(int32_t code, std::string& out);
    static double FrameRateFor(int32_t code);

    int32_t m_nHorizontalSize = 0;   // 12 bits
    int32_t m_nVerticalSize = 0;     // 12 bits
    int32_t m_nAspectRatioCode = 0;  // 4 bits
    int32_t m_nFrameRateCode = 0;    // 4 bits
    std::string m_strAspectRatio;
    double m_dFrameRate = 0.0;
    int32_t m_nBitRate = 0;          // bit/s: 18-bit value * 400
    int32_t m_nVbvBufferSize = 0;    // 10 bits, 16 kbit units
    uint8_t m_nConstrainedParameters = 0;
    uint8_t m_raw[8] = {};
};
