#pragma once
// A file read through a buffer. The analysis reads in very small pieces (one byte for
// the start-code window, a few bytes per header); the buffer turns those into a few
// large system reads. It is for reading only: Write refuses.

#include "stream/CFile.h"

#include <cstring>
#include <memory>

class CStreamFile : public CFile
{
public:
    static constexpr uint32_t kReadCapacity = 300000;

    CStreamFile();
    ~CStreamFile() override;

    void SetFilePath(const std::string& path) override;
    bool Open(const std::string& path, uint32_t openFlags, int* error = nullptr) override;

    // Delivers exactly count bytes, or 0 when the data ends first. At the end the buffer
    // is drained and every later Read returns 0.
    uint32_t Read(void* buffer, uint32_t count) override
    {
        // Nothing asked, nothing done (and no copy to a destination that may be null).
        if (count == 0)
            return 0;
        if (m_pReadBuffer && m_nReadFill - m_nReadCursor >= count)
        {
            std::memcpy(buffer, m_pReadBuffer.get() + m_nReadCursor, count);
            m_nReadCursor += count;
            m_nStreamPosition += count;
            return count;
        }
        return ReadRefill(buffer, count);
    }
    bool Write(const void*, uint32_t) override { return false; }
    void Close() override;

    // Bytes delivered by Read since Open.
    uint64_t GetStreamPosition() const { return m_nStreamPosition; }

protected:
    // Keeps the unread tail, moved to the front, and fills the rest with one system read.
    void Refill();

    uint32_t m_nReadCapacity;
    std::unique_ptr<uint8_t[]> m_pReadBuffer;
    uint32_t m_nReadCursor = 0;
    uint32_t m_nReadFill = 0;
    uint64_t m_nStreamPosition = 0;

private:
    uint32_t ReadRefill(void* buffer, uint32_t count);
};
