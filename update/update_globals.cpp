#include "update/update_globals.h"

#include "framework/handles.h"

bool g_bManualMode = false;
BOOL g_bUserIsAdmin = FALSE;
UINT g_uActivateMessage = 0;

namespace {
constexpr UINT kErrorBoxStyle = MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;
}

void ShowError(const char* pszText)
{
    MessageBoxA(nullptr, pszText, nullptr, kErrorBoxStyle);
}

void ShowSystemError(DWORD dwError)
{
    char* pszMessage = nullptr;
    const DWORD cch = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                     nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                     reinterpret_cast<char*>(&pszMessage), 0, nullptr);
    fw::CLocalBlock message(pszMessage);
    if (cch != 0 && pszMessage != nullptr)
        ShowError(pszMessage);
}
