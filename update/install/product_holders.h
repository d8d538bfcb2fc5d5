// The programs that hold the product: processes other than this one that
// have a library loaded from the product folder. Windows cannot replace a
// library that a running program has loaded, so the installer waits until
// they are closed. Nothing here ends, signals or enters another process: it
// only looks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ProductHolder
{
    DWORD dwProcessId;
    // As the user knows the program.
    std::string name;
};

// Finds the holders of the product folder (a full path), this process never
// among them. The Restart Manager is asked first; where it lists nobody (it
// may be a stub that lists nobody for anything) or cannot be asked, every
// process's loaded modules are looked at.
std::vector<ProductHolder> FindProductHolders(const std::string& productFolder);

// The name a program is known by: the file description of its version
// resource, else its file name.
std::string ProgramDisplayName(const std::string& exePath);

// True when pszPath names something inside the folder, at any depth. The
// folder is compared as given, without a trailing backslash, ignoring case.
bool IsInsideFolder(const char* pszPath, const std::string& folder);

// True when the folder can be searched for holders: a full path on a local
// drive, below its root, without "." or ".." steps. A drive's root would
// make every program a holder, and ".." a wider folder than the product's;
// a network folder would be looked at over the network again and again;
// a relative one means what the current folder makes of it. Such a folder
// is taken as none. The drive's kind comes from pfnDriveType.
bool IsSearchableProductFolder(const std::string& folder,
                               UINT(WINAPI* pfnDriveType)(LPCSTR) = GetDriveTypeA);

// The names of the holders for the notice: each once, in the order found,
// joined by ", ".
std::string JoinHolderNames(const std::vector<ProductHolder>& holders);
