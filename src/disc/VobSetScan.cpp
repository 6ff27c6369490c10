#include "disc/VobSetScan.h"

#include <algorithm>

namespace disc
{

using model::Kind;

namespace
{
bool Recorded(Kind kind)
{
    return kind == Kind::Video || kind == Kind::MpegAudio || kind == Kind::Ac3 || kind == Kind::Dts ||
           kind == Kind::Lpcm || kind == Kind::Subpicture;
}

bool SameFormat(const model::SequenceEvent& a, const model::SequenceEvent& b)
{
    return a.width == b.width && a.height == b.height && a.aspectRatioCode == b.aspectRatioCode &&
           a.frameRateCode == b.frameRateCode && a.mpeg2 == b.mpeg2;
}
}  // namespace

FoundStream& CVobSetScan::StreamFor(model::StreamKey key, Kind kind)
{
    FoundStream& s = m_streams[key];
    if (s.key == model::kNoStream)
    {
        s.key = key;
        s.kind = kind;
    }
    return s;
}

// ---------------------------------------------------------------------------- packs

void CVobSetScan::StartTimeBase(uint32_t pack)
{
    m_timeBasePending = true;
    m_timeBasePack = pack;
}

void CVobSetScan::OnPack(const model::PackEvent& pack)
{
    m_previousPackOffset = m_hasPack ? m_pack.offset : pack.offset;
    m_pack = pack;
    m_hasPack = true;
}

void CVobSetScan::OnTimeBase(const model::TimeBaseEvent& base) { StartTimeBase(base.pack); }

void CVobSetScan::OnPes(const model::PesEvent& pes)
{
    if (!Recorded(pes.kind))
        return;
    FoundStream& s = StreamFor(pes.stream, pes.kind);
    if (s.units == 0 && s.firstOffset == 0)
    {
        s.firstOffset = pes.offset;
        s.firstPack = pes.pack;
    }
}

void CVobSetScan::OnSequence(const model::SequenceEvent& seq)
{
    FoundStream& s = StreamFor(seq.stream, Kind::Video);
    if (!s.hasSequence)
    {
        s.hasSequence = true;
        s.sequence = seq;
    }
    else if (!s.sequenceChanges && !SameFormat(s.sequence, seq))
    {
        s.sequenceChanges = true;
        s.changed = seq;
    }
}

void CVobSetScan::OnAccessUnit(const model::AccessUnit& unit)
{
    if (!Recorded(unit.kind))
        return;
    FoundStream& s = StreamFor(unit.stream, unit.kind);
    if (s.units++ == 0)
    {
        s.firstOffset = unit.offset;
        s.firstPack = unit.pack;
        s.sampleRate = unit.sampleRate;
        s.channels = unit.channels;
        s.bitsPerSample = unit.bitsPerSample;
        s.layer = unit.layer;
    }
    if (unit.kind != Kind::Video || !unit.timed)
        return;
    VobuRecord* v = MutableVobuOfPack(unit.pack);
    if (!v)
        return;
    const int64_t end = unit.pts27 + unit.duration27;
    if (!v->hasVideo || unit.pts27 < v->videoStart27)
        v->videoStart27 = unit.pts27;
    if (!v->hasVideo || end > v->videoEnd27)
        v->videoEnd27 = end;
    v->hasVideo = true;
}

// ---------------------------------------------------------------------------- VOBUs

void CVobSetScan::OnNavPack(const model::NavPack& nav)
{
    const bool first = m_navPacks == 0;
    ++m_navPacks;
    bool starts = first;
    if (m_timeBasePending && m_timeBasePack <= nav.pack)
    {
        if (m_timeBasePack == nav.pack)
            starts = true;
        else if (!m_vobus.empty() && m_navPacks - 1 == m_vobus.size())
            m_vobus.back().timeBaseInside = true;
        m_timeBasePending = false;
    }
    // The pack before this one ends the previous VOBU. The navigation pack's event may come
    // after the next pack's (the model sends it once the pack is complete).
    const bool current = m_hasPack && nav.pack == m_pack.index;
    if (!m_vobus.empty() && m_navPacks - 1 == m_vobus.size())
        m_vobus.back().lastBlock = static_cast<uint32_t>((current ? m_previousPackOffset : m_pack.offset) / kBlock);
    if (m_vobus.size() >= m_maxVobus || m_navPacks - 1 != m_vobus.size())
    {
        m_droppedFrom = std::min(m_droppedFrom, nav.pack);
        return;
    }
    VobuRecord v;
    v.block = static_cast<uint32_t>(nav.offset / kBlock);
    v.lastBlock = v.block;
    v.pack = nav.pack;
    v.vobId = nav.vobIdn;
    v.cellId = nav.cellIdn;
    v.hasPci = nav.hasPci;
    v.hasDsi = nav.hasDsi;
    v.newTimeBase = starts;
    v.vobuSPtm = nav.vobuSPtm;
    v.vobuEPtm = nav.vobuEPtm;
    v.vobuEa = nav.vobuEa;
    m_vobus.push_back(v);
}

void CVobSetScan::OnEnd(const model::StreamEnd& end)
{
    m_end = end;
    if (!m_vobus.empty() && m_navPacks == m_vobus.size() && m_hasPack)
        m_vobus.back().lastBlock = static_cast<uint32_t>(m_pack.offset / kBlock);
}

VobuRecord* CVobSetScan::MutableVobuOfPack(uint32_t pack)
{
    if (pack >= m_droppedFrom)
        return nullptr;
    // Units arrive close to the VOBU being read: look from the end first.
    for (size_t i = m_vobus.size(), steps = 0; i > 0 && steps < 4; --i, ++steps)
        if (m_vobus[i - 1].pack <= pack)
            return &m_vobus[i - 1];
    auto it = std::upper_bound(m_vobus.begin(), m_vobus.end(), pack,
                               [](uint32_t p, const VobuRecord& v) { return p < v.pack; });
    return it == m_vobus.begin() ? nullptr : &*(it - 1);
}

const VobuRecord* CVobSetScan::VobuOfPack(uint32_t pack) const
{
    return const_cast<CVobSetScan*>(this)->MutableVobuOfPack(pack);
}

}  // namespace disc
