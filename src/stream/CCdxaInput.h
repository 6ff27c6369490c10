#pragma once
// A CD-XA file as a Video CD or Super Video CD shows it (MPEGAV/AVSEQ01.DAT,
// MPEG2/AVSEQ01.MPG): a RIFF "CDXA" header, then the disc's raw 2352-byte sectors, each a
// sync pattern, a header, a subheader, the user data and error codes. The stream is the
// user data of the sectors one after the other: 2324 bytes of a mode 2 form 2 sector
// (where the MPEG data lives), 2048 of a form 1 or mode 1 sector.
//
// Positions are those of the user data; Locate turns them back into offsets in the file.

#include "stream/CInput.h"

#include <memory>
#include <vector>

class CCdxaInput : public CInput
{
public:
    static constexpr uint32_t kSectorSize = 2352;
    static constexpr uint32_t kForm2UserSize = 2324;
    static constexpr uint32_t kForm1UserSize = 2048;
    // The RIFF header of a CD-XA file: "RIFF", size, "CDXA", then "fmt " and "data" chunks.
    static bool IsCdxa(const uint8_t* head, size_t n);

    // Takes over file when its first bytes are a CD-XA header with a data chunk; false
    // (file left with the caller) otherwise.
    bool Open(std::unique_ptr<CFileInput>& file);

    uint32_t Read(void* buffer, uint32_t count) override;
    bool HadReadError() const override { return m_file->HadReadError(); }
    // Counts the sectors not read yet as form 2 ones.
    uint64_t Size() const override { return m_size; }
    Location Locate(uint64_t position) const override;
    uint32_t FileCount() const override { return 1; }
    const std::string& FileName(uint32_t file) const override { return m_file->FileName(file); }

    // Where the first sector starts in the file, and how many bytes of sectors follow.
    uint64_t DataStart() const { return m_dataStart; }
    uint64_t DataSize() const { return m_dataSize; }

private:
    // Sectors from firstSector on whose user data have the same place and size.
    struct Run
    {
        uint64_t firstSector = 0;
        uint64_t start = 0;       // stream position of the first sector's user data
        uint32_t userOffset = 24; // of the user data in a sector
        uint32_t userSize = kForm2UserSize;
    };
    // The user data of the sector at s (have bytes of it in the file).
    static Run Classify(const uint8_t* s, size_t have);
    bool FillSectors();
    const Run& RunOf(uint64_t position) const;

    std::unique_ptr<CFileInput> m_file;
    uint64_t m_dataStart = 0;
    uint64_t m_dataSize = 0;
    uint64_t m_size = 0;
    std::vector<Run> m_runs;        // by first sector; never empty once open
    // Raw sectors read ahead, and what of them is still to be delivered.
    std::vector<uint8_t> m_raw;
    size_t m_rawFill = 0;
    uint64_t m_rawFirstSector = 0;  // sector number of m_raw[0]
    uint64_t m_nextSector = 0;      // the sector being delivered
    uint32_t m_inSector = 0;        // bytes of its user data delivered
    uint64_t m_position = 0;        // stream position of the next byte
    uint64_t m_sectors = 0;         // sectors in the data chunk, the last one maybe short
};
