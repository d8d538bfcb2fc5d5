// Process-wide values of the updater, each set once during start-up before
// the message loop runs, and the start-up error boxes.
#pragma once

#include <windows.h>

#include <string>

extern bool g_bManualMode;
extern BOOL g_bUserIsAdmin;
extern UINT g_uActivateMessage;

// Product title: title of the main window, by which a running instance is
// found.
constexpr char kProductTitle[] = "Vexil Junquell for Kestrix!";
constexpr char kMainWindowClass[] = "B22A7DB8_DFA7_4737_A8FE_7F6196339463";
constexpr char kActivateMessageName[] = "ZSP Window Message";
constexpr char kRunMutexName[] = "ZSP.RUN.MUTEX";

// Ownerless, top-most error box with the system's default caption.
void ShowError(const char* pszText);
// The same box with the system's text for an error code; nothing is shown
// when the system has no text for it.
void ShowSystemError(DWORD dwError);
// The system's text for an error code without its line end, or the code's
// number where the system has no text.
std::string SystemErrorText(DWORD dwError);
// The code the system has a text for: the Win32 error that an HRESULT of
// that facility carries, any other HRESULT as it is.
DWORD SystemErrorOf(HRESULT hr);
