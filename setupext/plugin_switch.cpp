#include "setupext/plugin_switch.h"

#include <windows.h>

#include <shlwapi.h>

#include <iterator>
#include <string>

#include "framework/handles.h"
#include "setupext/host_path_table.h"

namespace setupext {

namespace {

const TCHAR kSettingsFileName[] = TEXT("ZSPlugin.ini");

using TurnOnPluginProc = void(WINAPI*)(int, int);

bool IsSeparator(TCHAR ch)
{
    return ch == '\\' || ch == '/';
}

// From a drive's root or a network share: the same file whatever the
// current folder. "C:x" and "\\x" depend on the current folder of a drive.
bool IsFullPath(const TCHAR* pszPath)
{
    if (IsSeparator(pszPath[0]))
        return IsSeparator(pszPath[1]);
    return pszPath[0] != '\0' && pszPath[1] == ':' && IsSeparator(pszPath[2]);
}

} // namespace

bool SwitchOnPlugin(bool bFirstFlag, int nSecondFlag, const TCHAR* pszFileName)
{
    // Without a name the path would be the product folder itself, and the
    // loader would try the folder's name plus ".dll" beside it.
    if (*pszFileName == '\0')
        return false;
    TCHAR szPath[kcchPath];
    if (!LookUpHostPath(kProductDirEntry, szPath))
        return false;
    // A relative folder would be taken from the installer's current folder,
    // and the loader searches a plug-in's own folder only by its full path.
    if (!IsFullPath(szPath) || !PathAppend(szPath, pszFileName))
        return false;

    // The plug-in's own libraries come from its own folder and Windows' from
    // the system folder; never from the folder the installer was started
    // from (often a download folder), nor from PATH.
    fw::CModuleHandle plugin(LoadLibraryEx(
        szPath, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!plugin)
        return false;
    auto pfnTurnOnPlugin = reinterpret_cast<TurnOnPluginProc>(
        reinterpret_cast<void*>(GetProcAddress(plugin.Get(), "TurnOnPlugin")));
    if (pfnTurnOnPlugin == nullptr)
        return false;
    pfnTurnOnPlugin(bFirstFlag ? 1 : 0, nSecondFlag != 0 ? 1 : 0);
    return true;
}

std::optional<bool> ReadAntiSpamSwitch()
{
    TCHAR szPath[kcchPath];
    {
        fw::CRegKeyHandle hostKey;
        if (RegOpenKey(HKEY_CURRENT_USER, kHostKey, hostKey.Receive()) != ERROR_SUCCESS)
            return std::nullopt;
        if (!ReadExpandedValue(hostKey.Get(), kWorkDirValue, szPath))
            return std::nullopt;
    }

    // The host writes the file name straight after the folder, without a
    // separator. A folder that leaves no room for it names no file at all.
    using Traits = std::char_traits<TCHAR>;
    const size_t cchFolder = Traits::length(szPath);
    if (cchFolder + std::size(kSettingsFileName) > std::size(szPath))
        return std::nullopt;
    Traits::copy(szPath + cchFolder, kSettingsFileName, std::size(kSettingsFileName));

    if (!PathFileExists(szPath))
        return false;
    return GetPrivateProfileInt(TEXT("AntiSpam"), TEXT("Junk"), 0, szPath) != 0;
}

} // namespace setupext
