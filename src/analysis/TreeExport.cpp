#include "analysis/TreeExport.h"

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

bool WriteTreeText(const CResultTree& tree, std::FILE* out)
{
    BlockWriter w(out);
    std::string& buf = w.Buffer();
    // Depth-first with an explicit stack: the tree is shallow but has millions of lines.
    struct Frame
    {
        ItemId parent;
        uint32_t next;
        uint32_t count;
    };
    std::vector<Frame> stack;
    stack.push_back({kNoItem, 0, tree.ChildCount(kNoItem)});
    while (!stack.empty())
    {
        Frame& f = stack.back();
        if (f.next == f.count)
        {
            stack.pop_back();
            continue;
        }
        const ItemId item = tree.Child(f.parent, f.next++);
        buf.append(2 * (stack.size() - 1), ' ');
        tree.AppendText(item, buf);
        buf.push_back('\n');
        w.MaybeFlush();
        if (const uint32_t n = tree.ChildCount(item))
            stack.push_back({item, 0, n});
    }
    return w.Ok();
}

bool WriteTreeJson(const CResultTree& tree, std::FILE* out)
{
    BlockWriter w(out);
    std::string& buf = w.Buffer();
    std::string text;
    struct Frame
    {
        ItemId parent;
        uint32_t next;
        uint32_t count;
    };
    std::vector<Frame> stack;
    buf.push_back('[');
    stack.push_back({kNoItem, 0, tree.ChildCount(kNoItem)});
    while (!stack.empty())
    {
        Frame& f = stack.back();
        if (f.next == f.count)
        {
            stack.pop_back();
            buf.append(stack.empty() ? "]\n" : "]}");
            continue;
        }
        if (f.next != 0)
            buf.push_back(',');
        const ItemId item = tree.Child(f.parent, f.next++);
        text.clear();
        tree.AppendText(item, text);
        buf.append("{\"text\":");
        AppendJsonString(buf, text, 0);
        buf.append(",\"image\":");
        buf.append(std::to_string(tree.Image(item)));
        buf.append(tree.IsExpanded(item) ? ",\"expanded\":true" : ",\"expanded\":false");
        buf.append(",\"children\":[");
        w.MaybeFlush();
        stack.push_back({item, 0, tree.ChildCount(item)});
    }
    return w.Ok();
}
