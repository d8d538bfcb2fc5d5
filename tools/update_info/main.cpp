// update-info: the publisher's command for the update-information file.
// "write" makes the file for a release; "check" reads one with the updater's
// own reader, size limit and decision and says what the updater would make
// of it.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/update_info/commands.h"
#include "tools/update_info/options.h"
#include "tools/update_info/report.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  update-info write --installer PATH --version X.Y.Z[.W] --notes URL --url URL\n"
    "                    [--expires-in DAYS [--key PRIVATE.pem]] [--out FILE]\n"
    "  update-info check FILE [--installer PATH] [--key PUBLIC.pem]...\n"
    "  update-info --help\n"
    "\n"
    "write  makes the update-information file of a release: the version, the size\n"
    "       of the installer PATH in bytes, the release-notes address and the\n"
    "       installer's address (both https, or http to this computer for tests),\n"
    "       one per line, into FILE or onto standard output. Nothing is written\n"
    "       when there is an error. With --expires-in, also the UTC time DAYS days\n"
    "       from now, after which updaters refuse the file (a release is usually\n"
    "       signed again every 30 days). With --key, also the installer's SHA-256\n"
    "       and the signature made with that private key (P-256, as openssl writes\n"
    "       it); --key needs --expires-in, as updaters built with keys refuse\n"
    "       signed information that never expires.\n"
    "check  reads FILE exactly as update.exe does, shows the fields as the updater\n"
    "       sees them and the name it saves the installer under; with --installer,\n"
    "       also compares the size and SHA-256 of PATH with what the file announces;\n"
    "       with --key (once per public key built into the updater), also verifies\n"
    "       the signature and the installer's address as an updater built with\n"
    "       those keys does. A file whose expiry has passed is an error.\n"
    "\n"
    "Exit codes:\n"
    "  0   all is well\n"
    "  1   error: the updater would reject or mishandle the file\n"
    "  2   warnings only: the updater works with the file, but not quite as\n"
    "      written (release notes it would not show, a version it completes,\n"
    "      text after the fourth field that it ignores, no expiry)\n"
    "  64  the command line is wrong\n";

int Run(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "/?")
        {
            std::fputs(kUsage, stdout);
            return infotool::kExitOk;
        }
    }
    if (argc < 2)
        return infotool::UsageError("no command given");
    const std::string command = argv[1];
    if (command == "write")
        return infotool::RunWrite(argc, argv);
    if (command == "check")
        return infotool::RunCheck(argc, argv);
    return infotool::UsageError("unknown command " + infotool::Quote(command) +
                                "; the commands are write and check");
}

} // namespace

int main(int argc, char** argv)
{
    // Only running out of memory can throw here; it must end in a message,
    // not in the runtime's abort.
    try
    {
        return Run(argc, argv);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "update-info: error: %s\n", e.what());
    }
    catch (...)
    {
        std::fprintf(stderr, "update-info: error: unexpected failure\n");
    }
    return infotool::kExitError;
}
