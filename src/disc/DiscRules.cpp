#include "disc/DiscRules.h"

namespace disc
{

namespace
{
using namespace rules;
const checks::Rule* const kAll[] = {
    &kIfoUnreadable, &kIfoStructure,  &kIfoBupDiffers, &kIfoTitlePointer, &kIfoPgc,
    &kIfoCellAddress, &kIfoCellPlayback, &kIfoCellTime, &kIfoPgcTime,   &kIfoVobuAdmap,
    &kIfoTimeMap,    &kIfoAttributes,  &kIfoStc,        &kDvdVobFiles,
};
}  // namespace

std::span<const checks::Rule* const> DiscRules() { return kAll; }

const checks::Rule* FindDiscRule(std::string_view id)
{
    for (const checks::Rule* rule : kAll)
        if (id == rule->id)
            return rule;
    return nullptr;
}

}  // namespace disc
