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

using Event = std::variant<PackEvent, SystemHeaderEvent, PesEvent, AccessUnit, NavPack, TimeBaseEvent, ResyncEvent,
                           StreamEnd>;

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
                    if constexpr (std::is_same_v<T, PackEvent>) sink.OnPack(ev);
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
        s.Nth<AccessUnit>(0, IsAudioUnit).ptsCoded = false;
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
                PackEvent p;
                p.index = k;
                p.offset = uint64_t(k) * 2048;
                p.scr27 = k * kSecond / 8;
                p.muxRate = 25200;
                p.scrByteOffset = p.offset + 8;
                s.events.push_back(p);
                if (k == 0)
                    s.events.push_back(sys);
                if (j == 0)
                {
                    NavPack n;
                    n.pack = k;
                    n.offset = p.offset;
                    n.hasPci = n.hasDsi = true;
                    n.pciLbn = n.dsiLbn = k;
                    n.vobuSPtm = uint32_t(pts / 300);
                    n.vobuEPtm = uint32_t((pts + kSecond / 2) / 300);
                    n.vobuEa = 3;
                    n.ref1Ea = 3;
                    n.nextVobu = v + 1 < vobus ? 4 : 0x3FFFFFFF;
                    n.prevVobu = v > 0 ? 4 : 0x3FFFFFFF;
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
