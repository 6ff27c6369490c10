#pragma once
// The check command of varnodel-cli:
//   varnodel-cli --check [--streams] [--json] INPUT...
// the findings of each file, then its summary line (one JSON object per file with --json).

// True when the arguments hold --check.
bool IsCheckCommand(int argc, char** argv);
// Runs it; the exit status: 0 no error found, 3 an error found, 1 an input that cannot be
// read (the others are still checked), 2 a usage error.
int RunCheckCommand(int argc, char** argv);
