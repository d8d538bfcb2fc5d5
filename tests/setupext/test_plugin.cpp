// A plug-in library of the tests, in three builds: one exporting
// TurnOnPlugin, one without it, and one exporting it that needs a library
// of its own (test_plugin_helper.dll) and records where that came from.
// All record their loading, each call and their unloading as lines of the
// file that SETUPEXT_TEST_PLUGIN_LOG names.
#include <windows.h>

#include <cstdio>
#include <string>

#ifdef TEST_PLUGIN_NEEDS_HELPER
extern "C" __declspec(dllimport) int PluginHelperVersion();
#endif

namespace {

void Record(const std::string& line)
{
    char szLogPath[MAX_PATH] = {};
    const DWORD cch = GetEnvironmentVariableA("SETUPEXT_TEST_PLUGIN_LOG", szLogPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    HANDLE hLog = CreateFileA(szLogPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD cbWritten = 0;
    WriteFile(hLog, text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr);
    CloseHandle(hLog);
}

#ifdef TEST_PLUGIN_NEEDS_HELPER
// The helper's full path, in UTF-8 whatever folder it lies in.
std::string HelperPath()
{
    wchar_t szPath[MAX_PATH] = {};
    if (GetModuleFileNameW(GetModuleHandleW(L"test_plugin_helper.dll"), szPath, MAX_PATH) == 0)
        return "?";
    char szUtf8[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, szPath, -1, szUtf8, sizeof(szUtf8), nullptr, nullptr);
    return szUtf8;
}
#endif

} // namespace

#ifdef TEST_PLUGIN_TURN_ON
extern "C" __declspec(dllexport) int WINAPI TurnOnPlugin(int nFirst, int nSecond)
{
    char szLine[64];
    std::snprintf(szLine, sizeof(szLine), "TurnOnPlugin %d %d", nFirst, nSecond);
    Record(szLine);
#ifdef TEST_PLUGIN_NEEDS_HELPER
    Record("helper " + std::to_string(PluginHelperVersion()) + " " + HelperPath());
#endif
    return 1;
}
#endif

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    // Freed by its loader, or still loaded when the process ended.
    if (dwReason == DLL_PROCESS_ATTACH)
        Record("attach");
    else if (dwReason == DLL_PROCESS_DETACH)
        Record(pReserved == nullptr ? "detach" : "detach at exit");
    return TRUE;
}
