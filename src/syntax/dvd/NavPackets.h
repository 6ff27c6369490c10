#pragma once
// DVD navigation packets in private stream 2: the general information of the
// presentation control packet (PCI, substream 0x00) and of the data search packet
// (DSI, substream 0x01) with the DSI's VOBU search pointers.

#include <cstddef>
#include <cstdint>

struct CNavPci
{
    // b: the packet payload after the substream byte, n bytes. False when short.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nNvPckLbn = 0;     // 32 bits: block number of this navigation pack
    uint32_t m_nVobuCat = 0;      // 16 bits
    uint32_t m_nVobuUopCtl = 0;   // 32 bits
    uint32_t m_nVobuSPtm = 0;     // 32 bits, 90 kHz
    uint32_t m_nVobuEPtm = 0;     // 32 bits
    uint32_t m_nVobuSeEPtm = 0;   // 32 bits
    uint32_t m_nEEltm = 0;        // 32 bits, BCD hours, minutes, seconds, frames
};

struct CNavDsi
{
    // b: the packet payload after the substream byte, n bytes. False when short.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nNvPckScr = 0;     // 32 bits
    uint32_t m_nNvPckLbn = 0;     // 32 bits
    uint32_t m_nVobuEa = 0;       // 32 bits: blocks to the VOBU's last pack
    uint32_t m_nVobu1stRefEa = 0; // 32 bits
    uint32_t m_nVobu2ndRefEa = 0; // 32 bits
    uint32_t m_nVobu3rdRefEa = 0; // 32 bits
    uint32_t m_nVobuVobIdn = 0;   // 16 bits
    uint32_t m_nVobuCIdn = 0;     // 8 bits
    uint32_t m_nCEltm = 0;        // 32 bits, BCD
    uint32_t m_nNextVobu = 0;     // 32 bits: flags in the top two bits, blocks below
    uint32_t m_nPrevVobu = 0;     // 32 bits
};
