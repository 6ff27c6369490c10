#pragma once
// The frames of one audio stream (MPEG audio, AC-3, DTS), found in its payloads as they
// come, packet after packet: each frame's length says where the next one starts, across
// packet boundaries; a header cut by a boundary is joined with the next payload's first
// bytes. A header found where no frame was expected says that something is missing
// there; the first frame of a stream is expected wherever it is.

#include "syntax/audio/CAudioHeader.h"
#include "syntax/dvd/AudioSubstreams.h"

#include <cstddef>
#include <cstdint>

class CFrameWalk
{
public:
    enum class Codec : uint8_t
    {
        MpegAudio,  // 12-bit sync word 0xFFF, four header bytes
        Ac3,        // sync word 0x0B77
        Dts,        // core sync word 0x7FFE8001
    };
    // The bytes a header is read from (the most any codec here needs).
    static constexpr size_t kMaxHeader = 16;

    struct Frame
    {
        const uint8_t* header = nullptr;  // headerBytes of it
        size_t headerBytes = 0;
        uint32_t length = 0;       // of the frame, from its header
        int64_t at = 0;            // where it starts in its payload (continuous: in the stream)
        int64_t expected = 0;      // where a frame was expected from the one before
        bool first = false;        // the first found in its payload (continuous: in the stream)
        bool missing = false;      // not where expected: something is missing before it
        uint32_t owner = 0;        // the owner passed with its payload
    };

    // continuous: the payloads are pieces of one file (an audio file): positions run on
    // across them and only the stream's first frame counts as a first.
    explicit CFrameWalk(Codec codec, bool continuous = false) : m_codec(codec), m_continuous(continuous) {}

    // Walks one payload of size bytes, owned by owner (the frames found report it; a
    // header that the payload's end cuts is reported with the next payload, as its
    // owner's). found(const Frame&) is called for each frame header, in stream order.
    template <class Found>
    void Payload(const uint8_t* data, size_t size, uint32_t owner, Found&& found);

    // Bytes of a header and whether the bytes at p (n of them, maybe fewer than a sync
    // word) can start one.
    size_t HeaderBytes() const;
    bool CouldBeSync(const uint8_t* p, size_t n) const;
    // Parses a whole header: its frame length, 0 when it is none.
    uint32_t FrameLength(const uint8_t* header);
    // The header of the frame found last, as parsed (of the walk's codec).
    const CAudioHeader& MpegHeader() const { return m_mpeg; }
    const CAc3Header& Ac3Header() const { return m_ac3; }
    const CDtsHeader& DtsHeader() const { return m_dts; }

private:
    // Where at or after from a header may start, size when nowhere.
    size_t FindSync(const uint8_t* data, size_t size, size_t from) const;

    Codec m_codec;
    bool m_continuous;
    CAudioHeader m_mpeg;
    CAc3Header m_ac3;
    CDtsHeader m_dts;
    bool m_started = false;   // a frame has been found: the next one is expected
    bool m_lost = false;      // a payload ended without the frame expected in it
    uint64_t m_carry = 0;     // where the next frame starts in the next payload
    int64_t m_base = 0;       // continuous: stream position of the payload's first byte
    // A header begun at the end of the payload before.
    uint8_t m_pending[kMaxHeader] = {};
    size_t m_pendingBytes = 0;
    int64_t m_pendingAt = 0, m_pendingExpected = 0;
    bool m_pendingFirst = false, m_pendingMissing = false;
    uint32_t m_pendingOwner = 0;
    bool m_firstInPayload = true;
};

template <class Found>
void CFrameWalk::Payload(const uint8_t* data, size_t size, uint32_t owner, Found&& found)
{
    const size_t need = HeaderBytes();
    const int64_t base = m_continuous ? m_base : 0;
    if (!m_continuous)
        m_firstInPayload = true;
    size_t p = 0;  // where the next frame is expected in this payload

    if (m_pendingBytes > 0)
    {
        const size_t take = need - m_pendingBytes < size ? need - m_pendingBytes : size;
        for (size_t i = 0; i < take; ++i)
            m_pending[m_pendingBytes + i] = data[i];
        const size_t had = m_pendingBytes;
        m_pendingBytes += take;
        if (m_pendingBytes < need)
        {
            // A payload shorter than the rest of the header: wait for the next one.
            if (m_continuous)
                m_base += static_cast<int64_t>(size);
            return;
        }
        m_pendingBytes = 0;
        const uint32_t length = CouldBeSync(m_pending, need) ? FrameLength(m_pending) : 0;
        if (length > 0)
        {
            Frame f;
            f.header = m_pending;
            f.headerBytes = need;
            f.length = length;
            f.at = m_pendingAt;
            f.expected = m_pendingExpected;
            f.first = m_pendingFirst;
            f.missing = m_pendingMissing;
            f.owner = m_pendingOwner;
            found(static_cast<const Frame&>(f));
            m_started = true;
            m_lost = false;
            // The frame started had bytes before this payload.
            if (length - had >= size)
            {
                m_carry = length - had - size;
                if (m_continuous)
                    m_base += static_cast<int64_t>(size);
                return;
            }
            p = length - had;
        }
        else
        {
            // Not a header after all: the frame expected there is missing.
            m_lost = m_started;
        }
    }
    else if (m_carry >= size)
    {
        // The frame begun earlier covers this whole payload.
        m_carry -= size;
        if (m_continuous)
            m_base += static_cast<int64_t>(size);
        return;
    }
    else
    {
        p = static_cast<size_t>(m_carry);
    }
    m_carry = 0;

    // p: where the next frame is expected; q: where the search goes on from (past sync
    // words that open no valid header).
    for (size_t q = p;;)
    {
        const size_t h = FindSync(data, size, q);
        if (h >= size)
        {
            m_lost = m_lost || m_started;
            break;
        }
        Frame f;
        f.at = base + static_cast<int64_t>(h);
        f.expected = m_started ? base + static_cast<int64_t>(p) : f.at;
        f.first = m_firstInPayload;
        f.missing = m_started && (h != p || m_lost);
        f.owner = owner;
        if (h + need > size)
        {
            // Cut by the end of the payload: joined with the next one's first bytes.
            m_pendingBytes = size - h;
            for (size_t i = 0; i < m_pendingBytes; ++i)
                m_pending[i] = data[h + i];
            m_pendingAt = f.at;
            m_pendingExpected = f.expected;
            m_pendingFirst = f.first;
            m_pendingMissing = f.missing;
            m_pendingOwner = owner;
            m_firstInPayload = false;
            break;
        }
        const uint32_t length = FrameLength(data + h);
        if (length == 0)
        {
            q = h + 1;
            continue;
        }
        f.header = data + h;
        f.headerBytes = need;
        f.length = length;
        found(static_cast<const Frame&>(f));
        m_started = true;
        m_lost = false;
        m_firstInPayload = false;
        if (h + length >= size)
        {
            m_carry = h + length - size;
            break;
        }
        p = q = h + length;
    }
    if (m_continuous)
        m_base += static_cast<int64_t>(size);
}
