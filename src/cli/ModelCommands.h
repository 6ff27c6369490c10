#pragma once
// The model commands of varnodel-cli:
//   varnodel-cli --streams [--json] INPUT...   one block (or JSON object) per file
//   varnodel-cli --units [--json] INPUT        every access unit, CSV or JSON lines

#include "cli/Inputs.h"
#include "cli/Options.h"

#include <cstdint>
#include <string>

// Runs --streams or --units; the exit status (0, or 1 for an input that cannot be read).
int RunModelCommand(const cli::Options& options, cli::InputReporter& inputs);

namespace model
{
class CStreamStats;
}

// The stream list of a file: "FILE: N packs, B bytes", the bytes skipped where some were,
// then a line per stream.
std::string StreamListText(const std::string& file, const model::CStreamStats& stats, uint64_t bytes);
// The streams as a JSON array.
void AppendStreamsJson(std::string& out, const model::CStreamStats& stats);
