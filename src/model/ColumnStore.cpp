#include "model/ColumnStore.h"

#include "model/StreamContext.h"

#include <algorithm>

namespace model
{

void CUnitSeries::Append(const AccessUnit& unit)
{
    const int64_t dts90 = unit.dts27 / 300;
    if (Count() == 0)
        m_base90 = dts90;
    uint64_t flags = unit.pictureType & 7;
    if (unit.ptsCoded)
        flags |= PtsCoded;
    if (unit.dtsCoded)
        flags |= DtsCoded;
    if (unit.sequenceStart)
        flags |= SequenceStart;
    if (unit.gopStart)
        flags |= GopStart;
    if (unit.closedGop)
        flags |= ClosedGop;
    if (unit.skippedBefore)
        flags |= SkippedBefore;
    m_offsetFlags.Push((unit.offset & kOffsetMask) | (flags << 48));
    m_size.Push(unit.size);
    m_pack.Push(unit.pack);
    // Times before the first unit or more than 13 hours after it stay at the ends.
    m_dts.Push(static_cast<uint32_t>(std::clamp<int64_t>(dts90 - m_base90, 0, UINT32_MAX)));
    const auto offset = static_cast<int32_t>(std::clamp<int64_t>(unit.pts27 / 300 - dts90, INT32_MIN, INT32_MAX));
    if (offset > kWideOffset && offset <= INT16_MAX)
    {
        m_ptsOffset.Push(static_cast<int16_t>(offset));
    }
    else
    {
        m_ptsOffset.Push(kWideOffset);
        m_wideOffsets.emplace_back(m_ptsOffset.Size() - 1, offset);
    }
}

void CUnitSeries::Trim()
{
    m_offsetFlags.Trim();
    m_size.Trim();
    m_pack.Trim();
    m_dts.Trim();
    m_ptsOffset.Trim();
    m_wideOffsets.shrink_to_fit();
}

int32_t CUnitSeries::PtsOffset(size_t i) const
{
    const int16_t narrow = m_ptsOffset[i];
    if (narrow != kWideOffset)
        return narrow;
    const auto it = std::lower_bound(m_wideOffsets.begin(), m_wideOffsets.end(), std::pair<uint64_t, int32_t>(i, INT32_MIN));
    return it != m_wideOffsets.end() && it->first == i ? it->second : 0;
}

size_t CUnitSeries::MemoryBytes() const
{
    return sizeof(*this) + m_offsetFlags.MemoryBytes() + m_size.MemoryBytes() + m_pack.MemoryBytes()
        + m_dts.MemoryBytes() + m_ptsOffset.MemoryBytes() + m_wideOffsets.capacity() * sizeof(m_wideOffsets[0]);
}

void CColumnStore::OnAccessUnit(const AccessUnit& unit)
{
    if (!m_last || m_last->Stream() != unit.stream)
    {
        m_last = nullptr;
        for (const auto& s : m_series)
            if (s->Stream() == unit.stream)
                m_last = s.get();
        if (!m_last)
        {
            m_series.push_back(std::make_unique<CUnitSeries>(unit.stream, unit.kind));
            m_last = m_series.back().get();
        }
    }
    if (m_context == nullptr)
        return m_last->Append(unit);
    AccessUnit shown = unit;
    shown.offset = m_context->ShownOffset(unit.offset);
    m_last->Append(shown);
}

void CColumnStore::OnEnd(const StreamEnd&)
{
    for (const auto& s : m_series)
        s->Trim();
    m_series.shrink_to_fit();
}

const CUnitSeries* CColumnStore::Find(StreamKey stream) const
{
    for (const auto& s : m_series)
        if (s->Stream() == stream)
            return s.get();
    return nullptr;
}

size_t CColumnStore::Units() const
{
    size_t n = 0;
    for (const auto& s : m_series)
        n += s->Count();
    return n;
}

size_t CColumnStore::MemoryBytes() const
{
    size_t n = m_series.capacity() * sizeof(void*);
    for (const auto& s : m_series)
        n += s->MemoryBytes();
    return n;
}

}  // namespace model
