#pragma once
// MPEG-1 system stream headers, which have their own layouts: the pack header (eight
// bytes after 00 00 01 BA, SCR on the 90 kHz clock, no extension, no stuffing) and the
// PES packet header (stuffing bytes, an optional STD buffer field, then the time stamps,
// with no flag bytes and no header length).

#include <cstddef>
#include <cstdint>

struct CMpeg1PackHeader
{
    // b: the bytes after the start code, n of them. False when n does not cover the eight
    // bytes or the first four bits are not 0010.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nPrefix = 0;          // 4 bits, 0010
    uint64_t m_nScr = 0;             // 33 bits, 90 kHz
    uint32_t m_nMarkers = 0;         // 5 marker bits, all ones in a valid header (0x1F)
    uint32_t m_nProgramMuxRate = 0;  // 22 bits, 50 bytes/s units
};

struct CMpeg1PesHeader
{
    // b: the bytes from PES_packet_length on, n of them. False when the header runs past
    // n or past the packet, or holds more than 16 stuffing bytes or a bad marker.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nPacketLength = 0;    // 16 bits
    uint32_t m_nStuffingBytes = 0;   // count of 0xFF bytes
    bool m_bStdBuffer = false;       // '01' present
    uint32_t m_nStdBufferScale = 0;  // 1 bit
    uint32_t m_nStdBufferSize = 0;   // 13 bits
    bool m_bPts = false, m_bDts = false;
    uint64_t m_nPts = 0;             // 33 bits
    uint64_t m_nDts = 0;             // 33 bits
    uint32_t m_nHeaderSize = 0;      // bytes after the length field up to the payload
};
