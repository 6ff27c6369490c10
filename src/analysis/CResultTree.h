#pragma once
// The result tree: a compact store of text lines with an image index, a parent and an
// expanded flag. A full analysis puts tens of millions of lines here, so a line is a
// small fixed record and its text is made only when asked for: a line keeps a format
// code and one 64-bit argument word. What the codes mean, and the texts, belong to the
// display layer (LineFormat.h); the store only keeps them.
//
// Lines are only ever appended as the last child of their parent. Line ids start at 1;
// 0 (kNoItem) stands for "no line", and as a parent for the top level of the tree.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using ItemId = uint32_t;
constexpr ItemId kNoItem = 0;

// A line's format code, defined by the display layer. Code 0 is free text: its argument
// is a handle in the store's strings.
enum class LineFmt : uint16_t;

// Image indices of the tree's image list.
namespace TreeImage
{
constexpr uint8_t Plus = 0;    // a collapsed group line (every group line starts so)
constexpr uint8_t Minus = 1;   // an expanded group line
constexpr uint8_t Dot = 2;     // not used
constexpr uint8_t Blank = 3;   // a value line
constexpr uint8_t Error = 4;   // a line marked as an error
}  // namespace TreeImage

class CResultTree
{
public:
    CResultTree();
    ~CResultTree();
    CResultTree(const CResultTree&) = delete;
    CResultTree& operator=(const CResultTree&) = delete;

    // ---- building ------------------------------------------------------------------
    ItemId AddLine(ItemId parent, LineFmt fmt, uint64_t arg, uint8_t image)
    {
        if (m_nCount == m_nCapacity && !Grow())
            return kNoItem;
        const ItemId id = m_nCount + 1;
        // The rare argument wider than a line holds is kept aside.
        const bool wide = (arg >> kArgBits) != 0;
        if (wide && !KeepWide(id, arg)) [[unlikely]]
            return kNoItem;
        // Mostly the parent is in the new line's block. Otherwise it must come before the
        // line, and the line goes on the parent's list of children in later blocks, so
        // the child lists never need a pass over the whole tree.
        const ItemId base = id & ~(kBlockSize - 1);
        if (parent - base >= id - base && !AddOuterChild(parent, id)) [[unlikely]]
            return kNoItem;
        // Lines mostly come in runs under one parent; setting its bit once per run keeps
        // the lines from waiting for each other's writes to the same word.
        if (parent != m_nBitParent)
        {
            m_hasChildren[parent >> 6] |= uint64_t{1} << (parent & 63);
            m_nBitParent = parent;
        }
        m_nCount = id;
        Line& l = LineRef(id);
        l.parent = parent;
        l.argLo = wide ? 0 : static_cast<uint32_t>(arg);
        l.argHi = wide ? 0 : static_cast<uint16_t>(arg >> 32);
        l.code = static_cast<uint16_t>(static_cast<uint16_t>(fmt) | (image & kImageMask) << kImageShift |
                                       (wide ? kWide : 0));
        m_bIndexValid = false;
        return id;
    }
    ItemId AddGroup(ItemId parent, LineFmt fmt, uint64_t arg = 0) { return AddLine(parent, fmt, arg, TreeImage::Plus); }
    ItemId AddValue(ItemId parent, LineFmt fmt, uint64_t arg = 0) { return AddLine(parent, fmt, arg, TreeImage::Blank); }
    // A line with free text (kept in the tree's string store).
    ItemId AddText(ItemId parent, std::string_view text, uint8_t image);
    // Keeps a string for the formats that print one; returns its handle for the argument word.
    uint32_t StoreString(std::string_view text);

    void SetText(ItemId item, LineFmt fmt, uint64_t arg);
    void SetImage(ItemId item, uint8_t image);
    void SetExpanded(ItemId item, bool expanded);
    // The error mark: new text, the error image, and the line and every line above it
    // expanded up to the top level. Images of the lines above are not changed.
    void MarkError(ItemId item, LineFmt fmt, uint64_t arg);
    // The lines marked since the last DeleteAll, in the order they were marked: a view
    // opens them (and the lines above them) without looking through the whole tree.
    const std::vector<ItemId>& MarkedLines() const { return m_marked; }
    // The expand/collapse icon switch for a line the user opens or closes.
    void IconSwitch(ItemId item, bool expanding);
    void DeleteAll();

    // The store takes at most this many lines (by default what fits in about half of
    // the machine's memory). Once full, or when memory cannot be had, AddLine adds
    // nothing and returns kNoItem, and IsFull says so.
    void SetLineLimit(uint32_t limit) { m_nLimit = limit < kMaxLines ? limit : kMaxLines; }
    bool IsFull() const { return m_bFull; }

    // ---- reading -------------------------------------------------------------------
    uint32_t Count() const { return m_nCount; }
    bool IsValid(ItemId item) const { return item != kNoItem && item <= m_nCount; }
    ItemId Parent(ItemId item) const { return IsValid(item) ? LineRef(item).parent : kNoItem; }
    uint8_t Image(ItemId item) const
    {
        return IsValid(item) ? static_cast<uint8_t>(LineRef(item).code >> kImageShift & kImageMask) : 0;
    }
    bool IsExpanded(ItemId item) const { return IsValid(item) && (LineRef(item).code & kExpanded) != 0; }
    LineFmt Format(ItemId item) const { return static_cast<LineFmt>(IsValid(item) ? LineRef(item).code & kFmtMask : 0); }
    uint64_t Arg(ItemId item) const
    {
        if (!IsValid(item))
            return 0;
        const Line& l = LineRef(item);
        if (l.code & kWide) [[unlikely]]
            return WideArg(item);
        return uint64_t{l.argLo} | (uint64_t{l.argHi} << 32);
    }
    std::string_view String(uint32_t handle) const;

    // Children in insertion order; parent kNoItem is the top level. A view asks only
    // about the lines it shows, so the lists are made on demand: the children of a line
    // within its own block of lines come from a small index of that block, built on first
    // use; the children in later blocks (the few long-lived group lines gather those) are
    // listed as they are added. Besides a bit per line for HasChildren, nothing here costs
    // memory in proportion to the whole tree.
    //
    // The block indexes are a cache. The tree's own functions use the tree's cache; a
    // thread of its own reads through a Reader, which keeps its own (the tree must not
    // grow while it reads).
    class Reader;
    uint32_t ChildCount(ItemId parent) const;
    // Whether the line has children, without making its list (a view asks this of every
    // line it lays out).
    bool HasChildren(ItemId parent) const
    {
        return parent < m_nCount && (m_hasChildren[parent >> 6] >> (parent & 63) & 1) != 0;
    }
    ItemId Child(ItemId parent, uint32_t row) const;
    // Row of a line among its parent's children.
    uint32_t Row(ItemId item) const;
    // Calls visit(line, depth) for every line in pre-order (depth 0 = top level). The
    // walk links the lines of the few blocks it is in to their first child and next
    // sibling there as it comes to them; it keeps nothing in proportion to the tree.
    template <class Visit>
    void ForEachPreOrder(Visit&& visit) const { ForEachPreOrder(kNoItem, kNoItem, visit); }
    // The same for a stretch of the walk: from line from (kNoItem: the start) up to line
    // to, which is not visited (kNoItem: to the end). Stretches between lines that come
    // in pre-order can be walked on threads of their own.
    template <class Visit>
    void ForEachPreOrder(ItemId from, ItemId to, Visit&& visit) const;
    // Lines that cut the walk into about pieces stretches, in pre-order (fewer or none
    // where the tree has no long lists of children to cut). They are children of the
    // lines whose children go on into later blocks, so a stretch is a run of a long
    // list's subtrees.
    std::vector<ItemId> PreOrderCuts(uint32_t pieces) const;
    // Whether line a comes before line b in pre-order.
    bool PreOrderBefore(ItemId a, ItemId b) const;

    // Bytes held by the store (lines, index, strings), for the benchmarks.
    size_t MemoryBytes() const;

private:
    // Twelve bytes: the parent, 48 bits of the argument word, and the format code, image
    // and flags in one 16-bit word.
    struct Line
    {
        uint32_t parent;
        uint32_t argLo;
        uint16_t argHi;
        uint16_t code;  // format (bits 0-9), image (10-12), expanded (13), wide (14)
    };
    static_assert(sizeof(Line) == 12);
    static constexpr unsigned kArgBits = 48;
    static constexpr uint16_t kFmtMask = 0x3FF;
    static constexpr unsigned kImageShift = 10;
    static constexpr uint16_t kImageMask = 7;
    static constexpr uint16_t kExpanded = 1u << 13;
    static constexpr uint16_t kWide = 1u << 14;  // the argument word is in m_wideArgs
    static constexpr unsigned kChunkBits = 19;  // 6 MB of lines: three huge pages each
    static constexpr uint32_t kChunkSize = 1u << kChunkBits;
    // The child lists are indexed by blocks of lines, small enough to be made in a moment
    // and kept by the dozen.
    static constexpr unsigned kBlockBits = 13;
    static constexpr uint32_t kBlockSize = 1u << kBlockBits;

    static constexpr uint32_t kMaxLines = 0xFFFFFF00u;  // ids are 32-bit
    static uint32_t DefaultLineLimit();

    Line& LineRef(ItemId id) { return m_chunks[id >> kChunkBits][id & (kChunkSize - 1)]; }
    const Line& LineRef(ItemId id) const { return m_chunks[id >> kChunkBits][id & (kChunkSize - 1)]; }
    bool Grow();
    // Keeps the whole argument of line id aside; false without memory (the tree is full).
    bool KeepWide(ItemId id, uint64_t arg);
    uint64_t WideArg(ItemId id) const;
    // False when the parent is not before the child, or memory for the list is short.
    bool AddOuterChild(ItemId parent, ItemId child);
    // Lists the lines with children in later blocks when the list is stale; false
    // without memory for it (the walk then visits nothing).
    bool EnsureOuterParents() const;

    // Lines live in fixed chunks, so growing never copies them. Slot 0 of chunk 0 is unused.
    struct ChunkFree
    {
        void operator()(Line* p) const;
    };
    std::vector<std::unique_ptr<Line[], ChunkFree>> m_chunks;

    uint32_t m_nCount = 0;
    uint32_t m_nCapacity = 0;
    uint32_t m_nLimit = DefaultLineLimit();
    bool m_bFull = false;
    std::string m_strings;
    std::vector<ItemId> m_marked;
    std::unordered_map<ItemId, uint64_t> m_wideArgs;  // the arguments of more than 48 bits

    // The pre-order walk's links, per line of a block (and the top level at 0): the
    // offsets in the block of the line's first child there (bits 0-12) and of its next
    // sibling there (bits 16-28), and whether it has children in later blocks (bit 15),
    // which are on its outer list. Offset 0 means none: a block's first line is never
    // the child of a line in that block.
    //
    // A walk makes them for the blocks it comes to, a few at a time. Every branch that
    // runs through the whole file (the packet structure, each stream's) takes the walk
    // through every block again, and so through memory again; linking a block as the
    // walk comes to it brings the block's lines into the cache for making their texts,
    // where links kept for the whole tree would be more memory to go through.
    static constexpr uint32_t kLinkOffset = kBlockSize - 1;
    static constexpr unsigned kLinkNextShift = 16;
    static constexpr uint32_t kLinkOuter = 1u << 15;
    class LinkCache
    {
    public:
        explicit LinkCache(const CResultTree& tree) : m_tree(tree) {}
        uint32_t operator()(ItemId id)
        {
            const uint32_t block = BlockOf(id);
            Slot& slot = m_slots[block % m_slots.size()];
            if (slot.block != block) [[unlikely]]
                Fetch(slot, block);
            return slot.links[id & kLinkOffset];
        }

    private:
        struct Slot
        {
            uint32_t block = ~0u;
            uint32_t* links = nullptr;
            std::unique_ptr<uint32_t[]> own;
        };
        void Fetch(Slot& slot, uint32_t block);
        void Make(uint32_t* links, uint32_t block);
        const CResultTree& m_tree;
        // A walk is in a line's block and, near the end of a block, the next one; the
        // lines above it take no links once their children are under way.
        std::array<Slot, 4> m_slots;
        std::vector<uint16_t> m_lastChild;
        // A tree whose lines jump from block to block (no analysis makes one, but any
        // tree may be walked) would have its blocks linked again and again: past a few
        // times the blocks, the walk keeps the links of every block it has made.
        uint64_t m_nMade = 0;
        std::vector<std::unique_ptr<uint32_t[]>> m_kept;
    };
    // The lines with children on an outer list, in id order; made again when stale.
    mutable bool m_bIndexValid = false;
    mutable std::vector<ItemId> m_outerParents;

    // A line of the walk whose children are being visited.
    struct WalkFrame
    {
        ItemId base;     // the block of the line whose children these are
        uint32_t local;  // offset of the next child in that block, 0 when done
        const ItemId* outer;
        const ItemId* outerEnd;
    };
    // Puts the parent's outer list in its frame.
    void AddOuterList(ItemId parent, WalkFrame& f) const;
    // The walk's stack as it stands when it comes to line from: a frame for each line
    // above it (the top level first), each past from's branch. False when from is not a
    // line or the links cannot be had.
    bool StackAt(ItemId from, std::vector<WalkFrame>& stack, LinkCache& links) const;

    // ---- the child lists of ChildCount, Child and Row
    // The children of one block's lines among that block's lines.
    struct BlockIndex
    {
        ItemId last = kNoItem;        // the block's last line when the index was made
        std::vector<uint32_t> start;  // per line of the block, size lines + 1
        std::vector<ItemId> children;
    };
    static uint32_t BlockOf(ItemId id) { return id >> kBlockBits; }
    static ItemId BlockBase(uint32_t block) { return block << kBlockBits; }
    ItemId BlockFirst(uint32_t block) const { return block == 0 ? 1 : BlockBase(block); }
    ItemId BlockLast(uint32_t block) const
    {
        const uint64_t last = uint64_t{BlockBase(block)} + kBlockSize - 1;
        return last < m_nCount ? static_cast<ItemId>(last) : m_nCount;
    }
    void BuildBlockIndex(uint32_t block, BlockIndex& index) const;

    // A growing array of plain values. It grows with realloc, which moves a large block
    // by remapping its pages instead of copying them and touching new ones.
    template <class T>
    class GrowArray
    {
    public:
        GrowArray() = default;
        ~GrowArray() { std::free(m_p); }
        GrowArray(const GrowArray&) = delete;
        GrowArray& operator=(const GrowArray&) = delete;
        bool Push(T value)
        {
            if (m_n == m_capacity && !Reserve(m_capacity == 0 ? 16 : m_capacity * 2))
                return false;
            m_p[m_n++] = value;
            return true;
        }
        // Grows to n values, the new ones zero; false without memory.
        bool GrowZeroed(size_t n)
        {
            if (n <= m_n)
                return true;
            if (n > m_capacity && !Reserve(std::max(n, m_capacity * 2)))
                return false;
            std::memset(m_p + m_n, 0, (n - m_n) * sizeof(T));
            m_n = n;
            return true;
        }
        void Release()
        {
            std::free(m_p);
            m_p = nullptr;
            m_n = m_capacity = 0;
        }
        T& operator[](size_t i) { return m_p[i]; }
        const T& operator[](size_t i) const { return m_p[i]; }
        const T* Data() const { return m_p; }
        size_t Size() const { return m_n; }
        size_t Bytes() const { return m_capacity * sizeof(T); }

    private:
        bool Reserve(size_t capacity)
        {
            if (capacity > SIZE_MAX / sizeof(T))
                return false;
            void* p = std::realloc(m_p, capacity * sizeof(T));
            if (p == nullptr)
                return false;
            m_p = static_cast<T*>(p);
            m_capacity = capacity;
            return true;
        }
        T* m_p = nullptr;
        size_t m_n = 0;
        size_t m_capacity = 0;
    };
    using IdList = GrowArray<ItemId>;
    const IdList* OuterChildren(ItemId parent) const;

    // A bit per line (and the top level): it has children. Apart from the lines, so that
    // a view laying out a long list of children finds the bits close together.
    GrowArray<uint64_t> m_hasChildren;
    ItemId m_nBitParent = ~ItemId{0};  // the parent whose bit the last line set
    // Children in a later block than their parent's, per parent, in id order. The lists
    // are found through a small table by the parent's low bits. Those that take children
    // all the time (the packet structure and the stream branches, taking turns) are a few
    // group lines made early, and their long lists keep their slots; a line that takes a
    // few children at a block's start and no more has a slot until another needs it.
    std::unordered_map<ItemId, IdList> m_outerChildren;
    struct OuterSlot
    {
        ItemId parent = ~ItemId{0};
        IdList* children = nullptr;
    };
    std::array<OuterSlot, 64> m_outerSlots{};
    OuterSlot m_recentOuter;

public:
    // Child lists for one thread: the block indexes it uses, a few at a time.
    class Reader
    {
    public:
        explicit Reader(const CResultTree& tree) : m_tree(tree) {}
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        const CResultTree& Tree() const { return m_tree; }
        uint32_t ChildCount(ItemId parent) { return Children(parent).Size(); }
        ItemId Child(ItemId parent, uint32_t row);
        uint32_t Row(ItemId item);
        // Forgets every index (the tree was emptied).
        void Clear();

    private:
        // A line's children: those in its own block, then those in later blocks.
        struct Span
        {
            const ItemId* begin = nullptr;
            uint32_t size = 0;
        };
        struct Kids
        {
            Span local, outer;
            uint32_t Size() const { return local.size + outer.size; }
        };
        Kids Children(ItemId parent);
        const BlockIndex& IndexOf(uint32_t block);

        const CResultTree& m_tree;
        std::vector<std::unique_ptr<BlockIndex>> m_blocks;
        uint32_t m_nIndexes = 0;
        // The last line asked about, while the tree keeps its size: a view asks for the
        // children of one line row by row.
        ItemId m_lastParent = kNoItem;
        uint32_t m_nLastCount = 0;
        Kids m_lastKids;
    };

private:
    mutable Reader m_reader{*this};
};

template <class Visit>
void CResultTree::ForEachPreOrder(ItemId from, ItemId to, Visit&& visit) const
{
    // Depth-first with an explicit stack: the tree is shallow but has millions of lines.
    // A line's children are those in its own block (a chain of links), then those on its
    // outer list.
    LinkCache links(*this);
    std::vector<WalkFrame> stack;
    stack.reserve(64);
    if (!StackAt(from, stack, links))
        return;
    const auto push = [&](ItemId parent, uint32_t link) {
        WalkFrame f{parent & ~kLinkOffset, link & kLinkOffset, nullptr, nullptr};
        if (link & kLinkOuter) [[unlikely]]
            AddOuterList(parent, f);
        stack.push_back(f);
    };
    if (from != kNoItem)
    {
        if (from == to)
            return;
        visit(from, static_cast<uint32_t>(stack.size() - 1));
        if (const uint32_t link = links(from); link & (kLinkOffset | kLinkOuter))
            push(from, link);
    }
    while (!stack.empty())
    {
        WalkFrame& f = stack.back();
        ItemId item;
        uint32_t link;
        if (f.local != 0)
        {
            item = f.base + f.local;
            link = links(item);
            f.local = link >> kLinkNextShift;
        }
        else if (f.outer != f.outerEnd)
        {
            item = *f.outer++;
            link = links(item);
        }
        else
        {
            stack.pop_back();
            continue;
        }
        if (item == to)
            return;
        visit(item, static_cast<uint32_t>(stack.size() - 1));
        if (link & (kLinkOffset | kLinkOuter))
            push(item, link);
    }
}
