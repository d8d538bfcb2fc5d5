// The whole update for a Windows user whose name lies outside ASCII, under
// code page 1251 (the session ru: the user Иван in the Russian locale): the
// update folder under that user's Local AppData, the installer saved,
// verified, held and started there.
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

} // namespace
} // namespace download_run
