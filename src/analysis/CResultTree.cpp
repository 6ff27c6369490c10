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
// Memory of at least bytes, 2 MB aligned and, when huge, marked for huge pages; null
// without memory.
void* HugeAlloc(size_t bytes, bool huge = true)
{
    constexpr size_t kHuge = 2u << 20;
    const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
#ifdef MADV_HUGEPAGE
    if (p && huge)
        madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}
}  // namespace

uint32_t CResultTree::DefaultLineLimit()
{
    // A line costs 12 bytes, with room to spare for the rest; the records and the rest of
    // the program live in the other half of the memory.
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return kMaxLines;
    const unsigned long long lines = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize) / 2 / 24;
    return lines < kMaxLines ? static_cast<uint32_t>(lines) : kMaxLines;
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
    // the run. Not the first: a short run touches a few pages of it, where a huge page
    // would have the whole 2 MB cleared.
    auto* chunk = static_cast<Line*>(HugeAlloc(sizeof(Line) * kChunkSize, !m_chunks.empty()));
    if (!chunk)
    {
        m_bFull = true;
        return false;
    }
    std::unique_ptr<Line[], ChunkFree> owned(chunk);
    // The has-children bits of the new chunk's lines.
    if (!m_hasChildren.GrowZeroed((m_chunks.size() + 1) * (kChunkSize / 64)))
    {
        m_bFull = true;
        return false;
    }
    try
    {
        m_chunks.push_back(std::move(owned));
    }
    catch (const std::bad_alloc&)
    {
        m_bFull = true;
        return false;
    }
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

bool CResultTree::KeepWide(ItemId id, uint64_t arg)
{
    try
    {
        m_wideArgs[id] = arg;
    }
    catch (const std::bad_alloc&)
    {
        m_bFull = true;
        return false;
    }
    return true;
}

uint64_t CResultTree::WideArg(ItemId id) const
{
    const auto found = m_wideArgs.find(id);
    return found == m_wideArgs.end() ? 0 : found->second;
}

void CResultTree::SetText(ItemId item, LineFmt fmt, uint64_t arg)
{
    if (!IsValid(item))
        return;
    Line& l = LineRef(item);
    if (l.code & kWide)
    {
        m_wideArgs.erase(item);
        l.code &= static_cast<uint16_t>(~kWide);
    }
    l.code = static_cast<uint16_t>((l.code & ~kFmtMask) | static_cast<uint16_t>(fmt));
    const bool wide = (arg >> kArgBits) != 0;
    l.argLo = wide ? 0 : static_cast<uint32_t>(arg);
    l.argHi = wide ? 0 : static_cast<uint16_t>(arg >> 32);
    // Without memory to keep a wide argument aside the line shows it as 0.
    if (wide && KeepWide(item, arg))
        l.code |= kWide;
}

void CResultTree::SetImage(ItemId item, uint8_t image)
{
    if (!IsValid(item))
        return;
    Line& l = LineRef(item);
    l.code = static_cast<uint16_t>((l.code & ~(kImageMask << kImageShift)) | (image & kImageMask) << kImageShift);
}

void CResultTree::SetExpanded(ItemId item, bool expanded)
{
    if (!IsValid(item))
        return;
    Line& l = LineRef(item);
    l.code = static_cast<uint16_t>(expanded ? (l.code | kExpanded) : (l.code & ~kExpanded));
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
    m_wideArgs.clear();
    m_bIndexValid = false;
    m_outerParents.clear();
    m_outerParents.shrink_to_fit();
    m_hasChildren.Release();
    m_nBitParent = ~ItemId{0};
    m_outerChildren.clear();
    m_outerSlots = {};
    m_recentOuter = {};
    m_reader.Clear();
}

bool CResultTree::EnsureOuterParents() const
{
    if (m_bIndexValid)
        return true;
    try
    {
        m_outerParents.clear();
        for (const auto& [parent, children] : m_outerChildren)
            if (children.Size() != 0)
                m_outerParents.push_back(parent);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    std::sort(m_outerParents.begin(), m_outerParents.end());
    m_bIndexValid = true;
    return true;
}

void CResultTree::LinkCache::Fetch(Slot& slot, uint32_t block)
{
    const uint32_t blocks = BlockOf(m_tree.m_nCount) + 1;
    if (m_kept.empty() && ++m_nMade > 8ull * blocks + 64)
        m_kept.resize(blocks);
    if (!m_kept.empty())
    {
        std::unique_ptr<uint32_t[]>& kept = m_kept[block];
        if (!kept)
        {
            kept = std::make_unique<uint32_t[]>(kBlockSize);
            Make(kept.get(), block);
        }
        slot.links = kept.get();
    }
    else
    {
        if (!slot.own)
            slot.own = std::make_unique<uint32_t[]>(kBlockSize);
        slot.links = slot.own.get();
        Make(slot.links, block);
    }
    slot.block = block;
}

void CResultTree::LinkCache::Make(uint32_t* const links, uint32_t block)
{
    const ItemId base = BlockBase(block), first = m_tree.BlockFirst(block), last = m_tree.BlockLast(block);
    links[0] = 0;  // the top level in block 0; the other words are set as their lines come
    m_lastChild.assign(kBlockSize, 0);  // the last child so far of each line, by offset
    // Lines mostly come in runs under one parent: the run's parent and last child stay
    // at hand, so that a line does not wait for the store of the line before.
    uint32_t runParent = ~0u, runLast = 0;
    // A block lies in one chunk: its lines are one array (none in an empty tree).
    const Line* const lines = first <= last ? &m_tree.LineRef(first) - (first - base) : nullptr;
    for (uint32_t offset = first - base; first <= last && offset <= last - base; ++offset)
    {
        __builtin_prefetch(lines + offset + 64);
        const ItemId p = lines[offset].parent;
        // A line comes after its parent, so its own word is set before its children's
        // offsets go into it.
        links[offset] = 0;
        // A parent before the block has this child on its outer list; the top level
        // belongs to block 0.
        if (p < base || (p == 0 && block != 0))
            continue;
        const uint32_t at = p - base;
        if (at == runParent)
            links[runLast] |= offset << kLinkNextShift;
        else
        {
            if (runParent != ~0u)
                m_lastChild[runParent] = static_cast<uint16_t>(runLast);
            runParent = at;
            const uint32_t before = m_lastChild[at];
            if (before == 0)
                links[at] |= offset;
            else
                links[before] |= offset << kLinkNextShift;
        }
        runLast = offset;
    }
    const std::vector<ItemId>& outer = m_tree.m_outerParents;
    for (auto it = std::lower_bound(outer.begin(), outer.end(), base); it != outer.end() && *it <= last; ++it)
        links[*it - base] |= kLinkOuter;
}

void CResultTree::AddOuterList(ItemId parent, WalkFrame& f) const
{
    if (const IdList* list = OuterChildren(parent))
    {
        f.outer = list->Data();
        f.outerEnd = f.outer + list->Size();
    }
}

bool CResultTree::StackAt(ItemId from, std::vector<WalkFrame>& stack, LinkCache& links) const
{
    if (!EnsureOuterParents())
        return false;
    stack.clear();
    const auto frame = [&](ItemId parent) {
        const uint32_t link = links(parent);
        WalkFrame f{parent & ~kLinkOffset, link & kLinkOffset, nullptr, nullptr};
        if (link & kLinkOuter)
            AddOuterList(parent, f);
        return f;
    };
    if (from == kNoItem)
    {
        stack.push_back(frame(kNoItem));
        return true;
    }
    if (!IsValid(from))
        return false;
    std::vector<ItemId> path;  // from, then the lines above it up to the top level
    for (ItemId i = from; i != kNoItem; i = LineRef(i).parent)
        path.push_back(i);
    path.push_back(kNoItem);
    // Each line above from, with its children past the one on from's branch: a child in
    // its parent's block is followed by its next sibling there, then the outer list; a
    // child on the outer list by the rest of that list.
    for (size_t k = path.size() - 1; k > 0; --k)
    {
        const ItemId parent = path[k], child = path[k - 1];
        WalkFrame f = frame(parent);
        if (BlockOf(child) == BlockOf(parent))
            f.local = links(child) >> kLinkNextShift;
        else
        {
            f.local = 0;
            f.outer = std::upper_bound(f.outer, f.outerEnd, child);
        }
        stack.push_back(f);
    }
    return true;
}

bool CResultTree::PreOrderBefore(ItemId a, ItemId b) const
{
    if (a == b || !IsValid(a) || !IsValid(b))
        return false;
    // The branches from the top level down; a line comes before the lines below it, and
    // siblings come in id order.
    const auto branch = [this](ItemId i) {
        std::vector<ItemId> lines;
        for (; i != kNoItem; i = LineRef(i).parent)
            lines.push_back(i);
        std::reverse(lines.begin(), lines.end());
        return lines;
    };
    const std::vector<ItemId> pa = branch(a), pb = branch(b);
    const auto [ia, ib] = std::mismatch(pa.begin(), pa.end(), pb.begin(), pb.end());
    if (ia == pa.end())
        return true;  // a is above b
    if (ib == pb.end())
        return false;
    return *ia < *ib;
}

std::vector<ItemId> CResultTree::PreOrderCuts(uint32_t pieces) const
{
    std::vector<ItemId> cuts;
    if (pieces < 2 || !EnsureOuterParents())
        return cuts;
    size_t listed = 0;
    for (const auto& [parent, children] : m_outerChildren)
        listed += children.Size();
    // Every step-th child on the long lists; their subtrees are of a size much alike.
    const size_t step = std::max<size_t>(listed / pieces, 64);
    for (const auto& [parent, children] : m_outerChildren)
        for (size_t i = step; i < children.Size(); i += step)
            cuts.push_back(children[i]);
    std::sort(cuts.begin(), cuts.end(), [this](ItemId a, ItemId b) { return PreOrderBefore(a, b); });
    return cuts;
}

// ---------------------------------------------------------------------------- child lists

bool CResultTree::AddOuterChild(ItemId parent, ItemId child)
{
    if (parent >= child)
        return false;
    OuterSlot& slot = m_outerSlots[parent % m_outerSlots.size()];
    IdList* list = slot.parent == parent ? slot.children
        : m_recentOuter.parent == parent ? m_recentOuter.children
                                         : nullptr;
    if (list == nullptr)
    {
        try
        {
            // The map's elements stay where they are when it grows.
            list = &m_outerChildren[parent];
        }
        catch (const std::bad_alloc&)
        {
            m_bFull = true;
            return false;
        }
        // A slot holding a long list keeps it.
        (slot.children == nullptr || slot.children->Size() < 256 ? slot : m_recentOuter) = {parent, list};
    }
    if (list->Push(child))
        return true;
    // The line is not added: the tree is as full as the memory allows.
    m_bFull = true;
    return false;
}

const CResultTree::IdList* CResultTree::OuterChildren(ItemId parent) const
{
    if (m_outerChildren.empty())
        return nullptr;
    const auto found = m_outerChildren.find(parent);
    return found == m_outerChildren.end() ? nullptr : &found->second;
}

void CResultTree::BuildBlockIndex(uint32_t block, BlockIndex& index) const
{
    const ItemId base = BlockBase(block);  // local number 0 is the block's first id (or the top level)
    const ItemId first = BlockFirst(block), last = BlockLast(block);
    index.last = last;
    const uint32_t lines = last - base + 1;
    index.start.assign(static_cast<size_t>(lines) + 1, 0);
    // A parent before the block has these children on its outer list; the top level
    // belongs to block 0.
    for (ItemId id = first; id <= last; ++id)
    {
        const ItemId p = LineRef(id).parent;
        if (p >= base && (p != 0 || block == 0))
            ++index.start[p - base + 1];
    }
    for (size_t i = 1; i < index.start.size(); ++i)
        index.start[i] += index.start[i - 1];
    index.children.resize(index.start.back());
    std::vector<uint32_t> cursor(index.start.begin(), index.start.end() - 1);
    for (ItemId id = first; id <= last; ++id)
    {
        const ItemId p = LineRef(id).parent;
        if (p >= base && (p != 0 || block == 0))
            index.children[cursor[p - base]++] = id;
    }
}

void CResultTree::Reader::Clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_nIndexes = 0;
    m_lastParent = kNoItem;
    m_nLastCount = 0;
}

const CResultTree::BlockIndex& CResultTree::Reader::IndexOf(uint32_t block)
{
    if (m_blocks.size() <= block)
        m_blocks.resize(static_cast<size_t>(block) + 1);
    std::unique_ptr<BlockIndex>& slot = m_blocks[block];
    // An index made before lines were added to its block is made again.
    if (slot && slot->last == m_tree.BlockLast(block))
        return *slot;
    // A view looks at a few places of the tree at a time: past a few dozen block indexes
    // (64 kB each) they all go and are made again as needed.
    if (!slot && ++m_nIndexes > 64)
    {
        for (auto& other : m_blocks)
            other.reset();
        m_nIndexes = 1;
    }
    m_nLastCount = 0;  // the kept children may point into the index made again
    if (!slot)
        slot = std::make_unique<BlockIndex>();
    m_tree.BuildBlockIndex(block, *slot);
    return *slot;
}

CResultTree::Reader::Kids CResultTree::Reader::Children(ItemId parent)
{
    if (!m_tree.HasChildren(parent))
        return {};
    if (parent == m_lastParent && m_nLastCount == m_tree.m_nCount)
        return m_lastKids;
    // The top level counts as part of block 0.
    const uint32_t home = BlockOf(parent);
    const BlockIndex& local = IndexOf(home);
    const uint32_t at = parent - BlockBase(home);
    Kids kids;
    kids.local = {local.children.data() + local.start[at], local.start[at + 1] - local.start[at]};
    if (const IdList* outer = m_tree.OuterChildren(parent))
        kids.outer = {outer->Data(), static_cast<uint32_t>(outer->Size())};
    m_lastParent = parent;
    m_nLastCount = m_tree.m_nCount;
    m_lastKids = kids;
    return kids;
}

ItemId CResultTree::Reader::Child(ItemId parent, uint32_t row)
{
    const Kids kids = Children(parent);
    if (row < kids.local.size)
        return kids.local.begin[row];
    row -= kids.local.size;
    return row < kids.outer.size ? kids.outer.begin[row] : kNoItem;
}

uint32_t CResultTree::Reader::Row(ItemId item)
{
    if (!m_tree.IsValid(item))
        return 0;
    // Children are in id order, those in the parent's block first.
    const ItemId parent = m_tree.LineRef(item).parent;
    const Kids kids = Children(parent);
    const bool local = BlockOf(item) == BlockOf(parent);
    const Span& in = local ? kids.local : kids.outer;
    const auto row = static_cast<uint32_t>(std::lower_bound(in.begin, in.begin + in.size, item) - in.begin);
    return local ? row : kids.local.size + row;
}

uint32_t CResultTree::ChildCount(ItemId parent) const
{
    return m_reader.ChildCount(parent);
}

ItemId CResultTree::Child(ItemId parent, uint32_t row) const
{
    return m_reader.Child(parent, row);
}

uint32_t CResultTree::Row(ItemId item) const
{
    return m_reader.Row(item);
}

size_t CResultTree::MemoryBytes() const
{
    size_t outer = m_outerChildren.size() * (sizeof(IdList) + 2 * sizeof(void*));
    for (const auto& [parent, children] : m_outerChildren)
        outer += children.Bytes();
    return m_chunks.size() * kChunkSize * sizeof(Line) + m_chunks.capacity() * sizeof(void*)
        + m_hasChildren.Bytes() + m_strings.capacity() + m_outerParents.capacity() * sizeof(ItemId)
        + outer + m_wideArgs.size() * (sizeof(ItemId) + sizeof(uint64_t) + 2 * sizeof(void*));
}
