#include "model/UnitAssembler.h"

#include "model/VideoAssembler.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/dvd/AudioSubstreams.h"
#include "syntax/dvd/Subpicture.h"
#include "syntax/Mpeg.h"

#include <algorithm>
#include <cstring>

namespace model
{

namespace
{
using mpeg::kMask33;
constexpr uint64_t kClock27 = mpeg::kClock27;
constexpr int64_t kTick = mpeg::kTicks27Per90;  // 27 MHz ticks of a 90 kHz time
constexpr size_t kMaxStamps = 64;
}  // namespace

// ---------------------------------------------------------------------------- base

void CUnitAssembler::OnPacket(const PesEvent& pes, const uint8_t* sub, uint32_t subSize)
{
    if (pes.hasPts && pes.payloadSize > 0)
    {
        if (m_stamps.size() >= kMaxStamps)
            m_stamps.pop_front();
        Stamp s;
        s.start = m_esPos;
        s.end = m_esPos + pes.payloadSize;
        s.hasPts = true;
        s.hasDts = pes.hasDts;
        s.pts = pes.pts;
        s.dts = pes.dts;
        m_stamps.push_back(s);
    }
    OnPacketHeader(pes, sub, subSize);
}

void CUnitAssembler::Feed(const uint8_t* data, uint32_t size, uint64_t fileOffset, uint32_t pack)
{
    if (size == 0)
        return;
    Piece& piece = m_recent[m_recentNext];
    piece.esStart = m_esPos;
    piece.fileOffset = fileOffset;
    piece.pack = pack;
    m_recentNext = (m_recentNext + 1) % 8;
    m_recentCount = std::min<uint32_t>(m_recentCount + 1, 8);
    Consume(data, size);
    m_esPos += size;
}

void CUnitAssembler::NewTimeBase()
{
    Cut();
    m_stamps.clear();
    m_haveTime = false;
    m_remainder = 0;
    m_unwrap = CTimeUnwrap();
    m_lastEnd = m_esPos;
}

bool CUnitAssembler::TakeStamp(uint64_t esPos, Stamp& out)
{
    while (!m_stamps.empty() && m_stamps.front().end <= esPos)
        m_stamps.pop_front();
    if (m_stamps.empty() || m_stamps.front().start > esPos)
        return false;
    out = m_stamps.front();
    m_stamps.pop_front();
    return true;
}

void CUnitAssembler::Locate(uint64_t esPos, uint64_t& offset, uint32_t& pack) const
{
    offset = 0;
    pack = 0;
    for (uint32_t k = 1; k <= m_recentCount; ++k)
    {
        const Piece& piece = m_recent[(m_recentNext + 8 - k) % 8];
        if (piece.esStart <= esPos || k == m_recentCount)
        {
            offset = piece.fileOffset + (esPos >= piece.esStart ? esPos - piece.esStart : 0);
            pack = piece.pack;
            return;
        }
    }
}

void CUnitAssembler::Place(AccessUnit& unit, uint64_t esStart, uint64_t esEnd) const
{
    unit.esOffset = esStart;
    unit.size = static_cast<uint32_t>(esEnd - esStart);
    unit.skippedBefore = static_cast<uint32_t>(esStart > m_lastEnd ? esStart - m_lastEnd : 0);
    Locate(esEnd > esStart ? esEnd - 1 : esStart, unit.lastOffset, unit.lastPack);
}

void CUnitAssembler::Deliver(AccessUnit& unit, const Stamp* stamp, uint64_t durationNum, uint64_t durationDen)
{
    unit.stream = m_key;
    unit.kind = m_kind;
    unit.index = m_nextIndex++;
    if (durationDen == 0)
        durationNum = 0, durationDen = 1;
    unit.duration27 = static_cast<int64_t>(durationNum / durationDen);
    if (stamp && stamp->hasPts)
    {
        const int64_t dts90 = stamp->hasDts ? m_unwrap(stamp->dts) : 0;
        const int64_t pts90 = m_unwrap(stamp->pts);
        unit.ptsCoded = true;
        unit.dtsCoded = stamp->hasDts;
        unit.pts = stamp->pts & kMask33;
        unit.dts = stamp->hasDts ? stamp->dts & kMask33 : unit.pts;
        unit.pts27 = pts90 * kTick;
        unit.dts27 = stamp->hasDts ? dts90 * kTick : unit.pts27;
        m_remainder = 0;
        m_haveTime = true;
        OnCodedPts(unit);
    }
    else if (m_haveTime)
    {
        unit.dts27 = m_nextDts27;
        unit.pts27 = DerivePts27(unit, unit.dts27);
        unit.pts = static_cast<uint64_t>(unit.pts27 / kTick) & kMask33;
        unit.dts = static_cast<uint64_t>(unit.dts27 / kTick) & kMask33;
    }
    unit.timed = m_haveTime;
    if (m_haveTime)
    {
        if (durationDen != m_remainderDen)
            m_remainder = 0;
        m_remainderDen = durationDen;
        const uint64_t total = durationNum + m_remainder;
        m_nextDts27 = unit.dts27 + static_cast<int64_t>(total / durationDen);
        m_remainder = total % durationDen;
    }
    m_lastEnd = unit.esOffset + unit.size;
    m_sink.OnAccessUnit(unit);
}

// ---------------------------------------------------------------------------- frames with a sync word

namespace
{

// MPEG audio, AC-3 and DTS: each frame opens with a sync word and a header that gives its
// length. The next frame is expected where the length ends; where it is not, the payload
// is searched for the next valid header.
class CFrameAssembler : public CUnitAssembler
{
public:
    using CUnitAssembler::CUnitAssembler;

    void Finish() override {}

protected:
    void Cut() override
    {
        m_state = State::Search;
        m_have = 0;
    }
    virtual uint32_t HeaderSize() const = 0;
    virtual uint8_t SyncByte() const = 0;
    // Frame size in bytes (0: not a valid header); fills the unit's audio fields, the
    // samples per frame and the sampling rate.
    virtual uint32_t ParseFrame(const uint8_t* h, AccessUnit& unit, uint32_t& samples) = 0;

    void Consume(const uint8_t* data, uint32_t size) override
    {
        uint32_t i = 0;
        while (i < size)
        {
            if (m_state == State::Search)
            {
                const void* hit = std::memchr(data + i, SyncByte(), size - i);
                if (!hit)
                    return;
                i = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - data);
                m_state = State::Header;
                m_have = 0;
                m_frameStart = m_esPos + i;
            }
            if (m_state == State::Header)
            {
                const uint32_t take = std::min(HeaderSize() - m_have, size - i);
                std::memcpy(m_header + m_have, data + i, take);
                m_have += take;
                i += take;
                while (m_state == State::Header && m_have == HeaderSize())
                    CheckHeader();
                if (m_state == State::Body && m_remaining == 0)
                    Complete();
                continue;
            }
            const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(m_remaining, size - i));
            i += take;
            m_remaining -= take;
            if (m_remaining == 0)
                Complete();
        }
    }

private:
    enum class State { Search, Header, Body };

    void CheckHeader()
    {
        m_unit = AccessUnit{};
        m_samples = 0;
        const uint32_t frameSize = ParseFrame(m_header, m_unit, m_samples);
        if (frameSize >= HeaderSize())
        {
            m_hasStamp = TakeStamp(m_frameStart, m_stamp);
            Locate(m_frameStart, m_unit.offset, m_unit.pack);
            m_remaining = frameSize - HeaderSize();
            m_frameSize = frameSize;
            m_state = State::Body;
            return;
        }
        // Not a header: look for the next sync byte among the bytes held.
        const void* hit = std::memchr(m_header + 1, SyncByte(), m_have - 1);
        if (!hit)
        {
            m_state = State::Search;
            m_have = 0;
            return;
        }
        const uint32_t k = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - m_header);
        std::memmove(m_header, m_header + k, m_have - k);
        m_have -= k;
        m_frameStart += k;
    }

    void Complete()
    {
        Place(m_unit, m_frameStart, m_frameStart + m_frameSize);
        Deliver(m_unit, m_hasStamp ? &m_stamp : nullptr, m_samples * kClock27, m_unit.sampleRate);
        m_frameStart += m_frameSize;
        m_state = State::Header;
        m_have = 0;
    }

    State m_state = State::Search;
    uint8_t m_header[16] = {};
    uint32_t m_have = 0;
    uint64_t m_frameStart = 0;
    uint64_t m_remaining = 0;
    uint32_t m_frameSize = 0;
    uint32_t m_samples = 0;
    AccessUnit m_unit;
    Stamp m_stamp;
    bool m_hasStamp = false;
};

class CMpegAudioAssembler : public CFrameAssembler
{
public:
    using CFrameAssembler::CFrameAssembler;

protected:
    uint32_t HeaderSize() const override { return 4; }
    uint8_t SyncByte() const override { return 0xFF; }
    uint32_t ParseFrame(const uint8_t* h, AccessUnit& unit, uint32_t& samples) override
    {
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0 || (h[1] & 0x06) == 0)
            return 0;
        CAudioHeader header;
        const int32_t length = header.Parse(h, 4);
        if (length <= 0)
            return 0;
        unit.layer = header.m_nLayer;
        unit.sampleRate = static_cast<uint32_t>(header.m_dSamplingFrequency * 1000.0 + 0.5);
        unit.bitRate = static_cast<uint32_t>(header.m_nBitRate) * 1000;
        unit.channels = (h[3] >> 6) == 3 ? 1 : 2;
        unit.channelMode = static_cast<uint8_t>(h[3] >> 6);
        samples = header.m_nLayer == 1 ? 384 : (header.m_nLayer == 3 && header.m_nVersion == 2) ? 576 : 1152;
        return static_cast<uint32_t>(length);
    }
};

class CAc3Assembler : public CFrameAssembler
{
public:
    using CFrameAssembler::CFrameAssembler;

protected:
    uint32_t HeaderSize() const override { return 8; }
    uint8_t SyncByte() const override { return 0x0B; }
    uint32_t ParseFrame(const uint8_t* h, AccessUnit& unit, uint32_t& samples) override
    {
        CAc3Header header;
        const uint32_t size = header.Parse(h, 8);
        unit.sampleRate = header.m_nSampleRate;
        unit.bitRate = header.m_nBitRate;
        unit.channels = static_cast<uint8_t>(header.m_nChannels);
        unit.channelMode = static_cast<uint8_t>(header.m_nAcmod);
        unit.lfe = header.m_nLfeon != 0;
        samples = CAc3Header::kSamplesPerFrame;
        return size;
    }
};

class CDtsAssembler : public CFrameAssembler
{
public:
    using CFrameAssembler::CFrameAssembler;

protected:
    uint32_t HeaderSize() const override { return 11; }
    uint8_t SyncByte() const override { return 0x7F; }
    uint32_t ParseFrame(const uint8_t* h, AccessUnit& unit, uint32_t& samples) override
    {
        CDtsHeader header;
        const uint32_t size = header.Parse(h, 11);
        unit.sampleRate = header.m_nSampleRate;
        unit.bitRate = header.m_nBitRate;
        unit.channels = static_cast<uint8_t>(header.m_nChannels);
        unit.channelMode = static_cast<uint8_t>(header.m_nAmode);
        unit.lfe = header.m_nLff != 0;
        samples = header.m_nSamplesPerFrame;
        return size;
    }
};

// ---------------------------------------------------------------------------- LPCM

// LPCM has no sync word: frames of 1/600 s follow each other from the first access unit
// that a packet's substream header points at, their size set by its LPCM header.
class CLpcmAssembler : public CUnitAssembler
{
public:
    using CUnitAssembler::CUnitAssembler;

    void Finish() override {}

protected:
    // The next frame starts where a packet's first access unit pointer says.
    void Cut() override { m_started = m_inFrame = false; }
    void OnPacketHeader(const PesEvent& pes, const uint8_t* sub, uint32_t subSize) override
    {
        CLpcmHeader header;
        if (subSize >= 7 && header.Parse(sub + 4, 3) && header.FrameSize() > 0)
            m_header = header;
        // The pointer counts from the byte after it, the three LPCM header bytes included.
        if (!m_started && pes.hasSubHeader && pes.firstAccessUnit >= 4 && m_header.FrameSize() > 0)
        {
            m_started = true;
            m_next = m_esPos + pes.firstAccessUnit - 4;
        }
    }

    void Consume(const uint8_t* data, uint32_t size) override
    {
        const uint64_t end = m_esPos + size;
        while (m_started)
        {
            if (!m_inFrame)
            {
                if (m_next >= end)
                    return;
                m_inFrame = true;
                m_unitStart = m_next;
                m_frameSize = m_header.FrameSize();
                m_hasStamp = TakeStamp(m_unitStart, m_stamp);
                m_unit = AccessUnit{};
                Locate(m_unitStart, m_unit.offset, m_unit.pack);
                m_unit.sampleRate = m_header.m_nSampleRate;
                m_unit.channels = static_cast<uint8_t>(m_header.m_nChannels);
                m_unit.bitsPerSample = static_cast<uint8_t>(m_header.m_nBitsPerSample);
                m_unit.bitRate = m_header.m_nSampleRate * m_header.m_nChannels * m_header.m_nBitsPerSample;
            }
            if (m_unitStart + m_frameSize > end)
                return;
            Place(m_unit, m_unitStart, m_unitStart + m_frameSize);
            Deliver(m_unit, m_hasStamp ? &m_stamp : nullptr, uint64_t{m_header.SamplesPerFrame()} * kClock27,
                    m_unit.sampleRate);
            m_next = m_unitStart + m_frameSize;
            m_inFrame = false;
        }
        (void)data;
    }

private:
    CLpcmHeader m_header;
    bool m_started = false, m_inFrame = false;
    uint64_t m_next = 0, m_unitStart = 0;
    uint32_t m_frameSize = 0;
    AccessUnit m_unit;
    Stamp m_stamp;
    bool m_hasStamp = false;
};

// ---------------------------------------------------------------------------- subpictures

// A subpicture unit gives its size in its first two bytes; the display commands sit in
// control sequences at its end, so the unit is held whole until it is complete.
class CSubpictureAssembler : public CUnitAssembler
{
public:
    using CUnitAssembler::CUnitAssembler;

    void Finish() override {}

protected:
    void Cut() override { m_bytes.clear(); }
    void Consume(const uint8_t* data, uint32_t size) override
    {
        uint32_t i = 0;
        while (i < size)
        {
            if (m_bytes.empty())
            {
                m_unitStart = m_esPos + i;
                m_hasStamp = TakeStamp(m_unitStart, m_stamp);
                m_unit = AccessUnit{};
                Locate(m_unitStart, m_unit.offset, m_unit.pack);
                m_need = 2;
            }
            const uint32_t take = static_cast<uint32_t>(std::min<size_t>(m_need - m_bytes.size(), size - i));
            m_bytes.insert(m_bytes.end(), data + i, data + i + take);
            i += take;
            if (m_bytes.size() < m_need)
                return;
            if (m_need == 2)
            {
                m_need = (uint32_t{m_bytes[0]} << 8) | m_bytes[1];
                if (m_need < 4)
                    m_need = 4;  // a damaged size still moves on
                continue;
            }
            CSubpictureUnit spu;
            spu.Parse(m_bytes.data(), m_bytes.size());
            m_unit.hasDisplayStart = spu.m_bStart;
            m_unit.hasDisplayStop = spu.m_bStop;
            m_unit.displayStart = spu.m_nStartDelay;
            m_unit.displayStop = spu.m_nStopDelay;
            Place(m_unit, m_unitStart, m_unitStart + m_bytes.size());
            const uint64_t shown = spu.m_bStop && spu.m_nStopDelay > spu.m_nStartDelay
                ? uint64_t{spu.m_nStopDelay - spu.m_nStartDelay} * kTick : 0;
            Deliver(m_unit, m_hasStamp ? &m_stamp : nullptr, shown, 1);
            m_bytes.clear();
        }
    }

private:
    std::vector<uint8_t> m_bytes;
    uint32_t m_need = 2;
    uint64_t m_unitStart = 0;
    AccessUnit m_unit;
    Stamp m_stamp;
    bool m_hasStamp = false;
};

}  // namespace

std::unique_ptr<CUnitAssembler> CUnitAssembler::Create(StreamKey key, Kind kind, IModelSink& sink)
{
    switch (kind)
    {
    case Kind::Video:
        return std::make_unique<CVideoAssembler>(key, sink);
    case Kind::MpegAudio:
        return std::make_unique<CMpegAudioAssembler>(key, kind, sink);
    case Kind::Ac3:
        return std::make_unique<CAc3Assembler>(key, kind, sink);
    case Kind::Dts:
        return std::make_unique<CDtsAssembler>(key, kind, sink);
    case Kind::Lpcm:
        return std::make_unique<CLpcmAssembler>(key, kind, sink);
    case Kind::Subpicture:
        return std::make_unique<CSubpictureAssembler>(key, kind, sink);
    default:
        return nullptr;
    }
}

}  // namespace model
