#pragma once
// The inspector's exports, in the command line's formats: the check report (text or
// JSON, as --check prints it), the stream list (as --streams) and the access units (CSV
// or JSON lines, as --units, one stream after the other); findings and streams as CSV
// too, one row each with a header line.

#include "app/inspector/InspectData.h"

#include <functional>
#include <string>

namespace inspector
{

enum class ExportFormat
{
    Text,
    Json,
    Csv,
};

std::string FindingsReport(const InspectResult& r, ExportFormat format);
std::string StreamsReport(const InspectResult& r, ExportFormat format);
// Text is taken as CSV. A million units make a hundred megabytes: the text is handed to
// write in pieces.
void UnitsReport(const InspectResult& r, ExportFormat format, const std::function<void(const std::string&)>& write);

// Writes text to path; false when the file cannot be written completely.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace inspector
