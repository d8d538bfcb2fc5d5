#include "update/download/transfer_watch.h"

void TransferWatch::Start(uint32_t msNow, const TransferLimits& limits)
{
    *this = TransferWatch();
    m_limits = limits;
    m_msStart = msNow;
    m_msLastSign = msNow;
}

void TransferWatch::OnResponse(uint32_t msNow, bool bLengthKnown, uint64_t cbLength)
{
    m_msLastSign = msNow;
    m_bLengthKnown = bLengthKnown;
    m_cbAnnounced = bLengthKnown ? cbLength : 0;
}

void TransferWatch::OnReceived(uint32_t msNow, uint64_t cbTotal)
{
    if (cbTotal <= m_cbReceived)
        return;
    m_cbReceived = cbTotal;
    m_msLastSign = msNow;
}

TransferWatch::Verdict TransferWatch::Check(uint32_t msNow) const
{
    if (m_cbReceived > m_limits.cbMax || (m_bLengthKnown && m_cbAnnounced > m_limits.cbMax))
        return Verdict::kTooLarge;
    // Unsigned differences stay right across the clock's wrap.
    if (m_limits.msTotal != TransferLimits::kNoTimeLimit &&
        static_cast<uint32_t>(msNow - m_msStart) >= m_limits.msTotal)
        return Verdict::kTimedOut;
    if (m_limits.msStall != TransferLimits::kNoTimeLimit &&
        static_cast<uint32_t>(msNow - m_msLastSign) >= m_limits.msStall)
        return Verdict::kTimedOut;
    return Verdict::kWithinBounds;
}
