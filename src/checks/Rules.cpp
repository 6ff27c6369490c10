#include "checks/Rules.h"

#include "model/StreamStats.h"

#include <cstdio>

namespace checks
{

namespace
{
constexpr const Rule* kAll[] = {
    &rules::kScrBackwards,   &rules::kScrInterval,     &rules::kMuxRateExceeded,
    &rules::kSyncLost,       &rules::kSystemHeaderBound, &rules::kTimeBase,
    &rules::kPtsInterval,    &rules::kDtsAfterPts,     &rules::kDtsBackwards,
    &rules::kTimestampMissing, &rules::kPstdOverflow,  &rules::kPstdUnderflow,
    &rules::kMuxDelay,       &rules::kPstdSizeUnknown, &rules::kAudioFrameGap,
    &rules::kAudioPtsDrift,  &rules::kVideoTemporalReference, &rules::kVideoPtsStep,
    &rules::kSubstreamHeader, &rules::kDvdPackSize,    &rules::kDvdMuxRate,
    &rules::kDvdNavUnauthored, &rules::kDvdVobsOffset, &rules::kDvdNavLbn,
    &rules::kDvdVobuEnd,     &rules::kDvdRefFrameEnd,  &rules::kDvdVobuPtm,
    &rules::kDvdVobuDuration, &rules::kDvdVobuLinks,
    // Discs
    &rules::kIfoUnreadable,  &rules::kIfoStructure,    &rules::kIfoBupDiffers,
    &rules::kIfoTitlePointer, &rules::kIfoPgc,         &rules::kIfoCellAddress,
    &rules::kIfoCellPlayback, &rules::kIfoCellTime,    &rules::kIfoPgcTime,
    &rules::kIfoVobuAdmap,   &rules::kIfoTimeMap,      &rules::kIfoAttributes,
    &rules::kIfoStc,         &rules::kDvdVobFiles,
    &rules::kModelLimit,
};
constexpr size_t kFirstDisc = 29, kDiscCount = 14;
static_assert(kAll[kFirstDisc] == &rules::kIfoUnreadable && kAll[kFirstDisc + kDiscCount - 1] == &rules::kDvdVobFiles);
}  // namespace

const char* SeverityName(Severity severity)
{
    switch (severity)
    {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "info";
    }
    return "error";
}

std::span<const Rule* const> AllRules()
{
    return kAll;
}

std::span<const Rule* const> DiscRules()
{
    return std::span<const Rule* const>(kAll).subspan(kFirstDisc, kDiscCount);
}

const Rule* FindRule(std::string_view id)
{
    for (const Rule* rule : kAll)
        if (id == rule->id)
            return rule;
    return nullptr;
}

std::string ListRules(bool json)
{
    std::string out;
    if (json)
    {
        out.push_back('[');
        for (const Rule* rule : kAll)
        {
            if (rule != kAll[0])
                out.append(", ");
            out.append("{\"check\": ");
            model::AppendJsonString(out, rule->id);
            out += ", \"severity\": ";
            model::AppendJsonString(out, SeverityName(rule->severity));
            out += ", \"description\": ";
            model::AppendJsonString(out, rule->description);
            out += '}';
        }
        out += "]\n";
        return out;
    }
    for (const Rule* rule : kAll)
    {
        char head[64];
        std::snprintf(head, sizeof head, "%-24s %-7s ", rule->id, SeverityName(rule->severity));
        out += head;
        out += rule->description;
        out += '\n';
    }
    return out;
}

}  // namespace checks
