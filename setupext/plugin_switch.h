// Switching the product's plug-in on, and reading its anti-spam switch.
#pragma once

#include <windows.h>

#include <optional>

namespace setupext {

// Loads the plug-in library pszFileName from the product's folder, calls
// its TurnOnPlugin with the two flags reduced to 0 or 1, and frees it.
bool SwitchOnPlugin(bool bFirstFlag, int nSecondFlag, const TCHAR* pszFileName);

// Whether "Junk" in the section "AntiSpam" of the plug-in's settings file in
// the host's working folder is non-zero; a missing file counts as off.
// Nothing when the working folder can't be found.
std::optional<bool> ReadAntiSpamSwitch();

} // namespace setupext
