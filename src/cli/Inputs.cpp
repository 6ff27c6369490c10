#include "cli/Inputs.h"

#include "analysis/CAnalysisDriver.h"

#include <cstdio>

namespace cli
{

void InputReporter::OpenFailed(const std::string& name, int error)
{
    std::fprintf(stderr, "%s: %s: %s\n", CAnalysisDriver::kOpenErrorText, name.c_str(),
                 CAnalysisDriver::OpenErrorReason(error).c_str());
    m_failed = true;
}

void InputReporter::OpenFailed(const std::string& name, const std::string& reason)
{
    std::fprintf(stderr, "%s: %s: %s\n", CAnalysisDriver::kOpenErrorText, name.c_str(), reason.c_str());
    m_failed = true;
}

void InputReporter::ReadError(const std::string& name)
{
    std::fprintf(stderr, "%s: %s\n", CAnalysisDriver::kReadErrorText, name.c_str());
    m_failed = true;
}

bool WriteOut(const std::string& text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 &&
        !std::ferror(stdout))
        return true;
    std::fputs("varnodel-cli: cannot write the output\n", stderr);
    return false;
}

}  // namespace cli
