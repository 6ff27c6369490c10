#include "analysis/LineFormat.h"

#include "analysis/CResultTree.h"
#include "syntax/StreamLabel.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include "analysis/TextFormat.h"

double TicksToMs(uint32_t ticks)
{
    // 0x3F86C16C16C16C17, the double nearest to 1/90.
    constexpr double kOneNinetieth = 1.0 / 90.0;
    return static_cast<double>(ticks) * kOneNinetieth;
}

namespace
{

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
    case LineFmt::RootPackets: AppendFormat(out, "%s [%d packets]", {tree.String(lo), I(hi)}); return;
    case LineFmt::RootAll: AppendFormat(out, "%s [all packets]", {tree.String(lo)}); return;
    case LineFmt::Essentials: out.append("Essentials"); return;
    case LineFmt::ElementaryStreams: out.append("Elementary streams"); return;
    case LineFmt::VideoSequence: out.append("Video sequence"); return;
    case LineFmt::PacketStructure: out.append("Packet structure"); return;
    case LineFmt::VideoInformation: out.append("Video Information"); return;
    case LineFmt::PackNumber: AppendFormat(out, "PACK #%d", {I(lo)}); return;
    case LineFmt::Header: out.append("HEADER"); return;
    case LineFmt::Data: out.append("DATA"); return;
    case LineFmt::ExtensionData: out.append("extension data (not parsed)"); return;
    case LineFmt::Padding: out.append("Padding"); return;
    case LineFmt::AudioStream: AppendFormat(out, "(Audio Stream %d)", {I(lo)}); return;
    case LineFmt::VideoStream: AppendFormat(out, "(Video Stream %d)", {I(lo)}); return;
    case LineFmt::PackPts: AppendFormat(out, "pack PTS = %.2f ms", {TicksToMs(lo)}); return;
    case LineFmt::Pack: out.append("pack"); return;
    case LineFmt::AudioHeaderFirst: AppendFormat(out, "audio header @ %d offs. (expecting @ %d)", {I(lo), I(hi)}); return;
    case LineFmt::AudioHeaderNext: AppendFormat(out, "audio header @ %d offs.", {I(lo)}); return;
    case LineFmt::AudioHeaderFirstErr:
        AppendFormat(out, "audio header @ %d offs. (expecting @ %d) ERR: ! %d", {I(lo), I(hi), I(hi)});
        return;
    case LineFmt::AudioHeaderNextErr: AppendFormat(out, "audio header @ %d offs. ERR: ! %d", {I(lo), I(hi)}); return;

    // ---- pack header
    case LineFmt::Scr: AppendFormat(out, "SCR = %.2f ms", {TicksToMs(lo)}); return;
    case LineFmt::MuxrateBps: AppendFormat(out, "muxrate = %d bps", {I(lo)}); return;
    case LineFmt::Details: out.append("Details"); return;
    case LineFmt::Marker01: AppendFormat(out, "Marker (01) = %1d%1d", {I((lo >> 1) & 1), I(lo & 1)}); return;
    case LineFmt::ScrBits32to30: AppendFormat(out, "SCR[32..30] = 0x%x", {lo}); return;
    case LineFmt::Marker1: AppendFormat(out, "Marker (1) = %d", {I(lo)}); return;
    case LineFmt::ScrBits29to15: AppendFormat(out, "SCR[29..15] = 0x%x", {lo}); return;
    case LineFmt::ScrBits14to0: AppendFormat(out, "SCR[14..0] = 0x%x", {lo}); return;
    case LineFmt::ScrExtension: AppendFormat(out, "SCR extension = 0x%x", {lo}); return;
    case LineFmt::MuxrateRaw: AppendFormat(out, "muxrate = 0x%x", {lo}); return;
    case LineFmt::ReservedHex: AppendFormat(out, "reserved = 0x%x", {lo}); return;
    case LineFmt::PackStuffing: AppendFormat(out, "pack stuffing = %d", {I(lo)}); return;

    // ---- system header
    case LineFmt::SystemHeader: out.append("System Header"); return;
    case LineFmt::HeaderLength: AppendFormat(out, "Header Length = %d", {I(lo)}); return;
    case LineFmt::RateBound: AppendFormat(out, "Rate Bound = 0x%x (%d bps)", {lo, I(lo * 400u)}); return;
    case LineFmt::AudioBound: AppendFormat(out, "Audio Bound = %d stream(s)", {I(lo)}); return;
    case LineFmt::FixedFlagFbr: AppendFormat(out, "fixed flag = %d (FBR)", {I(lo)}); return;
    case LineFmt::FixedFlagVbr: AppendFormat(out, "fixed flag = %d (VBR)", {I(lo)}); return;
    case LineFmt::CspsConstrained: AppendFormat(out, "CSPS flag = %d (constrained parms)", {I(lo)}); return;
    case LineFmt::CspsUnconstrained: AppendFormat(out, "CSPS flag = %d (unconstrained)", {I(lo)}); return;
    case LineFmt::SystemAudioLock: AppendFormat(out, "system audio lock = %d", {I(lo)}); return;
    case LineFmt::SystemVideoLock: AppendFormat(out, "system video lock = %d", {I(lo)}); return;
    case LineFmt::VideoBound: AppendFormat(out, "Video Bound = %d stream(s)", {I(lo)}); return;
    case LineFmt::StreamIdEntry:
        AppendFormat(out, "Stream ID 0x%2X ", {lo});
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PstdBoundScale: AppendFormat(out, "   P-STD bound scale: %d ", {I(lo)}); return;
    case LineFmt::PstdBoundSize: AppendFormat(out, "   P-STD bound size: %d ", {I(lo)}); return;
    case LineFmt::PstdBound: AppendFormat(out, "   [P-STD bound: %d (%d kB)]", {I(lo), I(lo) / 1024}); return;

    // ---- PES header
    case LineFmt::PesStreamPts:
        AppendFormat(out, "Stream 0x%2X ", {hi});
        AppendStreamLabel(hi, out);
        AppendFormat(out, ", PTS: %.2f ms", {TicksToMs(lo)});
        return;
    case LineFmt::PesStream:
        AppendFormat(out, "Stream 0x%2X ", {lo});
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PesHeader: out.append("PES HEADER"); return;
    case LineFmt::PacketLength: AppendFormat(out, "Packet length = %d", {I(lo)}); return;
    case LineFmt::PesMarker: AppendFormat(out, "marker = %2.2d", {I(lo)}); return;
    case LineFmt::ScramblingControl: AppendFormat(out, "scrambling control = 0x%x", {lo}); return;
    case LineFmt::Prio: AppendFormat(out, "prio = %d", {I(lo)}); return;
    case LineFmt::DataAlignment: AppendFormat(out, "data alignment = %d", {I(lo)}); return;
    case LineFmt::Copyright: AppendFormat(out, "copyright = %d", {I(lo)}); return;
    case LineFmt::OriginalCopy: AppendFormat(out, "original/copy = %d", {I(lo)}); return;
    case LineFmt::PtsDtsFlags: AppendFormat(out, "PTS/DTS flags = %d", {I(lo)}); return;
    case LineFmt::Escr: AppendFormat(out, "ESCR = %d", {I(lo)}); return;
    case LineFmt::EsRate: AppendFormat(out, "ESRATE = %d", {I(lo)}); return;
    case LineFmt::DsmTrickMode: AppendFormat(out, "DSM trickmode = %d", {I(lo)}); return;
    case LineFmt::AddCopyInfo: AppendFormat(out, "add. copy info = %d", {I(lo)}); return;
    case LineFmt::CrcFlag: AppendFormat(out, "CRC flag = %d", {I(lo)}); return;
    case LineFmt::PesExtension: AppendFormat(out, "PES extension = %d", {I(lo)}); return;
    case LineFmt::PesPrivateData: AppendFormat(out, "PES private data = %d", {I(lo)}); return;
    case LineFmt::PackHeaderField: AppendFormat(out, "pack header field = %d", {I(lo)}); return;
    case LineFmt::SequenceCounter: AppendFormat(out, "sequence counter = %d", {I(lo)}); return;
    case LineFmt::PstdBufferFlag: AppendFormat(out, "P-STD buffer flag = %d", {I(lo)}); return;
    case LineFmt::PstdBuffer: AppendFormat(out, "P-STD buffer: %d (%d kB)", {I(lo), I(lo) / 1024}); return;
    case LineFmt::ReservedDec: AppendFormat(out, "reserved = %d", {I(lo)}); return;
    case LineFmt::PesExtensionField: AppendFormat(out, "PES extension field = %d", {I(lo)}); return;
    case LineFmt::HeaderDataLength: AppendFormat(out, "header data length = %d", {I(lo)}); return;
    case LineFmt::Pts: AppendFormat(out, "PTS = %.2f ms (%d)", {TicksToMs(lo), I(lo)}); return;
    case LineFmt::Dts: AppendFormat(out, "DTS = %.2f ms (%d)", {TicksToMs(lo), I(lo)}); return;

    // ---- video
    case LineFmt::SequenceHeader: out.append("sequence header"); return;
    case LineFmt::HorizontalSize: AppendFormat(out, "horizontal size = %d", {I(lo)}); return;
    case LineFmt::VerticalSize: AppendFormat(out, "vertical size = %d", {I(lo)}); return;
    case LineFmt::AspectRatio:
        out.append("aspect ratio = ");
        CSequenceHeader::AppendAspectRatioText(I(lo), out);
        return;
    case LineFmt::Bitrate: AppendFormat(out, "bitrate = %d", {I(lo)}); return;
    case LineFmt::VbvBufferSize: AppendFormat(out, "VBV buffer size = %d (== %d KB)", {I(lo), I(lo * 2u)}); return;
    case LineFmt::GroupOfPictures: out.append("group of pictures"); return;
    case LineFmt::DropFlag: AppendFormat(out, "drop flag = %d", {I(lo)}); return;
    case LineFmt::Timecode:
        AppendFormat(out, "timecode :  %2.2d:%2.2d:%2.2d.%2.2d", {I(lo & 0xFF), I((lo >> 8) & 0xFF),
               I((lo >> 16) & 0xFF), I(lo >> 24)});
        return;
    case LineFmt::ClosedGop: AppendFormat(out, "closed gop = %d", {I(lo)}); return;
    case LineFmt::BrokenLink: AppendFormat(out, "broken link = %d", {I(lo)}); return;
    case LineFmt::Picture:
        AppendFormat(out, "picture (tref = %d, ", {I(lo)});
        CPictureHeader::AppendCodingTypeText(hi, out);
        out.push_back(')');
        return;
    case LineFmt::VbvDelay: AppendFormat(out, "VBV delay = %d (0x%4X)", {I(lo), lo}); return;

    // ---- audio
    case LineFmt::MpegLevel: AppendFormat(out, "MPEG%d, Level %d", {I(lo), I(hi)}); return;
    case LineFmt::ProtectionNoCrc: out.append("protection bit = 1 (no CRC)"); return;
    case LineFmt::ProtectionCrc: out.append("protection bit = 0 (has CRC)"); return;
    case LineFmt::BitrateIdx: AppendFormat(out, "Bitrate idx = %d (%d000 bps)", {I(lo), I(hi)}); return;
    case LineFmt::SamplingFreq:
        AppendFormat(out, "Sampling Freq. idx = %d (%.1f kHz)", {I(lo), CAudioHeader::SamplingFrequencyFor(hi, lo)});
        return;
    case LineFmt::AudioPadding: AppendFormat(out, "padding = %d ", {I(lo)}); return;
    case LineFmt::FrameSize:
        AppendFormat(out, "Frame Size = %d bytes (%.2f ms)", {I(lo),
               CAudioHeader::DurationFor(static_cast<uint8_t>(hi), static_cast<uint8_t>(hi >> 8))});
        return;

    case LineFmt::Count_: break;
    }
}
