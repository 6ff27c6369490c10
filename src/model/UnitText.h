#pragma once
// One access unit as a line of the unit list: varnodel-cli --units and the inspector's
// export write the same lines.
//   stream,index,type,offset,pack,size,pts,dts,derived,pts_90k,dts_90k
// pack counts from 1, as the tree's "PACK #n"; 0 where no pack holds the unit (elementary
// streams).

#include "model/ModelEvents.h"

#include <cstdint>
#include <string>

namespace model
{

struct UnitRow
{
    const char* stream = "";   // "0xE0", "0xBD:0x80"
    uint64_t index = 0;
    Kind kind = Kind::Unknown;
    uint8_t pictureType = 0;
    uint64_t offset = 0;
    uint32_t pack = 0;         // from 1; 0: none
    uint32_t size = 0;
    double pts = 0, dts = 0;   // seconds
    bool derived = false;      // the PTS was not coded
    uint64_t pts90 = 0, dts90 = 0;  // 33-bit values
};

// The CSV header line, with its line end.
extern const char kUnitCsvHeader[];
// "I", "P", "B", "D" for pictures; "mpa", "ac3", "dts", "lpcm", "spu"; "?" otherwise.
const char* UnitTypeText(Kind kind, uint8_t pictureType);
// Appends the unit's CSV line, or its JSON line, with the line end.
void AppendUnitLine(std::string& out, const UnitRow& row, bool json);

}  // namespace model
