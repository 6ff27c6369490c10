#pragma once
// The input file of an analysis: buffered reading plus the searches the analysis needs,
// the next start code (00 00 01 xx) and the MPEG audio sync word in a memory block.

#include "stream/CStreamFile.h"

#include <functional>

class CMpegStreamFile : public CStreamFile
{
public:
    CMpegStreamFile() = default;
    ~CMpegStreamFile() override = default;

    // Discards the buffered bytes, then seeks the system file.
    // The stream position counter is left alone.
    uint64_t Seek(int64_t offset, SeekPosition from) override;

    // Finds the next 00 00 01 and reads the byte after it into code. Returns false when
    // the input ends first. The result is that of sliding a three-byte window over the
    // input one byte at a time; the buffered bytes are searched in bulk.
    bool NextStartCode(uint8_t& code);

    // Offset of the first 0xFF followed by a byte with the top nibble 0xF, or -1.
    static int32_t FindAudioSync(const uint8_t* bytes, int32_t length);

    // Called by NextStartCode each time a long search refills the buffer, so that a
    // window stays alive through megabytes without a start code. Returning false ends
    // the search as if the input had ended.
    void SetScanHook(std::function<bool()> hook) { m_scanHook = std::move(hook); }

private:
    std::function<bool()> m_scanHook;
};
