// The one reader of update-info's command line, for every command.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace infotool {

struct CommandLine
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    // The values of the one option that may be given more than once.
    std::vector<std::string> repeated;
};

// What a command accepts after its name.
struct CommandOptions
{
    std::vector<std::string> known;
    // The option that may be given more than once, if any.
    std::string repeatable;
};

// The words after the command (argv[2] on). False, with the problem in
// problem, when an option is unknown, lacks its value or is given twice.
bool ParseCommandLine(int argc, char** argv, const CommandOptions& accepted, CommandLine& line,
                      std::string& problem);

// Says what is wrong with the command line; returns the exit code for it.
int UsageError(const std::string& problem);

} // namespace infotool
