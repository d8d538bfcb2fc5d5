// The bounds of one transfer in time and size: how long it may take in all,
// how long it may receive nothing, and how large it may be. The downloader
// feeds it what the platform reports and asks it, on every report and on a
// timer, whether the transfer is still within its bounds.
//
// Plain portable C++: times are millisecond ticks of a 32-bit clock that
// wraps, as GetTickCount's does.
#pragma once

#include <cstdint>

struct TransferLimits
{
    static constexpr uint32_t kNoTimeLimit = 0;
    static constexpr uint64_t kNoSizeLimit = UINT64_MAX;

    // The whole transfer, counted from its start.
    uint32_t msTotal = kNoTimeLimit;
    // A stretch in which nothing arrives, counted from the start or from the
    // last bytes (or response) received.
    uint32_t msStall = kNoTimeLimit;
    // Neither the length the server announces nor the bytes received may
    // exceed this.
    uint64_t cbMax = kNoSizeLimit;
};

class TransferWatch
{
public:
    enum class Verdict
    {
        kWithinBounds,
        kTimedOut,
        kTooLarge,
    };

    void Start(uint32_t msNow, const TransferLimits& limits);

    // The server has answered, announcing a body of cbLength bytes or, when
    // bLengthKnown is false, none.
    void OnResponse(uint32_t msNow, bool bLengthKnown, uint64_t cbLength);
    // cbTotal bytes of the body have arrived so far, by any measure; a count
    // that does not grow is no sign of life.
    void OnReceived(uint32_t msNow, uint64_t cbTotal);

    Verdict Check(uint32_t msNow) const;

    uint64_t Received() const { return m_cbReceived; }
    bool LengthKnown() const { return m_bLengthKnown; }
    uint64_t AnnouncedLength() const { return m_cbAnnounced; }

private:
    TransferLimits m_limits;
    uint32_t m_msStart = 0;
    uint32_t m_msLastSign = 0;
    uint64_t m_cbReceived = 0;
    bool m_bLengthKnown = false;
    uint64_t m_cbAnnounced = 0;
};
