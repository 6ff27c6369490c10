#include "analysis/LineFormat.h"

#include "analysis/TextFormat.h"
#include "syntax/Mpeg.h"
#include "syntax/TimeStamp.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/dvd/AudioSubstreams.h"

#include <charconv>


namespace
{

int I(uint32_t v) { return static_cast<int>(v); }

// The milliseconds of a 33-bit time stamp.
double Ms(uint64_t arg) { return TicksToMs(arg & kTimeStampMask); }

// "<label> = %.2f ms (<ticks>)": the time stamp and its raw value, unsigned.
template <FormatLiteral Label>
void AppendTimeStamp(std::string& out, uint64_t arg)
{
    AppendOne<Label>(out, Ms(arg));
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, arg & kTimeStampMask).ptr;
    out.append(digits, static_cast<size_t>(end - digits));
    out.push_back(')');
}

// "(Audio Stream %d)" for ids 0xC0..0xDF, "(Video Stream %d)" for 0xE0..0xEF, else nothing.
void AppendStreamLabel(uint32_t streamId, std::string& out)
{
    if (mpeg::IsAudioStream(static_cast<uint8_t>(streamId)))
        AppendFormat(out, "(Audio Stream %d)", {static_cast<int>(streamId & 0x1F)});
    else if (mpeg::IsVideoStream(static_cast<uint8_t>(streamId)))
        AppendFormat(out, "(Video Stream %d)", {static_cast<int>(streamId & 0x0F)});
}

// "(AC-3 Stream 0x80)" and the like: a private stream 1 substream by its id's range.
void AppendSubstreamLabel(uint32_t subId, std::string& out)
{
    const auto id = static_cast<uint8_t>(subId);
    const char* kind = Substream::IsAc3(id) ? "(AC-3 Stream 0x"
        : Substream::IsDts(id)               ? "(DTS Stream 0x"
        : Substream::IsLpcm(id)              ? "(LPCM Stream 0x"
        : Substream::IsSubpicture(id)        ? "(Subpicture Stream 0x"
                                             : "(Substream 0x";
    out.append(kind);
    AppendFormat(out, "%2X)", {static_cast<unsigned>(id)});
}

// "<label> = %.2f ms (<ticks>)" of a 32-bit 90 kHz value (the navigation packets' times).
template <FormatLiteral Label>
void AppendTime32(std::string& out, uint32_t ticks)
{
    AppendOne<Label>(out, TicksToMs(ticks));
    AppendFormat(out, "%u)", {ticks});
}

void AppendCodingTypeText(uint32_t codingType, std::string& out)
{
    switch (codingType)
    {
    case 0: out.append("Forbidden (= 0)"); return;
    case 1: out.append("I-Frame"); return;
    case 2: out.append("P-Frame"); return;
    case 3: out.append("B-Frame"); return;
    case 4: out.append("D-Frame"); return;
    default: AppendOne<"Reserved (= %d)">(out, I(codingType)); return;
    }
}

void AppendAspectRatioText(uint32_t code, std::string& out)
{
    switch (code)
    {
    case 0: out.append("Forbidden (= 0)"); return;
    case 1: out.append("1:1 (square pixels)"); return;
    case 2: out.append("4:3"); return;
    case 3: out.append("16:9"); return;
    case 4: out.append("2,21:1"); return;
    default: AppendOne<"Reserved (= %d)">(out, I(code)); return;
    }
}

// The texts of the analysis run's own lines.
void AppendRunText(LineFmt fmt, uint64_t arg, const CResultTree& tree, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    const uint32_t hi = ArgHi(arg);
    switch (fmt)
    {
    case LineFmt::Text: out.append(tree.String(lo)); return;
    case LineFmt::RootPackets: AppendFormat(out, "%s [%d packets]", {tree.String(lo), I(hi)}); return;
    case LineFmt::RootAll: AppendFormat(out, "%s [all packets]", {tree.String(lo)}); return;
    case LineFmt::Essentials: out.append("Essentials"); return;
    case LineFmt::ElementaryStreams: out.append("Elementary streams"); return;
    case LineFmt::VideoSequence: out.append("Video sequence"); return;
    case LineFmt::PacketStructure: out.append("Packet structure"); return;
    case LineFmt::VideoInformation: out.append("Video Information"); return;
    case LineFmt::PackNumber: AppendOne<"PACK #%d">(out, I(lo)); return;
    case LineFmt::Header: out.append("HEADER"); return;
    case LineFmt::Data: out.append("DATA"); return;
    case LineFmt::ExtensionData: out.append("extension data (not parsed)"); return;
    case LineFmt::Padding: out.append("Padding"); return;
    case LineFmt::AudioStream: AppendOne<"(Audio Stream %d)">(out, I(lo)); return;
    case LineFmt::VideoStream: AppendOne<"(Video Stream %d)">(out, I(lo)); return;
    case LineFmt::PackPts: AppendOne<"pack PTS = %.2f ms">(out, Ms(arg)); return;
    case LineFmt::Pack: out.append("pack"); return;
    case LineFmt::AudioHeaderFirst: AppendFormat(out, "audio header @ %d offs. (expecting @ %d)", {I(lo), I(hi)}); return;
    case LineFmt::AudioHeaderNext: AppendOne<"audio header @ %d offs.">(out, I(lo)); return;
    case LineFmt::AudioHeaderFirstErr:
        AppendFormat(out, "audio header @ %d offs. (expecting @ %d) ERR: ! %d", {I(lo), I(hi), I(hi)});
        return;
    case LineFmt::AudioHeaderNextErr: AppendFormat(out, "audio header @ %d offs. ERR: ! %d", {I(lo), I(hi)}); return;
    case LineFmt::SubstreamItem: AppendSubstreamLabel(lo, out); return;
    default: return;
    }
}

// The texts of the pack header lines.
void AppendPackText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    switch (fmt)
    {
    case LineFmt::Scr: AppendOne<"SCR = %.2f ms">(out, Ms(arg)); return;
    case LineFmt::MuxrateBps: AppendOne<"muxrate = %d bps">(out, I(lo)); return;
    case LineFmt::Details: out.append("Details"); return;
    case LineFmt::Marker01: AppendFormat(out, "Marker (01) = %1d%1d", {I((lo >> 1) & 1), I(lo & 1)}); return;
    case LineFmt::ScrBits32to30: AppendOne<"SCR[32..30] = 0x%x">(out, lo); return;
    case LineFmt::Marker1: AppendOne<"Marker (1) = %d">(out, I(lo)); return;
    case LineFmt::ScrBits29to15: AppendOne<"SCR[29..15] = 0x%x">(out, lo); return;
    case LineFmt::ScrBits14to0: AppendOne<"SCR[14..0] = 0x%x">(out, lo); return;
    case LineFmt::ScrExtension: AppendOne<"SCR extension = 0x%x">(out, lo); return;
    case LineFmt::MuxrateRaw: AppendOne<"muxrate = 0x%x">(out, lo); return;
    case LineFmt::ReservedHex: AppendOne<"reserved = 0x%x">(out, lo); return;
    case LineFmt::PackStuffing: AppendOne<"pack stuffing = %d">(out, I(lo)); return;
    case LineFmt::Marker0010:
        AppendFormat(out, "Marker (0010) = %1d%1d%1d%1d", {I((lo >> 3) & 1), I((lo >> 2) & 1), I((lo >> 1) & 1), I(lo & 1)});
        return;
    default: return;
    }
}

// The texts of the system header lines.
void AppendSystemText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    switch (fmt)
    {
    case LineFmt::SystemHeader: out.append("System Header"); return;
    case LineFmt::HeaderLength: AppendOne<"Header Length = %d">(out, I(lo)); return;
    case LineFmt::RateBound: AppendFormat(out, "Rate Bound = 0x%x (%d bps)", {lo, I(lo * 400u)}); return;
    case LineFmt::AudioBound: AppendOne<"Audio Bound = %d stream(s)">(out, I(lo)); return;
    case LineFmt::FixedFlagFbr: AppendOne<"fixed flag = %d (FBR)">(out, I(lo)); return;
    case LineFmt::FixedFlagVbr: AppendOne<"fixed flag = %d (VBR)">(out, I(lo)); return;
    case LineFmt::CspsConstrained: AppendOne<"CSPS flag = %d (constrained parms)">(out, I(lo)); return;
    case LineFmt::CspsUnconstrained: AppendOne<"CSPS flag = %d (unconstrained)">(out, I(lo)); return;
    case LineFmt::SystemAudioLock: AppendOne<"system audio lock = %d">(out, I(lo)); return;
    case LineFmt::SystemVideoLock: AppendOne<"system video lock = %d">(out, I(lo)); return;
    case LineFmt::VideoBound: AppendOne<"Video Bound = %d stream(s)">(out, I(lo)); return;
    case LineFmt::StreamIdEntry:
        AppendFormat(out, "Stream ID 0x%2X ", {lo});
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PstdBoundScale: AppendOne<"   P-STD bound scale: %d ">(out, I(lo)); return;
    case LineFmt::PstdBoundSize: AppendOne<"   P-STD bound size: %d ">(out, I(lo)); return;
    case LineFmt::PstdBound: AppendFormat(out, "   [P-STD bound: %d (%d kB)]", {I(lo), I(lo) / 1024}); return;
    default: return;
    }
}

// The texts of the PES header lines.
void AppendPesText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    switch (fmt)
    {
    case LineFmt::PesStreamPts:
    {
        const auto id = static_cast<uint32_t>(arg >> 40);
        AppendFormat(out, "Stream 0x%2X ", {id});
        AppendStreamLabel(id, out);
        AppendOne<", PTS: %.2f ms">(out, Ms(arg));
        return;
    }
    case LineFmt::PesStream:
        AppendFormat(out, "Stream 0x%2X ", {lo});
        AppendStreamLabel(lo, out);
        return;
    case LineFmt::PesHeader: out.append("PES HEADER"); return;
    case LineFmt::PacketLength: AppendOne<"Packet length = %d">(out, I(lo)); return;
    case LineFmt::PesMarker: AppendFormat(out, "marker = %2.2d", {I(lo)}); return;
    case LineFmt::ScramblingControl: AppendOne<"scrambling control = 0x%x">(out, lo); return;
    case LineFmt::Prio: AppendOne<"prio = %d">(out, I(lo)); return;
    case LineFmt::DataAlignment: AppendOne<"data alignment = %d">(out, I(lo)); return;
    case LineFmt::Copyright: AppendOne<"copyright = %d">(out, I(lo)); return;
    case LineFmt::OriginalCopy: AppendOne<"original/copy = %d">(out, I(lo)); return;
    case LineFmt::PtsDtsFlags: AppendOne<"PTS/DTS flags = %d">(out, I(lo)); return;
    case LineFmt::Escr: AppendOne<"ESCR = %d">(out, I(lo)); return;
    case LineFmt::EsRate: AppendOne<"ESRATE = %d">(out, I(lo)); return;
    case LineFmt::DsmTrickMode: AppendOne<"DSM trickmode = %d">(out, I(lo)); return;
    case LineFmt::AddCopyInfo: AppendOne<"add. copy info = %d">(out, I(lo)); return;
    case LineFmt::CrcFlag: AppendOne<"CRC flag = %d">(out, I(lo)); return;
    case LineFmt::PesExtension: AppendOne<"PES extension = %d">(out, I(lo)); return;
    case LineFmt::PesPrivateData: AppendOne<"PES private data = %d">(out, I(lo)); return;
    case LineFmt::PackHeaderField: AppendOne<"pack header field = %d">(out, I(lo)); return;
    case LineFmt::SequenceCounter: AppendOne<"sequence counter = %d">(out, I(lo)); return;
    case LineFmt::PstdBufferFlag: AppendOne<"P-STD buffer flag = %d">(out, I(lo)); return;
    case LineFmt::PstdBuffer: AppendFormat(out, "P-STD buffer: %d (%d kB)", {I(lo), I(lo) / 1024}); return;
    case LineFmt::ReservedDec: AppendOne<"reserved = %d">(out, I(lo)); return;
    case LineFmt::PesExtensionField: AppendOne<"PES extension field = %d">(out, I(lo)); return;
    case LineFmt::HeaderDataLength: AppendOne<"header data length = %d">(out, I(lo)); return;
    case LineFmt::Pts: AppendTimeStamp<"PTS = %.2f ms (">(out, arg); return;
    case LineFmt::Dts: AppendTimeStamp<"DTS = %.2f ms (">(out, arg); return;
    case LineFmt::PesSubstreamPts:
        out.append("Stream 0xBD ");
        AppendSubstreamLabel(static_cast<uint32_t>(arg >> 40), out);
        AppendOne<", PTS: %.2f ms">(out, Ms(arg));
        return;
    case LineFmt::PesSubstream:
        out.append("Stream 0xBD ");
        AppendSubstreamLabel(lo, out);
        return;
    case LineFmt::StuffingBytes: AppendOne<"stuffing bytes = %d">(out, I(lo)); return;
    case LineFmt::StdBuffer: AppendFormat(out, "STD buffer: %d (%d kB)", {I(lo), I(lo) / 1024}); return;
    default: return;
    }
}

// The texts of the video sequence, group of pictures, picture lines.
void AppendVideoText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    const uint32_t hi = ArgHi(arg);
    switch (fmt)
    {
    case LineFmt::SequenceHeader: out.append("sequence header"); return;
    case LineFmt::HorizontalSize: AppendOne<"horizontal size = %d">(out, I(lo)); return;
    case LineFmt::VerticalSize: AppendOne<"vertical size = %d">(out, I(lo)); return;
    case LineFmt::AspectRatio:
        out.append("aspect ratio = ");
        AppendAspectRatioText(lo, out);
        return;
    case LineFmt::Bitrate: AppendOne<"bitrate = %d">(out, I(lo)); return;
    case LineFmt::VbvBufferSize: AppendFormat(out, "VBV buffer size = %d (== %d KB)", {I(lo), I(lo * 2u)}); return;
    case LineFmt::GroupOfPictures: out.append("group of pictures"); return;
    case LineFmt::DropFlag: AppendOne<"drop flag = %d">(out, I(lo)); return;
    case LineFmt::Timecode:
        AppendFormat(out, "timecode :  %2.2d:%2.2d:%2.2d.%2.2d", {I(lo & 0xFF), I((lo >> 8) & 0xFF),
               I((lo >> 16) & 0xFF), I(lo >> 24)});
        return;
    case LineFmt::ClosedGop: AppendOne<"closed gop = %d">(out, I(lo)); return;
    case LineFmt::BrokenLink: AppendOne<"broken link = %d">(out, I(lo)); return;
    case LineFmt::Picture:
        AppendOne<"picture (tref = %d, ">(out, I(lo));
        AppendCodingTypeText(hi, out);
        out.push_back(')');
        return;
    case LineFmt::VbvDelay: AppendFormat(out, "VBV delay = %d (0x%4X)", {I(lo), lo}); return;
    default: return;
    }
}

// The texts of the audio frame header lines.
void AppendAudioText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    const uint32_t hi = ArgHi(arg);
    switch (fmt)
    {
    case LineFmt::MpegLevel: AppendFormat(out, "MPEG%d, Level %d", {I(lo), I(hi)}); return;
    case LineFmt::ProtectionNoCrc: out.append("protection bit = 1 (no CRC)"); return;
    case LineFmt::ProtectionCrc: out.append("protection bit = 0 (has CRC)"); return;
    case LineFmt::BitrateIdx: AppendFormat(out, "Bitrate idx = %d (%d000 bps)", {I(lo), I(hi)}); return;
    case LineFmt::SamplingFreq:
        AppendFormat(out, "Sampling Freq. idx = %d (%.1f kHz)", {I(lo), CAudioHeader::SamplingFrequencyFor(hi, lo)});
        return;
    case LineFmt::AudioPadding: AppendOne<"padding = %d ">(out, I(lo)); return;
    case LineFmt::FrameSize:
        AppendFormat(out, "Frame Size = %d bytes (%.2f ms)", {I(lo),
               CAudioHeader::DurationFor(static_cast<uint8_t>(hi), static_cast<uint8_t>(hi >> 8))});
        return;
    default: return;
    }
}

// The texts of the private stream 1 substream headers and of AC-3 and DTS frames.
void AppendSubstreamText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    const uint32_t hi = ArgHi(arg);
    switch (fmt)
    {
    case LineFmt::SubstreamHeader: out.append("SUBSTREAM HEADER"); return;
    case LineFmt::SubstreamId: AppendFormat(out, "substream id = 0x%2X", {lo}); return;
    case LineFmt::FrameCount: AppendOne<"frame count = %d">(out, I(lo)); return;
    case LineFmt::FirstAccessUnit: AppendOne<"first access unit = %d">(out, I(lo)); return;
    case LineFmt::LpcmEmphasis: AppendOne<"emphasis = %d">(out, I(lo)); return;
    case LineFmt::LpcmMute: AppendOne<"mute = %d">(out, I(lo)); return;
    case LineFmt::LpcmFrameNumber: AppendOne<"frame number = %d">(out, I(lo)); return;
    case LineFmt::LpcmQuantization: AppendFormat(out, "quantization = %d (%d bits)", {I(lo), I(hi)}); return;
    case LineFmt::Channels: AppendOne<"channels = %d">(out, I(lo)); return;
    case LineFmt::DynamicRange: AppendOne<"dynamic range = 0x%x">(out, lo); return;
    case LineFmt::SampleRateCode:
        AppendFormat(out, "Sampling Freq. code = %d (%.1f kHz)", {I(lo), static_cast<double>(hi) / 1000.0});
        return;
    case LineFmt::Ac3Info: AppendFormat(out, "AC-3, bsid = %d, bsmod = %d", {I(lo), I(hi)}); return;
    case LineFmt::DtsInfo: AppendFormat(out, "DTS, frame type = %d, %d samples", {I(lo), I(hi)}); return;
    case LineFmt::BitrateCode: AppendFormat(out, "Bitrate code = %d (%d bps)", {I(lo), I(hi)}); return;
    case LineFmt::Ac3ChannelMode:
        AppendFormat(out, "channel mode = %d (%s), %d channel", {I(lo), CAc3Header::ChannelModeText(lo), I(hi)});
        if (hi != 1)
            out.push_back('s');
        return;
    case LineFmt::DtsChannelMode:
        AppendFormat(out, "channel mode = %d, %d channel", {I(lo), I(hi)});
        if (hi != 1)
            out.push_back('s');
        return;
    case LineFmt::Lfe: AppendOne<"LFE = %d">(out, I(lo)); return;
    case LineFmt::CodedFrameSize:
    {
        const uint32_t samples = (lo >> 16) & 0xFFFF, hz = hi & 0xFFFF;
        AppendFormat(out, "Frame Size = %d bytes (%.2f ms)",
                     {I(lo & 0xFFFF), hz ? static_cast<double>(samples) * 1000.0 / hz : 0.0});
        return;
    }
    default: return;
    }
}

// The texts of the navigation packets' fields.
void AppendNavText(LineFmt fmt, uint64_t arg, std::string& out)
{
    const uint32_t lo = ArgLo(arg);
    switch (fmt)
    {
    case LineFmt::Pci: out.append("PCI"); return;
    case LineFmt::Dsi: out.append("DSI"); return;
    case LineFmt::NvPckLbn: AppendFormat(out, "nv_pck_lbn = %u", {lo}); return;
    case LineFmt::VobuSPtm: AppendTime32<"vobu_s_ptm = %.2f ms (">(out, lo); return;
    case LineFmt::VobuEPtm: AppendTime32<"vobu_e_ptm = %.2f ms (">(out, lo); return;
    case LineFmt::VobuSeEPtm: AppendTime32<"vobu_se_e_ptm = %.2f ms (">(out, lo); return;
    case LineFmt::NvPckScr: AppendTime32<"nv_pck_scr = %.2f ms (">(out, lo); return;
    case LineFmt::VobuEa: AppendFormat(out, "vobu_ea = %u", {lo}); return;
    case LineFmt::VobuVobIdn: AppendOne<"vobu_vob_idn = %d">(out, I(lo)); return;
    case LineFmt::VobuCIdn: AppendOne<"vobu_c_idn = %d">(out, I(lo)); return;
    case LineFmt::CEltm:
        AppendFormat(out, "c_eltm = %02x:%02x:%02x.%02x", {lo >> 24, (lo >> 16) & 0xFF, (lo >> 8) & 0xFF, lo & 0x3F});
        return;
    case LineFmt::NextVobu: AppendFormat(out, "next_vobu = 0x%08X (%d)", {lo, I(lo & 0x3FFFFFFF)}); return;
    case LineFmt::PrevVobu: AppendFormat(out, "prev_vobu = 0x%08X (%d)", {lo, I(lo & 0x3FFFFFFF)}); return;
    default: return;
    }
}

}  // namespace

void FormatLine(LineFmt fmt, uint64_t arg, const CResultTree& tree, std::string& out)
{
    // The formats come section by section, in the order of the enumeration.
    if (fmt < LineFmt::Scr)
        AppendRunText(fmt, arg, tree, out);
    else if (fmt < LineFmt::SystemHeader)
        AppendPackText(fmt, arg, out);
    else if (fmt < LineFmt::PesStreamPts)
        AppendSystemText(fmt, arg, out);
    else if (fmt < LineFmt::SequenceHeader)
        AppendPesText(fmt, arg, out);
    else if (fmt < LineFmt::MpegLevel)
        AppendVideoText(fmt, arg, out);
    else if (fmt < LineFmt::SubstreamHeader)
        AppendAudioText(fmt, arg, out);
    else if (fmt < LineFmt::Pci)
        AppendSubstreamText(fmt, arg, out);
    else
        AppendNavText(fmt, arg, out);
}

void AppendLineText(const CResultTree& tree, ItemId item, std::string& out)
{
    if (tree.IsValid(item))
        FormatLine(tree.Format(item), tree.Arg(item), tree, out);
}

std::string LineText(const CResultTree& tree, ItemId item)
{
    std::string s;
    AppendLineText(tree, item, s);
    return s;
}
