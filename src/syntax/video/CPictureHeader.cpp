#include "syntax/video/CPictureHeader.h"

#include "stream/CStreamFile.h"

#include <cstdio>

void CPictureHeader::AppendCodingTypeText(uint32_t codingType, std::string& out)
{
    char buf[32];
    switch (codingType)
    {
    case 0: out.append("Forbidden (= 0)"); return;
    case 1: out.append("I-Frame"); return;
    case 2: out.append("P-Frame"); return;
    case 3: out.append("B-Frame"); return;
    case 4: out.append("D-Frame"); return;
    default:
        out.append(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, "Reserved (= %d)", static_cast<int>(codingType))));
        return;
    }
}

// ---------------------------------------------------------------------------- parsing

bool CPictureHeader::Parse(CStreamFile& file)
{
    if (file.Read(m_raw, 4) != 4)
        return false;
    const uint32_t b0 = m_raw[0], b1 = m_raw[1], b2 = m_raw[2], b3 = m_raw[3];
    m_nTemporalReference = static_cast<int32_t>(b0 * 4 + (b1 >> 6));
    m_nCodingType = static_cast<uint8_t>((b1 >> 3) & 7);
    m_nVbvDelay = static_cast<int32_t>(((b1 & 7) * 256 + b2) * 32 + (b3 >> 3));
    m_strCodingType.clear();
    AppendCodingTypeText(m_nCodingType, m_strCodingType);
    return true;
}

// ---------------------------------------------------------------------------- display

void CPictureHeader::Display(CResultTree& tree, const ItemId& parent) const
{
    const ItemId g = tree.AddGroup(parent, LineFmt::Picture, PackArgs(static_cast<uint32_t>(m_nTemporalReference), m_nCodingType));
    tree.AddValue(g, LineFmt::VbvDelay, static_cast<uint32_t>(m_nVbvDelay));
}
