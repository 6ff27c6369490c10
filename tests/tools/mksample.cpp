// Writes the streams of the end-to-end tests, and the sample that ships with the
// project, into a folder:  varnodel-mksample OUTDIR
//
// Every stream is built from known parts, so what the analysis must show follows from
// how it was built (see the comments per stream).

#include "support/StreamWriter.h"

#include <cstdio>
#include <string>

namespace
{

// Program stream with MP2 audio whose frames straddle packets, and with the faults the
// frame check must find: a gap, a header that is not where the frames say (overlap),
// a false sync word in garbage, and frames longer than their packets.
Bytes AudioCheckStream()
{
    StreamWriter w;
    uint32_t seed = 11;
    // 48 kHz, 224 kbit/s, layer II: 672-byte frames.
    auto frame = [&] { return StreamWriter::Mp2Frame(11, 1, false, seed); };
    Bytes es;
    for (int i = 0; i < 6; ++i)
    {
        Bytes f = frame();
        es.insert(es.end(), f.begin(), f.end());
    }
    w.PackHeader(0);
    w.SystemHeader({{0xC0, 0, 32}, {0xE0, 1, 232}});
    // Packet 1: frames at 0 and 672; the second runs 344 bytes into packet 2.
    w.PesPacket(0xC0, Bytes(es.begin(), es.begin() + 1000), {.pts = 90000});
    w.PackHeader(2000);
    // Packet 2: its first header is expected, and found, at 344.
    w.PesPacket(0xC0, Bytes(es.begin() + 1000, es.begin() + 2000), {.pts = 92160});
    w.PackHeader(4000);
    // Packet 3: 16 bytes of the last frame, then 10 bytes of garbage before the next
    // header (found at 26, expected at 16); then a frame cut short after 600 bytes by the
    // next one (overlap): the walk expects a header at 1370 and finds the one after at
    // 1970. The last frame ends with the payload.
    {
        Bytes p(es.begin() + 2000, es.begin() + 2016);
        p.insert(p.end(), 10, 0x55);
        p.insert(p.end(), es.begin() + 2016, es.begin() + 2016 + 672);
        p.insert(p.end(), es.begin() + 2016 + 672, es.begin() + 2016 + 672 + 600);
        for (int i = 0; i < 2; ++i)
        {
            Bytes f = frame();
            p.insert(p.end(), f.begin(), f.end());
        }
        w.PesPacket(0xC0, p);  // no PTS: "pack"
    }
    w.PackHeader(6000);
    // Packet 4: a false sync word (FF F8: no bit rate, no frame length) where the next
    // header is expected; the walk moves one byte on and finds the real one at 6.
    {
        Bytes p = {0xFF, 0xF8, 0x00, 0x00, 0x12, 0x34};
        Bytes f = frame();
        p.insert(p.end(), f.begin(), f.end());
        w.PesPacket(0xC0, p, {.pts = 100000});
    }
    w.PackHeader(8000);
    // Packets 5 to 8: a 1152-byte frame (384 kbit/s at 48 kHz) spread over packets of
    // 400 bytes: the two middle packets hold no header at all, the last one holds the
    // next frame's header right after the remainder.
    {
        Bytes big = StreamWriter::Mp2Frame(14, 1, false, seed);
        Bytes next = StreamWriter::Mp2Frame(14, 1, false, seed);
        big.insert(big.end(), next.begin(), next.end());
        for (int i = 0; i < 4; ++i)
        {
            w.PesPacket(0xC0, Bytes(big.begin() + i * 400, big.begin() + (i + 1) * 400), {.pts = 110000u + i});
            if (i == 1)
                w.PaddingPacket(20);
        }
    }
    return w.bytes;
}

// Two MPEG audio streams in one file, packets alternating, each with frames that
// straddle its own packets: no line may be marked.
Bytes TwoAudioStreams()
{
    StreamWriter w;
    uint32_t seedA = 21, seedB = 22;
    Bytes a, b;
    for (int i = 0; i < 5; ++i)
    {
        Bytes f = StreamWriter::Mp2Frame(11, 1, false, seedA);  // 672 bytes
        a.insert(a.end(), f.begin(), f.end());
        Bytes g = StreamWriter::Mp2Frame(8, 1, false, seedB);   // 128 kbit/s: 384 bytes
        b.insert(b.end(), g.begin(), g.end());
    }
    w.PackHeader(0);
    w.SystemHeader({{0xC0, 0, 32}, {0xC1, 0, 32}}, 25200, 2, 0);
    for (int i = 0; i < 3; ++i)
    {
        w.PackHeader(1000u * (i + 1));
        w.PesPacket(0xC0, Bytes(a.begin() + i * 1000, a.begin() + (i + 1) * 1000), {.pts = 90000u + i * 3000});
        w.PesPacket(0xC1, Bytes(b.begin() + i * 500, b.begin() + (i + 1) * 500), {.pts = 90000u + i * 3000});
    }
    return w.bytes;
}

// Odd corners of the system layer.
Bytes EdgeStream()
{
    StreamWriter w;
    uint32_t seed = 31;
    // A system header before the first pack: its "DATA" stands at the top level. It
    // lists 0xE0 twice (a damaged header): the packet is still handled once.
    w.SystemHeader({{0xE0, 1, 232}, {0xE0, 1, 232}, {0xBD, 1, 58}}, 0x3FFFFF, 0, 1, true, true);
    // A private stream packet before any audio or video packet: its "PES HEADER" goes
    // to the top level.
    w.PesPacket(0xBD, Bytes(20, 0x80), {.pts = 4000});
    // MPEG-1 pack header: read with the MPEG-2 layout, so it takes ten bytes; two filler
    // bytes keep the next start code whole.
    w.Mpeg1PackHeader(90000, 3000);
    w.Append({0xFF, 0xF8});
    // Video packet with PTS and DTS, PTS with bit 32 set and DTS at 2^31 and above.
    {
        Bytes es = StreamWriter::SequenceHeader(720, 576, 3, 3, 0x3FFFF, 1023);
        Bytes ext = StreamWriter::SequenceExtension();
        es.insert(es.end(), ext.begin(), ext.end());
        Bytes gop = StreamWriter::GopHeader(1, 2, 3, 4, true, false);
        es.insert(es.end(), gop.begin(), gop.end());
        Bytes pic = StreamWriter::PictureHeader(5, 3, 0x1A);
        es.insert(es.end(), pic.begin(), pic.end());
        Bytes slice = StreamWriter::Slice(1, 40, seed);
        es.insert(es.end(), slice.begin(), slice.end());
        PesOptions o;
        o.pts = (1ull << 32) + 90000;
        o.dts = 0x80000000ull + 45;
        o.extension = true;
        o.privateData = true;
        o.sequenceCounter = true;
        o.pstdBuffer = std::make_pair(1, 232);
        w.PesPacket(0xE0, es, o);
    }
    w.PackHeader(900000, 5, 25200, 5);  // five stuffing bytes
    // A second system header in one pack, now without 0xBD.
    w.SystemHeader({{0xE0, 1, 232}, {0xC0, 0, 32}});
    w.SystemHeader({{0xE0, 1, 232}}, 25200, 0, 1, false, false, 2);  // length 11: two bytes ignored
    w.PesPacket(0xBD, Bytes(8, 0x80), {.pts = 5000});  // no longer listed: passed over
    // Flags announce an extension with a P-STD field that the header data does not hold.
    {
        PesOptions o;
        o.extension = true;
        o.pstdBuffer = std::make_pair(0, 32);
        o.headerDataLength = 1;
        o.pts = 7200;
        o.forbiddenPtsDtsFlags = true;  // flags 01: no time stamp decoded, DTS line shown
        w.PesPacket(0xE0, Bytes(12, 0x11), o);
    }
    // Extension start code and padding under the current stream.
    w.StartCode(0xB5);
    w.Append({0x12, 0x34});
    w.PaddingPacket(10);
    // Cut short: a pack header with only four of its ten bytes.
    w.StartCode(0xBA);
    w.Append({0x44, 0x00, 0x04, 0x00});
    return w.bytes;
}

bool Save(const std::string& dir, const char* name, const Bytes& b)
{
    const std::string path = dir + "/" + name;
    if (!WriteFile(path, b))
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: varnodel-mksample OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    DvdStreamOptions dvd;
    dvd.targetBytes = 200 * 2048;
    dvd.gopLength = 12;
    dvd.slicesPerPicture = 18;
    dvd.iFrameBytes = 16000;
    dvd.pFrameBytes = 6000;
    dvd.bFrameBytes = 2500;
    bool ok = Save(dir, "sample.mpg", MakeDvdStream(dvd));
    ok = Save(dir, "video.m2v", MakeVideoElementaryStream(2, 6, 5)) && ok;
    ok = Save(dir, "audio-check.mpg", AudioCheckStream()) && ok;
    ok = Save(dir, "two-audio.mpg", TwoAudioStreams()) && ok;
    ok = Save(dir, "edge.mpg", EdgeStream()) && ok;
    return ok ? 0 : 1;
}
