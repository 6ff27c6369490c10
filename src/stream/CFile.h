#pragma once
// A small file object over POSIX descriptors: open, read, write, seek, length, close.
// Positions and sizes are 64-bit throughout.

#include <cstdint>
#include <string>

class CFile
{
public:
    // Open flags. modeRead is 0, so "open flags 0" means read-only.
    enum OpenFlags : uint32_t
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,      // create, truncating an existing file
        modeNoTruncate = 0x2000,  // with modeCreate: keep an existing file's content
        modeExclusive = 0x4000,   // with modeCreate: fail when the file exists
    };

    enum SeekPosition
    {
        begin = 0,
        current = 1,
        end = 2
    };

    CFile();
    virtual ~CFile();

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual void SetFilePath(const std::string& path);
    // Opens the file; only regular files are accepted for reading, since a directory,
    // a FIFO or a device cannot be analysed (or would block). *error gets errno on failure.
    virtual bool Open(const std::string& path, uint32_t openFlags, int* error = nullptr);
    // Reads up to count bytes; fewer only at the end of the file or on a read error
    // (see HadReadError). After a read error every later Read returns 0.
    virtual uint32_t Read(void* buffer, uint32_t count);
    // Writes count bytes; false (and HadWriteError) when the system refused any of them.
    virtual bool Write(const void* buffer, uint32_t count);
    virtual uint64_t Seek(int64_t offset, SeekPosition from);
    virtual uint64_t GetLength() const;
    virtual uint64_t GetPosition() const;
    virtual bool Flush();
    virtual void Close();

    bool IsOpen() const { return m_hFile >= 0; }
    const std::string& GetFilePath() const { return m_strFileName; }
    bool HadReadError() const { return m_bReadError; }
    bool HadWriteError() const { return m_bWriteError; }
    int LastErrno() const { return m_nLastErrno; }

protected:
    int m_hFile = -1;
    std::string m_strFileName;
    bool m_bReadError = false;
    bool m_bWriteError = false;
    int m_nLastErrno = 0;
};
