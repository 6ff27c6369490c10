#pragma once
// What the inspector keeps of one pass of the stream model and the checks over a file:
// the packs and the PES time stamps in columns, the model's column store of access
// units, the streams' figures, the findings and the decoder buffer curves. Qt-free;
// filled on the worker thread and read-only once handed to the window.

#include "checks/Findings.h"
#include "model/ColumnStore.h"
#include "model/ModelEvents.h"
#include "model/StreamStats.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace inspector
{

struct DiscInspection;

// Per-pack columns (20 bytes a pack).
struct PackColumns
{
    std::vector<uint64_t> offset;
    std::vector<double> scr;        // seconds, unwrapped
    std::vector<uint32_t> muxRate;  // 50 bytes/s units
    size_t size() const { return offset.size(); }
    // The pack that holds a byte: the last pack starting at or before it (0 if none).
    uint32_t PackAt(uint64_t byteOffset) const;
    // Bytes from the pack's start to the next pack's (or to fileSize for the last).
    uint64_t PackLength(uint32_t pack, uint64_t fileSize) const;
};

// PES headers with a PTS, with the arrival time of their first payload byte.
struct StampColumns
{
    std::vector<model::StreamKey> stream;
    std::vector<float> arrival;    // seconds
    std::vector<float> pts, dts;   // seconds; dts == pts where none is coded
    std::vector<uint32_t> pack;
    size_t size() const { return stream.size(); }
};

// The occupancy of one stream's decoder buffer in one time base, as the checks' buffer
// model has it: the level after each run of arriving bytes and after each access unit
// has left, at most three points (lowest, highest, last) per millisecond.
struct BufferCurve
{
    model::StreamKey stream = model::kNoStream;
    uint32_t timeBase = 0;          // 0 for the file's first clock (see model::TimeBaseEvent)
    std::vector<float> time;        // seconds
    std::vector<uint32_t> bytes;
    std::vector<float> sizeTime;    // where the buffer size is signalled (or changes)
    std::vector<uint32_t> sizeBytes;
};

// Where a clock of the file lies on the plots' time axis. The VOBs of a VOB set, and the
// programs after an end code, each run on a clock of their own that starts again near 0;
// a player plays them one after the other, so the plots put each clock's times after the
// last one's: its first pack just after the last pack of the clock before. An SCR that
// runs back with no such boundary is a fault and moves nothing.
struct PlotClock
{
    uint32_t pack = 0;       // its first pack (0-based)
    uint32_t timeBase = 0;   // as model::TimeBaseEvent numbers them
    double shift = 0;        // seconds added to its times on the plots
};

struct InspectResult
{
    std::string path;
    uint64_t fileSize = 0;
    uint64_t skipped = 0;      // bytes skipped to resynchronise
    bool stopped = false;      // cancelled: what is here covers the file up to that point
    bool readError = false;
    model::Container container = model::Container::ProgramStream;
    PackColumns packs;
    StampColumns stamps;
    model::CColumnStore units;
    std::vector<model::StreamSummary> streams;
    std::vector<checks::Finding> findings;
    uint64_t errors = 0, warnings = 0, infos = 0;
    std::vector<BufferCurve> buffers;
    std::vector<PlotClock> clocks;  // from the second time base on, in file order
    // A disc's pass: its tree, its VOB sets (each with a result of its own for the streams,
    // plots and bytes) and its files' findings, which `findings` then holds, with the file
    // each falls in in findingFiles. Null for a file.
    std::shared_ptr<const DiscInspection> disc;
    std::vector<std::string> findingFiles;

    // The file a finding falls in: a disc's file, else the name of the file inspected.
    std::string FindingFile(size_t finding) const;

    // The clock a pack (0-based) runs on: the last one starting at or before it; the first
    // clock where none is listed. Seconds to add to its times on the plots.
    const PlotClock* ClockOf(uint32_t pack) const;
    double Shift(uint32_t pack) const;
    // The clock of a time base; null for the first.
    const PlotClock* ClockOfTimeBase(uint32_t timeBase) const;
    // The pack starts a clock after the first.
    bool StartsClock(uint32_t pack) const;

    // The index of a stream in `streams`, or -1.
    int StreamIndex(model::StreamKey key) const;
};

}  // namespace inspector
