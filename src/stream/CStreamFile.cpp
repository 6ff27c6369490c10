#include "stream/CStreamFile.h"

#include <new>

CStreamFile::CStreamFile()
    : m_nReadCapacity(kReadCapacity)
{
}

CStreamFile::~CStreamFile() = default;

void CStreamFile::SetFilePath(const std::string& path)
{
    m_strFileName = path;
}

bool CStreamFile::Open(const std::string& path, uint32_t openFlags, int* error)
{
    m_nReadCursor = 0;
    m_nReadFill = 0;
    m_nStreamPosition = 0;
    // Without memory for the buffer the file is read unbuffered.
    m_pReadBuffer.reset(new (std::nothrow) uint8_t[m_nReadCapacity]);
    return CFile::Open(path, openFlags, error);
}

void CStreamFile::Refill()
{
    const uint32_t available = m_nReadFill - m_nReadCursor;
    if (available != 0 && m_nReadCursor != 0)
        std::memmove(m_pReadBuffer.get(), m_pReadBuffer.get() + m_nReadCursor, available);
    const uint32_t got = CFile::Read(m_pReadBuffer.get() + available, m_nReadCapacity - available);
    m_nReadCursor = 0;
    m_nReadFill = available + got;
}

uint32_t CStreamFile::ReadRefill(void* buffer, uint32_t count)
{
    if (!m_pReadBuffer)
        return CFile::Read(buffer, count);

    Refill();
    if (m_nReadFill >= count)
    {
        std::memcpy(buffer, m_pReadBuffer.get(), count);
        m_nReadCursor = count;
        m_nStreamPosition += count;
        return count;
    }
    // The data ended: hand over what is left, drain the buffer, deliver nothing.
    if (m_nReadFill != 0)
        std::memcpy(buffer, m_pReadBuffer.get(), m_nReadFill);
    m_nReadCursor = m_nReadFill;
    return 0;
}

void CStreamFile::Close()
{
    CFile::Close();
    m_pReadBuffer.reset();
    m_nReadCursor = m_nReadFill = 0;
}
