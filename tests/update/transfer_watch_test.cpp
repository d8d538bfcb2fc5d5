// The bounds of a transfer in time and size, on a clock of our own.
#include <gtest/gtest.h>

#include "update/download/installer_tries.h"
#include "update/download/transfer_watch.h"
#include "update/result_codes.h"

namespace {

using Verdict = TransferWatch::Verdict;

TEST(TransferWatch, AStallIsCountedFromTheLastBytesThatCame)
{
    TransferLimits limits;
    limits.msStall = 60000;
    TransferWatch watch;
    watch.Start(1000, limits);
    EXPECT_EQ(watch.Check(60999), Verdict::kWithinBounds);
    EXPECT_EQ(watch.Check(61000), Verdict::kTimedOut);

    // A slow transfer that keeps receiving is never cut off, however long
    // it takes in all.
    for (uint32_t ms = 1000, cb = 1; ms < 600000; ms += 50000, ++cb)
    {
        watch.OnReceived(ms, cb);
        EXPECT_EQ(watch.Check(ms + 59999), Verdict::kWithinBounds) << ms;
    }
    // The same count again is no sign of life; the response is.
    watch.OnReceived(700000, 12);
    EXPECT_EQ(watch.Check(751000), Verdict::kTimedOut);
    watch.OnResponse(751000, false, 0);
    EXPECT_EQ(watch.Check(810999), Verdict::kWithinBounds);
}

TEST(TransferWatch, ATotalLimitHoldsWhateverArrives)
{
    TransferLimits limits;
    limits.msTotal = 60000;
    TransferWatch watch;
    // Across the wrap of the 32-bit clock.
    watch.Start(0xFFFFF000u, limits);
    watch.OnResponse(0xFFFFF100u, true, 10);
    watch.OnReceived(20000, 5);
    EXPECT_EQ(watch.Check(20000), Verdict::kWithinBounds);
    EXPECT_EQ(watch.Check(60000 - 0x1000), Verdict::kTimedOut);
}

TEST(TransferWatch, SizeIsBoundedByTheAnnouncedLengthAndTheBytesReceived)
{
    TransferLimits limits;
    limits.cbMax = 65536;
    TransferWatch watch;
    watch.Start(0, limits);
    watch.OnResponse(1, true, 65536);
    EXPECT_EQ(watch.Check(2), Verdict::kWithinBounds);
    watch.OnResponse(1, true, 65537);
    EXPECT_EQ(watch.Check(2), Verdict::kTooLarge);

    // Without an announced length, the bytes themselves count.
    watch.Start(0, limits);
    watch.OnResponse(1, false, 0);
    watch.OnReceived(2, 65536);
    EXPECT_EQ(watch.Check(3), Verdict::kWithinBounds);
    watch.OnReceived(2, 65537);
    EXPECT_EQ(watch.Check(3), Verdict::kTooLarge);

    // An announced size of nothing allows nothing; no limit allows all.
    limits.cbMax = 0;
    watch.Start(0, limits);
    watch.OnReceived(1, 1);
    EXPECT_EQ(watch.Check(1), Verdict::kTooLarge);
    watch.Start(0, TransferLimits());
    watch.OnResponse(1, true, ~0ull);
    EXPECT_EQ(watch.Check(0x7FFFFFFF), Verdict::kWithinBounds);
}

// A broken-off installer is asked for again from where it stopped, with the
// first answer's strong tag (else its date), 2, 4, 8 and 16 seconds later.
TEST(TransferWatch, ABrokenOffTransferIsAskedForAgainFromWhereItStopped)
{
    EXPECT_EQ(RetryDelayMs(1), 2000u);
    EXPECT_EQ(RetryDelayMs(4), 16000u);
    EXPECT_EQ(ValidatorOf("\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"), "\"abc\"");
    EXPECT_EQ(ValidatorOf("W/\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"),
              "Tue, 08 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(ValidatorOf("", ""), "");
    EXPECT_EQ(RangeRequestHeaders(600, "\"abc\""), "Range: bytes=600-\r\nIf-Range: \"abc\"\r\n");
    EXPECT_EQ(RangeRequestHeaders(0, "\"abc\""), "");
    for (const HRESULT hr : {E_DOWNLOAD_CUT_SHORT, E_DOWNLOAD_TIMEOUT, E_DOWNLOAD_BAD_ANSWER,
                             INET_E_DOWNLOAD_FAILURE})
        EXPECT_TRUE(IsWorthAnotherTry(hr)) << std::hex << hr;
    for (const HRESULT hr : {S_OK, E_ABORT, E_DOWNLOAD_HTTP_STATUS, E_DOWNLOAD_TOO_LARGE})
        EXPECT_FALSE(IsWorthAnotherTry(hr)) << std::hex << hr;
}

} // namespace
