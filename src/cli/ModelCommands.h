#pragma once
// The model commands of varnodel-cli:
//   varnodel-cli --streams [--json] INPUT...   one block (or JSON object) per file
//   varnodel-cli --units [--json] INPUT        every access unit, CSV or JSON lines

#include "cli/Inputs.h"
#include "cli/Options.h"

// Runs --streams or --units; the exit status (0, or 1 for an input that cannot be read).
int RunModelCommand(const cli::Options& options, cli::InputReporter& inputs);
