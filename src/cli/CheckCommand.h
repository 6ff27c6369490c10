#pragma once
// The check command of varnodel-cli:
//   varnodel-cli --check [--streams] [--json] INPUT...
// the findings of each file, then its summary line (one JSON object per file with --json);
//   varnodel-cli --list-checks [--json]
// the table of the rules.

#include "cli/Inputs.h"
#include "cli/Options.h"

// Runs it; the exit status: 0 no error found, 3 an error found, 1 an input that cannot be
// read (the others are still checked).
int RunCheckCommand(const cli::Options& options, cli::InputReporter& inputs);
// Prints the rules' table; 0, or 1 when the output cannot be written.
int RunListChecks(const cli::Options& options);
