#pragma once
// The texts of the result tree. A line stores one of these formats and a 64-bit argument
// word; FormatLine turns the pair into the line's text, exactly as printf would have
// made it when the line was added. Keeping texts out of the store is what lets a tree of
// tens of millions of lines fit in a few hundred megabytes and be built at disk speed.

#include "analysis/CResultTree.h"

#include <cstdint>
#include <string>

enum class LineFmt : uint16_t
{
    Text = 0,  // free text: arg = string handle (the store's code 0)

    // ---- analysis run
    RootPackets,          // "%s [%d packets]"            lo = string handle, hi = limit
    RootAll,              // "%s [all packets]"           lo = string handle
    Essentials,           // "Essentials"
    ElementaryStreams,    // "Elementary streams"
    VideoSequence,        // "Video sequence"
    PacketStructure,      // "Packet structure"
    VideoInformation,     // "Video Information"
    PackNumber,           // "PACK #%d"
    Header,               // "HEADER"
    Data,                 // "DATA"
    ExtensionData,        // "extension data (not parsed)"
    Padding,              // "Padding"
    AudioStream,          // "(Audio Stream %d)"
    VideoStream,          // "(Video Stream %d)"
    PackPts,              // "pack PTS = %.2f ms"         arg = PTS (90 kHz, 33 bits)
    Pack,                 // "pack"
    AudioHeaderFirst,     // "audio header @ %d offs. (expecting @ %d)"   lo = h, hi = expected
    AudioHeaderNext,      // "audio header @ %d offs."                    lo = h
    AudioHeaderFirstErr,  // the first with " ERR: ! %d" (the expected offset again)
    AudioHeaderNextErr,   // "audio header @ %d offs. ERR: ! %d"          lo = h, hi = expected
    SubstreamItem,        // "(AC-3 Stream 0x%2X)" and the like, by the id's range   lo = substream id

    // ---- pack header
    Scr,                  // "SCR = %.2f ms"              arg = SCR base (33 bits)
    MuxrateBps,           // "muxrate = %d bps"
    Details,              // "Details"
    Marker01,             // "Marker (01) = %1d%1d"       lo = the two bits
    ScrBits32to30,        // "SCR[32..30] = 0x%x"
    Marker1,              // "Marker (1) = %d"
    ScrBits29to15,        // "SCR[29..15] = 0x%x"
    ScrBits14to0,         // "SCR[14..0] = 0x%x"
    ScrExtension,         // "SCR extension = 0x%x"
    MuxrateRaw,           // "muxrate = 0x%x"
    ReservedHex,          // "reserved = 0x%x"
    PackStuffing,         // "pack stuffing = %d"
    Marker0010,           // "Marker (0010) = %1d%1d%1d%1d"  lo = the four bits (MPEG-1)

    // ---- system header
    SystemHeader,         // "System Header"
    HeaderLength,         // "Header Length = %d"
    RateBound,            // "Rate Bound = 0x%x (%d bps)"  lo = rate bound
    AudioBound,           // "Audio Bound = %d stream(s)"
    FixedFlagFbr,         // "fixed flag = %d (FBR)"
    FixedFlagVbr,         // "fixed flag = %d (VBR)"
    CspsConstrained,      // "CSPS flag = %d (constrained parms)"
    CspsUnconstrained,    // "CSPS flag = %d (unconstrained)"
    SystemAudioLock,      // "system audio lock = %d"
    SystemVideoLock,      // "system video lock = %d"
    VideoBound,           // "Video Bound = %d stream(s)"
    StreamIdEntry,        // "Stream ID 0x%2X %s"          lo = stream id
    PstdBoundScale,       // "   P-STD bound scale: %d "
    PstdBoundSize,        // "   P-STD bound size: %d "
    PstdBound,            // "   [P-STD bound: %d (%d kB)]" lo = bytes

    // ---- PES header
    PesStreamPts,         // "Stream 0x%2X %s, PTS: %.2f ms" arg = StreamPtsArg(id, PTS)
    PesStream,            // "Stream 0x%2X %s"             lo = stream id
    PesHeader,            // "PES HEADER"
    PacketLength,         // "Packet length = %d"
    PesMarker,            // "marker = %2.2d"
    ScramblingControl,    // "scrambling control = 0x%x"
    Prio,                 // "prio = %d"
    DataAlignment,        // "data alignment = %d"
    Copyright,            // "copyright = %d"
    OriginalCopy,         // "original/copy = %d"
    PtsDtsFlags,          // "PTS/DTS flags = %d"
    Escr,                 // "ESCR = %d"
    EsRate,               // "ESRATE = %d"
    DsmTrickMode,         // "DSM trickmode = %d"
    AddCopyInfo,          // "add. copy info = %d"
    CrcFlag,              // "CRC flag = %d"
    PesExtension,         // "PES extension = %d"
    PesPrivateData,       // "PES private data = %d"
    PackHeaderField,      // "pack header field = %d"
    SequenceCounter,      // "sequence counter = %d"
    PstdBufferFlag,       // "P-STD buffer flag = %d"
    PstdBuffer,           // "P-STD buffer: %d (%d kB)"    lo = bytes
    ReservedDec,          // "reserved = %d"
    PesExtensionField,    // "PES extension field = %d"
    HeaderDataLength,     // "header data length = %d"
    Pts,                  // "PTS = %.2f ms (%llu)"        arg = PTS (33 bits)
    Dts,                  // "DTS = %.2f ms (%llu)"        arg = DTS (33 bits)
    PesSubstreamPts,      // "Stream 0xBD %s, PTS: %.2f ms" arg = SubstreamPtsArg(substream id, PTS)
    PesSubstream,         // "Stream 0xBD %s"              lo = substream id
    StuffingBytes,        // "stuffing bytes = %d"          (MPEG-1 packet)
    StdBuffer,            // "STD buffer: %d (%d kB)"       lo = bytes (MPEG-1 packet)

    // ---- video sequence, group of pictures, picture
    SequenceHeader,       // "sequence header"
    HorizontalSize,       // "horizontal size = %d"
    VerticalSize,         // "vertical size = %d"
    AspectRatio,          // "aspect ratio = %s"           lo = aspect ratio code
    Bitrate,              // "bitrate = %d"
    VbvBufferSize,        // "VBV buffer size = %d (== %d KB)"
    GroupOfPictures,      // "group of pictures"
    DropFlag,             // "drop flag = %d"
    Timecode,             // "timecode :  %2.2d:%2.2d:%2.2d.%2.2d"  bytes 0..3 = h, m, s, pictures
    ClosedGop,            // "closed gop = %d"
    BrokenLink,           // "broken link = %d"
    Picture,              // "picture (tref = %d, %s)"     lo = tref, hi = coding type
    VbvDelay,             // "VBV delay = %d (0x%4X)"

    // ---- audio frame header
    MpegLevel,            // "MPEG%d, Level %d"            lo = version, hi = layer
    ProtectionNoCrc,      // "protection bit = 1 (no CRC)"
    ProtectionCrc,        // "protection bit = 0 (has CRC)"
    BitrateIdx,           // "Bitrate idx = %d (%d000 bps)" lo = index, hi = kbit/s
    SamplingFreq,         // "Sampling Freq. idx = %d (%.1f kHz)" lo = index, hi = version
    AudioPadding,         // "padding = %d "
    FrameSize,            // "Frame Size = %d bytes (%.2f ms)" lo = length, hi = header bytes 1 and 2

    // ---- private stream 1 substreams: their header, AC-3 and DTS frames
    SubstreamHeader,      // "SUBSTREAM HEADER"
    SubstreamId,          // "substream id = 0x%2X"
    FrameCount,           // "frame count = %d"
    FirstAccessUnit,      // "first access unit = %d"
    LpcmEmphasis,         // "emphasis = %d"
    LpcmMute,             // "mute = %d"
    LpcmFrameNumber,      // "frame number = %d"
    LpcmQuantization,     // "quantization = %d (%d bits)"  lo = code, hi = bits
    Channels,             // "channels = %d"
    DynamicRange,         // "dynamic range = 0x%x"
    SampleRateCode,       // "Sampling Freq. code = %d (%.1f kHz)"  lo = code, hi = Hz
    Ac3Info,              // "AC-3, bsid = %d, bsmod = %d"  lo = bsid, hi = bsmod
    DtsInfo,              // "DTS, frame type = %d, %d samples" lo = frame type, hi = samples
    BitrateCode,          // "Bitrate code = %d (%d bps)"   lo = code, hi = bit/s
    Ac3ChannelMode,       // "channel mode = %d (%s), %d channels"  lo = acmod, hi = channels
    DtsChannelMode,       // "channel mode = %d, %d channels"       lo = amode, hi = channels
    Lfe,                  // "LFE = %d"
    CodedFrameSize,       // "Frame Size = %d bytes (%.2f ms)" CodedFrameArg(bytes, samples, Hz)

    // ---- DVD navigation packets (private stream 2)
    Pci,                  // "PCI"
    Dsi,                  // "DSI"
    NvPckLbn,             // "nv_pck_lbn = %u"
    VobuSPtm,             // "vobu_s_ptm = %.2f ms (%u)"    arg = 90 kHz
    VobuEPtm,             // "vobu_e_ptm = %.2f ms (%u)"
    VobuSeEPtm,           // "vobu_se_e_ptm = %.2f ms (%u)"
    NvPckScr,             // "nv_pck_scr = %.2f ms (%u)"
    VobuEa,               // "vobu_ea = %u"
    VobuVobIdn,           // "vobu_vob_idn = %d"
    VobuCIdn,             // "vobu_c_idn = %d"
    CEltm,                // "c_eltm = %02x:%02x:%02x.%02x" lo = the BCD word (frame rate bits dropped)
    NextVobu,             // "next_vobu = 0x%08X (%d)"      lo = as coded; the blocks below the flags
    PrevVobu,             // "prev_vobu = 0x%08X (%d)"

    Count_
};
// A line of the store keeps its format in ten bits.
static_assert(static_cast<unsigned>(LineFmt::Count_) <= 1024);

// Argument word of two 32-bit values.
constexpr uint64_t PackArgs(uint32_t lo, uint32_t hi = 0)
{
    return uint64_t{lo} | (uint64_t{hi} << 32);
}
constexpr uint32_t ArgLo(uint64_t arg) { return static_cast<uint32_t>(arg); }
constexpr uint32_t ArgHi(uint64_t arg) { return static_cast<uint32_t>(arg >> 32); }

// Argument word of a stream id and a 33-bit time stamp: the stamp in the low 33 bits,
// the id above bit 40.
constexpr uint64_t kTimeStampMask = (uint64_t{1} << 33) - 1;
constexpr uint64_t StreamPtsArg(uint32_t streamId, uint64_t pts)
{
    return (pts & kTimeStampMask) | (uint64_t{streamId & 0xFF} << 40);
}

// Argument word of a substream id and a PTS: the stamp in the low 33 bits, the id above
// bit 40.
constexpr uint64_t SubstreamPtsArg(uint32_t substreamId, uint64_t pts)
{
    return StreamPtsArg(substreamId, pts);
}

// Argument word of a coded audio frame's size: bytes, samples a frame and sampling rate,
// 16 bits each.
constexpr uint64_t CodedFrameArg(uint32_t bytes, uint32_t samples, uint32_t hz)
{
    return uint64_t{bytes & 0xFFFF} | (uint64_t{samples & 0xFFFF} << 16) | (uint64_t{hz & 0xFFFF} << 32);
}

// Appends the text of a format and argument to out (tree: the string store).
void FormatLine(LineFmt fmt, uint64_t arg, const CResultTree& tree, std::string& out);

// Appends the text of a line to out (no allocation when out has room).
void AppendLineText(const CResultTree& tree, ItemId item, std::string& out);
std::string LineText(const CResultTree& tree, ItemId item);
