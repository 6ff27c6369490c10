#include "AafReader.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace
{
class Cursor
{
public:
    explicit Cursor(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    bool AtEnd() const { return m_pos == m_bytes.size(); }
    size_t Pos() const { return m_pos; }

    bool U32(uint32_t* v)
    {
        if (m_bytes.size() - m_pos < 4)
            return false;
        const uint8_t* p = m_bytes.data() + m_pos;
        *v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        m_pos += 4;
        return true;
    }

    // A length-prefixed string: the length counts the NUL, which must be the last byte
    // and the only one.
    bool String(std::string* s)
    {
        uint32_t n;
        if (!U32(&n) || n == 0 || m_bytes.size() - m_pos < n)
            return false;
        const char* p = reinterpret_cast<const char*>(m_bytes.data() + m_pos);
        if (p[n - 1] != '\0' || std::memchr(p, '\0', n - 1) != nullptr)
            return false;
        s->assign(p, n - 1);
        m_pos += n;
        return true;
    }

    bool Bytes(uint8_t* out, size_t n)
    {
        if (m_bytes.size() - m_pos < n)
            return false;
        std::memcpy(out, m_bytes.data() + m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

bool Fail(std::string* error, const std::string& why, size_t pos)
{
    *error = why + " at offset " + std::to_string(pos);
    return false;
}
}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path, bool* ok)
{
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = bool(in);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ParseAaf(const std::vector<uint8_t>& bytes, AafFile* out, std::string* error)
{
    Cursor c(bytes);
    *out = AafFile();
    if (!c.String(&out->banner) || !c.String(&out->formatTag))
        return Fail(error, "header strings", c.Pos());
    if (!c.String(&out->summaryTag) || out->summaryTag != "SI1.0")
        return Fail(error, "SI1.0 tag", c.Pos());
    if (!c.String(&out->inputPath) || !c.String(&out->date))
        return Fail(error, "SI1.0 strings", c.Pos());
    if (!c.U32(&out->nodeCount))
        return Fail(error, "node count", c.Pos());

    // The groups run to the end of the file; their number is checked against the count
    // by the tests, not assumed here.
    while (!c.AtEnd())
    {
        AafNode node;
        std::string tag;
        uint32_t length;
        if (!c.String(&tag) || tag != "SP1.0")
            return Fail(error, "SP1.0 tag", c.Pos());
        if (!c.U32(&length) || length != 60)
            return Fail(error, "SP1.0 length", c.Pos());
        for (uint32_t& w : node.words)
        {
            if (!c.U32(&w))
                return Fail(error, "SP1.0 words", c.Pos());
        }
        if (node.words[5] != 0)
        {
            node.hasPackRecord = true;
            if (!c.String(&tag) || tag != "PH1.0")
                return Fail(error, "PH1.0 tag", c.Pos());
            if (!c.U32(&length) || length != 80)
                return Fail(error, "PH1.0 length", c.Pos());
            if (!c.Bytes(node.payload, 80))
                return Fail(error, "PH1.0 payload", c.Pos());
        }
        out->nodes.push_back(node);
    }
    return true;
}

AafPackPayload DecodePackPayload(const uint8_t payload[80])
{
    auto u32 = [&](size_t off) {
        return uint32_t(payload[off]) | uint32_t(payload[off + 1]) << 8 | uint32_t(payload[off + 2]) << 16 |
               uint32_t(payload[off + 3]) << 24;
    };
    AafPackPayload p;
    for (size_t i = 0; i < 15; ++i)
        p.fields[i] = u32(i * 4);
    p.padding60 = u32(60);
    uint64_t bits = uint64_t(u32(64)) | uint64_t(u32(68)) << 32;
    std::memcpy(&p.scrMs, &bits, sizeof(bits));
    p.muxRateBps = u32(72);
    p.padding76 = u32(76);
    return p;
}
