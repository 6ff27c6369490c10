#include "model/UnitText.h"

#include <cinttypes>
#include <cstdio>

namespace model
{

const char kUnitCsvHeader[] = "stream,index,type,offset,pack,size,pts,dts,derived,pts_90k,dts_90k\n";

const char* UnitTypeText(Kind kind, uint8_t pictureType)
{
    switch (kind)
    {
    case Kind::Video:
    {
        static const char* const kTypes[8] = {"?", "I", "P", "B", "D", "?", "?", "?"};
        return kTypes[pictureType & 7];
    }
    case Kind::MpegAudio: return "mpa";
    case Kind::Ac3: return "ac3";
    case Kind::Dts: return "dts";
    case Kind::Lpcm: return "lpcm";
    case Kind::Subpicture: return "spu";
    default: return "?";
    }
}

void AppendUnitLine(std::string& out, const UnitRow& r, bool json)
{
    char line[512];
    const char* type = UnitTypeText(r.kind, r.pictureType);
    const int n = json ? std::snprintf(line, sizeof line,
                                       "{\"stream\": \"%s\", \"index\": %" PRIu64 ", \"type\": \"%s\", \"offset\": %" PRIu64
                                       ", \"pack\": %u, \"size\": %u, \"pts\": %.6f, \"dts\": %.6f, \"derived\": %s, "
                                       "\"pts_90k\": %" PRIu64 ", \"dts_90k\": %" PRIu64 "}\n",
                                       r.stream, r.index, type, r.offset, r.pack, r.size, r.pts, r.dts,
                                       r.derived ? "true" : "false", r.pts90, r.dts90)
                       : std::snprintf(line, sizeof line,
                                       "%s,%" PRIu64 ",%s,%" PRIu64 ",%u,%u,%.6f,%.6f,%d,%" PRIu64 ",%" PRIu64 "\n",
                                       r.stream, r.index, type, r.offset, r.pack, r.size, r.pts, r.dts,
                                       r.derived ? 1 : 0, r.pts90, r.dts90);
    if (n > 0)
        out.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

}  // namespace model
