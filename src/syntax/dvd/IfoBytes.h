#pragma once
// The bytes of an IFO file as its table readers see them: big-endian fields at file
// offsets, every read checked against the file (a field past its end reads as 0), and
// the problems met on the way, each at the offset of the field that has it.
//
// The readers never follow a pointer, count or last-byte field before checking it
// against the file and the table that holds it; what does not fit is an issue, and the
// table is read only as far as it holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct IfoIssue
{
    uint32_t offset = 0;   // of the field at fault, in the IFO file
    std::string text;      // "VTS_PGCIT: PGC 3 starts at byte 4000, past the table's end 2047"
};

// A range of bytes of the file: [start, end).
struct IfoExtent
{
    uint32_t start = 0;
    uint32_t end = 0;
    bool Contains(uint64_t offset, uint64_t count) const
    {
        return offset >= start && offset <= end && count <= end - offset;
    }
};

class CIfoBytes
{
public:
    CIfoBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Size() const { return m_size; }
    const uint8_t* Data() const { return m_data; }
    // count bytes at offset are in the file.
    bool Has(uint64_t offset, uint64_t count) const { return offset <= m_size && count <= m_size - offset; }
    IfoExtent All() const { return {0, static_cast<uint32_t>(m_size)}; }

    uint8_t U8(uint64_t offset) const { return Has(offset, 1) ? m_data[offset] : 0; }
    uint16_t U16(uint64_t offset) const;
    uint32_t U32(uint64_t offset) const;
    uint64_t U64(uint64_t offset) const;
    // count bytes at offset, or nullptr where they are not all in the file.
    const uint8_t* Ptr(uint64_t offset, uint64_t count) const { return Has(offset, count) ? m_data + offset : nullptr; }

    // Notes a problem (printf format). Only the first kMaxIssues are kept with their text;
    // the rest are counted.
    void Issue(uint32_t offset, const char* format, ...) __attribute__((format(printf, 3, 4)));
    const std::vector<IfoIssue>& Issues() const { return m_issues; }
    uint64_t IssueCount() const { return m_issueCount; }

    static constexpr size_t kMaxIssues = 256;

private:
    const uint8_t* m_data;
    size_t m_size;
    std::vector<IfoIssue> m_issues;
    uint64_t m_issueCount = 0;
};

// The header of most IFO tables: a count, two reserved bytes and the offset of the
// table's last byte from its start.
struct CIfoTableHeader
{
    // Reads the header at start and checks that the table lies inside within (the file,
    // or the table that holds it) and is at least minSize bytes long. False, with an
    // issue, when it does not: then nothing of the table is to be read.
    bool Parse(CIfoBytes& b, uint32_t start, const IfoExtent& within, const char* name, uint32_t minSize = 8);

    uint32_t m_nStart = 0;      // file offset of the table
    uint16_t m_nCount = 0;      // 16 bits: entries (search pointers, language units, VOBs)
    uint16_t m_nZero1 = 0;      // 16 bits
    uint32_t m_nLastByte = 0;   // 32 bits: offset of the last byte from the start
    IfoExtent Extent() const { return {m_nStart, m_nStart + m_nLastByte + 1}; }
};

// Ranges that may not overlap (tables of a file, PGCs of a table): each is a name and an
// extent. Where sharing is allowed, identical ranges are one thing reached twice (two
// search pointers to one PGC), not an overlap.
struct IfoRange
{
    IfoExtent extent;
    std::string name;
    uint32_t offset = 0;   // the field that points at it
};
// Notes an issue for each range that overlaps another; returns, per range, whether it
// overlaps (the reader then leaves it out).
std::vector<bool> CheckOverlaps(CIfoBytes& b, const std::vector<IfoRange>& ranges, bool sharing = true);
