// Start-up tests of the platform and of the user's rights.
#pragma once

#include <windows.h>

// Sets *pbIsAdmin to 1 when the process token holds the Administrators
// group; never clears it. Returns zero when the test could not be made.
BOOL IsUserAdmin(BOOL* pbIsAdmin);

// The platform id of GetVersionExA; shows the system error box and returns
// false when the version cannot be read.
bool GetPlatformId(DWORD* pdwPlatformId);
