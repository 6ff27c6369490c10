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
constexpr model::StreamKey kNavStream = mpeg::kPrivateStream2;
constexpr int64_t kTick = mpeg::kTicks27Per90;    // 27 MHz ticks of a 90 kHz time
constexpr int64_t kSecond90 = mpeg::kClock90;

bool IsPlaceholder(const model::NavPack& n)
{
    return n.pciLbn == 0 && n.dsiLbn == 0 && n.vobuSPtm == 0 && n.vobuEPtm == 0 && n.vobuEa == 0 &&
           n.dsiScr == 0 && n.nextVobu == 0 && n.prevVobu == 0 && n.ref1Ea == 0;
}

// What a navigation pack says its block is, less its block in the input.
int64_t LbnOffset(const model::NavPack& n)
{
    return static_cast<int64_t>(n.hasDsi ? n.dsiLbn : n.pciLbn) - static_cast<int64_t>(n.offset / kBlock);
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
    m_log.Judge(rules::kDvdPackSize, size != kBlock,
                {m_pack.index, m_pack.offset, model::kNoStream, true, m_pack.scr27},
                [&] { return Format("pack of %" PRIu64 " bytes, not 2048", size); });
}

void DvdChecks::CheckMuxRate(const model::PackEvent& pack)
{
    m_log.Judge(rules::kDvdMuxRate, pack.muxRate != kDvdMuxRate,
                {pack.index, pack.offset, model::kNoStream, true, pack.scr27}, [&] {
                    return Format("program_mux_rate %" PRIu32 " (%.2f Mbit/s), not 25200", pack.muxRate,
                                  pack.muxRate * 400.0 / 1e6);
                });
}

void DvdChecks::OnPack(const model::PackEvent& pack)
{
    if (m_active && m_hasPack)
        CheckPackSize(pack.offset - m_pack.offset);
    m_prevPackOffset = m_hasPack ? m_pack.offset : pack.offset;
    m_pack = pack;
    m_hasPack = true;
    if (pack.navigation)
    {
        m_navPackIndex = pack.index;
        m_navScr27 = pack.scr27;
    }
    if (m_active)
        CheckMuxRate(pack);
}

// ---------------------------------------------------------------------------------------
// Navigation packs and their VOBUs

void DvdChecks::OnNavPack(const model::NavPack& nav)
{
    // Navigation packets before any pack belong to no DVD pack: there is nothing of a VOB
    // to judge them by.
    if (!m_hasPack)
        return;
    if (!m_active)
    {
        m_active = true;
        // The pack that holds this nav pack was not yet checked as a DVD pack.
        if (m_hasPack)
            CheckMuxRate(m_pack);
        if (IsPlaceholder(nav))
        {
            m_unauthored = true;
            m_log.Report(rules::kDvdNavUnauthored, {nav.pack, nav.offset, kNavStream, true, m_pack.scr27},
                         "navigation packs hold no addresses or times (a muxer's placeholders); "
                         "their checks are skipped");
        }
    }
    if (m_unauthored)
        return;
    Vobu v;
    v.nav = nav;
    v.block = nav.offset / kBlock;
    v.scr27 = nav.pack == m_navPackIndex ? m_navScr27 : m_pack.scr27;
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
    while (m_vobus.size() > kMaxVobus)
    {
        // Its pictures have not all come (a video far behind its navigation packs): the
        // rules that need them are not judged for it.
        if (!m_limitWarned)
        {
            m_limitWarned = true;
            m_log.Note(rules::kModelLimit, NavPlace(m_vobus.front()), [&] {
                return Format("more than %zu VOBUs wait for their pictures: the reference frame addresses and "
                              "times of those that must be judged without them are not checked",
                              kMaxVobus);
            });
        }
        m_vobus.front().picturesKnown = false;
        DecideOffset();
        Finish(m_vobus.front(), Last::No);
        m_vobus.pop_front();
    }
}

void DvdChecks::OnVideoUnit(const model::AccessUnit& unit)
{
    if (!m_active || m_unauthored)
        return;
    // A unit starting after a VOBU means every unit of that VOBU is known. The file's
    // block offset is decided from the first three VOBUs, so the first waits for them.
    while (m_vobus.size() > 1 && m_vobus.front().hasNext && unit.pack >= m_vobus.front().nextPack &&
           (m_offsetDecided || m_vobus.size() > 3))
    {
        DecideOffset();
        Finish(m_vobus.front(), Last::No);
        m_vobus.pop_front();
    }
    // The VOBU the unit starts in: the first that has not ended before it.
    auto it = m_vobus.begin();
    while (it != m_vobus.end() && it->hasNext && unit.pack >= it->nextPack)
        ++it;
    if (it == m_vobus.end() || unit.pack < it->nav.pack)
        return;
    Vobu& v = *it;
    const int64_t end = unit.pts27 + unit.duration27;
    if (v.pictures == 0 || unit.pts27 < v.firstPts27)
        v.firstPts27 = unit.pts27;
    if (v.pictures == 0 || end > v.endPts27)
        v.endPts27 = end;
    ++v.pictures;
    v.sequenceEnd = unit.sequenceEnd;
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

void DvdChecks::OnTimeBase(const model::TimeBaseEvent& t)
{
    using Reason = model::TimeBaseEvent::Reason;
    if (t.reason == Reason::ScrBackwards || !m_active)
        return;
    // The VOB (or the program) ends with the pack before this one.
    if (m_hasPack)
        CheckPackSize(t.offset - m_pack.offset);
    if (!m_unauthored)
        EndVob(m_pack.offset, false);
    m_firstField = false;
    if (t.reason == Reason::ProgramEnd)
    {
        // A program of its own: DVD or not, it shows by its own packs.
        m_active = m_unauthored = false;
        m_offsetDecided = false;
        m_lbnBase = 0;
        m_limitWarned = false;
    }
}

void DvdChecks::OnEnd(const model::StreamEnd& end)
{
    if (m_active && m_hasPack)
        CheckPackSize(end.fileSize - m_pack.offset);
    if (m_active && !m_unauthored)
        EndVob(m_pack.offset, true);
}

void DvdChecks::EndVob(uint64_t lastPackOffset, bool endOfInput)
{
    if (m_vobus.empty())
        return;
    Vobu& last = m_vobus.back();
    if (!last.hasNext)
        last.lastBlock = lastPackOffset / kBlock;
    DecideOffset();
    while (!m_vobus.empty())
    {
        Finish(m_vobus.front(), m_vobus.size() > 1 ? Last::No : endOfInput ? Last::OfInput : Last::OfVob);
        m_vobus.pop_front();
    }
}

void DvdChecks::DecideOffset()
{
    if (m_offsetDecided || m_vobus.empty())
        return;
    m_offsetDecided = true;
    // The offset at least two of the first three navigation packs agree on (the first
    // one's where they do not): one damaged address does not move every other.
    const size_t n = std::min<size_t>(m_vobus.size(), 3);
    int64_t offset = LbnOffset(m_vobus[0].nav);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (LbnOffset(m_vobus[i].nav) == LbnOffset(m_vobus[j].nav))
                offset = LbnOffset(m_vobus[i].nav);
    // A VOB set is at most nine files of 1 GiB: an offset beyond that is no part of one,
    // but addresses that are wrong.
    constexpr int64_t kMaxSetBlocks = int64_t{9} << 19;
    if (offset <= 0 || offset >= kMaxSetBlocks)
        return;
    m_lbnBase = offset;
    m_log.Report(rules::kDvdVobsOffset, NavPlace(m_vobus[0]), [&] {
        return Format("nv_pck_lbn counts %" PRId64 " blocks ahead of the file: it is a part of a VOB set that "
                      "starts %" PRId64 " blocks (%" PRId64 " bytes) earlier; its blocks are counted from there",
                      offset, offset, offset * static_cast<int64_t>(kBlock));
    });
}

void DvdChecks::Finish(Vobu& v, Last position)
{
    const bool last = position != Last::No;
    const model::NavPack& n = v.nav;
    const FindingLog::Place place = NavPlace(v);
    const int64_t lbn = static_cast<int64_t>(v.block) + m_lbnBase;

    const bool pciBad = n.hasPci && n.pciLbn != lbn;
    const bool dsiBad = n.hasDsi && n.dsiLbn != lbn;
    m_log.Judge(rules::kDvdNavLbn, pciBad || dsiBad, place, [&] {
        return Format("nv_pck_lbn PCI %" PRIu32 ", DSI %" PRIu32 "; the pack is block %" PRId64, n.pciLbn, n.dsiLbn,
                      lbn);
    });

    if (!n.hasDsi)
        return;
    const uint64_t ea = v.lastBlock - v.block;
    // The file ends inside the last VOBU (cut short, or a title set's VOB file that the
    // next one continues): its addresses and times point into bytes that are not here.
    if (position == Last::OfInput && n.vobuEa > ea)
        return;
    m_log.Judge(rules::kDvdVobuEnd, n.vobuEa != ea, place, [&] {
        return Format("vobu_ea %" PRIu32 ", the VOBU's last pack is %" PRIu64 " blocks on", n.vobuEa, ea);
    });

    if (v.picturesKnown)
    {
        CheckReferenceFrames(v, place);
        CheckVobuTimes(v, last, place);
    }
    CheckVobuLinks(v, position, place);
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
    m_log.Judge(rules::kDvdRefFrameEnd, wrong >= 0, place, [&] {
        return Format("reference frame end addresses %" PRIu32 "/%" PRIu32 "/%" PRIu32
                      ", the pictures end %" PRIu64 "/%" PRIu64 "/%" PRIu64 " blocks on",
                      coded[0], coded[1], coded[2], v.refEnd[0], v.refEnd[1], v.refEnd[2]);
    });
}

void DvdChecks::CheckVobuTimes(const Vobu& v, bool last, const FindingLog::Place& place)
{
    const model::NavPack& n = v.nav;
    if (n.hasPci && v.pictures > 0)
    {
        const uint32_t first = static_cast<uint32_t>(v.firstPts27 / kTick);
        // The end of the last picture need not fall on a 90 kHz tick (fields at 29.97 Hz).
        const uint32_t end = static_cast<uint32_t>((v.endPts27 + kTick / 2) / kTick);
        const auto off = [](uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 1 || static_cast<int32_t>(b - a) > 1; };
        // The last VOBU of a VOB may run on to the end of the audio (dvdauthor's way), not
        // beyond a second.
        const bool endOk = !off(n.vobuEPtm, end) ||
                           (last && static_cast<int32_t>(n.vobuEPtm - end) > 0 && n.vobuEPtm - end <= kSecond90);
        m_log.Judge(rules::kDvdVobuPtm, off(n.vobuSPtm, first) || !endOk, place, [&] {
            return Format("vobu_s_ptm %.6f s, vobu_e_ptm %.6f s; the VOBU's video runs from %.6f s to %.6f s",
                          mpeg::Seconds90(n.vobuSPtm), mpeg::Seconds90(n.vobuEPtm), Seconds27(v.firstPts27),
                          Seconds27(v.endPts27));
        });
    }
    // A still (its picture ends a sequence: a slide show's VOBUs) is shown as long as
    // the menu wants.
    if (n.hasPci && !last && !v.sequenceEnd)
    {
        const int64_t length = static_cast<int32_t>(n.vobuEPtm - n.vobuSPtm);
        m_log.Judge(rules::kDvdVobuDuration, length < kSecond90 * 4 / 10 || length > kSecond90, place,
                    [&] { return Format("VOBU of %.3f s, outside 0.4 to 1.0 s", mpeg::Seconds90(length)); });
    }
}

void DvdChecks::CheckVobuLinks(const Vobu& v, Last position, const FindingLog::Place& place)
{
    const model::NavPack& n = v.nav;
    const uint32_t next = n.nextVobu & kEndOfCell, prev = n.prevVobu & kEndOfCell;
    const bool nextBad = next != kEndOfCell && v.hasNext && next != v.nextBlock - v.block;
    const bool prevBad = prev != kEndOfCell && v.hasPrev && prev != v.block - v.prevBlock;
    // The last VOBU of a VOB ends its cell. At the end of the input the next VOBU may be
    // in the file that follows (a part of a set, a cut): only a block inside this one
    // that is not a navigation pack is wrong.
    const bool nextMissing = next != kEndOfCell && !v.hasNext &&
                             (position == Last::OfVob || (position == Last::OfInput && v.block + next <= v.lastBlock));
    m_log.Judge(rules::kDvdVobuLinks, nextBad || prevBad || nextMissing, place, [&] {
        return Format("next_vobu %" PRIu32 ", prev_vobu %" PRIu32 "; the neighbouring nav packs are %s%" PRIu64
                      " and %s%" PRIu64 " blocks away",
                      next, prev, v.hasNext ? "" : "(none) ", v.hasNext ? v.nextBlock - v.block : 0,
                      v.hasPrev ? "" : "(none) ", v.hasPrev ? v.block - v.prevBlock : 0);
    });
}

}  // namespace checks
