#pragma once
// Shared pieces of the robustness tests: a host that records what the run tells it, one
// analysis with its figures, and the bound that keeps the work of a run linear in the
// size of its input.

#include "aaf/AnalysisFile.h"
#include "analysis/CAnalysisDriver.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace robust
{

using Outcome = CAnalysisDriver::Outcome;

// The two walks of the tree: by packet lengths (the default) and byte by byte.
enum class Walk
{
    ByLength,
    ScanBytes,
};
inline const char* WalkName(Walk walk) { return walk == Walk::ByLength ? "ByLength" : "ScanBytes"; }
inline std::string WalkParamName(const ::testing::TestParamInfo<Walk>& info) { return WalkName(info.param); }
inline void Choose(CAnalysisDriver& driver, Walk walk) { driver.SetFollowPacketLengths(walk == Walk::ByLength); }

struct RecordingHost : IAnalysisHost
{
    std::vector<uint32_t> progress;
    std::vector<std::string> messages;
    int started = 0, ended = 0;
    uint64_t pumps = 0;
    std::function<void()> onPump;

    void OnRunStarted() override { ++started; }
    void OnProgress(uint32_t percent) override { progress.push_back(percent); }
    void Pump() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    void OnRunEnded() override { ++ended; }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        messages.push_back(caption + ": " + text);
    }
};

// Ends the test process when a run does not finish in time: a hang must fail the test,
// not stall the suite.
class Watchdog
{
public:
    Watchdog(std::chrono::seconds limit, std::string what)
        : m_what(std::move(what))
        , m_thread([this, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_cv.wait_for(lock, limit, [this] { return m_bDone; }))
            {
                std::fprintf(stderr, "hang: %s did not finish within %lld s\n", m_what.c_str(),
                             static_cast<long long>(limit.count()));
                std::abort();
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bDone = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string m_what;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDone = false;
    std::thread m_thread;  // last: starts once the members above exist
};

// A file in memory that the analysis opens by name like any other (/proc/self/fd/N):
// the sweeps change and cut it thousands of times, which costs nothing there.
class MemFile
{
public:
    MemFile() : m_fd(::memfd_create("varnodel-robust", MFD_CLOEXEC))
    {
        if (m_fd >= 0)
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    bool Ok() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }
    bool Assign(const Bytes& bytes) { return Resize(0) && PutBytes(0, bytes.data(), bytes.size()); }
    bool Resize(uint64_t size) { return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0; }
    bool PutByte(uint64_t at, uint8_t value) { return PutBytes(at, &value, 1); }
    bool PutBytes(uint64_t at, const uint8_t* p, size_t n)
    {
        for (size_t done = 0; done < n;)
        {
            const ssize_t w = ::pwrite(m_fd, p + done, n - done, static_cast<off_t>(at + done));
            if (w <= 0)
                return false;
            done += static_cast<size_t>(w);
        }
        return true;
    }

private:
    int m_fd;
    std::string m_path;
};

// What one analysis left behind.
struct RunFigures
{
    Outcome outcome = Outcome::NotStarted;
    uint32_t lines = 0;
    uint32_t packs = 0;
    uint32_t nodes = 0;
    uint64_t startCodes = 0;
    uint64_t bytesConsumed = 0;
    size_t treeBytes = 0;
    std::vector<uint64_t> packPositions;  // stream position of every pack, in order
};

inline RunFigures Figures(const CAnalysisDriver& driver, const CResultTree& tree, Outcome outcome)
{
    RunFigures f;
    f.outcome = outcome;
    f.lines = tree.Count();
    f.packs = driver.PackCount();
    f.startCodes = driver.StartCodeCount();
    f.bytesConsumed = driver.BytesConsumed();
    f.treeBytes = tree.MemoryBytes();
    if (const CPackList* list = driver.Records())
    {
        f.nodes = list->Count();
        for (const CPackNode& n : list->Nodes())
            if (n.m_nPackNumber != 0)
                f.packPositions.push_back(n.m_nPosition);
    }
    return f;
}

// A whole-file analysis of path with a fresh tree and host.
inline RunFigures AnalyzeAll(const std::string& path, RecordingHost* hostOut = nullptr, Walk walk = Walk::ByLength)
{
    CResultTree tree;
    RecordingHost local;
    RecordingHost& host = hostOut ? *hostOut : local;
    CAnalysisDriver driver(tree, host);
    Choose(driver, walk);
    const Outcome outcome = driver.Analyze(path, 0);
    return Figures(driver, tree, outcome);
}

// The work of a run is bounded by its input: a start code takes four bytes; the lines of
// one element are a fixed number plus, for the variable parts (stream list of a system
// header, audio frames of a payload), a few per byte of the element. Anything beyond
// this would be a run whose cost grows faster than its file.
inline void ExpectLinearWork(const RunFigures& f, uint64_t fileSize, const std::string& what)
{
    EXPECT_LE(f.startCodes, fileSize / 4) << what;
    EXPECT_LE(f.bytesConsumed, fileSize) << what;
    EXPECT_LE(f.packs, f.startCodes) << what;
    EXPECT_LE(f.nodes, f.startCodes + 1) << what;
    EXPECT_LE(uint64_t{f.lines}, 8 + 64 * f.startCodes + 8 * fileSize) << what;
}

}  // namespace robust
