#include "analysis/LineFormat.h"

#include "analysis/CResultTree.h"
#include "syntax/StreamLabel.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <cstdarg>
#include <cstdio>

double TicksToMs(uint32_t ticks)
{
    // 0x3F86C16C16C16C17, the double nearest to 1/90.
    constexpr double kOneNinetieth = 1.0 / 90.0;
    return static_cast<double>(ticks) * kOneNinetieth;
}

namespace
{

// printf into out. Every text here is short; 512 bytes leaves room for a long path in
// the root line, which goes through the string path below anyway.
void Printf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Printf(std::string& out, const char* format, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n > 0)
        out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

int I(uint32_t v) { return static_cast<int>(v); }

}  // namespace

void FormatLine(LineFmt fmt, uint64_t arg, const CResultTree& tree, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    const uint32_t hi = ArgHi(arg);
    switch (fmt)
    {
    case LineFmt::Text: out.append(tree.String(lo)); return;

    // ---- analysis run
    case LineFmt::RootPackets:
        out.append(tree.String(lo));
        Printf(out, " [%d packets]", I(hi));
        return;
    case LineFmt::RootAll:
        out.append(tree.String(lo));
        out.append(" [all packets]");
        return;
    case LineFmt::Essentials: out.append("Essentials"); return;
    case LineFmt::ElementaryStreams: out.append("Elementary streams"); return;
    case LineFmt::VideoSequence: out.append("Video sequence"); return;
    case LineFmt::PacketStructure: out.append("Packet structure"); return;
    case LineFmt::VideoInformation: out.append("Video Information"); return;
    case LineFmt::PackNumber: Printf(out, "PACK #%d", I(lo)); return;
    case LineFmt::Header: out.append("HEADER"); return;
    case LineFmt::Data: out.append("DATA"); return;
    case LineFmt::ExtensionData: out.append("extension data (not parsed)"); return;
    case LineFmt::Padding: out.append("Padding"); return;
    case LineFmt::AudioStream: Printf(out, "(Audio Stream %d)", I(lo)); return;
    case LineFmt::VideoStream: Printf(out, "(Video Stream %d)", I(lo)); return;
    case LineFmt::PackPts: Printf(out, "pack PTS = %.2f ms", TicksToMs(lo)); return;
    case LineFmt::Pack: out.append("pack"); return;
    case LineFmt::AudioHeaderFirst: Printf(out, "audio header @ %d offs. (expecting @ %d)", I(lo), I(hi)); return;
    case LineFmt::AudioHeaderNext: Printf(out, "audio header @ %d offs.", I(lo)); return;
    case LineFmt::AudioHeaderFirstErr:
        Printf(out, "audio header @ %d offs. (expecting @ %d) ERR: ! %d", I(lo), I(hi), I(hi));
        return;
    case LineFmt::AudioHeaderNextErr: Printf(out, "audio header @ %d offs. ERR: ! %d", I(lo), I(hi)); return;

    // ---- pack header
    case LineFmt::Scr: Printf(out, "SCR = %.2f ms", TicksToMs(lo)); return;
    case LineFmt::MuxrateBps: Printf(out, "muxrate = %d bps", I(lo)); return;
    case LineFmt::Details: out.append("Details"); return;
    case LineFmt::Marker01: Printf(out, "Marker (01) = %1d%1d", I((lo >> 1) & 1), I(lo & 1)); return;
    case LineFmt::ScrBits32to30: Printf(out, "SCR[32..30] = 0x%x", lo); return;
    case LineFmt::Marker1: Printf(out, "Marker (1) = %d", I(lo)); return;
    case LineFmt::ScrBits29to15: Printf(out, "SCR[29..15] = 0x%x", lo); return;
    case LineFmt::ScrBits14to0: Printf(out, "SCR[14..0] = 0x%x", lo); return;
    case LineFmt::ScrExtension: Printf(out, "SCR extension = 0x%x", lo); return;
    case LineFmt::MuxrateRaw: Printf(out, "muxrate = 0x%x", lo); return;
    case LineFmt::ReservedHex: Printf(out, "reserved = 0x%x", lo); return;
    case LineFmt::PackStuffing: Printf(out, "pack stuffing = %d", I(lo)); return;

    // ---- system header
    case LineFmt::SystemHeader: out.append("System Header"); return;
    case LineFmt::HeaderLength: Printf(out, "Header Length = %d", I(lo)); return;
    case LineFmt::RateBound: Printf(out, "Rate Bound = 0x%x (%d bps)", lo, I(lo * 400u)); return;
    case LineFmt::AudioBound: Printf(out, "Audio Bound = %d stream(s)", I(lo)); return;
    case LineFmt::FixedFlagFbr: Printf(out, "fixed flag = %d (FBR)", I(lo)); return;
    case LineFmt::FixedFlagVbr: Printf(out, "fixed flag = %d (VBR)", I(lo)); return;
    case LineFmt::CspsConstrained: Printf(out, "CSPS flag = %d (constrained parms)", I(lo)); return;
    case LineFmt::CspsUnconstrained: Printf(out, "CSPS flag = %d (unconstrained)", I(lo)); return;
    case LineFmt::SystemAudioLock: Printf(out, "system audio lock = %d", I(lo)); return;
    case LineFmt::SystemVideoLock: Printf(out, "system video lock = %d", I(lo)); return;
    case LineFmt::VideoBound: Printf(out, "Video Bound = %d stream(s)", I(lo)); return;
    case LineFmt::StreamIdEntry:
        Printf(out, "Stream ID 0x%2X ", lo);
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PstdBoundScale: Printf(out, "   P-STD bound scale: %d ", I(lo)); return;
    case LineFmt::PstdBoundSize: Printf(out, "   P-STD bound size: %d ", I(lo)); return;
    case LineFmt::PstdBound: Printf(out, "   [P-STD bound: %d (%d kB)]", I(lo), I(lo) / 1024); return;

    // ---- PES header
    case LineFmt::PesStreamPts:
        Printf(out, "Stream 0x%2X ", hi);
        AppendStreamLabel(hi, out);
        Printf(out, ", PTS: %.2f ms", TicksToMs(lo));
        return;
    case LineFmt::PesStream:
        Printf(out, "Stream 0x%2X ", lo);
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PesHeader: out.append("PES HEADER"); return;
    case LineFmt::PacketLength: Printf(out, "Packet length = %d", I(lo)); return;
    case LineFmt::PesMarker: Printf(out, "marker = %2.2d", I(lo)); return;
    case LineFmt::ScramblingControl: Printf(out, "scrambling control = 0x%x", lo); return;
    case LineFmt::Prio: Printf(out, "prio = %d", I(lo)); return;
    case LineFmt::DataAlignment: Printf(out, "data alignment = %d", I(lo)); return;
    case LineFmt::Copyright: Printf(out, "copyright = %d", I(lo)); return;
    case LineFmt::OriginalCopy: Printf(out, "original/copy = %d", I(lo)); return;
    case LineFmt::PtsDtsFlags: Printf(out, "PTS/DTS flags = %d", I(lo)); return;
    case LineFmt::Escr: Printf(out, "ESCR = %d", I(lo)); return;
    case LineFmt::EsRate: Printf(out, "ESRATE = %d", I(lo)); return;
    case LineFmt::DsmTrickMode: Printf(out, "DSM trickmode = %d", I(lo)); return;
    case LineFmt::AddCopyInfo: Printf(out, "add. copy info = %d", I(lo)); return;
    case LineFmt::CrcFlag: Printf(out, "CRC flag = %d", I(lo)); return;
    case LineFmt::PesExtension: Printf(out, "PES extension = %d", I(lo)); return;
    case LineFmt::PesPrivateData: Printf(out, "PES private data = %d", I(lo)); return;
    case LineFmt::PackHeaderField: Printf(out, "pack header field = %d", I(lo)); return;
    case LineFmt::SequenceCounter: Printf(out, "sequence counter = %d", I(lo)); return;
    case LineFmt::PstdBufferFlag: Printf(out, "P-STD buffer flag = %d", I(lo)); return;
    case LineFmt::PstdBuffer: Printf(out, "P-STD buffer: %d (%d kB)", I(lo), I(lo) / 1024); return;
    case LineFmt::ReservedDec: Printf(out, "reserved = %d", I(lo)); return;
    case LineFmt::PesExtensionField: Printf(out, "PES extension field = %d", I(lo)); return;
    case LineFmt::HeaderDataLength: Printf(out, "header data length = %d", I(lo)); return;
    case LineFmt::Pts: Printf(out, "PTS = %.2f ms (%d)", TicksToMs(lo), I(lo)); return;
    case LineFmt::Dts: Printf(out, "DTS = %.2f ms (%d)", TicksToMs(lo), I(lo)); return;

    // ---- video
    case LineFmt::SequenceHeader: out.append("sequence header"); return;
    case LineFmt::HorizontalSize: Printf(out, "horizontal size = %d", I(lo)); return;
    case LineFmt::VerticalSize: Printf(out, "vertical size = %d", I(lo)); return;
    case LineFmt::AspectRatio:
        out.append("aspect ratio = ");
        CSequenceHeader::AppendAspectRatioText(I(lo), out);
        return;
    case LineFmt::Bitrate: Printf(out, "bitrate = %d", I(lo)); return;
    case LineFmt::VbvBufferSize: Printf(out, "VBV buffer size = %d (== %d KB)", I(lo), I(lo * 2u)); return;
    case LineFmt::GroupOfPictures: out.append("group of pictures"); return;
    case LineFmt::DropFlag: Printf(out, "drop flag = %d", I(lo)); return;
    case LineFmt::Timecode:
        Printf(out, "timecode :  %2.2d:%2.2d:%2.2d.%2.2d", I(lo & 0xFF), I((lo >> 8) & 0xFF),
               I((lo >> 16) & 0xFF), I(lo >> 24));
        return;
    case LineFmt::ClosedGop: Printf(out, "closed gop = %d", I(lo)); return;
    case LineFmt::BrokenLink: Printf(out, "broken link = %d", I(lo)); return;
    case LineFmt::Picture:
        Printf(out, "picture (tref = %d, ", I(lo));
        CPictureHeader::AppendCodingTypeText(hi, out);
        out.push_back(')');
        return;
    case LineFmt::VbvDelay: Printf(out, "VBV delay = %d (0x%4X)", I(lo), lo); return;

    // ---- audio
    case LineFmt::MpegLevel: Printf(out, "MPEG%d, Level %d", I(lo), I(hi)); return;
    case LineFmt::ProtectionNoCrc: out.append("protection bit = 1 (no CRC)"); return;
    case LineFmt::ProtectionCrc: out.append("protection bit = 0 (has CRC)"); return;
    case LineFmt::BitrateIdx: Printf(out, "Bitrate idx = %d (%d000 bps)", I(lo), I(hi)); return;
    case LineFmt::SamplingFreq:
        Printf(out, "Sampling Freq. idx = %d (%.1f kHz)", I(lo), CAudioHeader::SamplingFrequencyFor(hi, lo));
        return;
    case LineFmt::AudioPadding: Printf(out, "padding = %d ", I(lo)); return;
    case LineFmt::FrameSize:
        Printf(out, "Frame Size = %d bytes (%.2f ms)", I(lo),
               CAudioHeader::DurationFor(static_cast<uint8_t>(hi), static_cast<uint8_t>(hi >> 8)));
        return;

    case LineFmt::Count_: break;
    }
}
