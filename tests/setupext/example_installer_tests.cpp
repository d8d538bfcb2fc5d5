// The example installer of examples/installer, built by makensis in both
// flavours against the freshly built libraries, run silently as a product's
// setup runs: from a download folder, against a prepared host key and host
// folder. The product it installs is the plug-in that needs a library of
// its own, and a planted copy of that library lies beside the installer.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/setupext/setupext_fixture.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace setupext_test {
namespace {

using Log = std::vector<std::string>;

constexpr DWORD kRunMs = 30000;

struct Flavour
{
    const char* pszName;   // its folder below examples/installer in the build
    const wchar_t* pszWorkFolder;
    const wchar_t* pszProductFolder;
    bool bOutsideCodePage;
};

// The ANSI installer works only in folders that the ANSI code page holds:
// Latin names, or Cyrillic ones under code page 1251 (the session ru); the
// Unicode ones are given Cyrillic and Chinese names. The 64-bit build makes
// NSIS's one 64-bit flavour.
std::vector<Flavour> Flavours()
{
#ifdef _WIN64
    return {{"amd64", L"Почта 邮件", L"Продукт 产品", true}};
#else
    const Flavour ansi = GetACP() == 1251 ? Flavour{"ansi", L"Почта", L"Продукт", false}
                                          : Flavour{"ansi", L"Kestrix mail", L"Vexil ZSP", false};
    return {ansi, {"unicode", L"Почта 邮件", L"Продукт 产品", true}};
#endif
}

bool IsOutsideCodePage(const wchar_t* pszName)
{
    BOOL bLost = FALSE;
    char szName[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, pszName, -1, szName, sizeof(szName),
                        nullptr, &bLost);
    return bLost != FALSE;
}

std::filesystem::path ExampleDir()
{
    return testsupport::BinDir().parent_path() / "examples" / "installer";
}

std::wstring ProductKeyValue(const wchar_t* pszName)
{
    wchar_t szValue[MAX_PATH] = {};
    DWORD cbValue = sizeof(szValue);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vexil ZSP", pszName, RRF_RT_REG_SZ, nullptr,
                 szValue, &cbValue);
    return szValue;
}

class ExampleInstallerTest : public CSetupExtTest, public testing::WithParamInterface<Flavour>
{
protected:
    void SetUp() override
    {
        CSetupExtTest::SetUp();
        ASSERT_EQ(IsOutsideCodePage(GetParam().pszWorkFolder), GetParam().bOutsideCodePage)
            << "the system's ANSI code page is " << GetACP();
        // The installer writes the product key itself.
        DeleteProductKey();
        m_workDir = ScratchDir() / GetParam().pszWorkFolder;
        m_productDir = ScratchDir() / GetParam().pszProductFolder;
        ASSERT_TRUE(std::filesystem::create_directory(m_workDir));
        SetWorkFolder(m_workDir);

        const std::filesystem::path download = ScratchDir() / "download";
        ASSERT_TRUE(std::filesystem::create_directory(download));
        m_installer = download / "vxzsp-setup.exe";
        std::filesystem::copy_file(ExampleDir() / GetParam().pszName / "vxzsp-setup.exe",
                                   m_installer);
        std::filesystem::copy_file(testsupport::BinDir() / "test_plugin_helper.dll",
                                   download / "test_plugin_helper.dll");
    }

    // Runs the installer silently to its end; its exit code.
    DWORD Install()
    {
        testsupport::ChildProcess run;
        DWORD dwExitCode = MAXDWORD;
        EXPECT_TRUE(run.Start(L"\"" + m_installer.wstring() + L"\" /S /D=" +
                              m_productDir.wstring()))
            << "could not start the installer";
        EXPECT_TRUE(run.WaitForExit(kRunMs, &dwExitCode)) << "the installer did not end";
        return dwExitCode;
    }

    void SetAntiSpam(int nJunk)
    {
        WriteBytes(m_workDir / "ZSPlugin.ini", "[AntiSpam]\r\nJunk=" + std::to_string(nJunk));
    }

    // What one call of TurnOnPlugin leaves in the log: the plug-in loaded,
    // called, its library found beside it, and freed before the installer
    // goes on.
    Log SwitchedOn(const char* pszFlags) const
    {
        return {"attach", std::string("TurnOnPlugin ") + pszFlags,
                "helper 1 " + (m_productDir / "test_plugin_helper.dll").u8string(), "detach"};
    }

    std::filesystem::path m_workDir;
    std::filesystem::path m_productDir;
    std::filesystem::path m_installer;
};

INSTANTIATE_TEST_SUITE_P(Flavours, ExampleInstallerTest, testing::ValuesIn(Flavours()),
                         [](const testing::TestParamInfo<Flavour>& info) {
                             return std::string(info.param.pszName);
                         });

TEST_P(ExampleInstallerTest, InstallsSwitchesOnAndAddsTheToolbarOnceAcrossAReinstall)
{
    const std::string oldToolbar = "[Main]\r\nButtons=a,b\r\n";
    WriteBytes(m_workDir / "kxuser.def", oldToolbar);
    SetAntiSpam(0);

    EXPECT_EQ(Install(), 0u);
    EXPECT_TRUE(std::filesystem::exists(m_productDir / "vxzsp.dll"));
    EXPECT_EQ(ProductKeyValue(L""), m_productDir.wstring());
    EXPECT_EQ(ProductKeyValue(L"Version"), L"2.5.0.301");
    // IsToolBar "0": the script appended; IsAntiSpamOn "0": switched on.
    const std::optional<std::string> script = ReadBytes(ExampleDir() / "script.txt");
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(ReadBytes(m_workDir / "kxuser.def"), oldToolbar + *script);
    EXPECT_FALSE(std::filesystem::exists(TempDir() / "script.txt"));
    Log expected = SwitchedOn("1 1");
    for (const std::string& line : SwitchedOn("0 1"))
        expected.push_back(line);
    EXPECT_EQ(PluginLog(), expected);

    // IsToolBar "1" and IsAntiSpamOn "1": only the plug-in is switched on.
    std::filesystem::remove(ScratchDir() / "plugin.log");
    SetAntiSpam(1);
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(ReadBytes(m_workDir / "kxuser.def"), oldToolbar + *script);
    EXPECT_EQ(PluginLog(), SwitchedOn("1 1"));
}

} // namespace
} // namespace setupext_test
