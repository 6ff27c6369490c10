// The IFO reader against libdvdread's ifoOpen on every IFO of the discs dvdauthor
// authors at test time (make-discs.sh): every field both read, table by table.

#include "support/TestFiles.h"
#include "syntax/dvd/IfoFile.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace
{

const std::string kDiscs = VARNODEL_DISCS;

struct Dvd
{
    explicit Dvd(const std::string& path) : dvd(DVDOpen(path.c_str())) {}
    ~Dvd()
    {
        if (dvd)
            DVDClose(dvd);
    }
    dvd_reader_t* dvd;
};

struct Ifo
{
    Ifo(dvd_reader_t* dvd, int title) : h(dvd ? ifoOpen(dvd, title) : nullptr) {}
    ~Ifo()
    {
        if (h)
            ifoClose(h);
    }
    ifo_handle_t* h;
};

void ExpectTime(const CIfoTime& mine, const dvd_time_t& theirs, const std::string& where)
{
    EXPECT_EQ(mine.m_nHour, theirs.hour) << where;
    EXPECT_EQ(mine.m_nMinute, theirs.minute) << where;
    EXPECT_EQ(mine.m_nSecond, theirs.second) << where;
    EXPECT_EQ(mine.m_nFrameU, theirs.frame_u) << where;
}

void ExpectVideo(const CIfoVideoAttr& m, const video_attr_t& t, const std::string& where)
{
    EXPECT_EQ(m.m_nMpegVersion, t.mpeg_version) << where;
    EXPECT_EQ(m.m_nVideoFormat, t.video_format) << where;
    EXPECT_EQ(m.m_nDisplayAspectRatio, t.display_aspect_ratio) << where;
    EXPECT_EQ(m.m_nPermittedDf, t.permitted_df) << where;
    EXPECT_EQ(m.m_nLine21Cc1, t.line21_cc_1) << where;
    EXPECT_EQ(m.m_nLine21Cc2, t.line21_cc_2) << where;
    EXPECT_EQ(m.m_nUnknown1, t.unknown1) << where;
    EXPECT_EQ(m.m_nBitRate, t.bit_rate) << where;
    EXPECT_EQ(m.m_nPictureSize, t.picture_size) << where;
    EXPECT_EQ(m.m_nLetterboxed, t.letterboxed) << where;
    EXPECT_EQ(m.m_nFilmMode, t.film_mode) << where;
}

void ExpectAudio(const CIfoAudioAttr& m, const audio_attr_t& t, const std::string& where)
{
    EXPECT_EQ(m.m_nAudioFormat, t.audio_format) << where;
    EXPECT_EQ(m.m_nMultichannelExtension, t.multichannel_extension) << where;
    EXPECT_EQ(m.m_nLangType, t.lang_type) << where;
    EXPECT_EQ(m.m_nApplicationMode, t.application_mode) << where;
    EXPECT_EQ(m.m_nQuantization, t.quantization) << where;
    EXPECT_EQ(m.m_nSampleFrequency, t.sample_frequency) << where;
    EXPECT_EQ(m.m_nUnknown1, t.unknown1) << where;
    EXPECT_EQ(m.m_nChannels, t.channels) << where;
    EXPECT_EQ(m.m_nLangCode, t.lang_code) << where;
    EXPECT_EQ(m.m_nLangExtension, t.lang_extension) << where;
    EXPECT_EQ(m.m_nCodeExtension, t.code_extension) << where;
    EXPECT_EQ(m.m_nUnknown3, t.unknown3) << where;
    const uint8_t appInfo = static_cast<uint8_t>(
        (t.app_info.karaoke.unknown4 << 7) | (t.app_info.karaoke.channel_assignment << 4) |
        (t.app_info.karaoke.version << 2) | (t.app_info.karaoke.mc_intro << 1) | t.app_info.karaoke.mode);
    EXPECT_EQ(m.m_nAppInfo, appInfo) << where;
}

// The user operations as the 32 bits of the layout, bit 0 the last.
uint32_t UserOps(const user_ops_t& u)
{
    const unsigned bits[25] = {u.title_or_time_play, u.chapter_search_or_play, u.title_play, u.stop, u.go_up,
                               u.time_or_chapter_search, u.prev_or_top_pg_search, u.next_pg_search, u.forward_scan,
                               u.backward_scan, u.title_menu_call, u.root_menu_call, u.subpic_menu_call,
                               u.audio_menu_call, u.angle_menu_call, u.chapter_menu_call, u.resume,
                               u.button_select_or_activate, u.still_off, u.pause_on, u.audio_stream_change,
                               u.subpic_stream_change, u.angle_change, u.karaoke_audio_pres_mode_change,
                               u.video_pres_mode_change};
    uint32_t v = uint32_t{u.zero} << 25;
    for (uint32_t i = 0; i < 25; ++i)
        v |= uint32_t{bits[i]} << i;
    return v;
}

void ExpectSubp(const CIfoSubpAttr& m, const subp_attr_t& t, const std::string& where)
{
    EXPECT_EQ(m.m_nCodeMode, t.code_mode) << where;
    EXPECT_EQ(m.m_nType, t.type) << where;
    EXPECT_EQ(m.m_nZero2, t.zero2) << where;
    EXPECT_EQ(m.m_nLangCode, t.lang_code) << where;
    EXPECT_EQ(m.m_nLangExtension, t.lang_extension) << where;
    EXPECT_EQ(m.m_nCodeExtension, t.code_extension) << where;
}

void ExpectPgc(const CIfoPgc& m, const pgc_t* t, const std::string& where)
{
    ASSERT_NE(t, nullptr) << where;
    EXPECT_EQ(m.m_nNrOfPrograms, t->nr_of_programs) << where;
    EXPECT_EQ(m.m_nNrOfCells, t->nr_of_cells) << where;
    ExpectTime(m.m_playbackTime, t->playback_time, where + " time");
    EXPECT_EQ(m.m_nProhibitedOps, UserOps(t->prohibited_ops)) << where;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(m.m_nAudioControl[i], t->audio_control[i]) << where << " audio control " << i;
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(m.m_nSubpControl[i], t->subp_control[i]) << where << " subpicture control " << i;
    EXPECT_EQ(m.m_nNextPgcNr, t->next_pgc_nr) << where;
    EXPECT_EQ(m.m_nPrevPgcNr, t->prev_pgc_nr) << where;
    EXPECT_EQ(m.m_nGoupPgcNr, t->goup_pgc_nr) << where;
    EXPECT_EQ(m.m_nPgPlaybackMode, t->pg_playback_mode) << where;
    EXPECT_EQ(m.m_nStillTime, t->still_time) << where;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m_nPalette[i], t->palette[i]) << where << " palette " << i;
    EXPECT_EQ(m.m_nCommandTblOffset, t->command_tbl_offset) << where;
    EXPECT_EQ(m.m_nProgramMapOffset, t->program_map_offset) << where;
    EXPECT_EQ(m.m_nCellPlaybackOffset, t->cell_playback_offset) << where;
    EXPECT_EQ(m.m_nCellPositionOffset, t->cell_position_offset) << where;
    if (t->command_tbl)
    {
        EXPECT_TRUE(m.m_bHasCommands) << where;
        EXPECT_EQ(m.m_nNrOfPre, t->command_tbl->nr_of_pre) << where;
        EXPECT_EQ(m.m_nNrOfPost, t->command_tbl->nr_of_post) << where;
        EXPECT_EQ(m.m_nNrOfCell, t->command_tbl->nr_of_cell) << where;
        EXPECT_EQ(m.m_nCommandLastByte, t->command_tbl->last_byte) << where;
    }
    ASSERT_EQ(m.m_programMap.size(), size_t{t->nr_of_programs}) << where;
    for (size_t i = 0; i < m.m_programMap.size(); ++i)
        EXPECT_EQ(m.m_programMap[i], t->program_map[i]) << where << " program " << i + 1;
    ASSERT_EQ(m.m_cellPlayback.size(), size_t{t->nr_of_cells}) << where;
    ASSERT_EQ(m.m_cellPosition.size(), size_t{t->nr_of_cells}) << where;
    for (size_t i = 0; i < m.m_cellPlayback.size(); ++i)
    {
        const std::string cell = where + " cell " + std::to_string(i + 1);
        const CIfoCellPlayback& c = m.m_cellPlayback[i];
        const cell_playback_t& d = t->cell_playback[i];
        EXPECT_EQ(c.m_nBlockMode, d.block_mode) << cell;
        EXPECT_EQ(c.m_nBlockType, d.block_type) << cell;
        EXPECT_EQ(c.m_nSeamlessPlay, d.seamless_play) << cell;
        EXPECT_EQ(c.m_nInterleaved, d.interleaved) << cell;
        EXPECT_EQ(c.m_nStcDiscontinuity, d.stc_discontinuity) << cell;
        EXPECT_EQ(c.m_nSeamlessAngle, d.seamless_angle) << cell;
        EXPECT_EQ(c.m_nPlaybackMode, d.playback_mode) << cell;
        EXPECT_EQ(c.m_nRestricted, d.restricted) << cell;
        EXPECT_EQ(c.m_nCellType, d.cell_type) << cell;
        EXPECT_EQ(c.m_nStillTime, d.still_time) << cell;
        EXPECT_EQ(c.m_nCellCmdNr, d.cell_cmd_nr) << cell;
        ExpectTime(c.m_playbackTime, d.playback_time, cell);
        EXPECT_EQ(c.m_nFirstSector, d.first_sector) << cell;
        EXPECT_EQ(c.m_nFirstIlvuEndSector, d.first_ilvu_end_sector) << cell;
        EXPECT_EQ(c.m_nLastVobuStartSector, d.last_vobu_start_sector) << cell;
        EXPECT_EQ(c.m_nLastSector, d.last_sector) << cell;
        EXPECT_EQ(m.m_cellPosition[i].m_nVobIdNr, t->cell_position[i].vob_id_nr) << cell;
        EXPECT_EQ(m.m_cellPosition[i].m_nCellNr, t->cell_position[i].cell_nr) << cell;
    }
}

void ExpectPgcit(const CIfoPgcit& m, const pgcit_t* t, const std::string& where)
{
    ASSERT_NE(t, nullptr) << where;
    EXPECT_EQ(m.m_header.m_nCount, t->nr_of_pgci_srp) << where;
    EXPECT_EQ(m.m_header.m_nLastByte, t->last_byte) << where;
    ASSERT_EQ(m.m_srps.size(), size_t{t->nr_of_pgci_srp}) << where;
    for (size_t i = 0; i < m.m_srps.size(); ++i)
    {
        const std::string srp = where + " PGC " + std::to_string(i + 1);
        EXPECT_EQ(m.m_srps[i].m_nEntryId, t->pgci_srp[i].entry_id) << srp;
        EXPECT_EQ(m.m_srps[i].m_nBlockMode, t->pgci_srp[i].block_mode) << srp;
        EXPECT_EQ(m.m_srps[i].m_nBlockType, t->pgci_srp[i].block_type) << srp;
        EXPECT_EQ(m.m_srps[i].m_nPtlIdMask, t->pgci_srp[i].ptl_id_mask) << srp;
        EXPECT_EQ(m.m_srps[i].m_nPgcStartByte, t->pgci_srp[i].pgc_start_byte) << srp;
        ASSERT_NE(m.PgcOf(i), nullptr) << srp;
        ExpectPgc(*m.PgcOf(i), t->pgci_srp[i].pgc, srp);
    }
}

void ExpectPgciUt(const CIfoPgciUt& m, const pgci_ut_t* t, const std::string& where)
{
    ASSERT_NE(t, nullptr) << where;
    EXPECT_EQ(m.m_header.m_nCount, t->nr_of_lus) << where;
    EXPECT_EQ(m.m_header.m_nLastByte, t->last_byte) << where;
    ASSERT_EQ(m.m_lus.size(), size_t{t->nr_of_lus}) << where;
    for (size_t i = 0; i < m.m_lus.size(); ++i)
    {
        const std::string lu = where + " LU " + std::to_string(i + 1);
        EXPECT_EQ(m.m_lus[i].m_nLangCode, t->lu[i].lang_code) << lu;
        EXPECT_EQ(m.m_lus[i].m_nLangExtension, t->lu[i].lang_extension) << lu;
        EXPECT_EQ(m.m_lus[i].m_nExists, t->lu[i].exists) << lu;
        EXPECT_EQ(m.m_lus[i].m_nLangStartByte, t->lu[i].lang_start_byte) << lu;
        ASSERT_GE(m.m_lus[i].pgcit, 0) << lu;
        ExpectPgcit(m.m_pgcits[static_cast<size_t>(m.m_lus[i].pgcit)], t->lu[i].pgcit, lu);
    }
}

void ExpectCAdt(bool has, const CIfoCAdt& m, const c_adt_t* t, const std::string& where)
{
    ASSERT_EQ(has, t != nullptr) << where;
    if (!t)
        return;
    EXPECT_EQ(m.m_header.m_nCount, t->nr_of_vobs) << where;
    EXPECT_EQ(m.m_header.m_nLastByte, t->last_byte) << where;
    ASSERT_EQ(m.m_cells.size(), (t->last_byte + 1 - C_ADT_SIZE) / sizeof(cell_adr_t)) << where;
    for (size_t i = 0; i < m.m_cells.size(); ++i)
    {
        EXPECT_EQ(m.m_cells[i].m_nVobId, t->cell_adr_table[i].vob_id) << where << " " << i;
        EXPECT_EQ(m.m_cells[i].m_nCellId, t->cell_adr_table[i].cell_id) << where << " " << i;
        EXPECT_EQ(m.m_cells[i].m_nStartSector, t->cell_adr_table[i].start_sector) << where << " " << i;
        EXPECT_EQ(m.m_cells[i].m_nLastSector, t->cell_adr_table[i].last_sector) << where << " " << i;
    }
}

void ExpectAdmap(bool has, const CIfoVobuAdmap& m, const vobu_admap_t* t, const std::string& where)
{
    ASSERT_EQ(has, t != nullptr) << where;
    if (!t)
        return;
    EXPECT_EQ(m.m_nLastByte, t->last_byte) << where;
    ASSERT_EQ(m.m_sectors.size(), (t->last_byte + 1 - VOBU_ADMAP_SIZE) / 4) << where;
    for (size_t i = 0; i < m.m_sectors.size(); ++i)
        EXPECT_EQ(m.m_sectors[i], t->vobu_start_sectors[i]) << where << " " << i;
}

void Put32Into(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

Bytes ReadIfo(const std::string& path)
{
    const Bytes b = ReadWholeFile(path);
    EXPECT_FALSE(b.empty()) << path << " (made by make-discs.sh)";
    return b;
}

void CompareVmgi(const std::string& disc)
{
    SCOPED_TRACE(disc);
    const Bytes bytes = ReadIfo(disc + "/VIDEO_TS/VIDEO_TS.IFO");
    CIfoBytes b(bytes.data(), bytes.size());
    CIfoVmgi mine;
    ASSERT_TRUE(mine.Parse(b));
    EXPECT_TRUE(b.Issues().empty()) << b.Issues().front().text;
    Dvd dvd(disc);
    Ifo ifo(dvd.dvd, 0);
    ASSERT_NE(ifo.h, nullptr);
    const vmgi_mat_t& t = *ifo.h->vmgi_mat;
    const CIfoVmgiMat& m = mine.m_mat;
    EXPECT_EQ(std::string(m.m_szVmgIdentifier), std::string(t.vmg_identifier, 12));
    EXPECT_EQ(m.m_nVmgLastSector, t.vmg_last_sector);
    EXPECT_EQ(m.m_nVmgiLastSector, t.vmgi_last_sector);
    EXPECT_EQ(m.m_nSpecificationVersion, t.specification_version);
    EXPECT_EQ(m.m_nVmgCategory, t.vmg_category);
    EXPECT_EQ(m.m_nVmgNrOfVolumes, t.vmg_nr_of_volumes);
    EXPECT_EQ(m.m_nVmgThisVolumeNr, t.vmg_this_volume_nr);
    EXPECT_EQ(m.m_nDiscSide, t.disc_side);
    EXPECT_EQ(m.m_nVmgNrOfTitleSets, t.vmg_nr_of_title_sets);
    EXPECT_EQ(std::string(m.m_szProviderIdentifier), std::string(t.provider_identifier, strnlen(t.provider_identifier, 32)));
    EXPECT_EQ(m.m_nVmgPosCode, t.vmg_pos_code);
    EXPECT_EQ(m.m_nVmgiLastByte, t.vmgi_last_byte);
    EXPECT_EQ(m.m_nFirstPlayPgc, t.first_play_pgc);
    EXPECT_EQ(m.m_nVmgmVobs, t.vmgm_vobs);
    EXPECT_EQ(m.m_nTtSrpt, t.tt_srpt);
    EXPECT_EQ(m.m_nVmgmPgciUt, t.vmgm_pgci_ut);
    EXPECT_EQ(m.m_nPtlMait, t.ptl_mait);
    EXPECT_EQ(m.m_nVtsAtrt, t.vts_atrt);
    EXPECT_EQ(m.m_nTxtdtMgi, t.txtdt_mgi);
    EXPECT_EQ(m.m_nVmgmCAdt, t.vmgm_c_adt);
    EXPECT_EQ(m.m_nVmgmVobuAdmap, t.vmgm_vobu_admap);
    ExpectVideo(m.m_vmgmVideoAttr, t.vmgm_video_attr, "VMGM video");
    EXPECT_EQ(m.m_nNrOfVmgmAudioStreams, t.nr_of_vmgm_audio_streams);
    ExpectAudio(m.m_vmgmAudioAttr, t.vmgm_audio_attr, "VMGM audio");
    EXPECT_EQ(m.m_nNrOfVmgmSubpStreams, t.nr_of_vmgm_subp_streams);
    ExpectSubp(m.m_vmgmSubpAttr, t.vmgm_subp_attr, "VMGM subpicture");

    ASSERT_EQ(mine.m_hasFirstPlay, ifo.h->first_play_pgc != nullptr);
    if (mine.m_hasFirstPlay)
        ExpectPgc(mine.m_firstPlay, ifo.h->first_play_pgc, "first play PGC");

    ASSERT_TRUE(mine.m_hasTtSrpt);
    const tt_srpt_t& tt = *ifo.h->tt_srpt;
    EXPECT_EQ(mine.m_ttSrpt.m_header.m_nCount, tt.nr_of_srpts);
    EXPECT_EQ(mine.m_ttSrpt.m_header.m_nLastByte, tt.last_byte);
    ASSERT_EQ(mine.m_ttSrpt.m_titles.size(), size_t{tt.nr_of_srpts});
    for (size_t i = 0; i < tt.nr_of_srpts; ++i)
    {
        const CIfoTtSrpt::Title& a = mine.m_ttSrpt.m_titles[i];
        const title_info_t& e = tt.title[i];
        const uint8_t pbTy = static_cast<uint8_t>(
            (e.pb_ty.zero_1 << 7) | (e.pb_ty.multi_or_random_pgc_title << 6) | (e.pb_ty.jlc_exists_in_cell_cmd << 5) |
            (e.pb_ty.jlc_exists_in_prepost_cmd << 4) | (e.pb_ty.jlc_exists_in_button_cmd << 3) |
            (e.pb_ty.jlc_exists_in_tt_dom << 2) | (e.pb_ty.chapter_search_or_play << 1) | e.pb_ty.title_or_time_play);
        EXPECT_EQ(a.m_nPbTy, pbTy) << "title " << i + 1;
        EXPECT_EQ(a.m_nNrOfAngles, e.nr_of_angles) << "title " << i + 1;
        EXPECT_EQ(a.m_nNrOfPtts, e.nr_of_ptts) << "title " << i + 1;
        EXPECT_EQ(a.m_nParentalId, e.parental_id) << "title " << i + 1;
        EXPECT_EQ(a.m_nTitleSetNr, e.title_set_nr) << "title " << i + 1;
        EXPECT_EQ(a.m_nVtsTtn, e.vts_ttn) << "title " << i + 1;
        EXPECT_EQ(a.m_nTitleSetSector, e.title_set_sector) << "title " << i + 1;
    }

    ASSERT_EQ(mine.m_hasPgciUt, ifo.h->pgci_ut != nullptr);
    if (mine.m_hasPgciUt)
        ExpectPgciUt(mine.m_pgciUt, ifo.h->pgci_ut, "VMGM_PGCI_UT");
    ExpectCAdt(mine.m_hasCAdt, mine.m_cAdt, ifo.h->menu_c_adt, "VMGM_C_ADT");
    ExpectAdmap(mine.m_hasAdmap, mine.m_admap, ifo.h->menu_vobu_admap, "VMGM_VOBU_ADMAP");

    ASSERT_TRUE(mine.m_hasVtsAtrt);
    const vts_atrt_t& at = *ifo.h->vts_atrt;
    EXPECT_EQ(mine.m_vtsAtrt.m_header.m_nCount, at.nr_of_vtss);
    EXPECT_EQ(mine.m_vtsAtrt.m_header.m_nLastByte, at.last_byte);
    ASSERT_EQ(mine.m_vtsAtrt.m_entries.size(), size_t{at.nr_of_vtss});
    for (size_t i = 0; i < at.nr_of_vtss; ++i)
    {
        const std::string where = "VTS_ATRT " + std::to_string(i + 1);
        const CIfoVtsAtrt::Entry& a = mine.m_vtsAtrt.m_entries[i];
        const vts_attributes_t& e = at.vts[i];
        ASSERT_TRUE(a.read) << where;
        EXPECT_EQ(a.m_nStartByte, at.vts_atrt_offsets[i]) << where;
        EXPECT_EQ(a.m_nLastByte, e.last_byte) << where;
        EXPECT_EQ(a.m_nVtsCat, e.vts_cat) << where;
        ExpectVideo(a.m_vtsmVideo, e.vtsm_vobs_attr, where);
        EXPECT_EQ(a.m_nVtsmAudioCount, e.nr_of_vtsm_audio_streams) << where;
        ExpectAudio(a.m_vtsmAudio, e.vtsm_audio_attr, where);
        EXPECT_EQ(a.m_nVtsmSubpCount, e.nr_of_vtsm_subp_streams) << where;
        ExpectSubp(a.m_vtsmSubp, e.vtsm_subp_attr, where);
        ExpectVideo(a.m_vtsVideo, e.vtstt_vobs_video_attr, where);
        EXPECT_EQ(a.m_nVtsAudioCount, e.nr_of_vtstt_audio_streams) << where;
        for (int k = 0; k < 8; ++k)
            ExpectAudio(a.m_vtsAudio[k], e.vtstt_audio_attr[k], where + " audio " + std::to_string(k));
        EXPECT_EQ(a.m_nVtsSubpCount, e.nr_of_vtstt_subp_streams) << where;
        for (uint32_t k = 0; k < 32 && 350 + 6 * (k + 1) <= e.last_byte + 1; ++k)
            ExpectSubp(a.m_vtsSubp[k], e.vtstt_subp_attr[k], where + " subpicture " + std::to_string(k));
    }
}

void CompareVtsi(const std::string& disc, int vts)
{
    char name[32];
    std::snprintf(name, sizeof name, "/VIDEO_TS/VTS_%02d_0.IFO", vts);
    SCOPED_TRACE(disc + name);
    const Bytes bytes = ReadIfo(disc + name);
    CIfoBytes b(bytes.data(), bytes.size());
    CIfoVtsi mine;
    ASSERT_TRUE(mine.Parse(b));
    EXPECT_TRUE(b.Issues().empty()) << b.Issues().front().text;
    Dvd dvd(disc);
    Ifo ifo(dvd.dvd, vts);
    ASSERT_NE(ifo.h, nullptr);
    const vtsi_mat_t& t = *ifo.h->vtsi_mat;
    const CIfoVtsiMat& m = mine.m_mat;
    EXPECT_EQ(std::string(m.m_szVtsIdentifier), std::string(t.vts_identifier, 12));
    EXPECT_EQ(m.m_nVtsLastSector, t.vts_last_sector);
    EXPECT_EQ(m.m_nVtsiLastSector, t.vtsi_last_sector);
    EXPECT_EQ(m.m_nSpecificationVersion, t.specification_version);
    EXPECT_EQ(m.m_nVtsCategory, t.vts_category);
    EXPECT_EQ(m.m_nVtsiLastByte, t.vtsi_last_byte);
    EXPECT_EQ(m.m_nVtsmVobs, t.vtsm_vobs);
    EXPECT_EQ(m.m_nVtsttVobs, t.vtstt_vobs);
    EXPECT_EQ(m.m_nVtsPttSrpt, t.vts_ptt_srpt);
    EXPECT_EQ(m.m_nVtsPgcit, t.vts_pgcit);
    EXPECT_EQ(m.m_nVtsmPgciUt, t.vtsm_pgci_ut);
    EXPECT_EQ(m.m_nVtsTmapt, t.vts_tmapt);
    EXPECT_EQ(m.m_nVtsmCAdt, t.vtsm_c_adt);
    EXPECT_EQ(m.m_nVtsmVobuAdmap, t.vtsm_vobu_admap);
    EXPECT_EQ(m.m_nVtsCAdt, t.vts_c_adt);
    EXPECT_EQ(m.m_nVtsVobuAdmap, t.vts_vobu_admap);
    ExpectVideo(m.m_vtsmVideoAttr, t.vtsm_video_attr, "VTSM video");
    EXPECT_EQ(m.m_nNrOfVtsmAudioStreams, t.nr_of_vtsm_audio_streams);
    ExpectAudio(m.m_vtsmAudioAttr, t.vtsm_audio_attr, "VTSM audio");
    EXPECT_EQ(m.m_nNrOfVtsmSubpStreams, t.nr_of_vtsm_subp_streams);
    ExpectSubp(m.m_vtsmSubpAttr, t.vtsm_subp_attr, "VTSM subpicture");
    ExpectVideo(m.m_vtsVideoAttr, t.vts_video_attr, "VTS video");
    EXPECT_EQ(m.m_nNrOfVtsAudioStreams, t.nr_of_vts_audio_streams);
    for (int i = 0; i < 8; ++i)
        ExpectAudio(m.m_vtsAudioAttr[i], t.vts_audio_attr[i], "VTS audio " + std::to_string(i));
    EXPECT_EQ(m.m_nNrOfVtsSubpStreams, t.nr_of_vts_subp_streams);
    for (int i = 0; i < 32; ++i)
        ExpectSubp(m.m_vtsSubpAttr[i], t.vts_subp_attr[i], "VTS subpicture " + std::to_string(i));

    ASSERT_TRUE(mine.m_hasPttSrpt);
    const vts_ptt_srpt_t& p = *ifo.h->vts_ptt_srpt;
    EXPECT_EQ(mine.m_pttSrpt.m_header.m_nCount, p.nr_of_srpts);
    EXPECT_EQ(mine.m_pttSrpt.m_header.m_nLastByte, p.last_byte);
    ASSERT_EQ(mine.m_pttSrpt.m_titles.size(), size_t{p.nr_of_srpts});
    for (size_t i = 0; i < p.nr_of_srpts; ++i)
    {
        const CIfoPttSrpt::Title& a = mine.m_pttSrpt.m_titles[i];
        EXPECT_EQ(a.m_nStartByte, p.ttu_offset[i]) << "title " << i + 1;
        ASSERT_EQ(a.ptts.size(), size_t{p.title[i].nr_of_ptts}) << "title " << i + 1;
        for (size_t k = 0; k < a.ptts.size(); ++k)
        {
            EXPECT_EQ(a.ptts[k].m_nPgcn, p.title[i].ptt[k].pgcn) << "title " << i + 1 << " chapter " << k + 1;
            EXPECT_EQ(a.ptts[k].m_nPgn, p.title[i].ptt[k].pgn) << "title " << i + 1 << " chapter " << k + 1;
        }
    }
    ASSERT_TRUE(mine.m_hasPgcit);
    ExpectPgcit(mine.m_pgcit, ifo.h->vts_pgcit, "VTS_PGCIT");
    ASSERT_EQ(mine.m_hasMenuPgciUt, ifo.h->pgci_ut != nullptr);
    if (mine.m_hasMenuPgciUt)
        ExpectPgciUt(mine.m_menuPgciUt, ifo.h->pgci_ut, "VTSM_PGCI_UT");

    ASSERT_EQ(mine.m_hasTmapt, ifo.h->vts_tmapt != nullptr);
    if (mine.m_hasTmapt)
    {
        const vts_tmapt_t& tm = *ifo.h->vts_tmapt;
        EXPECT_EQ(mine.m_tmapt.m_header.m_nCount, tm.nr_of_tmaps);
        EXPECT_EQ(mine.m_tmapt.m_header.m_nLastByte, tm.last_byte);
        ASSERT_EQ(mine.m_tmapt.m_maps.size(), size_t{tm.nr_of_tmaps});
        for (size_t i = 0; i < tm.nr_of_tmaps; ++i)
        {
            const CIfoTmapt::Map& a = mine.m_tmapt.m_maps[i];
            EXPECT_EQ(a.m_nStartByte, tm.tmap_offset[i]) << "time map " << i + 1;
            EXPECT_EQ(a.m_nTmu, tm.tmap[i].tmu) << "time map " << i + 1;
            ASSERT_EQ(a.entries.size(), size_t{tm.tmap[i].nr_of_entries}) << "time map " << i + 1;
            for (size_t k = 0; k < a.entries.size(); ++k)
                EXPECT_EQ(a.entries[k], tm.tmap[i].map_ent[k]) << "time map " << i + 1 << " entry " << k;
        }
    }
    ExpectCAdt(mine.m_hasMenuCAdt, mine.m_menuCAdt, ifo.h->menu_c_adt, "VTSM_C_ADT");
    ExpectAdmap(mine.m_hasMenuAdmap, mine.m_menuAdmap, ifo.h->menu_vobu_admap, "VTSM_VOBU_ADMAP");
    ExpectCAdt(mine.m_hasCAdt, mine.m_cAdt, ifo.h->vts_c_adt, "VTS_C_ADT");
    ExpectAdmap(mine.m_hasAdmap, mine.m_admap, ifo.h->vts_vobu_admap, "VTS_VOBU_ADMAP");
}

}  // namespace

TEST(IfoDvdread, MenusTwoTitleSetsAndSubpictures)
{
    CompareVmgi(kDiscs + "/disc");
    CompareVtsi(kDiscs + "/disc", 1);
    CompareVtsi(kDiscs + "/disc", 2);
}

TEST(IfoDvdread, NtscWithoutMenus)
{
    CompareVmgi(kDiscs + "/ntsc");
    CompareVtsi(kDiscs + "/ntsc", 1);
}

TEST(IfoDvdread, FieldsThatAuthoredDiscsLeaveZero)
{
    // dvdauthor writes 0 into many fields; a copy with patterns in them shows that both
    // readers take each bit from the same place.
    TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(dir.Path()) / "VIDEO_TS");
    for (const auto& e : fs::directory_iterator(kDiscs + "/disc/VIDEO_TS"))
        if (e.path().extension() != ".VOB")
            fs::copy_file(e.path(), fs::path(dir.Path()) / "VIDEO_TS" / e.path().filename());
    const auto be32 = [](const Bytes& b, size_t at) {
        return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
    };
    const auto patch = [&](const char* name, const std::function<void(Bytes&)>& change) {
        const std::string path = dir.Path() + "/VIDEO_TS/" + name;
        Bytes b = ReadWholeFile(path);
        change(b);
        dir.Write(std::string("VIDEO_TS/") + name, b);
    };
    patch("VIDEO_TS.IFO", [&](Bytes& b) {
        const size_t tt = size_t{be32(b, 0xC4)} * 2048 + 8;
        b[tt] = 0x7C;                                   // playback type of title 1
        b[tt + 4] = 0x12, b[tt + 5] = 0x34;             // parental id
        b[0x22] = 0x00, b[0x23] = 0xFE;                 // region mask of the category
        b[0x408] = 0x01, b[0x409] = 0xA5, b[0x40A] = 0xC3, b[0x40B] = 0xE1;  // first play PGC's prohibited operations
    });
    patch("VTS_02_0.IFO", [&](Bytes& b) {
        b[0x201] = 0xE9;                                // video: caption fields, bit rate, size 2, film mode
        b[0x204 + 1] = 0x99;                            // audio 1: quantization, a reserved bit, channels
        b[0x204 + 7] = 0xB5;                            // audio 1: application information
        b[0x256] = 0x29;                                // subpicture 1: coding mode 1, type 1
        const size_t pgcit = size_t{be32(b, 0xCC)} * 2048;
        const size_t pgc = pgcit + be32(b, pgcit + 12);
        b[pgc + 8] = 0x00, b[pgc + 9] = 0x5A, b[pgc + 10] = 0x3C, b[pgc + 11] = 0x81;  // prohibited operations
        const size_t cell = pgc + ((size_t{b[pgc + 0xE8]} << 8) | b[pgc + 0xE9]);
        b[cell] |= 0x0D;                                // seamless play, interleaved, seamless angle
        b[cell + 1] = 0x6A;                             // playback mode, restricted, cell type 10
        b[cell + 2] = 5;                                // still time
        Put32Into(b, cell + 12, 0x01020304);            // first ILVU end sector
    });
    CompareVmgi(dir.Path());
    CompareVtsi(dir.Path(), 2);
}
