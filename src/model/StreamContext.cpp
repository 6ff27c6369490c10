#include "model/StreamContext.h"

#include "syntax/Mpeg.h"

#include <algorithm>
#include <iterator>

namespace model
{

bool NeedsListing(uint8_t streamId)
{
    return mpeg::IsPacketStream(streamId) && streamId != mpeg::kPaddingStream &&
           streamId != mpeg::kProgramStreamMap && streamId != mpeg::kProgramStreamDirectory;
}

CInput::Location CStreamContext::Locate(uint64_t position) const
{
    return m_input ? m_input->Locate(position) : CInput::Location{0, position};
}

uint64_t CStreamContext::ShownOffset(uint64_t position) const
{
    return m_input && m_input->FileCount() == 1 ? m_input->Locate(position).offset : position;
}

int64_t ArrivalTime27(int64_t scr27, uint64_t scrByte, uint32_t muxRate, uint64_t position)
{
    if (muxRate == 0)
        return scr27;
    const __int128 ticks =
        (static_cast<__int128>(position) - static_cast<__int128>(scrByte)) * mpeg::kTicksPerByteUnit;
    __int128 q = ticks / muxRate;
    if (ticks % muxRate != 0 && ticks < 0)
        --q;
    return scr27 + static_cast<int64_t>(q);
}

uint32_t CStreamContext::BufferBound(uint8_t streamId) const
{
    if (!m_hasSystemHeader)
        return 0;
    uint32_t group = 0;
    for (uint32_t i = 0; i < m_system.entryCount; ++i)
    {
        const SystemHeaderEvent::Entry& e = m_system.entries[i];
        if (e.streamId == streamId)
            return e.bufferBound;
        if (mpeg::ListedBy(e.streamId, streamId))
            group = e.bufferBound;
    }
    return group;
}

bool CStreamContext::Listed(uint8_t streamId) const
{
    for (uint32_t i = 0; i < m_system.entryCount; ++i)
        if (mpeg::ListedBy(m_system.entries[i].streamId, streamId))
            return true;
    return false;
}

void CStreamContext::Start(const CInput* input)
{
    *this = CStreamContext();
    m_input = input;
}

void CStreamContext::Take(const PackEvent& pack)
{
    m_hasPack = true;
    m_pack = pack;
    m_packs = std::max(m_packs, pack.index + 1);
    m_scrExtensionSeen = m_scrExtensionSeen || pack.scrExtension != 0;
    m_navPacks = m_navPacks || pack.navigation;
}

void CStreamContext::Take(const SystemHeaderEvent& header)
{
    if (!m_hasSystemHeader)
    {
        m_system = header;
        m_system.entryCount = 0;
        m_hasSystemHeader = true;
    }
    m_system.rateBound = std::max(m_system.rateBound, header.rateBound);
    m_system.audioBound = std::max(m_system.audioBound, header.audioBound);
    m_system.videoBound = std::max(m_system.videoBound, header.videoBound);
    const uint32_t count = std::min<uint32_t>(header.entryCount, std::size(header.entries));
    for (uint32_t i = 0; i < count; ++i)
    {
        const SystemHeaderEvent::Entry& e = header.entries[i];
        uint32_t j = 0;
        while (j < m_system.entryCount && m_system.entries[j].streamId != e.streamId)
            ++j;
        if (j < std::size(m_system.entries))
        {
            m_system.entries[j] = e;
            m_system.entryCount = std::max(m_system.entryCount, j + 1);
        }
    }
}

void CStreamContext::Take(const TimeBaseEvent& timeBase)
{
    // The clock starts anew; the pack in force stays until the time base's first pack
    // comes. A new program or VOB brings its own system header (and a new program its
    // own DVD structure, if any); an SCR that only runs back is still the same stream.
    m_timeBase = timeBase;
    m_scrExtensionSeen = false;
    if (timeBase.reason == TimeBaseEvent::Reason::ScrBackwards)
        return;
    m_hasSystemHeader = false;
    m_system = SystemHeaderEvent();
    if (timeBase.reason == TimeBaseEvent::Reason::ProgramEnd)
        m_navPacks = false;
}

}  // namespace model
