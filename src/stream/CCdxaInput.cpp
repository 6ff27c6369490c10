#include "stream/CCdxaInput.h"

#include <algorithm>
#include <cstring>

namespace
{
uint32_t Le32(const uint8_t* b)
{
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

// Raw sectors read from the file at a time.
constexpr size_t kSectorsPerRead = 64;
}  // namespace

bool CCdxaInput::IsCdxa(const uint8_t* head, size_t n)
{
    return n >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "CDXA", 4) == 0;
}

bool CCdxaInput::Open(std::unique_ptr<CFileInput>& file)
{
    // The chunks before the sectors: "fmt " with the disc's file attributes, then "data".
    uint8_t head[512];
    if (!file || !file->Seek(0))
        return false;
    const uint32_t got = file->Read(head, sizeof head);
    if (!IsCdxa(head, got))
        return false;
    const uint64_t fileSize = file->Size();
    size_t at = 12;
    bool found = false;
    uint32_t declared = 0;
    while (at + 8 <= got)
    {
        const uint32_t size = Le32(head + at + 4);
        if (std::memcmp(head + at, "data", 4) == 0)
        {
            found = true;
            declared = size;
            at += 8;
            break;
        }
        // Chunks are padded to an even size.
        at += 8 + size + (size & 1);
    }
    if (!found || at > fileSize || !file->Seek(at))
        return false;
    m_file = std::move(file);
    m_dataStart = at;
    // A data size that is missing or runs past the file (a file cut short) gives way to
    // the file's own length.
    const uint64_t left = fileSize - at;
    m_dataSize = declared == 0 || declared > left ? left : declared;
    m_sectors = (m_dataSize + kSectorSize - 1) / kSectorSize;
    const uint64_t full = m_dataSize / kSectorSize;
    const uint64_t tail = m_dataSize % kSectorSize;
    m_size = full * kForm2UserSize + (tail > 24 ? std::min<uint64_t>(tail - 24, kForm2UserSize) : 0);
    m_runs.assign(1, Run());
    m_raw.resize(kSectorsPerRead * kSectorSize);
    m_rawFill = 0;
    m_rawFirstSector = m_nextSector = 0;
    m_inSector = 0;
    m_position = 0;
    return true;
}

CCdxaInput::Run CCdxaInput::Classify(const uint8_t* s, size_t have)
{
    Run r;
    if (have < 24)
        return r;
    static const uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    // A sector without its sync pattern is taken as the form 2 sector it most likely is:
    // its bytes are kept rather than lost.
    if (std::memcmp(s, kSync, sizeof kSync) != 0)
        return r;
    const uint8_t mode = s[15];
    if (mode == 1)
    {
        r.userOffset = 16;
        r.userSize = kForm1UserSize;
    }
    else if (mode == 2 && !(s[18] & 0x20))  // submode: form 2 bit
    {
        r.userSize = kForm1UserSize;
    }
    return r;
}

bool CCdxaInput::FillSectors()
{
    const uint64_t sectors = std::min<uint64_t>(kSectorsPerRead, m_sectors - m_nextSector);
    const uint64_t bytes = std::min<uint64_t>(sectors * kSectorSize, m_dataSize - m_nextSector * kSectorSize);
    m_rawFirstSector = m_nextSector;
    m_rawFill = m_file->Read(m_raw.data(), static_cast<uint32_t>(bytes));
    return m_rawFill > 0;
}

uint32_t CCdxaInput::Read(void* buffer, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count && m_nextSector < m_sectors)
    {
        size_t at = static_cast<size_t>((m_nextSector - m_rawFirstSector) * kSectorSize);
        if (m_nextSector < m_rawFirstSector || at >= m_rawFill)
        {
            if (!FillSectors())
                break;
            at = 0;
        }
        const uint8_t* s = m_raw.data() + at;
        const size_t have = std::min<size_t>(kSectorSize, m_rawFill - at);
        const Run kind = Classify(s, have);
        if (m_inSector == 0)
        {
            // The size estimate took this sector for a form 2 one.
            m_size -= std::min<uint64_t>(m_size, kForm2UserSize - kind.userSize);
            Run& last = m_runs.back();
            if (kind.userOffset != last.userOffset || kind.userSize != last.userSize)
            {
                Run next = kind;
                next.firstSector = m_nextSector;
                next.start = m_position;
                if (last.firstSector == m_nextSector)
                    last = next;
                else
                    m_runs.push_back(next);
            }
        }
        // The last sector of a file cut short holds what it holds.
        const uint32_t user = have > kind.userOffset
            ? static_cast<uint32_t>(std::min<size_t>(kind.userSize, have - kind.userOffset))
            : 0;
        const uint32_t take = std::min(count - done, user - std::min(user, m_inSector));
        std::memcpy(out + done, s + kind.userOffset + m_inSector, take);
        done += take;
        m_inSector += take;
        m_position += take;
        if (m_inSector >= user)
        {
            ++m_nextSector;
            m_inSector = 0;
            if (user < kind.userSize)
                m_nextSector = m_sectors;
        }
    }
    return done;
}

const CCdxaInput::Run& CCdxaInput::RunOf(uint64_t position) const
{
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), position,
                               [](uint64_t p, const Run& r) { return p < r.start; });
    return it == m_runs.begin() ? m_runs.front() : *(it - 1);
}

CInput::Location CCdxaInput::Locate(uint64_t position) const
{
    if (!m_file)
        return {};
    if (position >= m_size || m_runs.empty())
        return {0, m_file->Size()};
    const Run& run = RunOf(position);
    const uint64_t within = position - run.start;
    const uint64_t sector = run.firstSector + within / run.userSize;
    return {0, m_dataStart + sector * kSectorSize + run.userOffset + within % run.userSize};
}
