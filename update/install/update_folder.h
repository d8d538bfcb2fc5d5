// The per-user folder that downloaded installers go to, and their names. The
// folder holds the installer of the running update and nothing else: a
// program started from it finds the libraries it loads there first, so a
// library put there by anyone would run as part of the installer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/handles.h"
#include "update/info/version_number.h"

// Fills pszBuffer with the user's Local AppData folder; shows the system's
// error text and returns false when it cannot be read.
bool GetLocalAppDataFolder(char* pszBuffer, size_t cchBuffer);

// Our two levels below Local AppData, "Vexil ZSP" and "Update", held open as
// themselves for as long as the run lasts: without sharing deletion, neither
// can be renamed, deleted or replaced by a link meanwhile, so every later
// use of the folder's path (the save of the installer, its emptying, the
// start) reaches the folder that was checked.
class CUpdateFolder
{
public:
    // Makes what is missing of <base>/Vexil ZSP/Update, holds both levels
    // and stores the folder in the generic form ("/" between the parts).
    // ERROR_SUCCESS, or the system's code for why not, with nothing held:
    // ERROR_NOT_SUPPORTED for a base on another machine, ERROR_PATH_NOT_FOUND
    // where one of our levels is not a folder, ERROR_CANT_RESOLVE_FILENAME
    // where one leads elsewhere and cannot be made a real folder.
    DWORD Hold(const std::string& base, std::string& folder);
    void Release();
    bool IsHeld() const { return m_update.IsValid(); }

private:
    fw::CFileHandle m_product;
    fw::CFileHandle m_update;
};

// Finds the update folder below Local AppData and holds it (see
// CUpdateFolder), empties it (see ClearUpdateFolder; what cannot be deleted
// yet is left for the check before the start) and returns it in the generic
// form. Shows the system's error text and returns false when the folder
// cannot be had.
bool PrepareUpdateFolderPath(std::string& folder, CUpdateFolder& held);

// Deletes everything in the folder but the file named keep (empty for none):
// files, and sub-folders with all they hold. Each entry is opened as itself
// and judged by what is open: a link (a reparse point, such as a junction)
// is removed as itself and never gone into, and an entry that the system
// has followed elsewhere even so is left untouched.
// Returns the name of a file that is left in the folder itself because it
// cannot be deleted, such as a program still running from it; empty when
// nothing but keep is left there. (Sub-folders that cannot be removed are
// left alone: a program looks for its libraries in its own folder only.)
std::string ClearUpdateFolder(const std::string& folder, const std::string& keep);
// The same, sparing every file named in keep.
std::string ClearUpdateFolder(const std::string& folder, const std::vector<std::string>& keep);

// "vxzsp-" + version + ".exe", joined to the folder with a backslash; empty
// when the result would not fit in MAX_PATH.
std::string MakeInstallerPath(const std::string& folder, const VersionNumber& version);
