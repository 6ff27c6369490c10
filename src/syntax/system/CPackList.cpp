#include "syntax/system/CPackList.h"

CPackList::~CPackList()
{
    // One node after the other: letting the chain of owners unwind by itself would
    // recurse once per pack, and a long file has millions of them.
    std::unique_ptr<CPackNode> node = std::move(m_pFirst);
    while (node)
        node = std::move(node->m_pNext);
}

CPackNode* CPackList::Append()
{
    auto node = std::make_unique<CPackNode>();
    CPackNode* raw = node.get();
    raw->m_pPrev = m_pLast;
    if (m_pLast)
        m_pLast->m_pNext = std::move(node);
    else
        m_pFirst = std::move(node);
    m_pLast = raw;
    ++m_nCount;
    return raw;
}
