#pragma once
// The per-unit series of each stream in a compact column store, for plots and the
// inspector: 22 bytes per access unit (file offset with the unit's flags, size, pack,
// decoding time and presentation offset), in pages so that growth never copies.

#include "model/ModelEvents.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace model
{

class CStreamContext;

template <class T>
class CPagedColumn
{
public:
    static constexpr size_t kPage = 4096;

    void Push(T value)
    {
        if (m_count % kPage == 0)
        {
            m_pages.push_back(std::make_unique<T[]>(kPage));
            m_lastPage = kPage;
        }
        else if (m_count % kPage == m_lastPage)
            ResizeLast(kPage);  // trimmed, then grown again
        m_pages.back()[m_count % kPage] = value;
        ++m_count;
    }
    T operator[](size_t i) const { return m_pages[i / kPage][i % kPage]; }
    size_t Size() const { return m_count; }
    // Gives back what the last page does not use.
    void Trim()
    {
        if (m_count % kPage != 0)
            ResizeLast(m_count % kPage);
        m_pages.shrink_to_fit();
    }
    size_t MemoryBytes() const
    {
        const size_t full = m_pages.empty() ? 0 : m_pages.size() - 1;
        return (full * kPage + (m_pages.empty() ? 0 : m_lastPage)) * sizeof(T) + m_pages.capacity() * sizeof(void*);
    }

private:
    void ResizeLast(size_t size)
    {
        auto page = std::make_unique<T[]>(size);
        const size_t used = m_count % kPage;
        std::copy(m_pages.back().get(), m_pages.back().get() + std::min(used, size), page.get());
        m_pages.back() = std::move(page);
        m_lastPage = size;
    }

public:

private:
    std::vector<std::unique_ptr<T[]>> m_pages;
    size_t m_count = 0;
    size_t m_lastPage = 0;  // elements the last page holds room for
};

class CUnitSeries
{
public:
    // Flags kept in the top 16 bits of the offset column.
    enum Flag : uint16_t
    {
        PtsCoded = 1 << 3,
        DtsCoded = 1 << 4,
        SequenceStart = 1 << 5,
        GopStart = 1 << 6,
        ClosedGop = 1 << 7,
        SkippedBefore = 1 << 8,  // payload bytes were skipped in front of the unit
    };

    CUnitSeries(StreamKey stream, Kind kind) : m_stream(stream), m_kind(kind) {}

    void Append(const AccessUnit& unit);
    void Trim();

    StreamKey Stream() const { return m_stream; }
    Kind GetKind() const { return m_kind; }
    size_t Count() const { return m_size.Size(); }
    uint64_t Offset(size_t i) const { return m_offsetFlags[i] & kOffsetMask; }
    uint16_t Flags(size_t i) const { return static_cast<uint16_t>(m_offsetFlags[i] >> 48); }
    uint8_t PictureType(size_t i) const { return Flags(i) & 7; }
    uint32_t Size(size_t i) const { return m_size[i]; }
    uint32_t Pack(size_t i) const { return m_pack[i]; }
    // 90 kHz ticks on the unwrapped clock.
    int64_t Dts90(size_t i) const { return m_base90 + m_dts[i]; }
    int64_t Pts90(size_t i) const { return Dts90(i) + PtsOffset(i); }
    size_t MemoryBytes() const;

private:
    static constexpr uint64_t kOffsetMask = (uint64_t{1} << 48) - 1;

    StreamKey m_stream;
    Kind m_kind;
    int64_t m_base90 = 0;            // decoding time of the first unit
    CPagedColumn<uint64_t> m_offsetFlags;
    CPagedColumn<uint32_t> m_size;
    CPagedColumn<uint32_t> m_pack;
    CPagedColumn<uint32_t> m_dts;    // from m_base90
    // PTS - DTS: a few frame periods at most in any stream a muxer means, so 16 bits,
    // with the rare wider value kept aside (unit index, value; in index order).
    static constexpr int16_t kWideOffset = INT16_MIN;
    int32_t PtsOffset(size_t i) const;
    CPagedColumn<int16_t> m_ptsOffset;
    std::vector<std::pair<uint64_t, int32_t>> m_wideOffsets;
};

// Collects every stream's series from the model's events.
class CColumnStore : public IModelSink
{
public:
    void OnAccessUnit(const AccessUnit& unit) override;
    // The input is over: the last pages shrink to what they hold.
    void OnEnd(const StreamEnd&) override;

    // Keep the offsets a person is shown (a CD-XA file's, past its sectors' headers) rather
    // than positions in the stream, as the findings and the packs have them.
    void ShowOffsetsOf(const CStreamContext* context) { m_context = context; }

    const std::vector<std::unique_ptr<CUnitSeries>>& Series() const { return m_series; }
    const CUnitSeries* Find(StreamKey stream) const;
    size_t Units() const;
    size_t MemoryBytes() const;

private:
    std::vector<std::unique_ptr<CUnitSeries>> m_series;
    CUnitSeries* m_last = nullptr;
    const CStreamContext* m_context = nullptr;
};

}  // namespace model
