#include "tools/update_info/options.h"

#include <algorithm>
#include <cstdio>

#include "tools/update_info/report.h"

namespace infotool {

namespace {

bool LooksLikeOption(const std::string& word)
{
    return word.compare(0, 2, "--") == 0;
}

} // namespace

// Every option takes a value; a value may not look like an option, so that
// a forgotten value is not taken from the next option's name.
bool ParseCommandLine(int argc, char** argv, const CommandOptions& accepted, CommandLine& line,
                      std::string& problem)
{
    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (!LooksLikeOption(arg))
        {
            line.positional.push_back(arg);
            continue;
        }
        if (std::find(accepted.known.begin(), accepted.known.end(), arg) == accepted.known.end())
        {
            problem = "unknown option " + Quote(arg);
            return false;
        }
        if (i + 1 >= argc || LooksLikeOption(argv[i + 1]))
        {
            problem = "the option " + arg + " needs a value";
            return false;
        }
        if (arg == accepted.repeatable)
            line.repeated.push_back(argv[++i]);
        else if (!line.options.emplace(arg, argv[++i]).second)
        {
            problem = "the option " + arg + " is given twice";
            return false;
        }
    }
    return true;
}

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "update-info: %s\nRun \"update-info --help\" for usage.\n",
                 problem.c_str());
    return kExitUsage;
}

} // namespace infotool
