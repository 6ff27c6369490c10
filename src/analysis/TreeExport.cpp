#include "analysis/TreeExport.h"


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
    tree.ForEachPreOrder([&](ItemId item, uint32_t depth) {
        static const std::string kIndent(256, ' ');
        const size_t indent = 2 * static_cast<size_t>(depth);
        if (indent <= kIndent.size())
            buf.append(kIndent.data(), indent);
        else
            buf.append(indent, ' ');
        tree.AppendText(item, buf);
        buf.push_back('\n');
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
        tree.AppendText(item, text);
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
