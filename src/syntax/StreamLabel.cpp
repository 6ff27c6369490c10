#include "syntax/StreamLabel.h"

#include "stream/CMpegStreamFile.h"

#include <cstdio>

void AppendStreamLabel(uint32_t streamId, std::string& out)
{
    char buf[32];
    int n = 0;
    if (IsAudioStreamId(streamId))
        n = std::snprintf(buf, sizeof buf, "(Audio Stream %d)", static_cast<int>(streamId & 0x1F));
    else if (IsVideoStreamId(streamId))
        n = std::snprintf(buf, sizeof buf, "(Video Stream %d)", static_cast<int>(streamId & 0x0F));
    out.append(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string StreamLabel(uint32_t streamId)
{
    std::string s;
    AppendStreamLabel(streamId, s);
    return s;
}
