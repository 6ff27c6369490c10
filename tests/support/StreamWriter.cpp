#include "support/StreamWriter.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace
{
uint32_t NextRandom(uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

// Body bytes that can hold neither a start code (no 00) nor an audio sync word (no FF).
void AppendBody(Bytes& out, int length, uint32_t& seed)
{
    for (int i = 0; i < length; ++i)
        out.push_back(static_cast<uint8_t>(1 + NextRandom(seed) % 254));
}
}  // namespace

// ---------------------------------------------------------------------------- system layer

void StreamWriter::Put33(uint8_t* out, uint8_t prefix, uint64_t ts)
{
    out[0] = static_cast<uint8_t>((prefix << 4) | (((ts >> 30) & 7) << 1) | 1);
    out[1] = static_cast<uint8_t>((ts >> 22) & 0xFF);
    out[2] = static_cast<uint8_t>((((ts >> 15) & 0x7F) << 1) | 1);
    out[3] = static_cast<uint8_t>((ts >> 7) & 0xFF);
    out[4] = static_cast<uint8_t>(((ts & 0x7F) << 1) | 1);
}

void StreamWriter::PackHeader(uint64_t scr, uint32_t ext, uint32_t mux, int stuffing)
{
    StartCode(0xBA);
    Append({
        static_cast<uint8_t>(0x40 | (((scr >> 30) & 7) << 3) | 0x04 | ((scr >> 28) & 3)),
        static_cast<uint8_t>((scr >> 20) & 0xFF),
        static_cast<uint8_t>((((scr >> 15) & 0x1F) << 3) | 0x04 | ((scr >> 13) & 3)),
        static_cast<uint8_t>((scr >> 5) & 0xFF),
        static_cast<uint8_t>(((scr & 0x1F) << 3) | 0x04 | ((ext >> 7) & 3)),
        static_cast<uint8_t>(((ext & 0x7F) << 1) | 1),
        static_cast<uint8_t>((mux >> 14) & 0xFF),
        static_cast<uint8_t>((mux >> 6) & 0xFF),
        static_cast<uint8_t>(((mux & 0x3F) << 2) | 3),
        static_cast<uint8_t>(0xF8 | (stuffing & 7)),
    });
    for (int i = 0; i < (stuffing & 7); ++i)
        bytes.push_back(0xFF);
}

void StreamWriter::Mpeg1PackHeader(uint64_t scr, uint32_t mux)
{
    StartCode(0xBA);
    Append({
        static_cast<uint8_t>(0x20 | (((scr >> 30) & 7) << 1) | 1),
        static_cast<uint8_t>((scr >> 22) & 0xFF),
        static_cast<uint8_t>((((scr >> 15) & 0x7F) << 1) | 1),
        static_cast<uint8_t>((scr >> 7) & 0xFF),
        static_cast<uint8_t>(((scr & 0x7F) << 1) | 1),
        static_cast<uint8_t>(0x80 | ((mux >> 15) & 0x7F)),
        static_cast<uint8_t>((mux >> 7) & 0xFF),
        static_cast<uint8_t>(((mux & 0x7F) << 1) | 1),
    });
}

void StreamWriter::SystemHeader(const std::vector<SystemStream>& streams, uint32_t rateBound, int audioBound,
                                int videoBound, bool fixed, bool csps, int extraBytes)
{
    Bytes h = {
        static_cast<uint8_t>(0x80 | ((rateBound >> 15) & 0x7F)),
        static_cast<uint8_t>((rateBound >> 7) & 0xFF),
        static_cast<uint8_t>(((rateBound & 0x7F) << 1) | 1),
        static_cast<uint8_t>((audioBound << 2) | (fixed ? 2 : 0) | (csps ? 1 : 0)),
        static_cast<uint8_t>(0xE0 | (videoBound & 0x1F)),  // both locks set, marker
        0x7F,
    };
    for (const SystemStream& s : streams)
    {
        h.push_back(s.id);
        h.push_back(static_cast<uint8_t>(0xC0 | (s.scale << 5) | ((s.size >> 8) & 0x1F)));
        h.push_back(static_cast<uint8_t>(s.size & 0xFF));
    }
    for (int i = 0; i < extraBytes; ++i)
        h.push_back(0xFF);
    RawSystemHeader(h);
}

void StreamWriter::RawSystemHeader(const Bytes& h)
{
    StartCode(0xBB);
    Append({static_cast<uint8_t>(h.size() >> 8), static_cast<uint8_t>(h.size() & 0xFF)});
    Append(h);
}

void StreamWriter::PesPacket(uint8_t streamId, const Bytes& payload, const PesOptions& o)
{
    Bytes d;  // header data
    uint8_t flags = 0;
    if (o.forbiddenPtsDtsFlags)
        flags = 1;
    else if (o.pts && o.dts)
        flags = 3;
    else if (o.pts)
        flags = 2;
    if (flags >= 2)
    {
        uint8_t t[5];
        Put33(t, flags == 3 ? 3 : 2, *o.pts);
        d.insert(d.end(), t, t + 5);
        if (flags == 3)
        {
            Put33(t, 1, *o.dts);
            d.insert(d.end(), t, t + 5);
        }
    }
    if (o.escr)
        d.insert(d.end(), {0x04, 0x00, 0x04, 0x00, 0x04, 0x01});
    if (o.esRate)
        d.insert(d.end(), {0x80, 0x00, 0x01});
    if (o.dsmTrickMode)
        d.push_back(0x00);
    if (o.additionalCopyInfo)
        d.push_back(0x80);
    if (o.crc)
        d.insert(d.end(), {0x12, 0x34});
    if (o.extension)
    {
        d.push_back(static_cast<uint8_t>((o.privateData << 7) | (o.packHeaderField.has_value() << 6)
                                         | (o.sequenceCounter << 5) | (o.pstdBuffer.has_value() << 4) | 0x0E
                                         | (o.extension2 ? 1 : 0)));
        if (o.privateData)
            for (int i = 0; i < 16; ++i)
                d.push_back(static_cast<uint8_t>(0xA0 + i));
        if (o.packHeaderField)
        {
            d.push_back(static_cast<uint8_t>(o.packHeaderField->size()));
            d.insert(d.end(), o.packHeaderField->begin(), o.packHeaderField->end());
        }
        if (o.sequenceCounter)
            d.insert(d.end(), {0x85, 0x40});
        if (o.pstdBuffer)
        {
            d.push_back(static_cast<uint8_t>(0x40 | (o.pstdBuffer->first << 5) | ((o.pstdBuffer->second >> 8) & 0x1F)));
            d.push_back(static_cast<uint8_t>(o.pstdBuffer->second & 0xFF));
        }
        if (o.extension2)
            d.insert(d.end(), {0x81, 0xFF});
    }
    for (int i = 0; i < o.stuffing; ++i)
        d.push_back(0xFF);

    const int headerDataLength = o.headerDataLength.value_or(static_cast<int>(d.size()));
    const int packetLength = o.packetLength.value_or(static_cast<int>(3 + d.size() + payload.size()));
    StartCode(streamId);
    Append({static_cast<uint8_t>((packetLength >> 8) & 0xFF), static_cast<uint8_t>(packetLength & 0xFF),
            static_cast<uint8_t>(0x80 | (o.scrambling << 4) | (o.priority << 3) | (o.dataAlignment << 2)
                                 | (o.copyright << 1) | o.original),
            static_cast<uint8_t>((flags << 6) | (o.escr << 5) | (o.esRate << 4) | (o.dsmTrickMode << 3)
                                 | (o.additionalCopyInfo << 2) | (o.crc << 1) | (o.extension ? 1 : 0)),
            static_cast<uint8_t>(headerDataLength & 0xFF)});
    Append(d);
    Append(payload);
}

void StreamWriter::PaddingPacket(int length)
{
    StartCode(0xBE);
    Append({static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)});
    bytes.insert(bytes.end(), static_cast<size_t>(length), 0xFF);
}

// ---------------------------------------------------------------------------- video

Bytes StreamWriter::SequenceHeader(int w, int h, int aspect, int frameRateCode, uint32_t br, int vbv,
                                   bool constrained)
{
    return {0x00, 0x00, 0x01, 0xB3,
            static_cast<uint8_t>(w >> 4),
            static_cast<uint8_t>(((w & 0xF) << 4) | ((h >> 8) & 0xF)),
            static_cast<uint8_t>(h & 0xFF),
            static_cast<uint8_t>((aspect << 4) | frameRateCode),
            static_cast<uint8_t>((br >> 10) & 0xFF),
            static_cast<uint8_t>((br >> 2) & 0xFF),
            static_cast<uint8_t>(((br & 3) << 6) | 0x20 | ((vbv >> 5) & 0x1F)),
            static_cast<uint8_t>(((vbv & 0x1F) << 3) | (constrained ? 4 : 0))};
}

Bytes StreamWriter::SequenceExtension()
{
    // Main profile at main level, progressive sequence off, 4:2:0.
    return {0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00};
}

Bytes StreamWriter::PictureCodingExtension()
{
    return {0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80};
}

Bytes StreamWriter::GopHeader(int hours, int minutes, int seconds, int pictures, bool closed, bool broken, bool drop)
{
    return {0x00, 0x00, 0x01, 0xB8,
            static_cast<uint8_t>((drop ? 0x80 : 0) | ((hours & 0x1F) << 2) | ((minutes >> 4) & 3)),
            static_cast<uint8_t>(((minutes & 0xF) << 4) | 0x08 | ((seconds >> 3) & 7)),
            static_cast<uint8_t>(((seconds & 7) << 5) | ((pictures >> 1) & 0x1F)),
            static_cast<uint8_t>(((pictures & 1) << 7) | (closed ? 0x40 : 0) | (broken ? 0x20 : 0))};
}

Bytes StreamWriter::PictureHeader(int tref, int type, int vbvDelay)
{
    return {0x00, 0x00, 0x01, 0x00,
            static_cast<uint8_t>((tref >> 2) & 0xFF),
            static_cast<uint8_t>(((tref & 3) << 6) | ((type & 7) << 3) | ((vbvDelay >> 13) & 7)),
            static_cast<uint8_t>((vbvDelay >> 5) & 0xFF),
            static_cast<uint8_t>((vbvDelay & 0x1F) << 3)};
}

Bytes StreamWriter::Slice(int number, int length, uint32_t& seed)
{
    Bytes b = {0x00, 0x00, 0x01, static_cast<uint8_t>(number)};
    AppendBody(b, length, seed);
    return b;
}

// ---------------------------------------------------------------------------- audio

Bytes StreamWriter::Mp2Frame(int bitRateIndex, int samplingIndex, bool padding, uint32_t& seed)
{
    static const int kRates[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static const int kFreq[3] = {44100, 48000, 32000};
    const int length = 144 * kRates[bitRateIndex] * 1000 / kFreq[samplingIndex] + (padding ? 1 : 0);
    return AudioFrame(0xFD, static_cast<uint8_t>((bitRateIndex << 4) | (samplingIndex << 2) | (padding ? 2 : 0)),
                      0x04, length, seed);
}

Bytes StreamWriter::AudioFrame(uint8_t b1, uint8_t b2, uint8_t b3, int length, uint32_t& seed)
{
    Bytes b = {0xFF, b1, b2, b3};
    AppendBody(b, std::max(0, length - 4), seed);
    return b;
}

// ---------------------------------------------------------------------------- muxing

namespace
{

constexpr uint64_t kFrameTicks = 3600;  // 25 frames/s
constexpr uint64_t kAudioFrameTicks = 2160;  // 1152 samples at 48 kHz

// An elementary stream waiting to be packetised, with the time stamps of the access
// units that begin in it.
struct PendingStream
{
    std::deque<uint8_t> data;
    std::deque<std::pair<uint64_t, std::pair<uint64_t, uint64_t>>> units;  // offset, (pts, dts)
    uint64_t consumed = 0;  // bytes already packetised
    uint64_t total = 0;     // bytes ever added

    void Add(const Bytes& b, uint64_t pts, uint64_t dts)
    {
        units.push_back({total, {pts, dts}});
        data.insert(data.end(), b.begin(), b.end());
        total += b.size();
    }
    // Takes n bytes; the time stamps of the first unit that begins among them.
    Bytes Take(size_t n, std::optional<uint64_t>& pts, std::optional<uint64_t>& dts)
    {
        n = std::min(n, data.size());
        while (!units.empty() && units.front().first < consumed)
            units.pop_front();
        if (!units.empty() && units.front().first < consumed + n)
        {
            pts = units.front().second.first;
            if (units.front().second.second != units.front().second.first)
                dts = units.front().second.second;
            units.pop_front();
        }
        Bytes b(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
        data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
        consumed += n;
        return b;
    }
};

class VideoSource
{
public:
    VideoSource(const DvdStreamOptions& o) : m_o(o), m_seed(o.seed * 7919u + 3) {}

    // Appends one GOP in coded order: I B B P B B P ... (open GOPs after the first).
    void NextGop(PendingStream& out)
    {
        Bytes b = StreamWriter::SequenceHeader(720, 576, 2, 3, 24500, 112);
        const Bytes ext = StreamWriter::SequenceExtension();
        b.insert(b.end(), ext.begin(), ext.end());
        const uint64_t frame = m_frames;
        const int seconds = static_cast<int>(frame / 25);
        const Bytes gop = StreamWriter::GopHeader(seconds / 3600, (seconds / 60) % 60, seconds % 60,
                                                  static_cast<int>(frame % 25), m_gops == 0, false);
        b.insert(b.end(), gop.begin(), gop.end());
        bool first = true;
        for (int i = 0; i < m_o.gopLength; ++i)
        {
            // Coded order I(2) B(0) B(1) P(5) B(3) B(4) ...: anchors go two pictures ahead.
            int type, tref;
            if (i == 0)
                type = 1, tref = 2;
            else if (i % 3 == 0)
                type = 2, tref = i + 2;
            else
                type = 3, tref = i - 1;
            if (tref >= m_o.gopLength)
                tref = m_o.gopLength - 1;
            const uint64_t pts = 90000 + (frame + static_cast<uint64_t>(tref)) * kFrameTicks;
            const uint64_t dts = type == 3 ? pts : 90000 + (frame + static_cast<uint64_t>(i) - 1) * kFrameTicks;
            Bytes pic = StreamWriter::PictureHeader(tref, type, 0xFFFF);
            const Bytes pce = StreamWriter::PictureCodingExtension();
            pic.insert(pic.end(), pce.begin(), pce.end());
            const int size = type == 1 ? m_o.iFrameBytes : type == 2 ? m_o.pFrameBytes : m_o.bFrameBytes;
            const int sliceBytes = std::max(8, size / std::max(1, m_o.slicesPerPicture) - 4);
            for (int s = 1; s <= m_o.slicesPerPicture; ++s)
            {
                const Bytes slice = StreamWriter::Slice(s, sliceBytes + static_cast<int>(NextRandom(m_seed) % 64), m_seed);
                pic.insert(pic.end(), slice.begin(), slice.end());
            }
            if (first)
            {
                b.insert(b.end(), pic.begin(), pic.end());
                out.Add(b, pts, dts);
                first = false;
            }
            else
            {
                out.Add(pic, pts, dts);
            }
        }
        m_frames += static_cast<uint64_t>(m_o.gopLength);
        ++m_gops;
    }

private:
    const DvdStreamOptions& m_o;
    uint32_t m_seed;
    uint64_t m_frames = 0;
    uint64_t m_gops = 0;
};

}  // namespace

Bytes MakeDvdStream(const DvdStreamOptions& o)
{
    StreamWriter w;
    w.bytes.reserve(static_cast<size_t>(o.targetBytes) + 4096);
    PendingStream video, audio;
    VideoSource source(o);
    uint32_t audioSeed = o.seed * 104729u + 17;
    uint64_t audioFrames = 0;
    uint64_t pack = 0;

    constexpr int kPackSize = 2048;
    constexpr uint32_t kMuxRate = 25200;  // 10.08 Mbit/s
    const double videoBytesPerFrame = (o.iFrameBytes + (o.gopLength / 3.0 - 1) * o.pFrameBytes
                                       + (o.gopLength - o.gopLength / 3.0) * o.bFrameBytes)
        / o.gopLength;
    double videoSent = 0, audioSent = 0;
    const double audioBytesPerVideoFrame = 224000.0 / 8 / 25;

    while (w.bytes.size() + kPackSize <= o.targetBytes || pack == 0)
    {
        const uint64_t scr = pack * kPackSize * 90000 / (kMuxRate * 50ull);
        w.PackHeader(scr, static_cast<uint32_t>(pack % 300), kMuxRate);
        int room = kPackSize - 14;
        if (pack == 0)
        {
            const size_t before = w.bytes.size();
            w.SystemHeader({{o.videoId, 1, 232}, {o.audioId, 0, 32}}, kMuxRate, 1, 1, false, false);
            room -= static_cast<int>(w.bytes.size() - before);
        }
        // Keep both streams fed, and send whichever is behind its share of the rate.
        while (video.data.size() < static_cast<size_t>(kPackSize) * 2)
            source.NextGop(video);
        while (audio.data.size() < static_cast<size_t>(kPackSize) * 2)
        {
            audio.Add(StreamWriter::Mp2Frame(o.audioBitRateIndex, 1, false, audioSeed),
                      90000 + audioFrames * kAudioFrameTicks, 90000 + audioFrames * kAudioFrameTicks);
            ++audioFrames;
        }
        const bool sendAudio = audioSent / audioBytesPerVideoFrame < videoSent / videoBytesPerFrame;
        PendingStream& s = sendAudio ? audio : video;
        // Every 16th video pack ends early with a padding packet, as DVD muxers do.
        const int padding = (!sendAudio && pack % 16 == 5) ? 200 : 0;
        PesOptions opt;
        const int headerWithStamps = 6 + 3 + (sendAudio ? 5 : 10);
        const size_t payload = static_cast<size_t>(room - headerWithStamps - padding);
        Bytes data = s.Take(payload, opt.pts, opt.dts);
        if (!opt.pts)
            opt.stuffing = static_cast<uint8_t>(sendAudio ? 5 : 10);  // keep the pack size
        else if (!opt.dts)
            opt.stuffing = sendAudio ? 0 : 5;
        w.PesPacket(sendAudio ? o.audioId : o.videoId, data, opt);
        if (padding)
            w.PaddingPacket(padding - 6);
        (sendAudio ? audioSent : videoSent) += static_cast<double>(data.size());
        ++pack;
    }
    w.StartCode(0xB9);  // program end
    return w.bytes;
}

Bytes MakeVideoElementaryStream(int gops, int gopLength, uint32_t seed)
{
    DvdStreamOptions o;
    o.gopLength = gopLength;
    o.seed = seed;
    o.slicesPerPicture = 4;
    o.iFrameBytes = 600;
    o.pFrameBytes = 300;
    o.bFrameBytes = 150;
    PendingStream s;
    VideoSource source(o);
    for (int i = 0; i < gops; ++i)
        source.NextGop(s);
    Bytes b(s.data.begin(), s.data.end());
    const Bytes end = {0x00, 0x00, 0x01, 0xB7};
    b.insert(b.end(), end.begin(), end.end());
    return b;
}

bool WriteFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    // An empty vector may hand out a null data pointer, which fwrite must not get.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
