// The platform's own transfer of a URL to a file, then the platform's own
// SHA-256 of that file, with nothing of ours in between: the baseline that
// the updater's download and check are measured against. Writes the seconds
// of each, without the program's start, to TIMEFILE.
//   bare_download URL FILE TIMEFILE
#include <windows.h>
#include <bcrypt.h>
#include <urlmon.h>

#include <cstdio>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The file read once from its start, in large blocks, into CNG's SHA-256.
bool HashFile(const char* pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE hHash = nullptr;
    bool bOk = BCryptOpenAlgorithmProvider(&hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
               BCryptCreateHash(hAlgorithm, &hHash, nullptr, 0, nullptr, 0, 0) >= 0;
    std::vector<UCHAR> block(1024 * 1024);
    DWORD cbRead = 0;
    while (bOk && (bOk = ReadFile(hFile, block.data(), static_cast<DWORD>(block.size()), &cbRead,
                                  nullptr) != FALSE) &&
           cbRead != 0)
        bOk = BCryptHashData(hHash, block.data(), cbRead, 0) >= 0;
    UCHAR digest[32];
    bOk = bOk && BCryptFinishHash(hHash, digest, sizeof(digest), 0) >= 0;
    if (hHash != nullptr)
        BCryptDestroyHash(hHash);
    if (hAlgorithm != nullptr)
        BCryptCloseAlgorithmProvider(hAlgorithm, 0);
    CloseHandle(hFile);
    return bOk;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: bare_download URL FILE TIMEFILE\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    LARGE_INTEGER tStart, tTransferred, tHashed;
    QueryPerformanceCounter(&tStart);
    const HRESULT hr = URLDownloadToFileA(nullptr, argv[1], argv[2], 0, nullptr);
    QueryPerformanceCounter(&tTransferred);
    CoUninitialize();
    if (FAILED(hr))
    {
        std::fprintf(stderr, "bare_download: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    if (!HashFile(argv[2]))
    {
        std::fprintf(stderr, "bare_download: the file's SHA-256 failed\n");
        return 1;
    }
    QueryPerformanceCounter(&tHashed);
    FILE* pTime = std::fopen(argv[3], "w");
    if (pTime == nullptr)
        return 1;
    std::fprintf(pTime, "%.6f %.6f\n", Seconds(tStart, tTransferred), Seconds(tTransferred, tHashed));
    return std::fclose(pTime) == 0 ? 0 : 1;
}
