#include "analysis/TreeExport.h"

#include "analysis/LineFormat.h"

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <deque>
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

// Most lines of a large tree repeat texts made before ("Marker (1) = 1", "prio = 0",
// "PES HEADER" ...). A line's text follows from its format and argument alone, so a
// small direct-mapped cache of recent texts saves making most of them again.
class TextCache
{
public:
    void Append(const CResultTree& tree, ItemId item, std::string& out)
    {
        const LineFmt fmt = tree.Format(item);
        const uint64_t arg = tree.Arg(item);
        // Texts from the tree's string store may be long; they are rare anyway.
        if (fmt == LineFmt::Text || fmt == LineFmt::RootPackets || fmt == LineFmt::RootAll)
        {
            AppendLineText(tree, item, out);
            return;
        }
        const uint64_t key = (arg * 0x9E3779B97F4A7C15ull) ^ (static_cast<uint64_t>(fmt) * 0xC2B2AE3D27D4EB4Full);
        Entry& e = m_entries[(key >> 40) & (kEntries - 1)];
        if (e.length != kEmpty && e.fmt == fmt && e.arg == arg)
        {
            out.append(e.text, e.length);
            return;
        }
        const size_t before = out.size();
        AppendLineText(tree, item, out);
        const size_t length = out.size() - before;
        if (length <= sizeof e.text)
        {
            e.fmt = fmt;
            e.arg = arg;
            e.length = static_cast<uint8_t>(length);
            std::memcpy(e.text, out.data() + before, length);
        }
    }

private:
    static constexpr size_t kEntries = 4096;
    static constexpr uint8_t kEmpty = 0xFF;
    struct Entry
    {
        uint64_t arg = 0;
        LineFmt fmt = LineFmt::Text;
        uint8_t length = kEmpty;
        char text[53];
    };
    std::vector<Entry> m_entries = std::vector<Entry>(kEntries);
};

void AppendIndentedLine(const CResultTree& tree, ItemId item, uint32_t depth, std::string& buf, TextCache& cache)
{
    static const std::string kIndent(256, ' ');
    const size_t indent = 2 * static_cast<size_t>(depth);
    if (indent <= kIndent.size())
        buf.append(kIndent.data(), indent);
    else
        buf.append(indent, ' ');
    cache.Append(tree, item, buf);
    buf.push_back('\n');
}

// Writing a whole tree is mostly making texts. On a large tree the walk hands blocks of
// lines to two formatting threads and writes their results back in order, so the texts
// are made on both cores.
class ParallelTextWriter
{
public:
    static constexpr size_t kBlockLines = 1 << 15;
    static constexpr size_t kMaxBlocksInFlight = 8;

    ParallelTextWriter(const CResultTree& tree, std::FILE* out) : m_tree(tree), m_out(out) {}

    bool Run(unsigned workers)
    {
        for (unsigned i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { Work(); });
        Block block;
        block.lines = TakeLines();
        m_tree.ForEachPreOrder([&](ItemId item, uint32_t depth) {
            block.lines.push_back({item, depth});
            if (block.lines.size() == kBlockLines)
            {
                Submit(std::move(block));
                block = Block();
                block.lines = TakeLines();
            }
        });
        if (!block.lines.empty())
            Submit(std::move(block));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bDone = true;
        }
        m_cvWork.notify_all();
        WriteReady(true);
        for (std::thread& t : m_threads)
            t.join();
        return !m_bFailed && std::fflush(m_out) == 0 && !std::ferror(m_out);
    }

private:
    using Lines = std::vector<std::pair<ItemId, uint32_t>>;
    struct Block
    {
        Lines lines;
        std::string text;
        bool formatted = false;
    };

    // Blocks are a few hundred kilobytes; fresh ones would come from the system each
    // time, and having it clear their pages cost as much as making the texts. So the
    // buffers go round: lines back to the walk, texts back to the formatters.
    Lines TakeLines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_freeLines.empty())
        {
            Lines lines;
            lines.reserve(kBlockLines);
            return lines;
        }
        Lines lines = std::move(m_freeLines.back());
        m_freeLines.pop_back();
        lines.clear();
        return lines;
    }

    void Submit(Block&& block)
    {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cvRoom.wait(lock, [&] { return m_blocks.size() < kMaxBlocksInFlight || m_blocks.front().formatted; });
            m_blocks.push_back(std::move(block));
            ++m_nQueued;
        }
        m_cvWork.notify_one();
        WriteReady(false);
    }

    void Work()
    {
        TextCache cache;
        for (;;)
        {
            Block* block = nullptr;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_cvWork.wait(lock, [&] { return m_nTaken < m_nQueued || m_bDone; });
                if (m_nTaken == m_nQueued)
                    return;
                block = &m_blocks[m_nTaken - m_nWritten];
                ++m_nTaken;
            }
            std::string text;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_freeTexts.empty())
                {
                    text = std::move(m_freeTexts.back());
                    m_freeTexts.pop_back();
                }
            }
            text.clear();
            text.reserve(block->lines.size() * 40);
            for (const auto& [item, depth] : block->lines)
                AppendIndentedLine(m_tree, item, depth, text, cache);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                block->text = std::move(text);
                m_freeLines.push_back(std::move(block->lines));
                block->formatted = true;
            }
            m_cvRoom.notify_all();
        }
    }

    // Writes the blocks that are formatted, in order; with wait, until all are written.
    void WriteReady(bool wait)
    {
        for (;;)
        {
            std::string text;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (wait)
                    m_cvRoom.wait(lock, [&] { return m_blocks.empty() || m_blocks.front().formatted; });
                if (m_blocks.empty() || !m_blocks.front().formatted)
                    return;
                text = std::move(m_blocks.front().text);
                m_blocks.pop_front();
                ++m_nWritten;
            }
            m_cvRoom.notify_all();
            if (!m_bFailed && std::fwrite(text.data(), 1, text.size(), m_out) != text.size())
                m_bFailed = true;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_freeTexts.push_back(std::move(text));
        }
    }

    const CResultTree& m_tree;
    std::FILE* m_out;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_cvWork, m_cvRoom;
    std::deque<Block> m_blocks;  // not yet written, in order; deque keeps addresses stable
    std::vector<Lines> m_freeLines;
    std::vector<std::string> m_freeTexts;
    size_t m_nQueued = 0, m_nTaken = 0, m_nWritten = 0;
    bool m_bDone = false;
    bool m_bFailed = false;
};

}  // namespace

bool WriteTreeText(const CResultTree& tree, std::FILE* out)
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (tree.Count() > 4 * ParallelTextWriter::kBlockLines && cores >= 2)
    {
        ParallelTextWriter writer(tree, out);
        return writer.Run(std::min(cores, 4u));
    }
    BlockWriter w(out);
    std::string& buf = w.Buffer();
    TextCache cache;
    tree.ForEachPreOrder([&](ItemId item, uint32_t depth) {
        AppendIndentedLine(tree, item, depth, buf, cache);
        w.MaybeFlush();
    });
    return w.Ok();
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
