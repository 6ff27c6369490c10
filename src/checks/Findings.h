#pragma once
// What the checks found: one record per episode of a fault, with how often it occurred.
//
// A fault that repeats without a clean result in between (a buffer that stays over its
// size, SCRs that keep jumping) is one episode: the first occurrence is kept with its
// place and message, later ones only raise the count. So a badly broken file still gives
// a report a person can read, while the totals count every occurrence.

#include "checks/Rules.h"
#include "model/ModelEvents.h"
#include "model/StreamStats.h"
#include "syntax/Mpeg.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace model
{
class CStreamContext;
}

namespace checks
{

struct Finding
{
    const char* check = "";      // the rule's id ("scr-backwards")
    Severity severity = Severity::Error;
    uint32_t pack = 0;           // counted from 1, the tree's "PACK #n"; 0 where no pack holds it
    uint64_t offset = 0;
    model::StreamKey stream = model::kNoStream;
    bool hasTime = false;
    double time = 0;             // seconds
    std::string message;
    uint64_t count = 1;          // occurrences in this episode
};

// "0xE0", "0xBD:0x80"; empty for the system layer.
std::string StreamName(model::StreamKey stream);

// printf into a string (messages are short), as the stream statistics make theirs.
using model::Format;
using mpeg::Seconds27;

class FindingLog
{
public:
    // The model's pack index of a place that no pack holds (bytes before the first pack,
    // streams without a system layer).
    static constexpr uint32_t kNoPack = UINT32_MAX;

    // Where a finding is and when: the caller's shorthand. pack is the model's 0-based
    // index; the finding counts from 1.
    struct Place
    {
        uint32_t pack = kNoPack;
        uint64_t offset = 0;
        model::StreamKey stream = model::kNoStream;
        bool hasTime = false;
        int64_t time27 = 0;
    };

    // Reports one occurrence of a fault. For an episodic rule, inside an open episode of
    // the same rule and stream only the count grows (and the returned index is that
    // episode's finding); otherwise a new finding is kept and opens an episode. The
    // message is a string or a function that makes it: repeats in an episode do not pay
    // for the text.
    template <class Message>
    size_t Report(const Rule& rule, const Place& place, Message&& message)
    {
        return Occur(rule, place, std::forward<Message>(message), rule.episodic);
    }
    // A finding of its own, whatever the rule's episodes (a one-off fact about a stream).
    template <class Message>
    size_t Note(const Rule& rule, const Place& place, Message&& message)
    {
        return Occur(rule, place, std::forward<Message>(message), false);
    }
    // One test of a rule: a fault is reported, a clean result ends the rule's episode for
    // the stream. Returns fault.
    template <class Message>
    bool Judge(const Rule& rule, bool fault, const Place& place, Message&& message)
    {
        if (fault)
            Report(rule, place, std::forward<Message>(message));
        else
            Pass(rule, place.stream);
        return fault;
    }
    // A clean result for the rule and stream: the next fault starts a new episode.
    void Pass(const Rule& rule, model::StreamKey stream)
    {
        if (m_open > 0)
            Close(rule, stream);
    }
    bool IsOpen(const Rule& rule, model::StreamKey stream) const;
    // A new time base: every episode ends, so that no finding counts faults of two.
    void CloseAll();

    Finding& At(size_t index) { return m_findings[index]; }
    const std::vector<Finding>& Findings() const { return m_findings; }
    // The findings in file order (of each episode's first occurrence); checks that wait
    // for later data report out of order.
    std::vector<Finding> InFileOrder() const;
    uint64_t Total(Severity severity) const { return m_totals[static_cast<int>(severity)]; }

    // Once this many findings of one rule and stream are kept, further episodes only
    // count into the last of them.
    static constexpr uint32_t kMaxPerCheck = 100;

    // Findings keep the offsets a person is shown (CStreamContext::ShownOffset) for the
    // stream positions they are reported at; without a context, the positions.
    void SetContext(const model::CStreamContext* context) { m_context = context; }

private:
    template <class Message>
    size_t Occur(const Rule& rule, const Place& place, Message&& message, bool episodic)
    {
        size_t index;
        if (Repeat(rule, place.stream, episodic, index))
            return index;
        if constexpr (std::is_invocable_v<Message>)
            return Add(rule, place, message(), episodic);
        else
            return Add(rule, place, std::string(std::forward<Message>(message)), episodic);
    }
    // Counts an occurrence into an open (or the last kept) finding; false when a new
    // finding is due.
    bool Repeat(const Rule& rule, model::StreamKey stream, bool episodic, size_t& index);
    size_t Add(const Rule& rule, const Place& place, std::string message, bool episodic);
    void Close(const Rule& rule, model::StreamKey stream);

    struct Episode
    {
        const Rule* rule;
        model::StreamKey stream;
        size_t finding;
        uint32_t kept;     // findings kept for this rule and stream
        bool open;
    };
    Episode* Find(const Rule& rule, model::StreamKey stream);
    const Episode* Find(const Rule& rule, model::StreamKey stream) const;
    void SetOpen(Episode& e, bool open);

    const model::CStreamContext* m_context = nullptr;
    std::vector<Finding> m_findings;
    std::vector<Episode> m_episodes;
    uint32_t m_open = 0;             // episodes open
    uint64_t m_totals[3] = {};
};

// One finding as a report line (no newline):
//   error   scr-backwards   pack 3563  @7294976  9.726 s  SCR 9.726 s is lower ...
std::string FormatFinding(const Finding& finding);
// "3 errors, 1 warning, 0 infos"
std::string FormatTotals(const FindingLog& log);
// The finding as a JSON object.
void WriteFindingJson(const Finding& finding, std::string& out);

}  // namespace checks
