#include "update/install/partial_installer.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/handles.h"

namespace {

constexpr char kPartSuffix[] = ".part";
constexpr char kRecordSuffix[] = ".part.record";
// A record is a few short lines; anything longer is none.
constexpr DWORD kMaxRecordSize = 4096;

bool ReadNumber(const std::string& text, uint64_t& value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    fw::CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return false;
    char buffer[kMaxRecordSize + 1];
    DWORD cbRead = 0;
    if (!ReadFile(file.Get(), buffer, sizeof(buffer), &cbRead, nullptr) || cbRead > kMaxRecordSize)
        return false;
    text.assign(buffer, cbRead);
    return true;
}

} // namespace

std::string PartPath(const std::string& installerPath)
{
    return installerPath + kPartSuffix;
}

std::string PartRecordPath(const std::string& installerPath)
{
    return installerPath + kRecordSuffix;
}

bool WritePartRecord(const std::string& installerPath, const PartRecord& record)
{
    const std::string text = "url=" + record.url + "\r\nvalidator=" + record.validator +
                             "\r\nsize=" + std::to_string(record.cbSize) + "\r\nsha256=" +
                             record.sha256 + "\r\nwritten=" + std::to_string(record.cbWritten) +
                             "\r\n";
    const std::string path = PartRecordPath(installerPath);
    const std::string fresh = path + ".new";
    {
        fw::CFileHandle file(CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD cbWritten = 0;
        if (!file || !WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr) ||
            cbWritten != text.size() || !FlushFileBuffers(file.Get()))
        {
            DeleteFileA(fresh.c_str());
            return false;
        }
    }
    if (MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(fresh.c_str());
    return false;
}

bool ReadPartRecord(const std::string& installerPath, PartRecord& record)
{
    std::string text;
    if (!ReadWholeFile(PartRecordPath(installerPath), text))
        return false;
    PartRecord read;
    int nFields = 0;
    for (size_t nStart = 0; nStart < text.size();)
    {
        size_t nEnd = text.find("\r\n", nStart);
        if (nEnd == std::string::npos)
            return false;
        const std::string line = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 2;
        const size_t nEquals = line.find('=');
        const std::string name = line.substr(0, nEquals);
        const std::string value = nEquals == std::string::npos ? std::string() : line.substr(nEquals + 1);
        if (name == "url")
            read.url = value;
        else if (name == "validator")
            read.validator = value;
        else if (name == "sha256")
            read.sha256 = value;
        else if (!(name == "size" && ReadNumber(value, read.cbSize)) &&
                 !(name == "written" && ReadNumber(value, read.cbWritten)))
            return false;
        ++nFields;
    }
    if (nFields != 5 || read.cbWritten > read.cbSize)
        return false;
    record = read;
    return true;
}

void DeletePart(const std::string& installerPath)
{
    DeleteFileA(PartPath(installerPath).c_str());
    DeleteFileA(PartRecordPath(installerPath).c_str());
}

std::vector<std::string> FindPartNames(const std::string& folder)
{
    WIN32_FIND_DATAA data = {};
    fw::CFindHandle find(FindFirstFileA((folder + "\\vxzsp-*.exe" + kRecordSuffix).c_str(), &data));
    if (!find)
        return {};
    do
    {
        const std::string record = data.cFileName;
        const std::string part = record.substr(0, record.size() - std::strlen(kRecordSuffix)) + kPartSuffix;
        const DWORD dwAttributes = GetFileAttributesA((folder + "\\" + part).c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES &&
            !(dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            return {part, record};
    } while (FindNextFileA(find.Get(), &data));
    return {};
}
