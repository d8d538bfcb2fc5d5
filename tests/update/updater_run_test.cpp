// Runs update.exe as a scheduler or a user starts it and looks at what it
// leaves: registry values, windows, message boxes and its exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::kSettingsKey;
using testsupport::Quoted;

constexpr DWORD kRunTimeoutMs = 20000;

class UpdaterRunTest : public ::testing::Test
{
protected:
    // The runs find no update information: whatever an earlier test served
    // on the loopback server is gone.
    void SetUp() override
    {
        testsupport::ClearProductKeys();
        testsupport::ClearHttpRoot();
    }
    void TearDown() override { testsupport::ClearProductKeys(); }

    // Copies the program, and the resource library unless told not to, into
    // a folder of its own.
    static std::string CopyProgram(const fs::path& folder, bool bWithResources)
    {
        fs::create_directories(folder);
        const fs::path bin = testsupport::BinDir();
        fs::copy_file(bin / "update.exe", folder / "update.exe");
        if (bWithResources)
            fs::copy_file(bin / "res.dll", folder / "res.dll");
        return (folder / "update.exe").string();
    }

    static bool DefaultsWereWritten()
    {
        auto frequency = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "Frequency");
        auto available =
            testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
        return frequency && frequency->AsQword() == 864000000000ull && available &&
               available->AsString() == "2.4.2.218";
    }
};

TEST_F(UpdaterRunTest, FirstRunLeavesTheDefaults)
{
    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(testsupport::UpdateExePath()) + " /auto",
                                       kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);

    auto names = testsupport::ValueNames(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(names.size(), 5u);
    EXPECT_TRUE(DefaultsWereWritten());
    // The check that follows finds no update server here, so the automatic
    // run postponed the next one by ten minutes from the default of 0.
    auto last = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(last->AsQword(), 6000000000ull);
    auto notify = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload");
    ASSERT_TRUE(notify);
    EXPECT_EQ(notify->type, static_cast<DWORD>(REG_QWORD));
    auto enable = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable");
    ASSERT_TRUE(enable);
    EXPECT_EQ(enable->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(enable->AsDword(), 1u);
    EXPECT_FALSE(testsupport::KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
}

TEST_F(UpdaterRunTest, InstalledVersionFromTheProductKeyBecomesAvailableVersion)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Version", "3.1.2"));
    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(testsupport::UpdateExePath()) + " /auto",
                                       kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    auto available = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
    ASSERT_TRUE(available);
    EXPECT_EQ(available->AsString(), "3.1.2.0");
}

TEST_F(UpdaterRunTest, WithoutResourceLibraryEndsSilently)
{
    testsupport::ScopedTempDir dir("no-res");
    const std::string exe = CopyProgram(dir.Path(), false);

    ChildProcess child;
    ASSERT_TRUE(child.Start(Quoted(exe) + " /man"));
    bool bSawWindow = false;
    ASSERT_TRUE(
        testsupport::WatchUntilExit(child.Handle(), child.Id(), kRunTimeoutMs, &bSawWindow));
    DWORD dwExit = 1;
    ASSERT_TRUE(child.WaitForExit(0, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_FALSE(bSawWindow);
    // It ended before the settings were touched.
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(UpdaterRunTest, AResourceLibraryWithoutTheWizardEndsTheRunInsteadOfHanging)
{
    // A library that loads but holds none of the dialogs.
    testsupport::ScopedTempDir dir("broken-res");
    const std::string exe = CopyProgram(dir.Path(), false);
    fs::copy_file(testsupport::BinDir() / "setupext.dll", dir.Path() / "res.dll");

    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(exe) + " /man", kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
}

TEST_F(UpdaterRunTest, FindsResourceLibraryBesideItselfFromAnotherFolder)
{
    testsupport::ScopedTempDir dir("elsewhere");
    // Started through a path relative to the starter's folder, with its own
    // current folder where no res.dll lies.
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const std::string relative =
        fs::relative(testsupport::UpdateExePath(), dir.Path()).make_preferred().string();
    DWORD dwExit = 1;
    const bool bRan = testsupport::RunToExit(relative + " /auto", kRunTimeoutMs, &dwExit, "",
                                             dir.String());
    fs::current_path(previous);
    ASSERT_TRUE(bRan) << relative;
    EXPECT_EQ(dwExit, 0u);
    EXPECT_TRUE(DefaultsWereWritten());
}

TEST_F(UpdaterRunTest, ProgramPathWithDashesAndSlashes)
{
    testsupport::ScopedTempDir dir("path-with-dashes");
    const std::string exe = CopyProgram(dir.Path() / "x-man" / "a-b", true);
    std::string forward = exe;
    for (char& c : forward)
    {
        if (c == '\\')
            c = '/';
    }
    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(forward) + " -auto", kRunTimeoutMs, &dwExit, exe));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_TRUE(DefaultsWereWritten());
}

TEST_F(UpdaterRunTest, UnwritableSettingsShowTheRegistryError)
{
    ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable", 1));
    ASSERT_TRUE(testsupport::SetKeyAccess(HKEY_CURRENT_USER, kSettingsKey, "D:P(A;;KR;;;WD)"));

    ChildProcess child;
    ASSERT_TRUE(child.Start(Quoted(testsupport::UpdateExePath()) + " /man"));
    HWND hBox = testsupport::WaitForTopLevelWindow(child.Id(), "#32770", kRunTimeoutMs);
    ASSERT_NE(hBox, nullptr);

    testsupport::MessageBoxContents box;
    ASSERT_TRUE(testsupport::ReadMessageBox(hBox, box));
    EXPECT_EQ(box.text, "Error while reading registry");
    EXPECT_EQ(box.caption, "Error");
    // Wine's message box ignores MB_TOPMOST, so that part of the style
    // cannot be seen from outside here.
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
    EXPECT_EQ(GetWindow(hBox, GW_OWNER), nullptr);

    testsupport::ClickDialogButton(hBox, IDOK);
    DWORD dwExit = 1;
    ASSERT_TRUE(child.WaitForExit(kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(testsupport::ValueNames(HKEY_CURRENT_USER, kSettingsKey),
              std::vector<std::string>{"AutoUpdateEnable"});
}

constexpr char kAppIdKey[] = "AppID\\{8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}";
constexpr char kAppIdExeKey[] = "AppID\\Update.EXE";
constexpr char kTypeLibKey[] = "TypeLib\\{39D89FF9-807F-4DD6-8C47-03564F1EFCC7}";
constexpr char kInterfaceKey[] = "Interface\\{19D75F93-FF58-4F84-98B9-E3C1709FE914}";

class RegistrationTest : public UpdaterRunTest
{
protected:
    void SetUp() override
    {
        UpdaterRunTest::SetUp();
        ClearRegistration();
    }
    void TearDown() override
    {
        ClearRegistration();
        UpdaterRunTest::TearDown();
    }
    static void ClearRegistration()
    {
        for (const char* pszKey : {kAppIdKey, kAppIdExeKey, kTypeLibKey, kInterfaceKey})
            testsupport::DeleteKeyTree(HKEY_CLASSES_ROOT, pszKey);
    }
};

TEST_F(RegistrationTest, RegServerWritesAppIdAndTypeLibrary)
{
    // From a folder without res.dll: registration does not need it.
    testsupport::ScopedTempDir dir("register");
    const std::string exe = CopyProgram(dir.Path(), false);

    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(exe) + " -RegServer", kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, static_cast<DWORD>(S_OK));

    auto appId = testsupport::ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, "");
    ASSERT_TRUE(appId);
    EXPECT_EQ(appId->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(appId->AsString(), "Update");
    auto exeAppId = testsupport::ReadValue(HKEY_CLASSES_ROOT, kAppIdExeKey, "AppID");
    ASSERT_TRUE(exeAppId);
    EXPECT_EQ(exeAppId->AsString(), "{8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}");

    auto typeLibName =
        testsupport::ReadValue(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0", "");
    ASSERT_TRUE(typeLibName);
    EXPECT_EQ(typeLibName->AsString(), "Update 1.0 Type Library");
    // A type library is registered for the platform it was made for.
    const char* pszPlatform = sizeof(void*) == 8 ? "\\win64" : "\\win32";
    auto typeLibPath =
        testsupport::ReadValue(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0\\0" + pszPlatform, "");
    ASSERT_TRUE(typeLibPath);
    EXPECT_STRCASEEQ(typeLibPath->AsString().c_str(), exe.c_str());
    auto interfaceName = testsupport::ReadValue(HKEY_CLASSES_ROOT, kInterfaceKey, "");
    ASSERT_TRUE(interfaceName);
    EXPECT_EQ(interfaceName->AsString(), "IDownloader");

    // No settings, no windows.
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(RegistrationTest, UnregServerRemovesBothKeysAndKeepsAppId)
{
    DWORD dwExit = 1;
    const std::string exe = Quoted(testsupport::UpdateExePath());
    ASSERT_TRUE(testsupport::RunToExit(exe + " /RegServer", kRunTimeoutMs, &dwExit));
    ASSERT_EQ(dwExit, static_cast<DWORD>(S_OK));
    ASSERT_TRUE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kAppIdExeKey));

    ASSERT_TRUE(testsupport::RunToExit(exe + " -unregserver", kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, static_cast<DWORD>(S_OK));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kAppIdExeKey));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
    EXPECT_TRUE(testsupport::KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(RegistrationTest, UnregServerOfANeverRegisteredServerReportsTheTypeLibrary)
{
    DWORD dwExit = 0;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(testsupport::UpdateExePath()) + " -UnregServer",
                                       kRunTimeoutMs, &dwExit));
    // The exit code is the type library's unregistration result.
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(dwExit))) << std::hex << dwExit;
    EXPECT_TRUE(testsupport::KeyExists(HKEY_CLASSES_ROOT, "AppID"));
}

TEST_F(RegistrationTest, RegServerFollowedByAnotherSwitchRunsInstead)
{
    DWORD dwExit = 1;
    ASSERT_TRUE(testsupport::RunToExit(Quoted(testsupport::UpdateExePath()) + " /RegServer /auto",
                                       kRunTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, kAppIdExeKey));
    EXPECT_TRUE(DefaultsWereWritten());
}

// The manifest that update.exe carries names the architecture of its
// build: with another, Windows quietly gives it the old common controls.
TEST(UpdaterManifest, GivesTheCommonControlsOfVersion6ForItsArchitecture)
{
    const std::string exe = testsupport::UpdateExePath();
    ACTCTXA request = {sizeof(request)};
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = exe.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    const HANDLE hContext = CreateActCtxA(&request);
    ASSERT_NE(hContext, INVALID_HANDLE_VALUE) << GetLastError();
    ULONG_PTR uCookie = 0;
    ASSERT_TRUE(ActivateActCtx(hContext, &uCookie));
    // The assembly that comctl32.dll comes from in the program's context.
    ACTCTX_SECTION_KEYED_DATA section = {sizeof(section)};
    const BOOL bRedirected = FindActCtxSectionStringA(
        0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll", &section);
    DWORD dwIndex = section.ulAssemblyRosterIndex;
    SIZE_T cbInfo = 0;
    QueryActCtxW(0, hContext, &dwIndex, AssemblyDetailedInformationInActivationContext, nullptr,
                 0, &cbInfo);
    std::vector<BYTE> info(cbInfo);
    const BOOL bQueried =
        bRedirected && cbInfo > 0 &&
        QueryActCtxW(0, hContext, &dwIndex, AssemblyDetailedInformationInActivationContext,
                     info.data(), info.size(), &cbInfo);
    DeactivateActCtx(0, uCookie);
    ReleaseActCtx(hContext);
    ASSERT_TRUE(bRedirected);
    ASSERT_TRUE(bQueried);
    const std::wstring identity =
        reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(info.data())
            ->lpAssemblyEncodedAssemblyIdentity;
    const std::wstring arch = sizeof(void*) == 8 ? L"\"amd64\"" : L"\"x86\"";
    EXPECT_EQ(identity.find(L"Microsoft.Windows.Common-Controls,"), 0u);
    EXPECT_NE(identity.find(L"processorArchitecture=" + arch), std::wstring::npos);
    EXPECT_NE(identity.find(L"version=\"6."), std::wstring::npos);
}

} // namespace
