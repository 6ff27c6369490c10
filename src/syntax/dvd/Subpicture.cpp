#include "syntax/dvd/Subpicture.h"

namespace
{
// Argument bytes of the display control commands 0x00..0x06 (0x07 carries its own size).
const int kCommandArgs[7] = {0, 0, 0, 2, 2, 6, 4};
}  // namespace

bool CSubpictureUnit::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 4)
        return false;
    m_nSize = (uint32_t{b[0]} << 8) | b[1];
    m_nControlOffset = (uint32_t{b[2]} << 8) | b[3];
    const size_t end = m_nSize < n ? m_nSize : n;
    size_t seq = m_nControlOffset;
    // Each sequence: delay (16), offset of the next sequence (16), commands up to 0xFF.
    // The last sequence points at itself; the count bound stops loops.
    while (seq + 4 <= end && m_nSequences < 64)
    {
        ++m_nSequences;
        const uint32_t delay = ((uint32_t{b[seq]} << 8) | b[seq + 1]) * 1024;
        const size_t next = (size_t{b[seq + 2]} << 8) | b[seq + 3];
        size_t i = seq + 4;
        while (i < end && b[i] != 0xFF)
        {
            const uint8_t cmd = b[i++];
            if (cmd == 0x00)
                m_bForced = true;
            if (cmd == 0x00 || cmd == 0x01)
            {
                m_bStart = true;
                m_nStartDelay = delay;
            }
            else if (cmd == 0x02)
            {
                m_bStop = true;
                m_nStopDelay = delay;
            }
            if (cmd < 7)
                i += kCommandArgs[cmd];
            else if (cmd == 0x07 && i + 2 <= end)
                i += (size_t{b[i]} << 8) | b[i + 1];
            else
                break;
        }
        if (next <= seq)
            break;
        seq = next;
    }
    return true;
}
