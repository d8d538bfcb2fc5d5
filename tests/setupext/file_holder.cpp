// Holds a file open without sharing it, as another program of the user
// might, until the test releases it:
//   file_holder PATH READY_EVENT RELEASE_EVENT
// Exits with 1 if the file can't be opened, 2 on bad arguments.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    HANDLE hFile = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE hReady = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE hRelease = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (hReady == nullptr || hRelease == nullptr)
        return 2;
    SetEvent(hReady);
    // Bounded, so that a test that dies early leaves nothing running long.
    WaitForSingleObject(hRelease, 60000);
    CloseHandle(hFile);
    return 0;
}
