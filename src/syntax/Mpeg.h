#pragma once
// The constants and formulas of ISO/IEC 11172-1/-2 and 13818-1/-2 that more than one part
// of the program needs: start codes, stream id classes, the system clock, the frame rate
// table and the time stamp reader. Written once here, for the tree's walks and the stream
// model alike.

#include <cstdint>

namespace mpeg
{

// ---------------------------------------------------------------------------- start codes

constexpr uint8_t kPictureStart = 0x00;
constexpr uint8_t kSliceFirst = 0x01;
constexpr uint8_t kSliceLast = 0xAF;
constexpr uint8_t kUserDataStart = 0xB2;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kSequenceError = 0xB4;
constexpr uint8_t kExtensionStart = 0xB5;
constexpr uint8_t kSequenceEnd = 0xB7;
constexpr uint8_t kGroupStart = 0xB8;
constexpr uint8_t kProgramEnd = 0xB9;
constexpr uint8_t kPackStart = 0xBA;
constexpr uint8_t kSystemHeaderStart = 0xBB;

// ---------------------------------------------------------------------------- stream ids

constexpr uint8_t kProgramStreamMap = 0xBC;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPaddingStream = 0xBE;
constexpr uint8_t kPrivateStream2 = 0xBF;
constexpr uint8_t kEcmStream = 0xF0;
constexpr uint8_t kEmmStream = 0xF1;
constexpr uint8_t kDsmccStream = 0xF2;
constexpr uint8_t kH2221TypeE = 0xF8;
constexpr uint8_t kProgramStreamDirectory = 0xFF;
// In a system header's stream list: every audio stream, every video stream.
constexpr uint8_t kAllAudioStreams = 0xB8;
constexpr uint8_t kAllVideoStreams = 0xB9;

constexpr bool IsAudioStream(uint8_t id) { return (id & 0xE0) == 0xC0; }  // 0xC0..0xDF
constexpr bool IsVideoStream(uint8_t id) { return (id & 0xF0) == 0xE0; }  // 0xE0..0xEF
// A stream id of a packet (0xBC and up), as opposed to the codes of packs and headers.
constexpr bool IsPacketStream(uint8_t id) { return id >= kProgramStreamMap; }
// Packets of these streams carry their data right after PES_packet_length, with no
// PES header fields.
constexpr bool HasPesHeader(uint8_t id)
{
    return !(id == kProgramStreamMap || id == kPaddingStream || id == kPrivateStream2 || id == kEcmStream ||
             id == kEmmStream || id == kDsmccStream || id == kH2221TypeE || id == kProgramStreamDirectory);
}
// A system header entry names this stream, directly or through 0xB8 / 0xB9.
constexpr bool ListedBy(uint8_t entry, uint8_t id)
{
    return entry == id || (entry == kAllAudioStreams && IsAudioStream(id)) ||
           (entry == kAllVideoStreams && IsVideoStream(id));
}

// ---------------------------------------------------------------------------- clocks

constexpr int64_t kClock27 = 27000000;   // system clock, Hz
constexpr int64_t kClock90 = 90000;      // time stamps and SCR bases, Hz
constexpr int64_t kTicks27Per90 = 300;   // SCR extension range
constexpr uint32_t kMuxRateUnit = 50;    // program_mux_rate counts 50 bytes/s
// 27 MHz ticks one byte takes at a mux rate of 1 (50 bytes/s).
constexpr int64_t kTicksPerByteUnit = kClock27 / kMuxRateUnit;
constexpr uint64_t kMask33 = (uint64_t{1} << 33) - 1;

inline double Seconds27(int64_t t27) { return static_cast<double>(t27) / static_cast<double>(kClock27); }
inline double Seconds90(int64_t t90) { return static_cast<double>(t90) / static_cast<double>(kClock90); }

// ---------------------------------------------------------------------------- frame rates

// frame_rate_code 1..8 as frames per second num / den; {0, 1} for the reserved codes.
struct FrameRate
{
    uint32_t num = 0, den = 1;
};
constexpr FrameRate FrameRateOf(uint32_t code)
{
    constexpr FrameRate kRates[9] = {{0, 1},    {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001},
                                     {30, 1},   {50, 1},       {60000, 1001}, {60, 1}};
    return code < 9 ? kRates[code] : FrameRate{};
}

// ---------------------------------------------------------------------------- time stamps

// A 33-bit PTS, DTS or MPEG-1 SCR from its five coded bytes: 4 bits of prefix, then bits
// 32..30, a marker, 29..15, a marker, 14..0, a marker.
constexpr uint64_t ReadTimeStamp(const uint8_t* b)
{
    return (uint64_t{b[0] & 0x0Eu} << 29) | (uint64_t{b[1]} << 22) | (uint64_t{b[2] & 0xFEu} << 14) |
           (uint64_t{b[3]} << 7) | (uint64_t{b[4]} >> 1);
}
// The markers of such a field are set.
constexpr bool TimeStampMarkersSet(const uint8_t* b) { return (b[0] & 1) && (b[2] & 1) && (b[4] & 1); }

}  // namespace mpeg
