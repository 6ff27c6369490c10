// The checks on event sequences written here: a clean stream gives nothing, and each
// rule family finds a fault seeded into it at the right pack and stream.

#include "checks/StreamChecks.h"
#include "model/Pipeline.h"

#include <gtest/gtest.h>

#include <functional>
#include <variant>
#include <vector>

using namespace model;
using checks::Finding;

namespace
{

using Event = std::variant<Container, PackEvent, SystemHeaderEvent, PesEvent, AccessUnit, NavPack, TimeBaseEvent,
                           ResyncEvent, StreamEnd>;

constexpr StreamKey kVideo = 0xE0, kAudio = 0xC0;
constexpr int64_t kSecond = 27000000;

// The checks behind a pipeline, as the front ends run them.
struct Judge
{
    CPipeline pipeline;
    checks::StreamChecks checks{pipeline.Context()};
    Judge() { pipeline.Add(checks); }
};

struct Script
{
    std::vector<Event> events;

    template <class T> T& Nth(int n, const std::function<bool(const T&)>& match = nullptr)
    {
        for (Event& e : events)
            if (T* t = std::get_if<T>(&e); t && (!match || match(*t)) && n-- == 0)
                return *t;
        throw std::out_of_range("no such event");
    }
    std::vector<Finding> Run() const
    {
        Judge j;
        Feed(j.pipeline.Events());
        return j.checks.Log().Findings();
    }
    void Feed(IModelSink& sink) const
    {
        for (const Event& e : events)
            std::visit(
                [&](const auto& ev) {
                    using T = std::decay_t<decltype(ev)>;
                    if constexpr (std::is_same_v<T, Container>) sink.OnContainer(ev);
                    else if constexpr (std::is_same_v<T, PackEvent>) sink.OnPack(ev);
                    else if constexpr (std::is_same_v<T, SystemHeaderEvent>) sink.OnSystemHeader(ev);
                    else if constexpr (std::is_same_v<T, PesEvent>) sink.OnPes(ev);
                    else if constexpr (std::is_same_v<T, AccessUnit>) sink.OnAccessUnit(ev);
                    else if constexpr (std::is_same_v<T, NavPack>) sink.OnNavPack(ev);
                    else if constexpr (std::is_same_v<T, TimeBaseEvent>) sink.OnTimeBase(ev);
                    else if constexpr (std::is_same_v<T, ResyncEvent>) sink.OnResync(ev);
                    else sink.OnEnd(ev);
                },
                e);
    }
};

std::string Describe(const std::vector<Finding>& findings)
{
    std::string s;
    for (const Finding& f : findings)
        s += checks::FormatFinding(f) + "\n";
    return s;
}

// The number a finding gives the pack of model index i: the tree's "PACK #n".
uint32_t PackNo(uint32_t index) { return index + 1; }

// The one finding of `check`; fails when there is none or more than one.
Finding Only(const std::vector<Finding>& findings, const char* check)
{
    const Finding* found = nullptr;
    int n = 0;
    for (const Finding& f : findings)
        if (std::string(f.check) == check)
            found = &f, ++n;
    EXPECT_EQ(n, 1) << check << " in:\n" << Describe(findings);
    return found ? *found : Finding{};
}

// A program stream of 2048-byte packs at 1.2 MB/s (46080 ticks a pack), one PES each:
// video in two packs of three (one picture per packet, decoded 0.1 s after the pack, GOPs
// of six), MPEG audio in the third (four 500-byte frames, decoded as the packet ends).
// SCRs on the 27 MHz clock; ticks90: rounded down to 90 kHz, extensions 0.
Script CleanStream(int packs = 60, bool ticks90 = false)
{
    Script s;
    const uint32_t rate = 24000;
    const int64_t start = kSecond / 2, packTicks = 46080, frameTicks = 34560, pictureTicks = 69120;
    SystemHeaderEvent sys;
    sys.rateBound = rate;
    sys.audioBound = 1;
    sys.videoBound = 1;
    sys.entryCount = 2;
    sys.entries[0] = {0xE0, 237568};
    sys.entries[1] = {0xC0, 4096};
    uint64_t videoEs = 0, audioEs = 0, pictures = 0, frames = 0;
    for (int k = 0; k < packs; ++k)
    {
        PackEvent p;
        p.index = k;
        p.offset = uint64_t(k) * 2048;
        p.scr27 = start + k * packTicks;
        if (ticks90)
            p.scr27 -= p.scr27 % 300;
        p.scrBase = p.scr27 / 300;
        p.scrExtension = uint32_t(p.scr27 % 300);
        p.muxRate = rate;
        p.scrByteOffset = p.offset + 8;
        p.headerSize = 14;
        s.events.push_back(p);
        if (k == 0)
        {
            sys.pack = 0;
            sys.offset = 14;
            s.events.push_back(sys);
        }
        PesEvent pes;
        pes.pack = k;
        pes.offset = p.offset + 14 + (k == 0 ? 18 : 0);
        pes.payloadOffset = pes.offset + 14;
        pes.payloadSize = uint32_t(p.offset + 2048 - pes.payloadOffset);
        pes.packetLength = pes.payloadSize + 8;
        pes.hasPts = true;
        const int64_t packEnd = p.scr27 + packTicks;
        if (k % 3 != 2)
        {
            pes.stream = kVideo;
            pes.kind = Kind::Video;
            AccessUnit u;
            u.stream = kVideo;
            u.kind = Kind::Video;
            u.index = pictures;
            u.offset = u.esOffset = 0;
            u.offset = pes.payloadOffset;
            u.pack = u.lastPack = k;
            u.lastOffset = pes.payloadOffset + pes.payloadSize - 1;
            u.esOffset = videoEs;
            u.size = pes.payloadSize;
            u.ptsCoded = u.timed = true;
            u.pts27 = u.dts27 = start + kSecond / 10 + int64_t(pictures) * pictureTicks;
            u.pts = u.dts = u.pts27 / 300;
            u.duration27 = pictureTicks;
            u.pictureType = pictures % 6 == 0 ? 1 : 2;
            u.temporalReference = pictures % 6;
            u.gopStart = pictures % 6 == 0;
            pes.pts27 = u.pts27;
            pes.pts = u.pts;
            videoEs += pes.payloadSize;
            ++pictures;
            s.events.push_back(pes);
            s.events.push_back(u);
        }
        else
        {
            pes.stream = kAudio;
            pes.kind = Kind::MpegAudio;
            s.events.push_back(pes);
            // Frames of 500 bytes from the payload start; the rest waits for the next packet.
            for (uint32_t at = 0; at + 500 <= pes.payloadSize; at += 500)
            {
                AccessUnit u;
                u.stream = kAudio;
                u.kind = Kind::MpegAudio;
                u.index = frames;
                u.offset = pes.payloadOffset + at;
                u.pack = u.lastPack = k;
                u.lastOffset = u.offset + 499;
                u.esOffset = audioEs + at;
                u.size = at + 1000 > pes.payloadSize ? pes.payloadSize - at : 500;
                u.ptsCoded = at == 0;
                u.timed = true;
                u.pts27 = u.dts27 = packEnd + 1000 + (at / 500) * frameTicks;
                u.pts = u.dts = u.pts27 / 300;
                u.duration27 = frameTicks;
                u.sampleRate = 48000;
                if (at == 0)
                {
                    auto& back = std::get<PesEvent>(s.events.back());
                    back.pts27 = u.pts27;
                    back.pts = u.pts;
                }
                s.events.push_back(u);
                ++frames;
            }
            audioEs += pes.payloadSize;
        }
    }
    StreamEnd end;
    end.packs = packs;
    end.fileSize = uint64_t(packs) * 2048;
    s.events.push_back(end);
    return s;
}

bool IsVideoUnit(const AccessUnit& u) { return u.stream == kVideo; }
bool IsAudioUnit(const AccessUnit& u) { return u.stream == kAudio; }

}  // namespace

TEST(Checks, CleanStreamGivesNothing)
{
    const std::vector<Finding> findings = CleanStream().Run();
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST(Checks, SystemLayer)
{
    {
        Script s = CleanStream();
        s.Nth<PackEvent>(10).scr27 -= 100000;  // below pack 9's SCR
        const Finding f = Only(s.Run(), "scr-backwards");
        EXPECT_EQ(f.pack, PackNo(10));
        EXPECT_EQ(f.offset, 10u * 2048);
        EXPECT_EQ(f.stream, kNoStream);
    }
    {
        Script s = CleanStream();
        for (int k = 20; k < 60; ++k)
            s.Nth<PackEvent>(k).scr27 += kSecond;  // one jump of 1 s, then regular steps
        const auto findings = s.Run();
        EXPECT_EQ(Only(findings, "scr-interval").pack, PackNo(20));
    }
    {
        // Pack 29's last byte arrives 2039 bytes after its SCR byte at 1.2 MB/s, 45877.5
        // ticks; pack 30 may start one tick before that, not two.
        Script s = CleanStream();
        const int64_t scr29 = s.Nth<PackEvent>(29).scr27;
        s.Nth<PackEvent>(30).scr27 = scr29 + 45876;
        EXPECT_EQ(Only(s.Run(), "mux-rate-exceeded").pack, PackNo(30));
        s.Nth<PackEvent>(30).scr27 = scr29 + 45877;
        for (const Finding& f : s.Run())
            EXPECT_STRNE(f.check, "mux-rate-exceeded");
    }
    {
        Script s = CleanStream();
        s.events.insert(s.events.begin() + 20, ResyncEvent{6, 6 * 2048 + 100, 1948});
        const Finding f = Only(s.Run(), "sync-lost");
        EXPECT_EQ(f.offset, 6u * 2048 + 100);
        EXPECT_NE(f.message.find("1948"), std::string::npos);
    }
    {
        Script s = CleanStream();
        auto& sys = s.Nth<SystemHeaderEvent>(0);
        sys.entries[1].streamId = 0xC1;  // the audio stream is not listed
        sys.entries[0].bufferBound = 1024;
        s.Nth<PesEvent>(0).hasPstd = true;  // a P-STD size above the bound
        s.Nth<PesEvent>(0).pstdBufferBytes = 237568;
        int bound = 0;
        for (const Finding& f : s.Run())
            bound += std::string(f.check) == "system-header-bound";
        EXPECT_EQ(bound, 2);
    }
}

TEST(Checks, Timestamps)
{
    {
        Script s = CleanStream();
        PesEvent& pes = s.Nth<PesEvent>(4, [](const PesEvent& p) { return p.stream == kVideo; });
        pes.hasDts = true;
        pes.dts27 = pes.pts27 + 3000 * 300;
        const Finding f = Only(s.Run(), "dts-after-pts");
        EXPECT_EQ(f.pack, PackNo(pes.pack));
        EXPECT_EQ(f.stream, kVideo);
    }
    {
        Script s = CleanStream();
        PesEvent& pes = s.Nth<PesEvent>(5, [](const PesEvent& p) { return p.stream == kAudio; });
        pes.pts27 += kSecond;
        const auto findings = s.Run();
        const Finding f = Only(findings, "pts-interval");
        EXPECT_EQ(f.pack, PackNo(pes.pack));
        EXPECT_EQ(f.stream, kAudio);
    }
    {
        Script s = CleanStream();
        AccessUnit& u = s.Nth<AccessUnit>(7, IsVideoUnit);
        u.dts27 = s.Nth<AccessUnit>(6, IsVideoUnit).dts27;
        const Finding f = Only(s.Run(), "dts-backwards");
        EXPECT_EQ(f.pack, PackNo(u.pack));
        EXPECT_EQ(f.stream, kVideo);
    }
    {
        Script s = CleanStream();
        AccessUnit& first = s.Nth<AccessUnit>(0, IsAudioUnit);
        first.ptsCoded = first.timed = false;
        EXPECT_EQ(Only(s.Run(), "timestamp-missing").stream, kAudio);
    }
}

// The buffer model is exact to the byte and the tick: the clean stream's video peak is the
// largest size that overflows by one byte, and an access unit whose last byte arrives on
// its decoding tick is in time, one tick later it is not.
TEST(Checks, DecoderBufferIsExact)
{
    {
        Script s = CleanStream();
        // Find the video peak through an overflow search on the size.
        uint32_t lo = 1, hi = 237568;
        while (lo < hi)
        {
            const uint32_t mid = (lo + hi) / 2;
            Script t = s;
            t.Nth<SystemHeaderEvent>(0).entries[0].bufferBound = mid;
            bool over = false;
            for (const Finding& f : t.Run())
                over |= std::string(f.check) == "pstd-overflow";
            (over ? lo : hi) = over ? mid + 1 : mid;
        }
        const uint32_t peak = lo;
        Script t = s;
        t.Nth<SystemHeaderEvent>(0).entries[0].bufferBound = peak - 1;
        const auto findings = t.Run();
        const Finding f = Only(findings, "pstd-overflow");
        EXPECT_EQ(f.stream, kVideo);
        EXPECT_NE(f.message.find(std::to_string(peak) + " bytes"), std::string::npos) << f.message;
        EXPECT_NE(f.message.find(std::to_string(peak - 1) + " bytes"), std::string::npos) << f.message;
        // The peak is taken as a byte arrives: with 0.1 s of delay at 0.8 MB/s of video
        // it is near 80 kB.
        EXPECT_GT(peak, 70000u);
        EXPECT_LT(peak, 90000u);
        // Far too small: episodes of many packets each, the totals count every packet.
        t.Nth<SystemHeaderEvent>(0).entries[0].bufferBound = peak / 2;
        uint64_t packets = 0, kept = 0;
        for (const Finding& f2 : t.Run())
            if (std::string(f2.check) == "pstd-overflow")
                packets += f2.count, ++kept;
        EXPECT_GT(packets, kept);
    }
    {
        Script s = CleanStream();
        // The SCR byte one later in every pack: pictures ending a pack arrive on a tick
        // (2038 bytes at 1.2 MB/s, 22.5 ticks a byte). All pictures are then decoded so much
        // earlier that those in the first pack of each three-pack cycle arrive on their
        // decoding tick; the others keep 23040 ticks to spare.
        for (Event& e : s.events)
            if (auto* p = std::get_if<PackEvent>(&e))
                ++p->scrByteOffset;
        AccessUnit& u = s.Nth<AccessUnit>(12, IsVideoUnit);
        const PackEvent& p = s.Nth<PackEvent>(int(u.lastPack));
        ASSERT_EQ(p.index % 3, 0u);
        const int64_t arrival = p.scr27 + int64_t(u.lastOffset - p.scrByteOffset) * 45 / 2;
        const int64_t shift = u.dts27 - arrival;
        for (Event& e : s.events)
            if (auto* v = std::get_if<AccessUnit>(&e); v && v->stream == kVideo)
                v->dts27 = v->pts27 -= shift;
        for (const Finding& f : s.Run())
            EXPECT_STRNE(f.check, "pstd-underflow") << f.message;
        u.dts27 = u.pts27 = arrival - 1;
        const Finding f = Only(s.Run(), "pstd-underflow");
        EXPECT_EQ(f.pack, PackNo(u.pack));
        EXPECT_EQ(f.stream, kVideo);
    }
    {
        Script s = CleanStream();
        for (Event& e : s.events)
            if (auto* u = std::get_if<AccessUnit>(&e); u && u->stream == kVideo && u->index >= 10)
                u->pts27 = u->dts27 += 2 * kSecond;
        EXPECT_EQ(Only(s.Run(), "mux-delay").stream, kVideo);
    }
    {
        Script s = CleanStream();
        s.Nth<SystemHeaderEvent>(0).entryCount = 1;  // the audio stream has no bound
        EXPECT_EQ(Only(s.Run(), "pstd-size-unknown").stream, kAudio);
    }
}

TEST(Checks, ElementaryStreams)
{
    {
        // An audio frame's sync word is gone: the demultiplexer skips to the next one.
        Script s = CleanStream();
        AccessUnit& gone = s.Nth<AccessUnit>(9, IsAudioUnit);
        const uint64_t expectedOffset = gone.offset;
        const uint32_t expectedPack = gone.pack;
        AccessUnit& next = s.Nth<AccessUnit>(10, IsAudioUnit);
        next.skippedBefore = 500;
        s.events.erase(std::find_if(s.events.begin(), s.events.end(), [&](const Event& e) {
            const auto* u = std::get_if<AccessUnit>(&e);
            return u && u->stream == kAudio && u->index == 9;
        }));
        const auto findings = s.Run();
        const Finding f = Only(findings, "audio-frame-gap");
        EXPECT_EQ(f.offset, expectedOffset);
        EXPECT_EQ(f.pack, PackNo(expectedPack));
        EXPECT_EQ(f.stream, kAudio);
    }
    {
        Script s = CleanStream();
        AccessUnit& u = s.Nth<AccessUnit>(8, IsAudioUnit);  // coded PTS (frame 0 of a packet)
        ASSERT_TRUE(u.ptsCoded);
        u.pts27 += 2 * u.duration27;
        u.dts27 = u.pts27;
        EXPECT_EQ(Only(s.Run(), "audio-pts-drift").pack, PackNo(u.pack));
    }
    {
        Script s = CleanStream();
        AccessUnit& u = s.Nth<AccessUnit>(15, IsVideoUnit);  // third picture of the third group
        u.temporalReference = 1;                              // a repeat
        EXPECT_EQ(Only(s.Run(), "video-temporal-reference").offset, u.offset);
        u.temporalReference = 6;                              // out of range
        EXPECT_EQ(Only(s.Run(), "video-temporal-reference").offset, u.offset);
    }
    {
        Script s = CleanStream();
        AccessUnit& u = s.Nth<AccessUnit>(20, IsVideoUnit);
        u.pts27 += 34560 / 2;  // half a field
        u.dts27 = u.pts27;
        EXPECT_EQ(Only(s.Run(), "video-pts-step").pack, PackNo(u.pack));
    }
}

// DVD AC-3 packets: the substream header's frame count and first access unit pointer.
TEST(Checks, SubstreamHeader)
{
    const StreamKey ac3 = MakeStreamKey(0xBD, 0x80);
    Script s;
    for (int k = 0; k < 6; ++k)
    {
        PackEvent p;
        p.index = k;
        p.offset = uint64_t(k) * 2048;
        p.scr27 = k * 50000;
        p.muxRate = 25200;
        p.scrByteOffset = p.offset + 8;
        s.events.push_back(p);
        PesEvent pes;
        pes.pack = k;
        pes.offset = p.offset + 14;
        pes.stream = ac3;
        pes.kind = Kind::Ac3;
        pes.headerSize = 13;                   // PES header, then a 4-byte substream header
        pes.payloadOffset = pes.offset + 17;
        pes.payloadSize = 1536;  // one 1536-byte frame, starting 100 bytes in
        pes.hasPstd = k == 0;
        pes.pstdBufferBytes = 58 * 1024;
        pes.hasSubHeader = true;
        pes.frameCount = 1;
        pes.firstAccessUnit = 101;
        s.events.push_back(pes);
        if (k > 0)
        {
            AccessUnit u;
            u.stream = ac3;
            u.kind = Kind::Ac3;
            u.index = k - 1;
            u.offset = (pes.payloadOffset - 2048) + 100;  // the previous packet's frame
            u.pack = k - 1;
            u.esOffset = (k - 1) * 1536 + 100;
            u.size = 1536;
            u.duration27 = 32 * 27000;
            u.pts27 = u.dts27 = kSecond + (k - 1) * u.duration27;
            u.ptsCoded = u.timed = true;
            s.events.push_back(u);
        }
    }
    s.events.push_back(StreamEnd{6 * 2048, 6});
    for (const Finding& f : s.Run())
        EXPECT_STRNE(f.check, "substream-header") << f.message;
    {
        // The buffer holds the frames' bytes, not the substream headers (mplex fills DVD
        // LPCM buffers to the byte that way). Nothing is decoded before the last packet.
        Judge j;
        s.Feed(j.pipeline.Events());
        EXPECT_EQ(j.checks.BufferPeak(ac3), 6u * 1536);
    }
    s.Nth<PesEvent>(2).firstAccessUnit = 99;
    Finding f = Only(s.Run(), "substream-header");
    EXPECT_EQ(f.pack, PackNo(2));
    EXPECT_EQ(f.stream, ac3);
    s.Nth<PesEvent>(2).firstAccessUnit = 101;
    s.Nth<PesEvent>(3).frameCount = 2;
    EXPECT_EQ(Only(s.Run(), "substream-header").pack, PackNo(3));
}

// DVD pack k of VOBUs of four packs: 2048 bytes, at 10.08 Mbit/s, 1/8 s apart.
PackEvent DvdPack(uint32_t k)
{
    PackEvent p;
    p.index = k;
    p.offset = uint64_t(k) * 2048;
    p.scr27 = k * kSecond / 8;
    p.muxRate = 25200;
    p.scrByteOffset = p.offset + 8;
    return p;
}

// The navigation pack of VOBU v (of `vobus`), in pack 4 v: its address, its last pack
// three blocks on, links to its neighbours four blocks away; times and reference
// frames are the caller's.
NavPack DvdNav(uint32_t v, uint32_t vobus)
{
    NavPack n;
    n.pack = v * 4;
    n.offset = uint64_t(n.pack) * 2048;
    n.hasPci = n.hasDsi = true;
    n.pciLbn = n.dsiLbn = n.pack;
    n.vobuEa = 3;
    n.nextVobu = v + 1 < vobus ? 4 : 0x3FFFFFFF;
    n.prevVobu = v > 0 ? 4 : 0x3FFFFFFF;
    return n;
}

// VOBUs of a navigation pack and three video packs, one I picture each, 0.5 s apart.
TEST(Checks, DvdNavigation)
{
    const int vobus = 5;
    const auto make = [&] {
        Script s;
        SystemHeaderEvent sys;
        sys.rateBound = 25200;
        sys.videoBound = 1;
        sys.entryCount = 2;
        sys.entries[0] = {0xB9, 237568};
        sys.entries[1] = {0xBF, 2048};
        for (int v = 0; v < vobus; ++v)
        {
            const int64_t pts = kSecond + v * kSecond / 2;
            for (int j = 0; j < 4; ++j)
            {
                const int k = v * 4 + j;
                const PackEvent p = DvdPack(k);
                s.events.push_back(p);
                if (k == 0)
                    s.events.push_back(sys);
                if (j == 0)
                {
                    NavPack n = DvdNav(v, vobus);
                    n.vobuSPtm = uint32_t(pts / 300);
                    n.vobuEPtm = uint32_t((pts + kSecond / 2) / 300);
                    n.ref1Ea = 3;
                    s.events.push_back(n);
                    continue;
                }
                PesEvent pes;
                pes.pack = k;
                pes.offset = p.offset + 14;
                pes.stream = kVideo;
                pes.kind = Kind::Video;
                pes.payloadOffset = pes.offset + (j == 1 ? 19 : 9);
                pes.payloadSize = uint32_t(p.offset + 2048 - pes.payloadOffset);
                pes.hasPts = j == 1;
                pes.pts27 = pts;
                s.events.push_back(pes);
            }
            AccessUnit u;
            u.stream = kVideo;
            u.kind = Kind::Video;
            u.index = v;
            u.pack = v * 4 + 1;
            u.offset = u.pack * 2048 + 14 + 19;
            u.lastPack = v * 4 + 3;
            u.lastOffset = u.lastPack * 2048 + 2047;
            u.esOffset = uint64_t(v) * (3 * 2048 - 3 * 23 - 10);
            u.size = 3 * 2048 - 3 * 23 - 10;
            u.ptsCoded = u.timed = true;
            u.pts27 = u.dts27 = pts;
            u.duration27 = kSecond / 2;
            u.pictureType = 1;
            u.gopStart = true;
            s.events.push_back(u);
        }
        s.events.push_back(StreamEnd{uint64_t(vobus) * 4 * 2048, uint32_t(vobus) * 4});
        return s;
    };
    {
        const auto findings = make().Run();
        EXPECT_TRUE(findings.empty()) << Describe(findings);
    }
    struct Seed
    {
        const char* check;
        std::function<void(NavPack&)> corrupt;
    };
    const Seed seeds[] = {
        {"dvd-nav-lbn", [](NavPack& n) { n.pciLbn += 1; }},
        {"dvd-nav-lbn", [](NavPack& n) { n.dsiLbn = 0; }},
        {"dvd-vobu-end", [](NavPack& n) { n.vobuEa = 2; }},
        {"dvd-ref-frame-end", [](NavPack& n) { n.ref1Ea = 1; }},
        {"dvd-ref-frame-end", [](NavPack& n) { n.ref2Ea = 2; }},
        {"dvd-vobu-ptm", [](NavPack& n) { n.vobuSPtm += 90; }},
        {"dvd-vobu-ptm", [](NavPack& n) { n.vobuEPtm -= 90; }},
        {"dvd-vobu-duration", [](NavPack& n) { n.vobuSPtm -= 90000; }},
        {"dvd-vobu-links", [](NavPack& n) { n.nextVobu = 8; }},
        {"dvd-vobu-links", [](NavPack& n) { n.prevVobu = 3; }},
    };
    for (const Seed& seed : seeds)
    {
        Script s = make();
        seed.corrupt(s.Nth<NavPack>(2));
        const Finding f = Only(s.Run(), seed.check);
        EXPECT_EQ(f.pack, PackNo(8)) << seed.check;
        EXPECT_EQ(f.stream, 0xBF) << seed.check;
    }
    {
        Script s = make();
        s.Nth<PackEvent>(6).muxRate = 25000;
        EXPECT_EQ(Only(s.Run(), "dvd-mux-rate").pack, PackNo(6));
        std::get<StreamEnd>(s.events.back()).fileSize -= 4;
        EXPECT_EQ(Only(s.Run(), "dvd-pack-size").pack, PackNo(vobus * 4 - 1));
    }
    {
        Script s = make();
        for (Event& e : s.events)
            if (auto* n = std::get_if<NavPack>(&e))
                *n = NavPack{n->pack, n->offset, true, true};
        const auto findings = s.Run();
        ASSERT_EQ(findings.size(), 1u) << Describe(findings);
        EXPECT_STREQ(findings[0].check, "dvd-nav-unauthored");
    }
}

// A report line has its fixed columns, the pack counted from 1 as the tree counts it;
// totals count every occurrence.
TEST(Checks, ReportFormats)
{
    checks::FindingLog log;
    const checks::FindingLog::Place place{3562, 7294976, kNoStream, true, 9726 * (kSecond / 1000)};
    log.Report(checks::rules::kScrBackwards, place, "SCR 9.726 s is lower than the previous pack's 9.728 s");
    EXPECT_EQ(checks::FormatFinding(log.Findings()[0]),
              "error   scr-backwards   pack 3563  @7294976  9.726 s  SCR 9.726 s is lower than the previous pack's 9.728 s");
    log.Report(checks::rules::kScrBackwards, place, "again");
    log.Report(checks::rules::kPstdOverflow, {1, 2, MakeStreamKey(0xBD, 0x80), false, 0}, "x");
    ASSERT_EQ(log.Findings().size(), 2u);
    EXPECT_EQ(log.Findings()[0].count, 2u);
    EXPECT_EQ(checks::FormatFinding(log.Findings()[1]), "error   pstd-overflow   pack 2  @2  0xBD:0x80  x");
    EXPECT_EQ(checks::FormatTotals(log), "3 errors, 0 warnings, 0 infos");
    std::string json;
    checks::WriteFindingJson(log.Findings()[1], json);
    EXPECT_EQ(json, "{\"check\": \"pstd-overflow\", \"severity\": \"error\", \"pack\": 2, \"offset\": 2, "
                    "\"stream\": \"0xBD:0x80\", \"time\": null, \"message\": \"x\", \"count\": 1}");
    // A place no pack holds: pack 0.
    log.Report(checks::rules::kSyncLost, {checks::FindingLog::kNoPack, 5, kNoStream, false, 0}, "y");
    EXPECT_EQ(log.Findings().back().pack, 0u);
}

// ---------------------------------------------------------------------------------------
// Time bases, streams without time stamps, the SCR's clock, clock faults

namespace
{

// b after a, as a muxer's second program joined to a first: b's packs, offsets and stream
// positions continue a's, its clock starts again. between: what comes at the join (a time
// base event, as the demultiplexer announces one).
Script Join(const Script& a, const Script& b, const std::vector<Event>& between)
{
    Script s;
    uint32_t packs = 0;
    uint64_t bytes = 0;
    std::map<StreamKey, uint64_t> es, units;
    for (const Event& e : a.events)
    {
        if (const auto* end = std::get_if<StreamEnd>(&e))
        {
            packs = end->packs;
            bytes = end->fileSize;
            continue;
        }
        if (const auto* pes = std::get_if<PesEvent>(&e))
            es[pes->stream] += pes->payloadSize;
        if (const auto* u = std::get_if<AccessUnit>(&e))
            units[u->stream] = u->index + 1;
        s.events.push_back(e);
    }
    s.events.insert(s.events.end(), between.begin(), between.end());
    for (Event e : b.events)
    {
        if (auto* p = std::get_if<PackEvent>(&e))
            p->index += packs, p->offset += bytes, p->scrByteOffset += bytes;
        else if (auto* h = std::get_if<SystemHeaderEvent>(&e))
            h->pack += packs, h->offset += bytes;
        else if (auto* pes = std::get_if<PesEvent>(&e))
            pes->pack += packs, pes->offset += bytes, pes->payloadOffset += bytes;
        else if (auto* u = std::get_if<AccessUnit>(&e))
        {
            u->pack += packs, u->lastPack += packs, u->offset += bytes, u->lastOffset += bytes;
            u->esOffset += es[u->stream];
            u->index += units[u->stream];
        }
        else if (auto* end = std::get_if<StreamEnd>(&e))
            end->packs += packs, end->fileSize += bytes;
        s.events.push_back(e);
    }
    return s;
}

TimeBaseEvent BaseAt(uint32_t pack, TimeBaseEvent::Reason reason)
{
    TimeBaseEvent t;
    t.index = 1;
    t.reason = reason;
    t.pack = pack;
    t.offset = uint64_t(pack) * 2048;
    return t;
}

std::vector<std::string> Checks(const std::vector<Finding>& findings)
{
    std::vector<std::string> ids;
    for (const Finding& f : findings)
        ids.push_back(f.check);
    return ids;
}

using Ids = std::vector<std::string>;

}  // namespace

// Two clean programs one after the other, the second's clock starting again: at a time
// base every rule starts afresh, so the join gives its one finding and nothing else.
TEST(Checks, TimeBasesStartEveryRuleAfresh)
{
    const Script one = CleanStream(30), two = CleanStream(30);
    for (const auto reason : {TimeBaseEvent::Reason::ProgramEnd, TimeBaseEvent::Reason::VobChange})
    {
        const auto findings = Join(one, two, {BaseAt(30, reason)}).Run();
        EXPECT_EQ(Checks(findings), Ids{"time-base"}) << Describe(findings);
        EXPECT_EQ(findings[0].pack, PackNo(30));
        EXPECT_EQ(findings[0].severity, checks::Severity::Info);
    }
    {
        // An SCR running back with no boundary: one error. The demultiplexer does not cut
        // the elementary streams there, so the first program's last picture comes after
        // the announcement: begun on the old clock, it is judged by neither.
        Script s = Join(one, two, {BaseAt(30, TimeBaseEvent::Reason::ScrBackwards)});
        const auto last = std::find_if(s.events.begin(), s.events.end(), [](const Event& e) {
            const auto* u = std::get_if<AccessUnit>(&e);
            return u && u->stream == kVideo && u->index == 19;
        });
        ASSERT_NE(last, s.events.end());
        const Event unit = *last;
        s.events.erase(last);
        const auto at = std::find_if(s.events.begin(), s.events.end(),
                                     [](const Event& e) { return std::holds_alternative<TimeBaseEvent>(e); });
        s.events.insert(at + 2, unit);
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"scr-backwards"}) << Describe(findings);
    }
    {
        // The same join with no announcement at all: the checks see the SCR run back
        // themselves, and report it where it happens.
        const auto findings = Join(one, two, {}).Run();
        ASSERT_FALSE(findings.empty());
        EXPECT_STREQ(findings[0].check, "scr-backwards");
        EXPECT_EQ(findings[0].pack, PackNo(30));
    }
}

namespace
{

// One pack at the given SCR, a system header giving an audio buffer of 4 KiB, then
// `packets` MPEG audio packets of one 90-byte frame each, a frame every 1000 ticks from
// firstDts27; timed false: no time stamps at all.
Script AudioPackets(uint32_t packets, int64_t scr27, int64_t firstDts27, bool timed = true)
{
    Script s;
    PackEvent p;
    p.scr27 = scr27;
    p.scrBase = uint64_t(scr27 / 300);
    p.muxRate = 25200;
    p.scrByteOffset = 8;
    s.events.push_back(p);
    SystemHeaderEvent sys;
    sys.rateBound = 25200;
    sys.audioBound = 1;
    sys.entryCount = 1;
    sys.entries[0] = {0xC0, 4096};
    s.events.push_back(sys);
    for (uint32_t k = 0; k < packets; ++k)
    {
        PesEvent pes;
        pes.stream = kAudio;
        pes.kind = Kind::MpegAudio;
        pes.offset = 100 + uint64_t(k) * 100;
        pes.payloadOffset = pes.offset + 10;
        pes.payloadSize = 90;
        pes.hasPts = timed && k == 0;
        pes.pts27 = firstDts27;
        s.events.push_back(pes);
        AccessUnit u;
        u.stream = kAudio;
        u.kind = Kind::MpegAudio;
        u.index = k;
        u.offset = pes.payloadOffset;
        u.esOffset = uint64_t(k) * 90;
        u.size = 90;
        u.ptsCoded = timed && k == 0;
        u.timed = timed;
        u.dts27 = u.pts27 = firstDts27 + int64_t(k) * 1000;
        u.duration27 = 1000;
        s.events.push_back(u);
    }
    s.events.push_back(StreamEnd{100 + uint64_t(packets) * 100, 1});
    return s;
}

}  // namespace

// No buffer or timestamp rule runs on a stream before its first coded time stamp.
TEST(Checks, StreamsWithoutTimeStamps)
{
    {
        // The first 12 pictures carry no PTS and have no known time: without the rule,
        // their decoding times of 0 would underflow the buffer one by one.
        Script s = CleanStream();
        for (Event& e : s.events)
        {
            if (auto* u = std::get_if<AccessUnit>(&e); u && u->stream == kVideo && u->index < 12)
                u->ptsCoded = u->timed = false, u->pts27 = u->dts27 = 0;
            if (auto* p = std::get_if<PesEvent>(&e); p && p->stream == kVideo && p->pack < 18)
                p->hasPts = false;
        }
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"timestamp-missing"}) << Describe(findings);
        EXPECT_EQ(findings[0].stream, kVideo);
        EXPECT_FALSE(findings[0].hasTime);
    }
    {
        // Audio that never has one, for longer than the buffer model would hold: nothing
        // queues, nothing is judged, one warning.
        const Script s = AudioPackets(uint32_t(checks::BufferModel::kMaxQueued) + 10, 0, 0, false);
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"timestamp-missing"}) << Describe(findings);
    }
}

// The mux rate rule allows one tick of the clock the SCRs are written in.
TEST(Checks, ScrPrecision)
{
    // Pack 29's last byte arrives 45877.5 ticks after its SCR; pack 30 comes 45600 ticks
    // after it: early by less than a 90 kHz tick.
    Script s = CleanStream(60, true);
    const int64_t scr29 = s.Nth<PackEvent>(29).scr27;
    s.Nth<PackEvent>(30).scr27 = scr29 + 45600;
    s.Nth<PackEvent>(30).scrBase = (scr29 + 45600) / 300;
    {
        const auto findings = s.Run();
        EXPECT_TRUE(findings.empty()) << Describe(findings);
    }
    {
        // One SCR extension that is not 0 shows a 27 MHz clock: then the same pack is early.
        Script t = s;
        t.Nth<PackEvent>(5).scrExtension = 1;
        t.Nth<PackEvent>(5).scr27 += 1;
        EXPECT_EQ(Only(t.Run(), "mux-rate-exceeded").pack, PackNo(30));
    }
    {
        // MPEG-1 packs have no extension: 90 kHz as well.
        Script t = s;
        for (Event& e : t.events)
            if (auto* p = std::get_if<PackEvent>(&e))
                p->mpeg2 = false;
        EXPECT_TRUE(t.Run().empty());
    }
}

// One time stamp out of line with its stream is one finding: the rules that follow the
// stream's clock (decoding order, the buffer, the audio drift) take the stream's own time
// for it and for the frames timed from it.
TEST(Checks, ClockFaultIsReportedOnce)
{
    Script s = CleanStream();
    PesEvent& pes = s.Nth<PesEvent>(5, [](const PesEvent& p) { return p.stream == kAudio; });
    pes.pts27 += kSecond;
    pes.pts += 90000;
    int frames = 0;
    for (Event& e : s.events)
        if (auto* u = std::get_if<AccessUnit>(&e); u && u->stream == kAudio && u->pack == pes.pack)
        {
            u->pts27 += kSecond, u->dts27 += kSecond;
            u->pts += 90000, u->dts += 90000;
            ++frames;
        }
    ASSERT_EQ(frames, 4);
    const auto findings = s.Run();
    EXPECT_EQ(Checks(findings), Ids{"pts-interval"}) << Describe(findings);
    EXPECT_EQ(findings[0].pack, PackNo(pes.pack));
}

// ---------------------------------------------------------------------------------------
// Bounds: each is passed, says what it no longer judges, and nothing is misjudged.

TEST(Checks, BoundsWarnAndNeverMisjudge)
{
    const int64_t tenHours = 36000 * kSecond;
    const uint32_t many = uint32_t(checks::BufferModel::kMaxQueued) + 1;
    {
        // Bytes that arrive ten hours after their decoding time: every unit underflows,
        // in one episode, and the bytes of decoded units are not kept waiting for their
        // arrival (the queue once crashed past its bound here).
        const auto findings = AudioPackets(many, tenHours, 0).Run();
        EXPECT_EQ(Checks(findings), Ids{"pstd-underflow"}) << Describe(findings);
        EXPECT_EQ(findings[0].count, many);
    }
    {
        // Decoding times ten hours after arrival: the buffer overflows, then more packets
        // wait than the model keeps: it says so and judges that buffer no more.
        const auto findings = AudioPackets(many, 0, tenHours).Run();
        EXPECT_EQ(Checks(findings), (Ids{"pstd-overflow", "model-limit"})) << Describe(findings);
        EXPECT_EQ(findings[1].stream, kAudio);
    }
    {
        // A group of more pictures than are judged: not judged, and said so, although
        // its temporal references run past 1023.
        Script s;
        s.events.push_back(Container::VideoElementary);
        for (uint32_t k = 0; k < checks::StreamChecks::kMaxGroup + 10; ++k)
        {
            AccessUnit u;
            u.stream = kVideo;
            u.kind = Kind::Video;
            u.index = k;
            u.offset = uint64_t(k) * 100;
            u.size = 100;
            u.pictureType = k == 0 ? 1 : 2;
            u.temporalReference = uint16_t(k & 1023);
            u.gopStart = k == 0;
            s.events.push_back(u);
        }
        AccessUnit next;
        next.stream = kVideo;
        next.kind = Kind::Video;
        next.gopStart = true;
        s.events.push_back(next);
        s.events.push_back(StreamEnd{});
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"model-limit"}) << Describe(findings);
        EXPECT_EQ(findings[0].pack, 0u);  // no system layer, no pack
    }
    {
        // AC-3 packets whose substream headers announce frames that never come.
        Script s;
        PackEvent p;
        p.muxRate = 25200;
        s.events.push_back(p);
        SystemHeaderEvent sys;
        sys.rateBound = 25200;
        sys.entryCount = 1;
        sys.entries[0] = {0xBD, 58 * 1024};
        s.events.push_back(sys);
        for (uint32_t k = 0; k < checks::StreamChecks::kMaxSubHeaders + 20; ++k)
        {
            PesEvent pes;
            pes.stream = MakeStreamKey(0xBD, 0x80);
            pes.kind = Kind::Ac3;
            pes.offset = 100 + uint64_t(k) * 40;
            pes.payloadOffset = pes.offset + 13;
            pes.payloadSize = 10;
            pes.hasSubHeader = true;
            pes.frameCount = 1;
            pes.firstAccessUnit = 1;
            s.events.push_back(pes);
        }
        s.events.push_back(StreamEnd{});
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"model-limit"}) << Describe(findings);
    }
    {
        // Navigation packs far ahead of their pictures: the first VOBU's picture comes only
        // after more VOBUs than wait, so that VOBU is judged without it, on what it
        // knows: its reference frame address is not taken for wrong.
        Script s;
        const uint32_t vobus = uint32_t(checks::DvdChecks::kMaxVobus) + 6;
        AccessUnit late;
        for (uint32_t v = 0; v < vobus; ++v)
        {
            for (uint32_t j = 0; j < 4; ++j)
            {
                s.events.push_back(DvdPack(v * 4 + j));
                if (j == 0)
                {
                    NavPack n = DvdNav(v, vobus);
                    n.vobuSPtm = v * 45000;
                    n.vobuEPtm = (v + 1) * 45000;
                    n.ref1Ea = v == 0 ? 3 : 0;
                    s.events.push_back(n);
                }
            }
            if (v == 0)
            {
                // The stream's video shows in the first VOBU, its picture arrives last.
                late.stream = kVideo;
                late.kind = Kind::Video;
                late.pack = 1;
                late.offset = 2048 + 40;
                late.lastPack = 3;
                late.lastOffset = 4 * 2048 - 1;
                late.pictureType = 1;
                late.timed = late.ptsCoded = true;
                late.pts27 = 0;
                late.duration27 = kSecond / 2;
            }
        }
        s.events.push_back(late);
        s.events.push_back(StreamEnd{uint64_t(vobus) * 4 * 2048, vobus * 4});
        const auto findings = s.Run();
        EXPECT_EQ(Checks(findings), Ids{"model-limit"}) << Describe(findings);
        EXPECT_EQ(findings[0].stream, 0xBF);
    }
    {
        // More episodes of one rule and stream than are kept: the last kept one counts
        // the rest, the totals count them all.
        Script s = CleanStream();
        int bad = 0, video = 0;
        for (Event& e : s.events)
            if (auto* pes = std::get_if<PesEvent>(&e); pes && pes->stream == kVideo)
                if (video++ % 2 == 0)  // every other video packet: one episode each
                {
                    pes->hasDts = true;
                    pes->dts27 = pes->pts27 + 300;
                    ++bad;
                }
        Script longer = s;
        for (int copy = 0; copy < 6; ++copy)
            longer = Join(longer, s, {BaseAt(0, TimeBaseEvent::Reason::ProgramEnd)});
        Judge j;
        longer.Feed(j.pipeline.Events());
        uint64_t kept = 0, counted = 0;
        for (const Finding& f : j.checks.Log().Findings())
            if (std::string(f.check) == "dts-after-pts")
                ++kept, counted += f.count;
        ASSERT_GT(7 * bad, int(checks::FindingLog::kMaxPerCheck));
        EXPECT_EQ(kept, checks::FindingLog::kMaxPerCheck);
        EXPECT_EQ(counted, uint64_t(7 * bad));
        EXPECT_EQ(j.checks.Log().Total(checks::Severity::Error), uint64_t(7 * bad));
    }
}
