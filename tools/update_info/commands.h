// update-info's commands; each reads the words after its own name.
#pragma once

namespace infotool {

// Makes the update-information file of a release.
int RunWrite(int argc, char** argv);

// Says what the updater would make of an update-information file.
int RunCheck(int argc, char** argv);

} // namespace infotool
