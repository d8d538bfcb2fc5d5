// The real update.exe driven by the keyboard alone, as a user without a
// mouse or with a screen reader drives it: Tab, Space, Enter, Esc and Alt
// with a letter typed into the wizard; after each key, where the focus is
// and which page shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"

namespace {

using testsupport::TypeKey;
using testsupport::WizardPage;

constexpr DWORD kWaitMs = 20000;
enum Control
{
    kNext = 302,
    kClose = 301,
    kCancel = 300,
    kPageArea = 217,
    kBrowserHost = 229,
    kInstallNow = 1003,
    kRemindTomorrow = 1005,
    kDownloadFigures = 1103,
};

class KeyboardRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ClearProductKeys();
        testsupport::ClearHttpRoot();
        ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, testsupport::kSettingsKey,
                                             "Version", "2.4.2.218"));
    }

    void TearDown() override
    {
        m_child.Terminate();
        testsupport::ClearHttpRoot();
        testsupport::ClearProductKeys();
    }

    void Start(const std::string& version, const std::string& program,
               const std::string& fault = "")
    {
        testsupport::ServeFile("/zsp/update.txt",
                               version + " 1572864 " + testsupport::HttpUrl("/zsp/notes.html") +
                                   " " + testsupport::HttpUrl("/zsp/setup.exe"),
                               fault);
        ASSERT_TRUE(m_child.Start(testsupport::Quoted(program) + " /man"));
        m_driver = testsupport::WizardDriver(m_child.Id());
    }

    // Types the key (none: 0) and expects the page to show with the focus on
    // the control.
    void Expect(WizardPage page, int nFocusId, WORD wKey = 0, bool bAlt = false)
    {
        if (wKey != 0)
            TypeKey(wKey, bAlt);
        ASSERT_TRUE(m_driver.WaitForPage(page, kWaitMs))
            << testsupport::PageName(m_driver.CurrentPage());
        EXPECT_TRUE(testsupport::WaitUntil(
            [&]() { return m_driver.FocusedControlId() == nFocusId; }, kWaitMs))
            << "key " << wKey << ": focus on " << m_driver.FocusedControlId();
    }

    // Esc brings the cancel question; the key answers it.
    void EscapeAndAnswer(WORD wKey)
    {
        TypeKey(VK_ESCAPE);
        HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
        ASSERT_NE(hBox, nullptr);
        TypeKey(wKey);
        EXPECT_TRUE(testsupport::WaitUntil([&]() { return !IsWindow(hBox); }, kWaitMs));
    }

    void ExpectEnds(WORD wKey, bool bAlt = false)
    {
        TypeKey(wKey, bAlt);
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the run did not end";
        EXPECT_EQ(dwExit, 0u);
    }

    testsupport::ChildProcess m_child;
    testsupport::WizardDriver m_driver{0};
};

TEST_F(KeyboardRunTest, TheReleaseNotesPage)
{
    Start("2.5.1", testsupport::UpdateExePath());
    Expect(WizardPage::NextAction, kNext);
    // The page's controls come before the wizard's buttons, in the order
    // that Tab and screen readers follow; Close is disabled and passed by.
    EXPECT_EQ(GetWindow(m_driver.PageWindow(WizardPage::NextAction), GW_HWNDPREV),
              GetDlgItem(m_driver.FindWizard(), kPageArea));
    Expect(WizardPage::NextAction, kCancel, VK_TAB);
    Expect(WizardPage::NextAction, kBrowserHost, VK_TAB);
    Expect(WizardPage::NextAction, kInstallNow, VK_TAB);
    Expect(WizardPage::NextAction, kNext, VK_TAB);
    Expect(WizardPage::NextAction, kRemindTomorrow, 'T', true);
    // Close and Cancel: the choice for later is closed, not continued.
    EXPECT_TRUE(testsupport::WaitUntil([&]() { return m_driver.EnabledButtons() == 6u; }, kWaitMs));

    EscapeAndAnswer('N');
    Expect(WizardPage::NextAction, kRemindTomorrow);
    EscapeAndAnswer('Y');
    Expect(WizardPage::Finish, kClose);
    EXPECT_EQ(m_driver.FinishText(), testsupport::kFinishCancelled);
    ExpectEnds(VK_SPACE);
}

TEST_F(KeyboardRunTest, TheDownloadPageShowsItsFigures)
{
    testsupport::ServeFile("/zsp/setup.exe", std::string(1572864, 'x'), "trickle 16384 100");
    Start("2.5.1", testsupport::UpdateExePath());
    Expect(WizardPage::NextAction, kNext);
    Expect(WizardPage::Download, kCancel, VK_RETURN);
    // Enter never cancels, even with the focus on Cancel.
    TypeKey(VK_RETURN);
    EXPECT_EQ(m_driver.WaitForMessageBox(500), nullptr);
    // Once a rate is known, how long the rest will take.
    const std::regex figures("[0-9.]+ (KB|MB) of 1\\.5 MB, about [0-9]+ seconds left");
    std::string text;
    EXPECT_TRUE(testsupport::WaitUntil(
        [&]() {
            text = m_driver.PageText(WizardPage::Download, kDownloadFigures);
            return std::regex_match(text, figures);
        },
        kWaitMs))
        << text;
    EscapeAndAnswer('Y');
    Expect(WizardPage::Finish, kClose);
    ExpectEnds('L', true);
}

TEST_F(KeyboardRunTest, TheGermanLibraryBringsItsTextsAndMnemonics)
{
    // The updater unchanged, beside the German library installed as res.dll.
    testsupport::ScopedTempDir folder("german-updater");
    const std::string program = (folder.Path() / "update.exe").string();
    ASSERT_TRUE(CopyFileA(testsupport::UpdateExePath().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((testsupport::BinDir() / "de" / "res.dll").string().c_str(),
                          (folder.Path() / "res.dll").string().c_str(), FALSE));
    Start("2.4.2.218", program, "delay 1500");
    Expect(WizardPage::RetrieveUpdate, kCancel);
    Expect(WizardPage::Finish, kClose);
    EXPECT_EQ(m_driver.FinishText(), "Vexil Junquell ist auf dem neuesten Stand. Es gibt keine "
                                     "neuere Version zu installieren.");
    ExpectEnds('S', true);
}

} // namespace
