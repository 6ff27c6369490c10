#pragma once
// The reports of a disc: its summary from the IFOs (titles, then chapters, then cells,
// and each title set's streams with their languages) in text and JSON, and the judged
// disc: the findings of every file, then the totals.
//
// Lengths are the IFOs' playback times as a player shows them (and lsdvd reads them):
// the coded seconds, and the frames at 25 or 29.97 a second.

#include "disc/DiscCheck.h"

#include <string>
#include <vector>

namespace disc
{

std::string SummaryText(const CDisc& disc, const std::string& path);
// {"disc": PATH, "titles": [...], "title_sets": [...]} and a line end.
std::string SummaryJson(const CDisc& disc, const std::string& path);

// One line of the check report: "error   ifo-pgc         @4146  VTS_PGCIT PGC 1: ..."
// for an IFO's finding, the stream checks' line for a VOB set's.
// The summary's lines for a front that shows the disc as a tree: each title's line
// ("Title 1: VTS 1, TTN 1, 1 angle, ...") in the disc's order, a PGC's ("PGC 1: 3 programs,
// 3 cells, length ..."), and a cell's (0-based) as its chapter lists it ("Cell 2: VOB 1
// cell 2, length ..., sectors 12 to 80, last VOBU at 70").
std::vector<std::string> TitleLines(const CDisc& disc);
std::string PgcLine(const CIfoPgc& pgc, uint32_t number);
std::string CellLine(const CIfoPgc& pgc, size_t cell);

std::string FormatDiscFinding(const DiscFinding& finding);
// Per file with findings a "FILE:" line and its findings, then the totals line.
std::string CheckText(const DiscCheckResult& result);
// The report's last line, without its line end: "0 errors, 1 warning, 0 infos in 3 VOB
// files, 1200 packs".
std::string TotalsLine(const DiscCheckResult& result);
// The summary's object with the findings (a "file" each) and the totals; fields (", \"name\":
// value", ...) a front adds go last.
std::string CheckJson(const DiscCheckResult& result, const std::string& path, const std::string& fields = {});

}  // namespace disc
