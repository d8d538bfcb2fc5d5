// The platform's own transfer of a URL to a file, with nothing of ours in
// between: the baseline that the updater's download is measured against.
//   bare_download URL FILE
#include <windows.h>
#include <urlmon.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: bare_download URL FILE\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    const HRESULT hr = URLDownloadToFileA(nullptr, argv[1], argv[2], 0, nullptr);
    CoUninitialize();
    if (FAILED(hr))
        std::fprintf(stderr, "bare_download: 0x%08lx\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
