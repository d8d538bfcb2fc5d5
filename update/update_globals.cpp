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

namespace {

std::string SystemText(DWORD dwError)
{
    char* pszMessage = nullptr;
    const DWORD cch = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                     nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                     reinterpret_cast<char*>(&pszMessage), 0, nullptr);
    fw::CLocalBlock message(pszMessage);
    return cch != 0 && pszMessage != nullptr ? std::string(pszMessage, cch) : std::string();
}

} // namespace

void ShowSystemError(DWORD dwError)
{
    const std::string text = SystemText(dwError);
    if (!text.empty())
        ShowError(text.c_str());
}

DWORD SystemErrorOf(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
}

std::string SystemErrorText(DWORD dwError)
{
    std::string text = SystemText(dwError);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? std::to_string(dwError) : text;
}
