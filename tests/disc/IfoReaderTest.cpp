// The IFO reader on byte fixtures: tables read field by field, and every pointer, count
// and last-byte field that does not fit giving an issue at its own offset while nothing is
// read outside the bytes (each parse gets a heap copy of exactly its bytes, so the
// sanitizer build sees a read past them).

#include "syntax/dvd/IfoFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v)
{
    b.at(at) = static_cast<uint8_t>(v >> 8);
    b.at(at + 1) = static_cast<uint8_t>(v);
}
void Put32(Bytes& b, size_t at, uint32_t v)
{
    Put16(b, at, static_cast<uint16_t>(v >> 16));
    Put16(b, at + 2, static_cast<uint16_t>(v));
}

// A parse on exactly n bytes of b on the heap.
struct Exact
{
    explicit Exact(const Bytes& b, size_t n = SIZE_MAX)
        : size(std::min(n, b.size())), data(std::make_unique<uint8_t[]>(size ? size : 1)), bytes(data.get(), size)
    {
        std::copy(b.begin(), b.begin() + static_cast<ptrdiff_t>(size), data.get());
    }
    size_t size;
    std::unique_ptr<uint8_t[]> data;
    CIfoBytes bytes;
};

bool HasIssueAt(const CIfoBytes& b, uint32_t offset)
{
    for (const IfoIssue& i : b.Issues())
        if (i.offset == offset)
            return true;
    return false;
}

std::string Issues(const CIfoBytes& b)
{
    std::string out;
    for (const IfoIssue& i : b.Issues())
        out += std::to_string(i.offset) + ": " + i.text + "\n";
    return out;
}

// A PGC of two programs and three cells at offset 0 of its own bytes: header (236), a
// command table of one pre command, the program map, the cell tables.
Bytes PgcBytes()
{
    Bytes b(236 + 16 + 2 + 3 * 24 + 3 * 4, 0);
    b[2] = 2;                  // nr_of_programs
    b[3] = 3;                  // nr_of_cells
    b[4] = 0x00, b[5] = 0x01, b[6] = 0x30, b[7] = 0x58;  // playback time 00:01:30, 25 fps, frame 18
    Put16(b, 12, 0x8000);      // audio_control[0]: available, stream 0
    Put32(b, 28, 0x80000000);  // subp_control[0]: available, stream 0
    Put16(b, 156, 2);          // next_pgc_nr
    Put16(b, 228, 236);        // command_tbl_offset
    Put16(b, 230, 252);        // program_map_offset
    Put16(b, 232, 254);        // cell_playback_offset
    Put16(b, 234, 326);        // cell_position_offset
    Put16(b, 236, 1);          // nr_of_pre
    Put16(b, 242, 15);         // command table last_byte: 8 + 8 - 1
    b[252] = 1, b[253] = 3;    // programs start at cells 1 and 3
    for (int c = 0; c < 3; ++c)
    {
        const size_t at = 254 + 24 * static_cast<size_t>(c);
        b[at] = c == 0 ? 0x02 : 0x00;        // stc_discontinuity on the first cell
        b[at + 7] = 0x40;                    // 25 fps, 0 frames
        b[at + 6] = 0x30;                    // 30 s
        Put32(b, at + 8, 100u * c);          // first_sector
        Put32(b, at + 16, 100u * c + 90);    // last_vobu_start_sector
        Put32(b, at + 20, 100u * c + 99);    // last_sector
        Put16(b, 326 + 4 * static_cast<size_t>(c), 1);                   // vob_id_nr
        b[326 + 4 * static_cast<size_t>(c) + 3] = static_cast<uint8_t>(c + 1);  // cell_nr
    }
    return b;
}

}  // namespace

TEST(IfoReader, PgcFields)
{
    const Bytes b = PgcBytes();
    Exact e(b);
    CIfoPgc pgc;
    ASSERT_TRUE(pgc.Parse(e.bytes, 0, e.bytes.All(), "PGC"));
    EXPECT_TRUE(e.bytes.Issues().empty()) << Issues(e.bytes);
    EXPECT_EQ(pgc.m_nNrOfPrograms, 2);
    EXPECT_EQ(pgc.m_playbackTime.Frames(), 90u * 25 + 18);
    EXPECT_EQ(pgc.m_playbackTime.Text(), "00:01:30.720");
    EXPECT_TRUE(pgc.AudioAvailable(0));
    EXPECT_FALSE(pgc.AudioAvailable(1));
    EXPECT_EQ(pgc.m_nNextPgcNr, 2);
    EXPECT_EQ(pgc.m_nNrOfPre, 1);
    EXPECT_EQ(pgc.m_programMap, (std::vector<uint8_t>{1, 3}));
    ASSERT_EQ(pgc.m_cellPlayback.size(), 3u);
    EXPECT_EQ(pgc.m_cellPlayback[0].m_nStcDiscontinuity, 1);
    EXPECT_EQ(pgc.m_cellPlayback[1].m_nStcDiscontinuity, 0);
    EXPECT_EQ(pgc.m_cellPlayback[2].m_nLastSector, 299u);
    EXPECT_EQ(pgc.m_cellPlayback[2].m_nOffset, 254u + 48);
    EXPECT_EQ(pgc.m_cellPosition[2].m_nCellNr, 3);
    EXPECT_EQ(pgc.m_extent.end, b.size());
}

TEST(IfoReader, PgcTablesOutsideTheirTable)
{
    // Every prefix of the PGC: never a read past it; a table that does not fit is an
    // issue at its offset field and is left empty.
    const Bytes b = PgcBytes();
    for (size_t n = 0; n <= b.size(); ++n)
    {
        Exact e(b, n);
        CIfoPgc pgc;
        const bool ok = pgc.Parse(e.bytes, 0, e.bytes.All(), "PGC");
        EXPECT_EQ(ok, n >= CIfoPgc::kSize) << n;
        if (!ok)
            continue;
        EXPECT_EQ(pgc.m_cellPosition.empty(), n < b.size()) << n;
        EXPECT_EQ(pgc.m_cellPlayback.empty(), n < 254 + 72) << n;
        if (n < b.size())
            EXPECT_TRUE(HasIssueAt(e.bytes, 234)) << n << "\n" << Issues(e.bytes);
    }
    {
        // Cells but no cell tables; the command table claiming more commands than its
        // length holds; the program map over the header.
        Bytes c = PgcBytes();
        Put16(c, 232, 0);
        Put16(c, 236, 9);
        Put16(c, 230, 100);
        Exact e(c);
        CIfoPgc pgc;
        ASSERT_TRUE(pgc.Parse(e.bytes, 0, e.bytes.All(), "PGC"));
        EXPECT_TRUE(HasIssueAt(e.bytes, 232)) << Issues(e.bytes);
        EXPECT_TRUE(HasIssueAt(e.bytes, 236 + 6)) << Issues(e.bytes);
        EXPECT_TRUE(HasIssueAt(e.bytes, 230)) << Issues(e.bytes);
        EXPECT_TRUE(pgc.m_cellPlayback.empty());
        EXPECT_TRUE(pgc.m_programMap.empty());
        EXPECT_FALSE(pgc.m_bHasCommands);
    }
    {
        // The cell position table over the cell playback table: both are suspect.
        Bytes c = PgcBytes();
        Put16(c, 234, 254 + 24);
        Exact e(c);
        CIfoPgc pgc;
        ASSERT_TRUE(pgc.Parse(e.bytes, 0, e.bytes.All(), "PGC"));
        EXPECT_TRUE(HasIssueAt(e.bytes, 234)) << Issues(e.bytes);
        EXPECT_TRUE(pgc.m_cellPosition.empty());
    }
}

TEST(IfoReader, PgcitSharedAndOverlappingPgcs)
{
    // A PGCIT of three search pointers: two to one PGC (shared, read once), one to a PGC
    // that overlaps it (left out).
    const Bytes pgc = PgcBytes();
    Bytes b(8 + 3 * 8, 0);
    Put16(b, 0, 3);                              // nr_of_pgci_srp
    const uint32_t first = static_cast<uint32_t>(b.size());
    b.insert(b.end(), pgc.begin(), pgc.end());
    Put32(b, 4, static_cast<uint32_t>(b.size() - 1));  // last_byte
    b[8] = 0x81;                                 // entry_id of PGC 1
    Put32(b, 8 + 4, first);                      // PGC 1
    Put32(b, 16 + 4, first);                     // PGC 2: the same bytes
    Put32(b, 24 + 4, first + 8);                 // PGC 3: inside PGC 1
    Exact e(b);
    CIfoPgcit t;
    ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All(), "VTS_PGCIT"));
    ASSERT_EQ(t.m_srps.size(), 3u);
    EXPECT_EQ(t.m_srps[0].m_nEntryId, 0x81);
    EXPECT_EQ(t.m_pgcs.size(), 1u);
    EXPECT_EQ(t.PgcOf(0), t.PgcOf(1));
    EXPECT_EQ(t.PgcOf(2), nullptr);
    EXPECT_TRUE(HasIssueAt(e.bytes, 24 + 4)) << Issues(e.bytes);

    // More search pointers than the table holds, and one pointing into the pointers.
    Put16(b, 0, 60000);
    Exact f(b);
    CIfoPgcit u;
    ASSERT_TRUE(u.Parse(f.bytes, 0, f.bytes.All(), "VTS_PGCIT"));
    EXPECT_TRUE(HasIssueAt(f.bytes, 0)) << Issues(f.bytes);
    EXPECT_EQ(u.m_srps.size(), (b.size() - 8) / 8);
}

TEST(IfoReader, AddressTables)
{
    // C_ADT: 2 VOBs, three cells, then half an entry more than a whole number.
    Bytes c(8 + 3 * 12, 0);
    Put16(c, 0, 2);                               // nr_of_vobs
    Put32(c, 4, static_cast<uint32_t>(c.size() - 1));
    const uint16_t vobs[3] = {1, 1, 2};
    for (size_t i = 0; i < 3; ++i)
    {
        Put16(c, 8 + 12 * i, vobs[i]);            // vob_id
        c[8 + 12 * i + 2] = static_cast<uint8_t>(i == 1 ? 2 : 1);  // cell_id
        Put32(c, 8 + 12 * i + 4, 100 * static_cast<uint32_t>(i));  // start_sector
        Put32(c, 8 + 12 * i + 8, 100 * static_cast<uint32_t>(i) + 99);  // last_sector
    }
    {
        Exact e(c);
        CIfoCAdt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All(), "VTS_C_ADT"));
        EXPECT_TRUE(e.bytes.Issues().empty()) << Issues(e.bytes);
        ASSERT_EQ(t.m_cells.size(), 3u);
        ASSERT_NE(t.Find(1, 2), nullptr);
        EXPECT_EQ(t.Find(1, 2)->m_nStartSector, 100u);
        EXPECT_EQ(t.Find(2, 2), nullptr);
    }
    Put32(c, 4, static_cast<uint32_t>(c.size() - 1 - 6));
    {
        Exact e(c);
        CIfoCAdt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All(), "VTS_C_ADT"));
        EXPECT_TRUE(HasIssueAt(e.bytes, 4)) << Issues(e.bytes);
        EXPECT_EQ(t.m_cells.size(), 2u);
    }
    // VOBU_ADMAP: its last byte past the file, then below its own 4 bytes.
    Bytes a(4 + 3 * 4, 0);
    Put32(a, 0, 100);
    {
        Exact e(a);
        CIfoVobuAdmap m;
        EXPECT_FALSE(m.Parse(e.bytes, 0, e.bytes.All(), "VTS_VOBU_ADMAP"));
        EXPECT_TRUE(HasIssueAt(e.bytes, 0));
    }
    Put32(a, 0, 2);
    {
        Exact e(a);
        CIfoVobuAdmap m;
        EXPECT_FALSE(m.Parse(e.bytes, 0, e.bytes.All(), "VTS_VOBU_ADMAP"));
    }
    Put32(a, 0, 15);
    Put32(a, 8, 7);
    {
        Exact e(a);
        CIfoVobuAdmap m;
        ASSERT_TRUE(m.Parse(e.bytes, 0, e.bytes.All(), "VTS_VOBU_ADMAP"));
        EXPECT_EQ(m.m_sectors, (std::vector<uint32_t>{0, 7, 0}));
        EXPECT_EQ(m.EntryOffset(2), 12u);
    }
}

TEST(IfoReader, ChaptersAndTimeMaps)
{
    // VTS_PTT_SRPT of two titles: two chapters, then one.
    Bytes p(8 + 2 * 4 + 3 * 4, 0);
    Put16(p, 0, 2);
    Put32(p, 4, static_cast<uint32_t>(p.size() - 1));
    Put32(p, 8, 16);                              // title 1's chapters
    Put32(p, 12, 24);                             // title 2's
    Put16(p, 16, 1), Put16(p, 18, 1);             // chapter 1: PGC 1, program 1
    Put16(p, 20, 1), Put16(p, 22, 2);             // chapter 2: PGC 1, program 2
    Put16(p, 24, 2), Put16(p, 26, 1);             // title 2: PGC 2, program 1
    {
        Exact e(p);
        CIfoPttSrpt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All()));
        EXPECT_TRUE(e.bytes.Issues().empty()) << Issues(e.bytes);
        ASSERT_EQ(t.m_titles.size(), 2u);
        ASSERT_EQ(t.m_titles[0].ptts.size(), 2u);
        EXPECT_EQ(t.m_titles[0].ptts[1].m_nPgn, 2);
        ASSERT_EQ(t.m_titles[1].ptts.size(), 1u);
        EXPECT_EQ(t.m_titles[1].ptts[0].m_nPgcn, 2);
    }
    // Title 2's chapters said to start inside the offsets.
    Put32(p, 12, 4);
    {
        Exact e(p);
        CIfoPttSrpt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All()));
        EXPECT_TRUE(HasIssueAt(e.bytes, 12)) << Issues(e.bytes);
        EXPECT_TRUE(t.m_titles[1].ptts.empty());
        EXPECT_EQ(t.m_titles[0].ptts.size(), 3u);  // to the table's end
    }

    // VTS_TMAPTI: two maps, the second claiming more entries than the table has, then
    // two that share bytes.
    Bytes m(8 + 2 * 4 + 4 + 2 * 4 + 4 + 4, 0);
    Put16(m, 0, 2);
    Put32(m, 4, static_cast<uint32_t>(m.size() - 1));
    Put32(m, 8, 16);
    Put32(m, 12, 28);
    m[16] = 1;                                    // tmu
    Put16(m, 18, 2);                              // nr_of_entries
    Put32(m, 20, 0x80000046);                     // discontinuity flag, sector 0x46
    Put32(m, 24, 0x9D);
    m[28] = 1;
    Put16(m, 30, 9);
    {
        Exact e(m);
        CIfoTmapt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All()));
        ASSERT_EQ(t.m_maps.size(), 2u);
        EXPECT_TRUE(t.m_maps[0].read);
        EXPECT_EQ(t.m_maps[0].entries[0] & CIfoTmapt::kSectorMask, 0x46u);
        EXPECT_FALSE(t.m_maps[1].read);
        EXPECT_TRUE(HasIssueAt(e.bytes, 30)) << Issues(e.bytes);
    }
    // Map 2 at map 1's first entry, which reads as a map of one entry.
    Put32(m, 20, 0x01000001);
    Put32(m, 12, 20);
    {
        Exact e(m);
        CIfoTmapt t;
        ASSERT_TRUE(t.Parse(e.bytes, 0, e.bytes.All()));
        EXPECT_FALSE(t.m_maps[1].read);
        EXPECT_TRUE(HasIssueAt(e.bytes, 12)) << Issues(e.bytes);
    }
}

TEST(IfoReader, ManagementTablePointers)
{
    // A title set IFO of three sectors: the management table, then VTS_PTT_SRPT and
    // VTS_PGCIT in sector 1 and 2; the address tables point past the file.
    Bytes b(3 * 2048, 0);
    const char id[] = "DVDVIDEO-VTS";
    std::copy(id, id + 12, b.begin());
    Put32(b, 0x0C, 100);                          // vts_last_sector
    Put32(b, 0x1C, 2);                            // vtsi_last_sector: 3 sectors
    Put32(b, 0x80, 2047);                         // vtsi_last_byte
    Put32(b, 0xC4, 3);                            // vtstt_vobs
    Put32(b, 0xC8, 1);                            // vts_ptt_srpt
    Put32(b, 0xCC, 2);                            // vts_pgcit
    Put32(b, 0xE0, 9);                            // vts_c_adt: past the file
    Put32(b, 0xE4, 0);                            // vts_vobu_admap: none
    b[0x203] = 2;                                 // nr_of_vts_audio_streams
    b[0x204] = 0x04;                              // audio 1: AC-3, language given
    b[0x205] = 0x05;                              // 48 kHz, 6 channels
    Put16(b, 0x206, ('e' << 8) | 'n');
    Put16(b, 2048, 0);                            // VTS_PTT_SRPT: no titles
    Put32(b, 2048 + 4, 7);
    Put16(b, 4096, 0);                            // VTS_PGCIT: no PGCs
    Put32(b, 4096 + 4, 7);
    {
        Exact e(b);
        CIfoVtsi v;
        ASSERT_TRUE(v.Parse(e.bytes));
        EXPECT_TRUE(v.m_hasPttSrpt);
        EXPECT_TRUE(v.m_hasPgcit);
        EXPECT_FALSE(v.m_hasCAdt);
        EXPECT_FALSE(v.m_hasAdmap);
        EXPECT_TRUE(HasIssueAt(e.bytes, 0xE0)) << Issues(e.bytes);
        EXPECT_TRUE(HasIssueAt(e.bytes, 0xE4)) << Issues(e.bytes);
        EXPECT_EQ(v.m_mat.m_nNrOfVtsAudioStreams, 2);
        EXPECT_EQ(v.m_mat.m_vtsAudioAttr[0].FormatText(), "ac3");
        EXPECT_EQ(v.m_mat.m_vtsAudioAttr[0].ChannelCount(), 6u);
        EXPECT_EQ(LanguageText(v.m_mat.m_vtsAudioAttr[0].m_nLangCode), "en");
        EXPECT_EQ(TableAt(v.m_tables, 4096 + 3), "VTS_PGCIT");
    }
    // Two tables in one sector overlap.
    Put32(b, 0xCC, 1);
    {
        Exact e(b);
        CIfoVtsi v;
        ASSERT_TRUE(v.Parse(e.bytes));
        EXPECT_TRUE(HasIssueAt(e.bytes, 2048)) << Issues(e.bytes);
    }
    // Every prefix: a file shorter than its management table is no IFO; one cut later
    // reads what it has.
    for (size_t n = 0; n <= b.size(); n += 97)
    {
        Exact e(b, n);
        CIfoVtsi v;
        EXPECT_EQ(v.Parse(e.bytes), n >= CIfoVtsiMat::kSize) << n;
    }
    // The wrong identifier.
    b[11] = 'G';
    Exact e(b);
    CIfoVtsi v;
    EXPECT_FALSE(v.Parse(e.bytes));
}

TEST(IfoReader, TimesAndIssueBound)
{
    CIfoTime t;
    const Bytes b = {0x01, 0x02, 0x03, 0xC9,   // 01:02:03, 29.97 fps, frame 9
                     0x00, 0x60, 0x00, 0x40,   // 60 minutes
                     0x00, 0x00, 0x01, 0x05,   // the reserved rate flag 0
                     0x00, 0x00};              // cut short
    Exact e(b);
    t.Parse(e.bytes, 0);
    EXPECT_TRUE(t.Valid());
    EXPECT_EQ(t.Frames(), (3600u + 120 + 3) * 30 + 9);
    EXPECT_EQ(t.Ticks90(), static_cast<int64_t>(t.Frames()) * 3003);
    EXPECT_EQ(t.Text(), "01:02:03.300");  // 9 frames at 29.97 fps, as a player shows them
    t.Parse(e.bytes, 4);
    EXPECT_FALSE(t.Valid());
    t.Parse(e.bytes, 8);
    EXPECT_FALSE(t.Valid());
    t.Parse(e.bytes, 12);
    EXPECT_EQ(t.m_nSecond, 0);
    EXPECT_EQ(t.m_nFrameU, 0);

    // Issues beyond the bound are counted, not kept.
    CIfoBytes many(b.data(), b.size());
    for (size_t i = 0; i < CIfoBytes::kMaxIssues + 10; ++i)
        many.Issue(static_cast<uint32_t>(i), "issue %zu", i);
    EXPECT_EQ(many.Issues().size(), CIfoBytes::kMaxIssues);
    EXPECT_EQ(many.IssueCount(), CIfoBytes::kMaxIssues + 10);
}
