#include "framework/system_text.h"

#include "framework/handles.h"

namespace fw {

uint64_t NowTicks()
{
    FILETIME ftNow;
    GetSystemTimeAsFileTime(&ftNow);
    return (static_cast<uint64_t>(ftNow.dwHighDateTime) << 32) | ftNow.dwLowDateTime;
}

std::string LocalTimeText(uint64_t ftTicks, DWORD dwDateFlags, bool bWithTime)
{
    const FILETIME ftUtc = {static_cast<DWORD>(ftTicks), static_cast<DWORD>(ftTicks >> 32)};
    SYSTEMTIME stUtc;
    SYSTEMTIME stLocal;
    char szDate[80];
    char szTime[80];
    if (!FileTimeToSystemTime(&ftUtc, &stUtc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &stLocal) ||
        GetDateFormatA(LOCALE_USER_DEFAULT, dwDateFlags, &stLocal, nullptr, szDate,
                       sizeof(szDate)) == 0)
        return std::string();
    if (!bWithTime)
        return szDate;
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &stLocal, nullptr, szTime,
                       sizeof(szTime)) == 0)
        return std::string();
    return std::string(szDate) + " " + szTime;
}

std::string SystemMessage(DWORD dwError, bool bOneLine)
{
    char* pszMessage = nullptr;
    const DWORD cch = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&pszMessage), 0, nullptr);
    const CLocalBlock message(pszMessage);
    std::string text = cch != 0 && pszMessage != nullptr ? std::string(pszMessage, cch) : "";
    while (bOneLine && !text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace fw
