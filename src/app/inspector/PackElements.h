#pragma once
// The elements of a stretch of a program stream (usually one pack) with their places in
// the file: what the byte view highlights for a finding, a point of a plot or a tree
// line. The stretch is walked by the demultiplexer itself, by lengths, so the extents
// are the ones the stream model saw. Qt-free.

#include "model/ModelEvents.h"

#include <cstdint>
#include <string>
#include <vector>

namespace inspector
{

struct ByteRange
{
    uint64_t offset = 0;
    uint64_t size = 0;
    bool Empty() const { return size == 0; }
    bool Contains(uint64_t at) const { return at >= offset && at - offset < size; }
};

struct PackElement
{
    enum Kind : uint8_t
    {
        PackHeader,
        SystemHeader,
        EndCode,
        Packet,   // a PES packet (padding and private streams included)
    } kind = Packet;
    uint8_t streamId = 0;            // packets: the stream id
    model::StreamKey stream = model::kNoStream;
    ByteRange whole;                 // from the start code to the element's last byte
    ByteRange header;                // the PES header (start code to its last field), the pack header
    ByteRange payload;               // packets: the elementary stream bytes
    bool hasPts = false;
    uint64_t pts = 0;                // 90 kHz, as coded
};

// The elements of bytes[0, size), which stand at file offset base. A stretch that does
// not start with a start code, or that is damaged, gives what the walk could read.
std::vector<PackElement> WalkElements(const uint8_t* bytes, size_t size, uint64_t base);

// "pack header", "system header", "PES packet 0xE0", "padding packet", ...
std::string ElementName(const PackElement& element);

// Offsets of the start codes 00 00 01 code inside range of bytes (which stand at base),
// in order.
std::vector<uint64_t> FindStartCodes(const uint8_t* bytes, size_t size, uint64_t base, const ByteRange& range,
                                     uint8_t code);

}  // namespace inspector
