// The host's toolbar definition file: finding the product's markers in it
// and appending the installer's toolbar script to it once.
#pragma once

#include <windows.h>

#include <optional>

namespace setupext {

enum class ToolbarScan
{
    Section,    // the product's section header
    Commands,   // both of the product's mark-spam commands
};

// Searches the file's text, up to its first NUL byte, for the markers of the
// mode, ignoring case. The file's bytes are searched as they are, whatever
// the width of our own text. A file that can't be read holds no markers.
bool ScanToolbarFile(const TCHAR* pszPath, ToolbarScan mode);

// Appends the whole of the installer's script to the host's toolbar file
// unless the file already holds the product's section header.
bool AppendToolbarScript();

// Whether the host's toolbar file names both mark-spam commands; nothing
// when the host's folders can't be found.
std::optional<bool> HasToolbarCommands();

} // namespace setupext
