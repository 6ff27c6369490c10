// The save command's outcomes other than a plain new file: nothing to save, a path that
// cannot be opened, writes that fail half-way (a file size limit, a full file system, a
// folder that takes no new file), and what a replaced file looks like afterwards.

#include "AafReader.h"
#include "AafTestUtil.h"

#include "aaf/AnalysisFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using AnalysisFile::SaveResult;

namespace
{
void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadText(const std::string& path)
{
    std::vector<uint8_t> v = ReadWholeFile(path);
    return std::string(v.begin(), v.end());
}

// The names in a folder, so that a test sees a temporary file left behind.
std::vector<std::string> Listing(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& entry : std::filesystem::directory_iterator(dir, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A list whose file is a few hundred kilobytes, larger than any limit the tests set.
void FillBigList(CPackList& list)
{
    list.m_strInputPath = "big.mpg";
    for (uint32_t n = 1; n <= 2000; ++n)
        AppendPack(list, n, 4 + 2048ull * (n - 1));
}

const std::string kOldContent = "the analysis file that was there before\n";

// Runs body in a child process and returns its exit status (or -1 when it died). Used
// where a test changes process-wide state: limits, identity, mount namespace.
template <typename Body>
int InChild(Body body)
{
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

constexpr int kChildSkip = 77;
}  // namespace

// ---------------------------------------------------------------------------------------
// Refusals before anything is written

TEST(AnalysisFileSave, NothingToSaveWritesNothing)
{
    ScratchDir dir;
    EXPECT_EQ(AnalysisFile::Save(nullptr, dir / "x.aaf"), SaveResult::NoAnalysis);
    EXPECT_TRUE(Listing(dir.Path()).empty());
    EXPECT_EQ(AnalysisFile::MessageFor(SaveResult::NoAnalysis, "x.aaf"), "No analysis done");
    EXPECT_EQ(AnalysisFile::MessageFor(SaveResult::Ok, "x.aaf"), "");
}

TEST(AnalysisFileSave, UnopenablePathsAreReportedWithThePath)
{
    ScratchDir dir;
    CPackList list;
    list.m_strInputPath = "a.mpg";

    EXPECT_EQ(AnalysisFile::Save(&list, dir / "missing/x.aaf"), SaveResult::CannotOpen);
    EXPECT_EQ(AnalysisFile::Save(&list, ""), SaveResult::CannotOpen);
    // A folder in the target's place stays a folder.
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    EXPECT_EQ(AnalysisFile::Save(&list, dir / "sub"), SaveResult::CannotOpen);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"sub"});

    EXPECT_EQ(AnalysisFile::MessageFor(SaveResult::CannotOpen, "/a b/%d.aaf"), "Cannot open output file /a b/%d.aaf");
    EXPECT_EQ(AnalysisFile::MessageFor(SaveResult::CannotWrite, "c.aaf"), "Cannot write output file c.aaf");
}

// ---------------------------------------------------------------------------------------
// Failures after the file was opened: the old file survives, no temporary file remains

TEST(AnalysisFileSave, WriteRefusedHalfWayLeavesExistingFileIntact)
{
    ScratchDir dir;
    const std::string target = dir / "old.aaf";
    WriteFile(target, kOldContent);

    // A file size limit makes the system refuse the writes beyond 4 KiB, as a full disk
    // would; the limit stays inside the child.
    int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return kChildSkip;
        CPackList list;
        FillBigList(list);
        return static_cast<int>(AnalysisFile::Save(&list, target));
    });
    ASSERT_NE(status, kChildSkip) << "cannot set a file size limit";
    EXPECT_EQ(status, static_cast<int>(SaveResult::CannotWrite));
    EXPECT_EQ(ReadText(target), kOldContent);
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"old.aaf"});
}

TEST(AnalysisFileSave, FullFileSystemLeavesExistingFileIntact)
{
    ScratchDir dir;
    const std::string mountPoint = dir / "small";
    ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);

    // The small file system lives in a mount namespace of the child's own, so nothing is
    // left mounted whatever happens; all checks therefore run in the child.
    enum : int { Ok = 0, NotFull = 1, WrongResult = 2, OldFileChanged = 3, TempLeft = 4 };
    int status = InChild([&]() -> int {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            return kChildSkip;
        const std::string target = mountPoint + "/old.aaf";
        WriteFile(target, kOldContent);
        // Fill what is left.
        {
            std::ofstream filler(mountPoint + "/filler", std::ios::binary);
            std::string block(4096, 'f');
            for (int i = 0; i < 64 && filler; ++i)
                filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush();
        }
        std::ofstream probe(mountPoint + "/probe", std::ios::binary);
        probe << std::string(8192, 'p');
        probe.flush();
        if (probe)
            return NotFull;
        probe.close();
        ::unlink((mountPoint + "/probe").c_str());

        CPackList list;
        FillBigList(list);
        if (AnalysisFile::Save(&list, target) != SaveResult::CannotWrite)
            return WrongResult;
        if (ReadText(target) != kOldContent)
            return OldFileChanged;
        if (Listing(mountPoint) != std::vector<std::string>{"filler", "old.aaf"})
            return TempLeft;
        return Ok;
    });
    if (status == kChildSkip)
        GTEST_SKIP() << "no permission to mount a small file system here";
    EXPECT_EQ(status, Ok) << "1 not full, 2 wrong result, 3 old file changed, 4 temporary file left";
}

TEST(AnalysisFileSave, FolderThatTakesNoNewFileLeavesExistingFileIntact)
{
    ScratchDir dir;
    const std::string folder = dir / "ro";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ::chmod(dir.Path().c_str(), 0755);
    const std::string target = folder + "/old.aaf";
    WriteFile(target, kOldContent);
    // Writable by anyone, so only the folder stands in the way.
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);

    int status = InChild([&] {
        // The superuser writes into read-only folders anyway: save as an ordinary user.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return kChildSkip;
        CPackList list;
        FillBigList(list);
        return static_cast<int>(AnalysisFile::Save(&list, target));
    });
    if (status == kChildSkip)
        GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(status, static_cast<int>(SaveResult::CannotOpen));
    EXPECT_EQ(ReadText(target), kOldContent);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"old.aaf"});
}

// ---------------------------------------------------------------------------------------
// Replacing a file

TEST(AnalysisFileSave, ReplacingKeepsOwnerAndModeAndDropsTheOldContentEntirely)
{
    ScratchDir dir;
    const std::string target = dir / "old.aaf";
    WriteFile(target, std::string(100000, 'x'));  // longer than the new file
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    // The superuser saving over someone else's file leaves it theirs.
    const bool root = ::geteuid() == 0;
    if (root)
    {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }

    CPackList list;
    list.m_strInputPath = "a.mpg";
    AppendPack(list, 1, 4);
    ASSERT_EQ(AnalysisFile::Save(&list, target), SaveResult::Ok);

    std::vector<uint8_t> bytes = ReadWholeFile(target);
    EXPECT_EQ(bytes.size(), 252u);
    AafFile file;
    std::string error;
    EXPECT_TRUE(ParseAaf(bytes, &file, &error)) << error;
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root)
    {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"old.aaf"});
}

TEST(AnalysisFileSave, NewFileGetsTheUsualPermissions)
{
    ScratchDir dir;
    CPackList list;
    const mode_t old = ::umask(027);
    const SaveResult result = AnalysisFile::Save(&list, dir / "new.aaf");
    ::umask(old);
    ASSERT_EQ(result, SaveResult::Ok);
    struct stat st;
    ASSERT_EQ(::stat((dir / "new.aaf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(AnalysisFileSave, SymbolicLinkStaysALinkAndItsFileIsReplaced)
{
    ScratchDir dir;
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    WriteFile(dir / "real/data.aaf", kOldContent);
    ASSERT_EQ(::symlink("real/data.aaf", (dir / "link.aaf").c_str()), 0);

    CPackList list;
    list.m_strInputPath = "a.mpg";
    ASSERT_EQ(AnalysisFile::Save(&list, dir / "link.aaf"), SaveResult::Ok);

    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.aaf"));
    EXPECT_EQ(ReadWholeFile(dir / "real/data.aaf").size(), 79u + 5u);
    EXPECT_EQ(Listing(dir / "real"), std::vector<std::string>{"data.aaf"});
}
