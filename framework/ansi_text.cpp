#include "framework/ansi_text.h"

#include <windows.h>

#include <new>

namespace fw {

// Both run inside COM callbacks: an exhausted heap is a failed conversion,
// never an exception.
bool WideToAnsi(const wchar_t* pszWide, std::string& text) noexcept
{
    text.clear();
    if (pszWide == nullptr)
        return false;
    const int cb = WideCharToMultiByte(CP_ACP, 0, pszWide, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 0)
        return false;
    try
    {
        text.resize(static_cast<size_t>(cb));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (WideCharToMultiByte(CP_ACP, 0, pszWide, -1, &text[0], cb, nullptr, nullptr) <= 0)
    {
        text.clear();
        return false;
    }
    text.resize(static_cast<size_t>(cb) - 1);
    return true;
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
