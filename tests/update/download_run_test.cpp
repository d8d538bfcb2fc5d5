// The whole update, from the check to the running installer: update.exe
// against the loopback server with the project's sample installer as the
// download, driven from outside.
#include "tests/update/download_run.h"

namespace download_run {
namespace {

TEST_F(DownloadRunTest, InstallsEndToEnd)
{
    ServeUpdate(static_cast<uint32_t>(m_installer.size()), "trickle 16384 20");
    StartAndChooseInstall();
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::Download, kWaitMs));
    EXPECT_EQ(m_driver.EnabledButtons(), 4u);

    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the updater did not end";
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(InstallerPath()), m_installer);
    EXPECT_EQ(StoredNotifyDownload(), 0u);
    ASSERT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, kWaitMs));

    // The installer runs on after the updater has ended.
    auto pid = testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid");
    ASSERT_TRUE(pid);
    HANDLE hInstaller = OpenProcess(SYNCHRONIZE, FALSE, pid->AsDword());
    ASSERT_NE(hInstaller, nullptr);
    EXPECT_EQ(WaitForSingleObject(hInstaller, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(hInstaller);

    // The installer was fetched as a normal, cacheable download.
    bool bFetched = false;
    for (const std::string& request : testsupport::HttpRequests())
    {
        if (request.find(kInstallerUrlPath) != std::string::npos)
        {
            bFetched = true;
            EXPECT_EQ(request.find("no-cache"), std::string::npos) << request;
        }
    }
    EXPECT_TRUE(bFetched);
}

TEST_F(DownloadRunTest, AnUpdateThatDidNotGoInIsSaidAndOfferedAgainUntilInstalled)
{
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs));
    ASSERT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, kWaitMs));
    auto pending = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "PendingVersion");
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->AsString(), "2.5.0.301");
    // The installer ends without installing, and the version counts as
    // offered before.
    EndSampleInstaller();
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion", "2.5.0.301"));

    for (const char* pszMode : {"man", "auto"})
    {
        SCOPED_TRACE(pszMode);
        ASSERT_TRUE(StartUpdater(pszMode));
        ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
            << testsupport::PageName(m_driver.CurrentPage());
        EXPECT_TRUE(m_driver.IsPageControlVisible(WizardPage::NextAction, IDC_PENDING_LINE));
        const std::string line = m_driver.PageText(WizardPage::NextAction, IDC_PENDING_LINE);
        EXPECT_EQ(line.rfind("The update to 2.5.0.301 was started on ", 0), 0u) << line;
        m_child.Terminate();
    }

    // Installed since: nothing more is said or kept.
    ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Version", "2.5.0.301"));
    ASSERT_TRUE(StartUpdater("auto"));
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs));
    EXPECT_FALSE(testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "PendingVersion"));
    EXPECT_FALSE(testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "PendingSince"));
}

TEST_F(DownloadRunTest, TheInstallerWaitsUntilTheMailClientIsClosed)
{
    ASSERT_NO_FATAL_FAILURE(RunUntilWaitingForTheMailClient());
    Sleep(1000);
    EXPECT_FALSE(InstallerStarted());
    EXPECT_TRUE(m_child.IsRunning());

    ASSERT_NO_FATAL_FAILURE(CloseTheMailClientAndExpectTheInstaller());
    EXPECT_EQ(StoredNotifyDownload(), 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
}

// A library put beside the waiting installer would be loaded by it: it is
// deleted before the installer starts, and one that cannot be deleted keeps
// the installer from starting.
TEST_F(DownloadRunTest, ALibraryPutBesideTheWaitingInstallerIsDeletedBeforeItStarts)
{
    ASSERT_NO_FATAL_FAILURE(RunUntilWaitingForTheMailClient());
    std::ofstream(UpdateFolder() / "version.dll", std::ios::binary) << "planted";
    PostMessageA(m_hMailClient, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_mailClient.WaitForExit(kWaitMs));
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
    EXPECT_FALSE(fs::exists(UpdateFolder() / "version.dll"));
}

TEST_F(DownloadRunTest, ALibraryThatCannotBeDeletedKeepsTheInstallerFromStarting)
{
    ASSERT_NO_FATAL_FAILURE(RunUntilWaitingForTheMailClient());
    fw::CFileHandle planted(CreateFileA((UpdateFolder() / "version.dll").string().c_str(),
                                        GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                                        nullptr));
    ASSERT_TRUE(planted);
    PostMessageA(m_hMailClient, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_mailClient.WaitForExit(kWaitMs));
    ExpectFinish(kFinishFailed, "The installer was not started: the update folder holds a file that "
                          "could not be removed (version.dll).");
    EXPECT_FALSE(InstallerStarted());
    EXPECT_EQ(StoredNotifyDownload(), 5u);
}

// While the wizard is open neither level of the update folder can be moved
// aside for a link, and links put inside it, to a file and to an empty
// folder outside, are never followed: the save and the emptying leave what
// they lead to as it is, and the installer does not start beside them.
TEST_F(DownloadRunTest, LinksPutInTheUpdateFolderWhileTheWizardIsOpenLeadNowhere)
{
    testsupport::ScopedTempDir outside("outside");
    fs::create_directories(outside.Path() / "in");
    std::ofstream(outside.Path() / "x.dll", std::ios::binary) << "outside";
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    ASSERT_TRUE(StartUpdater("man"));
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs));
    for (const fs::path& level : {UpdateFolder(), UpdateFolder().parent_path()})
    {
        const std::wstring aside = level.wstring() + L".old";
        EXPECT_FALSE(MoveFileW(level.c_str(), aside.c_str())) << level.u8string();
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        std::error_code ec;
        fs::remove_all(aside, ec);
    }
    testsupport::ScopedUnixLink file(outside.Path() / "x.dll", UpdateFolder() / "version.dll");
    testsupport::ScopedUnixLink folder(outside.Path() / "in", UpdateFolder() / "sub");
    ASSERT_TRUE(file.Made() && folder.Made()) << "Wine makes no other links";
    m_driver.Press(302);
    ExpectFinish(kFinishFailed, "The installer was not started: the update folder holds a file that "
                                "could not be removed (version.dll).");
    EXPECT_EQ(testsupport::ReadFileBytes(outside.Path() / "x.dll"), "outside");
    EXPECT_TRUE(fs::is_directory(outside.Path() / "in") && fs::is_empty(outside.Path() / "in"));
}

TEST_F(DownloadRunTest, CancelWhileTheMailClientHoldsTheProductStartsNothing)
{
    ASSERT_NO_FATAL_FAILURE(RunUntilWaitingForTheMailClient());
    ASSERT_NO_FATAL_FAILURE(CancelAndConfirm());
    ExpectFinish(kFinishCancelled);
    EXPECT_FALSE(InstallerStarted());
    EXPECT_FALSE(fs::exists(InstallerPath()));
    EXPECT_EQ(StoredNotifyDownload(), 5u);
    PostMessageA(m_hMailClient, WM_CLOSE, 0, 0);
}

// The updater and its resource library may lie in the product folder
// themselves: the updater's own process never holds the product.
TEST_F(DownloadRunTest, AnUpdaterInTheProductFolderStartsTheInstallerAtOnce)
{
    const fs::path product = InstallProduct();
    fs::copy_file(testsupport::BinDir() / "update.exe", product / "update.exe");
    fs::copy_file(testsupport::BinDir() / "res.dll", product / "res.dll");
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall((product / "update.exe").string());
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, kWaitMs));
}

// A product key naming a drive's root names no product folder: every
// program with a library on that drive would hold it, and the installer
// would never start.
TEST_F(DownloadRunTest, AProductFolderThatIsADrivesRootStartsTheInstallerAtOnce)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "", "C:\\"));
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the updater waits for holders";
    EXPECT_EQ(dwExit, 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
}

// Installers of earlier runs, a broken one of the same name among them, and
// whatever else lies in the update folder are gone when a run starts.
TEST_F(DownloadRunTest, WhatEarlierRunsLeftInTheUpdateFolderIsGoneBeforeTheInstallerStarts)
{
    fs::create_directories(UpdateFolder() / "sub");
    for (const char* pszName :
         {"vxzsp-2.5.0.301.exe", "vxzsp-2.4.2.218.exe", "version.dll", "sub/version.dll"})
        std::ofstream(UpdateFolder() / pszName, std::ios::binary) << "left from before";
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
}

TEST_F(DownloadRunTest, FailuresEndOnTheFinishPageAndLeaveNoFile)
{
    struct Case
    {
        const char* pszWhat;
        int nSizeDelta;
        const char* pszFault;
        const char* pszWhy;
    };
    const char kSmaller[] = "The download was smaller than announced (announced ";
    const char kLarger[] = "The download was larger than announced (announced ";
    const Case cases[] = {
        {"announced size too large", 1, "", kSmaller},
        {"announced size too small", -1, "", kLarger},
        {"announced size 0", -100000000, "", "The download was larger than announced (announced 0 bytes"},
        {"server error", 0, "status 500",
         "The update server answered with HTTP status 500 (Internal Server Error)."},
        {"connection closed", 0, "close", kSmaller},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        const long long size = static_cast<long long>(m_installer.size()) + c.nSizeDelta;
        ServeUpdate(static_cast<uint32_t>(size < 0 ? 0 : size), c.pszFault);
        StartAndChooseInstall();
        ExpectFinish(kFinishFailed, c.pszWhy);
        EXPECT_FALSE(fs::exists(InstallerPath()));
        EXPECT_FALSE(InstallerStarted());
        EXPECT_EQ(StoredNotifyDownload(), 5u);
    }
}

// An installer announced small whose server sends far more is given up
// once the announced size is passed: the rest is never fetched or saved.
TEST_F(DownloadRunTest, AnInstallerLargerThanAnnouncedIsCutOffEarly)
{
    const uint32_t announced = 1572864;
    m_installer.resize(64 << 20, 'z');
    ServeUpdate(announced, "trickle 65536 25");
    StartAndChooseInstall();
    ExpectFinish(kFinishFailed, "The download was larger than announced (announced 1.5 MB, received at least 64.0 MB).");
    EXPECT_FALSE(fs::exists(InstallerPath()));
    EXPECT_FALSE(InstallerStarted());
    std::string response;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() {
            for (const std::string& line : testsupport::HttpResponses())
                if (line.find(kInstallerUrlPath) != std::string::npos)
                    response = line;
            return !response.empty();
        },
        kWaitMs));
    EXPECT_TRUE(testsupport::JsonTrue(response, "client_left")) << response;
    EXPECT_LT(testsupport::JsonNumber(response, "sent"), m_installer.size() / 8) << response;
}

// A try that breaks off, on a cut connection or after a minute of receiving
// nothing, is tried again from where it stopped.
TEST_F(DownloadRunTest, ACutDownloadGoesOnFromWhereItStopped)
{
    BreakOffOnce(m_installer, "cut " + std::to_string(m_installer.size() / 2), "", false);
}

TEST_F(DownloadRunTest, ADownloadThatStopsReceivingIsTriedAgainFromWhereItStopped)
{
    BreakOffOnce(m_installer, "pause 20000 150", "", false, 90000);
}

TEST_F(DownloadRunTest, AServerThatIgnoresRangesSendsTheWholeInstallerAgain)
{
    BreakOffOnce(m_installer, "cut " + std::to_string(m_installer.size() / 2), "norange", true);
}

// Bytes of another file are never joined to the installer's: its validator
// no longer matches, and the whole file comes again.
TEST_F(DownloadRunTest, AnInstallerChangedBetweenTriesStartsAgain)
{
    const std::string other(m_installer.size(), 'x');
    BreakOffOnce(other, "cut " + std::to_string(m_installer.size() / 2), "", true);
}

// A run that ends before the installer is whole leaves what it wrote; the
// next run of the same update goes on from there and fetches only the rest.
TEST_F(DownloadRunTest, TheNextRunGoesOnWhereACancelledOneStopped)
{
    CancelAtHalf(UpdateInfoText());
    StartAndChooseInstall();
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
    EXPECT_LE(testsupport::BytesSent(kInstallerUrlPath), m_installer.size() + 64 * 1024);
    EXPECT_FALSE(fs::exists(PartRecordPath()));
}

// A run that offers another version deletes the part of the last one.
TEST_F(DownloadRunTest, ARunOfferingAnotherVersionDeletesThePart)
{
    CancelAtHalf(UpdateInfoText());
    testsupport::ServeFile("/zsp/update.txt", UpdateInfoText("2.5.1.0"));
    ASSERT_TRUE(StartUpdater("man"));
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs));
    EXPECT_FALSE(fs::exists(PartPath()));
    EXPECT_FALSE(fs::exists(PartRecordPath()));
}

// An address that refuses hands the installer over to the next one.
TEST_F(DownloadRunTest, AMirrorTakesOverWhereTheInstallerAddressFails)
{
    testsupport::ServeFile("/zsp/update.txt", UpdateInfoText() + "mirror=" +
                                                  testsupport::HttpUrl("/zsp/mirror/setup.exe") + "\r\n");
    testsupport::ServeFile(kInstallerUrlPath, m_installer, "status 404");
    testsupport::ServeFile("/zsp/mirror/setup.exe", m_installer);
    StartAndChooseInstall();
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    ASSERT_NO_FATAL_FAILURE(ExpectStartedAloneAsVerified());
    EXPECT_EQ(testsupport::BytesSent("/zsp/mirror/setup.exe"), m_installer.size());
}

// Five tries, each cut short, and the last failure is the one shown.
TEST_F(DownloadRunTest, ADownloadCutAtEveryTryEndsAfterFiveTries)
{
    ServeUpdate(static_cast<uint32_t>(m_installer.size()), "truncate 1000");
    StartAndChooseInstall();
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::Finish, 60000));
    ExpectFinish(kFinishFailed, "The download was smaller than announced (announced ");
    EXPECT_EQ(testsupport::BytesSent(kInstallerUrlPath), 5000u);
    EXPECT_FALSE(InstallerStarted());
}

TEST_F(DownloadRunTest, AnInstallerWhereNothingAnswersIsNotReached)
{
    testsupport::ServeFile("/zsp/update.txt", "2.5.0.301\r\n1000\r\n" +
                                                  testsupport::HttpUrl("/zsp/notes.html") +
                                                  "\r\nhttp://127.0.0.1:1/setup.exe\r\n");
    StartAndChooseInstall();
    ExpectFinish(kFinishFailed, "The update server could not be reached.");
}

// The shell would start a program from a shared folder or a file: address
// without any download, size or digest check; a build without keys has only
// the connection to protect the installer; and a NUL would end the address
// that the transfer is given before the host that was checked. Each is
// refused before anything else is fetched.
TEST_F(DownloadRunTest, AnInstallerAddressThatIsNotTakenIsRefused)
{
    const char kNotWeb[] = "The update information does not give a web address (http or https) for the installer.";
    const std::string hidden = "http://example.test" + std::string(1, '\0') + "@" +
                               testsupport::HttpUrl(kInstallerUrlPath).substr(7);
    const struct
    {
        std::string url;
        const char* pszText;
        const char* pszWhy;
    } cases[] = {
        {"\\\\127.0.0.1\\share\\setup.exe", testsupport::kFinishUntrusted, kNotWeb},
        {"file:///C:/windows/notepad.exe", testsupport::kFinishUntrusted, kNotWeb},
        {"http://example.test/zsp/setup.exe", testsupport::kFinishUntrusted,
         "The installer would have been downloaded without a secure connection (https)"},
        {hidden, kFinishFailed, "The update information could not be read."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.url);
        testsupport::ServeFile("/zsp/update.txt", "2.5.0.301\r\n1000\r\n" +
                                                      testsupport::HttpUrl("/zsp/notes.html") +
                                                      "\r\n" + c.url + "\r\n");
        ASSERT_TRUE(StartUpdater("man"));
        ExpectFinish(c.pszText, c.pszWhy);
        EXPECT_EQ(testsupport::HttpRequests().size(), 1u);
        testsupport::ClearHttpRoot();
    }
}

TEST_F(DownloadRunTest, AnInstallerHeldOpenByAnotherProgramIsAFailure)
{
    fs::create_directories(UpdateFolder());
    {
        std::ofstream held(InstallerPath(), std::ios::binary);
        held << "still running";
    }
    HANDLE hReady = CreateEventA(nullptr, TRUE, FALSE, "ZspTestHolderReady");
    HANDLE hRelease = CreateEventA(nullptr, TRUE, FALSE, "ZspTestHolderRelease");
    ChildProcess holder;
    ASSERT_TRUE(holder.Start(testsupport::Quoted((testsupport::BinDir() / "file_holder.exe").string()) +
                             " " + testsupport::Quoted(InstallerPath().string()) +
                             " ZspTestHolderReady ZspTestHolderRelease"));
    ASSERT_EQ(WaitForSingleObject(hReady, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));

    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    ExpectFinish(kFinishFailed, "The installer could not be saved: ");
    EXPECT_FALSE(InstallerStarted());

    SetEvent(hRelease);
    holder.WaitForExit(kWaitMs);
    CloseHandle(hReady);
    CloseHandle(hRelease);
    // The other program's file is left as it was.
    EXPECT_EQ(testsupport::ReadFileBytes(InstallerPath()), "still running");
}

TEST_F(DownloadRunTest, CancelDuringTheDownload)
{
    ServeUpdate(static_cast<uint32_t>(m_installer.size()), "stall 30");
    StartAndChooseInstall();
    ASSERT_TRUE(m_driver.WaitForPage(WizardPage::Download, kWaitMs));
    ASSERT_NO_FATAL_FAILURE(CancelAndConfirm());
    ExpectFinish(kFinishCancelled);
    EXPECT_FALSE(fs::exists(InstallerPath()));
    EXPECT_EQ(StoredNotifyDownload(), 5u);
}

TEST_F(DownloadRunTest, AnInstallerTheShellCannotStartIsReportedAndKept)
{
    // The right size, but not a program.
    m_installer = std::string(4096, 'x');
    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    // The system's text for the error is shown where the system has one
    // (Wine has none for a file that is not a program).
    HWND hBox = nullptr;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() {
            hBox = m_driver.WaitForMessageBox(0);
            return hBox != nullptr || m_driver.CurrentPage() == WizardPage::Finish;
        },
        kWaitMs));
    if (hBox != nullptr)
    {
        testsupport::MessageBoxContents box;
        ASSERT_TRUE(testsupport::ReadMessageBox(hBox, box));
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
        testsupport::ClickDialogButton(hBox, IDOK);
    }
    ExpectFinish(kFinishFailed, "The installer could not be started: ");
    EXPECT_EQ(testsupport::ReadFileBytes(InstallerPath()), m_installer);
    EXPECT_EQ(StoredNotifyDownload(), 5u);
}

TEST_F(DownloadRunTest, AFileInThePlaceOfTheUpdateFolderIsReportedAndEndsTheRun)
{
    fs::create_directories(UpdateFolder().parent_path().parent_path());
    {
        std::ofstream inTheWay(UpdateFolder().parent_path(), std::ios::binary);
        inTheWay << "not a folder";
    }
    ASSERT_TRUE(StartUpdater("man"));
    HWND hBox = m_driver.WaitForMessageBox(kWaitMs);
    ASSERT_NE(hBox, nullptr);
    testsupport::MessageBoxContents box;
    ASSERT_TRUE(testsupport::ReadMessageBox(hBox, box));
    EXPECT_EQ(box.caption, "Error");
    // The system's own text for the error: the folder below the file cannot
    // be made.
    char szExpected[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szExpected, sizeof(szExpected),
                   nullptr);
    EXPECT_EQ(box.text, szExpected);
    EXPECT_FALSE(m_driver.IsWizardVisible());
    testsupport::ClickDialogButton(hBox, IDOK);
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    // Nothing was fetched: the run ended before the wizard.
    EXPECT_TRUE(testsupport::HttpRequests().empty());
    std::error_code ec;
    fs::remove(UpdateFolder().parent_path(), ec);
}

} // namespace

// The publisher's signature and the installer's digest. The updater in
// bin/signed has the test keys a and b built in; the update information is
// signed with plain openssl at build time (tests/update/sign-update-info).
class SignedUpdateTest : public DownloadRunTest
{
protected:
    static std::string SignedUpdater() { return (testsupport::BinDir() / "signed" / "update.exe").string(); }

    static std::string Signed(const std::string& name)
    {
        return testsupport::ReadFileBytes(testsupport::BinDir().parent_path() / "test-keys" / "update-info" /
                             (name + ".txt"));
    }

    // The update information without its signature line.
    static std::string Unsigned(const std::string& name)
    {
        const std::string text = Signed(name);
        return text.substr(0, text.find("signature="));
    }

    void Serve(const std::string& info, const std::string& installer)
    {
        testsupport::ServeFile("/zsp/update.txt", info);
        testsupport::ServeFile(kInstallerUrlPath, installer);
    }

    // A manual run of the signed updater that ends on the failure line.
    void ExpectRefused(const std::string& info, const std::string& why)
    {
        Serve(info, m_installer);
        ASSERT_TRUE(StartUpdater("man", SignedUpdater()));
        ExpectFinish(testsupport::kFinishUntrusted, why.c_str());
        EXPECT_FALSE(InstallerFetched());
    }

    static std::string StoredHighestVersion()
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "HighestVersion");
        return value ? value->AsString() : "<missing>";
    }

    bool InstallerFetched() const
    {
        for (const std::string& request : testsupport::HttpRequests())
        {
            if (request.find(kInstallerUrlPath) != std::string::npos)
                return true;
        }
        return false;
    }

    void ExpectInstalled(const std::string& updater)
    {
        StartAndChooseInstall(updater);
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
        EXPECT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, kWaitMs));
        // Ready for the next case.
        EndSampleInstaller();
        testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
        std::error_code ec;
        fs::remove(m_log, ec);
    }
};

TEST_F(SignedUpdateTest, EitherBuiltInKeyIsAcceptedSoThatAKeyCanBeRotated)
{
    for (const char* pszName : {"signed-a", "signed-b"})
    {
        SCOPED_TRACE(pszName);
        Serve(Signed(pszName), m_installer);
        ExpectInstalled(SignedUpdater());
    }
    // An updater without keys reads the same files.
    Serve(Signed("signed-a"), m_installer);
    ExpectInstalled(testsupport::UpdateExePath());
}

TEST_F(SignedUpdateTest, UpdateInformationWithoutAValidSignatureIsUnreadable)
{
    std::string changed = Signed("signed-a");
    const size_t nNotes = changed.find("notes.html");
    ASSERT_NE(nNotes, std::string::npos);
    changed.replace(nNotes, 5, "NOTES");
    const char kNotVerified[] = "The update could not be verified as coming from the publisher.";
    const struct
    {
        const char* pszWhat;
        std::string info;
        const char* pszWhy;
    } cases[] = {
        {"unsigned", Unsigned("signed-a"), kNotVerified},
        {"signed by a key that is not built in", Signed("signed-c"), kNotVerified},
        {"a field changed after signing", changed, kNotVerified},
        {"signed, but without the installer's digest", Signed("signed-a-without-digest"), kNotVerified},
        {"signed, but never expiring", Signed("signed-a-without-expiry"),
         "The update information is signed but has no expiry time"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        Serve(c.info, m_installer);
        ASSERT_TRUE(StartUpdater("man", SignedUpdater()));
        ExpectFinish(testsupport::kFinishUntrusted, c.pszWhy);
        EXPECT_FALSE(InstallerFetched());
    }

    // An automatic run postpones the next check and remembers nothing.
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime", 1000));
    Serve(Signed("signed-c"), m_installer);
    ASSERT_TRUE(StartUpdater("auto", SignedUpdater()));
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    auto stamped = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime");
    ASSERT_TRUE(stamped);
    EXPECT_EQ(stamped->AsQword(), 1000u + 6000000000u);
    auto available = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
    ASSERT_TRUE(available);
    EXPECT_EQ(available->AsString(), "2.4.2.218");
}

// With keys built in or without, release notes at a plain http address
// elsewhere are not fetched at all, and the page says why.
TEST_F(SignedUpdateTest, ReleaseNotesAtAPlainHttpAddressAreNotTaken)
{
    for (const std::string& updater : {SignedUpdater(), testsupport::UpdateExePath()})
    {
        SCOPED_TRACE(updater);
        Serve(Signed("signed-a-plain-notes"), m_installer);
        ASSERT_TRUE(StartUpdater("man", updater));
        ASSERT_TRUE(m_driver.WaitForPage(WizardPage::NextAction, kWaitMs))
            << testsupport::PageName(m_driver.CurrentPage());
        EXPECT_EQ(m_driver.PageText(WizardPage::NextAction, 229),
                  "The release notes are not shown here because their address is not secure: "
                  "http://notes.example.test/zsp/notes.html");
        EXPECT_EQ(m_driver.EnabledButtons(), 5u);
        m_child.Terminate();
    }
}

TEST_F(SignedUpdateTest, AnInstallerSwappedForOtherBytesOfTheSameSizeIsDeletedAndNeverStarted)
{
    // Still a program that would start: one byte of its end is changed.
    std::string swapped = m_installer;
    swapped.back() = static_cast<char>(swapped.back() ^ 0x5A);
    const struct
    {
        const char* pszWhat;
        std::string updater;
        std::string info;
    } cases[] = {
        {"signed, with keys", SignedUpdater(), Signed("signed-a")},
        {"a digest without keys", testsupport::UpdateExePath(), Unsigned("signed-a")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        Serve(c.info, swapped);
        StartAndChooseInstall(c.updater);
        ExpectFinish(kFinishFailed, "The downloaded installer could not be verified: its digest does not match.");
        EXPECT_TRUE(InstallerFetched());
        EXPECT_FALSE(fs::exists(InstallerPath()));
        EXPECT_FALSE(InstallerStarted());
        EXPECT_EQ(StoredNotifyDownload(), 5u);
    }
    // Without keys, the same digest with the right installer installs.
    Serve(Unsigned("signed-a"), m_installer);
    ExpectInstalled(testsupport::UpdateExePath());
}

// The record of a part is trusted no further than the digest: bytes changed
// in the part end on the digest's line, and the part goes.
TEST_F(SignedUpdateTest, APartWhoseBytesWereChangedEndsOnTheDigest)
{
    CancelAtHalf(Signed("signed-a"), SignedUpdater());
    {
        std::fstream part(PartPath(), std::ios::in | std::ios::out | std::ios::binary);
        part.seekp(100);
        part.write("EVIL", 4);
    }
    StartAndChooseInstall(SignedUpdater());
    ExpectFinish(kFinishFailed, "The downloaded installer could not be verified: its digest does not match.");
    EXPECT_FALSE(fs::exists(PartPath()));
    EXPECT_FALSE(fs::exists(InstallerPath()));
    EXPECT_FALSE(InstallerStarted());
}

TEST_F(SignedUpdateTest, ExpiredInformationIsRefused)
{
    ExpectRefused(Signed("signed-a-expired"), "The update information expired on ");
    // Where the time has not come, the same file installs.
    Serve(Signed("signed-a"), m_installer);
    ExpectInstalled(SignedUpdater());

    // An automatic run postpones the next check, as for other refusals.
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime", 1000));
    Serve(Signed("signed-a-expired"), m_installer);
    ASSERT_TRUE(StartUpdater("auto", SignedUpdater()));
    bool bSawWindow = false;
    testsupport::WatchUntilExit(m_child.Handle(), m_child.Id(), kWaitMs, &bSawWindow);
    EXPECT_FALSE(bSawWindow);
    auto stamped = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime");
    ASSERT_TRUE(stamped);
    EXPECT_EQ(stamped->AsQword(), 1000u + 6000000000u);
}

// Signed information of an older release served again must not take back
// what later information announced: the highest version seen is kept.
TEST_F(SignedUpdateTest, InformationAnnouncingLessThanBeforeIsRefusedAsRolledBack)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "HighestVersion", "2.6.0.1"));
    ExpectRefused(Signed("signed-a"),
                  "The update server offered an older version (2.5.0.301) than one it offered before (2.6.0.1).");
    EXPECT_EQ(StoredHighestVersion(), "2.6.0.1");

    // Without keys anyone could announce any version: nothing is kept or refused.
    Serve(Signed("signed-a"), m_installer);
    ExpectInstalled(testsupport::UpdateExePath());
    EXPECT_EQ(StoredHighestVersion(), "2.6.0.1");

    // Trusted information raises it; the same again is fine.
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "HighestVersion", "2.4.9"));
    for (int nRun = 0; nRun < 2; ++nRun)
    {
        SCOPED_TRACE(nRun);
        Serve(Signed("signed-a"), m_installer);
        ExpectInstalled(SignedUpdater());
        EXPECT_EQ(StoredHighestVersion(), "2.5.0.301");
    }
}

// Where the publisher signs, the installer comes only over https (or from
// this computer itself): a plain http address of another host is refused
// before anything connects to it.
TEST_F(SignedUpdateTest, APlainHttpInstallerAddressIsRefused)
{
    ExpectRefused(Signed("signed-a-plain-http"),
                  "The installer would have been downloaded without a secure connection (https)");
    EXPECT_EQ(testsupport::HttpRequests().size(), 1u);
}

} // namespace download_run
