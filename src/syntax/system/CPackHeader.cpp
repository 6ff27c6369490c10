#include "syntax/system/CPackHeader.h"

#include "stream/CStreamFile.h"

// ---------------------------------------------------------------------------- parsing

bool CPackHeader::Parse(CStreamFile& file)
{
    uint8_t b[10];
    if (file.Read(b, 10) != 10)
        return false;
    std::memcpy(m_raw, b, 10);
    const uint32_t n = b[9] & 7;
    for (uint32_t i = 0; i < n; ++i)
        if (file.Read(&m_stuffing[i], 1) != 1)
            return false;

    const uint32_t b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3], b4 = b[4];
    const uint32_t b5 = b[5], b6 = b[6], b7 = b[7], b8 = b[8], b9 = b[9];
    m_nMarker01 = b0 >> 6;
    m_nScr32_30 = (b0 >> 3) & 7;
    m_nMarker1 = (b0 >> 2) & 1;
    m_nScr29_15 = ((b0 & 3) << 13) | (b1 << 5) | (b2 >> 3);
    m_nMarker2 = (b2 >> 2) & 1;
    m_nScr14_0 = ((b2 & 3) << 13) | (b3 << 5) | (b4 >> 3);
    m_nMarker3 = (b4 >> 2) & 1;
    m_nScrExtension = ((b4 & 3) << 7) | (b5 >> 1);
    m_nMarker4 = b5 & 1;
    m_nProgramMuxRate = (b6 << 14) | (b7 << 6) | (b8 >> 2);
    m_nMarker5 = (b8 >> 1) & 1;
    m_nMarker6 = b8 & 1;
    m_nReserved = b9 >> 3;
    m_nStuffingLength = b9 & 7;

    // 32-bit arithmetic on purpose: bit 32 of the SCR falls away.
    m_nScrBase = (m_nScr32_30 << 30) | (m_nScr29_15 << 15) | m_nScr14_0;
    m_dScrMs = TicksToMs(m_nScrBase);
    m_nMuxRateBps = m_nProgramMuxRate * 400;
    return true;
}

// ---------------------------------------------------------------------------- display

void CPackHeader::Display(CResultTree& tree)
{
    tree.AddValue(m_hHeaderItem, LineFmt::Scr, m_nScrBase);
    tree.AddValue(m_hHeaderItem, LineFmt::MuxrateBps, m_nMuxRateBps);
    if (m_hDetailsItem == kNoItem)
        m_hDetailsItem = tree.AddGroup(m_hHeaderItem, LineFmt::Details);

    const ItemId d = m_hDetailsItem;
    tree.AddValue(d, LineFmt::Marker01, m_nMarker01);
    tree.AddValue(d, LineFmt::ScrBits32to30, m_nScr32_30);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker1);
    tree.AddValue(d, LineFmt::ScrBits29to15, m_nScr29_15);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker2);
    tree.AddValue(d, LineFmt::ScrBits14to0, m_nScr14_0);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker3);
    tree.AddValue(d, LineFmt::ScrExtension, m_nScrExtension);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker4);
    tree.AddValue(d, LineFmt::MuxrateRaw, m_nProgramMuxRate);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker5);
    tree.AddValue(d, LineFmt::Marker1, m_nMarker6);
    tree.AddValue(d, LineFmt::ReservedHex, m_nReserved);
    tree.AddValue(d, LineFmt::PackStuffing, m_nStuffingLength);
}
