#include "update/update_globals.h"

#include "framework/system_text.h"

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
    const std::string text = fw::SystemMessage(dwError, false);
    if (!text.empty())
        ShowError(text.c_str());
}

DWORD SystemErrorOf(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
}

std::string SystemErrorText(DWORD dwError)
{
    const std::string text = fw::SystemMessage(dwError);
    return text.empty() ? std::to_string(dwError) : text;
}
