#pragma once
// What the checks found: one record per episode of a fault, with how often it occurred.
//
// A fault that repeats without a clean result in between (a buffer that stays over its
// size, SCRs that keep jumping) is one episode: the first occurrence is kept with its
// place and message, later ones only raise the count. So a badly broken file still gives
// a report a person can read, while the totals count every occurrence.

#include "model/ModelEvents.h"
#include "model/StreamStats.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace checks
{

enum class Severity : uint8_t
{
    Error,
    Warning,
    Info,
};

const char* SeverityName(Severity severity);

struct Finding
{
    const char* check = "";      // the check id ("scr-backwards"), a string literal
    Severity severity = Severity::Error;
    uint32_t pack = 0;
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

// Seconds of a 27 MHz time.
inline double Seconds27(int64_t t27) { return static_cast<double>(t27) / 27000000.0; }

class FindingLog
{
public:
    // Where a finding is and when: the caller's shorthand.
    struct Place
    {
        uint32_t pack = 0;
        uint64_t offset = 0;
        model::StreamKey stream = model::kNoStream;
        bool hasTime = false;
        int64_t time27 = 0;
    };

    // Reports one occurrence. Inside an open episode of the same check and stream only
    // the count grows (and the returned index is that episode's finding); otherwise a
    // new finding is kept and, when episodic, opens an episode. The message is a string
    // or a function that makes it: repeats in an episode do not pay for the text.
    template <class Message>
    size_t Report(const char* check, Severity severity, const Place& place, Message&& message,
                  bool episodic = true)
    {
        size_t index;
        if (Repeat(check, severity, place.stream, episodic, index))
            return index;
        if constexpr (std::is_invocable_v<Message>)
            return Add(check, severity, place, message(), episodic);
        else
            return Add(check, severity, place, std::string(std::forward<Message>(message)), episodic);
    }
    // A clean result for the check and stream: the next fault starts a new episode.
    void Close(const char* check, model::StreamKey stream);
    bool IsOpen(const char* check, model::StreamKey stream) const;

    Finding& At(size_t index) { return m_findings[index]; }
    const std::vector<Finding>& Findings() const { return m_findings; }
    // The findings in file order (of each episode's first occurrence); checks that wait
    // for later data report out of order.
    std::vector<Finding> InFileOrder() const;
    uint64_t Total(Severity severity) const { return m_totals[static_cast<int>(severity)]; }

    // Once this many findings of one check and stream are kept, further episodes only
    // count into the last of them.
    static constexpr uint32_t kMaxPerCheck = 100;

private:
    // Counts an occurrence into an open (or the last kept) finding; false when a new
    // finding is due.
    bool Repeat(const char* check, Severity severity, model::StreamKey stream, bool episodic, size_t& index);
    size_t Add(const char* check, Severity severity, const Place& place, std::string message, bool episodic);

    struct Episode
    {
        const char* check;
        model::StreamKey stream;
        size_t finding;
        uint32_t kept;     // findings kept for this check and stream
        bool open;
    };
    Episode* Find(const char* check, model::StreamKey stream);
    const Episode* Find(const char* check, model::StreamKey stream) const;

    std::vector<Finding> m_findings;
    std::vector<Episode> m_episodes;
    uint64_t m_totals[3] = {};
};

// One finding as a report line (no newline):
//   error   scr-backwards   pack 3562  @7294976  9.726 s  SCR 9.726 s is lower ...
std::string FormatFinding(const Finding& finding);
// "3 errors, 1 warning, 0 infos"
std::string FormatTotals(const FindingLog& log);
// The finding as a JSON object.
void WriteFindingJson(const Finding& finding, std::string& out);

}  // namespace checks
