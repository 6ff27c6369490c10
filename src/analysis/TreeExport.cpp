#include "analysis/TreeExport.h"

#include "analysis/LineFormat.h"

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <system_error>
#include <mutex>
#include <thread>
#include <vector>


namespace
{

// Collects output in a large block and hands it to stdio in big writes.
class BlockWriter
{
public:
    explicit BlockWriter(std::FILE* out) : m_out(out) { m_buf.reserve(kBlock + 4096); }
    ~BlockWriter() { Flush(); }
    std::string& Buffer() { return m_buf; }
    void MaybeFlush()
    {
        if (m_buf.size() >= kBlock)
            Flush();
    }
    void Flush()
    {
        if (!m_buf.empty() && std::fwrite(m_buf.data(), 1, m_buf.size(), m_out) != m_buf.size())
            m_bFailed = true;
        m_buf.clear();
    }
    bool Ok()
    {
        Flush();
        return !m_bFailed && std::fflush(m_out) == 0 && !std::ferror(m_out);
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    std::FILE* m_out;
    std::string m_buf;
    bool m_bFailed = false;
};

void AppendJsonString(std::string& out, const std::string& text, size_t from)
{
    out.push_back('"');
    for (size_t i = from; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c)
        {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (c < 0x20)
            {
                static const char kHex[] = "0123456789abcdef";
                out.append("\\u00");
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            }
            else
            {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out.push_back('"');
}

}  // namespace

namespace
{

// Text made for the output, in one buffer that only grows: a line is written through a
// pointer once there is room for it.
class TextBuffer
{
public:
    // Room for at least n more bytes at End().
    char* Room(size_t n)
    {
        if (m_text.size() - m_nUsed < n) [[unlikely]]
            Grow(n);
        return m_text.data() + m_nUsed;
    }
    void Advance(size_t n) { m_nUsed += n; }
    void Append(const char* p, size_t n)
    {
        std::memcpy(Room(n), p, n);
        m_nUsed += n;
    }
    const char* Data() const { return m_text.data(); }
    size_t Size() const { return m_nUsed; }
    void Clear() { m_nUsed = 0; }

private:
    [[gnu::noinline]] void Grow(size_t n) { m_text.resize(std::max(m_text.size() * 2, m_nUsed + n + (1 << 16))); }
    std::string m_text;
    size_t m_nUsed = 0;
};

// Makes the output's lines: the indentation, the text and the newline. Most lines of a
// large tree repeat lines made before ("Marker (1) = 1", "prio = 0", "PES HEADER" at
// their depths ...), and a line follows from its format, argument and depth alone, so a
// small direct-mapped cache of recent lines saves making most of them again.
class LineMaker
{
public:
    explicit LineMaker(const CResultTree& tree) : m_tree(tree) {}

    void Line(ItemId item, uint32_t depth, TextBuffer& out)
    {
        const LineFmt fmt = m_tree.Format(item);
        const uint64_t arg = m_tree.Arg(item);
        const uint64_t key = (arg * 0x9E3779B97F4A7C15ull) ^
            ((static_cast<uint64_t>(fmt) | uint64_t{depth} << 16) * 0xC2B2AE3D27D4EB4Full);
        Entry& e = m_entries[(key >> 40) & (kEntries - 1)];
        if (e.length != kEmpty && e.arg == arg && e.fmt == fmt && e.depth == depth)
        {
            // The whole entry at once: a copy of fixed length is a few moves.
            std::memcpy(out.Room(sizeof e.text), e.text, sizeof e.text);
            out.Advance(e.length);
            return;
        }
        m_text.clear();
        FormatLine(fmt, arg, m_tree, m_text);
        const size_t indent = 2 * static_cast<size_t>(depth);
        const size_t length = indent + m_text.size() + 1;
        char* p = out.Room(std::max(length, sizeof e.text));
        std::memset(p, ' ', indent);
        std::memcpy(p + indent, m_text.data(), m_text.size());
        p[length - 1] = '\n';
        out.Advance(length);
        // Texts from the tree's string store may be long; they are rare anyway.
        if (length <= sizeof e.text && fmt != LineFmt::Text && fmt != LineFmt::RootPackets && fmt != LineFmt::RootAll)
        {
            e.arg = arg;
            e.fmt = fmt;
            e.depth = static_cast<uint8_t>(depth);
            e.length = static_cast<uint8_t>(length);
            std::memcpy(e.text, p, length);
        }
    }

private:
    static constexpr size_t kEntries = 1024;
    static constexpr uint8_t kEmpty = 0xFF;
    struct Entry
    {
        uint64_t arg = 0;
        LineFmt fmt = LineFmt::Text;
        uint8_t depth = 0;
        uint8_t length = kEmpty;
        char text[52];
    };
    static_assert(sizeof(Entry) == 64);

    const CResultTree& m_tree;
    std::vector<Entry> m_entries = std::vector<Entry>(kEntries);
    std::string m_text;
};

bool WriteAll(std::FILE* out, const TextBuffer& text)
{
    return text.Size() == 0 || std::fwrite(text.Data(), 1, text.Size(), out) == text.Size();
}

bool WriteSerially(const CResultTree& tree, std::FILE* out)
{
    TextBuffer text;
    LineMaker maker(tree);
    bool ok = true;
    tree.ForEachPreOrder([&](ItemId item, uint32_t depth) {
        maker.Line(item, depth, text);
        if (text.Size() >= (1u << 20))
        {
            ok = ok && WriteAll(out, text);
            text.Clear();
        }
    });
    return ok && WriteAll(out, text) && std::fflush(out) == 0 && !std::ferror(out);
}

// Writing a whole tree is mostly walking it and making texts. A large tree's walk is cut
// into stretches (runs of the subtrees on its long lists of children), which threads
// walk and format each on its own; the stretches are written out in order.
class ParallelTextWriter
{
public:
    ParallelTextWriter(const CResultTree& tree, std::FILE* out, std::vector<ItemId> cuts)
        : m_tree(tree), m_out(out), m_cuts(std::move(cuts)), m_slots(kAhead)
    {
    }

    bool Run(unsigned workers)
    {
        std::vector<std::thread> threads;
        try
        {
            for (unsigned i = 0; i < workers; ++i)
                threads.emplace_back([this] { Work(); });
        }
        catch (const std::system_error&)
        {
            // Fewer threads than asked for.
        }
        if (threads.empty())
            return WriteSerially(m_tree, m_out);
        const size_t stretches = m_cuts.size() + 1;
        bool ok = true;
        for (size_t n = 0; n < stretches; ++n)
        {
            Slot& slot = m_slots[n % kAhead];
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [&] { return slot.ready; });
            lock.unlock();
            ok = ok && WriteAll(m_out, slot.text);
            lock.lock();
            slot.ready = false;
            slot.text.Clear();
            ++m_nWritten;
            lock.unlock();
            m_cv.notify_all();
        }
        for (std::thread& t : threads)
            t.join();
        return ok && std::fflush(m_out) == 0 && !std::ferror(m_out);
    }

private:
    // Stretches made ahead of the writer at most; each holds a few megabytes of text.
    static constexpr size_t kAhead = 6;
    struct Slot
    {
        TextBuffer text;
        bool ready = false;
    };

    void Work()
    {
        LineMaker maker(m_tree);
        // Each thread makes its text in a buffer of its own (the slots' buffers lie side
        // by side, and two threads writing next to each other would share cache lines),
        // and trades it for the slot's, written out and emptied, when the stretch is done.
        TextBuffer text;
        const size_t stretches = m_cuts.size() + 1;
        for (;;)
        {
            size_t n;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_nTaken == stretches)
                    return;
                n = m_nTaken++;
                m_cv.wait(lock, [&] { return n < m_nWritten + kAhead; });
            }
            Slot& slot = m_slots[n % kAhead];
            const ItemId from = n == 0 ? kNoItem : m_cuts[n - 1];
            const ItemId to = n == m_cuts.size() ? kNoItem : m_cuts[n];
            text.Clear();
            m_tree.ForEachPreOrder(from, to, [&](ItemId item, uint32_t depth) { maker.Line(item, depth, text); });
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                std::swap(slot.text, text);
                slot.ready = true;
            }
            m_cv.notify_all();
        }
    }

    const CResultTree& m_tree;
    std::FILE* m_out;
    const std::vector<ItemId> m_cuts;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    size_t m_nTaken = 0, m_nWritten = 0;
};

}  // namespace

bool WriteTreeText(const CResultTree& tree, std::FILE* out)
{
    // Stretches of about a hundred thousand lines.
    constexpr uint32_t kStretchLines = 1u << 17;
    const unsigned cores = std::thread::hardware_concurrency();
    if (tree.Count() >= 4 * kStretchLines && cores >= 2)
    {
        std::vector<ItemId> cuts = tree.PreOrderCuts(tree.Count() / kStretchLines);
        if (!cuts.empty())
        {
            ParallelTextWriter writer(tree, out, std::move(cuts));
            return writer.Run(std::min(cores, 4u));
        }
    }
    return WriteSerially(tree, out);
}

bool WriteTreeJson(const CResultTree& tree, std::FILE* out)
{
    BlockWriter w(out);
    std::string& buf = w.Buffer();
    std::string text;
    // Lines are opened in pre-order; a line's children array and object close when the
    // walk comes back to a depth at or above its own.
    uint32_t open = 0;  // lines whose object is still open
    buf.push_back('[');
    tree.ForEachPreOrder([&](ItemId item, uint32_t depth) {
        if (depth < open)
        {
            for (; open > depth + 1; --open)
                buf.append("]}");
            buf.append("]},");
            open = depth;
        }
        text.clear();
        AppendLineText(tree, item, text);
        buf.append("{\"text\":");
        AppendJsonString(buf, text, 0);
        buf.append(",\"image\":");
        buf.append(std::to_string(tree.Image(item)));
        buf.append(tree.IsExpanded(item) ? ",\"expanded\":true" : ",\"expanded\":false");
        buf.append(",\"children\":[");
        open = depth + 1;
        w.MaybeFlush();
    });
    for (; open > 0; --open)
        buf.append("]}");
    buf.append("]\n");
    return w.Ok();
}
