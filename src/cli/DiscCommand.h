#pragma once
// The disc commands of varnodel-cli:
//   varnodel-cli --disc [--json] DIR...    the summary of each disc, from its IFOs
//   varnodel-cli --check [--json] DIR      a disc judged as one (an INPUT of --check that
//                                          names a disc comes here)

#include "cli/Inputs.h"
#include "cli/Options.h"

#include <string>

// Runs --disc; the exit status (0, or 1 for an input that is no disc or cannot be read).
int RunDiscCommand(const cli::Options& options, cli::InputReporter& inputs);

// An input of --check that names a disc: a folder, or a VIDEO_TS.IFO or VTS_nn_0.IFO file.
bool IsDiscInput(const std::string& input);
// Judges the disc and prints its report. Returns false when the output could not be
// written; *errors tells whether the disc has an error finding.
bool CheckDiscInput(const std::string& input, const cli::Options& options, cli::InputReporter& inputs,
                    bool* errors);
