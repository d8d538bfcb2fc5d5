// The platform's own transfer of a URL to a file, with nothing of ours in
// between: the baseline that the updater's download is measured against.
// Writes the seconds the transfer took, without the program's start, to
// TIMEFILE.
//   bare_download URL FILE TIMEFILE
#include <windows.h>
#include <urlmon.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: bare_download URL FILE TIMEFILE\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    LARGE_INTEGER frequency, tStart, tEnd;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&tStart);
    const HRESULT hr = URLDownloadToFileA(nullptr, argv[1], argv[2], 0, nullptr);
    QueryPerformanceCounter(&tEnd);
    CoUninitialize();
    if (FAILED(hr))
    {
        std::fprintf(stderr, "bare_download: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    FILE* pTime = std::fopen(argv[3], "w");
    if (pTime == nullptr)
        return 1;
    std::fprintf(pTime, "%.6f\n",
                 static_cast<double>(tEnd.QuadPart - tStart.QuadPart) / static_cast<double>(frequency.QuadPart));
    return std::fclose(pTime) == 0 ? 0 : 1;
}
