#include "app/CAnalyzerApp.h"

int main(int argc, char** argv)
{
    // Qt needs argc and argv for its application object, so it lives here rather than
    // as a global; it still exists exactly once, for the whole run.
    CAnalyzerApp theApp(argc, argv);
    theApp.InitInstance();
    return 0;
}
