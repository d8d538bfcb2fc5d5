// The sample installer of the demo: what the updater downloads and starts
// in place of the product's real installer. It installs nothing; it only
// shows that it was started, in a log line, in the registry and in a small
// window, so that a demo or a test can tell that an update ran end to end.
// The registry also tells what lay beside it in its folder as it started.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>

#include "framework/handles.h"

namespace {

constexpr char kLogVariable[] = "ZSP_SAMPLE_INSTALLER_LOG";
constexpr char kDefaultLogName[] = "zsp-sample-installer.log";
constexpr char kRecordKey[] = "Software\\Vexil ZSP Sample Installer";
constexpr char kNamePrefix[] = "vxzsp-";
constexpr char kNameSuffix[] = ".exe";
constexpr char kUnknownVersion[] = "unknown";
// Nothing is left running when nobody closes the window.
constexpr UINT kLifetimeMs = 10 * 60 * 1000;
constexpr UINT_PTR kLifetimeTimer = 1;

// The numbers of the window's resources in sample_installer.rc (1003 is
// its fixed second line, which the program never changes).
constexpr int kStartedDialog = 100;
constexpr int kStartedIcon = 1001;
constexpr int kStartedText = 1002;

// The version is what the file name holds between "vxzsp-" and ".exe", as
// the updater names the installer it downloads.
void VersionFromFileName(char* pszVersion, size_t cchVersion)
{
    lstrcpynA(pszVersion, kUnknownVersion, static_cast<int>(cchVersion));
    char szPath[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, szPath, MAX_PATH) == 0)
        return;
    const char* pszName = PathFindFileNameA(szPath);
    const size_t cchName = lstrlenA(pszName);
    const size_t cchPrefix = sizeof(kNamePrefix) - 1;
    const size_t cchSuffix = sizeof(kNameSuffix) - 1;
    if (cchName <= cchPrefix + cchSuffix || StrCmpNIA(pszName, kNamePrefix, cchPrefix) != 0 ||
        lstrcmpiA(pszName + cchName - cchSuffix, kNameSuffix) != 0)
        return;
    const size_t cchMiddle = cchName - cchPrefix - cchSuffix;
    if (cchMiddle >= cchVersion)
        return;
    // lstrcpyn counts the terminating NUL.
    lstrcpynA(pszVersion, pszName + cchPrefix, static_cast<int>(cchMiddle + 1));
}

// The log named by the environment, or one in the temporary folder.
bool LogPath(char* pszPath, DWORD cchPath)
{
    const DWORD cchVariable = GetEnvironmentVariableA(kLogVariable, pszPath, cchPath);
    if (cchVariable > 0 && cchVariable < cchPath)
        return true;
    const DWORD cchTemp = GetTempPathA(cchPath, pszPath);
    if (cchTemp == 0 || cchTemp >= cchPath)
        return false;
    return PathAppendA(pszPath, kDefaultLogName) != FALSE;
}

void AppendLogLine(const char* pszVersion)
{
    char szPath[MAX_PATH] = {};
    if (!LogPath(szPath, MAX_PATH))
        return;
    // FILE_APPEND_DATA alone makes every write land at the end, even when
    // two starts write at once.
    fw::CFileHandle file(CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    char szLine[160] = {};
    const int cchLine = snprintf(szLine, sizeof(szLine), "started %s pid %lu\r\n", pszVersion,
                                 GetCurrentProcessId());
    if (cchLine <= 0 || static_cast<size_t>(cchLine) >= sizeof(szLine))
        return;
    DWORD cbWritten = 0;
    WriteFile(file.Get(), szLine, static_cast<DWORD>(cchLine), &cbWritten, nullptr);
}

// The names in the program's own folder, split by "|" (no file name holds
// one), a sub-folder's with a backslash after it; cut short where the
// buffer ends.
void ListOwnFolder(char* pszList, size_t cchList)
{
    pszList[0] = '\0';
    char szPattern[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, szPattern, MAX_PATH) == 0 || !PathRemoveFileSpecA(szPattern) ||
        !PathAppendA(szPattern, "*"))
        return;
    WIN32_FIND_DATAA data = {};
    fw::CFindHandle find(FindFirstFileA(szPattern, &data));
    if (!find)
        return;
    const char* pszSeparator = "";
    do
    {
        if (lstrcmpA(data.cFileName, ".") == 0 || lstrcmpA(data.cFileName, "..") == 0)
            continue;
        const size_t cchUsed = lstrlenA(pszList);
        snprintf(pszList + cchUsed, cchList - cchUsed, "%s%s%s", pszSeparator, data.cFileName,
                 (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : "");
        pszSeparator = "|";
    } while (FindNextFileA(find.Get(), &data));
}

void RecordInRegistry(const char* pszVersion, const char* pszFolder)
{
    fw::CRegKeyHandle key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key.Get(), "LastVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszVersion),
                   static_cast<DWORD>(lstrlenA(pszVersion) + 1));
    const DWORD dwPid = GetCurrentProcessId();
    RegSetValueExA(key.Get(), "LastPid", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwPid),
                   sizeof(dwPid));
    RegSetValueExA(key.Get(), "LastFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszFolder),
                   static_cast<DWORD>(lstrlenA(pszFolder) + 1));
}

INT_PTR CALLBACK StartedDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        char szText[256] = {};
        snprintf(szText, sizeof(szText), "Setup of Vexil Junquell for Kestrix! %s has started.",
                 reinterpret_cast<const char*>(lParam));
        SetDlgItemTextA(hDlg, kStartedText, szText);
        SendDlgItemMessageA(hDlg, kStartedIcon, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_INFORMATION)), 0);
        SetTimer(hDlg, kLifetimeTimer, kLifetimeMs, nullptr);
        // Started by the updater, which ends right after: the window must
        // not open behind whatever the user looks at.
        SetForegroundWindow(hDlg);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kLifetimeTimer)
            EndDialog(hDlg, 0);
        return TRUE;
    case WM_COMMAND:
        // The button, Enter, Esc and the close box all end the program.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(hDlg, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    char szVersion[64] = {};
    VersionFromFileName(szVersion, sizeof(szVersion));
    AppendLogLine(szVersion);
    char szFolder[1024] = {};
    ListOwnFolder(szFolder, sizeof(szFolder));
    RecordInRegistry(szVersion, szFolder);

    // The manifest asks for the themed common controls, which must be
    // loaded before the dialog is made.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(kStartedDialog), nullptr, StartedDialogProc,
                    reinterpret_cast<LPARAM>(szVersion));
    return 0;
}
