// The per-user folder that downloaded installers go to, and their names.
#pragma once

#include <string>

#include "update/version_number.h"

// Fills pszBuffer with the user's Local AppData folder; shows the system's
// error text and returns false when it cannot be read.
bool GetLocalAppDataFolder(char* pszBuffer, size_t cchBuffer);

// Finds and creates <Local AppData>/Vexil ZSP/Update and returns it in the
// generic form ("/" between the parts). Shows the system's error text and
// returns false when the folder cannot be had.
bool PrepareUpdateFolderPath(std::string& folder);

// "vxzsp-" + version + ".exe", joined to the folder with a backslash; empty
// when the result would not fit in MAX_PATH.
std::string MakeInstallerPath(const std::string& folder, const VersionNumber& version);
