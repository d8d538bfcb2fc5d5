// A target for the link tests. It shows that it ran by leaving
// "<its own path>.ran" beside itself, holding its command line: a program
// that stands in for the user's web browser is given the address there. A
// program without a console, so that starting it opens no window.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szPath[MAX_PATH + 8] = {};
    const DWORD cch = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return 1;
    lstrcatA(szPath, ".ran");
    HANDLE hFile = CreateFileA(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    const char* pszCommandLine = GetCommandLineA();
    DWORD cbWritten = 0;
    WriteFile(hFile, pszCommandLine, static_cast<DWORD>(lstrlenA(pszCommandLine)), &cbWritten,
              nullptr);
    CloseHandle(hFile);
    return 0;
}
