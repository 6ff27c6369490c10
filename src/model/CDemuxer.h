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

namespace model
{

// What a walk by lengths needs beyond the model's events: the bytes of every pack,
// system header, end code and packet as they are met, before their events.
class IElementHook
{
public:
    virtual ~IElementHook() = default;
    // bytes: the whole element from its start code, size of them, at offset in the file.
    // Returning false ends the run there (StreamEnd::stopped).
    virtual bool OnElement(const uint8_t* bytes, size_t size, uint64_t offset) = 0;
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
    void OnPackHeader(const uint8_t* p, size_t size, uint64_t offset);
    void OnSystemHeader(const uint8_t* p, size_t size, uint64_t offset);
    void OnEndCode(uint64_t offset);
    void OnPesPacket(const uint8_t* p, size_t size, uint64_t offset);
    // Fills the header fields of e (either syntax); returns where the payload starts.
    static size_t ParsePesHeader(const uint8_t* p, size_t size, PesEvent& e);
    // Whether the pack whose header ends at p (n bytes readable) is a navigation pack,
    // and its DSI's VOB number: known before the pack's event, so that a new VOB's clock
    // is announced before its first pack.
    static bool PeekNavPack(const uint8_t* p, size_t n, uint16_t& vobId);
    // Decides whether a new time base starts at this pack and announces it.
    void FollowTimeBase(PackEvent& e);
    void OnNavPacket(const uint8_t* payload, size_t size);
    void FlushNavPack();
    CUnitAssembler* AssemblerFor(StreamKey key, Kind kind);
    void Finish(uint64_t fileSize, bool readError);
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    IModelSink& m_sink;
    const std::atomic<bool>* m_stop = nullptr;
    IElementHook* m_hook = nullptr;
    bool m_assemble = true;
    bool m_stopped = false;
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
    std::unordered_map<StreamKey, StreamState> m_streams;
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
