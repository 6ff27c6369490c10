#pragma once
// How varnodel-cli tells of inputs it cannot read and output it cannot write, the same in
// every mode:
//   Cannot open input file: NAME: reason     (the input is skipped; exit status 1)
//   Read error in input file: NAME           (what was read is reported; exit status 1)
//   varnodel-cli: cannot write the output    (exit status 1)

#include <string>

namespace cli
{

class InputReporter
{
public:
    void OpenFailed(const std::string& name, int error);
    // The same with a reason of the caller's ("no VIDEO_TS.IFO or VTS_nn_0.IFO in it").
    void OpenFailed(const std::string& name, const std::string& reason);
    void ReadError(const std::string& name);
    // An input could not be opened or read to its end.
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};

// Writes text on stdout and flushes it; false, with the message on stderr, when the
// output could not be written.
bool WriteOut(const std::string& text);

}  // namespace cli
