// Finding and reading the windows of a program under test from outside, as
// a user sees them, and pressing their buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

std::vector<HWND> TopLevelWindowsOf(DWORD dwProcessId, bool bVisibleOnly);

std::string ClassNameOf(HWND hWnd);
std::string TextOf(HWND hWnd);

// Polls every 15 ms until the predicate holds or the time runs out.
bool WaitUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs);

// The first visible top-level window of the process with that class, or
// null.
HWND WaitForTopLevelWindow(DWORD dwProcessId, const char* pszClassName, DWORD dwTimeoutMs);

// What a message box shows.
struct MessageBoxContents
{
    std::string caption;
    std::string text;
    LONG exStyle = 0;
    bool hasIcon = false;
    std::vector<int> buttonIds;
};

// A message box is a dialog of class "#32770" whose text is the static
// control 65535.
bool ReadMessageBox(HWND hWndBox, MessageBoxContents& contents);

// Watches a running process until it ends or the time is up; tells whether
// it showed any window meanwhile. False on time-out.
bool WatchUntilExit(HANDLE hProcess, DWORD dwProcessId, DWORD dwTimeoutMs, bool* pbSawWindow);

// Presses a button of a dialog the way a click arrives.
void ClickDialogButton(HWND hWndDialog, int nButtonId);

// Types a key on the keyboard, with Alt held if asked: it goes to the
// foreground window, as a user's key does.
void TypeKey(WORD wVirtualKey, bool bAlt = false);

// The window that has the keyboard focus in the thread of hWnd, or null.
HWND FocusedWindowOf(HWND hWnd);

} // namespace testsupport
