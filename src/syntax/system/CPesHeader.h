#pragma once
// PES packet header, always read with the MPEG-2 syntax: two length bytes, two flag
// bytes, the header data length and the header data.

#include <cstddef>
#include <cstdint>

class CStreamFile;

class CPesHeader
{
public:
    // b: the bytes from PES_packet_length on, n of them. True when n covers the five
    // fixed bytes and the header data; fields beyond n stay 0. The stream id is the
    // caller's: it stands in the start code.
    bool Parse(const uint8_t* b, size_t n);
    // The fixed bytes and the header data from file, then the fields from them.
    bool Parse(CStreamFile& file);

    uint8_t m_nStreamId = 0;
    int32_t m_nPacketLength = 0;     // 16 bits
    uint8_t m_nMarkerBits = 0;       // 2 bits
    uint8_t m_nScramblingControl = 0;
    uint8_t m_nDataAlignment = 0;
    uint8_t m_nCopyright = 0;
    uint8_t m_nOriginalOrCopy = 0;
    uint8_t m_nPtsDtsFlags = 0;      // 2 bits
    uint8_t m_nEscrFlag = 0;
    uint8_t m_nDsmTrickModeFlag = 0;
    uint8_t m_nAdditionalCopyInfoFlag = 0;
    uint8_t m_nCrcFlag = 0;
    uint8_t m_nExtensionFlag = 0;
    uint8_t m_nPriority = 0;
    uint8_t m_nEsRateFlag = 0;
    uint8_t m_nHeaderDataLength = 0;
    uint8_t m_nPrivateDataFlag = 0;
    uint8_t m_nPackHeaderFieldFlag = 0;
    uint8_t m_nSequenceCounterFlag = 0;
    uint8_t m_nPstdBufferFlag = 0;
    uint8_t m_nExtReserved = 0;      // 3 bits
    uint8_t m_nExtensionFlag2 = 0;
    int32_t m_nPstdBufferScale = 0;  // 1 bit
    int32_t m_nPstdBufferSize = 0;   // 13 bits
    uint64_t m_nPts = 0;             // 33 bits
    uint64_t m_nDts = 0;             // 33 bits

    bool HasPts() const { return (m_nPtsDtsFlags & 2) != 0; }
    bool HasDts() const { return (m_nPtsDtsFlags & 1) != 0; }
    // PES packet length - header data length - 3: the payload behind the header.
    int32_t PayloadSize() const { return m_nPacketLength - m_nHeaderDataLength - 3; }

private:
    // The optional fields from have bytes of header data; the extension from have bytes.
    void ParseHeaderData(const uint8_t* d, uint32_t have);
    void ParseExtension(const uint8_t* x, uint32_t have);
};
