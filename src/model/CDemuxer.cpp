#include "model/CDemuxer.h"

#include "stream/CInput.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/dvd/AudioSubstreams.h"
#include "syntax/dvd/NavPackets.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/system/Mpeg1Headers.h"
#include "syntax/Mpeg.h"

#include <algorithm>
#include <cstring>

namespace model
{

// ---------------------------------------------------------------------------- input window

// A window on the input: at least the bytes asked for are readable in one piece (fewer
// only at the end of the input). Over a file, a buffer slides along; in memory, the whole
// input is the window.
class CDemuxer::Window
{
public:
    Window(const uint8_t* data, size_t size) : m_data(data), m_fill(size), m_end(true) {}
    explicit Window(CInput& input) : m_file(&input), m_buffer(kCapacity), m_data(m_buffer.data()) {}

    size_t Ensure(size_t want)
    {
        if (m_fill - m_cursor < want && !m_end)
        {
            const size_t keep = m_fill - m_cursor;
            std::memmove(m_buffer.data(), m_buffer.data() + m_cursor, keep);
            m_cursor = 0;
            m_fill = keep;
            while (m_fill < m_buffer.size() && !m_end)
            {
                const uint32_t room = static_cast<uint32_t>(std::min<size_t>(m_buffer.size() - m_fill, 1u << 30));
                const uint32_t got = m_file->Read(m_buffer.data() + m_fill, room);
                m_fill += got;
                if (got < room)
                    m_end = true;
            }
        }
        return m_fill - m_cursor;
    }
    const uint8_t* Ptr() const { return m_data + m_cursor; }
    uint64_t Position() const { return m_consumed; }
    void Advance(size_t n)
    {
        m_cursor += n;
        m_consumed += n;
    }
    // The window holds everything up to the end of the input.
    bool AtEnd() const { return m_end; }
    bool ReadError() const { return m_file && m_file->HadReadError(); }

    static constexpr size_t kCapacity = 1 << 20;

private:
    CInput* m_file = nullptr;
    std::vector<uint8_t> m_buffer;
    const uint8_t* m_data = nullptr;
    size_t m_cursor = 0;
    size_t m_fill = 0;
    uint64_t m_consumed = 0;
    bool m_end = false;
};

namespace
{
constexpr uint8_t kPack = mpeg::kPackStart;
constexpr uint8_t kSystemHeader = mpeg::kSystemHeaderStart;
constexpr uint8_t kEndCode = mpeg::kProgramEnd;
constexpr uint8_t kPrivateStream1 = mpeg::kPrivateStream1;
constexpr uint8_t kPrivateStream2 = mpeg::kPrivateStream2;
using mpeg::HasPesHeader;
// What the walk asks the window for: one element and the start code behind it.
constexpr size_t kLookahead = CDemuxer::kMaxElement + 4;

bool IsStartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }
}  // namespace

CDemuxer::~CDemuxer() = default;

Kind CDemuxer::KindOf(uint8_t streamId, uint8_t subId)
{
    if (mpeg::IsVideoStream(streamId))
        return Kind::Video;
    if (mpeg::IsAudioStream(streamId))
        return Kind::MpegAudio;
    if (streamId == mpeg::kPaddingStream)
        return Kind::Padding;
    if (streamId == kPrivateStream2)
        return Kind::Navigation;
    if (streamId != kPrivateStream1)
        return Kind::Other;
    if (Substream::IsSubpicture(subId))
        return Kind::Subpicture;
    if (Substream::IsAc3(subId))
        return Kind::Ac3;
    if (Substream::IsDts(subId))
        return Kind::Dts;
    if (Substream::IsLpcm(subId))
        return Kind::Lpcm;
    return Kind::Other;
}

Container CDemuxer::Detect(const uint8_t* data, size_t size)
{
    // The first start code decides, unless an MPEG audio frame comes before it whose
    // successor starts where its length says (or that runs to the end of the bytes).
    size_t code = size;
    for (size_t i = 0; i + 3 < size; ++i)
        if (IsStartCode(data + i))
        {
            code = i;
            break;
        }
    for (size_t i = 0; i + 4 <= size && i < code; ++i)
    {
        if (data[i] != 0xFF || (data[i + 1] & 0xF0) != 0xF0 || (data[i + 1] & 0x06) == 0)
            continue;
        CAudioHeader header;
        const int32_t length = header.Parse(data + i, 4);
        if (length <= 0)
            continue;
        const size_t next = i + static_cast<size_t>(length);
        if (next + 2 > size || (data[next] == 0xFF && (data[next + 1] & 0xF0) == 0xF0))
            return Container::AudioElementary;
    }
    if (code < size && data[code + 3] < kEndCode)
        return Container::VideoElementary;
    return Container::ProgramStream;
}

// ---------------------------------------------------------------------------- the run

bool CDemuxer::Run(const std::string& path)
{
    m_openError = 0;
    const std::unique_ptr<CInput> input = OpenInput(path, &m_openError);
    if (!input)
        return false;
    Run(*input);
    return true;
}

void CDemuxer::Run(CInput& input)
{
    Window window(input);
    Walk(window);
    Finish(window.Position(), window.ReadError());
}

void CDemuxer::Run(const uint8_t* data, size_t size)
{
    Window window(data, size);
    Walk(window);
    Finish(window.Position(), false);
}

void CDemuxer::Walk(Window& window)
{
    const size_t n = window.Ensure(64 * 1024);
    const Container container = Detect(window.Ptr(), n);
    m_sink.OnContainer(container);
    if (container == Container::ProgramStream)
        WalkProgramStream(window);
    else
        WalkElementary(window, container);
}

void CDemuxer::WalkElementary(Window& window, Container container)
{
    const bool video = container == Container::VideoElementary;
    CUnitAssembler* assembler =
        m_assemble ? AssemblerFor(MakeStreamKey(video ? 0xE0 : 0xC0), video ? Kind::Video : Kind::MpegAudio) : nullptr;
    if (assembler)
        assembler->StartClockAtZero();
    for (;;)
    {
        if (Stopped())
        {
            m_stopped = true;
            return;
        }
        const size_t n = std::min<size_t>(window.Ensure(1 << 20), 1 << 20);
        if (n == 0)
            return;
        if (m_hook && !m_hook->OnElementaryData(window.Ptr(), n, window.Position()))
        {
            m_stopped = true;
            return;
        }
        if (assembler)
            assembler->Feed(window.Ptr(), static_cast<uint32_t>(n), window.Position(), 0);
        window.Advance(n);
    }
}

size_t CDemuxer::ElementExtent(const uint8_t* p, size_t n)
{
    if (n < 4 || !IsStartCode(p))
        return 0;
    const uint8_t code = p[3];
    if (code == kEndCode)
        return 4;
    if (n < 6)
        return 0;
    if (code == kPack)
    {
        if ((p[4] & 0xC0) == 0x40)
        {
            // MPEG-2: 01, SCR with markers, extension, marker, mux rate, two markers,
            // reserved, stuffing length.
            if (n < 14 || !(p[4] & 0x04) || !(p[6] & 0x04) || !(p[8] & 0x04) || !(p[9] & 0x01)
                || (p[12] & 0x03) != 0x03)
                return 0;
            return 14 + (p[13] & 7);
        }
        if ((p[4] & 0xF0) == 0x20)
        {
            // MPEG-1: 0010, SCR with markers, marker, mux rate, marker.
            if (n < 12 || !(p[4] & 1) || !(p[6] & 1) || !(p[8] & 1) || !(p[9] & 0x80) || !(p[11] & 1))
                return 0;
            return 12;
        }
        return 0;
    }
    if (code < kSystemHeader)
        return 0;
    const size_t length = (size_t{p[4]} << 8) | p[5];
    if (length == 0 || (code == kSystemHeader && length < 6))
        return 0;
    return 6 + length;
}

size_t CDemuxer::ElementSize(const uint8_t* p, size_t n, bool atEnd)
{
    const size_t size = ElementExtent(p, n);
    if (size == 0 || size > n)
        return 0;
    // An end code stands on its own: streams joined end to end carry one in the middle.
    if (p[3] == kEndCode)
        return size;
    if (n - size < 3)
        return (size == n || atEnd) ? size : 0;
    return IsStartCode(p + size) ? size : 0;
}

bool CDemuxer::RunsPastEnd(const uint8_t* p, size_t n)
{
    if (n < 4 || !IsStartCode(p))
        return false;
    const uint8_t code = p[3];
    if (code == kPack)
    {
        if (n < 5)
            return true;
        if ((p[4] & 0xC0) == 0x40)
            return n < 14 || n < 14 + size_t{p[13] & 7u};
        return (p[4] & 0xF0) == 0x20 && n < 12;
    }
    if (code < kSystemHeader)
        return false;
    return n < 6 || n < 6 + ((size_t{p[4]} << 8) | p[5]);
}

bool CDemuxer::OnCutElement(const uint8_t* p, size_t n, uint64_t offset)
{
    switch (p[3])
    {
    case kPack: return OnPackHeader(p, n, offset, true);
    case kSystemHeader: return OnSystemHeader(p, n, offset, true);
    default: return OnPesPacket(p, n, offset, true);
    }
}

void CDemuxer::WalkProgramStream(Window& window)
{
    for (;;)
    {
        if (Stopped())
        {
            m_stopped = true;
            return;
        }
        size_t n = window.Ensure(kLookahead);
        if (n == 0)
            return;
        const uint8_t* p = window.Ptr();
        size_t size = ElementSize(p, n, window.AtEnd());
        const uint64_t start = window.Position();
        if (size == 0)
        {
            // The last element, cut short by the end of the input: the hook sees what
            // there is of it; the model takes it for damage like any other.
            if (window.AtEnd() && WantsCut(p, n))
            {
                m_cutSeen = true;
                if (!OnCutElement(p, n, start))
                {
                    m_stopped = true;
                    return;
                }
            }
            // Damage. Where the element's own length holds and nothing valid starts
            // inside it, the element stands and what follows it is garbage (skipped on
            // the next turn); otherwise the element goes with the skipped bytes.
            const size_t extent = ElementExtent(p, n);
            bool inside = extent == 0 || extent > n;
            for (size_t i = 1; !inside && i + 3 < extent; ++i)
                inside = IsStartCode(p + i) && p[i + 3] >= kPack && ElementSize(p + i, n - i, window.AtEnd()) > 0;
            if (inside)
            {
                // Zero bytes in front of the next element are stuffing (VCD sectors end
                // in them), not damage; so are those up to the end of the input (the
                // empty sectors that close a VCD track), however many.
                size_t zeros = 0;
                while (zeros + 3 < n && p[zeros] == 0 && p[zeros + 1] == 0 && p[zeros + 2] == 0)
                    ++zeros;
                const bool zerosToEnd =
                    zeros + 3 >= n && std::all_of(p + zeros, p + n, [](uint8_t b) { return b == 0; });
                if (zerosToEnd && window.AtEnd())
                {
                    window.Advance(n);
                    continue;
                }
                if (zeros > 0 && (zerosToEnd || ElementExtent(p + zeros, n - zeros) > 0))
                {
                    window.Advance(zeros);
                    continue;
                }
                window.Advance(1);
                SkipToElement(window);
                ResyncEvent resync;
                resync.pack = m_currentPack;
                resync.offset = start;
                resync.skipped = window.Position() - start;
                m_sink.OnResync(resync);
                continue;
            }
            size = extent;
        }

        bool goOn = true;
        switch (p[3])
        {
        case kPack:
            m_packIsNav = PeekNavPack(p + size, n - size, m_packVobId);
            goOn = OnPackHeader(p, size, start);
            break;
        case kSystemHeader:
            goOn = OnSystemHeader(p, size, start);
            break;
        case kEndCode:
            goOn = OnEndCode(p, start);
            break;
        default:
            goOn = OnPesPacket(p, size, start);
            break;
        }
        if (!goOn)
        {
            m_stopped = true;
            return;
        }
        window.Advance(size);
    }
}

void CDemuxer::SkipToElement(Window& window)
{
    for (;;)
    {
        const size_t n = window.Ensure(kLookahead);
        if (n < 4)
        {
            window.Advance(n);
            return;
        }
        const uint8_t* p = window.Ptr();
        size_t advance = window.AtEnd() ? n : n - 3;  // where the search goes on
        size_t j = 0;
        while (j + 3 < n)
        {
            const void* hit = std::memchr(p + j + 2, 1, n - j - 3);
            if (!hit)
                break;
            const size_t k = static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) - 2;
            if (p[k] == 0 && p[k + 1] == 0 && p[k + 3] >= kPack)
            {
                if (n - k < kLookahead && !window.AtEnd())
                {
                    advance = k;  // too few bytes behind it: move the window there first
                    break;
                }
                // With a hook, the last element cut by the end of the input also ends
                // the search: the hook is to see it.
                if (ElementSize(p + k, n - k, window.AtEnd()) > 0 || (window.AtEnd() && WantsCut(p + k, n - k)))
                {
                    window.Advance(k);
                    return;
                }
            }
            j = k + 1;
        }
        window.Advance(advance);
    }
}

// ---------------------------------------------------------------------------- system layer

bool CDemuxer::OnPackHeader(const uint8_t* p, size_t size, uint64_t offset, bool cut)
{
    PackEvent e;
    PackHeaders headers;
    CPackHeader mpeg2;
    CMpeg1PackHeader mpeg1;
    if (size < 5 || (p[4] & 0xC0) == 0x40)
    {
        mpeg2.Parse(p + 4, size - 4);
        headers.mpeg2 = &mpeg2;
        e.mpeg2 = true;
        e.scrBase = mpeg2.m_nScrBase;
        e.scrExtension = mpeg2.m_nScrExtension;
        e.muxRate = mpeg2.m_nProgramMuxRate;
    }
    else
    {
        mpeg1.Parse(p + 4, size - 4);
        headers.mpeg1 = &mpeg1;
        e.mpeg2 = false;
        e.scrBase = mpeg1.m_nScr;
        e.muxRate = mpeg1.m_nProgramMuxRate;
    }
    if (m_hook && !m_hook->OnPack({p, size, offset, cut}, headers))
        return false;
    if (cut)
        return true;
    FlushNavPack();
    m_currentPack = m_packs++;
    m_currentPackOffset = offset;
    e.index = m_currentPack;
    e.offset = offset;
    e.headerSize = static_cast<uint32_t>(size);
    // The SCR base ends in the fifth byte after the start code in both layouts.
    e.scrByteOffset = offset + 8;
    e.scr27 = m_scrUnwrap(e.scrBase) * 300 + e.scrExtension;
    FollowTimeBase(e);
    m_sink.OnPack(e);
    return true;
}

bool CDemuxer::OnEndCode(const uint8_t* p, uint64_t offset)
{
    if (m_hook && !m_hook->OnEndCode({p, 4, offset}))
        return false;
    FlushNavPack();
    m_programEnded = true;
    ProgramEndEvent e;
    e.pack = m_currentPack;
    e.offset = offset;
    m_sink.OnProgramEnd(e);
    return true;
}

bool CDemuxer::OnSystemHeader(const uint8_t* p, size_t size, uint64_t offset, bool cut)
{
    CSystemHeader header;
    header.Parse(p + 4, size - 4);
    if (m_hook && !m_hook->OnSystemHeader({p, size, offset, cut}, header))
        return false;
    if (cut)
        return true;
    SystemHeaderEvent e;
    e.pack = m_currentPack;
    e.offset = offset;
    e.rateBound = header.m_nRateBound;
    e.audioBound = header.m_nAudioBound;
    e.videoBound = header.m_nVideoBound;
    e.fixed = header.m_nFixedFlag != 0;
    e.csps = header.m_nCspsFlag != 0;
    for (const CSystemHeader::StreamEntry& entry : header.m_streams)
    {
        if (e.entryCount == 64)
            break;
        SystemHeaderEvent::Entry& out = e.entries[e.entryCount++];
        out.streamId = static_cast<uint8_t>(entry.streamId);
        out.bufferBound = entry.bufferSizeBound * (entry.bufferBoundScale ? 1024 : 128);
    }
    m_sink.OnSystemHeader(e);
    return true;
}

struct CDemuxer::ParsedPes
{
    CPesHeader mpeg2;
    CMpeg1PesHeader mpeg1;
    CSubstreamHeader substream;
    CNavPci pci;
    CNavDsi dsi;
    bool pciWhole = false, dsiWhole = false;
    PacketHeaders headers;
};

size_t CDemuxer::ParsePesHeader(const uint8_t* p, size_t size, PesEvent& e, ParsedPes& parsed)
{
    size_t start = 6;  // first byte after the PES header
    bool valid = true;
    if (!HasPesHeader(p[3]))
        return start;
    if (size > 6 && (p[6] & 0xC0) == 0x80)
    {
        CPesHeader& header = parsed.mpeg2;
        header.m_nStreamId = p[3];
        valid = header.Parse(p + 4, size - 4);
        parsed.headers.mpeg2 = &header;
        start = 9 + size_t{header.m_nHeaderDataLength};
        e.hasPts = header.HasPts();
        e.hasDts = e.hasPts && header.HasDts();
        e.pts = header.m_nPts;
        e.dts = header.m_nDts;
        if (header.m_nExtensionFlag && header.m_nPstdBufferFlag)
        {
            e.hasPstd = true;
            e.pstdBufferBytes =
                static_cast<uint32_t>(header.m_nPstdBufferSize) * (header.m_nPstdBufferScale ? 1024 : 128);
        }
    }
    else
    {
        CMpeg1PesHeader& header = parsed.mpeg1;
        valid = header.Parse(p + 4, size - 4);
        parsed.headers.mpeg1 = &header;
        e.mpeg2 = false;
        start = 6 + size_t{header.m_nHeaderSize};
        e.hasPts = header.m_bPts;
        e.hasDts = header.m_bDts;
        e.pts = header.m_nPts;
        e.dts = header.m_nDts;
        if (header.m_bStdBuffer)
        {
            e.hasPstd = true;
            e.pstdBufferBytes = header.m_nStdBufferSize * (header.m_nStdBufferScale ? 1024 : 128);
        }
    }
    if (!valid || start > size)
    {
        // A header that does not fit its packet: the packet carries nothing usable.
        start = size;
        e.hasPts = e.hasDts = e.hasPstd = false;
        parsed.headers.mpeg2 = nullptr;
        parsed.headers.mpeg1 = nullptr;
    }
    return start;
}

bool CDemuxer::OnPesPacket(const uint8_t* p, size_t size, uint64_t offset, bool cut)
{
    const uint8_t id = p[3];
    PesEvent e;
    e.pack = m_currentPack;
    e.offset = offset;
    // As coded: a packet cut by the end of the input has fewer bytes.
    e.packetLength = size >= 6 ? (uint32_t{p[4]} << 8) | p[5] : 0;
    ParsedPes parsed;
    const size_t start = std::min(ParsePesHeader(p, size, e, parsed), size);

    uint8_t subId = 0;
    uint32_t subSize = 0;
    if (id == kPrivateStream1 && start < size)
    {
        CSubstreamHeader& sub = parsed.substream;
        const bool whole = sub.Parse(p + start, size - start);
        parsed.headers.substream = &sub;
        subId = sub.m_nSubstreamId;
        subSize = whole ? sub.m_nSize : static_cast<uint32_t>(size - start);
        e.hasSubHeader = sub.m_bAudio && whole;
        e.frameCount = sub.m_nFrameCount;
        e.firstAccessUnit = sub.m_nFirstAccessUnit;
    }
    const StreamKey key = MakeStreamKey(id, subId);
    e.stream = key;
    e.headerSize = static_cast<uint32_t>(start);
    e.kind = KindOf(id, subId);
    const size_t payload = start + subSize;
    e.payloadOffset = offset + payload;
    e.payloadSize = static_cast<uint32_t>(size - payload);
    // Packets of one stream mostly come in runs.
    if (key != m_lastKey || !m_lastState)
    {
        m_lastState = &m_streams[key];
        m_lastKey = key;
    }
    StreamState& state = *m_lastState;
    if (e.hasPts)
    {
        if (e.hasDts)
            e.dts27 = state.unwrap(e.dts) * 300;
        e.pts27 = state.unwrap(e.pts) * 300;
        if (!e.hasDts)
            e.dts27 = e.pts27;
    }
    if (e.kind == Kind::Navigation && start + 1 < size)
    {
        // The substream byte: 0x00 PCI, 0x01 DSI.
        const uint8_t* b = p + start + 1;
        const size_t n = size - start - 1;
        if (p[start] == 0x00)
        {
            parsed.pciWhole = parsed.pci.Parse(b, n);
            parsed.headers.pci = &parsed.pci;
        }
        else if (p[start] == 0x01)
        {
            parsed.dsiWhole = parsed.dsi.Parse(b, n);
            parsed.headers.dsi = &parsed.dsi;
        }
    }
    parsed.headers.event = &e;
    parsed.headers.payloadStart = start;
    if (m_hook && !m_hook->OnPacket({p, size, offset, cut}, parsed.headers))
        return false;
    if (cut)
        return true;
    m_sink.OnPes(e);

    if (e.kind == Kind::Navigation)
    {
        OnNavPacket(p + start, size - start, parsed);
        return true;
    }
    CUnitAssembler* assembler = m_assemble ? AssemblerFor(key, e.kind) : nullptr;
    if (!assembler)
        return true;
    assembler->OnPacket(e, p + start, subSize);
    assembler->Feed(p + payload, e.payloadSize, e.payloadOffset, m_currentPack);
    return true;
}

CUnitAssembler* CDemuxer::AssemblerFor(StreamKey key, Kind kind)
{
    StreamState& state = m_streams[key];
    if (!state.assembler && !state.tried)
    {
        state.tried = true;
        state.assembler = CUnitAssembler::Create(key, kind, m_sink);
        if (state.assembler)
            m_order.push_back(state.assembler.get());
    }
    return state.assembler.get();
}

// ---------------------------------------------------------------------------- time bases

bool CDemuxer::PeekNavPack(const uint8_t* p, size_t n, uint16_t& vobId)
{
    // A navigation pack holds a PCI and a DSI packet of private stream 2 (a system header
    // may come first); the DSI's general information gives the VOB number. Only the
    // first elements after the pack header are looked at, so other packs cost a few
    // byte compares.
    size_t at = 0;
    for (int element = 0; element < 3; ++element)
    {
        // start code, PES_packet_length (16), substream id (8)
        if (at + 7 > n || !IsStartCode(p + at))
            return false;
        const uint8_t code = p[at + 3];
        const size_t length = (size_t{p[at + 4]} << 8) | p[at + 5];
        if (code == kPrivateStream2 && p[at + 6] == 0x01)
        {
            // dsi_gi: nv_pck_scr (32), nv_pck_lbn (32), vobu_ea (32), the reference frame
            // end addresses (3 x 32), vobu_vob_idn (16).
            constexpr size_t kVobIdn = 7 + 24;
            if (length + 6 < kVobIdn + 2 || at + kVobIdn + 2 > n)
                return false;
            vobId = static_cast<uint16_t>((p[at + kVobIdn] << 8) | p[at + kVobIdn + 1]);
            return true;
        }
        if (code != kSystemHeader && code != kPrivateStream2)
            return false;
        at += 6 + length;
    }
    return false;
}

void CDemuxer::FollowTimeBase(PackEvent& e)
{
    e.navigation = m_packIsNav;
    e.vobId = m_packIsNav ? m_packVobId : 0;
    TimeBaseEvent t;
    bool starts = false;
    if (m_basePacks > 0)
    {
        if (m_programEnded)
        {
            starts = true;
            t.reason = TimeBaseEvent::Reason::ProgramEnd;
        }
        else if (m_packIsNav && m_haveVob && m_packVobId != m_vobId)
        {
            starts = true;
            t.reason = TimeBaseEvent::Reason::VobChange;
        }
        else if (e.scr27 < m_lastScr27)
        {
            starts = true;
            t.reason = TimeBaseEvent::Reason::ScrBackwards;
        }
    }
    if (starts)
    {
        t.index = ++m_timeBases;
        t.pack = e.index;
        t.offset = e.offset;
        t.previousVobId = m_vobId;
        t.vobId = m_packIsNav ? m_packVobId : m_vobId;
        t.scr27 = static_cast<int64_t>(e.scrBase) * mpeg::kTicks27Per90 + e.scrExtension;
        t.previousScr27 = m_lastScr27;
        if (t.reason != TimeBaseEvent::Reason::ScrBackwards)
        {
            // A program or a VOB has ended: the units under way belong to the clock that
            // ends here, and times restart with the next coded time stamps. An SCR that
            // only runs back is a fault of the system layer; the elementary streams and
            // their time stamps go on as they are.
            for (CUnitAssembler* assembler : m_order)
                assembler->NewTimeBase();
            for (auto& [key, state] : m_streams)
                state.unwrap = CTimeUnwrap();
            m_scrUnwrap = CTimeUnwrap();
            e.scr27 = m_scrUnwrap(e.scrBase) * mpeg::kTicks27Per90 + e.scrExtension;
        }
        m_basePacks = 0;
        // A new program stream numbers its VOBs afresh.
        if (t.reason == TimeBaseEvent::Reason::ProgramEnd)
            m_haveVob = false;
        m_sink.OnTimeBase(t);
    }
    m_programEnded = false;
    ++m_basePacks;
    m_lastScr27 = e.scr27;
    if (m_packIsNav)
    {
        m_haveVob = true;
        m_vobId = m_packVobId;
    }
}

// ---------------------------------------------------------------------------- navigation packs

void CDemuxer::OnNavPacket(const uint8_t* payload, size_t size, const ParsedPes& parsed)
{
    if (size < 1)
        return;
    if (!m_navPending)
    {
        m_nav = NavPack{};
        m_nav.pack = m_currentPack;
        m_nav.offset = m_currentPackOffset;
        m_navPending = true;
    }
    if (payload[0] == 0x00)
    {
        const CNavPci& pci = parsed.pci;
        m_nav.hasPci = parsed.pciWhole;
        m_nav.pciLbn = pci.m_nNvPckLbn;
        m_nav.vobuSPtm = pci.m_nVobuSPtm;
        m_nav.vobuEPtm = pci.m_nVobuEPtm;
        m_nav.vobuSeEPtm = pci.m_nVobuSeEPtm;
    }
    else if (payload[0] == 0x01)
    {
        const CNavDsi& dsi = parsed.dsi;
        m_nav.hasDsi = parsed.dsiWhole;
        m_nav.dsiScr = dsi.m_nNvPckScr;
        m_nav.dsiLbn = dsi.m_nNvPckLbn;
        m_nav.vobuEa = dsi.m_nVobuEa;
        m_nav.ref1Ea = dsi.m_nVobu1stRefEa;
        m_nav.ref2Ea = dsi.m_nVobu2ndRefEa;
        m_nav.ref3Ea = dsi.m_nVobu3rdRefEa;
        m_nav.vobIdn = static_cast<uint16_t>(dsi.m_nVobuVobIdn);
        m_nav.cellIdn = static_cast<uint8_t>(dsi.m_nVobuCIdn);
        m_nav.cEltm = dsi.m_nCEltm;
        m_nav.nextVobu = dsi.m_nNextVobu;
        m_nav.prevVobu = dsi.m_nPrevVobu;
    }
}

void CDemuxer::FlushNavPack()
{
    if (!m_navPending)
        return;
    m_navPending = false;
    m_sink.OnNavPack(m_nav);
}

void CDemuxer::Finish(uint64_t fileSize, bool readError)
{
    FlushNavPack();
    for (CUnitAssembler* assembler : m_order)
        assembler->Finish();
    StreamEnd end;
    end.fileSize = fileSize;
    end.packs = m_packs;
    end.readError = readError;
    end.stopped = m_stopped;
    m_sink.OnEnd(end);
}

}  // namespace model
