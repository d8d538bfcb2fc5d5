#include "update/info/utc_time.h"

#include <cstdio>

namespace {

constexpr uint64_t kSecondsPerDay = 86400;
constexpr unsigned kFirstYear = 1601;
constexpr unsigned kLastYear = 9999;

bool IsLeapYear(unsigned nYear)
{
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

unsigned DaysInMonth(unsigned nYear, unsigned nMonth)
{
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return nMonth == 2 && IsLeapYear(nYear) ? 29 : kDays[nMonth - 1];
}

// Days from 1 January 1601 to 1 January of the year: 1601 starts a cycle
// of 400 years, so the leap years before it are counted plainly.
uint64_t DaysBeforeYear(unsigned nYear)
{
    const uint64_t nYears = nYear - kFirstYear;
    return nYears * 365 + nYears / 4 - nYears / 100 + nYears / 400;
}

// The decimal number of the digits at text[nFrom], nCount of them; false
// if any is not a digit.
bool ReadDigits(const std::string& text, size_t nFrom, size_t nCount, unsigned& nValue)
{
    nValue = 0;
    for (size_t i = nFrom; i < nFrom + nCount; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        nValue = nValue * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

} // namespace

bool ParseUtcTime(const std::string& text, uint64_t& ticks)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return false;
    unsigned nYear, nMonth, nDay, nHour, nMinute, nSecond;
    if (!ReadDigits(text, 0, 4, nYear) || !ReadDigits(text, 5, 2, nMonth) ||
        !ReadDigits(text, 8, 2, nDay) || !ReadDigits(text, 11, 2, nHour) ||
        !ReadDigits(text, 14, 2, nMinute) || !ReadDigits(text, 17, 2, nSecond))
        return false;
    if (nYear < kFirstYear || nYear > kLastYear || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > DaysInMonth(nYear, nMonth) || nHour > 23 || nMinute > 59 || nSecond > 59)
        return false;
    uint64_t nDays = DaysBeforeYear(nYear) + nDay - 1;
    for (unsigned m = 1; m < nMonth; ++m)
        nDays += DaysInMonth(nYear, m);
    ticks = ((nDays * kSecondsPerDay) + nHour * 3600 + nMinute * 60 + nSecond) * kTicksPerSecond;
    return true;
}

std::string UtcTimeText(uint64_t ticks)
{
    uint64_t nSeconds = ticks / kTicksPerSecond;
    uint64_t nDays = nSeconds / kSecondsPerDay;
    nSeconds %= kSecondsPerDay;
    // Whole cycles of 400 years first, each 146097 days long.
    unsigned nYear = kFirstYear + 400 * static_cast<unsigned>(nDays / 146097);
    nDays %= 146097;
    while (nDays >= (IsLeapYear(nYear) ? 366u : 365u))
    {
        nDays -= IsLeapYear(nYear) ? 366u : 365u;
        ++nYear;
    }
    unsigned nMonth = 1;
    while (nDays >= DaysInMonth(nYear, nMonth))
    {
        nDays -= DaysInMonth(nYear, nMonth);
        ++nMonth;
    }
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%04u-%02u-%02uT%02u:%02u:%02uZ", nYear, nMonth,
                  static_cast<unsigned>(nDays) + 1, static_cast<unsigned>(nSeconds / 3600),
                  static_cast<unsigned>(nSeconds / 60 % 60), static_cast<unsigned>(nSeconds % 60));
    return szText;
}
