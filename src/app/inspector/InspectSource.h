#pragma once
// What the inspector's worker runs: one pass of the stream model and the checks over a
// file, into an InspectResult. Behind an interface so that the window, its cancel path
// and its error path can be driven by the tests with a source of their own.

#include "app/inspector/InspectData.h"

#include <atomic>
#include <memory>
#include <string>

namespace inspector
{

class IInspectSource
{
public:
    virtual ~IInspectSource() = default;
    // Fills result from the file at path, setting percent (0..100) as it goes. False,
    // with a message for the user in error, when the file cannot be read at all; once
    // stop is set the pass ends early with what it has seen and result.stopped set.
    // Called on a worker thread.
    virtual bool Inspect(const std::string& path, InspectResult& result, const std::atomic<bool>& stop,
                         std::atomic<int>& percent, std::string& error) = 0;
};

// The stream model, its statistics and column store, and the checks of the core.
std::unique_ptr<IInspectSource> MakeModelSource();

}  // namespace inspector
