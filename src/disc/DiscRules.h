#pragma once
// The checks of a whole disc: the part of the checks' one table (checks/Rules.h) that
// speaks of IFO files and VOB files. None is episodic: every fault of an IFO's table or a
// disc's files is a finding of its own.

#include "checks/Rules.h"

#include <span>
#include <string_view>

namespace disc
{

// The disc rules are rules of the checks (checks/Rules.h), in the one table of them all.
namespace rules = checks::rules;

// Every disc rule: the IFOs read, then their tables, then the tables against the VOBs,
// then the files.
std::span<const checks::Rule* const> DiscRules();
// The disc rule with this id, null when there is none.
const checks::Rule* FindDiscRule(std::string_view id);

}  // namespace disc
