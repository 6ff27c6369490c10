#pragma once
// A reader for analysis files, for the tests only: the program itself never reads them.
// It walks the file the way a third-party reader would (length-prefixed strings, the
// node count, groups ended by word 5) and refuses anything that does not fit, so a test
// learns both what was written and that nothing stray was.

#include <cstdint>
#include <string>
#include <vector>

struct AafNode
{
    uint32_t words[15] = {};
    bool hasPackRecord = false;
    uint8_t payload[80] = {};  // the PH1.0 payload when hasPackRecord
};

struct AafPackPayload
{
    uint32_t fields[15] = {};  // marker 01 .. SCR base, payload offsets 0..56
    uint32_t padding60 = 0;
    double scrMs = 0.0;
    uint32_t muxRateBps = 0;
    uint32_t padding76 = 0;
};

struct AafFile
{
    std::string banner;
    std::string formatTag;
    std::string summaryTag;
    std::string inputPath;
    std::string date;
    uint32_t nodeCount = 0;
    std::vector<AafNode> nodes;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path, bool* ok = nullptr);

// Parses bytes as an analysis file. On failure returns false and says why in *error.
bool ParseAaf(const std::vector<uint8_t>& bytes, AafFile* out, std::string* error);

AafPackPayload DecodePackPayload(const uint8_t payload[80]);
