// Buffered reading and writing, the start-code scanner and the audio sync search.

#include "stream/CCdxaInput.h"
#include "stream/CMpegStreamFile.h"
#include "stream/StartCodeSearch.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// ---------------------------------------------------------------------------- reading

class ReadTest : public ::testing::Test
{
protected:
    std::string Make(size_t size)
    {
        Bytes b(size);
        for (size_t i = 0; i < size; ++i)
            b[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        m_bytes = b;
        return m_dir.Write("in.bin", b);
    }
    TempDir m_dir;
    Bytes m_bytes;
};

TEST_F(ReadTest, DeliversWholeRequestsInFileOrderAcrossRefills)
{
    CMpegStreamFile f;
    ASSERT_TRUE(f.Open(Make(700001), CFile::modeRead));
    EXPECT_EQ(f.Read(nullptr, 0), 0u);
    EXPECT_EQ(f.GetStreamPosition(), 0u);

    // Reads of odd sizes walk over both refill boundaries (300000, 600000).
    Bytes got;
    uint8_t buf[1024];  // steps run up to 996 + 13 bytes
    size_t step = 1;
    while (got.size() + step <= m_bytes.size())
    {
        ASSERT_EQ(f.Read(buf, static_cast<uint32_t>(step)), step);
        got.insert(got.end(), buf, buf + step);
        EXPECT_EQ(f.GetStreamPosition(), got.size());
        step = step % 997 + 13;
    }
    EXPECT_TRUE(std::equal(got.begin(), got.end(), m_bytes.begin()));
}

TEST_F(ReadTest, EndOfDataDeliversNothingAndDrains)
{
    CMpegStreamFile f;
    ASSERT_TRUE(f.Open(Make(10), CFile::modeRead));
    uint8_t buf[16] = {};
    ASSERT_EQ(f.Read(buf, 7), 7u);
    // Three bytes are left; asking for four consumes them without counting them.
    EXPECT_EQ(f.Read(buf, 4), 0u);
    EXPECT_EQ(f.GetStreamPosition(), 7u);
    EXPECT_EQ(f.Read(buf, 1), 0u);
    EXPECT_EQ(f.Read(buf, 3), 0u);
    EXPECT_EQ(f.GetStreamPosition(), 7u);
}

TEST_F(ReadTest, RequestLargerThanTheBufferCanNeverBeMet)
{
    CMpegStreamFile f;
    ASSERT_TRUE(f.Open(Make(400000), CFile::modeRead));
    std::vector<uint8_t> big(300001);
    EXPECT_EQ(f.Read(big.data(), 300001), 0u);
    uint8_t b;
    // The buffer was drained: the next read refills from where the system file stands.
    ASSERT_EQ(f.Read(&b, 1), 1u);
    EXPECT_EQ(b, m_bytes[300000]);
}

TEST_F(ReadTest, SeekDiscardsBufferedBytes)
{
    CMpegStreamFile f;
    ASSERT_TRUE(f.Open(Make(5000), CFile::modeRead));
    uint8_t b[4];
    ASSERT_EQ(f.Read(b, 4), 4u);
    EXPECT_EQ(f.Seek(0, CFile::end), 5000u);
    EXPECT_EQ(f.Read(b, 1), 0u);
    EXPECT_EQ(f.Seek(100, CFile::begin), 100u);
    ASSERT_EQ(f.Read(b, 2), 2u);
    EXPECT_EQ(b[0], m_bytes[100]);
    EXPECT_EQ(b[1], m_bytes[101]);
    // The counter counts deliveries, not positions.
    EXPECT_EQ(f.GetStreamPosition(), 6u);
}

TEST(StreamFileOpen, RefusesWhatIsNotARegularFile)
{
    TempDir dir;
    CMpegStreamFile f;
    EXPECT_FALSE(f.Open(dir.Path(), CFile::modeRead));
    EXPECT_FALSE(f.Open(dir.File("missing"), CFile::modeRead));
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Must not wait for a writer.
    EXPECT_FALSE(f.Open(fifo, CFile::modeRead));
}

// ---------------------------------------------------------------------------- start codes

// The scanner's contract: what sliding a three-byte window one Read at a time returns.
struct Found
{
    bool ok;
    uint8_t code;
    uint64_t position;
    bool operator==(const Found&) const = default;
};

std::vector<Found> ReferenceScan(const Bytes& data)
{
    std::vector<Found> out;
    size_t pos = 0;
    uint64_t delivered = 0;
    for (;;)
    {
        if (data.size() - pos < 3)
        {
            out.push_back({false, 0, delivered});
            return out;
        }
        uint32_t w = (data[pos] << 16) | (data[pos + 1] << 8) | data[pos + 2];
        pos += 3;
        delivered += 3;
        bool ended = false;
        while (w != 0x000001)
        {
            if (pos == data.size())
            {
                ended = true;
                break;
            }
            w = ((w << 8) | data[pos++]) & 0xFFFFFF;
            ++delivered;
        }
        if (ended || pos == data.size())
        {
            out.push_back({false, 0, delivered});
            return out;
        }
        const uint8_t code = data[pos++];
        ++delivered;
        out.push_back({true, code, delivered});
    }
}

std::vector<Found> Scan(const std::string& path)
{
    std::vector<Found> out;
    CMpegStreamFile f;
    if (!f.Open(path, CFile::modeRead))
        return out;
    for (;;)
    {
        uint8_t code = 0xEE;
        const bool ok = f.NextStartCode(code);
        out.push_back({ok, ok ? code : uint8_t{0}, f.GetStreamPosition()});
        if (!ok)
            return out;
    }
}

TEST(NextStartCode, WindowCases)
{
    TempDir dir;
    auto codes = [&](const Bytes& b) { return Scan(dir.Write("s.bin", b)); };

    auto r = codes({0x00, 0x00, 0x00, 0x00, 0x01, 0xB3, 0x77});
    ASSERT_GE(r.size(), 1u);
    EXPECT_EQ(r[0], (Found{true, 0xB3, 6}));

    r = codes({0x12, 0x00, 0x00, 0x01});  // ends right after 00 00 01
    EXPECT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].ok);

    EXPECT_FALSE(codes({0x00, 0x01})[0].ok);
    EXPECT_FALSE(codes({})[0].ok);

    // The byte after 00 00 01 is the code whatever it is; the next search starts behind it.
    r = codes({0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0xB3});
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], (Found{true, 0x00, 4}));
    EXPECT_FALSE(r[1].ok);
}

TEST(NextStartCode, MatchesTheByteWindowEverywhere)
{
    TempDir dir;
    std::mt19937 rng(7);
    // Dense zeros and ones make codes, near-codes and codes split across the 300000-byte
    // refill boundary; sizes put the end of data at every offset around it.
    for (int round = 0; round < 12; ++round)
    {
        const size_t size = 299990 + rng() % 40 + (round % 3) * 300000;
        Bytes data(size);
        for (auto& b : data)
        {
            const unsigned v = rng() % 16;
            b = v < 6 ? 0x00 : v < 9 ? 0x01 : static_cast<uint8_t>(rng());
        }
        // Start codes straddling the refill points at every split.
        for (size_t edge : {size_t{300000}, size_t{600000}})
            if (edge + 4 < size)
            {
                const size_t at = edge - static_cast<size_t>(round % 5);
                data[at] = 0, data[at + 1] = 0, data[at + 2] = 1, data[at + 3] = 0xBA;
            }
        const std::string path = dir.Write("r.bin", data);
        ASSERT_EQ(Scan(path), ReferenceScan(data)) << "round " << round;
    }
}

TEST(NextStartCode, SparseCodesInLongRuns)
{
    TempDir dir;
    Bytes data(1000000, 0xFF);
    const size_t at[] = {0, 299997, 299998, 299999, 300000, 599999, 999996};
    for (size_t p : at)
        data[p] = 0, data[p + 1] = 0, data[p + 2] = 1, data[p + 3] = static_cast<uint8_t>(p);
    const std::string path = dir.Write("sparse.bin", data);
    EXPECT_EQ(Scan(path), ReferenceScan(data));
}

// ---------------------------------------------------------------------------- audio sync

TEST(FindAudioSync, Cases)
{
    const uint8_t a[] = {0xFF, 0xF0};
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(a, 0), -1);
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(a, 1), -1);
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(a, 2), 0);
    const uint8_t b[] = {0xFF, 0xEF, 0xFF, 0xF1};
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(b, 4), 2);
    const uint8_t c[] = {0x12, 0xFF, 0xE0, 0x00, 0xFF};  // FF E0 is no sync; a last FF neither
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(c, 5), -1);
    EXPECT_EQ(CMpegStreamFile::FindAudioSync(c, -3), -1);
}

}  // namespace

// ---------------------------------------------------------------------------- inputs of several files

#include "model/CDemuxer.h"
#include "stream/CInput.h"

namespace
{

struct CountingSink : model::IModelSink
{
    std::vector<model::PackEvent> packs;
    std::vector<model::PesEvent> pes;
    uint64_t skipped = 0;
    uint64_t size = 0;
    void OnPack(const model::PackEvent& e) override { packs.push_back(e); }
    void OnPes(const model::PesEvent& e) override { pes.push_back(e); }
    void OnResync(const model::ResyncEvent& e) override { skipped += e.skipped; }
    void OnEnd(const model::StreamEnd& e) override { size = e.fileSize; }
};

TEST(FileSetInputTest, ReadsTheFilesAsOneStreamAndLocatesPositions)
{
    TempDir dir;
    Bytes all(5000);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i * 13 + 5);
    // Parts of 1234, 0 and 3766 bytes: the empty one is skipped over.
    const std::string a = dir.Write("a", Bytes(all.begin(), all.begin() + 1234));
    const std::string e = dir.Write("e", Bytes());
    const std::string b = dir.Write("b", Bytes(all.begin() + 1234, all.end()));
    CFileSetInput set;
    ASSERT_TRUE(set.Open({a, e, b}));
    EXPECT_EQ(set.Size(), 5000u);
    Bytes got(6000);
    uint32_t n = 0;
    // Odd read sizes cross the boundary inside a request.
    for (uint32_t step : {1000u, 333u, 2000u, 4000u})
        n += set.Read(got.data() + n, std::min<uint32_t>(step, 6000 - n));
    got.resize(n);
    EXPECT_EQ(got, all);
    EXPECT_FALSE(set.HadReadError());
    EXPECT_EQ(set.Locate(0).file, 0u);
    EXPECT_EQ(set.Locate(1233).offset, 1233u);
    EXPECT_EQ(set.Locate(1234).file, 2u);
    EXPECT_EQ(set.Locate(1234).offset, 0u);
    EXPECT_EQ(set.Locate(4999).offset, 3765u);
    EXPECT_EQ(set.Locate(99999).offset, 3766u);

    size_t failed = 99;
    int error = 0;
    CFileSetInput missing;
    EXPECT_FALSE(missing.Open({a, dir.File("none"), b}, &error, &failed));
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(error, ENOENT);
}

TEST(FileSetInputTest, APackCutByAFileBoundaryIsWalkedWhole)
{
    // Three 2048-byte packs, each with a padding packet, split 3000 bytes in: inside the
    // second pack's packet.
    Bytes stream;
    for (int k = 0; k < 3; ++k)
    {
        const uint8_t pack[14] = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0x01, 0x89, 0xC3, 0xF8};
        stream.insert(stream.end(), pack, pack + 14);
        const size_t length = 2048 - 14 - 6;
        const uint8_t head[6] = {0, 0, 1, 0xBE, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
        stream.insert(stream.end(), head, head + 6);
        stream.insert(stream.end(), length, 0xFF);
    }
    TempDir dir;
    const std::string a = dir.Write("1.vob", Bytes(stream.begin(), stream.begin() + 3000));
    const std::string b = dir.Write("2.vob", Bytes(stream.begin() + 3000, stream.end()));
    CFileSetInput set;
    ASSERT_TRUE(set.Open({a, b}));
    CountingSink sink;
    model::CDemuxer demuxer(sink);
    demuxer.Run(set);
    ASSERT_EQ(sink.packs.size(), 3u);
    EXPECT_EQ(sink.packs[2].offset, 4096u);
    EXPECT_EQ(sink.pes.size(), 3u);
    EXPECT_EQ(sink.skipped, 0u);
    EXPECT_EQ(sink.size, stream.size());
}

// ---------------------------------------------------------------------------- CD-XA files

// A RIFF "CDXA" header and sectors: each 2352 bytes, sync, header (mode at 15),
// subheader (submode at 18, 0x20 = form 2), user data from 24 (16 in mode 1).
struct CdxaFile
{
    Bytes bytes;
    Bytes stream;  // the user data, as the input should deliver it

    explicit CdxaFile(uint32_t dataSize = 0)
    {
        const char head[] = "RIFF\0\0\0\0CDXAfmt ";
        bytes.assign(head, head + 16);
        bytes.insert(bytes.end(), {16, 0, 0, 0});    // "fmt " size
        bytes.insert(bytes.end(), 16, 0x00);         // the disc file's attributes
        bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(dataSize >> (8 * i)));  // 0: to the end of the file
    }
    void Sector(uint8_t mode, uint8_t submode, uint8_t fill, bool sync = true, size_t cutTo = 2352)
    {
        Bytes s(2352, 0xEE);  // error codes: never part of the stream
        const uint8_t pattern[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        if (sync)
            std::copy(pattern, pattern + 12, s.begin());
        s[15] = mode;
        s[16] = s[20] = 1;        // file number
        s[18] = s[22] = submode;
        const size_t from = mode == 1 ? 16 : 24;
        const size_t size = (mode == 2 && (submode & 0x20)) || !sync ? 2324 : 2048;
        for (size_t i = 0; i < size; ++i)
            s[from + i] = static_cast<uint8_t>(fill + i);
        s.resize(cutTo);
        bytes.insert(bytes.end(), s.begin(), s.end());
        const size_t have = cutTo > from ? std::min(size, cutTo - from) : 0;
        stream.insert(stream.end(), s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(from + have));
    }
};

TEST(CdxaInputTest, ReadsTheUserDataOfEachKindOfSectorAndLocatesItInTheFile)
{
    CdxaFile f;
    f.Sector(2, 0x62, 0x10);           // mode 2 form 2: 2324 bytes
    f.Sector(2, 0x08, 0x20);           // mode 2 form 1: 2048
    f.Sector(1, 0x00, 0x30);           // mode 1: 2048 from byte 16
    f.Sector(2, 0x62, 0x40, false);    // no sync: taken for form 2, nothing lost
    f.Sector(2, 0x62, 0x50, true, 1000);  // the file ends inside the last sector
    TempDir dir;
    const std::string path = dir.Write("AVSEQ01.DAT", f.bytes);
    int error = 0;
    const std::unique_ptr<CInput> input = OpenInput(path, &error);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(dynamic_cast<CCdxaInput*>(input.get()), nullptr);
    Bytes got(f.stream.size() + 100);
    uint32_t n = 0;
    // Reads that end inside sectors, and one past the end.
    for (uint32_t step : {1000u, 3000u, 7u, 5000u, 9000u})
        n += input->Read(got.data() + n, std::min<uint32_t>(step, static_cast<uint32_t>(got.size()) - n));
    got.resize(n);
    EXPECT_EQ(got, f.stream);
    EXPECT_EQ(input->Size(), f.stream.size());
    EXPECT_FALSE(input->HadReadError());

    // Positions of the stream back in the file: 44 bytes of header, then the sectors.
    EXPECT_EQ(input->Locate(0).offset, 44u + 24);
    EXPECT_EQ(input->Locate(2323).offset, 44u + 24 + 2323);
    EXPECT_EQ(input->Locate(2324).offset, 44u + 2352 + 24);
    EXPECT_EQ(input->Locate(2324 + 2048).offset, 44u + 2 * 2352 + 16);
    EXPECT_EQ(input->Locate(2324 + 2 * 2048 + 5).offset, 44u + 3 * 2352 + 24 + 5);
    EXPECT_EQ(input->Locate(f.stream.size() - 1).offset, f.bytes.size() - 1);
    EXPECT_EQ(input->Locate(f.stream.size() + 10).offset, f.bytes.size());
}

TEST(CdxaInputTest, OnlyACdxaFileWithItsSectorsIsReadThroughThem)
{
    TempDir dir;
    // Another RIFF file, and a CDXA header without a data chunk: read as they are.
    Bytes wave = CdxaFile().bytes;
    std::copy_n("WAVE", 4, wave.begin() + 8);
    Bytes headless = CdxaFile().bytes;
    headless.resize(40);
    for (const Bytes& bytes : {wave, headless})
    {
        const std::string path = dir.Write("x.dat", bytes);
        const std::unique_ptr<CInput> input = OpenInput(path);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(dynamic_cast<CCdxaInput*>(input.get()), nullptr);
        Bytes got(bytes.size());
        EXPECT_EQ(input->Read(got.data(), static_cast<uint32_t>(got.size())), bytes.size());
        EXPECT_EQ(got, bytes);
    }
    // A data chunk said to be longer than the file holds what the file holds.
    CdxaFile big(100u * 2352);
    big.Sector(2, 0x62, 0x60);
    big.Sector(2, 0x62, 0x70);
    const std::unique_ptr<CInput> input = OpenInput(dir.Write("big.dat", big.bytes));
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->Size(), 2u * 2324);
    Bytes got(10000);
    got.resize(input->Read(got.data(), 10000));
    EXPECT_EQ(got, big.stream);
}

// ---------------------------------------------------------------------------- start code search

TEST(StartCodeSearch, EveryWayFindsEveryStartCodeInOrder)
{
    // Random bytes with few zeros, start codes planted at every distance from a block's
    // start, overlapping ones (00 00 01 00 00 01), and one ending at the last byte.
    std::mt19937 random(5);
    Bytes data(5000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(2 + random() % 254);
    for (size_t at = 3; at + 4 < data.size(); at += 37 + at % 29)
        std::copy_n(Bytes{0x00, 0x00, 0x01}.begin(), 3, data.begin() + static_cast<long>(at));
    std::copy_n(Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0xB3}.begin(), 7, data.begin() + 1000);
    std::copy_n(Bytes{0x00, 0x00, 0x01, 0xB8}.begin(), 4, data.end() - 4);

    const startcode::Finders all = startcode::AllFinders();
    for (const startcode::Finder find : {all.bytes, all.sse2, all.avx2})
    {
        if (!find)
            continue;
        // Every length, from every start, in batches of one place and of many.
        for (size_t n : {size_t{0}, size_t{3}, size_t{4}, size_t{17}, size_t{33}, size_t{34}, size_t{35}, size_t{100},
                         data.size() - 1, data.size()})
            for (size_t from : {size_t{0}, size_t{1}, size_t{5}, size_t{31}})
                for (size_t batch : {size_t{1}, size_t{64}})
                {
                    std::vector<uint32_t> expected, got;
                    for (size_t j = from; j + 3 < n; ++j)
                        if (data[j] == 0 && data[j + 1] == 0 && data[j + 2] == 1)
                            expected.push_back(static_cast<uint32_t>(j));
                    uint32_t out[64];
                    for (size_t at = from;;)
                    {
                        size_t next = 0;
                        const size_t count = find(data.data(), n, at, out, batch, next);
                        got.insert(got.end(), out, out + count);
                        if (count < batch)
                            break;
                        at = next;
                    }
                    ASSERT_EQ(got, expected) << "n " << n << " from " << from << " batch " << batch;
                }
    }
}

}  // namespace
