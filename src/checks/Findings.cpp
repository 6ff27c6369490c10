#include "checks/Findings.h"

#include "model/StreamContext.h"

#include "model/StreamStats.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>

namespace checks
{

std::string StreamName(model::StreamKey stream)
{
    return stream == model::kNoStream ? std::string() : model::StreamKeyText(stream);
}

// ---------------------------------------------------------------------------------------
// The log

FindingLog::Episode* FindingLog::Find(const Rule& rule, model::StreamKey stream)
{
    for (Episode& e : m_episodes)
        if (e.stream == stream && e.rule == &rule)
            return &e;
    return nullptr;
}

const FindingLog::Episode* FindingLog::Find(const Rule& rule, model::StreamKey stream) const
{
    return const_cast<FindingLog*>(this)->Find(rule, stream);
}

void FindingLog::SetOpen(Episode& e, bool open)
{
    if (e.open != open)
        open ? ++m_open : --m_open;
    e.open = open;
}

bool FindingLog::Repeat(const Rule& rule, model::StreamKey stream, bool episodic, size_t& index)
{
    Episode* episode = Find(rule, stream);
    if (!episode || !(episode->open || episode->kept >= kMaxPerCheck))
        return false;
    ++m_totals[static_cast<int>(rule.severity)];
    ++m_findings[episode->finding].count;
    SetOpen(*episode, episode->open || episodic);
    index = episode->finding;
    return true;
}

size_t FindingLog::Add(const Rule& rule, const Place& place, std::string message, bool episodic)
{
    ++m_totals[static_cast<int>(rule.severity)];
    Finding f;
    f.check = rule.id;
    f.severity = rule.severity;
    f.pack = place.pack == kNoPack ? 0 : place.pack + 1;
    f.offset = m_context ? m_context->ShownOffset(place.offset) : place.offset;
    f.stream = place.stream;
    f.hasTime = place.hasTime;
    f.time = Seconds27(place.time27);
    f.message = std::move(message);
    m_findings.push_back(std::move(f));
    Episode* episode = Find(rule, place.stream);
    if (!episode)
    {
        m_episodes.push_back({&rule, place.stream, 0, 0, false});
        episode = &m_episodes.back();
    }
    episode->finding = m_findings.size() - 1;
    ++episode->kept;
    SetOpen(*episode, episodic);
    return episode->finding;
}

void FindingLog::Close(const Rule& rule, model::StreamKey stream)
{
    if (Episode* e = Find(rule, stream))
        SetOpen(*e, false);
}

void FindingLog::CloseAll()
{
    for (Episode& e : m_episodes)
        e.open = false;
    m_open = 0;
}

bool FindingLog::IsOpen(const Rule& rule, model::StreamKey stream) const
{
    const Episode* e = Find(rule, stream);
    return e && e->open;
}

std::vector<Finding> FindingLog::InFileOrder() const
{
    std::vector<Finding> sorted = m_findings;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    return sorted;
}

// ---------------------------------------------------------------------------------------
// Report texts

std::string FormatFinding(const Finding& f)
{
    char head[160];
    std::snprintf(head, sizeof head, "%-7s %-15s pack %" PRIu32 "  @%" PRIu64, SeverityName(f.severity), f.check,
                  f.pack, f.offset);
    std::string line = head;
    if (f.stream != model::kNoStream)
        line += "  " + StreamName(f.stream);
    if (f.hasTime)
    {
        char t[40];
        std::snprintf(t, sizeof t, "  %.3f s", f.time);
        line += t;
    }
    line += "  ";
    line += f.message;
    if (f.count > 1)
    {
        char c[40];
        std::snprintf(c, sizeof c, " (%" PRIu64 " times)", f.count);
        line += c;
    }
    return line;
}

static void AppendCount(std::string& out, uint64_t n, const char* singular)
{
    out += std::to_string(n);
    out += ' ';
    out += singular;
    if (n != 1)
        out += 's';
}

std::string FormatTotals(const FindingLog& log)
{
    std::string out;
    AppendCount(out, log.Total(Severity::Error), "error");
    out += ", ";
    AppendCount(out, log.Total(Severity::Warning), "warning");
    out += ", ";
    AppendCount(out, log.Total(Severity::Info), "info");
    return out;
}

void WriteFindingJson(const Finding& f, std::string& out)
{
    out += "{\"check\": \"";
    out += f.check;
    out += "\", \"severity\": \"";
    out += SeverityName(f.severity);
    out += "\", \"pack\": " + std::to_string(f.pack);
    out += ", \"offset\": " + std::to_string(f.offset);
    out += ", \"stream\": ";
    if (f.stream == model::kNoStream)
        out += "null";
    else
    {
        out += '"';
        out += StreamName(f.stream);
        out += '"';
    }
    out += ", \"time\": ";
    if (f.hasTime)
    {
        char t[40];
        std::snprintf(t, sizeof t, "%.6f", f.time);
        out += t;
    }
    else
        out += "null";
    out += ", \"message\": ";
    model::AppendJsonString(out, f.message);
    out += ", \"count\": " + std::to_string(f.count);
    out += '}';
}

}  // namespace checks
