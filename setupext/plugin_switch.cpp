#include "setupext/plugin_switch.h"

#include <windows.h>

#include <shlwapi.h>

#include <cstring>

#include "framework/handles.h"
#include "setupext/host_path_table.h"

namespace setupext {

namespace {

const char kSettingsFileName[] = "ZSPlugin.ini";

using TurnOnPluginProc = void(WINAPI*)(int, int);

} // namespace

bool SwitchOnPlugin(bool bFirstFlag, int nSecondFlag, const char* pszFileName)
{
    char szPath[kcchPath];
    if (!LookUpHostPath(kProductDirEntry, szPath))
        return false;
    if (!PathAppendA(szPath, pszFileName))
        return false;

    fw::CModuleHandle plugin(LoadLibraryA(szPath));
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
    char szPath[kcchPath];
    {
        fw::CRegKeyHandle hostKey;
        if (RegOpenKeyA(HKEY_CURRENT_USER, kHostKey, hostKey.Receive()) != ERROR_SUCCESS)
            return std::nullopt;
        if (!ReadExpandedValue(hostKey.Get(), kWorkDirValue, szPath))
            return std::nullopt;
    }

    // The host writes the file name straight after the folder, without a
    // separator. A folder that leaves no room for it names no file at all.
    const size_t cchFolder = std::strlen(szPath);
    if (cchFolder + sizeof(kSettingsFileName) > sizeof(szPath))
        return std::nullopt;
    std::memcpy(szPath + cchFolder, kSettingsFileName, sizeof(kSettingsFileName));

    if (!PathFileExistsA(szPath))
        return false;
    return GetPrivateProfileIntA("AntiSpam", "Junk", 0, szPath) != 0;
}

} // namespace setupext
