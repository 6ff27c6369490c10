#pragma once
// The checks of a whole disc: each id with its severity and a one-line description, in
// one table. The stream checks that also run on each VOB set keep their own table.

#include "checks/Findings.h"

#include <cstddef>
#include <string_view>

namespace disc
{

struct DiscRule
{
    const char* id;              // "ifo-structure"
    checks::Severity severity;
    const char* description;
};

// The table: the IFOs read, then their tables, then the tables against the VOBs, then the files.
const DiscRule* DiscRules(size_t* count);
// The rule of an id, null for an id that is not a disc check.
const DiscRule* FindDiscRule(std::string_view id);

// The ids, for the code that reports them (the table holds the same pointers, so the
// findings' ids compare as the stream checks' do).
extern const char kIfoUnreadable[];
extern const char kIfoStructure[];
extern const char kIfoBupDiffers[];
extern const char kIfoTitlePointer[];
extern const char kIfoPgc[];
extern const char kIfoCellAddress[];
extern const char kIfoCellPlayback[];
extern const char kIfoCellTime[];
extern const char kIfoPgcTime[];
extern const char kIfoVobuAdmap[];
extern const char kIfoTimeMap[];
extern const char kIfoAttributes[];
extern const char kIfoStc[];
extern const char kDvdVobFiles[];

}  // namespace disc
