#include "update/trust/rollout_share.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

namespace {

// Computed apart from this code, with Python's hashlib:
// int.from_bytes(sha256(bytes(range(16)) + b"2.5.0.301").digest()[:4], "big") % 10000
TEST(RolloutShare, TheBucketIsTheDigestsFirstFourBytesBigEndianModuloTenThousand)
{
    InstallationId id;
    for (size_t i = 0; i < id.size(); ++i)
        id[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(RolloutBucket(id, VersionNumber("2.5.0.301")), 1590u);
    EXPECT_EQ(RolloutBucket(id, VersionNumber("2.6.0")), 1889u); // b"2.6.0.0"
}

// Each share takes its part of the installations, and two versions at a
// half each draw their halves apart: a quarter is in both, not a half.
TEST(RolloutShare, SharesOfManyIdentitiesMatchTheirPercentAndVersionsDrawApart)
{
    constexpr size_t kIdentities = 100000;
    std::mt19937_64 random(20261209);
    size_t nIn[4] = {}, nInBoth = 0;
    const uint16_t tenths[4] = {10, 100, 500, 990};
    for (size_t i = 0; i < kIdentities; ++i)
    {
        InstallationId id;
        for (uint8_t& b : id)
            b = static_cast<uint8_t>(random());
        const uint32_t bucket = RolloutBucket(id, VersionNumber("2.5.0.301"));
        for (size_t n = 0; n < 4; ++n)
            nIn[n] += IsInRolloutShare(bucket, tenths[n]) ? 1 : 0;
        nInBoth += IsInRolloutShare(bucket, 500) && IsInRolloutShare(RolloutBucket(id, VersionNumber("2.6.0.1")), 500);
    }
    for (size_t n = 0; n < 4; ++n)
    {
        std::printf("rollout %s %%: %.2f %% of %zu identities in\n", RolloutPercentText(tenths[n]).c_str(),
                    100.0 * nIn[n] / kIdentities, kIdentities);
        EXPECT_NEAR(100.0 * nIn[n] / kIdentities, tenths[n] / 10.0, 1.0) << tenths[n];
    }
    std::printf("rollout 50 %% of two versions: %.2f %% in both\n", 100.0 * nInBoth / kIdentities);
    EXPECT_NEAR(100.0 * nInBoth / kIdentities, 25.0, 1.0);
}

} // namespace
