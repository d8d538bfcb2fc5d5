#include "update/install/product_holders.h"

#include <restartmanager.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/ansi_text.h"
#include "framework/handles.h"

namespace {

// The libraries of a product, which its folder holds a few of; beyond this
// many the Restart Manager is not asked and the modules decide.
constexpr size_t kMaxRegisteredFiles = 256;

// A 64-bit updater also sees the modules of 32-bit processes.
#ifdef _WIN64
constexpr DWORD kModuleSnapshotFlags = TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32;
#else
constexpr DWORD kModuleSnapshotFlags = TH32CS_SNAPMODULE;
#endif

std::string ProcessImagePath(DWORD dwProcessId)
{
    fw::CKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId));
    char szPath[MAX_PATH] = {};
    DWORD cchPath = MAX_PATH;
    if (!process || !QueryFullProcessImageNameA(process.Get(), 0, szPath, &cchPath))
        return std::string();
    return std::string(szPath, cchPath);
}

void AddHolder(std::vector<ProductHolder>& holders, DWORD dwProcessId, const std::string& exePath,
               const std::string& fallbackName)
{
    const auto known = std::find_if(holders.begin(), holders.end(), [&](const ProductHolder& h) {
        return h.dwProcessId == dwProcessId;
    });
    if (known != holders.end())
        return;
    std::string name = exePath.empty() ? std::string() : ProgramDisplayName(exePath);
    if (name.empty())
        name = fallbackName;
    holders.push_back({dwProcessId, name});
}

// The libraries that lie directly in the folder, as the Restart Manager
// takes file names.
std::vector<std::wstring> LibrariesIn(const std::string& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAA found = {};
    const std::string pattern = folder + "\\*.dll";
    fw::CFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search)
        return files;
    do
    {
        std::wstring path;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            fw::AnsiToWide((folder + "\\" + found.cFileName).c_str(), path))
            files.push_back(path);
    } while (files.size() <= kMaxRegisteredFiles && FindNextFileA(search.Get(), &found));
    return files;
}

// The holders that the Restart Manager lists; false when it cannot be asked.
bool AskRestartManager(const std::string& folder, std::vector<ProductHolder>& holders)
{
    const std::vector<std::wstring> files = LibrariesIn(folder);
    if (files.empty() || files.size() > kMaxRegisteredFiles)
        return false;
    std::vector<LPCWSTR> names;
    for (const std::wstring& file : files)
        names.push_back(file.c_str());

    fw::CRestartSession session;
    WCHAR szKey[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(session.Receive(), 0, szKey) != ERROR_SUCCESS)
        return false;
    if (RmRegisterResources(session.Get(), static_cast<UINT>(names.size()), names.data(), 0,
                            nullptr, 0, nullptr) != ERROR_SUCCESS)
        return false;
    // The list may grow between asking for its size and reading it.
    std::vector<RM_PROCESS_INFO> listed;
    for (int nTry = 0; nTry < 3; ++nTry)
    {
        UINT cNeeded = 0;
        UINT cListed = static_cast<UINT>(listed.size());
        DWORD dwReasons = 0;
        const DWORD dwResult =
            RmGetList(session.Get(), &cNeeded, &cListed, listed.data(), &dwReasons);
        if (dwResult == ERROR_SUCCESS)
        {
            listed.resize(cListed);
            const DWORD dwSelf = GetCurrentProcessId();
            for (const RM_PROCESS_INFO& info : listed)
            {
                if (info.Process.dwProcessId == dwSelf)
                    continue;
                std::string appName;
                fw::WideToAnsi(info.strAppName, appName);
                AddHolder(holders, info.Process.dwProcessId,
                          ProcessImagePath(info.Process.dwProcessId), appName);
            }
            return true;
        }
        if (dwResult != ERROR_MORE_DATA)
            return false;
        listed.resize(cNeeded);
    }
    return false;
}

void LookAtModules(const std::string& folder, std::vector<ProductHolder>& holders)
{
    fw::CSnapshotHandle processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes)
        return;
    const DWORD dwSelf = GetCurrentProcessId();
    PROCESSENTRY32 process = {sizeof(process)};
    for (BOOL bMore = Process32First(processes.Get(), &process); bMore;
         bMore = Process32Next(processes.Get(), &process))
    {
        if (process.th32ProcessID == dwSelf || process.th32ProcessID == 0)
            continue;
        fw::CSnapshotHandle modules(
            CreateToolhelp32Snapshot(kModuleSnapshotFlags, process.th32ProcessID));
        // A process of another bitness, or one that is ending, shows none.
        if (!modules)
            continue;
        MODULEENTRY32 module = {sizeof(module)};
        std::string exePath;
        for (BOOL bModule = Module32First(modules.Get(), &module); bModule;
             bModule = Module32Next(modules.Get(), &module))
        {
            // The first module is the program itself.
            if (exePath.empty())
                exePath = module.szExePath;
            if (IsInsideFolder(module.szExePath, folder))
            {
                AddHolder(holders, process.th32ProcessID, exePath, process.szExeFile);
                break;
            }
        }
    }
}

// The folder as the loader writes module paths: full, long names, without a
// trailing backslash. Empty when it does not name a folder.
std::string CanonicalFolder(const std::string& folder)
{
    char szFull[MAX_PATH] = {};
    const DWORD cchFull = GetFullPathNameA(folder.c_str(), MAX_PATH, szFull, nullptr);
    if (folder.empty() || cchFull == 0 || cchFull >= MAX_PATH)
        return std::string();
    char szLong[MAX_PATH] = {};
    const DWORD cchLong = GetLongPathNameA(szFull, szLong, MAX_PATH);
    const DWORD dwAttributes = GetFileAttributesA(szLong);
    if (cchLong == 0 || cchLong >= MAX_PATH || dwAttributes == INVALID_FILE_ATTRIBUTES ||
        !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::string();
    std::string canonical(szLong, cchLong);
    // A root such as C:\ keeps its backslash out of the comparison too.
    while (!canonical.empty() && canonical.back() == '\\')
        canonical.pop_back();
    return canonical;
}

} // namespace

std::vector<ProductHolder> FindProductHolders(const std::string& productFolder)
{
    std::vector<ProductHolder> holders;
    const std::string folder = CanonicalFolder(productFolder);
    if (folder.empty())
        return holders;
    if (AskRestartManager(folder, holders) && !holders.empty())
        return holders;
    LookAtModules(folder, holders);
    return holders;
}

std::string ProgramDisplayName(const std::string& exePath)
{
    const char* pszFileName = PathFindFileNameA(exePath.c_str());
    DWORD dwIgnored = 0;
    const DWORD cbInfo = GetFileVersionInfoSizeA(exePath.c_str(), &dwIgnored);
    std::vector<char> info(cbInfo);
    if (cbInfo == 0 || !GetFileVersionInfoA(exePath.c_str(), 0, cbInfo, info.data()))
        return pszFileName;

    // The description in the program's first language, else in US English.
    struct Translation
    {
        WORD wLanguage;
        WORD wCodePage;
    };
    std::vector<Translation> translations;
    void* pTranslations = nullptr;
    UINT cbTranslations = 0;
    if (VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &pTranslations,
                       &cbTranslations) &&
        cbTranslations >= sizeof(Translation))
        translations.push_back(*static_cast<const Translation*>(pTranslations));
    translations.push_back({0x0409, 1200});
    translations.push_back({0x0409, 1252});
    for (const Translation& translation : translations)
    {
        char szQuery[64];
        std::snprintf(szQuery, sizeof(szQuery), "\\StringFileInfo\\%04x%04x\\FileDescription",
                      translation.wLanguage, translation.wCodePage);
        void* pText = nullptr;
        UINT cchText = 0;
        if (VerQueryValueA(info.data(), szQuery, &pText, &cchText) && cchText > 1)
        {
            const char* pszText = static_cast<const char*>(pText);
            const std::string description(pszText, strnlen(pszText, cchText));
            if (description.find_first_not_of(' ') != std::string::npos)
                return description;
        }
    }
    return pszFileName;
}

bool IsInsideFolder(const char* pszPath, const std::string& folder)
{
    const size_t cchFolder = folder.size();
    if (cchFolder == 0 || std::strlen(pszPath) <= cchFolder + 1 || pszPath[cchFolder] != '\\')
        return false;
    // As the file system compares names: in UTF-16 from the ANSI code page,
    // the case of every letter ignored. The invariant locale would read the
    // 8-bit text in code page 1252 and tell "Я" from "я" under 1251.
    std::wstring widePath;
    std::wstring wideFolder;
    if (!fw::AnsiToWide(std::string(pszPath, cchFolder).c_str(), widePath) ||
        !fw::AnsiToWide(folder.c_str(), wideFolder))
        return false;
    return CompareStringOrdinal(widePath.c_str(), static_cast<int>(widePath.size()),
                                wideFolder.c_str(), static_cast<int>(wideFolder.size()),
                                TRUE) == CSTR_EQUAL;
}

bool IsSearchableProductFolder(const std::string& folder, UINT(WINAPI* pfnDriveType)(LPCSTR))
{
    const auto isSeparator = [](char ch) { return ch == '\\' || ch == '/'; };
    // Only "X:\..." is a local full path: not "\\server", "\\?\", "\x" nor "X:x".
    const char chDrive = static_cast<char>(folder.empty() ? 0 : folder[0] | 0x20);
    if (folder.size() < 3 || chDrive < 'a' || chDrive > 'z' || folder[1] != ':' ||
        !isSeparator(folder[2]))
        return false;
    const char szRoot[] = {folder[0], ':', '\\', '\0'};
    if (pfnDriveType(szRoot) == DRIVE_REMOTE)
        return false;
    // The system drops a step of dots and blanks alone, or reads it as this
    // folder or the one above.
    size_t cSteps = 0;
    for (size_t nStart = 3; nStart < folder.size();)
    {
        const auto stepEnd = std::find_if(folder.begin() + nStart, folder.end(), isSeparator);
        const std::string step(folder.begin() + nStart, stepEnd);
        if (!step.empty())
        {
            if (step.find_first_not_of(". ") == std::string::npos)
                return false;
            ++cSteps;
        }
        nStart += step.size() + 1;
    }
    return cSteps != 0;
}

std::string JoinHolderNames(const std::vector<ProductHolder>& holders)
{
    std::vector<std::string> names;
    for (const ProductHolder& holder : holders)
    {
        if (std::find(names.begin(), names.end(), holder.name) == names.end())
            names.push_back(holder.name);
    }
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}
