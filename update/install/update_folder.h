// The per-user folder that downloaded installers go to, and their names. The
// folder holds the installer of the running update and nothing else: a
// program started from it finds the libraries it loads there first, so a
// library put there by anyone would run as part of the installer.
#pragma once

#include <string>

#include "update/info/version_number.h"

// Fills pszBuffer with the user's Local AppData folder; shows the system's
// error text and returns false when it cannot be read.
bool GetLocalAppDataFolder(char* pszBuffer, size_t cchBuffer);

// Finds and creates <Local AppData>/Vexil ZSP/Update, empties it (see
// ClearUpdateFolder; what cannot be deleted yet is left for the check before
// the start) and returns it in the generic form ("/" between the parts).
// Shows the system's error text and returns false when the folder cannot be
// had.
bool PrepareUpdateFolderPath(std::string& folder);

// Deletes everything in the folder but the file named keep (empty for none):
// files, and sub-folders with all they hold. A link (a reparse point, such
// as a junction) is removed as itself and never followed out of the folder.
// Returns the name of a file that is left in the folder itself because it
// cannot be deleted, such as a program still running from it; empty when
// nothing but keep is left there. (Sub-folders that cannot be removed are
// left alone: a program looks for its libraries in its own folder only.)
std::string ClearUpdateFolder(const std::string& folder, const std::string& keep);

// "vxzsp-" + version + ".exe", joined to the folder with a backslash; empty
// when the result would not fit in MAX_PATH.
std::string MakeInstallerPath(const std::string& folder, const VersionNumber& version);
