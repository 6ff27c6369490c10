#pragma once
// The per-pack records of an analysis: which header objects each pack contained and
// where its lines stand in the result tree. Written to the analysis file.

#include "analysis/CResultTree.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <cstdint>
#include <memory>
#include <string>

class CFile;

class CPackNode
{
public:
    CPackNode() = default;
    virtual ~CPackNode() = default;
    CPackNode(const CPackNode&) = delete;
    CPackNode& operator=(const CPackNode&) = delete;

    // The SP1.0 record's fifteen words: the record type, then the node's fields with
    // links, objects and tree items reduced to their presence.
    static constexpr uint32_t kRecordType = 0x30315053;  // "SP10" read as little-endian
    static constexpr uint32_t kPresent = 1;
    void RecordWords(uint32_t words[15]) const;
    // The SP1.0 record, then the PH1.0 record when there is a pack header.
    bool Save(CFile& file) const;

    std::unique_ptr<CPackNode> m_pNext;  // owned: the list is a chain of nodes
    CPackNode* m_pPrev = nullptr;
    uint32_t m_nPackNumber = 0;   // 1-based; 0 for a node not opened by a pack
    uint64_t m_nPosition = 0;     // stream position just after the pack start code
    std::unique_ptr<CPackHeader> m_pPackHeader;
    std::unique_ptr<CSystemHeader> m_pSystemHeader;
    std::unique_ptr<CPesHeader> m_pPesHeader;
    std::unique_ptr<CSequenceHeader> m_pSequenceHeader;
    std::unique_ptr<CGopHeader> m_pGopHeader;
    std::unique_ptr<CPictureHeader> m_pPictureHeader;
    std::unique_ptr<CAudioHeader> m_pAudioHeader;
    ItemId m_hPackItem = kNoItem;
    ItemId m_hHeaderItem = kNoItem;
};

class CPackList
{
public:
    CPackList() = default;
    virtual ~CPackList();
    CPackList(const CPackList&) = delete;
    CPackList& operator=(const CPackList&) = delete;

    // A fresh node linked behind the last one.
    CPackNode* Append();
    // The SI1.0 record (tag, input path, date, node count) and every node's group. The
    // date is today's local date, also kept in m_strDate.
    bool Save(CFile& file);

    const CPackNode* First() const { return m_pFirst.get(); }
    const CPackNode* Last() const { return m_pLast; }
    uint32_t Count() const { return m_nCount; }

    std::string m_strInputPath;
    std::string m_strDate;  // "%Y%m%d" of the last save

private:
    std::unique_ptr<CPackNode> m_pFirst;
    CPackNode* m_pLast = nullptr;
    uint32_t m_nCount = 0;
};
