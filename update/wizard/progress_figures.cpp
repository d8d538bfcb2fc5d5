#include "update/wizard/progress_figures.h"

#include "update/resource_ids.h"
#include "update/wizard/resource_text.h"

namespace {

constexpr ULONGLONG kKilo = 1024;
// Weight of the newest sample in the smoothed rate.
constexpr double kRateWeight = 0.3;

} // namespace

std::string FormatByteSize(ULONGLONG cbSize)
{
    if (cbSize < kKilo)
        return FormatResourceString(IDS_SIZE_BYTES, static_cast<unsigned>(cbSize));
    const double dSize = static_cast<double>(cbSize);
    if (cbSize < kKilo * kKilo)
        return FormatResourceString(IDS_SIZE_KB, dSize / kKilo);
    if (cbSize < kKilo * kKilo * kKilo)
        return FormatResourceString(IDS_SIZE_MB, dSize / (kKilo * kKilo));
    return FormatResourceString(IDS_SIZE_GB, dSize / (kKilo * kKilo * kKilo));
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
