// UTC times as the update information writes them, and the tick counts the
// settings keep: 100-nanosecond ticks since 1 January 1601, a FILETIME's
// count.
//
// Plain portable C++ without Windows headers: the times come from the
// network, and this calendar also builds natively for fuzzing.
#pragma once

#include <cstdint>
#include <string>

constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint64_t kTicksPerTenMinutes = 600 * kTicksPerSecond;
constexpr uint64_t kTicksPerDay = 86400 * kTicksPerSecond;

// A UTC time in the one spelling the expires= token takes,
// "2027-01-07T12:00:00Z" (years 1601 to 9999, no leap second), as ticks.
// False, with ticks untouched, for any other text.
bool ParseUtcTime(const std::string& text, uint64_t& ticks);
// The same spelling back, to the second (a fraction is dropped).
std::string UtcTimeText(uint64_t ticks);
