#include "update/command_line.h"

#include <windows.h>

namespace {
constexpr char kSwitchChars[] = "-/";
}

CommandLineAction ScanCommandLine(const char* pszCommandLine, bool& bManualMode)
{
    if (pszCommandLine == nullptr)
        return CommandLineAction::Run;

    for (const char* p = pszCommandLine; *p != '\0'; p = CharNextA(p))
    {
        if (*p != kSwitchChars[0] && *p != kSwitchChars[1])
            continue;
        const char* pszToken = p + 1;
        if (lstrcmpiA(pszToken, "UnregServer") == 0)
            return CommandLineAction::UnregServer;
        if (lstrcmpiA(pszToken, "RegServer") == 0)
            return CommandLineAction::RegServer;
        if (lstrcmpiA(pszToken, "auto") == 0)
            bManualMode = false;
        else if (lstrcmpiA(pszToken, "man") == 0)
            bManualMode = true;
    }
    return CommandLineAction::Run;
}
