#include "syntax/StreamLabel.h"

#include "stream/CMpegStreamFile.h"

#include "analysis/TextFormat.h"

void AppendStreamLabel(uint32_t streamId, std::string& out)
{
    if (IsAudioStreamId(streamId))
        AppendFormat(out, "(Audio Stream %d)", {static_cast<int>(streamId & 0x1F)});
    else if (IsVideoStreamId(streamId))
        AppendFormat(out, "(Video Stream %d)", {static_cast<int>(streamId & 0x0F)});
}

std::string StreamLabel(uint32_t streamId)
{
    std::string s;
    AppendStreamLabel(streamId, s);
    return s;
}
