#include "framework/ansi_text.h"

#include <windows.h>

#include <new>

namespace fw {

namespace {

// Both run inside COM callbacks: an exhausted heap is a failed conversion,
// never an exception.
bool ConvertWide(const wchar_t* pszWide, DWORD dwFlags, std::string& text) noexcept
{
    text.clear();
    if (pszWide == nullptr)
        return false;
    const bool bExact = (dwFlags & WC_NO_BEST_FIT_CHARS) != 0;
    BOOL bDefaultUsed = FALSE;
    const int cb = WideCharToMultiByte(CP_ACP, dwFlags, pszWide, -1, nullptr, 0, nullptr,
                                       bExact ? &bDefaultUsed : nullptr);
    if (cb <= 0 || bDefaultUsed)
        return false;
    try
    {
        text.resize(static_cast<size_t>(cb));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (WideCharToMultiByte(CP_ACP, dwFlags, pszWide, -1, &text[0], cb, nullptr,
                            bExact ? &bDefaultUsed : nullptr) <= 0 ||
        bDefaultUsed)
    {
        text.clear();
        return false;
    }
    text.resize(static_cast<size_t>(cb) - 1);
    return true;
}

} // namespace

bool WideToAnsi(const wchar_t* pszWide, std::string& text) noexcept
{
    return ConvertWide(pszWide, 0, text);
}

bool WideToAnsiExact(const wchar_t* pszWide, std::string& text) noexcept
{
    return ConvertWide(pszWide, WC_NO_BEST_FIT_CHARS, text);
}

bool AnsiToWide(const char* pszAnsi, std::wstring& text) noexcept
{
    text.clear();
    if (pszAnsi == nullptr)
        return false;
    const int cch = MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, nullptr, 0);
    if (cch <= 0)
        return false;
    try
    {
        text.resize(static_cast<size_t>(cch));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, &text[0], cch) <= 0)
    {
        text.clear();
        return false;
    }
    text.resize(static_cast<size_t>(cch) - 1);
    return true;
}

} // namespace fw
