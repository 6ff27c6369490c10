#include "checks/DvdChecks.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>

namespace checks
{

namespace
{

constexpr uint64_t kBlock = 2048;
constexpr uint32_t kDvdMuxRate = 25200;           // 10.08 Mbit/s
constexpr uint32_t kEndOfCell = 0x3FFFFFFF;       // VOBU search pointer: none
constexpr model::StreamKey kNavStream = 0xBF;
const char kDvdPackSize[] = "dvd-pack-size";
const char kDvdMuxRateId[] = "dvd-mux-rate";
const char kNavLbn[] = "dvd-nav-lbn";
const char kVobuEnd[] = "dvd-vobu-end";
const char kRefEnd[] = "dvd-ref-frame-end";
const char kVobuPtm[] = "dvd-vobu-ptm";
const char kVobuDuration[] = "dvd-vobu-duration";
const char kVobuLinks[] = "dvd-vobu-links";

bool IsPlaceholder(const model::NavPack& n)
{
    return n.pciLbn == 0 && n.dsiLbn == 0 && n.vobuSPtm == 0 && n.vobuEPtm == 0 && n.vobuEa == 0 &&
           n.dsiScr == 0 && n.nextVobu == 0 && n.prevVobu == 0 && n.ref1Ea == 0;
}

}  // namespace

FindingLog::Place DvdChecks::NavPlace(const Vobu& v) const
{
    return {v.nav.pack, v.nav.offset, kNavStream, true, v.scr27};
}

// ---------------------------------------------------------------------------------------
// Packs

void DvdChecks::CheckPackSize(uint64_t size)
{
    if (size == kBlock)
    {
        m_log.Close(kDvdPackSize, model::kNoStream);
        return;
    }
    m_log.Report(kDvdPackSize, Severity::Error, {m_pack.index, m_pack.offset, model::kNoStream, true, m_pack.scr27},
                 [&] { return Format("pack of %" PRIu64 " bytes, not 2048", size); });
}

void DvdChecks::CheckMuxRate(const model::PackEvent& pack)
{
    if (pack.muxRate != kDvdMuxRate)
        m_log.Report(kDvdMuxRateId, Severity::Warning, {pack.index, pack.offset, model::kNoStream, true, pack.scr27},
                     [&] { return Format("program_mux_rate %" PRIu32 " (%.2f Mbit/s), not 25200", pack.muxRate,
                            pack.muxRate * 400.0 / 1e6); });
    else
        m_log.Close(kDvdMuxRateId, model::kNoStream);
}

void DvdChecks::OnPack(const model::PackEvent& pack)
{
    if (m_active && m_hasPack)
        CheckPackSize(pack.offset - m_pack.offset);
    m_prevPackOffset = m_hasPack ? m_pack.offset : pack.offset;
    m_pack = pack;
    m_hasPack = true;
    if (m_active)
        CheckMuxRate(pack);
}

// ---------------------------------------------------------------------------------------
// Navigation packs and their VOBUs

void DvdChecks::OnNavPack(const model::NavPack& nav)
{
    if (!m_active)
    {
        m_active = true;
        // The pack that holds this nav pack was not yet checked as a DVD pack.
        if (m_hasPack)
            CheckMuxRate(m_pack);
        if (IsPlaceholder(nav))
        {
            m_unauthored = true;
            m_log.Report("dvd-nav-unauthored", Severity::Warning,
                         {nav.pack, nav.offset, kNavStream, true, m_pack.scr27},
                         "navigation packs hold no addresses or times (a muxer's placeholders); "
                         "their checks are skipped",
                         false);
        }
        const uint64_t block = nav.offset / kBlock;
        const uint32_t lbn = nav.hasDsi ? nav.dsiLbn : nav.pciLbn;
        // A title set's later VOB files go on counting blocks from the first file (1 GiB).
        if (lbn > block && (lbn - block) % (1u << 19) == 0)
            m_lbnBase = static_cast<int64_t>(lbn - block);
    }
    if (m_unauthored)
        return;
    Vobu v;
    v.nav = nav;
    v.block = nav.offset / kBlock;
    v.scr27 = m_pack.scr27;
    if (!m_vobus.empty())
    {
        Vobu& prev = m_vobus.back();
        prev.hasNext = true;
        prev.nextBlock = v.block;
        prev.nextPack = nav.pack;
        prev.lastBlock = (nav.pack == m_pack.index ? m_prevPackOffset : m_pack.offset) / kBlock;
        v.hasPrev = true;
        v.prevBlock = prev.block;
    }
    m_vobus.push_back(v);
    // Video-less VOBUs wait for no picture; keep the queue short either way.
    while (m_vobus.size() > 64)
    {
        Finish(m_vobus.front(), false);
        m_vobus.pop_front();
    }
}

void DvdChecks::OnVideoUnit(const model::AccessUnit& unit)
{
    if (!m_active || m_unauthored)
        return;
    // A unit starting after a VOBU means every unit of that VOBU is known.
    while (m_vobus.size() > 1 && m_vobus.front().hasNext && unit.pack >= m_vobus.front().nextPack)
    {
        Finish(m_vobus.front(), false);
        m_vobus.pop_front();
    }
    if (m_vobus.empty() || unit.pack < m_vobus.front().nav.pack)
        return;
    Vobu& v = m_vobus.front();
    const int64_t end = unit.pts27 + unit.duration27;
    if (v.pictures == 0 || unit.pts27 < v.firstPts27)
        v.firstPts27 = unit.pts27;
    if (v.pictures == 0 || end > v.endPts27)
        v.endPts27 = end;
    ++v.pictures;
    // A reference frame coded as two field pictures ends with its second field.
    const bool field = unit.pictureStructure != 3;
    if (field && !m_firstField)
    {
        m_firstField = true;
        m_firstFieldType = unit.pictureType;
        return;
    }
    const uint8_t type = field ? m_firstFieldType : unit.pictureType;
    m_firstField = false;
    if ((type == 1 || type == 2) && v.refs < 3)
        v.refEnd[v.refs++] = unit.lastOffset / kBlock - v.block;
}

void DvdChecks::OnEnd(const model::StreamEnd& end)
{
    if (m_active && m_hasPack)
        CheckPackSize(end.fileSize - m_pack.offset);
    if (!m_active || m_unauthored || m_vobus.empty())
        return;
    Vobu& last = m_vobus.back();
    if (!last.hasNext)
        last.lastBlock = m_pack.offset / kBlock;
    while (!m_vobus.empty())
    {
        Finish(m_vobus.front(), m_vobus.size() == 1);
        m_vobus.pop_front();
    }
}

void DvdChecks::Finish(Vobu& v, bool last)
{
    const model::NavPack& n = v.nav;
    const FindingLog::Place place = NavPlace(v);
    const int64_t lbn = static_cast<int64_t>(v.block) + m_lbnBase;

    const bool pciBad = n.hasPci && n.pciLbn != lbn;
    const bool dsiBad = n.hasDsi && n.dsiLbn != lbn;
    if (pciBad || dsiBad)
        m_log.Report(kNavLbn, Severity::Error, place,
                     [&] { return Format("nv_pck_lbn PCI %" PRIu32 ", DSI %" PRIu32 "; the pack is block %" PRId64, n.pciLbn,
                            n.dsiLbn, lbn); });
    else
        m_log.Close(kNavLbn, kNavStream);

    if (!n.hasDsi)
        return;
    const uint64_t ea = v.lastBlock - v.block;
    // The file ends inside the last VOBU (cut short, or a title set's VOB file that the
    // next one continues): its addresses and times point into bytes that are not here.
    if (last && n.vobuEa > ea)
        return;
    if (n.vobuEa != ea)
        m_log.Report(kVobuEnd, Severity::Error, place,
                     [&] { return Format("vobu_ea %" PRIu32 ", the VOBU's last pack is %" PRIu64 " blocks on", n.vobuEa, ea); });
    else
        m_log.Close(kVobuEnd, kNavStream);

    CheckReferenceFrames(v, place);
    CheckVobuTimes(v, last, place);
    CheckVobuLinks(v, last, place);
}

void DvdChecks::CheckReferenceFrames(const Vobu& v, const FindingLog::Place& place)
{
    const model::NavPack& n = v.nav;
    // Where a VOBU has fewer than three reference pictures, the missing addresses are 0;
    // dvdauthor repeats the last one instead, which a player reads the same way.
    const uint32_t coded[3] = {n.ref1Ea, n.ref2Ea, n.ref3Ea};
    int wrong = -1;
    for (int i = 0; i < 3 && wrong < 0; ++i)
    {
        const bool present = i < static_cast<int>(v.refs);
        if (present ? coded[i] != v.refEnd[i] : coded[i] != 0 && (i == 0 || coded[i] != coded[i - 1]))
            wrong = i;
    }
    if (wrong >= 0)
        m_log.Report(kRefEnd, Severity::Error, place,
                     [&] { return Format("reference frame end addresses %" PRIu32 "/%" PRIu32 "/%" PRIu32
                            ", the pictures end %" PRIu64 "/%" PRIu64 "/%" PRIu64 " blocks on",
                            coded[0], coded[1], coded[2], v.refEnd[0], v.refEnd[1], v.refEnd[2]); });
    else
        m_log.Close(kRefEnd, kNavStream);
}

void DvdChecks::CheckVobuTimes(const Vobu& v, bool last, const FindingLog::Place& place)
{
    const model::NavPack& n = v.nav;
    if (n.hasPci && v.pictures > 0)
    {
        const uint32_t first = static_cast<uint32_t>(v.firstPts27 / 300);
        // The end of the last picture need not fall on a 90 kHz tick (fields at 29.97 Hz).
        const uint32_t end = static_cast<uint32_t>((v.endPts27 + 150) / 300);
        const auto off = [](uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 1 || static_cast<int32_t>(b - a) > 1; };
        // The last VOBU may run on to the end of the audio (dvdauthor's way), not beyond
        // a second.
        const bool endOk = !off(n.vobuEPtm, end) ||
                           (last && static_cast<int32_t>(n.vobuEPtm - end) > 0 && n.vobuEPtm - end <= 90000);
        if (off(n.vobuSPtm, first) || !endOk)
            m_log.Report(kVobuPtm, Severity::Error, place,
                         [&] { return Format("vobu_s_ptm %.6f s, vobu_e_ptm %.6f s; the VOBU's video runs from %.6f s to %.6f s",
                                n.vobuSPtm / 90000.0, n.vobuEPtm / 90000.0, Seconds27(v.firstPts27),
                                Seconds27(v.endPts27)); });
        else
            m_log.Close(kVobuPtm, kNavStream);
    }
    if (n.hasPci && !last)
    {
        const int64_t length = static_cast<int32_t>(n.vobuEPtm - n.vobuSPtm);
        if (length < 36000 || length > 90000)
            m_log.Report(kVobuDuration, Severity::Warning, place,
                         [&] { return Format("VOBU of %.3f s, outside 0.4 to 1.0 s", length / 90000.0); });
        else
            m_log.Close(kVobuDuration, kNavStream);
    }
}

void DvdChecks::CheckVobuLinks(const Vobu& v, bool last, const FindingLog::Place& place)
{
    const model::NavPack& n = v.nav;
    const uint32_t next = n.nextVobu & kEndOfCell, prev = n.prevVobu & kEndOfCell;
    const bool nextBad = next != kEndOfCell && v.hasNext && next != v.nextBlock - v.block;
    const bool prevBad = prev != kEndOfCell && v.hasPrev && prev != v.block - v.prevBlock;
    const bool nextMissing = next != kEndOfCell && !v.hasNext && last;
    if (nextBad || prevBad || nextMissing)
        m_log.Report(kVobuLinks, Severity::Error, place,
                     [&] { return Format("next_vobu %" PRIu32 ", prev_vobu %" PRIu32 "; the neighbouring nav packs are %s%" PRIu64
                            " and %s%" PRIu64 " blocks away",
                            next, prev, v.hasNext ? "" : "(none) ", v.hasNext ? v.nextBlock - v.block : 0,
                            v.hasPrev ? "" : "(none) ", v.hasPrev ? v.block - v.prevBlock : 0); });
    else
        m_log.Close(kVobuLinks, kNavStream);
}

}  // namespace checks
