#include "syntax/video/CGopHeader.h"

#include "stream/CStreamFile.h"

// ---------------------------------------------------------------------------- parsing

bool CGopHeader::Parse(CStreamFile& file)
{
    if (file.Read(m_raw, 4) != 4)
        return false;
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3];
    m_nDropFlag = static_cast<uint8_t>(b0 >> 7);
    m_nHours = static_cast<uint8_t>((b0 >> 2) & 0x1F);
    m_nMinutes = static_cast<uint8_t>((b0 & 3) * 16 + (b1 >> 4));
    m_nSeconds = static_cast<uint8_t>((b1 & 7) * 8 + (b2 >> 5));
    m_nPictures = static_cast<uint8_t>((b2 & 0x1F) * 2 + (b3 >> 7));
    m_nClosedGop = static_cast<uint8_t>((b3 >> 6) & 1);
    m_nBrokenLink = static_cast<uint8_t>((b3 >> 5) & 1);
    return true;
}

// ---------------------------------------------------------------------------- display

void CGopHeader::Display(CResultTree& tree, const ItemId& parent) const
{
    const ItemId g = tree.AddGroup(parent, LineFmt::GroupOfPictures);
    tree.AddValue(g, LineFmt::DropFlag, m_nDropFlag);
    const uint32_t timecode = uint32_t{m_nHours} | (uint32_t{m_nMinutes} << 8) | (uint32_t{m_nSeconds} << 16)
        | (uint32_t{m_nPictures} << 24);
    tree.AddValue(g, LineFmt::Timecode, timecode);
    tree.AddValue(g, LineFmt::ClosedGop, m_nClosedGop);
    tree.AddValue(g, LineFmt::BrokenLink, m_nBrokenLink);
}
