#include "tools/update_info/files.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "framework/handles.h"
#include "update/trust/sha256.h"

namespace infotool {

namespace {

// Opens an existing file for reading, saying what is wrong when it cannot:
// a missing file and a folder are the usual slips.
fw::CFileHandle OpenForReading(const std::string& path, const std::string& what, CReport& report)
{
    const DWORD dwAttributes = GetFileAttributesA(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND)
            report.Error("there is no " + what + " " + Quote(path));
        else
            report.Error("cannot find out about the " + what + " " + Quote(path) + ": " +
                         SystemMessage(dwError));
        return fw::CFileHandle();
    }
    if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        report.Error("the " + what + " " + Quote(path) + " is a folder, not a file");
        return fw::CFileHandle();
    }
    fw::CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        const DWORD dwError = GetLastError();
        report.Error("the " + what + " " + Quote(path) + " cannot be read: " +
                     SystemMessage(dwError));
    }
    return file;
}

// target names where the bytes go, as a message says it.
bool WriteAll(HANDLE hFile, const std::string& data, const std::string& target, CReport& report)
{
    DWORD cbWritten = 0;
    if (!WriteFile(hFile, data.data(), static_cast<DWORD>(data.size()), &cbWritten, nullptr))
    {
        const DWORD dwError = GetLastError();
        report.Error("cannot write " + target + ": " + SystemMessage(dwError));
        return false;
    }
    // A short write that the system calls a success has no error code to tell.
    if (cbWritten != data.size())
    {
        report.Error("cannot write " + target + ": only " + std::to_string(cbWritten) + " of " +
                     std::to_string(data.size()) + " bytes were written");
        return false;
    }
    return true;
}

} // namespace

bool GetInstallerSize(const std::string& path, CReport& report, uint64_t& cbSize)
{
    const fw::CFileHandle file = OpenForReading(path, "installer", report);
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
    {
        const DWORD dwError = GetLastError();
        report.Error("cannot get the size of the installer " + Quote(path) + ": " +
                     SystemMessage(dwError));
        return false;
    }
    cbSize = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool GetInstallerDigest(const std::string& path, CReport& report, Sha256Digest& digest)
{
    const fw::CFileHandle file = OpenForReading(path, "installer", report);
    CSha256 hash;
    if (!file || FAILED(hash.Start()))
        return false;
    std::vector<char> block(1 << 16);
    for (;;)
    {
        DWORD cbRead = 0;
        if (!ReadFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &cbRead,
                      nullptr))
        {
            const DWORD dwError = GetLastError();
            report.Error("cannot read the installer " + Quote(path) + ": " +
                         SystemMessage(dwError));
            return false;
        }
        if (cbRead == 0)
            break;
        if (FAILED(hash.Add(block.data(), cbRead)))
            return false;
    }
    if (FAILED(hash.Finish(digest)))
    {
        report.Error("cannot compute the SHA-256 of the installer " + Quote(path));
        return false;
    }
    return true;
}

bool ReadSmallFile(const std::string& path, const std::string& what, CReport& report,
                   std::string& body)
{
    const fw::CFileHandle file = OpenForReading(path, what, report);
    if (!file)
        return false;
    std::vector<char> buffer(kMaxUpdateInfoSize + 1);
    size_t cbTotal = 0;
    while (cbTotal < buffer.size())
    {
        DWORD cbRead = 0;
        if (!ReadFile(file.Get(), buffer.data() + cbTotal,
                      static_cast<DWORD>(buffer.size() - cbTotal), &cbRead, nullptr))
        {
            const DWORD dwError = GetLastError();
            report.Error("cannot read " + Quote(path) + ": " + SystemMessage(dwError));
            return false;
        }
        if (cbRead == 0)
            break;
        cbTotal += cbRead;
    }
    body.assign(buffer.data(), cbTotal);
    return true;
}

bool WriteToFile(const std::string& path, const std::string& body, CReport& report)
{
    // Written beside it under another name and put in place only when whole:
    // a failed write leaves neither a part of a file nor a changed old one.
    const std::string partial = path + ".partial";
    bool bWritten = false;
    {
        const fw::CFileHandle file(CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
        {
            const DWORD dwError = GetLastError();
            report.Error("cannot write " + Quote(path) + ": " + SystemMessage(dwError));
            return false;
        }
        bWritten = WriteAll(file.Get(), body, Quote(path), report);
    }
    if (bWritten && !MoveFileExA(partial.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        const DWORD dwError = GetLastError();
        report.Error("cannot write " + Quote(path) + ": " + SystemMessage(dwError));
        bWritten = false;
    }
    if (!bWritten)
        DeleteFileA(partial.c_str());
    return bWritten;
}

bool WriteToStandardOutput(const std::string& body, CReport& report)
{
    // Past the runtime, whose text mode would turn each CR LF into CR CR LF.
    std::fflush(stdout);
    return WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), body, "to standard output", report);
}

} // namespace infotool
