// Runs update.exe against the loopback update server and drives its wizard
// from outside: which page it shows with which text, which buttons are
// enabled, whether it is visible, and what it leaves in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"
#include "update/update_globals.h"

namespace {

using testsupport::ChildProcess;
using testsupport::kFinishCancelled;
using testsupport::kFinishFailed;
using testsupport::kPolicyKey;
using testsupport::kSettingsKey;
using testsupport::WizardDriver;
using testsupport::WizardPage;

constexpr DWORD kWaitMs = 20000;
constexpr uint64_t kEarlier = 777;
constexpr uint64_t kTenMinutes = 6000000000ull;
constexpr char kUpdateInfoPath[] = "/zsp/update.txt";

// The texts of the resource library that the pages show.
constexpr char kNoNewVersion[] = "Vexil Junquell is up to date. There is no newer version to install.";
constexpr char kConfirmCancel[] = "Do you want to stop the update?";
constexpr char kTurnedOff[] = "Updates of Vexil Junquell are turned off by your organization.";

uint64_t NowTicks()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

class WizardRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ClearProductKeys();
        testsupport::ClearHttpRoot();
        ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Version",
                                             "2.4.2.218"));
        // Values that show whether a run wrote them.
        ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime",
                                            kEarlier));
        ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload",
                                            kTenMinutes));
        m_tStart = NowTicks();
    }

    void TearDown() override
    {
        m_child.Terminate();
        testsupport::ClearHttpRoot();
        testsupport::ClearProductKeys();
    }

    // The line under the pages that says the organisation manages updates.
    bool IsPolicyLineShown()
    {
        return IsWindowVisible(GetDlgItem(m_driver.FindWizard(), IDC_WIZ_POLICY_LINE)) != FALSE;
    }

    static void ServeUpdateInfo(const std::string& text, const std::string& fault = "")
    {
        testsupport::ServeFile(kUpdateInfoPath, text, fault);
    }

    static std::string UpdateInfo(const std::string& version, uint32_t size = 1572864)
    {
        return version + "\r\n" + std::to_string(size) + "\r\n" +
               testsupport::HttpUrl("/zsp/notes.html") + "\r\n" +
               testsupport::HttpUrl("/zsp/setup.exe") + "\r\n";
    }

    void Start(const char* pszMode)
    {
        ASSERT_TRUE(m_child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /" +
                                  pszMode));
        m_driver = WizardDriver(m_child.Id());
    }

    // Waits for the end of the run; its exit code is always 0.
    void ExpectEndsWithZero()
    {
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the run did not end";
        EXPECT_EQ(dwExit, 0u);
    }

    // Presses Close on the finish page and expects the run to end.
    void CloseFinishPage()
    {
        m_driver.Press(301);
        ExpectEndsWithZero();
    }

    // Watches a run that is to stay hidden until it ends.
    void ExpectSilentEnd()
    {
        bool bSawWindow = false;
        testsupport::WatchUntilExit(m_child.Handle(), m_child.Id(), kWaitMs, &bSawWindow);
        EXPECT_FALSE(bSawWindow) << "a window was shown";
        ExpectEndsWithZero();
    }

    static uint64_t Stored(const char* pszName)
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, pszName);
        return value ? value->AsQword() : ~0ull;
    }

    static std::string StoredAvailableVersion()
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
        return value ? value->AsString() : "<missing>";
    }

    void ExpectStampedNow()
    {
        const uint64_t stamped = Stored("LastUpdateTime");
        EXPECT_GE(stamped + 20000, m_tStart);
        EXPECT_LE(stamped, NowTicks());
    }

    void ExpectFinish(const char* pszText)
    {
        ASSERT_TRUE(m_driver.WaitForPage(WizardPage::Finish, kWaitMs))
            << "page: " << testsupport::PageName(m_driver.CurrentPage());
        EXPECT_EQ(m_driver.FinishText(), pszText);
        EXPECT_EQ(m_driver.EnabledButtons(), 2u);
        EXPECT_TRUE(m_driver.IsWizardVisible());
    }

    ChildProcess m_child;
    WizardDriver m_driver{0};
    uint64_t m_tStart = 0;
};

TEST_F(WizardRunTest, ManualRunWithoutNewerVersionEndsOnTheFinishPage)
{
    ServeUpdateInfo(UpdateInfo("2.4.2.999"));
    Start("man");
    ExpectFinish(kNoNewVersion);
    ExpectStampedNow();
    EXPECT_EQ(Stored("NotifyDownload"), 0u);
    EXPECT_EQ(StoredAvailableVersion(), "2.4.2.218");
    // The retrieve page never showed, and its bar ran to the end.
    EXPECT_EQ(m_driver.ProgressPosition(WizardPage::RetrieveUpdate), 1000);
    EXPECT_EQ(testsupport::HttpRequests().size(), 1u);
    CloseFinishPage();
}

TEST_F(WizardRunTest, TheUpdateInformationIsNeverTakenFromTheCache)
{
    ServeUpdateInfo(UpdateInfo("2.4.2.218"));
    Start("man");
    ExpectFinish(kNoNewVersion);
    CloseFinishPage();

    // Published a moment later: the next check sees it.
    ServeUpdateInfo(UpdateInfo("2.5.1"));
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
        << testsupport::PageName(m_driver.CurrentPage());
    size_t nChecks = 0;
    for (const std::string& request : testsupport::HttpRequests())
        nChecks += request.find("\"path\": \"/zsp/update.txt\"") != std::string::npos ? 1 : 0;
    EXPECT_EQ(nChecks, 2u);
}

TEST_F(WizardRunTest, EscapeAndCloseBoxDoNothingOnTheFinishPage)
{
    ServeUpdateInfo(UpdateInfo("2.4.2.218"));
    Start("man");
    ExpectFinish(kNoNewVersion);
    m_driver.PressEscape();
    PostMessageA(m_driver.FindWizard(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(500);
    EXPECT_TRUE(m_child.IsRunning());
    EXPECT_EQ(m_driver.CurrentPage(), WizardPage::Finish);
    CloseFinishPage();
}

TEST_F(WizardRunTest, AutomaticRunWithoutNewerVersionEndsSilently)
{
    ServeUpdateInfo(UpdateInfo("2.4.2.218"));
    Start("auto");
    ExpectSilentEnd();
    ExpectStampedNow();
    EXPECT_EQ(Stored("NotifyDownload"), 0u);
}

TEST_F(WizardRunTest, NewerVersionShowsTheReleaseNotesPage)
{
    // Saved by a Windows editor, with a byte-order mark first.
    ServeUpdateInfo("\xEF\xBB\xBF" + UpdateInfo("2.5.1"));
    Start("auto");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
        << testsupport::PageName(m_driver.CurrentPage());
    ASSERT_TRUE(testsupport::WaitUntil([&]() { return m_driver.IsWizardVisible(); }, kWaitMs));
    ExpectStampedNow();
    EXPECT_EQ(m_driver.PageText(WizardPage::NextAction, 1007),
              "New version: 2.5.1.0");
    // An administrator's choice is not stored until Close.
    EXPECT_EQ(StoredAvailableVersion(), "2.4.2.218");
    EXPECT_EQ(Stored("NotifyDownload"), kTenMinutes);
}

TEST_F(WizardRunTest, AutomaticRunComparesWithTheAnnouncedVersion)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion",
                                         "2.5.0.301"));
    ServeUpdateInfo(UpdateInfo("2.5.0.301"));
    Start("auto");
    ExpectSilentEnd();
    ExpectStampedNow();
    EXPECT_EQ(Stored("NotifyDownload"), 0u);
}

TEST_F(WizardRunTest, ManualRunComparesWithTheInstalledVersion)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion",
                                         "2.5.0.301"));
    ServeUpdateInfo(UpdateInfo("2.5.0.301"));
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
        << testsupport::PageName(m_driver.CurrentPage());
    EXPECT_TRUE(m_driver.IsWizardVisible());
}

TEST_F(WizardRunTest, FailedFetchInAManualRun)
{
    const struct
    {
        const char* pszFault;
        const char* pszWhy;
    } cases[] = {
        {"status 500", "The update server answered with HTTP status 500 (Internal Server Error)."},
        {"status 404", "The update server answered with HTTP status 404 (Not Found)."},
        // An answer closed before a word of it: nothing to read.
        {"close", "The update information could not be read."},
        {"truncate 5", "The update server stopped sending before the download was complete."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszFault);
        ServeUpdateInfo(UpdateInfo("2.5.1"), c.pszFault);
        Start("man");
        ExpectFinish(kFinishFailed);
        EXPECT_EQ(m_driver.FailureLine(), c.pszWhy);
        EXPECT_EQ(Stored("LastUpdateTime"), kEarlier);
        EXPECT_EQ(Stored("NotifyDownload"), kTenMinutes);
        CloseFinishPage();
    }
}

TEST_F(WizardRunTest, FailedFetchInAnAutomaticRunPostponesTheNextCheck)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "status 500");
    Start("auto");
    ExpectSilentEnd();
    EXPECT_EQ(Stored("LastUpdateTime"), kEarlier + kTenMinutes);
    EXPECT_EQ(Stored("NotifyDownload"), kTenMinutes);
}

TEST_F(WizardRunTest, UnreadableUpdateInformationIsAFailure)
{
    const std::string oversized = UpdateInfo("2.5.1") + std::string(70 * 1024, ' ');
    const std::string bodies[] = {
        "2.5.1 1000 " + testsupport::HttpUrl("/zsp/notes.html"),
        "",
        "2.5.1 big " + testsupport::HttpUrl("/n") + " " + testsupport::HttpUrl("/s"),
        UpdateInfo("3.0"),
        oversized,
    };
    for (const std::string& body : bodies)
    {
        SCOPED_TRACE(body.substr(0, 60));
        ServeUpdateInfo(body);
        Start("man");
        ExpectFinish(kFinishFailed);
        EXPECT_EQ(m_driver.FailureLine(), "The update information could not be read.");
        CloseFinishPage();
    }
    ServeUpdateInfo(bodies[0]);
    Start("auto");
    ExpectSilentEnd();
    EXPECT_EQ(Stored("LastUpdateTime"), kEarlier + kTenMinutes);
}

// A check that the server keeps waiting ends by itself after a minute: a
// hidden automatic run must never stay behind and block every later one.
TEST_F(WizardRunTest, AHiddenCheckThatHearsNothingEndsByItselfAndPostpones)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "hang 150");
    Start("auto");
    bool bSawWindow = false;
    testsupport::WatchUntilExit(m_child.Handle(), m_child.Id(), 90000, &bSawWindow);
    EXPECT_FALSE(bSawWindow) << "a window was shown";
    ExpectEndsWithZero();
    EXPECT_EQ(Stored("LastUpdateTime"), kEarlier + kTenMinutes);
    // The connection went with the run.
    ASSERT_TRUE(testsupport::WaitUntil(
        []() { return !testsupport::HttpResponses().empty(); }, kWaitMs));
    const std::string response = testsupport::HttpResponses()[0];
    EXPECT_TRUE(testsupport::JsonTrue(response, "client_left")) << response;
}

// Far more than any update information: the answer is given up as soon as
// its length is announced or its bytes pass the limit, not fetched whole.
TEST_F(WizardRunTest, OversizedUpdateInformationIsCutOffEarly)
{
    const std::string huge = UpdateInfo("2.5.1") + std::string(64 << 20, ' ');
    // Paced as on a real line: the platform drains what is waiting when it
    // closes a transfer, and an unpaced loopback answer is always waiting.
    for (const char* pszFault : {"trickle 65536 25", "nolength 65536 25"})
    {
        SCOPED_TRACE(pszFault);
        testsupport::ClearHttpRoot();
        ServeUpdateInfo(huge, pszFault);
        Start("man");
        ExpectFinish(kFinishFailed);
        CloseFinishPage();
        ASSERT_TRUE(testsupport::WaitUntil(
            []() { return !testsupport::HttpResponses().empty(); }, kWaitMs));
        const std::string response = testsupport::HttpResponses()[0];
        EXPECT_TRUE(testsupport::JsonTrue(response, "client_left")) << response;
        EXPECT_LT(testsupport::JsonNumber(response, "sent"), huge.size() / 8) << response;
    }
}

// Told to close while the update information is still arriving, as an
// installer closing the programs it replaces does, a run lets the transfer
// go and ends at once with its usual code.
TEST_F(WizardRunTest, ARunClosedWhileTheCheckIsArrivingEndsAtOnce)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "trickle 1 100");
    Start("auto");
    HWND hMain = nullptr;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() {
            hMain = FindWindowA(kMainWindowClass, kProductTitle);
            DWORD dwOwner = 0;
            GetWindowThreadProcessId(hMain, &dwOwner);
            return dwOwner == m_child.Id() &&
                   m_driver.CurrentPage() == WizardPage::RetrieveUpdate &&
                   !testsupport::HttpRequests().empty();
        },
        kWaitMs));
    PostMessageA(hMain, WM_CLOSE, 0, 0);
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(5000, &dwExit)) << "the run did not end at once";
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(Stored("LastUpdateTime"), kEarlier);
    ASSERT_TRUE(testsupport::WaitUntil(
        []() { return !testsupport::HttpResponses().empty(); }, kWaitMs));
    EXPECT_TRUE(testsupport::JsonTrue(testsupport::HttpResponses()[0], "client_left"));
}

TEST_F(WizardRunTest, CancelAnsweredNoGoesOnAndYesEndsOnTheFinishPage)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "stall 30");
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::RetrieveUpdate, kWaitMs));
    EXPECT_EQ(m_driver.EnabledButtons(), 4u);
    // A server that keeps the check waiting is named as what it waits for.
    EXPECT_TRUE(testsupport::WaitUntil(
        [&]() {
            return m_driver.PageText(WizardPage::RetrieveUpdate, 1104) ==
                   "Waiting for the update server...";
        },
        kWaitMs));

    m_driver.Press(300);
    HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
    ASSERT_NE(hBox, nullptr);
    testsupport::MessageBoxContents box;
    ASSERT_TRUE(testsupport::ReadMessageBox(hBox, box));
    EXPECT_EQ(box.text, kConfirmCancel);
    EXPECT_EQ(box.caption, testsupport::TextOf(m_driver.FindWizard()));
    EXPECT_EQ(box.buttonIds, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.hasIcon);
    testsupport::ClickDialogButton(hBox, IDNO);
    Sleep(500);
    EXPECT_EQ(m_driver.CurrentPage(), WizardPage::RetrieveUpdate);
    EXPECT_EQ(Stored("LastUpdateTime"), kEarlier);

    // Esc asks the same question.
    m_driver.PressEscape();
    hBox = m_driver.WaitForMessageBox(kWaitMs);
    ASSERT_NE(hBox, nullptr);
    testsupport::ClickDialogButton(hBox, IDYES);
    ExpectFinish(kFinishCancelled);
    ExpectStampedNow();
    CloseFinishPage();
}

TEST_F(WizardRunTest, SecondManualStartShowsTheHiddenWizardOfTheFirst)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "stall 30");
    Start("auto");
    ASSERT_NE(m_driver.WaitForWizard(kWaitMs), nullptr);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() { return m_driver.CurrentPage() == WizardPage::RetrieveUpdate; }, kWaitMs));
    EXPECT_FALSE(m_driver.IsWizardVisible());

    // An automatic second start ends at once and changes nothing.
    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(
        testsupport::Quoted(testsupport::UpdateExePath()) + " /auto", kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_FALSE(m_driver.IsWizardVisible());

    ASSERT_TRUE(testsupport::RunToExit(
        testsupport::Quoted(testsupport::UpdateExePath()) + " /man", kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_TRUE(m_driver.IsWizardVisible());
    EXPECT_TRUE(m_child.IsRunning());

    // The automatic run, now visible, can be cancelled like a manual one.
    m_driver.Press(300);
    HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
    ASSERT_NE(hBox, nullptr);
    testsupport::ClickDialogButton(hBox, IDYES);
    ExpectFinish(kFinishCancelled);
    ExpectStampedNow();
    CloseFinishPage();
}

TEST_F(WizardRunTest, ARunWaitingForTheUserIsNotEndedByTheShutdownWatch)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"));
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs));
    // The browser host has raised the lock count; the watch waits for a fall
    // to zero plus five seconds, which must not come while the user reads.
    Sleep(6500);
    EXPECT_TRUE(m_child.IsRunning());
    EXPECT_EQ(m_driver.CurrentPage(), WizardPage::NextAction);

    m_driver.Press(300);
    HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
    ASSERT_NE(hBox, nullptr);
    testsupport::ClickDialogButton(hBox, IDYES);
    ExpectFinish(kFinishCancelled);
    Sleep(6500);
    EXPECT_TRUE(m_child.IsRunning());
    CloseFinishPage();
}

TEST_F(WizardRunTest, APostedActivationRequestRaisesTheHiddenWizard)
{
    ServeUpdateInfo(UpdateInfo("2.5.1"), "stall 30");
    Start("auto");
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() { return m_driver.CurrentPage() == WizardPage::RetrieveUpdate; }, kWaitMs));
    const UINT uActivate = RegisterWindowMessageA("ZSP Window Message");

    // Any other wParam goes to the window as usual, which ignores it.
    PostMessageA(m_driver.FindWizard(), uActivate, 2, 0);
    Sleep(500);
    EXPECT_FALSE(m_driver.IsWizardVisible());

    // wParam 1 is taken by the message loop, whatever window it was posted to.
    PostMessageA(m_driver.FindWizard(), uActivate, 1, 0);
    ASSERT_TRUE(testsupport::WaitUntil([&]() { return m_driver.IsWizardVisible(); }, kWaitMs));
    EXPECT_TRUE(IsWindowEnabled(m_driver.FindWizard()));
}

// Notes that would run script, open a window, move on by themselves, hold a
// frame and a control and link to a program: nothing but the notes is
// fetched, no window appears, and the wizard stays as it was.
TEST_F(WizardRunTest, TheReleaseNotesCanNeitherActNorLeadAway)
{
    testsupport::ServeFile(
        "/zsp/notes.html",
        "<html><head><meta http-equiv=\"refresh\" content=\"0; url=setup.exe\"><script>"
        "window.open('frame.html'); location = 'setup.exe';</script></head><body>"
        "<iframe src=\"frame.html\"></iframe><object classid=\"clsid:8856F961-340A-11D0-A96B-"
        "00C04FD705A2\"></object><a href=\"setup.exe\">Install</a></body></html>");
    testsupport::ServeFile("/zsp/frame.html", "<html></html>");
    testsupport::ServeFile("/zsp/setup.exe", "MZ");
    ServeUpdateInfo(UpdateInfo("2.5.1"));
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs));
    // This Wine has no HTML engine: once the notes arrive it shows their address.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() {
            return m_driver.PageText(WizardPage::NextAction, 229).find("notes") != std::string::npos;
        },
        kWaitMs));
    Sleep(1000);
    const auto requests = testsupport::HttpRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("\"path\": \"/zsp/notes.html\""), std::string::npos) << requests[1];
    EXPECT_EQ(testsupport::TopLevelWindowsOf(m_child.Id(), true),
              std::vector<HWND>{m_driver.FindWizard()});
    EXPECT_EQ(m_driver.CurrentPage(), WizardPage::NextAction);
    EXPECT_EQ(m_driver.EnabledButtons(), 5u);
}

TEST_F(WizardRunTest, UpdatesTurnedOffOrManualOnlyByTheOrganisation)
{
    // The machine's value as an administrator's script writes it, as text;
    // the user's own applies only where the machine's is not taken.
    const struct
    {
        const char* pszMachine;
        DWORD dwUser;
        bool bManualChecks;
    } rows[] = {{"0", 1, false}, {"two", 2, true}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszMachine);
        testsupport::ClearProductKeys();
        testsupport::ClearHttpRoot();
        ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kPolicyKey, "UpdatesEnabled", row.pszMachine));
        ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kPolicyKey, "UpdatesEnabled", row.dwUser));
        ServeUpdateInfo(UpdateInfo("2.5.1"));
        Start("auto");
        ExpectSilentEnd();
        EXPECT_TRUE(testsupport::HttpRequests().empty());
        EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, kSettingsKey)) << "the settings were touched";

        Start("man");
        if (row.bManualChecks)
            EXPECT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs));
        else
            ExpectFinish(kTurnedOff);
        EXPECT_EQ(testsupport::HttpRequests().empty(), !row.bManualChecks);
        EXPECT_TRUE(IsPolicyLineShown());
        m_child.Terminate();
    }
}

TEST_F(WizardRunTest, APinnedVersionHoldsANewerOneBack)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kPolicyKey, "TargetVersionPrefix", "2.4"));
    ServeUpdateInfo(UpdateInfo("2.5.1"));
    Start("man");
    ExpectFinish(kNoNewVersion);
    EXPECT_EQ(m_driver.FailureLine(),
              "Your organization keeps Vexil Junquell at version 2.4, so version 2.5.1.0 is not offered.");
    EXPECT_TRUE(IsPolicyLineShown());
    CloseFinishPage();
}

TEST_F(WizardRunTest, TheOrganisationsServerWithoutSkipOrRemind)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kPolicyKey, "UpdateInfoUrl",
                                         testsupport::HttpUrl("/corp/update.txt")));
    ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kPolicyKey, "SkipAndRemindAllowed", 0));
    testsupport::ServeFile("/corp/update.txt", UpdateInfo("2.5.1"));
    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
        << testsupport::PageName(m_driver.CurrentPage());
    const HWND hPage = m_driver.PageWindow(WizardPage::NextAction);
    for (int nId = IDC_RB_INSTALL_NOW; nId <= IDC_RB_REMIND_WEEK; ++nId)
    {
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hPage, nId))) << nId;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(hPage, nId)) != FALSE, nId == IDC_RB_INSTALL_NOW) << nId;
    }
    EXPECT_EQ(m_driver.EnabledButtons(), 5u);
    EXPECT_TRUE(IsPolicyLineShown());
    for (const std::string& request : testsupport::HttpRequests())
        EXPECT_EQ(request.find(kUpdateInfoPath), std::string::npos) << request;
}

TEST_F(WizardRunTest, AReleaseStagedAwayReachesOnlyTheUserWhoAsks)
{
    // A halted release: no installation is in its share.
    ServeUpdateInfo(UpdateInfo("2.5.1") + "rollout=0\r\n");
    Start("auto");
    ExpectSilentEnd();
    EXPECT_EQ(testsupport::HttpRequests().size(), 1u) << "more than the check was sent";
    ExpectStampedNow();
    EXPECT_EQ(StoredAvailableVersion(), "2.4.2.218");
    // The identity the share was judged by, made by the run that needed it.
    auto id = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "InstallationId");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(id->data.size(), 16u);

    Start("man");
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
        << testsupport::PageName(m_driver.CurrentPage());
}

} // namespace
