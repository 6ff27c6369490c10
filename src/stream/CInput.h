#pragma once
// What the stream model reads: one file as it is, or several files read one after the
// other as one stream (the VOB files of a DVD title set). Inputs whose bytes are not the
// stream itself (a CD-XA file, whose sectors wrap the stream's bytes) map their positions
// back to the file through Locate.
//
// Positions are those of the stream read: 0 is its first byte, and they run on across the
// files of a set. Every event of the model speaks in these positions; Locate says which
// file and which offset in it a position is, for whoever shows it to a person.

#include "stream/CFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CInput
{
public:
    struct Location
    {
        uint32_t file = 0;     // index into the input's files
        uint64_t offset = 0;   // byte offset in that file
    };

    virtual ~CInput() = default;

    // Reads up to count bytes at the current position, which then moves on; fewer only at
    // the end of the input or after a read error (HadReadError).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    virtual bool HadReadError() const = 0;
    // Bytes of the stream.
    virtual uint64_t Size() const = 0;
    // The file and file offset of a stream position (positions at or past the end give
    // the end of the last file).
    virtual Location Locate(uint64_t position) const = 0;
    virtual uint32_t FileCount() const = 0;
    virtual const std::string& FileName(uint32_t file) const = 0;
    // The file offset of a position, for inputs of one file.
    uint64_t FileOffset(uint64_t position) const { return Locate(position).offset; }
};

// One regular file, read as it is.
class CFileInput : public CInput
{
public:
    // false when the file cannot be opened for reading; *error gets the errno.
    bool Open(const std::string& path, int* error = nullptr);

    uint32_t Read(void* buffer, uint32_t count) override { return m_file.Read(buffer, count); }
    bool HadReadError() const override { return m_file.HadReadError(); }
    uint64_t Size() const override { return m_size; }
    // Moves the read position to a file offset; false when the system refuses.
    bool Seek(uint64_t offset) { return m_file.Seek(static_cast<int64_t>(offset), CFile::begin) == offset; }
    Location Locate(uint64_t position) const override { return {0, position < m_size ? position : m_size}; }
    uint32_t FileCount() const override { return 1; }
    const std::string& FileName(uint32_t) const override { return m_path; }

private:
    CFile m_file;
    std::string m_path;
    uint64_t m_size = 0;
};

// Files read one after the other as one stream. A file boundary is nothing to the
// reader: it may fall anywhere, even inside a packet.
class CFileSetInput : public CInput
{
public:
    // Opens every file (each is opened when its turn comes, but all are checked now);
    // false when one cannot be opened: *error gets the errno, *failed its index.
    bool Open(const std::vector<std::string>& paths, int* error = nullptr, size_t* failed = nullptr);

    uint32_t Read(void* buffer, uint32_t count) override;
    bool HadReadError() const override { return m_readError; }
    uint64_t Size() const override { return m_size; }
    Location Locate(uint64_t position) const override;
    uint32_t FileCount() const override { return static_cast<uint32_t>(m_parts.size()); }
    const std::string& FileName(uint32_t file) const override { return m_parts[file].path; }
    // Where a file starts in the stream.
    uint64_t FileStart(uint32_t file) const { return m_parts[file].start; }

private:
    struct Part
    {
        std::string path;
        uint64_t start = 0;  // stream position of its first byte
        uint64_t size = 0;
    };
    std::vector<Part> m_parts;
    uint64_t m_size = 0;
    size_t m_current = 0;     // the part being read
    uint64_t m_position = 0;  // stream position of the next byte read
    CFile m_file;             // the current part, once opened
    bool m_readError = false;
};

// Opens a path as the stream it holds: a CD-XA file (a Video CD's .DAT) through its
// sectors' user data, any other file as it is. *error gets the errno when it cannot be
// opened.
std::unique_ptr<CInput> OpenInput(const std::string& path, int* error = nullptr);
