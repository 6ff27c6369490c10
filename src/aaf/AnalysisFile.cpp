// The analysis file writer: the list record, then a group per pack record. Everything
// here only appends bytes to a CFile; nothing is ever read back.

#include "aaf/AnalysisFile.h"

#include "analysis/CPackList.h"
#include "stream/CFile.h"
#include "syntax/TimeStamp.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// ---------------------------------------------------------------------------------------
// Little-endian helpers

void PutLE32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutLE64(uint8_t* p, uint64_t v)
{
    PutLE32(p, static_cast<uint32_t>(v));
    PutLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The record tags all have five letters, so each is written as 06 00 00 00, the letters
// and a NUL: 10 bytes, followed by the payload length.
constexpr size_t kTagBytes = 4 + 6;
constexpr uint32_t kNodeRecordBytes = 60;
constexpr uint32_t kPackPayloadBytes = 80;
constexpr size_t kNodeRecordTotal = kTagBytes + 4 + kNodeRecordBytes;    // 74
constexpr size_t kPackRecordTotal = kTagBytes + 4 + kPackPayloadBytes;   // 94

// Tag and payload length at the front of a record buffer; returns where the payload goes.
uint8_t* PutRecordHead(uint8_t* p, const char (&tag)[6], uint32_t payloadBytes)
{
    PutLE32(p, 6);
    std::memcpy(p + 4, tag, 6);  // five letters and the NUL
    PutLE32(p + 10, payloadBytes);
    return p + 14;
}

uint32_t Presence(bool present)
{
    return present ? AnalysisFile::kPresent : 0;
}

// ---------------------------------------------------------------------------------------
// Output file with a write buffer. A whole-file analysis has a node group per pack, a
// couple of million for a DVD-sized stream; one system call per record would dominate
// the save. The writer only appends, so the buffer is simply drained before anything
// that looks at or moves the file position.

class CBufferedOutFile : public CFile
{
public:
    ~CBufferedOutFile() override { Close(); }

    bool Write(const void* buffer, uint32_t count) override
    {
        if (m_bWriteError || !IsOpen())
        {
            m_bWriteError = true;
            return false;
        }
        if (count == 0)
            return true;
        if (m_nPending + count > sizeof(m_buffer))
        {
            if (!Drain())
                return false;
            if (count > sizeof(m_buffer))
                return CFile::Write(buffer, count);
        }
        std::memcpy(m_buffer + m_nPending, buffer, count);
        m_nPending += count;
        return true;
    }

    uint64_t Seek(int64_t offset, SeekPosition from) override
    {
        Drain();
        return CFile::Seek(offset, from);
    }
    uint64_t GetPosition() const override { return CFile::GetPosition() + m_nPending; }
    uint64_t GetLength() const override
    {
        uint64_t onDisk = CFile::GetLength();
        uint64_t end = GetPosition();
        return end > onDisk ? end : onDisk;
    }
    bool Flush() override
    {
        if (!Drain())
            return false;
        return CFile::Flush();
    }
    void Close() override
    {
        if (IsOpen())
            Drain();
        m_nPending = 0;
        CFile::Close();
    }

private:
    bool Drain()
    {
        if (m_nPending == 0)
            return !m_bWriteError;
        uint32_t n = m_nPending;
        m_nPending = 0;
        return CFile::Write(m_buffer, n);
    }

    uint8_t m_buffer[64 * 1024];
    uint32_t m_nPending = 0;
};

// ---------------------------------------------------------------------------------------
// Paths

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// What the save replaces: whether a file is there now, and whose it is.
struct TargetInfo
{
    bool existing = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// The file that will be replaced: a symbolic link is followed, so that the save goes to
// the file the link names and the link stays a link. Empty when the path is unusable.

std::string ResolveTarget(const std::string& path, TargetInfo* info)
{
    *info = TargetInfo();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? path : std::string();
    std::string target = path;
    if (S_ISLNK(st.st_mode))
    {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real)
            return std::string();  // a dangling or looping link: nothing sensible to replace
        target = real;
        std::free(real);
        if (::stat(target.c_str(), &st) != 0)
            return std::string();
    }
    // Only a regular file can be written (as CFile::Open insists), and a file that we
    // may not write must not be replaced behind its owner's back.
    if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0)
        return std::string();
    info->existing = true;
    info->mode = st.st_mode & 07777;
    info->owner = st.st_uid;
    info->group = st.st_gid;
    return target;
}

// Creates a fresh file beside target that no one else has open. Returns its path, or an
// empty string when the folder does not take a new file.
std::string CreateTempBeside(const std::string& target, CFile& file)
{
    static unsigned s_nSerial = 0;
    const std::string dir = DirectoryOf(target);
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint32_t seed = static_cast<uint32_t>(::getpid()) * 2654435761u ^ static_cast<uint32_t>(now.tv_nsec);
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char name[64];
        uint32_t tag = seed + 0x9E3779B9u * ++s_nSerial;
        std::snprintf(name, sizeof(name), "/.varnodel-save-%08x.tmp", tag);
        std::string temp = (dir == "/" ? std::string() : dir) + name;
        int error = 0;
        if (file.Open(temp, CFile::modeCreate | CFile::modeReadWrite | CFile::modeExclusive, &error))
            return temp;
        if (error != EEXIST)
            break;
    }
    return std::string();
}

// Makes a finished rename survive a crash. Failure here costs nothing that was promised
// before, so it is not reported.
void SyncDirectory(const std::string& dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        ::fsync(fd);
        ::close(fd);
    }
}

// =======================================================================================
// The records

bool WritePackRecord(CFile& file, const CPackHeader& header)
{
    uint8_t record[kPackRecordTotal];
    AnalysisFile::PackPayload(header, PutRecordHead(record, "PH1.0", kPackPayloadBytes));
    return file.Write(record, sizeof(record));
}

// The SP1.0 record, then the PH1.0 record when the node has a pack header.
bool WriteNodeGroup(CFile& file, const CPackList& list, size_t index)
{
    uint8_t record[kNodeRecordTotal];
    uint8_t* p = PutRecordHead(record, "SP1.0", kNodeRecordBytes);
    uint32_t words[15];
    AnalysisFile::NodeWords(list, index, words);
    for (uint32_t w : words)
    {
        PutLE32(p, w);
        p += 4;
    }
    if (!file.Write(record, sizeof(record)))
        return false;
    // Word 5 tells a reader whether the PH1.0 record follows, so the two must agree.
    const CPackNode& node = list.Nodes()[index];
    return !node.Has(CPackNode::PackHeader) || WritePackRecord(file, node.m_packHeader);
}

// SI1.0 (tag, input path, date, node count), then every node's group. The date is
// today's local date, also kept in the list.
bool WriteList(CFile& file, CPackList& list)
{
    char date[16] = "00000000";
    std::time_t now = std::time(nullptr);
    struct tm local;
    if (::localtime_r(&now, &local) != nullptr)
    {
        // Eight digits always, so that the date's length field is always 9.
        if (std::strftime(date, sizeof(date), "%Y%m%d", &local) != 8)
            std::strcpy(date, "00000000");
    }
    list.m_strDate = date;

    if (!AnalysisFile::WriteString(file, "SI1.0") || !AnalysisFile::WriteString(file, list.m_strInputPath) ||
        !AnalysisFile::WriteString(file, list.m_strDate))
        return false;
    uint8_t count[4];
    PutLE32(count, list.Count());
    if (!file.Write(count, sizeof(count)))
        return false;
    for (size_t i = 0; i < list.Count(); ++i)
    {
        if (!WriteNodeGroup(file, list, i))
            return false;
    }
    return true;
}

}  // namespace

// =======================================================================================
// The file

namespace AnalysisFile
{
bool WriteString(CFile& file, std::string_view text)
{
    if (text.size() >= UINT32_MAX)
        return false;
    uint8_t length[4];
    PutLE32(length, static_cast<uint32_t>(text.size() + 1));
    const char nul = '\0';
    return file.Write(length, sizeof(length)) && file.Write(text.data(), static_cast<uint32_t>(text.size())) &&
           file.Write(&nul, 1);
}

void PackPayload(const CPackHeader& h, uint8_t out[80])
{
    std::memset(out, 0, kPackPayloadBytes);  // the padding words at 60 and 76 stay zero
    PutLE32(out + 0, h.m_nMarker01);
    PutLE32(out + 4, h.m_nScr32_30);
    PutLE32(out + 8, h.m_nMarker1);
    PutLE32(out + 12, h.m_nScr29_15);
    PutLE32(out + 16, h.m_nMarker2);
    PutLE32(out + 20, h.m_nScr14_0);
    PutLE32(out + 24, h.m_nMarker3);
    PutLE32(out + 28, h.m_nScrExtension);
    PutLE32(out + 32, h.m_nMarker4);
    PutLE32(out + 36, h.m_nProgramMuxRate);
    PutLE32(out + 40, h.m_nMarker5);
    PutLE32(out + 44, h.m_nMarker6);
    PutLE32(out + 48, h.m_nReserved);
    PutLE32(out + 52, h.m_nStuffingLength);
    // Stored files have the low 32 bits of the SCR base and their milliseconds.
    const auto scr = static_cast<uint32_t>(h.m_nScrBase);
    PutLE32(out + 56, scr);
    const double ms = TicksToMs(scr);
    uint64_t msBits;
    static_assert(sizeof(msBits) == sizeof(ms));
    std::memcpy(&msBits, &ms, sizeof(msBits));
    PutLE64(out + 64, msBits);
    PutLE32(out + 72, h.m_nMuxRateBps);
}

void NodeWords(const CPackList& list, size_t index, uint32_t words[15])
{
    const CPackNode& node = list.Nodes()[index];
    words[0] = kNodeRecordType;
    words[1] = Presence(index + 1 < list.Count());
    words[2] = Presence(index > 0);
    words[3] = node.m_nPackNumber;
    words[4] = static_cast<uint32_t>(node.m_nPosition);  // the record has room for the low 32 bits only
    words[5] = Presence(node.Has(CPackNode::PackHeader));
    words[6] = Presence(node.Has(CPackNode::SystemHeader));
    words[7] = Presence(node.Has(CPackNode::PesHeader));
    words[8] = Presence(node.Has(CPackNode::SequenceHeader));
    words[9] = Presence(node.Has(CPackNode::GopHeader));
    words[10] = Presence(node.Has(CPackNode::PictureHeader));
    words[11] = Presence(node.Has(CPackNode::AudioHeader));
    words[12] = Presence(node.Has(CPackNode::PackLine));
    words[13] = Presence(node.Has(CPackNode::HeaderLine));
    words[14] = 0;
}

SaveResult Save(CPackList* list, const std::string& path)
{
    if (!list)
        return SaveResult::NoAnalysis;
    if (path.empty())
        return SaveResult::CannotOpen;

    TargetInfo info;
    const std::string target = ResolveTarget(path, &info);
    if (target.empty())
        return SaveResult::CannotOpen;

    // The analysis goes to a new file beside the target and replaces it only once every
    // byte is on disk: a failed write (a full disk, a removed medium) then never leaves a
    // truncated file behind, nor destroys the file the user agreed to overwrite.
    CBufferedOutFile file;
    const std::string temp = CreateTempBeside(target, file);
    if (temp.empty())
        return SaveResult::CannotOpen;

    bool ok = WriteString(file, kBanner) && WriteString(file, kFormatTag) && WriteList(file, *list);
    ok = ok && file.Flush();
    file.Close();
    ok = ok && !file.HadWriteError();
    // A replaced file keeps its owner and permissions; a new one has those of any freshly
    // created file, which the temporary file already got from the umask. Only the
    // superuser may give a file away, so a refused chown is no failure: the file is then
    // simply ours, as it would be after deleting and saving anew.
    if (ok && info.existing)
    {
        [[maybe_unused]] const bool ownerKept = ::chown(temp.c_str(), info.owner, info.group) == 0;
        ok = ::chmod(temp.c_str(), info.mode) == 0;
    }
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
    {
        ::unlink(temp.c_str());
        return SaveResult::CannotWrite;
    }
    SyncDirectory(DirectoryOf(target));
    return SaveResult::Ok;
}

std::string MessageFor(SaveResult result, const std::string& path)
{
    const char* format = nullptr;
    switch (result)
    {
    case SaveResult::Ok:
        return std::string();
    case SaveResult::NoAnalysis:
        return "No analysis done";
    case SaveResult::CannotOpen:
        format = "Cannot open output file %s";
        break;
    case SaveResult::CannotWrite:
        format = "Cannot write output file %s";
        break;
    }
    if (!format)
        return std::string();
    // The path is pasted in as it is, whatever its length.
    std::string text = format;
    size_t at = text.find("%s");
    text.replace(at, 2, path);
    return text;
}
}  // namespace AnalysisFile
