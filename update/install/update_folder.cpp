#include "update/install/update_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <boost/filesystem.hpp>

#include <cstring>

#include "framework/handles.h"
#include "update/update_globals.h"
#include "update/info/update_info.h"

namespace {
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kLocalAppDataValue[] = "Local AppData";
constexpr DWORD kValueReadLimit = 260;

// The name to reach an entry by: the short one when the long one does not
// fit the code page (it comes with '?', which no file name holds).
const char* EntryName(const WIN32_FIND_DATAA& data)
{
    if (std::strchr(data.cFileName, '?') != nullptr && data.cAlternateFileName[0] != '\0')
        return data.cAlternateFileName;
    return data.cFileName;
}

// Deletes what the folder holds but keep, going into sub-folders but never
// through a link. Returns the name of the first file it leaves.
std::string DeleteContents(const std::string& folder, const std::string& keep)
{
    std::string leftover;
    WIN32_FIND_DATAA data = {};
    fw::CFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find)
        return leftover;
    do
    {
        const char* pszName = EntryName(data);
        if (std::strcmp(pszName, ".") == 0 || std::strcmp(pszName, "..") == 0 ||
            (!keep.empty() && lstrcmpiA(pszName, keep.c_str()) == 0))
            continue;
        const std::string path = folder + "\\" + pszName;
        const DWORD dwAttributes = data.dwFileAttributes;
        // A read-only file is as deletable for its owner as any other.
        if (dwAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesA(path.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            if (!(dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                DeleteContents(path, std::string());
            RemoveDirectoryA(path.c_str());
        }
        else if (!DeleteFileA(path.c_str()) && leftover.empty())
        {
            leftover = pszName;
        }
    } while (FindNextFileA(find.Get(), &data));
    return leftover;
}

// A link in the place of the folder would take the emptying elsewhere: it
// goes, and a real folder takes its place.
bool ReplaceLinkWithFolder(const boost::filesystem::path& path)
{
    const DWORD dwAttributes = GetFileAttributesA(path.string().c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    if (!RemoveDirectoryA(path.string().c_str()) || !CreateDirectoryA(path.string().c_str(), nullptr))
    {
        ShowSystemError(GetLastError());
        return false;
    }
    return true;
}

} // namespace

bool GetLocalAppDataFolder(char* pszBuffer, size_t cchBuffer)
{
    if (pszBuffer == nullptr || cchBuffer == 0)
        return false;
    fw::CRegKeyHandle key;
    LONG lResult = RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, key.Receive());
    // One byte more than the read may fill, so the text always ends.
    char szValue[kValueReadLimit + 1] = {};
    if (lResult == ERROR_SUCCESS)
    {
        DWORD cbData = kValueReadLimit;
        lResult = RegQueryValueExA(key.Get(), kLocalAppDataValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(szValue), &cbData);
    }
    if (lResult != ERROR_SUCCESS)
    {
        ShowSystemError(static_cast<DWORD>(lResult));
        return false;
    }
    lstrcpynA(pszBuffer, szValue, static_cast<int>(cchBuffer));
    return true;
}

bool PrepareUpdateFolderPath(std::string& folder)
{
    char szLocalAppData[261] = {};
    if (!GetLocalAppDataFolder(szLocalAppData, 260))
        return false;
    try
    {
        boost::filesystem::path path(szLocalAppData);
        path /= "Vexil ZSP";
        path /= "Update";
        boost::system::error_code ec;
        boost::filesystem::create_directories(path, ec);
        if (ec)
        {
            ShowSystemError(static_cast<DWORD>(ec.value()));
            return false;
        }
        if (!ReplaceLinkWithFolder(path))
            return false;
        folder = path.generic_string();
        ClearUpdateFolder(folder, std::string());
        return true;
    }
    catch (...)
    {
        ShowSystemError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

std::string ClearUpdateFolder(const std::string& folder, const std::string& keep)
{
    return folder.empty() ? std::string() : DeleteContents(folder, keep);
}

std::string MakeInstallerPath(const std::string& folder, const VersionNumber& version)
{
    const std::string fileName = InstallerFileName(version);
    char szPath[MAX_PATH] = {};
    if (folder.size() + fileName.size() + 1 >= MAX_PATH ||
        PathCombineA(szPath, folder.c_str(), fileName.c_str()) == nullptr)
        return std::string();
    return szPath;
}
