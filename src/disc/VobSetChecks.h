#pragma once
// The disc checks that compare a domain's IFO tables with its VOB set as the scan found
// it: cell addresses, cell playback sectors, cell times, the VOBU address map, the time
// maps, the attributes and the cells' STC discontinuity flags.

#include <cstdint>

namespace disc
{

class CDiscFindings;
class CVobSetScan;
struct Domain;

// limit: the blocks that are judged, those both the files and the IFO have (a set cut
// short, or longer than its IFO says, is a finding of its own, not one per table entry
// past its end). complete: the set has every block the IFO gives it.
void CheckDomainAgainstVobs(const Domain& domain, const CVobSetScan& scan, uint32_t limit, bool complete,
                            CDiscFindings& findings);

}  // namespace disc
