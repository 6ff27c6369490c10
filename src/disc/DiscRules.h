#pragma once
// The checks of a whole disc, each declared once as a rule of the checks (id, severity, a
// one-line description). None is episodic: every fault of an IFO's table or a disc's files
// is a finding of its own. The stream checks that also run on each VOB set keep their own
// table.

#include "checks/Rules.h"

#include <span>
#include <string_view>

namespace disc
{

namespace rules
{
using checks::Rule;
using checks::Severity;
// The IFOs read
inline constexpr Rule kIfoUnreadable{"ifo-unreadable", Severity::Error, false,
                                     "an IFO cannot be read, or its identifier is wrong"};
inline constexpr Rule kIfoStructure{
    "ifo-structure", Severity::Error, false,
    "a table pointer, count or last-byte field points outside the file or its table, tables overlap, or a count "
    "disagrees with the table's length"};
inline constexpr Rule kIfoBupDiffers{"ifo-bup-differs", Severity::Warning, false,
                                     "a BUP file is not a byte copy of its IFO"};
// Their tables
inline constexpr Rule kIfoTitlePointer{
    "ifo-title-pointer", Severity::Error, false,
    "a title search pointer names a title set, title, angle or chapter count the title set does not have, or a "
    "start sector where the title set does not begin"};
inline constexpr Rule kIfoPgc{
    "ifo-pgc", Severity::Error, false,
    "a PGC's program map or cell positions point at programs or cells it does not have; a chapter points at a PGC "
    "or program that does not exist"};
// The tables against the VOBs
inline constexpr Rule kIfoCellAddress{
    "ifo-cell-address", Severity::Error, false,
    "a cell address entry's sectors are not the blocks whose navigation packs carry its VOB and cell number, or the "
    "table is not sorted"};
inline constexpr Rule kIfoCellPlayback{
    "ifo-cell-playback", Severity::Error, false,
    "a cell's first sector, last VOBU start sector or last sector is not a navigation pack, the last VOBU's "
    "navigation pack, or the cell's last block"};
inline constexpr Rule kIfoCellTime{"ifo-cell-time", Severity::Error, false,
                                   "a cell's playback time is not its video's presentation time, to one frame"};
inline constexpr Rule kIfoPgcTime{"ifo-pgc-time", Severity::Error, false,
                                  "a PGC's playback time is not the sum of its cells' times"};
inline constexpr Rule kIfoVobuAdmap{"ifo-vobu-admap", Severity::Error, false,
                                    "the VOBU address map is not the blocks of the VOB set's navigation packs"};
inline constexpr Rule kIfoTimeMap{"ifo-time-map", Severity::Error, false,
                                  "a time map entry does not point at the VOBU that holds its time"};
inline constexpr Rule kIfoAttributes{
    "ifo-attributes", Severity::Error, false,
    "a title set's video, audio or subpicture attributes disagree with the streams of its VOBs"};
inline constexpr Rule kIfoStc{"ifo-stc", Severity::Warning, false,
                              "a cell's STC discontinuity flag disagrees with the time bases of the stream"};
// The files
inline constexpr Rule kDvdVobFiles{
    "dvd-vob-files", Severity::Error, false,
    "the VOB files of a set are missing, out of order, over 1 GiB, not whole blocks, or not the sectors the IFO "
    "says"};
}  // namespace rules

// Every disc rule: the IFOs read, then their tables, then the tables against the VOBs,
// then the files.
std::span<const checks::Rule* const> DiscRules();
// The disc rule with this id, null when there is none.
const checks::Rule* FindDiscRule(std::string_view id);

}  // namespace disc
