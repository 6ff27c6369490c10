#include "app/inspector/PackElements.h"

#include "model/CDemuxer.h"
#include "model/StreamStats.h"
#include "syntax/Mpeg.h"

#include <algorithm>

namespace inspector
{

namespace
{
// The walk's elements, completed with what the packet events tell of their headers.
class CElementCollector : public model::IModelSink, public model::IElementHook
{
public:
    CElementCollector(uint64_t base, std::vector<PackElement>& out) : m_base(base), m_out(out) {}

    bool OnPack(const model::ElementBytes& e, const model::PackHeaders&) override { return Add(e); }
    bool OnSystemHeader(const model::ElementBytes& e, const CSystemHeader&) override { return Add(e); }
    bool OnPacket(const model::ElementBytes& e, const model::PacketHeaders&) override { return Add(e); }
    bool OnEndCode(const model::ElementBytes& e) override { return Add(e); }
    bool OnElementaryData(const uint8_t*, size_t, uint64_t) override { return true; }

    // An element the end of the stretch cuts is none of the stream model's.
    bool Add(const model::ElementBytes& element)
    {
        if (element.cut)
            return true;
        const uint8_t* bytes = element.bytes;
        const size_t size = element.size;
        const uint64_t offset = element.offset;
        PackElement e;
        const uint8_t code = bytes[3];
        e.kind = code == mpeg::kPackStart           ? PackElement::PackHeader
                 : code == mpeg::kSystemHeaderStart ? PackElement::SystemHeader
                 : code == mpeg::kProgramEnd        ? PackElement::EndCode
                                                    : PackElement::Packet;
        e.streamId = e.kind == PackElement::Packet ? code : 0;
        e.whole = {m_base + offset, size};
        e.header = e.whole;
        m_out.push_back(e);
        return true;
    }
    void OnPack(const model::PackEvent& pack) override
    {
        if (PackElement* e = At(pack.offset))
            e->header.size = std::min<uint64_t>(pack.headerSize, e->whole.size);
    }
    void OnPes(const model::PesEvent& pes) override
    {
        PackElement* e = At(pes.offset);
        if (e == nullptr)
            return;
        e->stream = pes.stream;
        e->header.size = std::min<uint64_t>(pes.headerSize, e->whole.size);
        e->payload = {m_base + pes.payloadOffset, pes.payloadSize};
        e->hasPts = pes.hasPts;
        e->pts = pes.pts;
    }

private:
    PackElement* At(uint64_t offset)
    {
        // Events follow their element's bytes at once: it is the last one kept.
        if (m_out.empty() || m_out.back().whole.offset != m_base + offset)
            return nullptr;
        return &m_out.back();
    }

    uint64_t m_base;
    std::vector<PackElement>& m_out;
};
}  // namespace

std::vector<PackElement> WalkElements(const uint8_t* bytes, size_t size, uint64_t base)
{
    std::vector<PackElement> out;
    if (bytes == nullptr || size < 4)
        return out;
    CElementCollector collector(base, out);
    model::CDemuxer demuxer(collector);
    demuxer.SetElementHook(&collector);
    demuxer.SetUnitAssembly(false);
    demuxer.Run(bytes, size);
    return out;
}

std::string ElementName(const PackElement& e)
{
    switch (e.kind)
    {
    case PackElement::PackHeader: return "pack header";
    case PackElement::SystemHeader: return "system header";
    case PackElement::EndCode: return "program end code";
    case PackElement::Packet: break;
    }
    if (e.streamId == mpeg::kPaddingStream)
        return "padding packet";
    return "PES packet " + (e.stream != model::kNoStream ? model::StreamKeyText(e.stream)
                                                         : model::Format("0x%02X", e.streamId));
}

std::vector<uint64_t> FindStartCodes(const uint8_t* bytes, size_t size, uint64_t base, const ByteRange& range,
                                     uint8_t code)
{
    std::vector<uint64_t> found;
    if (range.offset < base)
        return found;
    const uint64_t from = range.offset - base;
    const uint64_t to = std::min<uint64_t>(size, from + range.size);
    for (uint64_t i = from; i + 4 <= to; ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == code)
            found.push_back(base + i);
    return found;
}

}  // namespace inspector
