// The files update-info reads and writes, with what goes wrong said in the
// publisher's terms.
#pragma once

#include <cstdint>
#include <string>

#include "tools/update_info/report.h"
#include "update/info/update_info.h"

namespace infotool {

// The whole 64-bit size, as the updater measures the downloaded installer.
bool GetInstallerSize(const std::string& path, CReport& report, uint64_t& cbSize);

bool GetInstallerDigest(const std::string& path, CReport& report, Sha256Digest& digest);

// At most one byte more than the updater reads of update information:
// enough to know a file is too long without reading all of a large one.
// Keys are read the same way; what names the file in messages.
bool ReadSmallFile(const std::string& path, const std::string& what, CReport& report,
                   std::string& body);

// All of body, or an error that says why not.
bool WriteToFile(const std::string& path, const std::string& body, CReport& report);
bool WriteToStandardOutput(const std::string& body, CReport& report);

} // namespace infotool
