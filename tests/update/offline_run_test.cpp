// Runs update.exe where there is no Internet connection at all: a network
// namespace with only loopback (see offline-run).
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"

namespace {

using testsupport::kSettingsKey;
using testsupport::WizardPage;

constexpr DWORD kWaitMs = 20000;
constexpr uint64_t kEarlier = 777;
constexpr char kNoConnection[] =
    "No Internet connection was found. Connect to the Internet, then check for updates again.";

class OfflineRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ClearProductKeys();
        ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime",
                                            kEarlier));
    }
    void TearDown() override { testsupport::ClearProductKeys(); }

    static uint64_t StoredLastUpdateTime()
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime");
        return value ? value->AsQword() : 0;
    }
};

TEST_F(OfflineRunTest, ThePlatformReportsNoConnection)
{
    DWORD dwFlags = 0;
    EXPECT_FALSE(InternetGetConnectedState(&dwFlags, 0));
}

TEST_F(OfflineRunTest, ManualRunSaysSoOnTheFinishPage)
{
    testsupport::ChildProcess child;
    ASSERT_TRUE(child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /man"));
    testsupport::WizardDriver driver(child.Id());
    ASSERT_TRUE(driver.WaitForPage(WizardPage::Finish, kWaitMs));
    EXPECT_EQ(driver.FinishText(), kNoConnection);
    EXPECT_EQ(driver.EnabledButtons(), 2u);
    EXPECT_TRUE(driver.IsWizardVisible());
    // The retrieve page was never shown.
    HWND hRetrieve = driver.PageWindow(WizardPage::RetrieveUpdate);
    EXPECT_TRUE(hRetrieve == nullptr || !(GetWindowLongA(hRetrieve, GWL_STYLE) & WS_VISIBLE));

    driver.Press(301);
    DWORD dwExit = 1;
    ASSERT_TRUE(child.WaitForExit(kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(StoredLastUpdateTime(), kEarlier);
}

TEST_F(OfflineRunTest, AutomaticRunEndsSilentlyAndLeavesTheTimeAlone)
{
    testsupport::ChildProcess child;
    ASSERT_TRUE(child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /auto"));
    bool bSawWindow = false;
    ASSERT_TRUE(testsupport::WatchUntilExit(child.Handle(), child.Id(), kWaitMs, &bSawWindow));
    DWORD dwExit = 1;
    ASSERT_TRUE(child.WaitForExit(0, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_FALSE(bSawWindow);
    EXPECT_EQ(StoredLastUpdateTime(), kEarlier);
}

} // namespace
