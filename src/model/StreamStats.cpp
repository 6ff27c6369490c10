#include "model/StreamStats.h"

#include "syntax/dvd/AudioSubstreams.h"
#include "syntax/Mpeg.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace model
{

namespace
{
constexpr int64_t kClock27 = mpeg::kClock27;
constexpr size_t kMaxGopPattern = 64;   // longer GOPs are cut for the pattern
constexpr size_t kMaxGopPatterns = 256; // distinct patterns kept

double Seconds(int64_t t27) { return static_cast<double>(t27) / kClock27; }

const char kPictureLetters[] = "?IPBD???";

bool HasGops(const StreamSummary& s) { return s.kind == Kind::Video && s.gops > 0; }
}  // namespace

// ---------------------------------------------------------------------------- summary texts

const char* AspectText(const SequenceEvent& s)
{
    if (s.mpeg2)
    {
        static const char* const kDisplay[5] = {"", "1:1", "4:3", "16:9", "2.21:1"};
        return s.aspectRatioCode >= 1 && s.aspectRatioCode <= 4 ? kDisplay[s.aspectRatioCode] : "";
    }
    // MPEG-1 codes give the pixel aspect ratio.
    static const char* const kPixel[15] = {"",       "1.0000", "0.6735", "0.7031", "0.7615",
                                           "0.8055", "0.8437", "0.8935", "0.9157", "0.9815",
                                           "1.0255", "1.0695", "1.0950", "1.1575", "1.2015"};
    return s.aspectRatioCode >= 1 && s.aspectRatioCode <= 14 ? kPixel[s.aspectRatioCode] : "";
}

const char* ChromaText(uint8_t chroma)
{
    static const char* const kChroma[4] = {"", "4:2:0", "4:2:2", "4:4:4"};
    return kChroma[chroma & 3];
}

std::string ProfileLevelText(uint8_t pl)
{
    static const char* const kProfiles[8] = {"", "HP", "SS", "SNR", "MP", "SP", "", ""};
    static const char* const kLevels[16] = {"", "", "", "", "HL", "", "H14", "", "ML", "", "LL", "", "", "", "", ""};
    const char* profile = kProfiles[(pl >> 4) & 7];
    const char* level = kLevels[pl & 15];
    if ((pl & 0x80) || !*profile || !*level)
        return Format("0x%02X", pl);
    return std::string(profile) + "@" + level;
}

bool IsVariableBitRate(const SequenceEvent& s)
{
    // The all-ones value of MPEG-1 marks a variable rate.
    return !s.mpeg2 && s.bitRateValue == 0x3FFFF;
}

double StreamSummary::DurationSeconds() const
{
    if (kind == Kind::Video || kind == Kind::MpegAudio || kind == Kind::Ac3 || kind == Kind::Dts || kind == Kind::Lpcm)
        return hasTime ? Seconds(durationSum27) : 0.0;
    return hasTime ? Seconds(endPts27 - firstPts27) : 0.0;
}

uint64_t StreamSummary::AverageBitsPerSecond() const
{
    // A stream without time stamps has no rate; one whose units all fall on one instant
    // (a single subpicture without an end) has its bytes in that one second.
    if (!hasTime)
        return 0;
    const double d = DurationSeconds();
    return static_cast<uint64_t>(static_cast<double>(unitBytes) * 8 / (d > 0 ? d : 1.0) + 0.5);
}

uint64_t StreamSummary::PeakBitsPerSecond() const
{
    // The seconds are counted from the stream's first unit, so a stream that is not a
    // whole number of seconds long has its last second only in part, and one shorter
    // than a second never fills one: the busiest one-second stretch carries at least
    // the average, whatever the whole seconds say.
    return hasTime ? std::max(peakBitsPerSecond, AverageBitsPerSecond()) : 0;
}

std::string Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string StreamKeyText(StreamKey stream)
{
    if (SubIdOf(stream) != 0 || StreamIdOf(stream) == 0xBD)
        return Format("0x%02X:0x%02X", StreamIdOf(stream), SubIdOf(stream));
    return Format("0x%02X", StreamIdOf(stream));
}

std::string StreamSummary::StreamText() const
{
    return StreamKeyText(stream);
}

const char* StreamSummary::KindText() const
{
    switch (kind)
    {
    case Kind::Video:
        return "video";
    case Kind::MpegAudio:
    case Kind::Ac3:
    case Kind::Dts:
    case Kind::Lpcm:
        return "audio";
    case Kind::Subpicture:
        return "subpicture";
    case Kind::Navigation:
        return "navigation";
    case Kind::Padding:
        return "padding";
    default:
        return "other";
    }
}

std::string StreamSummary::CodecText() const
{
    static const char* const kLayers[4] = {"", "I", "II", "III"};
    switch (kind)
    {
    case Kind::Video:
        return hasSequence && sequence.mpeg2 ? "MPEG-2 video" : "MPEG-1 video";
    case Kind::MpegAudio:
        // Sampling rates below 32 kHz are the lower sampling frequencies of MPEG-2.
        return Format("MPEG-%d audio layer %s", first.sampleRate && first.sampleRate < 32000 ? 2 : 1,
                      kLayers[first.layer & 3]);
    case Kind::Ac3:
        return "AC-3";
    case Kind::Dts:
        return "DTS";
    case Kind::Lpcm:
        return "LPCM";
    case Kind::Subpicture:
        return "DVD subpicture";
    case Kind::Navigation:
        return "DVD navigation";
    default:
        return "unknown";
    }
}

std::string StreamSummary::CommonGop() const
{
    const std::pair<const std::string, std::pair<uint64_t, uint64_t>>* best = nullptr;
    for (const auto& p : gopPatterns)
        if (!best || p.second.first > best->second.first
            || (p.second.first == best->second.first && p.second.second < best->second.second))
            best = &p;
    return best ? best->first : std::string();
}

// ---------------------------------------------------------------------------- collecting

CStreamStats::Entry& CStreamStats::EntryFor(StreamKey key, Kind kind)
{
    const auto it = m_index.find(key);
    if (it != m_index.end())
        return m_entries[it->second];
    m_index.emplace(key, m_entries.size());
    m_entries.emplace_back();
    Entry& e = m_entries.back();
    e.summary.stream = key;
    e.summary.kind = kind;
    return e;
}

void CStreamStats::OnPes(const PesEvent& pes)
{
    Entry& e = EntryFor(pes.stream, pes.kind);
    ++e.summary.packets;
    e.summary.payloadBytes += pes.payloadSize;
}

void CStreamStats::OnSequence(const SequenceEvent& seq)
{
    Entry& e = EntryFor(seq.stream, Kind::Video);
    if (!e.summary.hasSequence)
    {
        e.summary.hasSequence = true;
        e.summary.sequence = seq;
    }
}

void CStreamStats::CloseSecond(Entry& e)
{
    if (e.secondOpen)
        e.summary.peakBitsPerSecond = std::max(e.summary.peakBitsPerSecond, e.secondBytes * 8);
    e.secondOpen = false;
}

void CStreamStats::AddToSecond(Entry& e, int64_t time27, uint64_t bytes)
{
    if (!e.secondsStarted)
    {
        e.secondsStarted = true;
        e.firstDts27 = time27;
    }
    const int64_t second = (time27 - e.firstDts27) / kClock27;
    if (!e.secondOpen || second != e.second)
    {
        CloseSecond(e);
        e.secondOpen = true;
        e.second = second;
        e.secondBytes = 0;
    }
    e.secondBytes += bytes;
}

void CStreamStats::CloseGop(Entry& e)
{
    if (!e.gopOpen)
        return;
    e.gopOpen = false;
    StreamSummary& s = e.summary;
    const uint32_t frames = static_cast<uint32_t>(e.gop.size());
    s.gopMin = s.gops == 0 ? frames : std::min(s.gopMin, frames);
    s.gopMax = std::max(s.gopMax, frames);
    ++s.gops;
    e.gop.resize(std::min(e.gop.size(), kMaxGopPattern));
    const auto it = s.gopPatterns.find(e.gop);
    if (it != s.gopPatterns.end())
        ++it->second.first;
    else if (s.gopPatterns.size() < kMaxGopPatterns)
        s.gopPatterns.emplace(e.gop, std::make_pair(uint64_t{1}, s.gops));
}

void CStreamStats::OnAccessUnit(const AccessUnit& u)
{
    Entry& e = EntryFor(u.stream, u.kind);
    StreamSummary& s = e.summary;
    if (s.units == 0)
        s.first = u;
    ++s.units;
    s.unitBytes += u.size;
    s.durationSum27 += u.duration27;

    if (u.timed)
    {
        const int64_t end = u.pts27 + u.duration27;
        if (!s.hasTime)
        {
            s.hasTime = true;
            s.firstPts27 = s.lastPts27 = u.pts27;
            s.endPts27 = end;
        }
        s.firstPts27 = std::min(s.firstPts27, u.pts27);
        s.lastPts27 = std::max(s.lastPts27, u.pts27);
        s.endPts27 = std::max(s.endPts27, end);
    }

    // Bit rate per second of decoding time: the bytes of the units decoded in each
    // second, counted from the stream's first unit.
    AddToSecond(e, u.dts27, u.size);

    if (u.kind == Kind::Video)
    {
        if (u.gopStart || !e.gopOpen)
        {
            CloseGop(e);
            e.gopOpen = true;
            e.gop.clear();
            e.fieldPending = false;
            if (u.closedGop)
                ++s.closedGops;
        }
        // Two field pictures make one frame of the pattern.
        if (u.pictureStructure == 3 || !e.fieldPending)
            e.gop.push_back(kPictureLetters[u.pictureType & 7]);
        e.fieldPending = u.pictureStructure != 3 && !e.fieldPending;
    }
}

void CStreamStats::OnNavPack(const NavPack& nav)
{
    Entry& e = EntryFor(MakeStreamKey(0xBF), Kind::Navigation);
    ++e.summary.units;
    // A navigation pack is a unit of the packets that carried it (PCI and DSI), whose
    // bytes came in since the last one.
    const uint64_t bytes = e.summary.payloadBytes - e.navBytesCounted;
    e.navBytesCounted = e.summary.payloadBytes;
    e.summary.unitBytes += bytes;
    const int64_t start = int64_t{nav.vobuSPtm} * 300;
    if (nav.hasPci && (nav.vobuSPtm || nav.vobuEPtm))
    {
        AddToSecond(e, start, bytes);
        StreamSummary& s = e.summary;
        if (!s.hasTime)
        {
            s.hasTime = true;
            s.firstPts27 = s.lastPts27 = start;
            s.endPts27 = int64_t{nav.vobuEPtm} * 300;
        }
        s.firstPts27 = std::min(s.firstPts27, start);
        s.lastPts27 = std::max(s.lastPts27, start);
        s.endPts27 = std::max(s.endPts27, int64_t{nav.vobuEPtm} * 300);
    }
}

void CStreamStats::OnTimeBase(const TimeBaseEvent& timeBase)
{
    // A new clock starts its times again near 0: its seconds are its own, and never add
    // to the last clock's (two VOBs' first seconds would make one of twice the rate).
    // Across an SCR that runs back the streams' times go on.
    if (timeBase.reason == TimeBaseEvent::Reason::ScrBackwards)
        return;
    for (Entry& e : m_entries)
    {
        CloseSecond(e);
        e.secondsStarted = false;
    }
}

void CStreamStats::OnEnd(const StreamEnd& end)
{
    m_end = end;
    for (Entry& e : m_entries)
    {
        CloseGop(e);
        CloseSecond(e);
    }
}

std::vector<StreamSummary> CStreamStats::Streams() const
{
    std::vector<StreamSummary> out;
    for (const Entry& e : m_entries)
        if (e.summary.kind != Kind::Padding)
            out.push_back(e.summary);
    return out;
}

// ---------------------------------------------------------------------------- output

void AppendJsonString(std::string& out, std::string_view s)
{
    out += '"';
    for (const char c : s)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += c;
        }
        else if (u < 0x20)
            out += Format("\\u%04x", u);
        else
            out += c;
    }
    out += '"';
}

void AppendStreamJson(std::string& out, const StreamSummary& s)
{
    out += "{\"stream\": ";
    AppendJsonString(out, s.StreamText());
    out += ", \"kind\": ";
    AppendJsonString(out, s.KindText());
    out += ", \"codec\": ";
    AppendJsonString(out, s.CodecText());
    out += Format(", \"units\": %" PRIu64, s.units);
    if (s.hasTime)
        out += Format(", \"first_pts\": %.6f, \"last_pts\": %.6f, \"duration\": %.6f", Seconds(s.firstPts27),
                      Seconds(s.lastPts27), s.DurationSeconds());
    else
        out += ", \"first_pts\": null, \"last_pts\": null, \"duration\": null";
    out += Format(", \"bitrate_avg\": %" PRIu64 ", \"bitrate_peak\": %" PRIu64, s.AverageBitsPerSecond(),
                  s.PeakBitsPerSecond());
    out += Format(", \"packets\": %" PRIu64 ", \"bytes\": %" PRIu64, s.packets, s.unitBytes);
    if (s.kind == Kind::Video && s.hasSequence)
    {
        const SequenceEvent& q = s.sequence;
        out += Format(", \"width\": %u, \"height\": %u, \"aspect\": ", q.width, q.height);
        AppendJsonString(out, AspectText(q));
        out += Format(", \"frame_rate\": %.3f", q.frameRateNum ? static_cast<double>(q.frameRateNum) / q.frameRateDen : 0.0);
        out += IsVariableBitRate(q) ? std::string(", \"bit_rate\": null")
                                    : Format(", \"bit_rate\": %" PRIu64, uint64_t{q.bitRateValue} * 400);
        out += Format(", \"vbv_buffer_size\": %u", q.vbvBufferSize);
        if (q.mpeg2)
        {
            out += ", \"profile_level\": ";
            AppendJsonString(out, ProfileLevelText(q.profileAndLevel));
            out += ", \"chroma_format\": ";
            AppendJsonString(out, ChromaText(q.chromaFormat));
            out += q.progressiveSequence ? ", \"progressive\": true" : ", \"progressive\": false";
        }
    }
    if (HasGops(s))
    {
        out += ", \"gop\": {\"pattern\": ";
        AppendJsonString(out, s.CommonGop());
        out += Format(", \"gops\": %" PRIu64 ", \"closed\": %" PRIu64 ", \"frames_min\": %u, \"frames_max\": %u}",
                      s.gops, s.closedGops, s.gopMin, s.gopMax);
    }
    const AccessUnit& a = s.first;
    if (s.units && (s.kind == Kind::MpegAudio || s.kind == Kind::Ac3 || s.kind == Kind::Dts || s.kind == Kind::Lpcm))
    {
        out += Format(", \"sample_rate\": %u, \"channels\": %u, \"coded_bitrate\": %u", a.sampleRate, a.channels,
                      a.bitRate);
        if (s.kind == Kind::Ac3)
        {
            out += ", \"channel_mode\": ";
            AppendJsonString(out, CAc3Header::ChannelModeText(a.channelMode));
            out += a.lfe ? ", \"lfe\": true" : ", \"lfe\": false";
        }
        if (s.kind == Kind::Lpcm)
            out += Format(", \"bits\": %u", a.bitsPerSample);
    }
    out += '}';
}

std::string StreamLine(const StreamSummary& s)
{
    std::string line = Format("%-10s %-10s %-24s units %-7" PRIu64, s.StreamText().c_str(), s.KindText(),
                              s.CodecText().c_str(), s.units);
    if (s.hasTime)
        line += Format("  pts %.6f - %.6f  duration %.3f s", Seconds(s.firstPts27), Seconds(s.lastPts27),
                       s.DurationSeconds());
    else
        line += "  no time stamps";
    line += Format("  avg %.1f kbit/s  peak %.1f kbit/s", s.AverageBitsPerSecond() / 1000.0,
                   s.PeakBitsPerSecond() / 1000.0);
    const AccessUnit& a = s.first;
    switch (s.units ? s.kind : Kind::Unknown)
    {
    case Kind::Video:
        if (s.hasSequence)
        {
            const SequenceEvent& q = s.sequence;
            line += Format("  %ux%u %s%s %.3f fps", q.width, q.height, q.mpeg2 ? "" : "PAR ", AspectText(q),
                           q.frameRateNum ? static_cast<double>(q.frameRateNum) / q.frameRateDen : 0.0);
            line += IsVariableBitRate(q) ? std::string(" variable rate") : Format(" %.0f kbit/s", q.bitRateValue * 0.4);
            line += Format(" VBV %u", q.vbvBufferSize);
            if (q.mpeg2)
                line += Format(" %s %s%s", ProfileLevelText(q.profileAndLevel).c_str(), ChromaText(q.chromaFormat),
                               q.progressiveSequence ? " progressive" : " interlaced");
        }
        if (HasGops(s))
            line += Format("  GOP %s %s %u-%u frames (%" PRIu64 " GOPs, %" PRIu64 " closed)",
                           s.CommonGop().c_str(), s.closedGops == s.gops ? "closed" : s.closedGops == 0 ? "open" : "mixed",
                           s.gopMin, s.gopMax, s.gops, s.closedGops);
        break;
    case Kind::MpegAudio:
        line += Format("  %u Hz %s %u kbit/s", a.sampleRate, a.channels == 1 ? "mono" : "stereo", a.bitRate / 1000);
        break;
    case Kind::Ac3:
        line += Format("  %u Hz %s%s %u kbit/s", a.sampleRate, CAc3Header::ChannelModeText(a.channelMode),
                       a.lfe ? "+LFE" : "", a.bitRate / 1000);
        break;
    case Kind::Dts:
        line += Format("  %u Hz %u channels %u kbit/s", a.sampleRate, a.channels, a.bitRate / 1000);
        break;
    case Kind::Lpcm:
        line += Format("  %u Hz %u channels %u bits", a.sampleRate, a.channels, a.bitsPerSample);
        break;
    default:
        break;
    }
    return line;
}

}  // namespace model
