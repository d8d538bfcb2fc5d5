// Texts of the resource library, loaded and formatted in the fixed buffers
// that every page uses: a string that does not fit is cut, never overrun.
#pragma once

#include <windows.h>

#include <string>

// The string with that id, at most 259 characters; empty when the library
// has none.
std::string LoadResourceString(UINT uId);

// The string with that id used as a printf format with the arguments that
// follow, the result cut at 259 characters. The caller passes exactly the
// arguments that the string's comment in resource_ids.h names.
std::string FormatResourceString(UINT uId, ...);
