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
    "                    [--mirror URL]... [--expires-in DAYS [--key PRIVATE.pem]]\n"
    "                    [--rollout PERCENT] [--out FILE]\n"
    "  update-info check FILE [--installer PATH] [--key PUBLIC.pem]...\n"
    "  update-info --help\n"
    "\n"
    "write  makes the update-information file of a release: the version, the size\n"
    "       of the installer PATH in bytes, the release-notes address and the\n"
    "       installer's address (both https, or http to this computer for tests),\n"
    "       one per line, into FILE or onto standard output. Nothing is written\n"
    "       when there is an error. With --mirror (up to 4 times), also other\n"
    "       addresses of the same installer, each once, held to the rules of --url.\n"
    "       With --expires-in, also the UTC time DAYS days from now, after which\n"
    "       updaters refuse the file (a release is usually signed again every 30\n"
    "       days). With --key, also the installer's SHA-256 and the signature made\n"
    "       with that private key (P-256, as openssl writes it); --key needs\n"
    "       --expires-in, as updaters built with keys refuse signed information\n"
    "       that never expires. With --rollout, also the share of installations\n"
    "       that updaters offer the release to, a percent from 0 to 100 with at\n"
    "       most one decimal (12.5); each installation is in or out at random,\n"
    "       drawn afresh for every version, and raising the percent later keeps\n"
    "       those already in. Without it, every installation is offered it.\n"
    "check  reads FILE exactly as update.exe does, shows the fields and mirrors as\n"
    "       the updater sees them and the name it saves the installer under; with\n"
    "       --installer, also compares the size and SHA-256 of PATH with what the\n"
    "       file announces; with --key (once per public key built into the\n"
    "       updater), also verifies the signature and the installer's addresses as\n"
    "       an updater built with those keys does. A file whose expiry has passed\n"
    "       is an error. It also shows the rollout and whether the updater of the\n"
    "       user running the check is in it.\n"
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
