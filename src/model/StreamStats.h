#pragma once
// Per-stream statistics from the model's events: unit counts, time range, bit rates, the
// codec's properties and, for video, the GOP structure. Nothing is kept per access unit,
// so memory does not grow with the file. The same stream objects serve the stream list
// and the check reports.

#include "model/ModelEvents.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace model
{

// printf into a string (texts of up to 511 characters).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "0xE0" for a PES stream, "0xBD:0x80" for a private stream 1 substream.
std::string StreamKeyText(StreamKey stream);
// A sequence's aspect ratio: the display ratio of MPEG-2 ("16:9"), the pixel aspect
// ratio of MPEG-1 ("0.9375"); empty for a reserved code.
const char* AspectText(const SequenceEvent& s);
// "4:2:0", "4:2:2", "4:4:4"
const char* ChromaText(uint8_t chroma);
// "MP@ML", or the coded byte ("0x85") where it names no profile and level of the table.
std::string ProfileLevelText(uint8_t profileAndLevel);
// A sequence whose bit rate field marks a variable rate (MPEG-1's all-ones value).
bool IsVariableBitRate(const SequenceEvent& s);

struct StreamSummary
{
    StreamKey stream = kNoStream;
    Kind kind = Kind::Unknown;
    uint64_t packets = 0;
    uint64_t payloadBytes = 0;   // elementary stream bytes in the packets
    uint64_t units = 0;
    uint64_t unitBytes = 0;
    bool hasTime = false;
    int64_t firstPts27 = 0, lastPts27 = 0;  // lowest and highest presentation times
    int64_t endPts27 = 0;        // highest presentation time plus its duration
    int64_t durationSum27 = 0;   // the units' durations added up
    uint64_t peakBitsPerSecond = 0;  // the most bits in one whole second (see PeakBitsPerSecond)
    AccessUnit first;            // the first unit, for the audio properties
    bool hasSequence = false;
    SequenceEvent sequence;      // the first sequence of a video stream
    // GOPs: the picture types in coded order of each, counted by pattern (count, and the
    // order of first appearance for ties).
    std::map<std::string, std::pair<uint64_t, uint64_t>> gopPatterns;
    uint64_t gops = 0, closedGops = 0;
    uint32_t gopMin = 0, gopMax = 0;

    // Audio and video: the units' durations added up, which holds across time stamp
    // jumps; other streams: from the first presentation time to the end of the last.
    double DurationSeconds() const;
    // Bits over the duration; 0 without time stamps.
    uint64_t AverageBitsPerSecond() const;
    // The highest rate over one second of the stream's time: the busiest whole second,
    // and never below the average; 0 without time stamps.
    uint64_t PeakBitsPerSecond() const;
    // "0xE0", "0xBD:0x80"
    std::string StreamText() const;
    // "video", "audio", "subpicture", "navigation", "padding", "other"
    const char* KindText() const;
    // "MPEG-2 video", "MPEG-1 audio layer II", "AC-3", "DTS", "LPCM", ...
    std::string CodecText() const;
    // The most common GOP pattern (ties: the first seen), empty without GOPs.
    std::string CommonGop() const;
};

class CStreamStats : public IModelSink
{
public:
    void OnContainer(Container c) override { m_container = c; }
    void OnPack(const PackEvent&) override { ++m_packs; }
    void OnPes(const PesEvent& pes) override;
    void OnSequence(const SequenceEvent& seq) override;
    void OnAccessUnit(const AccessUnit& unit) override;
    void OnNavPack(const NavPack& nav) override;
    void OnResync(const ResyncEvent& r) override { m_skipped += r.skipped; }
    void OnTimeBase(const TimeBaseEvent& timeBase) override;
    void OnEnd(const StreamEnd& end) override;

    // Streams in order of their first appearance (padding left out).
    std::vector<StreamSummary> Streams() const;
    Container GetContainer() const { return m_container; }
    uint32_t Packs() const { return m_packs; }
    uint64_t Bytes() const { return m_end.fileSize; }
    uint64_t SkippedBytes() const { return m_skipped; }
    const StreamEnd& End() const { return m_end; }

private:
    struct Entry
    {
        StreamSummary summary;
        // The GOP being counted and the bit-rate second being summed.
        std::string gop;
        bool gopOpen = false;
        bool fieldPending = false;  // a first field picture is in the pattern
        bool secondOpen = false;
        bool secondsStarted = false;
        int64_t firstDts27 = 0;
        int64_t second = 0;
        uint64_t secondBytes = 0;
        uint64_t navBytesCounted = 0;  // navigation packets' bytes already in a unit
    };
    Entry& EntryFor(StreamKey key, Kind kind);
    static void CloseGop(Entry& e);
    // The second under way into the peak.
    static void CloseSecond(Entry& e);
    // Counts bytes into the second of time27, seconds counted from the first call.
    static void AddToSecond(Entry& e, int64_t time27, uint64_t bytes);

    Container m_container = Container::ProgramStream;
    uint32_t m_packs = 0;
    uint64_t m_skipped = 0;
    StreamEnd m_end;
    std::map<StreamKey, size_t> m_index;
    std::vector<Entry> m_entries;
};

// Appends s as a JSON string (quotes and escapes included).
void AppendJsonString(std::string& out, std::string_view s);
// Appends a stream object: {"stream": ..., "kind": ..., "codec": ..., "units": ...,
// "first_pts": ..., "last_pts": ..., "duration": ..., "bitrate_avg": ...,
// "bitrate_peak": ..., then the codec's properties}.
void AppendStreamJson(std::string& out, const StreamSummary& s);
// One line of the stream list (no line end).
std::string StreamLine(const StreamSummary& s);

}  // namespace model
