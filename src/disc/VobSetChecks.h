#pragma once
// The disc checks that compare a domain's IFO tables with its VOB set as the scan found
// it: cell addresses, cell playback sectors, cell times, the VOBU address map, the time
// maps, the attributes and the cells' STC discontinuity flags.

#include <cstdint>
#include <map>

namespace disc
{

class CDiscFindings;
class CVobSetScan;
struct Domain;

// What the comparison leaves for the checks that come after it, so that one fault is
// reported once: the cells whose coded time the stream contradicts, with the stream's
// time, and whether the attributes disagree with the streams.
struct DomainVerdict
{
    std::map<uint32_t, int64_t> cellTicks90;  // by the cell playback entry's file offset
    bool attributesWrong = false;
};

// limit: the blocks that are judged, those both the files and the IFO have (a set cut
// short, or longer than its IFO says, is a finding of its own, not one per table entry
// past its end). complete: the set has every block the IFO gives it.
DomainVerdict CheckDomainAgainstVobs(const Domain& domain, const CVobSetScan& scan, uint32_t limit, bool complete,
                                     CDiscFindings& findings);

}  // namespace disc
