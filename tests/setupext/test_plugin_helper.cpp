// The library that one build of the test plug-in needs.
#include <windows.h>

extern "C" __declspec(dllexport) int PluginHelperVersion()
{
    return 1;
}
