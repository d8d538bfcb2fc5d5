// What the updater's reader made of an update-information file, said in
// the publisher's terms: why it refused the file, and how it took the size.
#pragma once

#include <string>

#include "tools/update_info/report.h"
#include "update/info/update_info.h"

namespace infotool {

// Says what is wrong with the size as written; pRead is what the reader
// made of the whole file, or null when it refused it.
void CheckSizeWord(const std::string& word, const UpdateInfo* pRead, CReport& report);

// The reader's refusal of the file at path: which field or token is
// missing or malformed.
void ExplainRejection(const std::string& path, const UpdateInfoReading& reading,
                      CReport& report);

} // namespace infotool
