// Small system facts that several parts of the updater and its tools ask
// for in the same way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace fw {

// The system's UTC time in FILETIME ticks (100 ns since 1 January 1601).
uint64_t NowTicks();

// A time in FILETIME ticks (UTC) as the user reads it: in the user's own
// time zone, the date in the format dwDateFlags asks for (DATE_SHORTDATE,
// DATE_LONGDATE), then, with bWithTime, the time without seconds. Empty
// where the system cannot say it.
std::string LocalTimeText(uint64_t ftTicks, DWORD dwDateFlags, bool bWithTime);

// The system's text for an error code in the user's language; empty when
// the system has none. For a line of its own, without the line break it
// ends with; else exactly as the system gives it. Inserts are left as they
// stand: the caller has no arguments to give them.
std::string SystemMessage(DWORD dwError, bool bOneLine = true);

} // namespace fw
