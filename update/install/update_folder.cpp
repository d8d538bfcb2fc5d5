#include "update/install/update_folder.h"

#include <windows.h>
#include <shlwapi.h>

#include <boost/filesystem.hpp>

#include <memory>
#include <new>

#include "framework/ansi_text.h"
#include "framework/handles.h"
#include "update/install/partial_installer.h"
#include "update/update_globals.h"
#include "update/info/update_info.h"

namespace {
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kLocalAppDataValue[] = "Local AppData";
constexpr DWORD kValueReadLimit = 260;

// The size of one block of a folder's listing.
constexpr DWORD kListBlock = 16 * 1024;

std::wstring Wide(const std::string& text)
{
    std::wstring wide;
    fw::AnsiToWide(text.c_str(), wide);
    return wide;
}

// Open as itself: a link is opened, not what it leads to. Held with access
// that counts for sharing (listing, deletion) and without sharing deletion,
// the entry can be neither renamed, deleted nor replaced until it is closed.
HANDLE OpenAsItself(const std::wstring& path, DWORD dwAccess)
{
    return CreateFileW(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

DWORD AttributesOf(HANDLE hFile)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    return GetFileInformationByHandle(hFile, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

// The path of what a handle holds, as the system names it; empty where the
// system cannot say.
std::wstring FinalPathOf(HANDLE hFile)
{
    wchar_t szPath[MAX_PATH * 2] = {};
    const DWORD cch = GetFinalPathNameByHandleW(hFile, szPath, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    return cch == 0 || cch >= MAX_PATH * 2 ? std::wstring() : std::wstring(szPath);
}

// Whether what is open is the entry of that name in the folder named
// folderFinal, and not what a link there leads to: some platforms follow a
// link that they are asked to open as itself, and show it as what it leads
// to. Where the system cannot name the folder, nothing is compared.
bool IsEntryOf(HANDLE hEntry, const std::wstring& folderFinal, const std::wstring& name)
{
    return folderFinal.empty() || lstrcmpiW(FinalPathOf(hEntry).c_str(), (folderFinal + L"\\" + name).c_str()) == 0;
}

// Deletes what the handle holds, as itself: a link goes, never what it
// leads to. It is gone once the handle closes.
bool DeleteThrough(HANDLE hFile, DWORD dwAttributes)
{
    // A read-only entry is as deletable for its owner as any other.
    if (dwAttributes & FILE_ATTRIBUTE_READONLY)
    {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = dwAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(hFile, FileBasicInfo, &basic, sizeof(basic));
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(hFile, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

std::wstring DeleteContents(HANDLE hFolder, const std::wstring& folder,
                            const std::vector<std::wstring>& keep);

// Deletes one entry of the folder, a sub-folder with all it holds; false
// when it stays. What is open decides, not what the listing said, which
// may have changed since.
bool DeleteEntry(const std::wstring& folder, const std::wstring& folderFinal, const std::wstring& name,
                 DWORD dwListed)
{
    const std::wstring path = folder + L"\\" + name;
    const DWORD dwList = (dwListed & FILE_ATTRIBUTE_DIRECTORY) ? FILE_LIST_DIRECTORY : 0;
    fw::CFileHandle entry(OpenAsItself(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | dwList));
    const DWORD dwAttributes = entry ? AttributesOf(entry.Get()) : INVALID_FILE_ATTRIBUTES;
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const bool bLink = (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Listed as a link but open as something else, or open under another
    // name: the system followed it, and what is open is not ours.
    if (((dwListed & FILE_ATTRIBUTE_REPARSE_POINT) && !bLink) || !IsEntryOf(entry.Get(), folderFinal, name))
        return false;
    // Listed through the handle that holds it, a sub-folder cannot be
    // swapped while it is emptied.
    if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) && !bLink)
        DeleteContents(entry.Get(), path, {});
    return DeleteThrough(entry.Get(), dwAttributes);
}

bool IsKept(const std::wstring& name, const std::vector<std::wstring>& keep)
{
    for (const std::wstring& kept : keep)
    {
        if (lstrcmpiW(name.c_str(), kept.c_str()) == 0)
            return true;
    }
    return false;
}

// Deletes what the folder that hFolder holds holds but keep, going into
// sub-folders but never through a link. Returns the name of the first file
// it leaves.
std::wstring DeleteContents(HANDLE hFolder, const std::wstring& folder,
                            const std::vector<std::wstring>& keep)
{
    std::wstring leftover;
    const std::wstring folderFinal = FinalPathOf(hFolder);
    std::unique_ptr<LONGLONG[]> block(new (std::nothrow) LONGLONG[kListBlock / sizeof(LONGLONG)]);
    while (block && GetFileInformationByHandleEx(hFolder, FileIdBothDirectoryInfo, block.get(), kListBlock))
    {
        const BYTE* pNext = reinterpret_cast<const BYTE*>(block.get());
        const FILE_ID_BOTH_DIR_INFO* pEntry;
        do
        {
            pEntry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(pNext);
            const std::wstring name(pEntry->FileName, pEntry->FileNameLength / sizeof(WCHAR));
            if (name != L"." && name != L".." && !IsKept(name, keep) &&
                !DeleteEntry(folder, folderFinal, name, pEntry->FileAttributes) &&
                !(pEntry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && leftover.empty())
                leftover = name;
            pNext += pEntry->NextEntryOffset;
        } while (pEntry->NextEntryOffset != 0);
    }
    return leftover;
}

// The installer is not kept where another machine serves it: what is there
// can change below whatever we hold, and the installer starts elevated. The
// folder may well be there, so the system's text for "not found" would
// mislead; what is refused is the kind of place.
bool IsNetworkFolder(const std::string& base)
{
    if (base.compare(0, 2, "\\\\") == 0 || base.compare(0, 2, "//") == 0 || PathIsNetworkPathA(base.c_str()))
        return true;
    char szRoot[MAX_PATH] = {};
    lstrcpynA(szRoot, base.c_str(), MAX_PATH);
    return PathStripToRootA(szRoot) && GetDriveTypeA(szRoot) == DRIVE_REMOTE;
}

// Removes a link in the place of one of our levels, as itself; false when
// what is there is no longer one.
bool RemoveLink(const std::string& path)
{
    fw::CFileHandle link(OpenAsItself(Wide(path), DELETE | FILE_READ_ATTRIBUTES));
    const DWORD dwAttributes = link ? AttributesOf(link.Get()) : INVALID_FILE_ATTRIBUTES;
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           DeleteThrough(link.Get(), dwAttributes);
}

// One of our own levels, made when missing and held as itself. A link in
// its place (a junction, a symbolic link) goes, once and as itself, for a
// real folder: the level is ours, and only the user's own programs can
// write where it lies. A link that cannot be removed as itself, one that
// comes back, or one that the system follows even when told not to, ends
// the run instead: removing it by its name could delete what it leads to.
DWORD HoldLevel(const std::string& path, const std::wstring& parentFinal, const wchar_t* pszName,
                fw::CFileHandle& held)
{
    for (int nAttempt = 0; nAttempt < 2; ++nAttempt)
    {
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return GetLastError();
        held.Reset(OpenAsItself(Wide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES));
        if (!held)
            return GetLastError();
        const DWORD dwHeld = AttributesOf(held.Get());
        if (dwHeld == INVALID_FILE_ATTRIBUTES || !(dwHeld & FILE_ATTRIBUTE_DIRECTORY))
            return ERROR_PATH_NOT_FOUND;
        const bool bLink = (dwHeld & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const DWORD dwNamed = GetFileAttributesA(path.c_str());
        const bool bNamedLink = dwNamed != INVALID_FILE_ATTRIBUTES && (dwNamed & FILE_ATTRIBUTE_REPARSE_POINT);
        if ((bNamedLink && !bLink) || !IsEntryOf(held.Get(), parentFinal, pszName))
            break;
        if (!bLink)
            return ERROR_SUCCESS;
        // Held without sharing deletion, the link is let go to be removed.
        held.Reset();
        if (nAttempt > 0 || !RemoveLink(path))
            break;
    }
    held.Reset();
    return ERROR_CANT_RESOLVE_FILENAME;
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

DWORD CUpdateFolder::Hold(const std::string& base, std::string& folder)
{
    Release();
    if (IsNetworkFolder(base))
        return ERROR_NOT_SUPPORTED;
    try
    {
        // Local AppData is where the profile puts it, through a link or not;
        // it is named as the system resolves it, and what is below is ours
        // and checked level by level.
        const boost::filesystem::path basePath(base);
        boost::system::error_code ec;
        boost::filesystem::create_directories(basePath, ec);
        if (ec)
            return static_cast<DWORD>(ec.value());
        fw::CFileHandle baseHandle(CreateFileA(base.c_str(), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        const boost::filesystem::path product = basePath / "Vexil ZSP";
        const boost::filesystem::path update = product / "Update";
        DWORD dwError = HoldLevel(product.string(), FinalPathOf(baseHandle.Get()), L"Vexil ZSP", m_product);
        if (dwError == ERROR_SUCCESS)
            dwError = HoldLevel(update.string(), FinalPathOf(m_product.Get()), L"Update", m_update);
        if (dwError != ERROR_SUCCESS)
        {
            Release();
            return dwError;
        }
        folder = update.generic_string();
        return ERROR_SUCCESS;
    }
    catch (...)
    {
        Release();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

void CUpdateFolder::Release()
{
    m_update.Reset();
    m_product.Reset();
}

bool PrepareUpdateFolderPath(std::string& folder, CUpdateFolder& held)
{
    char szLocalAppData[261] = {};
    if (!GetLocalAppDataFolder(szLocalAppData, 260))
        return false;
    const DWORD dwError = held.Hold(szLocalAppData, folder);
    if (dwError != ERROR_SUCCESS)
    {
        ShowSystemError(dwError);
        return false;
    }
    // What a download of an earlier run left to go on from stays, until
    // the update information says whether it is still wanted.
    ClearUpdateFolder(folder, FindPartNames(folder));
    return true;
}

std::string ClearUpdateFolder(const std::string& folder, const std::string& keep)
{
    return ClearUpdateFolder(folder, keep.empty() ? std::vector<std::string>() : std::vector<std::string>{keep});
}

std::string ClearUpdateFolder(const std::string& folder, const std::vector<std::string>& keep)
{
    if (folder.empty())
        return std::string();
    fw::CFileHandle listed(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!listed)
        return std::string();
    std::vector<std::wstring> kept;
    for (const std::string& name : keep)
        kept.push_back(Wide(name));
    const std::wstring leftover = DeleteContents(listed.Get(), Wide(folder), kept);
    // The name as the failure line shows it, in the code page.
    char szLeftover[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, leftover.c_str(), -1, szLeftover, MAX_PATH - 1, nullptr, nullptr);
    return szLeftover;
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
