// A plug-in library of the tests, in two builds: one exporting
// TurnOnPlugin, one without it. Both record their loading, each call and
// their unloading as lines of the file that SETUPEXT_TEST_PLUGIN_LOG names.
#include <windows.h>

#include <cstdio>

namespace {

void Record(const char* pszLine)
{
    char szLogPath[MAX_PATH] = {};
    const DWORD cch = GetEnvironmentVariableA("SETUPEXT_TEST_PLUGIN_LOG", szLogPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    HANDLE hLog = CreateFileA(szLogPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten = 0;
    WriteFile(hLog, pszLine, lstrlenA(pszLine), &cbWritten, nullptr);
    WriteFile(hLog, "\n", 1, &cbWritten, nullptr);
    CloseHandle(hLog);
}

} // namespace

#ifdef TEST_PLUGIN_TURN_ON
extern "C" __declspec(dllexport) int WINAPI TurnOnPlugin(int nFirst, int nSecond)
{
    char szLine[64];
    std::snprintf(szLine, sizeof(szLine), "TurnOnPlugin %d %d", nFirst, nSecond);
    Record(szLine);
    return 1;
}
#endif

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        Record("attach");
    else if (dwReason == DLL_PROCESS_DETACH)
        Record("detach");
    return TRUE;
}
