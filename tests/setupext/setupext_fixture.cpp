#include "tests/setupext/setupext_fixture.h"

#include <shlwapi.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/registry.h"

namespace setupext_test {

const char kHostKey[] = "Software\\Halvik\\Kestrix!";
const char kProductKey[] = "SOFTWARE\\Vexil ZSP";

namespace {

const char kHostParentKey[] = "Software\\Halvik";
const char kPluginLogVariable[] = "SETUPEXT_TEST_PLUGIN_LOG";

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    char szValue[32768];
    const DWORD cch = GetEnvironmentVariableA(name.c_str(), szValue, sizeof(szValue));
    if (cch == 0 || cch >= sizeof(szValue))
        return std::nullopt;
    return std::string(szValue, cch);
}

void RemoveKeys()
{
    testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kHostKey);
    SHDeleteEmptyKeyA(HKEY_CURRENT_USER, kHostParentKey);
    testsupport::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
}

} // namespace

CSetupExtTest::CSetupExtTest() : m_scratch("setupext") {}

void CSetupExtTest::SetUp()
{
    m_workDir = ScratchDir() / "work";
    m_productDir = ScratchDir() / "product";
    m_tempDir = ScratchDir() / "temp";
    for (const auto& folder : {m_workDir, m_productDir, m_tempDir})
        ASSERT_TRUE(std::filesystem::create_directories(folder));

    RemoveKeys();
    SetHostValue("EXE Path", "C:\\Program Files\\Kestrix\\kestrix.exe");
    SetHostValue("ProgramDir", "C:\\Program Files\\Kestrix\\");
    SetHostValue("Working Directory", m_workDir.string() + "\\");
    SetProductDir(m_productDir.string());

    SetEnvironment("TMP", m_tempDir.string());
    SetEnvironment("TEMP", m_tempDir.string());
    SetEnvironment(kPluginLogVariable, (ScratchDir() / "plugin.log").string());

    m_library = std::make_unique<CSetupExtLibrary>(LibraryPath());
    ASSERT_NE(m_library->Module(), nullptr) << LibraryPath() << " could not be loaded";
}

void CSetupExtTest::TearDown()
{
    m_library.reset();
    RemoveKeys();
    for (const auto& [name, value] : m_savedEnvironment)
        SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}

void CSetupExtTest::SetHostValue(const std::string& name, const std::string& value, DWORD dwType)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kHostKey, name, value, dwType));
}

void CSetupExtTest::SetHostBytes(const std::string& name, const std::string& bytes)
{
    ASSERT_TRUE(testsupport::WriteValue(HKEY_CURRENT_USER, kHostKey, name, REG_BINARY,
                                        bytes.data(), static_cast<DWORD>(bytes.size())));
}

void CSetupExtTest::SetWorkFolder(const std::filesystem::path& folder)
{
    const std::wstring value = folder.wstring() + L"\\";
    fw::CRegKeyHandle key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kHostKey, 0, KEY_SET_VALUE, key.Receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), L"Working Directory", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void CSetupExtTest::DeleteHostValue(const std::string& name)
{
    ASSERT_EQ(SHDeleteValueA(HKEY_CURRENT_USER, kHostKey, name.c_str()), ERROR_SUCCESS);
}

void CSetupExtTest::DeleteHostKey()
{
    ASSERT_TRUE(testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kHostKey));
}

void CSetupExtTest::SetProductDir(const std::string& value, DWORD dwType)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kProductKey, "", value, dwType));
}

void CSetupExtTest::DeleteProductDir()
{
    ASSERT_EQ(SHDeleteValueA(HKEY_LOCAL_MACHINE, kProductKey, nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(testsupport::KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

void CSetupExtTest::DeleteProductKey()
{
    ASSERT_TRUE(testsupport::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey));
}

void CSetupExtTest::SetEnvironment(const std::string& name, const std::string& value)
{
    if (m_savedEnvironment.find(name) == m_savedEnvironment.end())
        m_savedEnvironment[name] = EnvironmentValue(name);
    ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), value.c_str()));
}

void CSetupExtTest::InstallPlugin(const std::string& sourceName, const std::string& installedName)
{
    std::error_code ec;
    std::filesystem::copy_file(testsupport::BinDir() / sourceName, m_productDir / installedName,
                               std::filesystem::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << ec.message();
}

std::optional<std::string> CSetupExtTest::Ask(const char* pszEntryPoint)
{
    CInstallerStack stack;
    stack.Push("installer's second");
    stack.Push("installer's first");
    stack.Mark();
    Library().Call(pszEntryPoint, stack);
    const std::vector<std::string> texts = stack.Texts();
    if (texts.size() == 2)
    {
        EXPECT_TRUE(stack.Unchanged());
        return std::nullopt;
    }
    EXPECT_TRUE(stack.ChangedBy(0, {texts.front()}));
    EXPECT_TRUE(texts.front() == "1" || texts.front() == "0") << texts.front();
    return texts.front();
}

void CSetupExtTest::CallWithArgument(const char* pszEntryPoint, const std::string& argument,
                                     int nStringSize)
{
    CInstallerStack stack(nStringSize);
    stack.Push("installer's own");
    stack.Push(argument);
    stack.Mark();
    Library().Call(pszEntryPoint, stack);
    EXPECT_TRUE(stack.ChangedBy(1, {}));
}

void CSetupExtTest::CallWithoutArgument(const char* pszEntryPoint)
{
    CInstallerStack stack;
    stack.Push("installer's own");
    stack.Mark();
    Library().Call(pszEntryPoint, stack);
    EXPECT_TRUE(stack.Unchanged());
}

std::vector<std::string> CSetupExtTest::PluginLog() const
{
    std::vector<std::string> lines;
    std::istringstream log(ReadBytes(ScratchDir() / "plugin.log").value_or(""));
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

std::string PaddedFolder(const std::filesystem::path& folder, size_t cch)
{
    std::string padded = folder.string() + "\\";
    if ((cch - padded.size()) % 2 != 0)
        padded += "\\";
    while (padded.size() < cch)
        padded += ".\\";
    return padded;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "could not write " << path;
}

std::optional<std::string> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

CFileHolder::~CFileHolder()
{
    if (m_release)
        SetEvent(m_release.Get());
    m_child.WaitForExit(10000);
}

testing::AssertionResult CFileHolder::Hold(const std::filesystem::path& path)
{
    static int s_nHolder = 0;
    const std::string suffix =
        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_nHolder);
    const std::string readyName = "setupext-test-held-" + suffix;
    const std::string releaseName = "setupext-test-release-" + suffix;
    m_ready.Reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    m_release.Reset(CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!m_ready || !m_release)
        return testing::AssertionFailure() << "could not create the holder's events";

    const std::string holderPath = (testsupport::BinDir() / "file_holder.exe").string();
    if (!m_child.Start(testsupport::Quoted(holderPath) + " " + testsupport::Quoted(path.string()) +
                           " " + readyName + " " + releaseName,
                       holderPath))
        return testing::AssertionFailure() << "could not start " << holderPath;

    const HANDLE ahWait[] = {m_ready.Get(), m_child.Handle()};
    if (WaitForMultipleObjects(2, ahWait, FALSE, 20000) != WAIT_OBJECT_0)
        return testing::AssertionFailure() << "the holder did not open " << path;
    return testing::AssertionSuccess();
}

} // namespace setupext_test
