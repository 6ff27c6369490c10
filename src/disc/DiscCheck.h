#pragma once
// A disc judged as one: its IFOs read and checked, each domain's VOB set read as one
// stream through the stream checks (afresh for each VOB) and the VOB-side scan, and the
// IFO tables compared with what the VOBs hold.

#include "disc/DiscFindings.h"
#include "disc/DiscModel.h"
#include "disc/VobSetScan.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace model
{
class CPipeline;
}

namespace disc
{

// What the read of one domain's VOB set gave.
struct DomainRun
{
    const Domain* domain = nullptr;
    std::vector<DiscFile> files;        // the files read, in order
    std::unique_ptr<CVobSetScan> scan;  // null where the set was not read
    uint64_t blocks = 0;                // whole blocks read
    bool readError = false;
    std::string readErrorFile;
};

struct DiscCheckResult
{
    std::unique_ptr<CDisc> disc;
    CDiscFindings findings;
    std::vector<DomainRun> runs;        // one per domain, in the disc's order
    uint64_t packs = 0, bytes = 0;
    bool readError = false;             // a VOB file could not be read to its end
    std::vector<std::string> unreadable;  // the files that could not be read
};

struct DiscCheckOptions
{
    bool readVobs = true;               // false: the IFOs alone (the summary)
    const std::atomic<bool>* stop = nullptr;
    size_t maxVobus = CVobSetScan::kDefaultMaxVobus;
    // A front's own sinks for the run over a domain's VOB set (its index in the disc's
    // domains), added before the run starts; what it returns is kept until the run is over.
    std::function<std::shared_ptr<void>(size_t domain, model::CPipeline& pipeline)> observeSet;
};

DiscCheckResult CheckDisc(const DiscFiles& files, const DiscCheckOptions& options = {});

// The files of a domain's VOB set that are read as one: in order, up to the first one
// missing or empty; the dvd-vob-files findings about the files themselves (sizes, gaps).
// *reported: a finding was made.
std::vector<DiscFile> CheckVobFiles(const Domain& domain, CDiscFindings& findings, bool* reported);

constexpr uint64_t kMaxVobBytes = 1ull << 30;

}  // namespace disc
