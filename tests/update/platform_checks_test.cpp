#include "update/platform_checks.h"

#include <gtest/gtest.h>

namespace {

TEST(PlatformChecks, PlatformIsNt)
{
    DWORD dwPlatformId = 0;
    ASSERT_TRUE(GetPlatformId(&dwPlatformId));
    EXPECT_EQ(dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}

TEST(PlatformChecks, AdministratorsGroupIsFound)
{
    // The Wine user belongs to the Administrators group; only the check can
    // set the flag.
    BOOL bIsAdmin = FALSE;
    ASSERT_TRUE(IsUserAdmin(&bIsAdmin));
    EXPECT_EQ(bIsAdmin, TRUE);
}

} // namespace
