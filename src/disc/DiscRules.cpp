#include "disc/DiscRules.h"

namespace disc
{

using checks::Severity;

const char kIfoUnreadable[] = "ifo-unreadable";
const char kIfoStructure[] = "ifo-structure";
const char kIfoBupDiffers[] = "ifo-bup-differs";
const char kIfoTitlePointer[] = "ifo-title-pointer";
const char kIfoPgc[] = "ifo-pgc";
const char kIfoCellAddress[] = "ifo-cell-address";
const char kIfoCellPlayback[] = "ifo-cell-playback";
const char kIfoCellTime[] = "ifo-cell-time";
const char kIfoPgcTime[] = "ifo-pgc-time";
const char kIfoVobuAdmap[] = "ifo-vobu-admap";
const char kIfoTimeMap[] = "ifo-time-map";
const char kIfoAttributes[] = "ifo-attributes";
const char kIfoStc[] = "ifo-stc";
const char kDvdVobFiles[] = "dvd-vob-files";

namespace
{
const DiscRule kRules[] = {
    {kIfoUnreadable, Severity::Error, "an IFO cannot be read, or its identifier is wrong"},
    {kIfoStructure, Severity::Error,
     "a table pointer, count or last-byte field points outside the file or its table, tables overlap, or a count "
     "disagrees with the table's length"},
    {kIfoBupDiffers, Severity::Warning, "a BUP file is not a byte copy of its IFO"},
    {kIfoTitlePointer, Severity::Error,
     "a title search pointer names a title set, title, angle or chapter count the title set does not have, or a "
     "start sector where the title set does not begin"},
    {kIfoPgc, Severity::Error,
     "a PGC's program map or cell positions point at programs or cells it does not have; a chapter points at a PGC "
     "or program that does not exist"},
    {kIfoCellAddress, Severity::Error,
     "a cell address entry's sectors are not the blocks whose navigation packs carry its VOB and cell number, or "
     "the table is not sorted"},
    {kIfoCellPlayback, Severity::Error,
     "a cell's first sector, last VOBU start sector or last sector is not a navigation pack, the last VOBU's "
     "navigation pack, or the cell's last block"},
    {kIfoCellTime, Severity::Error, "a cell's playback time is not its video's presentation time, to one frame"},
    {kIfoPgcTime, Severity::Error, "a PGC's playback time is not the sum of its cells' times"},
    {kIfoVobuAdmap, Severity::Error, "the VOBU address map is not the blocks of the VOB set's navigation packs"},
    {kIfoTimeMap, Severity::Error, "a time map entry does not point at the VOBU that holds its time"},
    {kIfoAttributes, Severity::Error,
     "a title set's video, audio or subpicture attributes disagree with the streams of its VOBs"},
    {kIfoStc, Severity::Warning, "a cell's STC discontinuity flag disagrees with the time bases of the stream"},
    {kDvdVobFiles, Severity::Error,
     "the VOB files of a set are missing, out of order, over 1 GiB, not whole blocks, or not the sectors the IFO "
     "says"},
};
}  // namespace

const DiscRule* DiscRules(size_t* count)
{
    *count = sizeof kRules / sizeof kRules[0];
    return kRules;
}

const DiscRule* FindDiscRule(std::string_view id)
{
    for (const DiscRule& r : kRules)
        if (id == r.id)
            return &r;
    return nullptr;
}

}  // namespace disc
