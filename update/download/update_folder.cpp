#include "update/download/update_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <boost/filesystem.hpp>

#include <cstring>

#include "framework/handles.h"
#include "update/update_globals.h"
#include "update/wizard/update_info.h"

namespace {
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kLocalAppDataValue[] = "Local AppData";
constexpr DWORD kValueReadLimit = 260;
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
        folder = path.generic_string();
        return true;
    }
    catch (...)
    {
        ShowSystemError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
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
