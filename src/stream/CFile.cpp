#include "stream/CFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFile::CFile() = default;

CFile::~CFile()
{
    if (m_hFile >= 0)
        ::close(m_hFile);
}

void CFile::SetFilePath(const std::string& path)
{
    m_strFileName = path;
}

bool CFile::Open(const std::string& path, uint32_t openFlags, int* error)
{
    // Not the virtual Close: a derived class releases its buffers there, and it has just
    // set them up for this file.
    CFile::Close();
    m_bReadError = m_bWriteError = false;
    m_nLastErrno = 0;

    const bool writing = (openFlags & (modeWrite | modeReadWrite)) != 0;
    int flags = O_CLOEXEC;
    if (openFlags & modeReadWrite)
        flags |= O_RDWR;
    else if (openFlags & modeWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (openFlags & modeCreate)
    {
        flags |= O_CREAT;
        if (openFlags & modeExclusive)
            flags |= O_EXCL;
        else if (!(openFlags & modeNoTruncate))
            flags |= O_TRUNC;
    }
    // Non-blocking only for the open itself: opening a FIFO for reading would otherwise
    // wait for a writer. The type check below turns such files away.
    if (!writing)
        flags |= O_NONBLOCK;

    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
    {
        m_nLastErrno = errno;
        if (error)
            *error = m_nLastErrno;
        return false;
    }
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode))
    {
        // EINVAL stands for "not a regular file" (a FIFO, a device, a socket).
        m_nLastErrno = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        if (error)
            *error = m_nLastErrno;
        return false;
    }
    if (!writing)
    {
        int fl = ::fcntl(fd, F_GETFL);
        if (fl >= 0)
            ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    m_hFile = fd;
    m_strFileName = path;
    return true;
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    if (m_hFile < 0 || m_bReadError)
        return 0;
    auto* dst = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < count)
    {
        ssize_t n = ::read(m_hFile, dst + done, count - done);
        if (n > 0)
        {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        m_nLastErrno = errno;
        m_bReadError = true;
        break;
    }
    return done;
}

bool CFile::Write(const void* buffer, uint32_t count)
{
    if (m_hFile < 0)
    {
        m_bWriteError = true;
        return false;
    }
    auto* src = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < count)
    {
        ssize_t n = ::write(m_hFile, src + done, count - done);
        if (n > 0)
        {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        m_nLastErrno = n < 0 ? errno : ENOSPC;
        m_bWriteError = true;
        return false;
    }
    return true;
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    if (m_hFile < 0)
        return 0;
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(m_hFile, static_cast<off_t>(offset), whence);
    if (pos < 0)
    {
        m_nLastErrno = errno;
        pos = ::lseek(m_hFile, 0, SEEK_CUR);
    }
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

uint64_t CFile::GetLength() const
{
    struct stat st;
    if (m_hFile < 0 || ::fstat(m_hFile, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

uint64_t CFile::GetPosition() const
{
    if (m_hFile < 0)
        return 0;
    off_t pos = ::lseek(m_hFile, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

bool CFile::Flush()
{
    if (m_hFile < 0)
        return false;
    if (::fsync(m_hFile) != 0 && errno != EINVAL && errno != EROFS)
    {
        m_nLastErrno = errno;
        m_bWriteError = true;
        return false;
    }
    return true;
}

void CFile::Close()
{
    if (m_hFile >= 0)
    {
        if (::close(m_hFile) != 0 && errno != EINTR)
        {
            m_nLastErrno = errno;
            m_bWriteError = true;
        }
        m_hFile = -1;
    }
}
