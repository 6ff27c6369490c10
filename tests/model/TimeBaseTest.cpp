// Time bases as the demultiplexer announces them, on streams from the writer: after an
// MPEG_program_end_code, at a navigation pack of a new VOB, where an SCR runs back; and
// a sequence_end_code that ends its picture.

#include "model/Pipeline.h"
#include "support/StreamWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using model::MakeStreamKey;

// The events in the order they come, as short lines ("pack 3", "unit 0xE0 2 coded").
struct OrderSink : model::IModelSink
{
    std::vector<std::string> log;
    std::vector<model::PackEvent> packs;
    std::vector<model::TimeBaseEvent> bases;
    std::vector<model::AccessUnit> units;

    void OnPack(const model::PackEvent& e) override
    {
        packs.push_back(e);
        log.push_back("pack " + std::to_string(e.index));
    }
    void OnTimeBase(const model::TimeBaseEvent& e) override
    {
        bases.push_back(e);
        log.push_back("time base " + std::to_string(e.index));
    }
    void OnProgramEnd(const model::ProgramEndEvent&) override { log.push_back("end code"); }
    void OnAccessUnit(const model::AccessUnit& u) override
    {
        units.push_back(u);
        log.push_back("unit " + std::to_string(u.index) + (u.timed ? " timed" : " untimed"));
    }
};

OrderSink Demux(const Bytes& b)
{
    OrderSink sink;
    model::CPipeline pipeline;
    pipeline.Add(sink);
    pipeline.Run(b.data(), b.size());
    return sink;
}

size_t IndexOf(const std::vector<std::string>& log, const std::string& line)
{
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i] == line)
            return i;
    ADD_FAILURE() << "no \"" << line << "\"";
    return log.size();
}

// A program of `pictures` I pictures, one video packet a pack, each pack 0.04 s after
// the one before from scr (90 kHz); the first `untimed` packets carry no PTS.
void Program(StreamWriter& w, int pictures, uint64_t scr, int untimed = 0)
{
    uint32_t seed = 3;
    for (int i = 0; i < pictures; ++i)
    {
        w.PackHeader(scr + uint64_t(i) * 3600);
        Bytes es;
        auto add = [&](const Bytes& b) { es.insert(es.end(), b.begin(), b.end()); };
        if (i == 0)
        {
            add(StreamWriter::SequenceHeader(720, 576, 3, 3, 25000, 112));
            add(StreamWriter::SequenceExtension());
            add(StreamWriter::GopHeader(0, 0, 0, 0, true, false));
        }
        add(StreamWriter::PictureHeader(i, 1, 0xFFFF));
        add(StreamWriter::PictureCodingExtension());
        add(StreamWriter::Slice(1, 300, seed));
        PesOptions o;
        if (i >= untimed)
            o.pts = scr + 18000 + uint64_t(i) * 3600;
        w.PesPacket(0xE0, es, o);
    }
}

// A navigation pack: PCI and DSI packets of private stream 2, the DSI naming its VOB.
void NavPack(StreamWriter& w, uint64_t scr, uint16_t vobId)
{
    w.PackHeader(scr);
    w.SystemHeader({{0xE0, 1, 232}, {0xBF, 1, 2}}, 25200, 0, 1);
    Bytes pci(980, 0), dsi(1018, 0);
    pci[0] = 0x00;             // substream: PCI
    dsi[0] = 0x01;             // substream: DSI
    dsi[1 + 24] = uint8_t(vobId >> 8);  // vobu_vob_idn (16)
    dsi[1 + 25] = uint8_t(vobId);
    for (const Bytes* packet : {&pci, &dsi})
    {
        w.Append({0x00, 0x00, 0x01, 0xBF, uint8_t(packet->size() >> 8), uint8_t(packet->size())});
        w.Append(*packet);
    }
}

}  // namespace

// After an end code the next pack starts a clock of its own: the first program's last
// picture (whose end only the next start code shows) comes before the announcement, and
// the second program's pictures have no time until its first PTS.
TEST(ModelTimeBases, EndCodeStartsANewClock)
{
    StreamWriter w;
    Program(w, 4, 90000);
    w.StartCode(0xB9);
    Program(w, 4, 9000, 2);
    w.StartCode(0xB9);
    const OrderSink s = Demux(w.bytes);
    ASSERT_EQ(s.bases.size(), 1u);
    const model::TimeBaseEvent& t = s.bases[0];
    EXPECT_EQ(t.index, 1u);
    EXPECT_EQ(t.reason, model::TimeBaseEvent::Reason::ProgramEnd);
    EXPECT_EQ(t.pack, 4u);
    EXPECT_EQ(t.offset, s.packs[4].offset);
    EXPECT_EQ(t.scr27, 9000 * 300);
    EXPECT_EQ(t.previousScr27, s.packs[3].scr27);
    // end code, the first program's last picture, the announcement, the new pack.
    const size_t base = IndexOf(s.log, "time base 1");
    EXPECT_LT(IndexOf(s.log, "end code"), base);
    EXPECT_LT(IndexOf(s.log, "unit 3 timed"), base);
    EXPECT_EQ(IndexOf(s.log, "pack 4"), base + 1);
    ASSERT_EQ(s.units.size(), 8u);
    EXPECT_FALSE(s.units[4].timed);
    EXPECT_FALSE(s.units[5].timed);
    EXPECT_TRUE(s.units[6].ptsCoded);
    EXPECT_EQ(s.units[6].pts, 9000u + 18000 + 2 * 3600);
    EXPECT_TRUE(s.units[7].timed);
    // The clock is unwrapped afresh: the second program's SCRs are its own.
    EXPECT_EQ(s.packs[4].scr27, 9000 * 300);
}

// An SCR that runs back with no boundary is announced too, but the elementary streams
// go on: the picture under way is not cut, its times are not forgotten.
TEST(ModelTimeBases, ScrRunningBackLeavesTheStreamsAlone)
{
    StreamWriter w;
    Program(w, 3, 90000);
    Program(w, 3, 45000);  // joined with no end code between
    const OrderSink s = Demux(w.bytes);
    ASSERT_EQ(s.bases.size(), 1u);
    EXPECT_EQ(s.bases[0].reason, model::TimeBaseEvent::Reason::ScrBackwards);
    EXPECT_EQ(s.bases[0].pack, 3u);
    // Picture 2 ends at the next sequence header, behind the announcement, whole.
    EXPECT_GT(IndexOf(s.log, "unit 2 timed"), IndexOf(s.log, "time base 1"));
    ASSERT_EQ(s.units.size(), 6u);
    EXPECT_EQ(s.units[2].lastPack, 2u);
    EXPECT_EQ(s.packs[3].scr27, 45000 * 300);
}

// A navigation pack whose VOB number differs from the last one starts a time base before
// its own pack's event: its VOB is seen in its packets ahead of it.
TEST(ModelTimeBases, NavigationPackOfANewVob)
{
    StreamWriter w;
    NavPack(w, 0, 1);
    Program(w, 2, 3600);
    NavPack(w, 11000, 1);
    Program(w, 2, 14400);
    NavPack(w, 500, 2);  // the next VOB, a clock of its own
    Program(w, 2, 4000);
    const OrderSink s = Demux(w.bytes);
    ASSERT_EQ(s.packs.size(), 9u);
    for (uint32_t k : {0u, 3u, 6u})
    {
        EXPECT_TRUE(s.packs[k].navigation) << k;
        EXPECT_EQ(s.packs[k].vobId, k == 6 ? 2 : 1) << k;
    }
    EXPECT_FALSE(s.packs[1].navigation);
    ASSERT_EQ(s.bases.size(), 1u);
    const model::TimeBaseEvent& t = s.bases[0];
    EXPECT_EQ(t.reason, model::TimeBaseEvent::Reason::VobChange);
    EXPECT_EQ(t.pack, 6u);
    EXPECT_EQ(t.vobId, 2);
    EXPECT_EQ(t.previousVobId, 1);
    EXPECT_EQ(IndexOf(s.log, "pack 6"), IndexOf(s.log, "time base 1") + 1);
    // Cut off inside its DSI, a navigation pack shows no VOB: nothing is read past the
    // end of the bytes.
    // pack header, system header, PCI packet, 20 bytes of the DSI packet
    const Bytes cut(w.bytes.begin(), w.bytes.begin() + 14 + 18 + 6 + 980 + 6 + 20);
    const OrderSink c = Demux(cut);
    ASSERT_EQ(c.packs.size(), 1u);
    EXPECT_FALSE(c.packs[0].navigation);
}

// A sequence_end_code ends the picture before it, the code's bytes with it, so that a
// still is complete where its sequence ends, not where the next sequence begins.
TEST(ModelVideo, SequenceEndCodeEndsAPicture)
{
    StreamWriter w;
    Program(w, 1, 90000);
    const size_t endCode = w.bytes.size() + 14 + 9 + 5;  // pack header, PES header with a PTS
    w.PackHeader(93600);
    PesOptions o;
    o.pts = 180000;
    w.PesPacket(0xE0, {0x00, 0x00, 0x01, 0xB7, 0x00, 0x00, 0x00, 0x00}, o);  // the code, then stuffing
    Program(w, 1, 180000);
    const OrderSink s = Demux(w.bytes);
    ASSERT_EQ(s.units.size(), 2u);
    const model::AccessUnit& still = s.units[0];
    EXPECT_TRUE(still.sequenceEnd);
    EXPECT_EQ(still.lastOffset, endCode + 3);
    EXPECT_EQ(still.lastPack, 1u);
    EXPECT_EQ(still.esOffset + still.size, s.units[1].esOffset - 4);
    EXPECT_FALSE(s.units[1].sequenceEnd);
}
