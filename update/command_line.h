// The updater's command-line switches.
#pragma once

enum class CommandLineAction
{
    Run,
    RegServer,
    UnregServer,
};

// Scans a whole command line as GetCommandLineA gives it, program path
// included. A switch starts after '-' or '/' and runs to the end of the
// line, so it counts only when it is the last thing on the line. "auto" and
// "man" set bManualMode; a registration switch ends the scan.
CommandLineAction ScanCommandLine(const char* pszCommandLine, bool& bManualMode);
