// The download page's figures: how much of how much has arrived and, once a
// rate is known, about how long the rest will take. The texts are strings of
// the resource library.
#pragma once

#include <windows.h>

#include <string>

// dValue (not negative) with one decimal in the format of the locale: its
// decimal separator and digit grouping, "1,023.9" in en-US, "1.023,9" in
// de-DE. The text is in the system's ANSI code page.
std::string FormatOneDecimal(double dValue, LCID lcid = LOCALE_USER_DEFAULT);

// "12.3 MB" and its kin: whole bytes below one kilobyte, otherwise one
// decimal of kilobytes, megabytes or gigabytes (of 1024), the number in the
// locale's format.
std::string FormatByteSize(ULONGLONG cbSize, LCID lcid = LOCALE_USER_DEFAULT);

// The next-action page's size line: string 175 formatted with the
// installer's size in megabytes, its number in the locale's format.
std::string FormatSizeLine(DWORD cbInstaller, LCID lcid = LOCALE_USER_DEFAULT);

// "about 2 minutes left" and its kin, rounded so that the figure does not
// jump about: seconds in fives below a minute, then minutes, then hours.
std::string FormatTimeLeft(ULONGLONG ullSeconds);

class CProgressFigures
{
public:
    // Figures are shown at most this often; a new figure every quarter of a
    // second reads as steady.
    static constexpr DWORD kIntervalMs = 250;

    CProgressFigures() { Restart(0); }

    // Forgets what came before: a new download starts at dwNowMs.
    void Restart(DWORD dwNowMs);

    // Takes the bytes received so far and the total (0 when unknown) at
    // dwNowMs. True, with the text, when the figures are due to be shown:
    // the first time, at the end, and otherwise once per interval.
    bool Update(ULONGLONG cbReceived, ULONGLONG cbTotal, DWORD dwNowMs, std::string& text);

private:
    // The rate counts only after it has been measured this long.
    static constexpr DWORD kRateSettleMs = 1000;

    DWORD m_dwStartMs;
    bool m_bShown;
    DWORD m_dwShownMs;
    DWORD m_dwSampleMs;
    ULONGLONG m_cbSample;
    // Bytes per millisecond, smoothed over the samples; 0 while unknown.
    double m_dRate;
};
