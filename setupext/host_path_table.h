// Where the host mail client and the product are installed, collected from
// the registry into a table of path macros.
#pragma once

#include <windows.h>

#include <cstddef>

namespace setupext {

extern const TCHAR kHostKey[];      // HKEY_CURRENT_USER
extern const TCHAR kProductKey[];   // HKEY_LOCAL_MACHINE
extern const TCHAR kWorkDirValue[];
extern const TCHAR kWorkDirEntry[];
extern const TCHAR kProductDirEntry[];

// A registry value is read as at most 260 characters and its terminator.
constexpr DWORD kcchValueRead = 261;
// Paths are held in MAX_PATH characters, terminator included.
constexpr int kcchPath = MAX_PATH;
// Far more than the four longest entries and their names need, in either
// character width.
constexpr size_t kcbHostPathTable = 16384;
constexpr size_t kcchHostPathTable = kcbHostPathTable / sizeof(TCHAR);

// Reads a value of an open key as text and expands its environment
// references. False, with szExpanded untouched, when the value is missing,
// empty or longer than 260 characters, or when its expansion does not fit.
bool ReadExpandedValue(HKEY hKey, const TCHAR* pszName, TCHAR (&szExpanded)[kcchPath]);

// Fills the table with name, value, name, value... and an empty string at
// the end. On failure the table holds part of one and must not be used.
bool BuildHostPathTable(TCHAR (&achTable)[kcchHostPathTable]);

// The value of the entry whose name matches, ignoring the case of ASCII
// letters; null when there is none.
const TCHAR* FindPathEntry(const TCHAR* pTable, const TCHAR* pszName);

// Builds a fresh table and copies the value of one entry out of it. False
// when the table can't be built or has no such entry.
bool LookUpHostPath(const TCHAR* pszName, TCHAR (&szValue)[kcchPath]);

} // namespace setupext
