#include "analysis/LengthWalk.h"

#include "stream/CInput.h"
#include "syntax/Mpeg.h"
#include "syntax/dvd/AudioSubstreams.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/system/Mpeg1Headers.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <algorithm>
#include <cstring>

namespace
{
// The bytes a video header needs after its start code: a sequence header's eight fixed
// bytes are the most; a picture or group of pictures header has four.
constexpr uint32_t kVideoHeaderBytes = 8;
uint32_t VideoHeaderBytes(int code)
{
    return code == mpeg::kSequenceHeader ? 8 : 4;
}

// The MPEG-1 pack header in the fields of the record's pack header, which the analysis
// file stores: the SCR, the mux rate and the markers where the two layouts share them;
// the rest is 0.
void FromMpeg1(const uint8_t* bytes, size_t n, const CMpeg1PackHeader& h, CPackHeader& out)
{
    // A pack cut by the end of the input shows zeros for the bytes it lacks.
    uint8_t b[8] = {};
    std::memcpy(b, bytes, std::min<size_t>(n, sizeof b));
    out = CPackHeader();
    out.m_nMarker01 = b[0] >> 6;
    out.m_nScr32_30 = static_cast<uint32_t>(h.m_nScr >> 30) & 7;
    out.m_nMarker1 = b[0] & 1;
    out.m_nScr29_15 = static_cast<uint32_t>(h.m_nScr >> 15) & 0x7FFF;
    out.m_nMarker2 = b[2] & 1;
    out.m_nScr14_0 = static_cast<uint32_t>(h.m_nScr) & 0x7FFF;
    out.m_nMarker3 = b[4] & 1;
    out.m_nMarker4 = b[5] >> 7;
    out.m_nProgramMuxRate = h.m_nProgramMuxRate;
    out.m_nMarker5 = b[7] & 1;
    out.m_nScrBase = h.m_nScr;
    out.m_nMuxRateBps = h.m_nProgramMuxRate * 400;
    std::memcpy(out.m_raw, b, 8);
}
}  // namespace

struct CLengthWalk::Video
{
    CStartCodeJoiner joiner;
    int code = -1;       // the header being collected
    uint8_t header[kVideoHeaderBytes] = {};
    uint32_t have = 0;
    uint32_t need = 0;       // bytes it is read from
    ItemId owner = kNoItem;  // the packet line it goes under
    CPackNode* record = nullptr;  // the record of the pack where it starts
    // This packet's line and the one before: a start code cut by the packets' boundary
    // belongs to the packet where it began.
    ItemId line = kNoItem, previousLine = kNoItem;
    uint64_t position = 0;   // payload bytes before this packet's
};

CLengthWalk::CLengthWalk(CResultTree& tree, CTreeDisplay& display, CPackList& records, const CInput& input,
                         IProgress& progress, uint32_t maxPacks)
    : m_tree(tree)
    , m_display(display)
    , m_records(records)
    , m_input(input)
    , m_progress(progress)
    , m_maxPacks(maxPacks)
{
}

CLengthWalk::~CLengthWalk() = default;

bool CLengthWalk::Admit()
{
    // The limit counts pack headers: the run ends at the first element after the last one.
    if (m_maxPacks != 0 && m_packs >= m_maxPacks)
    {
        m_limit = true;
        return false;
    }
    ++m_startCodes;
    return true;
}

bool CLengthWalk::Tick(uint64_t position)
{
    if (m_progress.Tick(position))
        return true;
    m_ended = true;
    return false;
}

CPackNode& CLengthWalk::Record()
{
    // Elements before the first pack, and elementary streams, get a record of their own.
    if (!m_record)
        m_record = &m_records.Append();
    return *m_record;
}

// ---------------------------------------------------------------------------- system layer

bool CLengthWalk::OnPack(const model::ElementBytes& e, const model::PackHeaders& h)
{
    if (!Admit())
        return false;
    CPackNode& node = m_records.Append();
    m_record = &node;
    node.m_nPackNumber = ++m_packs;
    // The record keeps the offset in the file the user opened.
    node.m_nPosition = m_input.FileOffset(e.offset + 4);
    node.Set(CPackNode::PackHeader);
    CTreeDisplay::PackLines lines;
    if (h.mpeg2)
    {
        node.m_packHeader = *h.mpeg2;
        lines = m_display.Pack(node.m_nPackNumber, *h.mpeg2);
    }
    else
    {
        FromMpeg1(e.bytes + 4, e.size - 4, *h.mpeg1, node.m_packHeader);
        lines = m_display.Pack(node.m_nPackNumber, *h.mpeg1);
    }
    if (lines.pack)
        node.Set(CPackNode::PackLine);
    if (lines.header)
        node.Set(CPackNode::HeaderLine);
    return Tick(e.offset + e.size);
}

bool CLengthWalk::OnSystemHeader(const model::ElementBytes& e, const CSystemHeader& h)
{
    if (!Admit())
        return false;
    Record().Set(CPackNode::SystemHeader);
    m_display.SystemHeader(h);
    return Tick(e.offset + e.size);
}

bool CLengthWalk::OnEndCode(const model::ElementBytes& e)
{
    if (!Admit())
        return false;
    return Tick(e.offset + e.size);
}

bool CLengthWalk::OnPacket(const model::ElementBytes& e, const model::PacketHeaders& h)
{
    if (!Admit())
        return false;
    const uint8_t id = e.bytes[3];
    const model::PesEvent& event = *h.event;
    // Padding is a line under the packet before it, as in the byte walk.
    if (id == mpeg::kPaddingStream)
    {
        m_display.Padding();
        return Tick(e.offset + e.size);
    }
    Record().Set(CPackNode::PesHeader);
    CTreeDisplay::Packet p;
    p.streamId = id;
    p.packetLength = event.packetLength;
    p.mpeg2 = h.mpeg2;
    p.mpeg1 = h.mpeg1;
    p.substream = h.substream;
    p.pci = h.pci;
    p.dsi = h.dsi;
    CLpcmHeader lpcm;
    const uint8_t subId = h.substream ? h.substream->m_nSubstreamId : 0;
    // An LPCM substream header ends in three bytes of the LPCM header.
    if (h.substream && Substream::IsLpcm(subId) && h.payloadStart + 7 <= e.size)
    {
        lpcm.Parse(e.bytes + h.payloadStart + 4, 3);
        p.lpcm = &lpcm;
    }
    const ItemId line = m_display.PacketLines(p);

    const uint8_t* payload = e.bytes + (event.payloadOffset - e.offset);
    const size_t size = event.payloadSize;
    if (mpeg::IsAudioStream(id))
        MpegAudio(id, payload, size, line);
    else if (mpeg::IsVideoStream(id))
    {
        std::unique_ptr<Video>& v = m_video[id & 0x0F];
        if (!v)
            v = std::make_unique<Video>();
        ScanVideo(*v, payload, size, line);
    }
    else if (h.substream && (Substream::IsAc3(subId) || Substream::IsDts(subId)))
        CodedAudio(subId, payload, size, line);
    return Tick(e.offset + e.size);
}

bool CLengthWalk::OnElementaryData(const uint8_t* data, size_t size, uint64_t offset)
{
    // The pack limit does not apply: there are no packs.
    if (m_container == model::Container::VideoElementary)
    {
        std::unique_ptr<Video>& v = m_video[0];
        if (!v)
            v = std::make_unique<Video>();
        ScanVideo(*v, data, size, kNoItem);
    }
    else
    {
        if (!m_audioFile)
        {
            m_audioFile = std::make_unique<CFrameWalk>(CFrameWalk::Codec::MpegAudio, true);
            m_audioFileLine = m_display.AudioFileStream();
            Record().Set(CPackNode::AudioHeader);
        }
        CFrameWalk& walk = *m_audioFile;
        walk.Payload(data, size, m_audioFileLine, [&](const CFrameWalk::Frame& f) {
            const ItemId line = m_display.FrameLine(f.owner, static_cast<int32_t>(f.at),
                                                    static_cast<int32_t>(f.expected), f.first, f.missing);
            ShowAudioHeader(m_tree, line, walk.MpegHeader());
        });
    }
    return Tick(offset + size);
}

// ---------------------------------------------------------------------------- audio frames

void CLengthWalk::MpegAudio(uint8_t id, const uint8_t* data, size_t size, ItemId line)
{
    Record().Set(CPackNode::AudioHeader);
    std::unique_ptr<CFrameWalk>& w = m_mpegAudio[id & 0x1F];
    if (!w)
        w = std::make_unique<CFrameWalk>(CFrameWalk::Codec::MpegAudio);
    CFrameWalk& walk = *w;
    walk.Payload(data, size, line, [&](const CFrameWalk::Frame& f) {
        const ItemId frame = m_display.FrameLine(f.owner, static_cast<int32_t>(f.at), static_cast<int32_t>(f.expected),
                                                 f.first, f.missing);
        ShowAudioHeader(m_tree, frame, walk.MpegHeader());
    });
}

void CLengthWalk::CodedAudio(uint8_t subId, const uint8_t* data, size_t size, ItemId line)
{
    const bool ac3 = Substream::IsAc3(subId);
    std::unique_ptr<CFrameWalk>& w = m_codedAudio[subId & 0x0F];
    if (!w)
        w = std::make_unique<CFrameWalk>(ac3 ? CFrameWalk::Codec::Ac3 : CFrameWalk::Codec::Dts);
    CFrameWalk& walk = *w;
    walk.Payload(data, size, line, [&](const CFrameWalk::Frame& f) {
        const ItemId frame = m_display.FrameLine(f.owner, static_cast<int32_t>(f.at), static_cast<int32_t>(f.expected),
                                                 f.first, f.missing);
        if (ac3)
            ShowAc3Header(m_tree, frame, walk.Ac3Header());
        else
            ShowDtsHeader(m_tree, frame, walk.DtsHeader());
    });
}

// ---------------------------------------------------------------------------- video

void CLengthWalk::ScanVideo(Video& v, const uint8_t* data, size_t n, ItemId line)
{
    v.previousLine = v.line;
    v.line = line;
    const uint64_t base = v.position;
    v.position += n;
    // The start codes as the byte walk would meet them in the joined payload: the header
    // begun in earlier packets first.
    if (v.code >= 0)
        Collect(v, data, n);
    v.joiner.Scan(data, n, base, [&](uint8_t code, uint64_t position, const uint8_t* after, size_t available) {
        OnVideoCode(v, code, position < base ? v.previousLine : v.line, after, available);
    });
}

void CLengthWalk::OnVideoCode(Video& v, uint8_t code, ItemId owner, const uint8_t* after, size_t available)
{
    if (v.code >= 0)
        ShowVideoHeader(v);
    ++m_startCodes;
    switch (code)
    {
    case mpeg::kPictureStart:
    case mpeg::kSequenceHeader:
    case mpeg::kGroupStart:
        v.code = code;
        v.have = 0;
        v.need = VideoHeaderBytes(code);
        v.owner = owner;
        v.record = &Record();
        std::memset(v.header, 0, sizeof v.header);
        Collect(v, after, available);
        break;
    case mpeg::kExtensionStart: m_display.ExtensionData(owner); break;
    default: break;
    }
}

void CLengthWalk::Collect(Video& v, const uint8_t* data, size_t n)
{
    const uint32_t take = static_cast<uint32_t>(std::min<size_t>(v.need - v.have, n));
    std::memcpy(v.header + v.have, data, take);
    v.have += take;
    if (v.have == v.need)
        ShowVideoHeader(v);
}

namespace
{
template <class Element>
Element ParseVideo(const uint8_t* header, uint32_t have)
{
    Element element;
    element.Parse(header, have);
    return element;
}
}  // namespace

void CLengthWalk::ShowVideoHeader(Video& v)
{
    const int code = v.code;
    v.code = -1;
    if (code == mpeg::kPictureStart)
    {
        v.record->Set(CPackNode::PictureHeader);
        m_display.PictureHeader(ParseVideo<CPictureHeader>(v.header, v.have), v.owner);
    }
    else if (code == mpeg::kSequenceHeader)
    {
        v.record->Set(CPackNode::SequenceHeader);
        m_display.SequenceHeader(ParseVideo<CSequenceHeader>(v.header, v.have), v.owner);
    }
    else if (code == mpeg::kGroupStart)
    {
        v.record->Set(CPackNode::GopHeader);
        m_display.GopHeader(ParseVideo<CGopHeader>(v.header, v.have), v.owner);
    }
}

void CLengthWalk::Finish()
{
    for (std::unique_ptr<Video>& v : m_video)
        if (v && v->code >= 0)
            ShowVideoHeader(*v);
}
