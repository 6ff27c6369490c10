// The stream model on streams from the writer: units joined across packets, MPEG-1
// system streams, damage, the DVD substreams and navigation packs, the column store.

#include "ModelSupport.h"
#include "model/ColumnStore.h"
#include "model/StreamStats.h"
#include "support/StreamWriter.h"
#include "syntax/dvd/AudioSubstreams.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

using model::MakeStreamKey;

RecordingSink Demux(const Bytes& b)
{
    RecordingSink sink;
    model::CDemuxer demuxer(sink);
    demuxer.Run(b.data(), b.size());
    return sink;
}

// MSB-first bit writer for the audio headers below.
struct Bits
{
    Bytes bytes;
    int used = 8;
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
        {
            if (used == 8)
            {
                bytes.push_back(0);
                used = 0;
            }
            bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << (7 - used));
            ++used;
        }
    }
};

// A video elementary stream in coded order, and where each picture's unit starts.
struct VideoEs
{
    Bytes es;
    std::vector<size_t> unitStarts;
    std::string types;
};

VideoEs MakeVideo(const std::string& codedTypes, int sliceBytes)
{
    VideoEs v;
    uint32_t seed = 7;
    auto add = [&](const Bytes& b) { v.es.insert(v.es.end(), b.begin(), b.end()); };
    int tr = 0;
    for (size_t i = 0; i < codedTypes.size(); ++i)
    {
        const char t = codedTypes[i];
        v.unitStarts.push_back(v.es.size());
        if (i == 0)
        {
            add(StreamWriter::SequenceHeader(720, 576, 3, 3, 25000, 112));
            add(StreamWriter::SequenceExtension());
            add(StreamWriter::GopHeader(0, 0, 0, 0, true, false));
        }
        // Display order: an anchor comes after the B pictures that follow it in coded order.
        int display = tr;
        if (t != 'B')
        {
            size_t bs = 0;
            for (size_t j = i + 1; j < codedTypes.size() && codedTypes[j] == 'B'; ++j)
                ++bs;
            display = tr + static_cast<int>(bs);
        }
        else
            display = tr - 1;
        ++tr;
        add(StreamWriter::PictureHeader(display, t == 'I' ? 1 : t == 'P' ? 2 : 3, 0xFFFF));
        add(StreamWriter::PictureCodingExtension());
        add(StreamWriter::Slice(1, sliceBytes, seed));
        v.types += t;
    }
    return v;
}

// Packs of one packet each, the payload cut at the given ES positions; returns the file
// offset of every ES byte's packet payload start (offset of es[cut[k]]).
struct Muxed
{
    Bytes file;
    std::vector<std::pair<size_t, size_t>> pieces;  // ES position, file offset
    uint64_t FileOffset(size_t esPos) const
    {
        auto it = std::upper_bound(pieces.begin(), pieces.end(), std::make_pair(esPos, SIZE_MAX));
        --it;
        return it->second + (esPos - it->first);
    }
};

Muxed Mux(const Bytes& es, std::vector<size_t> cuts, uint8_t id, const std::vector<uint64_t>& pts = {})
{
    Muxed m;
    StreamWriter w;
    cuts.insert(cuts.begin(), 0);
    cuts.push_back(es.size());
    for (size_t k = 0; k + 1 < cuts.size(); ++k)
    {
        w.PackHeader(1000 * k);
        PesOptions o;
        if (k < pts.size() && pts[k])
            o.pts = pts[k];
        const Bytes payload(es.begin() + static_cast<long>(cuts[k]), es.begin() + static_cast<long>(cuts[k + 1]));
        w.PesPacket(id, payload, o);
        m.pieces.emplace_back(cuts[k], w.bytes.size() - payload.size());
    }
    m.file = w.bytes;
    return m;
}

// ---------------------------------------------------------------------------- video

// Start codes cut after their first, second and third byte by packet boundaries still
// open their units; each unit runs from its sequence/GOP header or picture start code to
// the next; a packet's PTS goes to the first picture that starts in it.
TEST(ModelVideo, UnitsAcrossPacketBoundaries)
{
    const VideoEs v = MakeVideo("IBBPBBPBB", 500);
    std::vector<size_t> cuts;
    for (size_t i = 1; i < v.unitStarts.size(); ++i)
        cuts.push_back(v.unitStarts[i] + 1 + (i % 3));  // inside the start code
    // Packet k+1 starts inside picture k+1's start code, so picture k+2 is the first to
    // start in it; only every second packet carries a PTS.
    std::vector<uint64_t> pts(cuts.size() + 1, 0);
    pts[0] = 90000;
    pts[2] = 93600;
    const Muxed m = Mux(v.es, cuts, 0xE0, pts);
    const RecordingSink sink = Demux(m.file);
    const auto& units = sink.units.at(MakeStreamKey(0xE0));
    ASSERT_EQ(units.size(), v.types.size());
    uint64_t total = 0;
    for (size_t i = 0; i < units.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ("?IPBD"[units[i].pictureType], v.types[i]);
        EXPECT_EQ(units[i].esOffset, v.unitStarts[i]);
        EXPECT_EQ(units[i].offset, m.FileOffset(v.unitStarts[i]));
        EXPECT_EQ(units[i].pack, std::upper_bound(cuts.begin(), cuts.end(), v.unitStarts[i]) - cuts.begin());
        EXPECT_EQ(units[i].duration27, 1080000);
        total += units[i].size;
    }
    EXPECT_EQ(total, v.es.size());
    EXPECT_TRUE(units[0].sequenceStart && units[0].gopStart && units[0].closedGop);
    EXPECT_EQ(units.back().lastOffset, m.file.size() - 1);
    // Packet 0 stamps picture 0, packet 2 (which starts inside picture 2's start code)
    // stamps picture 3; the others are derived from the frame period.
    EXPECT_TRUE(units[0].ptsCoded);
    EXPECT_EQ(units[0].pts, 90000u);
    EXPECT_FALSE(units[2].ptsCoded);
    EXPECT_TRUE(units[3].ptsCoded);
    EXPECT_EQ(units[3].pts, 93600u);
    EXPECT_EQ(units[1].dts27, units[0].dts27 + 1080000);
    EXPECT_EQ(units[1].pts27, units[1].dts27);  // B pictures are shown when decoded
    ASSERT_EQ(sink.sequences.size(), 1u);
    EXPECT_TRUE(sink.sequences[0].mpeg2);
    EXPECT_EQ(sink.sequences[0].width, 720u);
    EXPECT_EQ(sink.sequences[0].frameRateNum, 25u);
    EXPECT_TRUE(sink.resyncs.empty());

    model::CStreamStats stats;
    model::CDemuxer(stats).Run(m.file.data(), m.file.size());
    const auto streams = stats.Streams();
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].CommonGop(), "IBBPBBPBB");
    EXPECT_EQ(streams[0].units, 9u);
    std::string json;
    model::AppendStreamJson(json, streams[0]);
    EXPECT_NE(json.find("\"stream\": \"0xE0\", \"kind\": \"video\", \"codec\": \"MPEG-2 video\", \"units\": 9"),
              std::string::npos)
        << json;
}

// Elementary streams: told apart by their first bytes, read without a system layer,
// times counted from 0.
TEST(ModelVideo, ElementaryStreams)
{
    const Bytes video = MakeVideoElementaryStream(3, 12, 5);
    const RecordingSink v = Demux(video);
    EXPECT_EQ(v.container, model::Container::VideoElementary);
    const auto& pictures = v.units.at(MakeStreamKey(0xE0));
    ASSERT_EQ(pictures.size(), 36u);
    EXPECT_EQ(pictures[12].dts27, 12 * 1080000);
    EXPECT_TRUE(pictures[12].gopStart && pictures[12].sequenceStart);

    uint32_t seed = 3;
    Bytes audio;
    for (int i = 0; i < 10; ++i)
    {
        const Bytes f = StreamWriter::Mp2Frame(11, 1, false, seed);  // 224 kbit/s, 48 kHz: 672 bytes
        audio.insert(audio.end(), f.begin(), f.end());
    }
    const RecordingSink a = Demux(audio);
    EXPECT_EQ(a.container, model::Container::AudioElementary);
    const auto& frames = a.units.at(MakeStreamKey(0xC0));
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(frames[9].offset, 9u * 672);
    EXPECT_EQ(frames[9].dts27, 9 * 1152 * 27000000ll / 48000);
}

// ---------------------------------------------------------------------------- MPEG-1 system layer

// MPEG-1 packs and PES headers (stuffing, STD buffer, PTS and DTS), MP2 frame headers cut
// by packet boundaries, time stamps across the 33-bit wrap.
TEST(ModelSystem, Mpeg1SystemStream)
{
    uint32_t seed = 9;
    Bytes es;
    for (int i = 0; i < 6; ++i)
    {
        const Bytes f = StreamWriter::Mp2Frame(11, 1, false, seed);
        es.insert(es.end(), f.begin(), f.end());
    }
    const uint64_t nearWrap = (uint64_t{1} << 33) - 2000;
    StreamWriter w;
    const size_t cuts[] = {0, 674, 1346, 2020, es.size()};  // headers cut after 2, 2 and 4 bytes
    for (int k = 0; k < 4; ++k)
    {
        w.Mpeg1PackHeader(1000 * k, 2000);
        const Bytes payload(es.begin() + static_cast<long>(cuts[k]), es.begin() + static_cast<long>(cuts[k + 1]));
        Bytes header = {0xFF, 0xFF};        // two stuffing bytes
        header.push_back(0x40 | 0x20 | 0);  // '01', STD_buffer_scale 1, size 8..12
        header.push_back(4);                // STD_buffer_size low byte: 4 * 1024 bytes
        uint8_t ts[10];
        StreamWriter::Put33(ts, 3, nearWrap + 3000 * k);      // '0011' PTS
        StreamWriter::Put33(ts + 5, 1, nearWrap + 3000 * k);  // '0001' DTS
        header.insert(header.end(), ts, ts + 10);
        const size_t length = header.size() + payload.size();
        w.Append({0x00, 0x00, 0x01, 0xC0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        w.Append(header);
        w.Append(payload);
    }
    const RecordingSink sink = Demux(w.bytes);
    ASSERT_EQ(sink.packs.size(), 4u);
    EXPECT_FALSE(sink.packs[1].mpeg2);
    EXPECT_EQ(sink.packs[1].scrBase, 1000u);
    EXPECT_EQ(sink.packs[1].muxRate, 2000u);
    ASSERT_EQ(sink.pes.size(), 4u);
    EXPECT_FALSE(sink.pes[0].mpeg2);
    EXPECT_TRUE(sink.pes[0].hasPstd && sink.pes[0].hasPts && sink.pes[0].hasDts);
    EXPECT_EQ(sink.pes[0].pstdBufferBytes, 4u * 1024);
    EXPECT_EQ(sink.pes[2].payloadSize, 2020u - 1346);
    const auto& frames = sink.units.at(MakeStreamKey(0xC0));
    ASSERT_EQ(frames.size(), 6u);
    // Frame k starts at 672 k; packets start at 0, 674, 1346, 2020: frames 0, 2, 3 and 4
    // are the first to start in their packets, frame 1 the second in packet 0.
    EXPECT_TRUE(frames[0].ptsCoded);
    EXPECT_FALSE(frames[1].ptsCoded);
    EXPECT_TRUE(frames[2].ptsCoded && frames[3].ptsCoded && frames[4].ptsCoded);
    EXPECT_EQ(frames[2].pts, 1000u);  // past the wrap
    EXPECT_EQ(frames[2].pts27, static_cast<int64_t>(nearWrap + 3000) * 300);  // unwrapped
    EXPECT_EQ(frames[3].offset, sink.pes[2].payloadOffset + 2016 - 1346);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GT(frames[i].dts27, frames[i - 1].dts27);
    EXPECT_TRUE(sink.resyncs.empty());
}

// ---------------------------------------------------------------------------- damage

// A length that overruns drops its packet; one that falls short leaves garbage up to the
// next pack; garbage between packs and a cut-off end are skipped and counted.
TEST(ModelSystem, DamageIsSkippedAndCounted)
{
    const VideoEs v = MakeVideo("IBBPBBPBBPBB", 700);
    std::vector<size_t> cuts;
    for (size_t c = 1000; c < v.es.size(); c += 1000)
        cuts.push_back(c);
    const Muxed m = Mux(v.es, cuts, 0xE0);
    const size_t packs = cuts.size() + 1;
    // PES packet k: 00 00 01 E0, the length, three bytes of flags, then the payload.
    auto lengthAt = [&](size_t k) { return m.pieces[k].second - 5; };
    auto addToLength = [&](Bytes& b, size_t k, int delta) {
        const int length = (b[lengthAt(k)] << 8 | b[lengthAt(k) + 1]) + delta;
        b[lengthAt(k)] = static_cast<uint8_t>(length >> 8);
        b[lengthAt(k) + 1] = static_cast<uint8_t>(length);
    };

    {
        Bytes b = m.file;
        addToLength(b, 2, 100);  // overruns into pack 3
        const RecordingSink s = Demux(b);
        EXPECT_EQ(s.packs.size(), packs);
        ASSERT_EQ(s.resyncs.size(), 1u);
        EXPECT_EQ(s.resyncs[0].offset, lengthAt(2) - 4);
        EXPECT_EQ(s.resyncs[0].skipped, 6u + 3 + 1000);  // the whole packet, up to pack 3
    }
    {
        Bytes b = m.file;
        addToLength(b, 2, -100);  // short: 100 payload bytes are left over
        const RecordingSink s = Demux(b);
        EXPECT_EQ(s.packs.size(), packs);
        ASSERT_EQ(s.resyncs.size(), 1u);
        EXPECT_EQ(s.resyncs[0].skipped, 100u);
        EXPECT_EQ(s.resyncs[0].pack, 2u);
    }
    {
        Bytes b = m.file;
        const size_t at = m.pieces[3].second - 9 - 14;  // pack 3's start
        b.insert(b.begin() + static_cast<long>(at), 50, 0xAB);
        b.resize(b.size() - 300);  // and the last packet cut short
        const RecordingSink s = Demux(b);
        EXPECT_EQ(s.packs.size(), packs);
        ASSERT_EQ(s.resyncs.size(), 2u);
        EXPECT_EQ(s.resyncs[0].offset, at);
        EXPECT_EQ(s.resyncs[0].skipped, 50u);
        EXPECT_EQ(s.resyncs[1].offset + s.resyncs[1].skipped, b.size());
        EXPECT_EQ(s.end.fileSize, b.size());
        // The units before the damage are all there.
        EXPECT_GE(s.units.at(MakeStreamKey(0xE0)).size(), 10u);
    }
    {
        // Not damage: streams joined end to end leave an end code between two packs.
        Bytes b = m.file;
        const size_t at = m.pieces[3].second - 9 - 14;
        b.insert(b.begin() + static_cast<long>(at), {0x00, 0x00, 0x01, 0xB9});
        const RecordingSink s = Demux(b);
        EXPECT_EQ(s.packs.size(), packs);
        EXPECT_TRUE(s.resyncs.empty());
    }
}

// ---------------------------------------------------------------------------- DVD substreams

Bytes Ac3Frame(uint32_t& seed)
{
    Bits h;
    h.Put(0x0B77, 16);  // syncword
    h.Put(0, 16);       // crc1
    h.Put(0, 2);        // fscod: 48 kHz
    h.Put(12, 6);       // frmsizecod: 96 kbit/s, 192 words
    h.Put(8, 5);        // bsid
    h.Put(0, 3);        // bsmod
    h.Put(7, 3);        // acmod: 3/2
    h.Put(0, 2);        // cmixlev
    h.Put(0, 2);        // surmixlev
    h.Put(1, 1);        // lfeon
    h.Put(0, 5);
    Bytes f = h.bytes;
    while (f.size() < 384)
        f.push_back(static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24) & 0x7F);
    return f;
}

Bytes Private1(uint8_t sub, uint8_t frames, uint16_t first, const Bytes& data, const Bytes& extra = {})
{
    Bytes p = {sub, frames, static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first)};
    p.insert(p.end(), extra.begin(), extra.end());
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// AC-3 frames joined across packets, LPCM frames cut from the first access unit pointer,
// a subpicture unit's display times, and the DTS header fields.
TEST(ModelDvd, AudioAndSubpictureSubstreams)
{
    uint32_t seed = 1;
    Bytes ac3;
    for (int i = 0; i < 3; ++i)
    {
        const Bytes f = Ac3Frame(seed);
        ac3.insert(ac3.end(), f.begin(), f.end());
    }
    // LPCM: 16 bits, 48 kHz, stereo: 320-byte frames; 1000 bytes hold three.
    const Bytes lpcmHeader = {0x00, 0x01, 0x80};  // frame number, quantization/rate/channels, dynamic range
    const Bytes pcm(1000, 0x55);
    // Subpicture unit: size, control offset, 8 bytes of pixel data, then two control
    // sequences: start at delay 0, stop at delay 100 (pointing at itself, the last).
    Bytes spu = {0x00, 0x1A, 0x00, 0x0C, 1, 2, 3, 4, 5, 6, 7, 8,
                 0x00, 0x00, 0x00, 0x12, 0x01, 0xFF,  // delay 0, next 0x12, start display
                 0x00, 0x64, 0x00, 0x12, 0x02, 0xFF,  // delay 100, last, stop display
                 0xFF, 0xFF};
    StreamWriter w;
    PesOptions stamped;
    stamped.pts = 9000;
    w.PackHeader(0);
    // AC-3 frames start at 0, 384 and 768: two in the first packet, the third at 268 in
    // the second (the pointer counts from 1).
    w.PesPacket(0xBD, Private1(0x80, 2, 1, Bytes(ac3.begin(), ac3.begin() + 500)), stamped);
    w.PesPacket(0xBD, Private1(0xA0, 3, 4, Bytes(pcm.begin(), pcm.begin() + 700), lpcmHeader), stamped);
    Bytes spuFirst = {0x20};
    spuFirst.insert(spuFirst.end(), spu.begin(), spu.begin() + 10);
    w.PesPacket(0xBD, spuFirst, stamped);
    w.PackHeader(100);
    w.PesPacket(0xBD, Private1(0x80, 1, 269, Bytes(ac3.begin() + 500, ac3.end())));
    w.PesPacket(0xBD, Private1(0xA0, 1, 0, Bytes(pcm.begin() + 700, pcm.end()), lpcmHeader));
    {
        Bytes p = {0x20};
        p.insert(p.end(), spu.begin() + 10, spu.end());
        w.PesPacket(0xBD, p);
    }
    const RecordingSink s = Demux(w.bytes);
    EXPECT_TRUE(s.resyncs.empty());

    const auto& frames = s.units.at(MakeStreamKey(0xBD, 0x80));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].size, 384u);
    EXPECT_EQ(frames[0].sampleRate, 48000u);
    EXPECT_EQ(frames[0].bitRate, 96000u);
    EXPECT_EQ(frames[0].channelMode, 7);
    EXPECT_TRUE(frames[0].lfe);
    EXPECT_EQ(frames[0].channels, 6);
    EXPECT_EQ(frames[2].dts27 - frames[1].dts27, 1536 * 27000000ll / 48000);
    EXPECT_EQ(frames[1].lastPack, 1u);  // the second frame straddles the packs
    ASSERT_TRUE(s.pes[0].hasSubHeader);
    EXPECT_EQ(s.pes[0].frameCount, 2);
    EXPECT_EQ(s.pes[0].payloadSize, 500u);

    const auto& pcmFrames = s.units.at(MakeStreamKey(0xBD, 0xA0));
    ASSERT_EQ(pcmFrames.size(), 3u);
    EXPECT_EQ(pcmFrames[0].size, 320u);
    EXPECT_EQ(pcmFrames[0].bitsPerSample, 16);
    EXPECT_EQ(pcmFrames[0].channels, 2);
    EXPECT_EQ(pcmFrames[1].dts27 - pcmFrames[0].dts27, 27000000 / 600);
    EXPECT_EQ(pcmFrames[0].offset, s.pes[1].payloadOffset);
    EXPECT_EQ(s.pes[1].headerSize, 6u + 3 + 5);  // PES header with its PTS
    EXPECT_EQ(s.pes[1].payloadOffset - s.pes[1].offset, 6u + 3 + 5 + 7);  // and the substream header

    const auto& spus = s.units.at(MakeStreamKey(0xBD, 0x20));
    ASSERT_EQ(spus.size(), 1u);
    EXPECT_EQ(spus[0].size, 0x1Au);
    EXPECT_EQ(spus[0].pts, 9000u);
    EXPECT_TRUE(spus[0].hasDisplayStart && spus[0].hasDisplayStop);
    EXPECT_EQ(spus[0].displayStop - spus[0].displayStart, 100u * 1024);

    // DTS core header: 512 samples, 1024-byte frames, 48 kHz, 3/2 with LFE.
    Bits d;
    d.Put(0x7FFE8001, 32);  // sync
    d.Put(1, 1);            // FTYPE: normal frame
    d.Put(31, 5);           // SHORT
    d.Put(0, 1);            // CPF
    d.Put(15, 7);           // NBLKS: 16 blocks of 32 samples
    d.Put(1023, 14);        // FSIZE
    d.Put(9, 6);            // AMODE: 5 channels
    d.Put(13, 4);           // SFREQ: 48 kHz
    d.Put(15, 5);           // RATE: 768 kbit/s
    d.Put(0, 10);           // FIXEDBIT .. ASPF
    d.Put(2, 2);            // LFF: LFE present
    d.Put(0, 1);
    CDtsHeader dts;
    EXPECT_EQ(dts.Parse(d.bytes.data(), d.bytes.size()), 1024u);
    EXPECT_EQ(dts.m_nSamplesPerFrame, 512u);
    EXPECT_EQ(dts.m_nSampleRate, 48000u);
    EXPECT_EQ(dts.m_nBitRate, 768000u);
    EXPECT_EQ(dts.m_nChannels, 6u);
}

// Navigation packs: the PCI and DSI fields at their places, one event per pack.
TEST(ModelDvd, NavigationPack)
{
    auto put32 = [](Bytes& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    Bytes pci(980, 0);
    pci[0] = 0x00;
    put32(pci, 1 + 0, 0);           // nv_pck_lbn
    put32(pci, 1 + 12, 45000);      // vobu_s_ptm
    put32(pci, 1 + 16, 90000);      // vobu_e_ptm
    put32(pci, 1 + 24, 0x00000125); // e_eltm
    Bytes dsi(1018, 0);
    dsi[0] = 0x01;
    put32(dsi, 1 + 0, 12345);       // nv_pck_scr
    put32(dsi, 1 + 4, 0);           // nv_pck_lbn
    put32(dsi, 1 + 8, 7);           // vobu_ea
    put32(dsi, 1 + 12, 3);          // vobu_1stref_ea
    dsi[1 + 24] = 0x00;
    dsi[1 + 25] = 0x02;             // vobu_vob_idn
    dsi[1 + 27] = 0x05;             // vobu_c_idn
    put32(dsi, 1 + 28, 0x00000130); // c_eltm
    put32(dsi, 1 + 314, 0xC0000008); // next_vobu
    put32(dsi, 1 + 318, 0x3FFFFFFF); // prev_vobu
    StreamWriter w;
    w.PackHeader(0);
    for (const Bytes* packet : {&pci, &dsi})  // private stream 2 has no PES header
    {
        w.Append({0x00, 0x00, 0x01, 0xBF, static_cast<uint8_t>(packet->size() >> 8),
                  static_cast<uint8_t>(packet->size())});
        w.Append(*packet);
    }
    w.PackHeader(10);
    w.PaddingPacket(100);
    const RecordingSink s = Demux(w.bytes);
    ASSERT_EQ(s.navs.size(), 1u);
    const model::NavPack& n = s.navs[0];
    EXPECT_TRUE(n.hasPci && n.hasDsi);
    EXPECT_EQ(n.offset, 0u);
    EXPECT_EQ(n.vobuSPtm, 45000u);
    EXPECT_EQ(n.vobuEPtm, 90000u);
    EXPECT_EQ(n.dsiScr, 12345u);
    EXPECT_EQ(n.vobuEa, 7u);
    EXPECT_EQ(n.ref1Ea, 3u);
    EXPECT_EQ(n.vobIdn, 2);
    EXPECT_EQ(n.cellIdn, 5);
    EXPECT_EQ(n.cEltm, 0x130u);
    EXPECT_EQ(n.nextVobu, 0xC0000008u);
    EXPECT_EQ(n.prevVobu, 0x3FFFFFFFu);
    EXPECT_EQ(s.pes[2].kind, model::Kind::Padding);
}

// ---------------------------------------------------------------------------- bit rates

namespace
{
model::AccessUnit TimedUnit(model::StreamKey key, model::Kind kind, int64_t pts27, int64_t duration27, uint32_t size)
{
    model::AccessUnit u;
    u.stream = key;
    u.kind = kind;
    u.timed = true;
    u.pts27 = u.dts27 = pts27;
    u.duration27 = duration27;
    u.size = size;
    return u;
}

model::StreamSummary Only(const model::CStreamStats& stats)
{
    const auto streams = stats.Streams();
    EXPECT_EQ(streams.size(), 1u);
    return streams.empty() ? model::StreamSummary() : streams[0];
}
}  // namespace

// Average and peak agree with each other for streams of every length: a stream shorter
// than a second, one whose units fall on one instant, one without time stamps, and one
// whose busiest second stands out.
TEST(ModelStats, AverageAndPeakBitRates)
{
    constexpr int64_t kFrame = 1080000;  // 25 Hz
    const auto video = model::MakeStreamKey(0xE0);
    {
        // Ten pictures of 5000 bytes: 0.4 s at 1 Mbit/s.
        model::CStreamStats stats;
        for (int i = 0; i < 10; ++i)
            stats.OnAccessUnit(TimedUnit(video, model::Kind::Video, 27000000 + i * kFrame, kFrame, 5000));
        stats.OnEnd({});
        const model::StreamSummary s = Only(stats);
        EXPECT_EQ(s.AverageBitsPerSecond(), 1000000u);
        EXPECT_EQ(s.PeakBitsPerSecond(), 1000000u);
        EXPECT_NE(model::StreamLine(s).find("avg 1000.0 kbit/s  peak 1000.0 kbit/s"), std::string::npos)
            << model::StreamLine(s);
    }
    {
        // One subpicture with no end: its bytes are the rate of its one second.
        model::CStreamStats stats;
        stats.OnAccessUnit(TimedUnit(model::MakeStreamKey(0xBD, 0x20), model::Kind::Subpicture, 27000000, 0, 1200));
        stats.OnEnd({});
        const model::StreamSummary s = Only(stats);
        EXPECT_EQ(s.AverageBitsPerSecond(), 9600u);
        EXPECT_EQ(s.PeakBitsPerSecond(), 9600u);
    }
    {
        // Units whose times are not known: no rate at all.
        model::CStreamStats stats;
        model::AccessUnit u = TimedUnit(video, model::Kind::Video, 0, kFrame, 4000);
        u.timed = false;
        stats.OnAccessUnit(u);
        stats.OnAccessUnit(u);
        stats.OnEnd({});
        const model::StreamSummary s = Only(stats);
        EXPECT_EQ(s.AverageBitsPerSecond(), 0u);
        EXPECT_EQ(s.PeakBitsPerSecond(), 0u);
        std::string json;
        model::AppendStreamJson(json, s);
        EXPECT_NE(json.find("\"bitrate_avg\": 0, \"bitrate_peak\": 0"), std::string::npos) << json;
    }
    {
        // Three seconds, the second of them twice as busy: the peak is that second.
        model::CStreamStats stats;
        for (int i = 0; i < 75; ++i)
            stats.OnAccessUnit(TimedUnit(video, model::Kind::Video, i * kFrame, kFrame, i >= 25 && i < 50 ? 10000 : 5000));
        stats.OnEnd({});
        const model::StreamSummary s = Only(stats);
        EXPECT_EQ(s.PeakBitsPerSecond(), 25u * 10000 * 8);
        EXPECT_EQ(s.AverageBitsPerSecond(), 100u * 5000 * 8 / 3);
    }
}

// Navigation packs: their packets' bytes over the time their VOBUs span.
TEST(ModelStats, NavigationBitRate)
{
    model::CStreamStats stats;
    const auto key = model::MakeStreamKey(0xBF);
    for (uint32_t i = 0; i < 4; ++i)
    {
        for (uint32_t size : {980u, 1018u})  // PCI, DSI
        {
            model::PesEvent pes;
            pes.stream = key;
            pes.kind = model::Kind::Navigation;
            pes.payloadSize = size;
            stats.OnPes(pes);
        }
        model::NavPack nav;
        nav.hasPci = nav.hasDsi = true;
        nav.vobuSPtm = 45000 * i;          // a VOBU every half second
        nav.vobuEPtm = 45000 * (i + 1);
        stats.OnNavPack(nav);
    }
    stats.OnEnd({});
    const model::StreamSummary s = Only(stats);
    EXPECT_EQ(s.units, 4u);
    EXPECT_EQ(s.unitBytes, 4u * 1998);
    EXPECT_DOUBLE_EQ(s.DurationSeconds(), 2.0);
    EXPECT_EQ(s.AverageBitsPerSecond(), 4u * 1998 * 8 / 2);
    EXPECT_EQ(s.PeakBitsPerSecond(), 2u * 1998 * 8);
}

// ---------------------------------------------------------------------------- column store

TEST(ModelColumns, TwentyTwoBytesPerUnit)
{
    model::CColumnStore store;
    const int count = 200000;
    for (int i = 0; i < count; ++i)
    {
        model::AccessUnit u;
        u.stream = MakeStreamKey(i % 4 == 0 ? 0xC0 : 0xE0);
        u.offset = (uint64_t{1} << 40) + 2048ull * i;
        u.size = 1000 + i;
        u.pack = i / 2;
        u.pictureType = static_cast<uint8_t>(1 + i % 3);
        u.ptsCoded = i % 2 == 0;
        u.dts27 = 300ll * (1000000 + 3600ll * i);
        // Every 1000th unit shows its picture 20 s after decoding it: wider than 16 bits.
        u.pts27 = u.dts27 + 300 * (i % 1000 == 7 ? 1800000 : 7200);
        store.OnAccessUnit(u);
    }
    ASSERT_EQ(store.Units(), static_cast<size_t>(count));
    // Until the end, the last page of each column may be partly empty...
    EXPECT_LE(store.MemoryBytes(), 22u * count + 2 * 22 * 4096 + 32 * count / 1000 + 1024);
    // ...after it, the columns hold 22 bytes per unit, a pointer per page of 4096 and the
    // few wide presentation offsets.
    store.OnEnd({});
    EXPECT_LE(store.MemoryBytes(), 22u * count + 16 * count / 1000 + 4096);
    const model::CUnitSeries* video = store.Find(MakeStreamKey(0xE0));
    ASSERT_NE(video, nullptr);
    const size_t i = 100001;  // the 75001st video unit: overall unit 100001
    EXPECT_EQ(video->Offset(75000), (uint64_t{1} << 40) + 2048ull * i);
    EXPECT_EQ(video->Size(75000), 1000u + i);
    EXPECT_EQ(video->Pack(75000), i / 2);
    EXPECT_EQ(video->PictureType(75000), 1 + i % 3);
    EXPECT_FALSE(video->Flags(75000) & model::CUnitSeries::PtsCoded);
    EXPECT_EQ(video->Dts90(75000), 1000000 + 3600ll * i);
    EXPECT_EQ(video->Pts90(75000), 1000000 + 3600ll * i + 7200);
    // Unit 100007 (video unit 75005) has the wide offset; its neighbours the narrow one.
    EXPECT_EQ(video->Pts90(75005), 1000000 + 3600ll * 100007 + 1800000);
    EXPECT_EQ(video->Pts90(75006), 1000000 + 3600ll * 100009 + 7200);

    // A trimmed column grows again with its values in place.
    model::AccessUnit extra;
    extra.stream = MakeStreamKey(0xE0);
    extra.size = 77;
    store.OnAccessUnit(extra);
    ASSERT_EQ(video->Count(), 150001u);
    EXPECT_EQ(video->Size(150000), 77u);
    EXPECT_EQ(video->Size(149999), 1000u + 199999);
}

}  // namespace
