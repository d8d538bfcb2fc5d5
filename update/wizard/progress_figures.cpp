#include "update/wizard/progress_figures.h"

#include <cstdio>
#include <cstring>

#include "update/resource_ids.h"
#include "update/wizard/resource_text.h"

namespace {

constexpr ULONGLONG kKilo = 1024;
// Weight of the newest sample in the smoothed rate.
constexpr double kRateWeight = 0.3;
// Formatted lines are cut where the resource texts are.
constexpr size_t kMaxLineChars = 259;
// Our text is in the system's code page, whatever the locale's own is.
constexpr DWORD kAnsiText = LOCALE_USE_CP_ACP;

// The runtime's "%.1f" of dValue, with the decimal point of the runtime's
// locale; false if it does not fit.
template <size_t N>
bool RuntimeOneDecimal(double dValue, char (&szText)[N])
{
    const int cch = std::snprintf(szText, N, "%.1f", dValue);
    return cch >= 3 && static_cast<size_t>(cch) < N;
}

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") in the form NUMBERFMT takes (3, 32,
// 30): a rule that ends in 0 repeats its last group, one that does not ends
// grouping after it.
UINT GroupingOf(const char* pszGrouping)
{
    UINT uGrouping = 0;
    UINT uLast = 0;
    int nDigits = 0;
    for (const char* p = pszGrouping; *p != '\0' && nDigits < 4; ++p)
    {
        if (*p < '0' || *p > '9')
            continue;
        uLast = static_cast<UINT>(*p - '0');
        uGrouping = uGrouping * 10 + uLast;
        ++nDigits;
    }
    return nDigits > 0 && uLast == 0 ? uGrouping / 10 : uGrouping * 10;
}

} // namespace

std::string FormatOneDecimal(double dValue, LCID lcid)
{
    char szRuntime[64] = {};
    if (!RuntimeOneDecimal(dValue, szRuntime))
        return std::string();
    // The platform's formatter reads its input in one fixed form: digits, a
    // '.', the decimal. The runtime's rounding stays.
    const size_t cchRuntime = std::strlen(szRuntime);
    std::string plain;
    for (size_t i = 0; i < cchRuntime && szRuntime[i] >= '0' && szRuntime[i] <= '9'; ++i)
        plain += szRuntime[i];
    plain += '.';
    plain += szRuntime[cchRuntime - 1];

    char szDecimal[8] = {};
    char szThousand[8] = {};
    char szGrouping[16] = {};
    DWORD dwLeadingZero = 1;
    if (GetLocaleInfoA(lcid, LOCALE_SDECIMAL | kAnsiText, szDecimal, sizeof(szDecimal)) == 0 ||
        GetLocaleInfoA(lcid, LOCALE_STHOUSAND | kAnsiText, szThousand, sizeof(szThousand)) == 0 ||
        GetLocaleInfoA(lcid, LOCALE_SGROUPING | kAnsiText, szGrouping, sizeof(szGrouping)) == 0 ||
        GetLocaleInfoA(lcid, LOCALE_ILZERO | LOCALE_RETURN_NUMBER | kAnsiText,
                       reinterpret_cast<char*>(&dwLeadingZero), sizeof(dwLeadingZero)) == 0)
        return szRuntime;

    NUMBERFMTA format = {};
    format.NumDigits = 1;
    format.LeadingZero = dwLeadingZero;
    format.Grouping = GroupingOf(szGrouping);
    format.lpDecimalSep = szDecimal;
    format.lpThousandSep = szThousand;
    format.NegativeOrder = 1;
    char szText[64] = {};
    if (GetNumberFormatA(lcid, kAnsiText, plain.c_str(), &format, szText, sizeof(szText)) == 0)
        return szRuntime;
    return szText;
}

std::string FormatByteSize(ULONGLONG cbSize, LCID lcid)
{
    if (cbSize < kKilo)
        return FormatResourceString(IDS_SIZE_BYTES, static_cast<unsigned>(cbSize));
    const double dSize = static_cast<double>(cbSize);
    if (cbSize < kKilo * kKilo)
        return FormatResourceString(IDS_SIZE_KB, FormatOneDecimal(dSize / kKilo, lcid).c_str());
    if (cbSize < kKilo * kKilo * kKilo)
        return FormatResourceString(IDS_SIZE_MB,
                                    FormatOneDecimal(dSize / (kKilo * kKilo), lcid).c_str());
    return FormatResourceString(IDS_SIZE_GB,
                                FormatOneDecimal(dSize / (kKilo * kKilo * kKilo), lcid).c_str());
}

std::string FormatSizeLine(DWORD cbInstaller, LCID lcid)
{
    const double dMegabytes = static_cast<double>(cbInstaller) * (1.0 / 1024) * (1.0 / 1024);
    std::string line = FormatResourceString(IDS_SIZE_LINE, dMegabytes);
    // The string takes its number in the printf manner, which writes it in
    // the runtime's locale: the user's form takes its place.
    char szRuntime[64] = {};
    if (!RuntimeOneDecimal(dMegabytes, szRuntime))
        return line;
    const size_t pos = line.find(szRuntime);
    if (pos == std::string::npos)
        return line;
    line.replace(pos, std::strlen(szRuntime), FormatOneDecimal(dMegabytes, lcid));
    if (line.size() > kMaxLineChars)
        line.resize(kMaxLineChars);
    return line;
}

std::string FormatTimeLeft(ULONGLONG ullSeconds)
{
    if (ullSeconds < 55)
    {
        const ULONGLONG ullFives = (ullSeconds + 4) / 5;
        return FormatResourceString(IDS_TIME_LEFT_SECONDS,
                                    static_cast<unsigned>(ullFives > 0 ? ullFives * 5 : 5));
    }
    const ULONGLONG ullMinutes = (ullSeconds + 30) / 60;
    if (ullMinutes < 2)
        return LoadResourceString(IDS_TIME_LEFT_MINUTE);
    if (ullMinutes < 60)
        return FormatResourceString(IDS_TIME_LEFT_MINUTES, static_cast<unsigned>(ullMinutes));
    const ULONGLONG ullHours = (ullSeconds + 1800) / 3600;
    if (ullHours < 2)
        return LoadResourceString(IDS_TIME_LEFT_HOUR);
    return FormatResourceString(IDS_TIME_LEFT_HOURS, static_cast<unsigned>(ullHours));
}

void CProgressFigures::Restart(DWORD dwNowMs)
{
    m_dwStartMs = dwNowMs;
    m_bShown = false;
    m_dwShownMs = dwNowMs;
    m_dwSampleMs = dwNowMs;
    m_cbSample = 0;
    m_dRate = 0;
}

bool CProgressFigures::Update(ULONGLONG cbReceived, ULONGLONG cbTotal, DWORD dwNowMs,
                              std::string& text)
{
    const DWORD dwSinceSample = dwNowMs - m_dwSampleMs;
    if (dwSinceSample >= kIntervalMs && cbReceived >= m_cbSample)
    {
        const double dSampleRate = static_cast<double>(cbReceived - m_cbSample) / dwSinceSample;
        m_dRate = m_dRate > 0 ? m_dRate + kRateWeight * (dSampleRate - m_dRate) : dSampleRate;
        m_dwSampleMs = dwNowMs;
        m_cbSample = cbReceived;
    }

    const bool bFinished = cbTotal != 0 && cbReceived >= cbTotal;
    if (m_bShown && !bFinished && dwNowMs - m_dwShownMs < kIntervalMs)
        return false;
    m_bShown = true;
    m_dwShownMs = dwNowMs;

    if (cbTotal == 0)
    {
        text = FormatResourceString(IDS_FIGURES_RECEIVED, FormatByteSize(cbReceived).c_str());
        return true;
    }
    const std::string received = FormatByteSize(cbReceived);
    const std::string total = FormatByteSize(cbTotal);
    const bool bRateKnown = m_dRate > 0 && dwNowMs - m_dwStartMs >= kRateSettleMs;
    if (bFinished || !bRateKnown)
    {
        text = FormatResourceString(IDS_FIGURES_OF, received.c_str(), total.c_str());
        return true;
    }
    const double dSecondsLeft = static_cast<double>(cbTotal - cbReceived) / m_dRate / 1000;
    text = FormatResourceString(IDS_FIGURES_OF_TIME_LEFT, received.c_str(), total.c_str(),
                                FormatTimeLeft(static_cast<ULONGLONG>(dSecondsLeft + 0.5)).c_str());
    return true;
}
