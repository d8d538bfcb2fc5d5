// The whole update for a Windows user whose name lies outside ASCII, under
// code page 1251 (the session ru: the user Иван in the Russian locale): the
// update folder under that user's Local AppData, the installer saved,
// verified, held and started there, and the programs that hold a product
// folder of a Cyrillic name found.
#include "tests/update/download_run.h"

namespace download_run {
namespace {

TEST_F(DownloadRunTest, InstallsForAUserWithACyrillicName)
{
    ASSERT_EQ(GetACP(), 1251u);
    wchar_t szUser[64] = {};
    DWORD cchUser = 64;
    ASSERT_TRUE(GetUserNameW(szUser, &cchUser));
    ASSERT_EQ(std::wstring(szUser), L"Иван");
    ASSERT_NE(UpdateFolder().wstring().find(L"\\users\\Иван\\"), std::wstring::npos)
        << UpdateFolder().u8string();

    ServeUpdate(static_cast<uint32_t>(m_installer.size()));
    StartAndChooseInstall();
    DWORD dwExit = 1;
    ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the updater did not end";
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(StoredNotifyDownload(), 0u);
    ASSERT_TRUE(testsupport::WaitUntil([&]() { return InstallerStarted(); }, kWaitMs));
    EXPECT_EQ(testsupport::ReadFileBytes(InstallerPath()), m_installer);
    const fs::path image = StartedInstallerImage();
    ASSERT_FALSE(image.empty());
    EXPECT_TRUE(fs::equivalent(image, InstallerPath())) << image.u8string();
}

// The mail client holds the plug-in in a product folder of lower-case
// Cyrillic letters, which the product key names in capitals: the installer
// waits until the mail client is closed.
TEST_F(DownloadRunTest, TheInstallerWaitsForTheMailClientInACyrillicProductFolder)
{
    ASSERT_EQ(GetACP(), 1251u);
    ASSERT_NO_FATAL_FAILURE(RunUntilWaitingForTheMailClient(m_productDir.Path() / L"чат ёж яд",
                                                            m_productDir.Path() / L"ЧАТ ЁЖ ЯД"));
    Sleep(1000);
    EXPECT_FALSE(InstallerStarted());
    ASSERT_NO_FATAL_FAILURE(CloseTheMailClientAndExpectTheInstaller());
}

} // namespace
} // namespace download_run
