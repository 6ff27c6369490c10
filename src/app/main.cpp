#include "app/CAnalyzerApp.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // --help and --version answer without a display: before the application object,
    // which needs one.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CAnalyzerApp::CommandLine command = CAnalyzerApp::ParseCommandLine(CAnalyzerApp::WithoutQtOptions(args));
    if (command.action == CAnalyzerApp::CommandLine::Help)
        return std::fputs(CAnalyzerApp::kUsage, stdout) < 0 ? 1 : 0;
    if (command.action == CAnalyzerApp::CommandLine::Version)
        return std::fputs(CAnalyzerApp::kVersionText, stdout) < 0 ? 1 : 0;
    // A usage error, too, is told without a display.
    if (command.action == CAnalyzerApp::CommandLine::Usage)
        return CAnalyzerApp::UsageError(command.problem);

    // Qt needs argc and argv for its application object, so it lives here rather than
    // as a global; it still exists exactly once, for the whole run.
    CAnalyzerApp theApp(argc, argv);
    theApp.InitInstance();
    return theApp.ExitCode();
}
