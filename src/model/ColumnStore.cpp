#include "model/ColumnStore.h"

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
    m_ptsOffset.Push(static_cast<int32_t>(std::clamp<int64_t>(unit.pts27 / 300 - dts90, INT32_MIN, INT32_MAX)));
}

void CUnitSeries::Trim()
{
    m_offsetFlags.Trim();
    m_size.Trim();
    m_pack.Trim();
    m_dts.Trim();
    m_ptsOffset.Trim();
}

size_t CUnitSeries::MemoryBytes() const
{
    return sizeof(*this) + m_offsetFlags.MemoryBytes() + m_size.MemoryBytes() + m_pack.MemoryBytes()
        + m_dts.MemoryBytes() + m_ptsOffset.MemoryBytes();
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
    m_last->Append(unit);
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
