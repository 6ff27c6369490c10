#include "analysis/CResultTree.h"

#include <algorithm>
#include <cstdlib>
#include <new>
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
    try
    {
        m_marked.push_back(item);
    }
    catch (const std::bad_alloc&)
    {
        // The mark itself stands; only a view's shortcut to it is lost.
    }
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
    m_marked.clear();
    m_marked.shrink_to_fit();
    m_bIndexValid = false;
    m_childStart.Release();
    m_children.Release();
    m_bLazyValid = false;
    RefreshLazy();
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
    m_bIndexValid = true;
    return true;
}

// ---------------------------------------------------------------------------- child lists

void CResultTree::RefreshLazy() const
{
    if (m_bLazyValid && m_nLazyCount == m_nCount)
        return;
    m_spreadChildren.clear();
    m_chunkIndex.clear();
    m_nChunkIndexes = 0;
    m_outerParents.clear();
    m_hasChildren.clear();
    m_spreadParents.clear();
    m_nLazyCount = m_nCount;
    m_bLazyValid = true;
    if (m_nCount == 0)
        return;

    // One pass: which lines have children, and for each chunk the parents that lie
    // before it.
    const uint32_t chunks = ChunkOf(m_nCount) + 1;
    m_outerParents.resize(chunks);
    m_chunkIndex.resize(chunks);
    m_hasChildren.assign(m_nCount / 64 + 1, 0);
    for (uint32_t c = 0; c < chunks; ++c)
    {
        std::vector<ItemId>& outer = m_outerParents[c];
        // Chunk 0 has nothing before it (its top-level lines are found from its own index).
        const ItemId first = ChunkFirst(c), last = ChunkLast(c);
        const ItemId outside = c == 0 ? 0 : first;
        ItemId lastOuter = ~ItemId{0};
        for (ItemId id = first; id <= last; ++id)
        {
            const ItemId p = LineRef(id).parent;
            m_hasChildren[p / 64] |= uint64_t{1} << (p % 64);
            if (p >= outside || p == lastOuter)
                continue;
            // The same few parents come again and again: a look at the latest ones keeps
            // the list short before it is sorted.
            lastOuter = p;
            if (std::find(outer.end() - std::min<size_t>(outer.size(), 8), outer.end(), p) == outer.end())
                outer.push_back(p);
        }
        std::sort(outer.begin(), outer.end());
        outer.erase(std::unique(outer.begin(), outer.end()), outer.end());
        outer.shrink_to_fit();
        m_spreadParents.insert(m_spreadParents.end(), outer.begin(), outer.end());
    }
    std::sort(m_spreadParents.begin(), m_spreadParents.end());
    m_spreadParents.erase(std::unique(m_spreadParents.begin(), m_spreadParents.end()), m_spreadParents.end());
}

const CResultTree::ChunkIndex& CResultTree::ChunkIndexOf(uint32_t chunk) const
{
    std::unique_ptr<ChunkIndex>& slot = m_chunkIndex[chunk];
    if (slot)
        return *slot;
    // A view looks at a few places of the tree at a time: past a dozen or so chunk
    // indexes (a megabyte each) they all go and are made again as needed.
    if (++m_nChunkIndexes > 16)
    {
        for (auto& other : m_chunkIndex)
            other.reset();
        m_nChunkIndexes = 1;
    }
    slot = std::make_unique<ChunkIndex>();
    ChunkIndex& index = *slot;
    const ItemId base = chunk << kChunkBits;  // local number 0 is the chunk's first id (or the top level)
    const ItemId first = ChunkFirst(chunk), last = ChunkLast(chunk);
    const uint32_t lines = last - base + 1;
    index.start.assign(static_cast<size_t>(lines) + 1, 0);
    for (ItemId id = first; id <= last; ++id)
    {
        const ItemId p = LineRef(id).parent;
        if (p >= base && (p != 0 || chunk == 0))
            ++index.start[p - base + 1];
    }
    for (size_t i = 1; i < index.start.size(); ++i)
        index.start[i] += index.start[i - 1];
    index.children.resize(index.start.back());
    std::vector<uint32_t> cursor(index.start.begin(), index.start.end() - 1);
    for (ItemId id = first; id <= last; ++id)
    {
        const ItemId p = LineRef(id).parent;
        if (p >= base && (p != 0 || chunk == 0))
            index.children[cursor[p - base]++] = id;
    }
    return index;
}

CResultTree::ChildSpan CResultTree::Children(ItemId parent) const
{
    if (parent > m_nCount)
        return {};
    RefreshLazy();
    if (m_nCount == 0)
        return {};
    if (const auto found = m_spreadChildren.find(parent); found != m_spreadChildren.end())
        return {found->second.data(), static_cast<uint32_t>(found->second.size())};

    // The top level counts as part of chunk 0.
    const uint32_t home = ChunkOf(parent);
    const ChunkIndex& local = ChunkIndexOf(home);
    const ItemId base = home << kChunkBits;
    const uint32_t begin = local.start[parent - base], end = local.start[parent - base + 1];
    ChildSpan span{local.children.data() + begin, end - begin};
    // Most lines have all their children in their own chunk.
    if (!std::binary_search(m_spreadParents.begin(), m_spreadParents.end(), parent))
        return span;

    std::vector<uint32_t> later;
    for (uint32_t c = home + 1; c < m_outerParents.size(); ++c)
        if (std::binary_search(m_outerParents[c].begin(), m_outerParents[c].end(), parent))
            later.push_back(c);

    // Children in later chunks too: one list, kept while the tree stays as it is.
    std::vector<ItemId> all(span.begin, span.begin + span.size);
    for (const uint32_t c : later)
    {
        const ItemId last = ChunkLast(c);
        for (ItemId id = ChunkFirst(c); id <= last; ++id)
            if (LineRef(id).parent == parent)
                all.push_back(id);
    }
    all.shrink_to_fit();
    std::vector<ItemId>& kept = m_spreadChildren[parent] = std::move(all);
    return {kept.data(), static_cast<uint32_t>(kept.size())};
}

bool CResultTree::HasChildren(ItemId parent) const
{
    if (parent > m_nCount)
        return false;
    RefreshLazy();
    return m_nCount != 0 && (m_hasChildren[parent / 64] >> (parent % 64) & 1) != 0;
}

uint32_t CResultTree::ChildCount(ItemId parent) const
{
    return Children(parent).size;
}

ItemId CResultTree::Child(ItemId parent, uint32_t row) const
{
    const ChildSpan span = Children(parent);
    return row < span.size ? span.begin[row] : kNoItem;
}

uint32_t CResultTree::Row(ItemId item) const
{
    if (!IsValid(item))
        return 0;
    // Children are in id order.
    const ChildSpan span = Children(LineRef(item).parent);
    return static_cast<uint32_t>(std::lower_bound(span.begin, span.begin + span.size, item) - span.begin);
}

size_t CResultTree::MemoryBytes() const
{
    return m_chunks.size() * kChunkSize * sizeof(Line) + m_chunks.capacity() * sizeof(void*)
        + m_strings.capacity() + m_childStart.Bytes() + m_children.Bytes();
}
