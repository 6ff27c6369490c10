#pragma once
// The model commands of varnodel-cli:
//   varnodel-cli --streams [--json] INPUT...   one block (or JSON object) per file
//   varnodel-cli --units [--json] INPUT        every access unit, CSV or JSON lines

// True when the arguments hold --streams or --units.
bool IsModelCommand(int argc, char** argv);
// Runs it; the exit status (0, 1 for an input that cannot be read, 2 for a usage error).
int RunModelCommand(int argc, char** argv);
