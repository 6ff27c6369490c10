#include "analysis/CResultTree.h"

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

CResultTree::CResultTree() = default;
CResultTree::~CResultTree() = default;

void CResultTree::ChunkFree::operator()(Line* p) const
{
    std::free(p);
}

namespace
{
// Memory of at least bytes, 2 MB aligned and marked for huge pages; null without memory.
void* HugeAlloc(size_t bytes)
{
    constexpr size_t kHuge = 2u << 20;
    const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
#ifdef MADV_HUGEPAGE
    if (p)
        madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}
}  // namespace

bool CResultTree::IndexArray::Reset(size_t count, bool zero)
{
    Release();
    m_p = static_cast<uint32_t*>(HugeAlloc(count * sizeof(uint32_t)));
    if (!m_p)
        return false;
    if (zero)
        std::memset(m_p, 0, count * sizeof(uint32_t));
    m_n = count;
    return true;
}

uint32_t CResultTree::DefaultLineLimit()
{
    // A line costs 16 bytes and its share of the child index 12 more; the records and
    // the rest of the program live in the other half of the memory.
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return kMaxLines;
    const unsigned long long lines = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize) / 2 / 28;
    return lines < kMaxLines ? static_cast<uint32_t>(lines) : kMaxLines;
}

void CResultTree::IndexArray::Release()
{
    std::free(m_p);
    m_p = nullptr;
    m_n = 0;
}

bool CResultTree::Grow()
{
    if (m_bFull || m_nCount >= m_nLimit)
    {
        m_bFull = true;
        return false;
    }
    // Chunks aligned to 2 MB and marked for huge pages: a full analysis touches a few
    // hundred megabytes of new memory, and faulting it in 4 kB pages is a large part of
    // the run.
    auto* chunk = static_cast<Line*>(HugeAlloc(sizeof(Line) * kChunkSize));
    if (!chunk)
    {
        m_bFull = true;
        return false;
    }
    m_chunks.emplace_back(chunk);
    // Id 0 is "no line": the first chunk gives one slot less.
    const uint64_t capacity = m_chunks.size() * uint64_t{kChunkSize} - 1;
    m_nCapacity = static_cast<uint32_t>(capacity < m_nLimit ? capacity : m_nLimit);
    return true;
}

uint32_t CResultTree::StoreString(std::string_view text)
{
    const auto handle = static_cast<uint32_t>(m_strings.size());
    const auto length = static_cast<uint32_t>(text.size());
    m_strings.append(reinterpret_cast<const char*>(&length), sizeof length);
    m_strings.append(text);
    return handle;
}

std::string_view CResultTree::String(uint32_t handle) const
{
    if (static_cast<size_t>(handle) + sizeof(uint32_t) > m_strings.size())
        return {};
    uint32_t length;
    std::memcpy(&length, m_strings.data() + handle, sizeof length);
    return std::string_view(m_strings).substr(handle + sizeof length, length);
}

ItemId CResultTree::AddText(ItemId parent, std::string_view text, uint8_t image)
{
    return AddLine(parent, static_cast<LineFmt>(0), StoreString(text), image);
}

void CResultTree::SetText(ItemId item, LineFmt fmt, uint64_t arg)
{
    if (!IsValid(item))
        return;
    Line& l = LineRef(item);
    l.fmt = static_cast<uint16_t>(fmt);
    l.arg = arg;
}

void CResultTree::SetImage(ItemId item, uint8_t image)
{
    if (IsValid(item))
        LineRef(item).image = image;
}

void CResultTree::SetExpanded(ItemId item, bool expanded)
{
    if (!IsValid(item))
        return;
    Line& l = LineRef(item);
    l.flags = expanded ? (l.flags | kExpanded) : (l.flags & ~kExpanded);
}

void CResultTree::MarkError(ItemId item, LineFmt fmt, uint64_t arg)
{
    if (!IsValid(item))
        return;
    SetText(item, fmt, arg);
    SetImage(item, TreeImage::Error);
    // Expanding from the program does not switch icons: the lines above keep theirs.
    for (ItemId i = item; i != kNoItem; i = Parent(i))
        SetExpanded(i, true);
}

void CResultTree::IconSwitch(ItemId item, bool expanding)
{
    if (!IsValid(item))
        return;
    SetImage(item, expanding ? TreeImage::Minus : TreeImage::Plus);
    SetExpanded(item, expanding);
}

void CResultTree::DeleteAll()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_nCount = 0;
    m_nCapacity = 0;
    m_bFull = false;
    m_strings.clear();
    m_strings.shrink_to_fit();
    m_bIndexValid = false;
    m_bRankValid = false;
    m_childStart.Release();
    m_children.Release();
    m_rank.Release();
}

bool CResultTree::EnsureIndex() const
{
    if (m_bIndexValid)
        return true;
    // Children of each parent laid out contiguously in insertion (= id) order: count per
    // parent, prefix sums, then place. Ids grow with insertion, so a stable pass over the
    // ids keeps every parent's children in the order they were added.
    const uint32_t n = m_nCount;
    if (!m_childStart.Reset(static_cast<size_t>(n) + 2))
        return false;
    for (ItemId id = 1; id <= n; ++id)
        ++m_childStart[LineRef(id).parent + 1];
    for (size_t i = 1; i < m_childStart.Size(); ++i)
        m_childStart[i] += m_childStart[i - 1];
    if (!m_children.Reset(n, false))
    {
        m_childStart.Release();
        return false;
    }
    // Place each line at its parent's cursor, which runs in m_childStart[parent]: at the
    // end that entry holds the next parent's start, so shifted up by one place the array
    // is the starts again. No second array is needed for the cursors.
    for (ItemId id = 1; id <= n; ++id)
    {
        const uint32_t pos = m_childStart[LineRef(id).parent]++;
        m_children[pos] = id;
    }
    for (size_t i = m_childStart.Size() - 1; i > 0; --i)
        m_childStart[i] = m_childStart[i - 1];
    m_childStart[0] = 0;
    m_rank.Release();
    m_bRankValid = false;
    m_bIndexValid = true;
    return true;
}

uint32_t CResultTree::ChildCount(ItemId parent) const
{
    if (parent > m_nCount || !EnsureIndex())
        return 0;
    return m_childStart[parent + 1] - m_childStart[parent];
}

ItemId CResultTree::Child(ItemId parent, uint32_t row) const
{
    if (parent > m_nCount || !EnsureIndex())
        return kNoItem;
    const uint32_t start = m_childStart[parent];
    if (row >= m_childStart[parent + 1] - start)
        return kNoItem;
    return m_children[start + row];
}

uint32_t CResultTree::Row(ItemId item) const
{
    if (!IsValid(item) || !EnsureIndex())
        return 0;
    if (!m_bRankValid)
    {
        // Only a view asks for rows; writing a tree out never does, so this waits.
        if (!m_rank.Reset(static_cast<size_t>(m_nCount) + 1, false))
            return 0;
        for (uint32_t pos = 0; pos < m_nCount; ++pos)
            m_rank[m_children[pos]] = pos;
        m_bRankValid = true;
    }
    return m_rank[item] - m_childStart[LineRef(item).parent];
}

size_t CResultTree::MemoryBytes() const
{
    return m_chunks.size() * kChunkSize * sizeof(Line) + m_chunks.capacity() * sizeof(void*)
        + m_strings.capacity() + m_childStart.Bytes() + m_children.Bytes() + m_rank.Bytes();
}
