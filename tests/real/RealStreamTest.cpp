// The analysis of the real streams under tests/real/streams (written by ffmpeg, see
// make-streams.sh) against what ffmpeg 5.1.9's own tools report for the same files.
// The expected values were copied from:
//   picture types in coded order  ffprobe -show_entries frame=pict_type,coded_picture_number
//   temporal references, GOPs     ffmpeg -c copy -bsf:v trace_headers (coded order)
//   sizes, aspect, rates          ffprobe -show_streams (CPB side data for MPEG-2)
//   audio frame lengths           ffprobe -show_entries packet=size (one packet per frame)
// compare.sh repeats the comparison item by item where ffmpeg is installed.

#include "analysis/CAnalysisDriver.h"
#include "support/TreeLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Strings = std::vector<std::string>;

struct QuietHost : IAnalysisHost
{
    Strings messages;
    void ShowMessage(const std::string& text, const std::string&) override { messages.push_back(text); }
};

struct Picture
{
    int tref;
    std::string type;  // "I", "P", "B", or the whole text of any other coding type
};

struct AudioFrame
{
    int length;
    Strings lines;  // the six lines under the frame's "audio header @" line
};

// What one whole-file run shows, gathered from the tree.
struct Analysis
{
    std::vector<Picture> pictures;      // "Video sequence", file order
    std::vector<Strings> sequences;     // lines under each "sequence header" there
    Strings timecodes;                  // the time code line of each GOP there
    Strings streamItems;                // the children of "Elementary streams"
    std::vector<AudioFrame> audio;      // every audio header line, file order
    int errorLines = 0;                 // lines that carry the error image
    Strings messages;

    std::string Types() const
    {
        std::string s;
        for (const Picture& p : pictures)
            s += p.type.size() == 1 ? p.type : "?";
        return s;
    }
    std::vector<int> Trefs() const
    {
        std::vector<int> v;
        for (const Picture& p : pictures)
            v.push_back(p.tref);
        return v;
    }
    std::vector<int> AudioLengths() const
    {
        std::vector<int> v;
        for (const AudioFrame& f : audio)
            v.push_back(f.length);
        return v;
    }
};

ItemId ChildNamed(const CResultTree& tree, ItemId parent, const std::string& text)
{
    for (uint32_t r = 0; r < tree.ChildCount(parent); ++r)
        if (LineText(tree, tree.Child(parent, r)) == text)
            return tree.Child(parent, r);
    return kNoItem;
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

Analysis Analyze(const std::string& name, bool byLength = true)
{
    CResultTree tree;
    QuietHost host;
    CAnalysisDriver driver(tree, host);
    driver.SetFollowPacketLengths(byLength);
    const std::string path = std::string(VARNODEL_REAL_STREAMS) + "/" + name;
    Analysis a;
    EXPECT_EQ(driver.Analyze(path, 0), CAnalysisDriver::Outcome::EndOfInput) << name;
    a.messages = host.messages;

    for (ItemId id = 1; id <= tree.Count(); ++id)
        if (tree.Image(id) == TreeImage::Error)
            ++a.errorLines;

    const ItemId root = tree.Child(kNoItem, 0);
    const ItemId video = ChildNamed(tree, root, "Video sequence");
    for (uint32_t r = 0; r < tree.ChildCount(video); ++r)
    {
        const ItemId item = tree.Child(video, r);
        const std::string text = LineText(tree, item);
        if (text == "sequence header")
            a.sequences.push_back(ChildTexts(tree, item));
        else if (text == "group of pictures")
            a.timecodes.push_back(LineText(tree, tree.Child(item, 1)));
        else if (StartsWith(text, "picture (tref = "))
        {
            // "picture (tref = %d, %s)"
            const size_t comma = text.find(", ");
            Picture p{std::stoi(text.substr(16, comma - 16)), text.substr(comma + 2, text.size() - comma - 3)};
            if (p.type == "I-Frame" || p.type == "P-Frame" || p.type == "B-Frame")
                p.type = p.type.substr(0, 1);
            a.pictures.push_back(p);
        }
    }

    const ItemId streams = ChildNamed(tree, root, "Elementary streams");
    a.streamItems = ChildTexts(tree, streams);
    for (uint32_t s = 0; s < tree.ChildCount(streams); ++s)
    {
        const ItemId stream = tree.Child(streams, s);
        if (!StartsWith(LineText(tree, stream), "(Audio Stream "))
            continue;
        for (uint32_t p = 0; p < tree.ChildCount(stream); ++p)
        {
            const ItemId packet = tree.Child(stream, p);
            for (uint32_t h = 0; h < tree.ChildCount(packet); ++h)
            {
                const ItemId header = tree.Child(packet, h);
                if (!StartsWith(LineText(tree, header), "audio header @ "))
                    continue;
                AudioFrame f{0, ChildTexts(tree, header)};
                if (f.lines.size() == 6 && StartsWith(f.lines[5], "Frame Size = "))
                    f.length = std::stoi(f.lines[5].substr(13));
                a.audio.push_back(f);
            }
        }
    }
    return a;
}

std::vector<int> Repeat(int value, size_t count)
{
    return std::vector<int>(count, value);
}

Strings SequenceLines(int width, int height, const std::string& aspect, int bitRate, int vbv)
{
    return {"horizontal size = " + std::to_string(width), "vertical size = " + std::to_string(height),
            "aspect ratio = " + aspect, "bitrate = " + std::to_string(bitRate),
            "VBV buffer size = " + std::to_string(vbv) + " (== " + std::to_string(2 * vbv) + " KB)"};
}

// ---------------------------------------------------------------------------- video

TEST(RealStreams, VideoElementaryStreamAgreesWithProbe)
{
    const Analysis a = Analyze("video.m2v");
    EXPECT_TRUE(a.messages.empty());

    // ffprobe: 720x480, DAR 4:3 (code 2), CPB max bitrate 400000, buffer 1835008 bits
    // (112 units of 16 kbit); trace_headers: bit_rate_value 1000, vbv_buffer_size_value 112.
    ASSERT_EQ(a.sequences.size(), 3u);
    for (const Strings& lines : a.sequences)
        EXPECT_EQ(lines, SequenceLines(720, 480, "4:3", 400000, 112));

    EXPECT_EQ(a.Types(), "IPBBPBBPBBPBBIBBPBBPBBPBBPBBIB");
    EXPECT_EQ(a.Trefs(), (std::vector<int>{0, 3, 1, 2, 6, 4, 5, 9, 7, 8, 12, 10, 11, 2, 0,
                                           1, 5, 3, 4, 8, 6, 7, 11, 9, 10, 14, 12, 13, 1, 0}));
    // trace_headers time_code 4096, 4109, 4124: the marker bit plus 0, 13 and 28 pictures.
    EXPECT_EQ(a.timecodes, (Strings{"timecode :  00:00:00.00", "timecode :  00:00:00.13", "timecode :  00:00:00.28"}));
    EXPECT_EQ(a.errorLines, 0);
}

TEST(RealStreams, Mpeg1ProgramStreamVideoAgreesWithProbe)
{
    const Analysis a = Analyze("mpeg1.mpg");

    // ffprobe: mpeg1video 352x288, SAR 1:1 (code 1), bit_rate 104857200 (the all-ones
    // value of a variable-rate MPEG-1 sequence header, times 400). ffprobe shows no VBV
    // buffer size for MPEG-1, so that line is left out.
    ASSERT_EQ(a.sequences.size(), 3u);
    for (Strings lines : a.sequences)
    {
        ASSERT_EQ(lines.size(), 5u);
        lines.pop_back();
        Strings expected = SequenceLines(352, 288, "1:1 (square pixels)", 104857200, 0);
        expected.pop_back();
        EXPECT_EQ(lines, expected);
    }
    EXPECT_EQ(a.Types(), "IPBBPBBPBBIBBPBBPBBPBBIBB");
    EXPECT_EQ(a.errorLines, 0);
}

// ---------------------------------------------------------------------------- program streams

TEST(RealStreams, DvdProgramStreamAgreesWithProbe)
{
    const Analysis a = Analyze("dvd.vob");
    EXPECT_TRUE(a.messages.empty());

    // The dvd muxer's system header names the streams only as 0xB8 (all audio) and 0xB9
    // (all video); the packets of 0xC0 and 0xE0 are decoded all the same.
    EXPECT_EQ(a.streamItems, (Strings{"(Video Stream 0)", "(Audio Stream 0)"}));

    // ffprobe: 720x576, DAR 16:9 (code 3), CPB max bitrate 500000, buffer 112 units.
    ASSERT_EQ(a.sequences.size(), 5u);
    for (const Strings& lines : a.sequences)
        EXPECT_EQ(lines, SequenceLines(720, 576, "16:9", 500000, 112));

    EXPECT_EQ(a.Types(), "IPBBPBBPBBIBBPBBPBBPBBIBBPBBPBBPBBIBBPBBPBBPBBIBBP");
    EXPECT_EQ(a.Trefs(), (std::vector<int>{0, 3, 1, 2, 6, 4, 5, 9, 7, 8, 2, 0, 1, 5, 3, 4, 8,
                                           6, 7, 11, 9, 10, 2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10,
                                           2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10, 2, 0, 1, 3}));
    EXPECT_EQ(a.timecodes, (Strings{"timecode :  00:00:00.00", "timecode :  00:00:00.10", "timecode :  00:00:00.22",
                                    "timecode :  00:00:01.09", "timecode :  00:00:01.21"}));

    // ffprobe: mp2, 48000 Hz, 224000 bit/s, 84 packets of 672 bytes. The frames straddle
    // the 2048-byte packs, so every packet's first frame is found at the carried offset.
    EXPECT_EQ(a.AudioLengths(), Repeat(672, 84));
    for (const AudioFrame& f : a.audio)
        EXPECT_EQ(f.lines, (Strings{"MPEG1, Level 2", "protection bit = 1 (no CRC)", "Bitrate idx = 11 (224000 bps)",
                                    "Sampling Freq. idx = 1 (48.0 kHz)", "padding = 0 ", "Frame Size = 672 bytes (24.00 ms)"}));
    EXPECT_EQ(a.errorLines, 0);
}

TEST(RealStreams, ProgramStreamCarriesTheAudioFileFrameForFrame)
{
    for (const bool byLength : {true, false})
    {
        SCOPED_TRACE(byLength ? "by lengths" : "byte by byte");
        const Analysis a = Analyze("program.vob", byLength);

        // ffprobe on audio.mp2 (which program.vob carries unchanged): 44100 Hz, 128000
        // bit/s, 39 packets: 417, then 23 of 418, 417 again, then 14 of 418.
        std::vector<int> lengths{417};
        lengths.insert(lengths.end(), 23, 418);
        lengths.push_back(417);
        lengths.insert(lengths.end(), 14, 418);
        EXPECT_EQ(a.AudioLengths(), lengths);
        for (const AudioFrame& f : a.audio)
        {
            ASSERT_EQ(f.lines.size(), 6u);
            EXPECT_EQ(f.lines[2], "Bitrate idx = 8 (128000 bps)");
            EXPECT_EQ(f.lines[3], "Sampling Freq. idx = 0 (44.1 kHz)");
            // 144 * 128 / 44.1 = 417.96 slots: the padding bit makes the 418-byte frames.
            EXPECT_EQ(f.lines[4], f.length == 418 ? "padding = 1 " : "padding = 0 ");
        }
        EXPECT_EQ(a.errorLines, 0);

        // ffprobe: 720x576, DAR 4:3, CPB max bitrate 600000.
        ASSERT_EQ(a.sequences.size(), 3u);
        for (const Strings& lines : a.sequences)
            EXPECT_EQ(lines, SequenceLines(720, 576, "4:3", 600000, 112));

        // The muxer cut the picture coding extension's start code 00 00 01 B5 between two
        // packets. The walk by lengths joins the video payloads and finds the extension;
        // scanning the file instead, the byte walk takes the 00 00 01 at the end of the
        // first packet and the next pack's first byte for a picture start code: one
        // picture more than the decoder sees, with coding type 0.
        std::vector<Picture> real;
        int spurious = 0;
        for (const Picture& p : a.pictures)
            if (p.type == "Forbidden (= 0)")
                ++spurious;
            else
                real.push_back(p);
        EXPECT_EQ(spurious, byLength ? 0 : 1);
        std::string types;
        std::vector<int> trefs;
        for (const Picture& p : real)
        {
            types += p.type;
            trefs.push_back(p.tref);
        }
        EXPECT_EQ(types, "IPBBPBBIBBPBBPBBIBBPBBPBB");
        EXPECT_EQ(trefs, (std::vector<int>{0, 3, 1, 2, 6, 4, 5, 2, 0, 1, 5, 3, 4, 8, 6, 7, 2, 0, 1, 5, 3, 4, 8, 6, 7}));
    }
}

}  // namespace
