// A staged release: signed update information may offer its version to a
// share of the installations only, given as a percent with at most one
// decimal and held in tenths of a percent (0 to 1000). Each installation
// falls into one of kRolloutBuckets buckets, drawn afresh for every version
// (update/trust/rollout_share.h), and is in the share when its bucket is
// below the share.
//
// Plain portable C++ without Windows headers: the percent comes from the
// network, and the decision that uses the share also builds natively.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kRolloutBuckets = 10000;
constexpr uint16_t kMaxRolloutTenths = 1000;

// "0" to "100", with at most one decimal: "12.5", "100.0". No sign, no
// exponent, no leading zero before another digit, no dot without a digit on
// each side: one percent has few spellings, and a signed file says exactly
// what its publisher checked. False, with tenths untouched, otherwise.
bool ParseRolloutPercent(const std::string& text, uint16_t& tenths);

// The percent as people write it: "12.5", "100".
std::string RolloutPercentText(uint16_t tenths);

// Ten buckets to a tenth of a percent.
inline bool IsInRolloutShare(uint32_t bucket, uint16_t tenths)
{
    return bucket < static_cast<uint32_t>(tenths) * (kRolloutBuckets / kMaxRolloutTenths);
}
