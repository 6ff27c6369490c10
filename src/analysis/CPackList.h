#pragma once
// The per-pack records of an analysis: the pack header of each pack and which other
// elements it contained. The analysis file is written from them.

#include "syntax/system/CPackHeader.h"

#include <cstdint>
#include <deque>
#include <string>

class CPackNode
{
public:
    // What a record holds besides its pack header; one bit each.
    enum Element : uint16_t
    {
        PackHeader = 1 << 0,
        SystemHeader = 1 << 1,
        PesHeader = 1 << 2,
        SequenceHeader = 1 << 3,
        GopHeader = 1 << 4,
        PictureHeader = 1 << 5,
        AudioHeader = 1 << 6,
        PackLine = 1 << 7,    // the "PACK #n" line made it into the tree
        HeaderLine = 1 << 8,  // and its "HEADER" line
    };

    bool Has(Element e) const { return (m_nElements & e) != 0; }
    void Set(Element e) { m_nElements = static_cast<uint16_t>(m_nElements | e); }

    uint32_t m_nPackNumber = 0;   // 1-based; 0 for a record not opened by a pack
    uint64_t m_nPosition = 0;     // stream position just after the pack start code
    uint16_t m_nElements = 0;     // Element bits
    CPackHeader m_packHeader;     // with PackHeader set
};

class CPackList
{
public:
    // A fresh record behind the last one. Records never move once made.
    CPackNode& Append() { return m_nodes.emplace_back(); }

    const std::deque<CPackNode>& Nodes() const { return m_nodes; }
    uint32_t Count() const { return static_cast<uint32_t>(m_nodes.size()); }

    std::string m_strInputPath;
    std::string m_strDate;  // "%Y%m%d" of the last save

private:
    // A deque: no allocation per record, no copies as it grows, and records stay put.
    std::deque<CPackNode> m_nodes;
};
