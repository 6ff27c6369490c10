#pragma once
// The disc checks that need the IFOs alone: the titles against their title sets, the
// PGCs' programs, cells and chapters, the PGC times, the manager's copy of each title
// set's attributes, and, for a domain whose VOBs are not there, its cells against its
// cell address table.

namespace disc
{

class CDisc;
class CDiscFindings;
struct Domain;

void CheckIfos(const CDisc& disc, CDiscFindings& findings);
// The cells of the domain's PGCs against its C_ADT, where no VOB set can say better.
void CheckCellsAgainstAddresses(const Domain& domain, CDiscFindings& findings);

}  // namespace disc
