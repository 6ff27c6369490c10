#pragma once
// The disc checks that need the IFOs alone: the titles against their title sets, the
// PGCs' programs, cells and chapters, the PGC times, the manager's copy of each title
// set's attributes, and, for a domain whose VOBs are not there, its cells against its
// cell address table.

#include <cstdint>
#include <map>
#include <set>

namespace disc
{

class CDisc;
class CDiscFindings;
struct Domain;

void CheckIfos(const CDisc& disc, CDiscFindings& findings);
// The PGC times against the sums of their cells' times. A cell whose coded time the
// stream contradicts (streamTicks90, by its entry's offset) counts with the stream's, so
// that its fault is not reported again as the PGC's.
void CheckPgcTimes(const Domain& domain, const std::map<uint32_t, int64_t>& streamTicks90, CDiscFindings& findings);
// The manager's copy of each title set's attributes against the title set's own, except
// for the title sets whose own attributes the streams contradict (wrongVts).
void CheckAttributeTable(const CDisc& disc, const std::set<uint32_t>& wrongVts, CDiscFindings& findings);
// The cells of the domain's PGCs against its C_ADT, where no VOB set can say better.
void CheckCellsAgainstAddresses(const Domain& domain, CDiscFindings& findings);

}  // namespace disc
