// libFuzzer target: the whole analysis (all packs) of arbitrary bytes, the text tree
// written to /dev/null and the analysis file written and checked; then the stream model
// and the checks, and the tree of the walk by lengths, over the same bytes.
//
// The bytes reach the analysis through the real input path: they are put into an
// in-memory file (memfd) that the driver opens by its /proc/self/fd name, so the run
// goes through CFile, the read buffer and the start-code search exactly as for a file
// on disk.

#include "aaf/AnalysisFile.h"
#include "analysis/CAnalysisDriver.h"
#include "analysis/TreeExport.h"
#include "checks/StreamChecks.h"
#include "model/CDemuxer.h"
#include "model/Pipeline.h"
#include "model/StreamStats.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Stops the process with a message: an abort is what libFuzzer records as a finding.
[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

uint32_t LE32(const std::string& b, size_t at)
{
    return uint32_t{static_cast<uint8_t>(b[at])} | uint32_t{static_cast<uint8_t>(b[at + 1])} << 8 |
           uint32_t{static_cast<uint8_t>(b[at + 2])} << 16 | uint32_t{static_cast<uint8_t>(b[at + 3])} << 24;
}

struct Context
{
    int memfd = -1;
    std::string inputPath;   // /proc/self/fd/N
    std::string outputPath;  // the analysis file
    std::FILE* devNull = nullptr;

    Context()
    {
        memfd = ::memfd_create("varnodel-fuzz-input", MFD_CLOEXEC);
        if (memfd < 0)
            Fail("memfd_create");
        inputPath = "/proc/self/fd/" + std::to_string(memfd);
        // tmpfs where there is one: the writer syncs the file and its folder.
        const char* dir = std::getenv("VARNODEL_FUZZ_TMP");
        if (!dir)
            dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        outputPath = std::string(dir) + "/varnodel-fuzz-" + std::to_string(::getpid()) + ".aaf";
        devNull = std::fopen("/dev/null", "w");
        if (!devNull)
            Fail("open /dev/null");
    }
};

Context& Ctx()
{
    static Context ctx;
    return ctx;
}

// A host that counts what the driver tells it and checks its promises.
class FuzzHost : public IAnalysisHost
{
public:
    void OnRunStarted() override { ++started; }
    void OnProgress(uint32_t percent) override
    {
        if (progressCalls != 0 && percent <= lastPercent)
            Fail("progress not increasing");
        lastPercent = percent;
        ++progressCalls;
    }
    void Pump() override { ++pumps; }
    void OnRunEnded() override { ++ended; }
    void ShowMessage(const std::string&, const std::string&) override { ++messages; }

    int started = 0, ended = 0, messages = 0;
    uint32_t lastPercent = 0;
    uint64_t progressCalls = 0, pumps = 0;
};

// The file the writer produced must be exactly what the records say: header strings,
// SI1.0, and one 74- or 168-byte group per node, with each node's words in place.
void CheckAnalysisFile(const std::string& path, const CPackList& list)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        Fail("analysis file missing");
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        bytes.append(buf, n);
    std::fclose(f);

    const size_t P = list.m_strInputPath.size();
    size_t expected = 79 + P;
    for (const CPackNode& node : list.Nodes())
        expected += node.Has(CPackNode::PackHeader) ? 168 : 74;
    if (bytes.size() != expected)
        Fail("analysis file size");
    if (LE32(bytes, 75 + P) != list.Count())
        Fail("node count in SI1.0");

    size_t at = 79 + P;
    for (const CPackNode& node : list.Nodes())
    {
        if (LE32(bytes, at) != 6 || std::memcmp(bytes.data() + at + 4, "SP1.0", 6) != 0 || LE32(bytes, at + 10) != 60)
            Fail("SP1.0 head");
        const size_t words = at + 14;
        if (LE32(bytes, words + 12) != node.m_nPackNumber)
            Fail("SP1.0 pack number");
        if (LE32(bytes, words + 16) != static_cast<uint32_t>(node.m_nPosition))
            Fail("SP1.0 position");
        if ((LE32(bytes, words + 20) != 0) != node.Has(CPackNode::PackHeader))
            Fail("SP1.0 pack header word");
        at += 74;
        if (node.Has(CPackNode::PackHeader))
        {
            if (LE32(bytes, at) != 6 || std::memcmp(bytes.data() + at + 4, "PH1.0", 6) != 0 || LE32(bytes, at + 10) != 80)
                Fail("PH1.0 head");
            at += 94;
        }
    }
}

// The stream checks over the demultiplexer's events: every finding must point into the
// input, the totals must cover the findings, and the reports must format.
void RunChecks(const uint8_t* data, size_t size)
{
    model::CPipeline pipeline;
    checks::StreamChecks c(pipeline.Context());
    pipeline.Add(c);
    pipeline.Run(data, size);
    const checks::FindingLog& log = c.Log();
    uint64_t counted = 0;
    std::string json;
    for (const checks::Finding& f : log.Findings())
    {
        if (f.offset > size)
            Fail("finding past the end of the input");
        if (f.pack > c.Packs())  // counted from 1; 0 where no pack holds it
            Fail("finding in a pack that does not exist");
        if (f.count == 0)
            Fail("finding without an occurrence");
        counted += f.count;
        if (checks::FormatFinding(f).empty())
            Fail("empty report line");
        checks::WriteFindingJson(f, json);
    }
    if (counted != log.Total(checks::Severity::Error) + log.Total(checks::Severity::Warning) +
                       log.Total(checks::Severity::Info))
        Fail("totals do not match the findings");
    if (c.Bytes() != size)
        Fail("checks saw another size");
}

// The stream model over the same bytes: units inside the input, in order per stream,
// every byte accounted for, the statistics written.
void CheckStreamModel(const uint8_t* data, size_t size)
{
    struct Sink : model::IModelSink
    {
        model::CStreamStats stats;
        std::map<model::StreamKey, uint64_t> nextIndex;
        size_t size = 0;
        void OnPes(const model::PesEvent& e) override
        {
            if (e.payloadOffset + e.payloadSize > size)
                Fail("packet payload outside the input");
            stats.OnPes(e);
        }
        void OnAccessUnit(const model::AccessUnit& u) override
        {
            if (u.size > 0 && (u.offset >= size || u.lastOffset >= size))
                Fail("unit outside the input");
            if (u.index != nextIndex[u.stream]++)
                Fail("unit indexes");
            stats.OnAccessUnit(u);
        }
        void OnSequence(const model::SequenceEvent& e) override { stats.OnSequence(e); }
        void OnEnd(const model::StreamEnd& e) override { stats.OnEnd(e); }
    } sink;
    sink.size = size;
    model::CDemuxer demuxer(sink);
    demuxer.Run(data, size);
    if (sink.stats.Bytes() != size)
        Fail("model did not reach the end of the input");
    std::string json;
    for (const model::StreamSummary& s : sink.stats.Streams())
    {
        model::AppendStreamJson(json, s);
        json += model::StreamLine(s);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Context& ctx = Ctx();
    if (::ftruncate(ctx.memfd, 0) != 0)
        Fail("ftruncate");
    size_t done = 0;
    while (done < size)
    {
        const ssize_t w = ::pwrite(ctx.memfd, data + done, size - done, static_cast<off_t>(done));
        if (w <= 0)
            Fail("pwrite");
        done += static_cast<size_t>(w);
    }

    // Both walks of the tree.
    for (const bool byLength : {false, true})
    {
        CResultTree tree;
        FuzzHost host;
        CAnalysisDriver driver(tree, host);
        driver.SetFollowPacketLengths(byLength);
        const CAnalysisDriver::Outcome outcome = driver.Analyze(ctx.inputPath, 0);
        if (outcome != CAnalysisDriver::Outcome::EndOfInput)
            Fail("whole-file run did not end at the end of the input");
        if (host.started != 1 || host.ended != 1 || host.messages != 0)
            Fail("host calls");
        // The byte walk pumps once per start code, and once more per buffer of a long
        // stretch without one; the walk by lengths once per pack, system header or packet
        // (its start codes count the video ones too) and once per piece it reads.
        if (!byLength &&
            (host.pumps < driver.StartCodeCount() || host.pumps > driver.StartCodeCount() + size / 300000 + 1))
            Fail("pumps per start code");
        if (byLength && (host.pumps < driver.PackCount() || host.pumps > driver.StartCodeCount() + size / 262144 + 2))
            Fail("pumps per element");
        if (driver.BytesConsumed() > size)
            Fail("consumed more than the file holds");
        // Every start code takes four bytes of the input.
        if (driver.StartCodeCount() > size / 4)
            Fail("more start codes than the input can hold");

        // Lines only hang below lines added before them.
        for (ItemId id = 1; id <= tree.Count(); ++id)
            if (tree.Parent(id) >= id)
                Fail("line parent order");

        const CPackList* list = driver.Records();
        if (!list)
            Fail("no records");
        uint32_t nodes = 0, packs = 0;
        uint64_t lastPosition = 0;
        for (const CPackNode& node : list->Nodes())
        {
            ++nodes;
            if (node.m_nPackNumber != 0)
            {
                ++packs;
                if (node.m_nPackNumber != packs)
                    Fail("pack numbers not consecutive");
                if (node.m_nPosition < 4 || node.m_nPosition > size || node.m_nPosition <= lastPosition)
                    Fail("pack position");
                lastPosition = node.m_nPosition;
            }
        }
        if (nodes != list->Count() || packs != driver.PackCount())
            Fail("record counts");

        if (!WriteTreeText(tree, ctx.devNull))
            Fail("tree output");

        CPackList* mutableList = driver.Records();
        if (AnalysisFile::Save(mutableList, ctx.outputPath) != AnalysisFile::SaveResult::Ok)
            Fail("analysis file not saved");
        CheckAnalysisFile(ctx.outputPath, *list);
        ::unlink(ctx.outputPath.c_str());
    }

    RunChecks(data, size);
    CheckStreamModel(data, size);
    return 0;
}
