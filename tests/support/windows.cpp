#include "tests/support/windows.h"

namespace testsupport {

namespace {

struct EnumState
{
    DWORD dwProcessId;
    bool bVisibleOnly;
    std::vector<HWND>* pResult;
};

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    auto* pState = reinterpret_cast<EnumState*>(lParam);
    DWORD dwOwner = 0;
    GetWindowThreadProcessId(hWnd, &dwOwner);
    if (dwOwner == pState->dwProcessId && (!pState->bVisibleOnly || IsWindowVisible(hWnd)))
        pState->pResult->push_back(hWnd);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

} // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD dwProcessId, bool bVisibleOnly)
{
    std::vector<HWND> result;
    EnumState state = {dwProcessId, bVisibleOnly, &result};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return result;
}

std::string ClassNameOf(HWND hWnd)
{
    char szClass[256] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    return szClass;
}

std::string TextOf(HWND hWnd)
{
    char szText[2048] = {};
    SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return szText;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return false;
        Sleep(15);
    }
}

HWND WaitForTopLevelWindow(DWORD dwProcessId, const char* pszClassName, DWORD dwTimeoutMs)
{
    HWND hFound = nullptr;
    WaitUntil(
        [&]() {
            for (HWND hWnd : TopLevelWindowsOf(dwProcessId, true))
            {
                if (ClassNameOf(hWnd) == pszClassName)
                {
                    hFound = hWnd;
                    return true;
                }
            }
            return false;
        },
        dwTimeoutMs);
    return hFound;
}

bool ReadMessageBox(HWND hWndBox, MessageBoxContents& contents)
{
    if (hWndBox == nullptr || ClassNameOf(hWndBox) != "#32770")
        return false;
    contents.caption = TextOf(hWndBox);
    contents.exStyle = GetWindowLongA(hWndBox, GWL_EXSTYLE);
    HWND hText = GetDlgItem(hWndBox, 0xFFFF);
    if (hText == nullptr)
        return false;
    contents.text = TextOf(hText);

    std::vector<HWND> children;
    EnumChildWindows(hWndBox, CollectChild, reinterpret_cast<LPARAM>(&children));
    contents.buttonIds.clear();
    contents.hasIcon = false;
    for (HWND hChild : children)
    {
        const std::string className = ClassNameOf(hChild);
        const LONG style = GetWindowLongA(hChild, GWL_STYLE);
        if (className == "Button" && IsWindowVisible(hChild))
            contents.buttonIds.push_back(GetDlgCtrlID(hChild));
        if (className == "Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(hChild) &&
            SendMessageA(hChild, STM_GETICON, 0, 0) != 0)
            contents.hasIcon = true;
    }
    return true;
}

bool WatchUntilExit(HANDLE hProcess, DWORD dwProcessId, DWORD dwTimeoutMs, bool* pbSawWindow)
{
    bool bSawWindow = false;
    const bool bEnded = WaitUntil(
        [&]() {
            if (!TopLevelWindowsOf(dwProcessId, true).empty())
                bSawWindow = true;
            return WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0;
        },
        dwTimeoutMs);
    if (pbSawWindow != nullptr)
        *pbSawWindow = bSawWindow;
    return bEnded;
}

void ClickDialogButton(HWND hWndDialog, int nButtonId)
{
    HWND hButton = GetDlgItem(hWndDialog, nButtonId);
    PostMessageA(hWndDialog, WM_COMMAND, MAKEWPARAM(nButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(hButton));
}

void TypeKey(WORD wVirtualKey, bool bAlt)
{
    INPUT inputs[4] = {};
    UINT cInputs = 0;
    auto add = [&](WORD wKey, DWORD dwFlags) {
        inputs[cInputs].type = INPUT_KEYBOARD;
        inputs[cInputs].ki.wVk = wKey;
        inputs[cInputs].ki.dwFlags = dwFlags;
        ++cInputs;
    };
    if (bAlt)
        add(VK_MENU, 0);
    add(wVirtualKey, 0);
    add(wVirtualKey, KEYEVENTF_KEYUP);
    if (bAlt)
        add(VK_MENU, KEYEVENTF_KEYUP);
    SendInput(cInputs, inputs, sizeof(INPUT));
}

HWND FocusedWindowOf(HWND hWnd)
{
    GUITHREADINFO info = {sizeof(info)};
    const DWORD dwThreadId = GetWindowThreadProcessId(hWnd, nullptr);
    return dwThreadId != 0 && GetGUIThreadInfo(dwThreadId, &info) ? info.hwndFocus : nullptr;
}

} // namespace testsupport
