// What the runs of the whole update share: update.exe against the loopback
// server with the project's sample installer as the download, driven from
// outside, and what it leaves (the update folder, the installer's log).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "framework/handles.h"
#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"

namespace download_run {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::kFinishCancelled;
using testsupport::kFinishFailed;
using testsupport::kSettingsKey;
using testsupport::WizardDriver;
using testsupport::WizardPage;

constexpr DWORD kWaitMs = 30000;
constexpr char kInstallerUrlPath[] = "/zsp/downloads/setup-2.5.0.301.exe";
constexpr char kSampleInstallerKey[] = "Software\\Vexil ZSP Sample Installer";
constexpr char kCloseMailClient[] =
    "Close Kestrix! to finish the update. The installer starts as soon as it is closed.";
constexpr int kDownloadFigures = 1103;

// Where the updater saves installers: <Local AppData>\Vexil ZSP\Update. Read
// in UTF-16, since the runtime's paths do not take 8-bit text in the ANSI
// code page.
inline fs::path UpdateFolder()
{
    wchar_t szLocalAppData[MAX_PATH] = {};
    DWORD cbLocalAppData = sizeof(szLocalAppData);
    RegGetValueW(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                 L"Local AppData", RRF_RT_REG_SZ, nullptr, szLocalAppData, &cbLocalAppData);
    return fs::path(szLocalAppData) / L"Vexil ZSP" / L"Update";
}

class DownloadRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ClearProductKeys();
        testsupport::ClearHttpRoot();
        testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
        std::error_code ec;
        fs::remove_all(UpdateFolder().parent_path(), ec);
        ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Version",
                                             "2.4.2.218"));
        ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload",
                                            5));
        m_installer = testsupport::ReadFileBytes(testsupport::BinDir() / "sample-installer.exe");
        ASSERT_FALSE(m_installer.empty());
        m_log = m_logDir.Path() / "installer.log";
        // The installer inherits the updater's environment, which is ours.
        SetEnvironmentVariableA("ZSP_SAMPLE_INSTALLER_LOG", m_log.string().c_str());
    }

    void TearDown() override
    {
        m_child.Terminate();
        EndSampleInstaller();
        SetEnvironmentVariableA("ZSP_SAMPLE_INSTALLER_LOG", nullptr);
        testsupport::ClearHttpRoot();
        testsupport::ClearProductKeys();
        testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
        std::error_code ec;
        fs::remove_all(UpdateFolder().parent_path(), ec);
    }

    // The installer was started by the updater of this test: it is ended by
    // the id it recorded.
    static void EndSampleInstaller()
    {
        auto pid = testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid");
        if (!pid)
            return;
        HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid->AsDword());
        if (hProcess != nullptr)
        {
            TerminateProcess(hProcess, 0);
            WaitForSingleObject(hProcess, 5000);
            CloseHandle(hProcess);
        }
    }

    void ServeUpdate(uint32_t announcedSize, const std::string& installerFault = "")
    {
        testsupport::ServeFile("/zsp/update.txt",
                               "2.5.0.301\r\n" + std::to_string(announcedSize) + "\r\n" +
                                   testsupport::HttpUrl("/zsp/notes.html") + "\r\n" +
                                   testsupport::HttpUrl(kInstallerUrlPath) + "\r\n");
        testsupport::ServeFile(kInstallerUrlPath, m_installer, installerFault);
    }

    // Starts the updater in the mode given ("man" or "auto") and points the
    // driver at it.
    bool StartUpdater(const char* pszMode, const std::string& updater = testsupport::UpdateExePath())
    {
        if (!m_child.Start(testsupport::Quoted(updater) + " /" + pszMode))
            return false;
        m_driver = WizardDriver(m_child.Id());
        return true;
    }

    // Runs the check and chooses to install now.
    void StartAndChooseInstall(const std::string& updater = testsupport::UpdateExePath())
    {
        ASSERT_TRUE(StartUpdater("man", updater));
        ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
            << testsupport::PageName(m_driver.CurrentPage());
        m_driver.Press(302);
    }

    // The finish page with its text and, for a failure, the line that says
    // why, which begins with pszWhy.
    void ExpectFinish(const char* pszText, const char* pszWhy = "")
    {
        ASSERT_TRUE(m_driver.WaitForPage(WizardPage::Finish, kWaitMs))
            << testsupport::PageName(m_driver.CurrentPage());
        EXPECT_EQ(m_driver.FinishText(), pszText);
        const std::string why = m_driver.FailureLine();
        EXPECT_EQ(why.rfind(pszWhy, 0), 0u) << why;
        EXPECT_EQ(m_driver.EnabledButtons(), 2u);
        m_driver.Press(301);
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
        EXPECT_EQ(dwExit, 0u);
    }

    static fs::path InstallerPath() { return UpdateFolder() / "vxzsp-2.5.0.301.exe"; }
    static fs::path PartPath() { return UpdateFolder() / "vxzsp-2.5.0.301.exe.part"; }
    static fs::path PartRecordPath() { return UpdateFolder() / "vxzsp-2.5.0.301.exe.part.record"; }

    // Cancel, and Yes to the question that follows.
    void CancelAndConfirm()
    {
        m_driver.Press(300);
        HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
        ASSERT_NE(hBox, nullptr);
        testsupport::ClickDialogButton(hBox, IDYES);
    }

    // A run of updater, serving info, cancelled once half of the installer
    // has been written: it leaves the part and its record, and never a file
    // under the installer's name.
    void CancelAtHalf(const std::string& info, const std::string& updater = testsupport::UpdateExePath())
    {
        testsupport::ServeFile("/zsp/update.txt", info);
        testsupport::ServeFile(kInstallerUrlPath, m_installer,
                               "pause " + std::to_string(m_installer.size() / 2) + " 60");
        StartAndChooseInstall(updater);
        std::error_code ec;
        ASSERT_TRUE(testsupport::WaitUntil(
            [&]() { return fs::file_size(PartPath(), ec) >= m_installer.size() / 2 && !ec; }, kWaitMs));
        ASSERT_NO_FATAL_FAILURE(CancelAndConfirm());
        ExpectFinish(kFinishCancelled);
        EXPECT_TRUE(fs::exists(PartRecordPath()));
        EXPECT_FALSE(fs::exists(InstallerPath()));
        testsupport::ServeFile(kInstallerUrlPath, m_installer);
    }

    std::string UpdateInfoText(const std::string& version = "2.5.0.301") const
    {
        return version + "\r\n" + std::to_string(m_installer.size()) + "\r\n" +
               testsupport::HttpUrl("/zsp/notes.html") + "\r\n" + testsupport::HttpUrl(kInstallerUrlPath) +
               "\r\n";
    }

    // The first try at the installer breaks off as firstFault says, serving
    // firstBytes; while the page waits to try again, the server is given the
    // installer to serve with thenFault. The installer that starts is the one
    // announced, and what was fetched over all tries is the rest of the file
    // only, or the whole file again where it started again.
    void BreakOffOnce(const std::string& firstBytes, const std::string& firstFault,
                      const std::string& thenFault, bool bStartsAgain, DWORD dwBreakMs = kWaitMs)
    {
        ServeUpdate(static_cast<uint32_t>(m_installer.size()));
        testsupport::ServeFile(kInstallerUrlPath, firstBytes, firstFault);
        StartAndChooseInstall();
        ASSERT_TRUE(testsupport::WaitUntil(
            [&]() {
                return m_driver.PageText(WizardPage::Download, kDownloadFigures)
                           .rfind("The connection was lost. Trying again in 2 seconds", 0) == 0;
            },
            dwBreakMs));
        testsupport::ServeFile(kInstallerUrlPath, m_installer, thenFault);
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
        ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
        const uint64_t cbFetched = testsupport::BytesSent(kInstallerUrlPath);
        if (bStartsAgain)
            EXPECT_GE(cbFetched, m_installer.size() * 3 / 2 - 1);
        else
            EXPECT_LE(cbFetched, m_installer.size() + 64 * 1024);
    }

    bool InstallerStarted() const
    {
        return testsupport::ReadFileBytes(m_log).find("started 2.5.0.301 pid") != std::string::npos;
    }

    // The image of the installer that the updater of this test started;
    // empty if none is running.
    static fs::path StartedInstallerImage()
    {
        auto pid = testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid");
        if (!pid)
            return fs::path();
        fw::CKernelHandle installer(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid->AsDword()));
        wchar_t szImage[MAX_PATH] = {};
        DWORD cchImage = MAX_PATH;
        if (!installer || !QueryFullProcessImageNameW(installer.Get(), 0, szImage, &cchImage))
            return fs::path();
        return szImage;
    }

    // The user closes the mail client: the installer starts within 2 s and
    // the updater ends.
    void CloseTheMailClientAndExpectTheInstaller()
    {
        PostMessageA(m_hMailClient, WM_CLOSE, 0, 0);
        ASSERT_TRUE(m_mailClient.WaitForExit(kWaitMs));
        ASSERT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, 2000));
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
        EXPECT_EQ(dwExit, 0u);
    }

    // The installer that runs is the file that was verified, and it was
    // alone in its folder when it started.
    void ExpectStartedAloneAsVerified()
    {
        std::optional<testsupport::RegistryValue> folder;
        ASSERT_TRUE(testsupport::WaitUntil(
            [&]() {
                folder = testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastFolder");
                return folder.has_value();
            },
            kWaitMs));
        EXPECT_EQ(folder->AsString(), AnsiText(InstallerPath().filename()));
        EXPECT_EQ(testsupport::ReadFileBytes(InstallerPath()), m_installer);
        const fs::path image = StartedInstallerImage();
        ASSERT_FALSE(image.empty());
        EXPECT_TRUE(fs::equivalent(image, InstallerPath())) << image.u8string();
    }

    // The product folder with the stand-in plug-in in it, named by the
    // product key as the installer writes it: in the ANSI code page, and
    // written as keyFolder says, which may differ from the folder's own
    // name in the case of its letters.
    fs::path InstallProduct(const fs::path& folder = fs::path(), const fs::path& keyFolder = fs::path())
    {
        m_product = folder.empty() ? m_productDir.Path() : folder;
        fs::create_directories(m_product);
        fs::copy_file(testsupport::BinDir() / "test_plugin.dll", m_product / "vxzsp.dll",
                      fs::copy_options::overwrite_existing);
        EXPECT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "",
                                             AnsiText(keyFolder.empty() ? m_product : keyFolder)));
        return m_product;
    }

    static std::string AnsiText(const fs::path& path)
    {
        char szText[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, szText, sizeof(szText), nullptr, nullptr);
        return szText;
    }

    // With the stand-in mail client open, holding the product's plug-in, an
    // update runs to where page 2 asks for the mail client to be closed, and
    // waits with the installer held.
    void RunUntilWaitingForTheMailClient(const fs::path& folder = fs::path(),
                                         const fs::path& keyFolder = fs::path())
    {
        InstallProduct(folder, keyFolder);
        const fs::path client = testsupport::BinDir() / "kestrix.exe";
        ASSERT_TRUE(m_mailClient.Start(testsupport::Quoted(client.string()) + " " +
                                       AnsiText(m_product / "vxzsp.dll")));
        m_hMailClient =
            testsupport::WaitForTopLevelWindow(m_mailClient.Id(), "ZspTestKestrix", kWaitMs);
        ASSERT_NE(m_hMailClient, nullptr);
        ServeUpdate(static_cast<uint32_t>(m_installer.size()));
        StartAndChooseInstall();
        ASSERT_TRUE(testsupport::WaitUntil(
            [&]() { return m_driver.PageText(WizardPage::Download, kDownloadFigures) == kCloseMailClient; },
            kWaitMs))
            << m_driver.PageText(WizardPage::Download, kDownloadFigures);
        EXPECT_EQ(m_driver.EnabledButtons(), 4u);
        EXPECT_FALSE(InstallerStarted());
        fw::CFileHandle other(CreateFileW(InstallerPath().c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(other) << "the waiting installer is not held";
    }

    static uint64_t StoredNotifyDownload()
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload");
        return value ? value->AsQword() : ~0ull;
    }

    std::string m_installer;
    testsupport::ScopedTempDir m_logDir{"installer-log"};
    fs::path m_log;
    ChildProcess m_child;
    WizardDriver m_driver{0};
    testsupport::ScopedTempDir m_productDir{"product"};
    fs::path m_product;
    ChildProcess m_mailClient;
    HWND m_hMailClient = nullptr;
};

} // namespace download_run
