#pragma once
// The findings of a disc, each with the file it belongs to: the IFO and BUP files' own
// findings (offsets in the file, no pack), and each VOB set's stream findings (packs and
// offsets in the set, each finding given to the file of the set that holds its offset).

#include "checks/Findings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace disc
{

struct DiscFinding
{
    std::string file;          // "VTS_01_0.IFO", "VTS_01_2.VOB"
    bool inStream = false;     // a VOB set's finding: pack and offset count in the set
    checks::Finding finding;
};

class CDiscFindings
{
public:
    CDiscFindings();
    ~CDiscFindings();
    CDiscFindings(CDiscFindings&&) noexcept;
    CDiscFindings& operator=(CDiscFindings&&) noexcept;

    // A disc check's finding about a file, at an offset in the file; repeats of one rule in
    // one file beyond FindingLog::kMaxPerCheck only count.
    void Report(const std::string& file, const checks::Rule& rule, uint64_t offset, std::string message);
    // The same, about a VOB set: the model's pack index and the offset in the set, given
    // to the file that holds the offset.
    void ReportInSet(size_t set, const checks::Rule& rule, uint32_t pack, uint64_t offset, std::string message);

    // A VOB set: its files and where each starts in the set. Returns its index.
    size_t AddSet(const std::vector<std::string>& files, const std::vector<uint64_t>& starts);
    // The stream checks' findings of a set, with their totals (repeats counted).
    void AddStreamFindings(size_t set, const std::vector<checks::Finding>& findings, const uint64_t totals[3]);

    // Every finding: the files in the disc's order (names that are not the disc's in the
    // order they were first named), each file's findings in offset order.
    std::vector<DiscFinding> All() const;
    uint64_t Total(checks::Severity severity) const;

private:
    struct FileLog;
    struct SetLog;
    FileLog& LogOf(const std::string& file);
    std::string FileOf(const SetLog& set, uint64_t offset) const;

    std::vector<std::unique_ptr<FileLog>> m_files;
    std::vector<std::unique_ptr<SetLog>> m_sets;
    uint64_t m_streamTotals[3] = {};
};

// "3 errors, 1 warning, 0 infos"
std::string FormatTotals(const CDiscFindings& findings);

}  // namespace disc
