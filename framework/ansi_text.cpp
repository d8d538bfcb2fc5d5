#include "framework/ansi_text.h"

#include <windows.h>

#include <vector>

namespace fw {

bool WideToAnsi(const wchar_t* pszWide, std::string& text)
{
    text.clear();
    if (pszWide == nullptr)
        return false;
    const int cb = WideCharToMultiByte(CP_ACP, 0, pszWide, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 0)
        return false;
    std::vector<char> buffer(static_cast<size_t>(cb));
    if (WideCharToMultiByte(CP_ACP, 0, pszWide, -1, buffer.data(), cb, nullptr, nullptr) <= 0)
        return false;
    text.assign(buffer.data());
    return true;
}

bool AnsiToWide(const char* pszAnsi, std::wstring& text)
{
    text.clear();
    if (pszAnsi == nullptr)
        return false;
    const int cch = MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, nullptr, 0);
    if (cch <= 0)
        return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(cch));
    if (MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, buffer.data(), cch) <= 0)
        return false;
    text.assign(buffer.data());
    return true;
}

} // namespace fw
