#pragma once
// What an analysis run needs from the window (or command line, or test) that starts it.

#include <cstdint>
#include <string>

class IAnalysisHost
{
public:
    virtual ~IAnalysisHost() = default;

    // The run has opened its file and is about to clear the tree: disable "analyze",
    // "exit", "options" and the tree, enable "stop", show the progress bar at 0.
    virtual void OnRunStarted() {}
    // Called when the percentage of the file consumed grows. It may pass 100 near the
    // end of a file whose size is not a multiple of 100; a bar shows that as full.
    virtual void OnProgress(uint32_t percent) {}
    // Called after every start code. A window keeps itself alive here (at a rate of its
    // choosing: this runs millions of times per run); "stop" reaches the driver through
    // CAnalysisDriver::RequestStop.
    virtual void Pump() {}
    // The run has ended (end of input, pack limit, stop or read error): hide the
    // progress bar, restore the controls. The tree and the records stay.
    virtual void OnRunEnded() {}
    // A message box: "Cannot open input file" with caption "Error !", and the like.
    virtual void ShowMessage(const std::string& text, const std::string& caption) {}
};
