// A target for the link tests. The shell's "open" passes a program no
// arguments, so it shows that it ran by leaving "<its own path>.ran" beside
// itself. A program without a console, so that starting it opens no window.
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
    CloseHandle(hFile);
    return 0;
}
