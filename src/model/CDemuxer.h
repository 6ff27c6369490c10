#pragma once
// The demultiplexer: walks a program stream pack by pack and packet by packet by their
// lengths (MPEG-2 and MPEG-1 layouts), resynchronises on damage, and hands each
// elementary stream's payload to its unit assembler. Video elementary streams and MPEG
// audio files are read as one stream without a system layer.

#include "model/ModelEvents.h"
#include "model/UnitAssembler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CInput;
class CPackHeader;
class CPesHeader;
class CSystemHeader;
struct CMpeg1PackHeader;
struct CMpeg1PesHeader;
struct CNavDsi;
struct CNavPci;
struct CSubstreamHeader;

namespace model
{

// One element of a program stream as the demultiplexer meets it: its bytes from the
// start code on, and where it starts.
struct ElementBytes
{
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    uint64_t offset = 0;
    // The end of the input cuts the element: size is what there is of it, and the model
    // gets no events of it.
    bool cut = false;
};

// A pack header as the demultiplexer parsed it, in one of the two layouts.
struct PackHeaders
{
    const CPackHeader* mpeg2 = nullptr;       // ISO/IEC 13818-1 layout
    const CMpeg1PackHeader* mpeg1 = nullptr;  // ISO/IEC 11172-1 layout
};

// A packet's headers as the demultiplexer parsed them, and what it tells the model.
struct PacketHeaders
{
    const PesEvent* event = nullptr;
    const CPesHeader* mpeg2 = nullptr;       // MPEG-2 PES header syntax
    const CMpeg1PesHeader* mpeg1 = nullptr;  // MPEG-1 packet header
    // Neither: a stream without PES header fields (padding, private stream 2, ...), or a
    // header that does not fit its packet.
    const CSubstreamHeader* substream = nullptr;  // private stream 1 with a substream byte
    const CNavPci* pci = nullptr;  // private stream 2: a navigation packet's PCI or DSI
    const CNavDsi* dsi = nullptr;
    size_t payloadStart = 0;  // bytes from the start code to the end of the PES header
};

// What a walk by lengths needs beyond the model's events: every element of a program
// stream with the headers the demultiplexer parsed (once, for the hook and the events
// alike), before the events it gives; and the bytes of an elementary stream file.
// Returning false ends the run there (StreamEnd::stopped), before the element's events.
class IElementHook
{
public:
    virtual ~IElementHook() = default;
    virtual bool OnPack(const ElementBytes& element, const PackHeaders& headers) = 0;
    virtual bool OnSystemHeader(const ElementBytes& element, const CSystemHeader& header) = 0;
    virtual bool OnPacket(const ElementBytes& element, const PacketHeaders& headers) = 0;
    virtual bool OnEndCode(const ElementBytes&) { return true; }
    // A video or audio elementary stream, piece by piece as it is read (offset: of data[0]).
    virtual bool OnElementaryData(const uint8_t* data, size_t size, uint64_t offset) = 0;
};

class CDemuxer
{
public:
    explicit CDemuxer(IModelSink& sink) : m_sink(sink) {}
    ~CDemuxer();
    CDemuxer(const CDemuxer&) = delete;
    CDemuxer& operator=(const CDemuxer&) = delete;

    // Reads the file; false when it cannot be opened (nothing is delivered then, and
    // OpenError holds the errno).
    bool Run(const std::string& path);
    // Reads an input opened by the caller (a set of VOB files, say).
    void Run(CInput& input);
    // Reads bytes in memory.
    void Run(const uint8_t* data, size_t size);

    // Checked between packs; the run ends early (StreamEnd::stopped) once it is set.
    void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    // Sees every element of a program stream first.
    void SetElementHook(IElementHook* hook) { m_hook = hook; }
    // Off: packets are delivered but not cut into access units (for walks that only
    // need the system layer).
    void SetUnitAssembly(bool on) { m_assemble = on; }

    // The kind of a PES stream (stream id, and substream id for private stream 1).
    static Kind KindOf(uint8_t streamId, uint8_t subId);
    // What the first bytes of a file show it to be.
    static Container Detect(const uint8_t* data, size_t size);

    // An upper bound of one pack or packet: the longest element the walk must see whole.
    static constexpr size_t kMaxElement = 6 + 65535 + 4;

    // Why the last Run(path) could not open its file (errno), 0 when it did.
    int OpenError() const { return m_openError; }

private:
    class Window;

    void Walk(Window& window);
    void WalkProgramStream(Window& window);
    void WalkElementary(Window& window, Container container);
    // Moves the window to the next pack, system header or packet that is followed by
    // another element, or to the end of the input.
    void SkipToElement(Window& window);
    // Size of a valid element at p (n bytes available, atEnd when n reaches the end of the
    // input), 0 when there is none. The bytes after it must open the next element.
    static size_t ElementSize(const uint8_t* p, size_t n, bool atEnd);
    static size_t ElementExtent(const uint8_t* p, size_t n);
    // Each false when the hook ends the run at this element.
    // cut: the end of the input cuts the element; only the hook sees it.
    bool OnPackHeader(const uint8_t* p, size_t size, uint64_t offset, bool cut = false);
    bool OnSystemHeader(const uint8_t* p, size_t size, uint64_t offset, bool cut = false);
    bool OnEndCode(const uint8_t* p, uint64_t offset);
    bool OnPesPacket(const uint8_t* p, size_t size, uint64_t offset, bool cut = false);
    // Whether the element at p (n bytes up to the end of the input) runs past the end.
    static bool RunsPastEnd(const uint8_t* p, size_t n);
    bool OnCutElement(const uint8_t* p, size_t n, uint64_t offset);
    // The hook is to see the element at p: the first cut by the end of the input (the
    // rest of the input is its bytes).
    bool WantsCut(const uint8_t* p, size_t n) const { return m_hook && !m_cutSeen && RunsPastEnd(p, n); }
    // The headers of one packet, parsed once for the hook and the event.
    struct ParsedPes;
    // Fills the header fields of e (either syntax) and parsed; returns where the payload
    // starts.
    static size_t ParsePesHeader(const uint8_t* p, size_t size, PesEvent& e, ParsedPes& parsed);
    // Whether the pack whose header ends at p (n bytes readable) is a navigation pack,
    // and its DSI's VOB number: known before the pack's event, so that a new VOB's clock
    // is announced before its first pack.
    static bool PeekNavPack(const uint8_t* p, size_t n, uint16_t& vobId);
    // Decides whether a new time base starts at this pack and announces it.
    void FollowTimeBase(PackEvent& e);
    void OnNavPacket(const uint8_t* payload, size_t size, const ParsedPes& parsed);
    void FlushNavPack();
    CUnitAssembler* AssemblerFor(StreamKey key, Kind kind);
    void Finish(uint64_t fileSize, bool readError);
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    IModelSink& m_sink;
    const std::atomic<bool>* m_stop = nullptr;
    IElementHook* m_hook = nullptr;
    bool m_assemble = true;
    bool m_stopped = false;
    bool m_cutSeen = false;
    int m_openError = 0;
    uint32_t m_packs = 0;
    uint32_t m_currentPack = 0;
    uint64_t m_currentPackOffset = 0;
    CTimeUnwrap m_scrUnwrap;
    struct StreamState
    {
        std::unique_ptr<CUnitAssembler> assembler;
        bool tried = false;
        CTimeUnwrap unwrap;  // of the PES time stamps
    };
    std::unordered_map<StreamKey, StreamState> m_streams;  // its elements stay where they are
    StreamKey m_lastKey = kNoStream;
    StreamState* m_lastState = nullptr;
    std::vector<CUnitAssembler*> m_order;  // creation order, for the end of the input
    NavPack m_nav;
    bool m_navPending = false;
    // Time bases: the pack being read, what came before it in its time base.
    bool m_packIsNav = false;
    uint16_t m_packVobId = 0;
    bool m_programEnded = false;   // an end code since the last pack
    uint32_t m_basePacks = 0;      // packs in the current time base
    int64_t m_lastScr27 = 0;
    bool m_haveVob = false;
    uint16_t m_vobId = 0;          // of the last navigation pack
    uint32_t m_timeBases = 0;      // announced so far
};

}  // namespace model
