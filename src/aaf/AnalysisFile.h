#pragma once
// The analysis file (.aaf): the records of the last analysis, written only.
//
// Layout (all integers little-endian; strings length-prefixed, see WriteString):
//   "Workers of hand and fist unite !", "MA1.2",
//   SI1.0 record: "SI1.0", input path, date "%Y%m%d", node count,
//   per node: SP1.0 record (74 bytes), then PH1.0 record (94 bytes) when it has a pack header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFile;
class CPackHeader;
class CPackList;

namespace AnalysisFile
{
constexpr const char* kBanner = "Workers of hand and fist unite !";
constexpr const char* kFormatTag = "MA1.2";

enum class SaveResult
{
    Ok,
    NoAnalysis,   // "No analysis done"
    CannotOpen,   // "Cannot open output file %s"
    CannotWrite,  // "Cannot write output file %s"
};

// A uint32 n (characters + 1), then the characters and a NUL.
bool WriteString(CFile& file, std::string_view text);

// The 80-byte payload of a PH1.0 record: the fields as uint32, the low 32 bits of the SCR
// base, its milliseconds as binary64 and the mux rate in bit/s; the padding words are 0.
void PackPayload(const CPackHeader& header, uint8_t out[80]);

// The fifteen words of the SP1.0 record of the list's node at index: the record type,
// then the node's fields with links, elements and tree lines reduced to their presence.
constexpr uint32_t kNodeRecordType = 0x30315053;  // "SP10" read as little-endian
constexpr uint32_t kPresent = 1;
void NodeWords(const CPackList& list, size_t index, uint32_t words[15]);

// Writes the analysis file of list to path. The file is written beside the target under
// a temporary name and renamed over it only when every byte was written, so a failure
// never leaves a truncated file or destroys the one that was there.
SaveResult Save(CPackList* list, const std::string& path);

// The message a front shows for a result ("" for Ok).
std::string MessageFor(SaveResult result, const std::string& path);
}  // namespace AnalysisFile
