// Where the host mail client and the product are installed, collected from
// the registry into a table of path macros.
#pragma once

#include <windows.h>

#include <cstddef>

namespace setupext {

extern const char kHostKey[];      // HKEY_CURRENT_USER
extern const char kProductKey[];   // HKEY_LOCAL_MACHINE
extern const char kWorkDirValue[];
extern const char kWorkDirEntry[];
extern const char kProductDirEntry[];

// A registry value is read as at most 260 characters and its terminator.
constexpr DWORD kcbValueRead = 261;
// Paths are held in MAX_PATH characters, terminator included.
constexpr int kcchPath = MAX_PATH;
// Far more than the four longest entries and their names need.
constexpr size_t kcbHostPathTable = 16384;

// Reads a value of an open key as text and expands its environment
// references. False, with szExpanded untouched, when the value is missing,
// empty or longer than 260 characters, or when its expansion does not fit.
bool ReadExpandedValue(HKEY hKey, const char* pszName, char (&szExpanded)[kcchPath]);

// Fills the table with name, value, name, value... and an empty string at
// the end. On failure the table holds part of one and must not be used.
bool BuildHostPathTable(char (&achTable)[kcbHostPathTable]);

// The value of the entry whose name matches, ignoring the case of ASCII
// letters; null when there is none.
const char* FindPathEntry(const char* pTable, const char* pszName);

// Builds a fresh table and copies the value of one entry out of it. False
// when the table can't be built or has no such entry.
bool LookUpHostPath(const char* pszName, char (&szValue)[kcchPath]);

} // namespace setupext
