#pragma once
// Pack header (after 00 00 01 BA), always read with the MPEG-2 layout: ten fixed bytes
// and up to seven stuffing bytes. An MPEG-1 pack shows as "Marker (01) = 00".

#include <cstddef>
#include <cstdint>

class CStreamFile;

class CPackHeader
{
public:
    // b: the bytes after the start code, n of them. True when n covers the ten fixed
    // bytes; a field whose last byte lies beyond n stays 0. Stuffing is not read.
    bool Parse(const uint8_t* b, size_t n);
    // The ten fixed bytes and the stuffing from file, then the fields from them.
    bool Parse(CStreamFile& file);

    uint32_t m_nMarker01 = 0;        // 2 bits
    uint32_t m_nScr32_30 = 0;        // 3 bits
    uint32_t m_nMarker1 = 0;         // 1 bit
    uint32_t m_nScr29_15 = 0;        // 15 bits
    uint32_t m_nMarker2 = 0;         // 1 bit
    uint32_t m_nScr14_0 = 0;         // 15 bits
    uint32_t m_nMarker3 = 0;         // 1 bit
    uint32_t m_nScrExtension = 0;    // 9 bits
    uint32_t m_nMarker4 = 0;         // 1 bit
    uint32_t m_nProgramMuxRate = 0;  // 22 bits, 50 bytes/s units
    uint32_t m_nMarker5 = 0;         // 1 bit
    uint32_t m_nMarker6 = 0;         // 1 bit
    uint32_t m_nReserved = 0;        // 5 bits
    uint32_t m_nStuffingLength = 0;  // 3 bits
    uint64_t m_nScrBase = 0;         // 33-bit SCR base
    uint32_t m_nMuxRateBps = 0;      // program mux rate * 400
    uint8_t m_raw[10] = {};
};
