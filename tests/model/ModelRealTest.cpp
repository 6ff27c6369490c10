// The stream model on streams made by ffmpeg, mplex, spumux and dvdauthor at test time
// (make-model-streams.sh), set against what ffprobe reports for the same files.

#include "ModelSupport.h"
#include "model/StreamStats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

namespace
{

const std::string kDir = VARNODEL_MODEL_STREAMS;

std::string Run(const std::string& command)
{
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

std::vector<std::vector<std::string>> Csv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        std::vector<std::string> row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ','))
            row.push_back(field);
        if (!row.empty())
            rows.push_back(row);
    }
    return rows;
}

// ffprobe's stream ids: 0x1E0 for a PES stream, 0x80 for a private stream 1 substream.
model::StreamKey KeyOf(const std::string& id)
{
    const unsigned long v = std::stoul(id, nullptr, 16);
    return v >= 0x100 ? model::MakeStreamKey(static_cast<uint8_t>(v & 0xFF))
                      : model::MakeStreamKey(0xBD, static_cast<uint8_t>(v));
}

struct Probe
{
    struct Packet
    {
        std::string pts, dts;
    };
    std::map<model::StreamKey, std::string> codec;
    std::map<model::StreamKey, std::vector<Packet>> packets;
    std::string codedTypes;  // video picture types in coded order
};

Probe ProbeFile(const std::string& path)
{
    Probe probe;
    std::map<int, model::StreamKey> keys;
    for (const auto& row : Csv(Run("ffprobe -v error -show_entries stream=index,codec_name,id -of csv=p=0 '" + path + "'")))
    {
        if (row.size() >= 3)
        {
            keys[std::stoi(row[0])] = KeyOf(row[2]);
            probe.codec[KeyOf(row[2])] = row[1];
        }
    }
    for (const auto& row : Csv(Run("ffprobe -v error -show_entries packet=stream_index,pts,dts -of csv=p=0 '" + path + "'")))
    {
        if (row.size() >= 3)
            probe.packets[keys[std::stoi(row[0])]].push_back({row[1], row[2]});
    }
    std::map<int, std::string> types;
    for (const auto& row : Csv(Run("ffprobe -v error -select_streams v -show_entries frame=pict_type,coded_picture_number "
                                   "-of csv=p=0 '" + path + "'")))
        if (row.size() >= 2)
            types[std::stoi(row[1])] = row[0];
    for (const auto& [n, t] : types)
        probe.codedTypes += t;
    return probe;
}

class ModelRealStreams : public ::testing::TestWithParam<const char*>
{
};

// Unit counts, coded picture types and time stamps of every audio and video stream
// against ffprobe; no damage anywhere; MPEG-1 system streams read with their own layout.
TEST_P(ModelRealStreams, UnitsMatchFfprobe)
{
    const std::string path = kDir + "/" + GetParam();
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " was not made";
    RecordingSink sink;
    model::CDemuxer demuxer(sink);
    ASSERT_TRUE(demuxer.Run(path));
    EXPECT_TRUE(sink.resyncs.empty());
    EXPECT_EQ(sink.end.fileSize, std::filesystem::file_size(path));
    const bool mpeg1 = std::string(GetParam()) == "vcd.mpg";
    for (const auto& pack : sink.packs)
        EXPECT_EQ(pack.mpeg2, !mpeg1);

    const Probe probe = ProbeFile(path);
    int compared = 0;
    for (const auto& [key, codec] : probe.codec)
    {
        if (codec != "mpeg1video" && codec != "mpeg2video" && codec != "mp2" && codec != "ac3")
            continue;
        ++compared;
        SCOPED_TRACE(codec);
        const auto& ours = sink.units[key];
        const auto& theirs = probe.packets.at(key);
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i)
        {
            SCOPED_TRACE(i);
            // ffprobe fills in the times of audio frames between coded ones; derived
            // times may differ from its by the rounding to 90 kHz.
            const double slack = ours[i].ptsCoded ? 0 : 1;
            if (theirs[i].pts != "N/A")
            {
                EXPECT_NEAR(static_cast<double>(ours[i].pts), std::stod(theirs[i].pts), slack);
            }
            if (theirs[i].dts != "N/A")
            {
                EXPECT_NEAR(static_cast<double>(ours[i].dts), std::stod(theirs[i].dts), slack);
            }
        }
        if (codec.find("video") != std::string::npos)
        {
            std::string types;
            for (const auto& u : ours)
                types += "?IPBD"[u.pictureType & 7];
            EXPECT_EQ(types, probe.codedTypes);
        }
    }
    EXPECT_GE(compared, 2);
}

// The stream list's rates: every stream with time stamps and bytes has an average, and
// its peak is not below it (streams of two seconds, so no whole second covers them).
TEST_P(ModelRealStreams, BitRatesAgree)
{
    const std::string path = kDir + "/" + GetParam();
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " was not made";
    model::CStreamStats stats;
    ASSERT_TRUE(model::CDemuxer(stats).Run(path));
    for (const model::StreamSummary& s : stats.Streams())
    {
        SCOPED_TRACE(model::StreamLine(s));
        if (!s.hasTime)
        {
            EXPECT_EQ(s.PeakBitsPerSecond(), 0u);
            continue;
        }
        EXPECT_GT(s.unitBytes, 0u);
        EXPECT_GT(s.AverageBitsPerSecond(), 0u);
        EXPECT_GE(s.PeakBitsPerSecond(), s.AverageBitsPerSecond());
        // Navigation packs count their packets' bytes.
        if (s.kind == model::Kind::Navigation)
        {
            EXPECT_EQ(s.unitBytes, s.payloadBytes);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Muxers, ModelRealStreams,
                         ::testing::Values("vcd.mpg", "svcd.mpg", "dvd.mpg", "dvd-sub.mpg", "authored.vob",
                                           "ffdvd.vob"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// dvdauthor's navigation packs: PCI and DSI in every VOBU, block numbers, the links to the
// neighbouring VOBUs and the VOBU start time against the model's own packs and times.
TEST(ModelRealDvd, AuthoredNavigationPacks)
{
    const std::string path = kDir + "/authored.vob";
    ASSERT_TRUE(std::filesystem::exists(path));
    RecordingSink sink;
    model::CDemuxer demuxer(sink);
    ASSERT_TRUE(demuxer.Run(path));
    const auto& navs = sink.navs;
    ASSERT_GE(navs.size(), 3u);
    const auto& video = sink.units[model::MakeStreamKey(0xE0)];
    for (size_t i = 0; i < navs.size(); ++i)
    {
        SCOPED_TRACE(i);
        const model::NavPack& n = navs[i];
        EXPECT_TRUE(n.hasPci && n.hasDsi);
        EXPECT_EQ(n.pciLbn, n.offset / 2048);
        EXPECT_EQ(n.dsiLbn, n.offset / 2048);
        EXPECT_EQ(n.vobIdn, 1);
        EXPECT_EQ(n.cellIdn, 1);
        if (i + 1 < navs.size())
        {
            EXPECT_EQ(n.nextVobu & 0x3FFFFFFF, (navs[i + 1].offset - n.offset) / 2048);
            EXPECT_EQ(n.vobuEa, (navs[i + 1].offset - n.offset) / 2048 - 1);
        }
        if (i > 0)
        {
            EXPECT_EQ(n.prevVobu & 0x3FFFFFFF, (n.offset - navs[i - 1].offset) / 2048);
        }
        // The VOBU starts with the earliest picture of its video.
        int64_t first = INT64_MAX;
        for (const auto& u : video)
            if (u.pack >= n.pack && (i + 1 == navs.size() || u.pack < navs[i + 1].pack))
                first = std::min<int64_t>(first, u.pts27 / 300);
        EXPECT_EQ(n.vobuSPtm, first);
    }
}

// spumux's subpicture (shown from 0.5 s to 1.5 s) and ffmpeg's LPCM.
TEST(ModelRealDvd, SubpictureAndLpcm)
{
    RecordingSink sub;
    model::CDemuxer(sub).Run(kDir + "/dvd-sub.mpg");
    const auto& spus = sub.units[model::MakeStreamKey(0xBD, 0x20)];
    ASSERT_EQ(spus.size(), 1u);
    EXPECT_TRUE(spus[0].ptsCoded);
    EXPECT_TRUE(spus[0].hasDisplayStart && spus[0].hasDisplayStop);
    EXPECT_NEAR(static_cast<double>(spus[0].displayStop) - spus[0].displayStart, 90000.0, 1024.0);
    const Probe probe = ProbeFile(kDir + "/dvd-sub.mpg");
    EXPECT_EQ(spus[0].pts, std::stoull(probe.packets.at(model::MakeStreamKey(0xBD, 0x20)).at(0).pts));

    RecordingSink lpcm;
    model::CDemuxer(lpcm).Run(kDir + "/ffdvd.vob");
    const auto key = model::MakeStreamKey(0xBD, 0xA0);
    const auto& frames = lpcm.units[key];
    uint64_t payload = 0;
    for (const auto& p : lpcm.pes)
        if (p.stream == key)
            payload += p.payloadSize;
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].sampleRate, 48000u);
    EXPECT_EQ(frames[0].bitsPerSample, 16);
    const uint32_t frameSize = frames[0].size;
    EXPECT_EQ(frameSize, 80u * frames[0].channels * 2);
    EXPECT_EQ(payload / frameSize, frames.size());  // two seconds of 1/600 s frames
    EXPECT_EQ(frames.size(), 1200u);
}

}  // namespace
