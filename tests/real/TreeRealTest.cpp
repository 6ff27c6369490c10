// The default tree, walked by packet lengths, on real streams made at test time by mplex,
// ffmpeg, dvdauthor, spumux, vcdimager, mencoder and GStreamer (make-model-streams.sh and
// make-tree-streams.sh), set beside the stream model's view of the same files and beside
// the elementary streams they were muxed from.

#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "model/CDemuxer.h"
#include "stream/CCdxaInput.h"
#include "support/TestFiles.h"
#include "support/TreeLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

const uint8_t kPackCode[4] = {0x00, 0x00, 0x01, 0xBA};
const std::string kModel = VARNODEL_MODEL_STREAMS;
const std::string kMade = VARNODEL_TREE_STREAMS;

struct Tree
{
    CResultTree lines;
    CAnalysisDriver::Outcome outcome{};
    uint32_t packs = 0;
    std::vector<uint64_t> positions;  // of the pack records
    std::string text;

    // Lines whose text starts with prefix.
    size_t Count(const std::string& prefix) const
    {
        size_t n = 0;
        for (ItemId id = 1; id <= lines.Count(); ++id)
            n += LineText(lines, id).rfind(prefix, 0) == 0;
        return n;
    }
    size_t Marks() const
    {
        size_t n = 0;
        for (ItemId id = 1; id <= lines.Count(); ++id)
            n += lines.Image(id) == TreeImage::Error;
        return n;
    }
    ItemId Find(const std::vector<std::string>& path) const { return FindLine(lines, kNoItem, path); }
    // The frame lines under a stream's item of "Elementary streams".
    size_t FramesUnder(const std::string& item) const
    {
        const ItemId stream = Find({LineText(lines, lines.Child(kNoItem, 0)), "Elementary streams", item});
        size_t n = 0;
        for (ItemId id = stream + 1; stream != kNoItem && id <= lines.Count(); ++id)
        {
            ItemId up = lines.Parent(id);
            while (up != kNoItem && up != stream)
                up = lines.Parent(up);
            n += up == stream && LineText(lines, id).rfind("audio header @ ", 0) == 0;
        }
        return n;
    }
};

void Analyze(const std::string& path, Tree& t, bool byLength = true)
{
    IAnalysisHost host;
    CAnalysisDriver driver(t.lines, host);
    driver.SetFollowPacketLengths(byLength);
    t.outcome = driver.Analyze(path, 0);
    t.packs = driver.PackCount();
    for (const CPackNode& n : driver.Records()->Nodes())
        if (n.m_nPackNumber != 0)
            t.positions.push_back(n.m_nPosition);
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    WriteTreeText(t.lines, out);
    std::fclose(out);
    t.text.assign(buffer, size);
    std::free(buffer);
}

// What the stream model sees in a file: packs, navigation packs, access units per stream.
struct ModelView : model::IModelSink
{
    uint32_t packs = 0, navPacks = 0;
    std::map<model::StreamKey, size_t> units;
    void OnPack(const model::PackEvent&) override { ++packs; }
    void OnNavPack(const model::NavPack&) override { ++navPacks; }
    void OnAccessUnit(const model::AccessUnit& u) override { ++units[u.stream]; }
};

ModelView Model(const std::string& path)
{
    ModelView view;
    model::CDemuxer demuxer(view);
    EXPECT_TRUE(demuxer.Run(path)) << path;
    return view;
}

std::string Command(const std::string& command)
{
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// ---------------------------------------------------------------------------- every muxer

TEST(TreeReal, CleanStreamsShowNoMarkAndEveryPackTheDemultiplexerFinds)
{
    const std::vector<std::string> streams = {
        kModel + "/vcd.mpg",      kModel + "/svcd.mpg",    kModel + "/dvd.mpg",   kModel + "/dvd-sub.mpg",
        kModel + "/authored.vob", kModel + "/ffdvd.vob",   kMade + "/dvd-mp2.mpg", kMade + "/paldvd.mpg",
        kMade + "/vcd.dat",       kMade + "/svcd.dat",     kMade + "/menc.mpg",   kMade + "/gst.mpg",
        kMade + "/short.mp2",     kModel + "/vcd.mp2",
    };
    for (const std::string& path : streams)
    {
        SCOPED_TRACE(path);
        Tree t;
        Analyze(path, t);
        EXPECT_EQ(t.outcome, CAnalysisDriver::Outcome::EndOfInput);
        EXPECT_EQ(t.Marks(), 0u);
        // Everything under the root: no "DATA" or "PES HEADER" beside it.
        EXPECT_EQ(t.lines.ChildCount(kNoItem), 1u);
        const ModelView model = Model(path);
        EXPECT_EQ(t.packs, model.packs);
        EXPECT_EQ(t.Count("PACK #"), model.packs);
        // The byte walk never finds more packs.
        Tree bytes;
        Analyze(path, bytes, false);
        EXPECT_LE(bytes.packs, t.packs);
    }
}

// ---------------------------------------------------------------------------- audio frames

TEST(TreeReal, AudioFramesAreTheFramesOfTheStreamsMuxed)
{
    // mplex's DVD with AC-3 and MP2: every frame of each elementary file shows once.
    Tree t;
    Analyze(kMade + "/dvd-mp2.mpg", t);
    const size_t mp2Frames = ReadWholeFile(kMade + "/dvd.mp2").size() / 672;   // 224 kbit/s, 48 kHz
    const size_t ac3Frames = ReadWholeFile(kModel + "/dvd.ac3").size() / 768;  // 192 kbit/s, 48 kHz
    EXPECT_EQ(t.FramesUnder("(Audio Stream 1)"), mp2Frames);
    EXPECT_EQ(t.FramesUnder("(AC-3 Stream 0x80)"), ac3Frames);
    EXPECT_EQ(t.Marks(), 0u);
    // This stream has MP2 headers that packet boundaries cut: the byte walk, which reads
    // every payload on its own, takes the frame after one for a missing one.
    Tree bytes;
    Analyze(kMade + "/dvd-mp2.mpg", bytes, false);
    EXPECT_GT(bytes.Marks(), 0u);

    // ffmpeg's and dvdauthor's AC-3, ffmpeg's MP2 in a VOB: the frames the stream model
    // cuts the audio into.
    for (const std::string& path : {kModel + "/ffdvd.vob", kModel + "/authored.vob", kMade + "/paldvd.mpg",
                                    kModel + "/svcd.mpg", kMade + "/gst.mpg"})
    {
        SCOPED_TRACE(path);
        Tree v;
        Analyze(path, v);
        const ModelView model = Model(path);
        const auto units = [&](model::StreamKey key) {
            const auto found = model.units.find(key);
            return found == model.units.end() ? size_t{0} : found->second;
        };
        EXPECT_EQ(v.FramesUnder("(AC-3 Stream 0x80)"), units(model::MakeStreamKey(0xBD, 0x80)));
        EXPECT_EQ(v.FramesUnder("(Audio Stream 0)"), units(model::MakeStreamKey(0xC0)));
        EXPECT_GT(v.Count("audio header @ "), 0u);
    }
}

TEST(TreeReal, AnAudioFileShowsItsFramesAndWhereOneIsMissing)
{
    const Bytes mp2 = ReadWholeFile(kMade + "/dvd.mp2");  // 672-byte frames
    Tree t;
    Analyze(kMade + "/dvd.mp2", t);
    EXPECT_EQ(t.FramesUnder("(Audio Stream 0)"), mp2.size() / 672);
    EXPECT_EQ(t.Count("audio header @ 0 offs. (expecting @ 0)"), 1u);
    EXPECT_EQ(t.Marks(), 0u);

    // 100 bytes cut out of the eleventh frame: the twelfth starts 100 bytes before the
    // eleventh's length says. The walk looks on from there, so the first header it finds
    // is the thirteenth's, marked with where a frame was expected.
    Bytes cut = mp2;
    cut.erase(cut.begin() + 10 * 672 + 300, cut.begin() + 10 * 672 + 400);
    TempDir dir;
    Tree c;
    Analyze(dir.Write("cut.mp2", cut), c);
    EXPECT_EQ(c.Marks(), 1u);
    EXPECT_EQ(c.Count("audio header @ " + std::to_string(12 * 672 - 100) + " offs. ERR: ! " + std::to_string(11 * 672)),
              1u);
    EXPECT_EQ(c.FramesUnder("(Audio Stream 0)"), mp2.size() / 672 - 1);
}

// ---------------------------------------------------------------------------- DVD

TEST(TreeReal, NavigationPacketsShowUnderTheirPack)
{
    for (const std::string& path : {kModel + "/authored.vob", kModel + "/ffdvd.vob", kMade + "/paldvd.mpg"})
    {
        SCOPED_TRACE(path);
        Tree t;
        Analyze(path, t);
        const ModelView model = Model(path);
        ASSERT_GT(model.navPacks, 0u);
        EXPECT_EQ(t.Count("PCI"), model.navPacks);
        EXPECT_EQ(t.Count("DSI"), model.navPacks);
        EXPECT_EQ(t.Count("Stream 0xBF"), 0u);
        // The first pack is a navigation pack.
        const std::string root = LineText(t.lines, t.lines.Child(kNoItem, 0));
        const ItemId data = t.Find({root, "Packet structure", "PACK #1", "DATA"});
        ASSERT_NE(data, kNoItem);
        bool pci = false, dsi = false;
        for (uint32_t row = 0; row < t.lines.ChildCount(data); ++row)
        {
            pci |= LineText(t.lines, t.lines.Child(data, row)) == "PCI";
            dsi |= LineText(t.lines, t.lines.Child(data, row)) == "DSI";
        }
        EXPECT_TRUE(pci && dsi);
    }
    // dvdauthor numbers each navigation pack by its block in the VOB: the pack's own
    // number less one.
    Tree a;
    Analyze(kModel + "/authored.vob", a);
    const std::string root = LineText(a.lines, a.lines.Child(kNoItem, 0));
    for (uint32_t pack = 1; pack <= a.packs; ++pack)
    {
        const ItemId pci = a.Find({root, "Packet structure", "PACK #" + std::to_string(pack), "DATA", "PCI"});
        if (pci == kNoItem)
            continue;
        EXPECT_EQ(LineText(a.lines, a.lines.Child(pci, 1)), "nv_pck_lbn = " + std::to_string(pack - 1));
    }
}

// ---------------------------------------------------------------------------- Video CD files

TEST(TreeReal, VideoCdFilesReadAsTheStreamsOnTheDisc)
{
    for (const auto& [dat, mpg] : {std::pair{kMade + "/vcd.dat", kModel + "/vcd.mpg"},
                                   std::pair{kMade + "/svcd.dat", kModel + "/svcd.mpg"}})
    {
        SCOPED_TRACE(dat);
        // The sectors' user data is the muxer's stream, with the empty sectors vcdimager
        // puts around it.
        int error = 0;
        const std::unique_ptr<CInput> input = OpenInput(dat, &error);
        ASSERT_NE(input, nullptr);
        ASSERT_NE(dynamic_cast<CCdxaInput*>(input.get()), nullptr);
        Bytes stream(input->Size());
        ASSERT_EQ(input->Read(stream.data(), static_cast<uint32_t>(stream.size())), stream.size());
        Bytes kept;
        for (size_t at = 0; at < stream.size(); at += CCdxaInput::kForm2UserSize)
        {
            const auto begin = stream.begin() + static_cast<long>(at);
            const auto end = begin + static_cast<long>(std::min<size_t>(CCdxaInput::kForm2UserSize, stream.size() - at));
            if (std::any_of(begin, end, [](uint8_t b) { return b != 0; }))
                kept.insert(kept.end(), begin, end);
        }
        EXPECT_EQ(kept, ReadWholeFile(mpg));

        // The same tree as the muxer's file, but for the name on the root line.
        Tree d, m;
        Analyze(dat, d);
        Analyze(mpg, m);
        EXPECT_EQ(d.text.substr(d.text.find('\n')), m.text.substr(m.text.find('\n')));
        // The records keep offsets in the .DAT file: each is just after a pack start code.
        const Bytes file = ReadWholeFile(dat);
        ASSERT_EQ(d.positions.size(), m.positions.size());
        for (const uint64_t position : d.positions)
        {
            ASSERT_GE(position, 4u);
            ASSERT_LE(position, file.size());
            EXPECT_EQ(Bytes(file.begin() + static_cast<long>(position - 4), file.begin() + static_cast<long>(position)),
                      (Bytes{0x00, 0x00, 0x01, 0xBA}));
        }
        // The checks read it through its sectors too: its stream loses no sync.
        const std::string report = Command(std::string(VARNODEL_CLI) + " --check '" + dat + "'");
        EXPECT_EQ(report.find("sync-lost"), std::string::npos) << report;
        EXPECT_NE(report.find("0 errors,"), std::string::npos) << report;

        // What the model reports is placed in the .DAT too: every unit's offset is its
        // first byte in the file (a start code for pictures), and a fault is found where
        // it is in the file, its size the file's.
        const std::string units = Command(std::string(VARNODEL_CLI) + " --units '" + dat + "'");
        size_t pictures = 0;
        for (size_t at = units.find("\n0xE0,"); at != std::string::npos; at = units.find("\n0xE0,", at + 1))
        {
            // stream,index,type,offset,...
            size_t field = at + 1;
            for (int k = 0; k < 3; ++k)
                field = units.find(',', field) + 1;
            const uint64_t offset = std::stoull(units.substr(field));
            ASSERT_LE(offset + 4, file.size());
            EXPECT_EQ(Bytes(file.begin() + static_cast<long>(offset), file.begin() + static_cast<long>(offset) + 3),
                      (Bytes{0x00, 0x00, 0x01}))
                << offset;
            ++pictures;
        }
        EXPECT_GT(pictures, 10u);
        const std::string streams = Command(std::string(VARNODEL_CLI) + " --streams '" + dat + "'");
        EXPECT_NE(streams.find(" packs, " + std::to_string(file.size()) + " bytes"), std::string::npos) << streams;

        // The tenth pack's SCR set to 0 (markers kept): scr-backwards at its start code.
        Bytes broken = file;
        size_t pack = 0;
        for (int k = 0; k < 10; ++k)
            pack = static_cast<size_t>(std::search(broken.begin() + static_cast<long>(pack) + 1, broken.end(),
                                                   std::begin(kPackCode), std::end(kPackCode)) -
                                       broken.begin());
        ASSERT_LT(pack + 12, broken.size());
        const uint8_t zero[5] = {broken[pack + 4] >= 0x40 ? uint8_t{0x44} : uint8_t{0x21}, 0x00,
                                 broken[pack + 4] >= 0x40 ? uint8_t{0x04} : uint8_t{0x01}, 0x00,
                                 broken[pack + 4] >= 0x40 ? uint8_t{0x04} : uint8_t{0x01}};
        std::copy(zero, zero + 5, broken.begin() + static_cast<long>(pack) + 4);
        TempDir dir;
        const std::string copy = dir.Write("broken.dat", broken);
        const std::string judged = Command(std::string(VARNODEL_CLI) + " --check '" + copy + "'");
        EXPECT_NE(judged.find("scr-backwards   pack 10  @" + std::to_string(pack) + " "), std::string::npos) << judged;
    }
}

}  // namespace
