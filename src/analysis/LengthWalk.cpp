// The analysis run walking a program stream by its lengths: the stream model's
// demultiplexer goes from pack to pack and packet to packet (MPEG-1 ones read with their
// own layouts) and hands each element here, where it becomes the same records and tree
// lines the byte walk makes. Video start codes are looked for only in video payloads,
// with the ones that packet boundaries cut joined again; audio frames only in audio
// payloads; every other payload is skipped.

#include "analysis/CAnalysisDriver.h"

#include "model/CDemuxer.h"
#include "stream/StartCodeJoiner.h"
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
// The bytes a video header needs after its start code (a sequence header's eight fixed
// bytes are the most).
constexpr uint32_t kVideoHeaderBytes = 8;

// The MPEG-1 pack header in the fields of the tree's pack header: the SCR, the mux rate
// and the markers where the two layouts share them; the rest is 0.
void FromMpeg1(const uint8_t* b, const CMpeg1PackHeader& h, CPackHeader& out)
{
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

// The MPEG-1 PES header in the fields of the tree's one: length, time stamps, the STD
// buffer as a P-STD buffer field; the header data length counts the header's bytes.
void FromMpeg1(uint8_t id, const CMpeg1PesHeader& h, CPesHeader& out)
{
    out = CPesHeader();
    out.m_nStreamId = id;
    out.m_nPacketLength = static_cast<int32_t>(h.m_nPacketLength);
    out.m_nPtsDtsFlags = static_cast<uint8_t>((h.m_bPts ? 2 : 0) | (h.m_bDts ? 1 : 0));
    out.m_nPts = h.m_nPts;
    out.m_nDts = h.m_nDts;
    out.m_nExtensionFlag = h.m_bStdBuffer ? 1 : 0;
    out.m_nPstdBufferFlag = h.m_bStdBuffer ? 1 : 0;
    out.m_nPstdBufferScale = static_cast<int32_t>(h.m_nStdBufferScale);
    out.m_nPstdBufferSize = static_cast<int32_t>(h.m_nStdBufferSize);
    out.m_nHeaderDataLength = static_cast<uint8_t>(h.m_nHeaderSize);
}
}  // namespace

class CLengthWalk : public model::IElementHook
{
public:
    CLengthWalk(CAnalysisDriver& driver, uint32_t maxPacks) : m_d(driver), m_maxPacks(maxPacks) {}

    bool OnElement(const uint8_t* b, size_t size, uint64_t offset) override
    {
        if (m_d.m_bStopRequested)
            return false;
        if (m_maxPacks != 0 && m_d.m_run.packCount >= m_maxPacks)
        {
            m_limit = true;
            return false;
        }
        ++m_d.m_run.startCodes;
        switch (b[3])
        {
        case StartCode::Pack: Pack(b, size, offset); break;
        case StartCode::SystemHeader:
        {
            CSystemHeader header;
            header.Parse(b + 4, size - 4);
            m_d.ShowSystemHeader(header);
            break;
        }
        case StartCode::PaddingStream: m_d.m_display.Padding(); break;
        default:
            if (m_d.m_run.listed[b[3]])
                Packet(b, size);
            break;
        }
        m_d.UpdateProgress(offset + size);
        m_d.m_host.Pump();
        if (m_d.m_tree.IsFull())
        {
            m_full = true;
            return false;
        }
        return true;
    }

    // Headers still waiting for bytes when the input ends are shown with what came.
    void Finish()
    {
        for (Video& v : m_video)
            if (v.code >= 0)
                ShowVideoHeader(v);
    }

    bool LimitReached() const { return m_limit; }
    bool TreeFull() const { return m_full; }

private:
    struct Video
    {
        CStartCodeJoiner joiner;
        int code = -1;          // the header being collected
        uint8_t header[kVideoHeaderBytes] = {};
        uint32_t have = 0;
    };

    void Pack(const uint8_t* b, size_t size, uint64_t offset)
    {
        CPackNode& node = m_d.NewPack(offset + 4);
        CMpeg1PackHeader mpeg1;
        if ((b[4] & 0xC0) != 0x40 && mpeg1.Parse(b + 4, size - 4))
            FromMpeg1(b + 4, mpeg1, node.m_packHeader);
        else
            node.m_packHeader.Parse(b + 4, size - 4);
        m_d.ShowPack(node);
    }

    void Packet(const uint8_t* b, size_t size)
    {
        const uint8_t id = b[3];
        CPesHeader pes;
        size_t start;
        CMpeg1PesHeader mpeg1;
        if (size > 6 && (b[6] & 0xC0) != 0x80 && mpeg1.Parse(b + 4, size - 4))
        {
            FromMpeg1(id, mpeg1, pes);
            start = 6 + size_t{mpeg1.m_nHeaderSize};
        }
        else
        {
            pes.m_nStreamId = id;
            pes.Parse(b + 4, size - 4);
            start = 9 + size_t{pes.m_nHeaderDataLength};
        }
        m_d.ShowPesPacket(pes);
        if (start >= size)
            return;
        if (IsAudioStreamId(id))
            m_d.WalkAudioFrames(id, b + start, static_cast<int32_t>(size - start));
        else if (IsVideoStreamId(id))
            ScanVideo(m_video[id & 0x0F], b + start, size - start);
    }

    // The start codes of a video payload, as the byte walk would meet them in the joined
    // payload: the ones begun in earlier packets first.
    void ScanVideo(Video& v, const uint8_t* data, size_t n)
    {
        if (v.code >= 0)
            Collect(v, data, n);
        v.joiner.Scan(data, n, 0, [&](uint8_t code, uint64_t, const uint8_t* after, size_t available) {
            OnVideoCode(v, code, after, available);
        });
    }

    void OnVideoCode(Video& v, uint8_t code, const uint8_t* after, size_t available)
    {
        if (v.code >= 0)
            ShowVideoHeader(v);
        ++m_d.m_run.startCodes;
        switch (code)
        {
        case StartCode::Picture:
        case StartCode::SequenceHeader:
        case StartCode::GroupOfPictures:
            v.code = code;
            v.have = 0;
            std::memset(v.header, 0, sizeof v.header);
            Collect(v, after, available);
            break;
        case StartCode::Extension: m_d.m_display.ExtensionData(); break;
        default: break;
        }
    }

    void Collect(Video& v, const uint8_t* data, size_t n)
    {
        const uint32_t take = static_cast<uint32_t>(std::min<size_t>(kVideoHeaderBytes - v.have, n));
        std::memcpy(v.header + v.have, data, take);
        v.have += take;
        if (v.have == kVideoHeaderBytes)
            ShowVideoHeader(v);
    }

    void ShowVideoHeader(Video& v)
    {
        const int code = v.code;
        v.code = -1;
        if (code == StartCode::Picture)
            Show<CPictureHeader>(v, CPackNode::PictureHeader, &CTreeDisplay::PictureHeader);
        else if (code == StartCode::SequenceHeader)
            Show<CSequenceHeader>(v, CPackNode::SequenceHeader, &CTreeDisplay::SequenceHeader);
        else if (code == StartCode::GroupOfPictures)
            Show<CGopHeader>(v, CPackNode::GopHeader, &CTreeDisplay::GopHeader);
    }

    template <class Element>
    void Show(const Video& v, CPackNode::Element bit, void (CTreeDisplay::*show)(const Element&))
    {
        Element element;
        element.Parse(v.header, v.have);
        m_d.ShowVideoElement(bit, show, element);
    }

    CAnalysisDriver& m_d;
    uint32_t m_maxPacks;
    bool m_limit = false;
    bool m_full = false;
    Video m_video[16];
};

namespace
{
// Keeps only what the run's end says.
struct EndSink : model::IModelSink
{
    model::StreamEnd end;
    void OnEnd(const model::StreamEnd& e) override { end = e; }
};
}  // namespace

bool CAnalysisDriver::IsProgramStream(const std::string& fileName)
{
    // A file of its own: the run's file counts what it reads.
    CFile file;
    uint8_t head[64 * 1024];
    const uint32_t n = file.Open(fileName, CFile::modeRead) ? file.Read(head, sizeof head) : 0;
    return model::CDemuxer::Detect(head, n) == model::Container::ProgramStream;
}

CAnalysisDriver::Outcome CAnalysisDriver::LoopByLength(const std::string& fileName, uint32_t maxPacks)
{
    CLengthWalk walk(*this, maxPacks);
    EndSink sink;
    model::CDemuxer demuxer(sink);
    demuxer.SetElementHook(&walk);
    demuxer.SetUnitAssembly(false);
    if (!demuxer.Run(fileName))
        m_run.readError = true;
    walk.Finish();
    m_run.readError = m_run.readError || sink.end.readError;
    m_run.bytesConsumed = sink.end.fileSize;
    if (walk.TreeFull())
        return Outcome::TreeFull;
    if (walk.LimitReached())
        return Outcome::PackLimit;
    return m_bStopRequested ? Outcome::Stopped : Outcome::EndOfInput;
}
