// Audio frames followed through the payloads of their stream: whatever the packet sizes,
// every frame is found once, where it starts; a frame header that a packet boundary cuts
// is joined with the next payload; only a real gap is reported as one.

#include "analysis/FrameWalk.h"
#include "support/StreamWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Codec = CFrameWalk::Codec;

// Frames of each codec whose bodies hold no sync word (zeros).
Bytes Frames(Codec codec, int count, uint32_t& length)
{
    Bytes header;
    switch (codec)
    {
    case Codec::MpegAudio:
        // FF FD: sync, MPEG-1, layer II, no CRC; E4: 384 kbit/s, 48 kHz, no padding.
        header = {0xFF, 0xFD, 0xE4, 0x04};
        length = 1152;
        break;
    case Codec::Ac3:
        header = {
            0x0B, 0x77,  // syncword
            0x12, 0x34,  // crc1
            0x14,        // fscod 0 (48 kHz), frmsizecod 20 (192 kbit/s): 768 bytes
            0x40,        // bsid 8, bsmod 0
            0x40, 0x00,  // acmod 2 (2/0), dsurmod, lfeon 0
        };
        length = 768;
        break;
    case Codec::Dts:
        header = {
            0x7F, 0xFE, 0x80, 0x01,  // core sync word
            0xFC,        // FTYPE 1, SHORT 31, CPF 0, NBLKS bit 6 = 0
            0x3C,        // NBLKS 15 (512 samples), FSIZE bits 13-12 = 0
            0x3E,        // FSIZE bits 11-4: FSIZE 1005, a frame of 1006 bytes
            0xD2,        // FSIZE bits 3-0 = 0xD, AMODE bits 5-2 = 2
            0x75,        // AMODE bits 1-0 = 1 (AMODE 9), SFREQ 13 (48 kHz), RATE bits 4-3 = 1
            0xE0,        // RATE bits 2-0 = 7 (RATE 15), FIXEDBIT, DYNF, TIMEF, AUXF, HDCD
            0x00,        // EXT_AUDIO_ID, EXT_AUDIO, ASPF, LFF 0, HFLAG
        };
        length = 1006;
        break;
    }
    Bytes out;
    for (int i = 0; i < count; ++i)
    {
        out.insert(out.end(), header.begin(), header.end());
        out.resize(out.size() + length - header.size(), 0x00);
    }
    return out;
}

struct Found
{
    int64_t at;  // in the whole stream
    bool first, missing;
};

// Walks stream cut into payloads at the given boundaries; frames by stream position.
std::vector<Found> Walk(Codec codec, const Bytes& stream, const std::vector<size_t>& cuts, bool continuous = false)
{
    CFrameWalk walk(codec, continuous);
    std::vector<size_t> starts;
    std::vector<Found> found;
    size_t from = 0;
    for (size_t i = 0; i <= cuts.size(); ++i)
    {
        const size_t to = i < cuts.size() ? cuts[i] : stream.size();
        starts.push_back(from);
        walk.Payload(stream.data() + from, to - from, static_cast<uint32_t>(i), [&](const CFrameWalk::Frame& f) {
            EXPECT_GT(f.length, 0u);
            EXPECT_EQ(f.headerBytes, walk.HeaderBytes());
            const int64_t at = continuous ? f.at : static_cast<int64_t>(starts[f.owner]) + f.at;
            found.push_back({at, f.first, f.missing});
        });
        from = to;
    }
    return found;
}

// Boundaries every size bytes.
std::vector<size_t> Every(size_t size, size_t total)
{
    std::vector<size_t> cuts;
    for (size_t at = size; at < total; at += size)
        cuts.push_back(at);
    return cuts;
}

TEST(FrameWalk, EveryFrameOnceWhateverThePacketSizes)
{
    for (const Codec codec : {Codec::MpegAudio, Codec::Ac3, Codec::Dts})
    {
        uint32_t length = 0;
        const Bytes stream = Frames(codec, 12, length);
        // Payloads of one byte up to more than a frame, and sizes that put a boundary at
        // every place of a header.
        for (size_t size : {1u, 2u, 3u, 5u, 7u, 11u, 100u, 333u, 1000u, 2017u, 4096u})
        {
            SCOPED_TRACE(std::to_string(static_cast<int>(codec)) + " in payloads of " + std::to_string(size));
            const std::vector<Found> found = Walk(codec, stream, Every(size, stream.size()));
            ASSERT_EQ(found.size(), 12u);
            for (size_t i = 0; i < found.size(); ++i)
            {
                EXPECT_EQ(found[i].at, static_cast<int64_t>(i * length));
                EXPECT_FALSE(found[i].missing);
            }
        }
        for (size_t h = 1; h < 12; ++h)
        {
            SCOPED_TRACE("boundary inside the header, " + std::to_string(h) + " bytes in");
            const std::vector<Found> found = Walk(codec, stream, {length + h, 3 * length + h});
            ASSERT_EQ(found.size(), 12u);
            EXPECT_TRUE(found[0].first);
            // The cut header belongs to the payload it starts in: not its first there...
            EXPECT_FALSE(found[1].first);
            // ...and the next payload's first frame is the one after it.
            EXPECT_TRUE(found[2].first);
            for (const Found& f : found)
                EXPECT_FALSE(f.missing);
        }
    }
}

TEST(FrameWalk, AGapIsOneMissingFrameAndTheWalkGoesOn)
{
    for (const Codec codec : {Codec::MpegAudio, Codec::Ac3, Codec::Dts})
    {
        SCOPED_TRACE(static_cast<int>(codec));
        uint32_t length = 0;
        const Bytes stream = Frames(codec, 10, length);
        // A packet lost: the bytes from 2.5 frames to 4.3 frames never arrive.
        const size_t gap = length * 5 / 2, resume = length * 43 / 10;
        Bytes lost(stream.begin(), stream.begin() + static_cast<long>(gap));
        lost.insert(lost.end(), stream.begin() + static_cast<long>(resume), stream.end());
        const std::vector<Found> found = Walk(codec, lost, {gap});
        ASSERT_EQ(found.size(), 8u);  // frames 0, 1, 2 and 5..9
        size_t missing = 0;
        for (const Found& f : found)
            missing += f.missing;
        EXPECT_EQ(missing, 1u);
        EXPECT_TRUE(found[3].missing);  // frame 5, the first in the second payload
        EXPECT_EQ(found[3].at, static_cast<int64_t>(gap + 5 * length - resume));

        // A payload that holds no frame where one should start: the next one found is
        // marked, however far on.
        Bytes garbage(stream.begin(), stream.begin() + static_cast<long>(length * 2));
        garbage.insert(garbage.end(), 300, 0x00);
        garbage.insert(garbage.end(), stream.begin() + static_cast<long>(length * 2), stream.end());
        const std::vector<Found> late = Walk(codec, garbage, {length * 2, length * 2 + 300});
        ASSERT_EQ(late.size(), 10u);
        EXPECT_TRUE(late[2].missing);
        EXPECT_FALSE(late[3].missing);
    }
}

TEST(FrameWalk, TheFirstFrameOfAStreamIsExpectedWhereverItIs)
{
    uint32_t length = 0;
    Bytes stream(500, 0x11);  // the tail of a frame whose start is not in the file
    const Bytes frames = Frames(Codec::MpegAudio, 3, length);
    stream.insert(stream.end(), frames.begin(), frames.end());
    const std::vector<Found> found = Walk(Codec::MpegAudio, stream, {200});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].at, 500);
    EXPECT_FALSE(found[0].missing);
}

TEST(FrameWalk, AFileIsOneStreamWithOneFirstFrame)
{
    // An audio file read in pieces: positions run on across them.
    uint32_t length = 0;
    const Bytes stream = Frames(Codec::MpegAudio, 8, length);
    const std::vector<Found> found = Walk(Codec::MpegAudio, stream, Every(1000, stream.size()), true);
    ASSERT_EQ(found.size(), 8u);
    for (size_t i = 0; i < found.size(); ++i)
    {
        EXPECT_EQ(found[i].at, static_cast<int64_t>(i * length));
        EXPECT_EQ(found[i].first, i == 0);
    }
}

TEST(FrameWalk, SyncWordsWithoutAValidHeaderAreNoFrames)
{
    // FF FF: bit rate index 15; 0B 77 with fscod 3; 7F FE 80 01 with a frame too short.
    const Bytes mpeg(5000, 0xFF);
    Bytes ac3;
    Bytes dts;
    for (int i = 0; i < 500; ++i)
    {
        ac3.insert(ac3.end(), {0x0B, 0x77, 0x00, 0x00, 0xC0, 0x40, 0x40, 0x00});
        dts.insert(dts.end(), {0x7F, 0xFE, 0x80, 0x01, 0x80, 0x00, 0x10, 0x00, 0x34, 0x00, 0x00});
    }
    EXPECT_TRUE(Walk(Codec::MpegAudio, mpeg, Every(700, mpeg.size())).empty());
    EXPECT_TRUE(Walk(Codec::Ac3, ac3, Every(700, ac3.size())).empty());
    EXPECT_TRUE(Walk(Codec::Dts, dts, Every(700, dts.size())).empty());
}

}  // namespace
