// What update-info says and how it ends: problems go to standard error as
// they are found, and the exit code follows from the worst of them.
#pragma once

#include <windows.h>

#include <string>

#include "update/info/version_number.h"

namespace infotool {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitWarnings = 2;
constexpr int kExitUsage = 64;

class CReport
{
public:
    // The updater would reject or mishandle the file.
    void Error(const std::string& text);
    // The updater works with the file, but not quite as written.
    void Warning(const std::string& text);
    void Note(const std::string& text);

    bool HasErrors() const { return m_nErrors > 0; }
    int ExitCode() const;

private:
    int m_nErrors = 0;
    int m_nWarnings = 0;
};

std::string Quote(const std::string& text);

// The system's text for an error, without the full stop that would end a
// sentence in the middle of a message.
std::string SystemMessage(DWORD dwError);

// Warns when the updater reads the version text as another version.
void WarnIfReadDifferently(const std::string& text, const VersionNumber& version,
                           CReport& report);

} // namespace infotool
