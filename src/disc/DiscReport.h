#pragma once
// The reports of a disc: its summary from the IFOs (titles, then chapters, then cells,
// and each title set's streams with their languages) in text and JSON, and the judged
// disc: the findings of every file, then the totals.
//
// Lengths are the IFOs' playback times as a player shows them (and lsdvd reads them):
// the coded seconds, and the frames at 25 or 29.97 a second.

#include "disc/DiscCheck.h"

#include <string>

namespace disc
{

std::string SummaryText(const CDisc& disc, const std::string& path);
// {"disc": PATH, "titles": [...], "title_sets": [...]} and a line end.
std::string SummaryJson(const CDisc& disc, const std::string& path);

// One line of the check report: "error   ifo-pgc         @4146  VTS_PGCIT PGC 1: ..."
// for an IFO's finding, the stream checks' line for a VOB set's.
std::string FormatDiscFinding(const DiscFinding& finding);
// Per file with findings a "FILE:" line and its findings, then the totals line.
std::string CheckText(const DiscCheckResult& result);
// The summary's object with the findings (a "file" each) and the totals.
std::string CheckJson(const DiscCheckResult& result, const std::string& path);

}  // namespace disc
