#include "syntax/dvd/NavPackets.h"

namespace
{
uint32_t Be32(const uint8_t* b) { return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]; }
uint32_t Be16(const uint8_t* b) { return (uint32_t{b[0]} << 8) | b[1]; }

// Offsets in the DSI after its general information (32 bytes): seamless playback (148),
// seamless angles (54), then the VOBU search information: next video (4), 19 forward
// pointers, next VOBU, previous VOBU.
constexpr size_t kDsiNextVobu = 32 + 148 + 54 + 4 + 19 * 4;
constexpr size_t kDsiPrevVobu = kDsiNextVobu + 4;
}  // namespace

bool CNavPci::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 28)
        return false;
    m_nNvPckLbn = Be32(b);
    m_nVobuCat = Be16(b + 4);
    m_nVobuUopCtl = Be32(b + 8);
    m_nVobuSPtm = Be32(b + 12);
    m_nVobuEPtm = Be32(b + 16);
    m_nVobuSeEPtm = Be32(b + 20);
    m_nEEltm = Be32(b + 24);
    return true;
}

bool CNavDsi::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 32)
        return false;
    m_nNvPckScr = Be32(b);
    m_nNvPckLbn = Be32(b + 4);
    m_nVobuEa = Be32(b + 8);
    m_nVobu1stRefEa = Be32(b + 12);
    m_nVobu2ndRefEa = Be32(b + 16);
    m_nVobu3rdRefEa = Be32(b + 20);
    m_nVobuVobIdn = Be16(b + 24);
    m_nVobuCIdn = b[27];
    m_nCEltm = Be32(b + 28);
    if (n < kDsiPrevVobu + 4)
        return false;
    m_nNextVobu = Be32(b + kDsiNextVobu);
    m_nPrevVobu = Be32(b + kDsiPrevVobu);
    return true;
}
