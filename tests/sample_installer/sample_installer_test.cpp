// Runs the demo's sample installer under the names the updater gives it and
// checks what it leaves behind: its log line, its registry values and its
// window, which ends the program with exit code 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"

namespace {

using testsupport::ChildProcess;

constexpr DWORD kWaitMs = 15000;
constexpr char kRecordKey[] = "Software\\Vexil ZSP Sample Installer";
constexpr char kLogVariable[] = "ZSP_SAMPLE_INSTALLER_LOG";
constexpr char kTitle[] = "Vexil Junquell Setup";
constexpr char kExplanation[] = "This is the sample installer of the demo; it installs nothing.";
constexpr int kStartedText = 1002;
constexpr int kExplanationText = 1003;

// The environment variables a test changes, as the test program had them.
class SavedVariable
{
public:
    explicit SavedVariable(const char* pszName) : m_name(pszName)
    {
        char szValue[MAX_PATH] = {};
        const DWORD cch = GetEnvironmentVariableA(pszName, szValue, MAX_PATH);
        m_bWasSet = cch > 0 && cch < MAX_PATH;
        m_value = szValue;
    }
    ~SavedVariable() { SetEnvironmentVariableA(m_name.c_str(), m_bWasSet ? m_value.c_str() : nullptr); }

    SavedVariable(const SavedVariable&) = delete;
    SavedVariable& operator=(const SavedVariable&) = delete;

private:
    std::string m_name;
    std::string m_value;
    bool m_bWasSet = false;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SampleInstallerTest : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kRecordKey); }

    void TearDown() override
    {
        m_child.Terminate();
        testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kRecordKey);
    }

    // Starts a copy of the sample installer with that file name; the child
    // inherits the environment that the test has set.
    void StartCopy(const std::string& fileName)
    {
        const std::string copy = (m_dir.Path() / fileName).string();
        ASSERT_TRUE(CopyFileA((testsupport::BinDir() / "sample-installer.exe").string().c_str(),
                              copy.c_str(), FALSE));
        ASSERT_TRUE(m_child.Start(testsupport::Quoted(copy)));
    }

    // The log once it holds a whole line, or what it holds at the time-out.
    static std::string WaitForLogLine(const std::string& path)
    {
        std::string text;
        testsupport::WaitUntil(
            [&]() {
                text = ReadFile(path);
                return text.find('\n') != std::string::npos;
            },
            kWaitMs);
        return text;
    }

    std::string ExpectedLine(const std::string& version) const
    {
        return "started " + version + " pid " + std::to_string(m_child.Id()) + "\r\n";
    }

    HWND WaitForWindow() { return testsupport::WaitForTopLevelWindow(m_child.Id(), "#32770", kWaitMs); }

    void ExpectEndsWithZero()
    {
        DWORD dwExit = 1;
        ASSERT_TRUE(m_child.WaitForExit(kWaitMs, &dwExit)) << "the sample installer did not end";
        EXPECT_EQ(dwExit, 0u);
    }

    testsupport::ScopedTempDir m_dir{"sample-installer"};
    SavedVariable m_savedLog{kLogVariable};
    SavedVariable m_savedTmp{"TMP"};
    SavedVariable m_savedTemp{"TEMP"};
    ChildProcess m_child;
};

TEST_F(SampleInstallerTest, RecordsTheVersionOfItsNameAndClosesByItsButton)
{
    const std::string log = (m_dir.Path() / "installer.log").string();
    ASSERT_TRUE(SetEnvironmentVariableA(kLogVariable, log.c_str()));
    StartCopy("vxzsp-9.8.7.6.exe");

    HWND hWnd = WaitForWindow();
    ASSERT_NE(hWnd, nullptr) << "no window was shown";
    EXPECT_EQ(testsupport::TextOf(hWnd), kTitle);
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(hWnd, kStartedText)),
              "Setup of Vexil Junquell for Kestrix! 9.8.7.6 has started.");
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(hWnd, kExplanationText)), kExplanation);

    // Both are written before the window opens.
    EXPECT_EQ(ReadFile(log), ExpectedLine("9.8.7.6"));
    auto version = testsupport::ReadValue(HKEY_CURRENT_USER, kRecordKey, "LastVersion");
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(version->AsString(), "9.8.7.6");
    auto pid = testsupport::ReadValue(HKEY_CURRENT_USER, kRecordKey, "LastPid");
    ASSERT_TRUE(pid.has_value());
    ASSERT_EQ(pid->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(pid->AsDword(), m_child.Id());

    testsupport::ClickDialogButton(hWnd, IDOK);
    ExpectEndsWithZero();
}

TEST_F(SampleInstallerTest, AppendsToTheLogOfEarlierStarts)
{
    const std::string log = (m_dir.Path() / "installer.log").string();
    {
        std::ofstream earlier(log, std::ios::binary);
        earlier << "started 1.0 pid 1\r\n";
    }
    ASSERT_TRUE(SetEnvironmentVariableA(kLogVariable, log.c_str()));
    StartCopy("vxzsp-9.8.7.6.exe");

    ASSERT_NE(WaitForWindow(), nullptr) << "no window was shown";
    EXPECT_EQ(ReadFile(log), "started 1.0 pid 1\r\n" + ExpectedLine("9.8.7.6"));
}

TEST_F(SampleInstallerTest, AnotherNameGivesAnUnknownVersionAndTheCloseBoxEndsIt)
{
    const std::string log = (m_dir.Path() / "installer.log").string();
    ASSERT_TRUE(SetEnvironmentVariableA(kLogVariable, log.c_str()));
    StartCopy("setup.exe");

    HWND hWnd = WaitForWindow();
    ASSERT_NE(hWnd, nullptr) << "no window was shown";
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(hWnd, kStartedText)),
              "Setup of Vexil Junquell for Kestrix! unknown has started.");
    EXPECT_EQ(ReadFile(log), ExpectedLine("unknown"));
    auto version = testsupport::ReadValue(HKEY_CURRENT_USER, kRecordKey, "LastVersion");
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->AsString(), "unknown");

    PostMessageA(hWnd, WM_CLOSE, 0, 0);
    ExpectEndsWithZero();
}

TEST_F(SampleInstallerTest, WithoutTheVariableLogsIntoTheTemporaryFolder)
{
    ASSERT_TRUE(SetEnvironmentVariableA(kLogVariable, nullptr));
    // GetTempPath takes TMP first, then TEMP.
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", m_dir.String().c_str()));
    ASSERT_TRUE(SetEnvironmentVariableA("TEMP", m_dir.String().c_str()));
    StartCopy("vxzsp-2.5.0.301.exe");

    const std::string text = WaitForLogLine((m_dir.Path() / "zsp-sample-installer.log").string());
    EXPECT_EQ(text, ExpectedLine("2.5.0.301"));
}

} // namespace
