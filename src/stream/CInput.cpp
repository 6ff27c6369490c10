#include "stream/CInput.h"

#include "stream/CCdxaInput.h"

#include <algorithm>
#include <cerrno>

// ---------------------------------------------------------------------------- one file

bool CFileInput::Open(const std::string& path, int* error)
{
    if (!m_file.Open(path, CFile::modeRead, error))
        return false;
    m_path = path;
    m_size = m_file.GetLength();
    return true;
}

// ---------------------------------------------------------------------------- a set of files

bool CFileSetInput::Open(const std::vector<std::string>& paths, int* error, size_t* failed)
{
    m_parts.clear();
    m_size = 0;
    m_current = 0;
    m_position = 0;
    m_readError = false;
    m_file.Close();
    for (size_t i = 0; i < paths.size(); ++i)
    {
        CFile probe;
        if (!probe.Open(paths[i], CFile::modeRead, error))
        {
            if (failed)
                *failed = i;
            m_parts.clear();
            m_size = 0;
            return false;
        }
        m_parts.push_back({paths[i], m_size, probe.GetLength()});
        m_size += m_parts.back().size;
    }
    return true;
}

uint32_t CFileSetInput::Read(void* buffer, uint32_t count)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count && !m_readError && m_current < m_parts.size())
    {
        const Part& part = m_parts[m_current];
        if (!m_file.IsOpen())
        {
            int error = 0;
            // A file that went away since the set was opened reads as a read error.
            if (!m_file.Open(part.path, CFile::modeRead, &error))
            {
                m_readError = true;
                break;
            }
        }
        const uint64_t left = part.start + part.size - m_position;
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(count - done, left));
        const uint32_t got = want ? m_file.Read(out + done, want) : 0;
        done += got;
        m_position += got;
        if (m_file.HadReadError())
        {
            m_readError = true;
            break;
        }
        if (got < want)
        {
            // The file is shorter than it was when the set was opened.
            m_readError = true;
            break;
        }
        if (m_position == part.start + part.size)
        {
            m_file.Close();
            ++m_current;
        }
    }
    return done;
}

CInput::Location CFileSetInput::Locate(uint64_t position) const
{
    if (m_parts.empty())
        return {};
    // The last part starting at or before the position; empty files start where the next
    // one does, so the later of equal starts is taken.
    auto it = std::upper_bound(m_parts.begin(), m_parts.end(), position,
                               [](uint64_t p, const Part& part) { return p < part.start; });
    if (it != m_parts.begin())
        --it;
    const size_t index = static_cast<size_t>(it - m_parts.begin());
    const uint64_t offset = std::min(position - std::min(position, it->start), it->size);
    return {static_cast<uint32_t>(index), offset};
}

// ---------------------------------------------------------------------------- opening

std::unique_ptr<CInput> OpenInput(const std::string& path, int* error)
{
    auto input = std::make_unique<CFileInput>();
    if (!input->Open(path, error))
        return nullptr;
    // The kind of input is in the first bytes, not in the name: a .DAT copied off a disc
    // may be called anything.
    uint8_t head[12];
    const uint32_t n = input->Read(head, sizeof head);
    if (CCdxaInput::IsCdxa(head, n))
    {
        auto cdxa = std::make_unique<CCdxaInput>();
        if (cdxa->Open(input))
            return cdxa;
    }
    // A file that only looks like one is read as it is.
    if (!input->Seek(0))
    {
        if (error)
            *error = EIO;
        return nullptr;
    }
    return input;
}
