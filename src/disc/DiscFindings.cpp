#include "disc/DiscFindings.h"

#include "disc/DiscFiles.h"
#include "disc/DiscRules.h"

#include <algorithm>

namespace disc
{

struct CDiscFindings::FileLog
{
    std::string file;
    checks::FindingLog log;
    bool inStream = false;
};

struct CDiscFindings::SetLog
{
    std::vector<std::string> files;
    std::vector<uint64_t> starts;
    std::vector<checks::Finding> stream;  // the stream checks'
    checks::FindingLog log;               // the disc checks' about the set
};

CDiscFindings::CDiscFindings() = default;
CDiscFindings::~CDiscFindings() = default;
CDiscFindings::CDiscFindings(CDiscFindings&&) noexcept = default;
CDiscFindings& CDiscFindings::operator=(CDiscFindings&&) noexcept = default;

CDiscFindings::FileLog& CDiscFindings::LogOf(const std::string& file)
{
    for (auto& f : m_files)
        if (f->file == file)
            return *f;
    m_files.push_back(std::make_unique<FileLog>());
    m_files.back()->file = file;
    return *m_files.back();
}

void CDiscFindings::Report(const std::string& file, const checks::Rule& rule, uint64_t offset, std::string message)
{
    checks::FindingLog::Place place;
    place.offset = offset;
    LogOf(file).log.Note(rule, place, std::move(message));
}

size_t CDiscFindings::AddSet(const std::vector<std::string>& files, const std::vector<uint64_t>& starts)
{
    m_sets.push_back(std::make_unique<SetLog>());
    m_sets.back()->files = files;
    m_sets.back()->starts = starts;
    // The set's files take their places in the order now, findings or not.
    for (const std::string& f : files)
        LogOf(f).inStream = true;
    return m_sets.size() - 1;
}

void CDiscFindings::ReportInSet(size_t set, const checks::Rule& rule, uint32_t pack, uint64_t offset,
                                std::string message)
{
    checks::FindingLog::Place place;
    place.pack = pack;
    place.offset = offset;
    m_sets[set]->log.Note(rule, place, std::move(message));
}

void CDiscFindings::AddStreamFindings(size_t set, const std::vector<checks::Finding>& findings,
                                      const uint64_t totals[3])
{
    SetLog& s = *m_sets[set];
    s.stream.insert(s.stream.end(), findings.begin(), findings.end());
    for (int i = 0; i < 3; ++i)
        m_streamTotals[i] += totals[i];
}

std::string CDiscFindings::FileOf(const SetLog& set, uint64_t offset) const
{
    // The last file starting at or before the offset (an empty file starts where the next
    // one does, and the later is taken).
    size_t file = 0;
    for (size_t i = 0; i < set.starts.size(); ++i)
        if (set.starts[i] <= offset)
            file = i;
    return set.files.empty() ? std::string() : set.files[file];
}

std::vector<DiscFinding> CDiscFindings::All() const
{
    std::vector<DiscFinding> out;
    std::vector<std::vector<DiscFinding>> byFile(m_files.size());
    const auto indexOf = [&](const std::string& file) {
        for (size_t i = 0; i < m_files.size(); ++i)
            if (m_files[i]->file == file)
                return i;
        return size_t{0};
    };
    for (size_t i = 0; i < m_files.size(); ++i)
        for (const checks::Finding& f : m_files[i]->log.Findings())
            byFile[i].push_back({m_files[i]->file, false, f});
    for (const auto& set : m_sets)
    {
        const auto add = [&](const checks::Finding& f) {
            const std::string file = FileOf(*set, f.offset);
            byFile[indexOf(file)].push_back({file, true, f});
        };
        for (const checks::Finding& f : set->stream)
            add(f);
        for (const checks::Finding& f : set->log.Findings())
            add(f);
    }
    // The files in the disc's order.
    std::vector<size_t> order(m_files.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return DiscFileOrder(m_files[a]->file) < DiscFileOrder(m_files[b]->file);
    });
    for (size_t i : order)
    {
        std::vector<DiscFinding>& list = byFile[i];
        std::stable_sort(list.begin(), list.end(),
                         [](const DiscFinding& a, const DiscFinding& b) { return a.finding.offset < b.finding.offset; });
        out.insert(out.end(), list.begin(), list.end());
    }
    return out;
}

uint64_t CDiscFindings::Total(checks::Severity severity) const
{
    const int i = static_cast<int>(severity);
    uint64_t n = m_streamTotals[i];
    for (const auto& f : m_files)
        n += f->log.Total(severity);
    for (const auto& s : m_sets)
        n += s->log.Total(severity);
    return n;
}

std::string FormatTotals(const CDiscFindings& findings)
{
    const auto count = [](uint64_t n, const char* word) {
        return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
    };
    return count(findings.Total(checks::Severity::Error), "error") + ", " +
           count(findings.Total(checks::Severity::Warning), "warning") + ", " +
           count(findings.Total(checks::Severity::Info), "info");
}

}  // namespace disc
