#pragma once
// Builds MPEG program streams and elementary streams byte by byte for the tests, the
// bundled sample and the benchmarks. Every writer follows ISO/IEC 13818-1/-2 and
// 11172-3 bit layouts; fields the analysis shows can be set, the rest take the values
// a real muxer would write.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct PesOptions
{
    std::optional<uint64_t> pts;  // 33-bit
    std::optional<uint64_t> dts;  // 33-bit; only with pts
    bool forbiddenPtsDtsFlags = false;  // flags 01
    uint8_t scrambling = 0, priority = 0, dataAlignment = 0, copyright = 0, original = 1;
    bool escr = false, esRate = false, dsmTrickMode = false, additionalCopyInfo = false, crc = false;
    // PES extension
    bool extension = false;
    bool privateData = false;
    std::optional<Bytes> packHeaderField;  // the pack header bytes it holds
    bool sequenceCounter = false;
    std::optional<std::pair<int, int>> pstdBuffer;  // scale, size
    bool extension2 = false;
    uint8_t stuffing = 0;              // extra 0xFF bytes at the end of the header data
    std::optional<int> headerDataLength;  // override the computed length (damaged headers)
    std::optional<int> packetLength;      // override the computed PES packet length
};

struct SystemStream
{
    uint8_t id;
    int scale;   // P-STD buffer bound scale
    int size;    // P-STD buffer size bound (13 bits)
};

class StreamWriter
{
public:
    Bytes bytes;

    void Append(const Bytes& b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    void Append(std::initializer_list<uint8_t> b) { bytes.insert(bytes.end(), b); }
    void StartCode(uint8_t code) { Append({0x00, 0x00, 0x01, code}); }

    // MPEG-2 pack header (00 00 01 BA + 10 bytes + stuffing).
    void PackHeader(uint64_t scrBase, uint32_t scrExtension = 0, uint32_t muxRate = 25200, int stuffing = 0);
    // MPEG-1 pack header (8 bytes after the start code).
    void Mpeg1PackHeader(uint64_t scr, uint32_t muxRate);
    void SystemHeader(const std::vector<SystemStream>& streams, uint32_t rateBound = 25200, int audioBound = 1,
                      int videoBound = 1, bool fixed = false, bool csps = false, int extraBytes = 0);
    // A system header with the given header length and raw header bytes.
    void RawSystemHeader(const Bytes& headerBytes);
    void PesPacket(uint8_t streamId, const Bytes& payload, const PesOptions& options = {});
    void PaddingPacket(int length);

    // ---- elementary stream pieces (start code included)
    static Bytes SequenceHeader(int width, int height, int aspect, int frameRateCode, uint32_t bitRateValue,
                                int vbvBufferSize, bool constrained = false);
    static Bytes SequenceExtension();
    static Bytes PictureCodingExtension();
    static Bytes GopHeader(int hours, int minutes, int seconds, int pictures, bool closed, bool broken,
                           bool drop = false);
    static Bytes PictureHeader(int temporalReference, int codingType, int vbvDelay);
    // A slice: start code 01..AF and pseudo-random bytes that hold no start code.
    static Bytes Slice(int number, int length, uint32_t& seed);
    // An MPEG-1 layer II frame (header and a body without sync words).
    static Bytes Mp2Frame(int bitRateIndex, int samplingIndex, bool padding, uint32_t& seed);
    // A frame with the given four header bytes and a body making the frame length long.
    static Bytes AudioFrame(uint8_t b1, uint8_t b2, uint8_t b3, int length, uint32_t& seed);

    static void Put33(uint8_t* out, uint8_t prefix, uint64_t ts);  // PTS/DTS field
};

// A DVD-style program stream: 2048-byte packs, a system header in the first pack,
// MPEG-2 video (sequence + extension + GOP + pictures with slices) and MP2 audio whose
// frames straddle packets, padding packets where a pack has room left.
struct DvdStreamOptions
{
    uint64_t targetBytes = 2 * 1024 * 1024;
    int gopLength = 12;
    int slicesPerPicture = 36;
    int iFrameBytes = 50000, pFrameBytes = 20000, bFrameBytes = 9000;
    int audioBitRateIndex = 11;  // 224 kbit/s at 48 kHz: 672-byte frames
    uint8_t videoId = 0xE0;
    uint8_t audioId = 0xC0;
    uint32_t seed = 1;
};
Bytes MakeDvdStream(const DvdStreamOptions& options);

// A video elementary stream of the given number of GOPs.
Bytes MakeVideoElementaryStream(int gops, int gopLength, uint32_t seed);

bool WriteFile(const std::string& path, const Bytes& bytes);
