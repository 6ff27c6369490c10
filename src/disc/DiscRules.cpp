#include "disc/DiscRules.h"

namespace disc
{

std::span<const checks::Rule* const> DiscRules() { return checks::DiscRules(); }

const checks::Rule* FindDiscRule(std::string_view id)
{
    for (const checks::Rule* rule : DiscRules())
        if (id == rule->id)
            return rule;
    return nullptr;
}

}  // namespace disc
