#pragma once
// System header (after 00 00 01 BB) and the list of streams it declares.

#include <cstddef>
#include <cstdint>
#include <vector>

class CStreamFile;

class CSystemHeader
{
public:
    struct StreamEntry
    {
        uint32_t streamId = 0;       // 8 bits
        uint32_t markerBits = 0;     // 2 bits, 11 in a valid header
        uint32_t bufferBoundScale = 0;  // 1 bit
        uint32_t bufferSizeBound = 0;   // 13 bits
    };

    // b: the bytes from header_length on, n of them. True when n covers the whole
    // header; fields and stream entries beyond n stay 0 (absent).
    bool Parse(const uint8_t* b, size_t n);
    // The length field and the header from file, then the fields from them.
    bool Parse(CStreamFile& file);

    int32_t m_nSize = 0;             // header length + 2
    uint32_t m_nMarker1 = 0;
    uint32_t m_nRateBound = 0;       // 22 bits, 50 bytes/s units
    uint32_t m_nMarker2 = 0;
    uint32_t m_nAudioBound = 0;      // 6 bits
    uint32_t m_nFixedFlag = 0;
    uint32_t m_nCspsFlag = 0;
    uint32_t m_nSystemAudioLock = 0;
    uint32_t m_nSystemVideoLock = 0;
    uint32_t m_nMarker3 = 0;
    uint32_t m_nVideoBound = 0;      // 5 bits
    uint32_t m_nReservedByte = 0;    // header byte 5 whole
    std::vector<StreamEntry> m_streams;
};
