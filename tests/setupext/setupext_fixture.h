// What the tests of setupext.dll share: a fresh library, a scratch folder
// with the host's working folder, the product's folder and the temporary
// folder in it, and the host key and product key pointing there.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "tests/setupext/installer_host.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace setupext_test {

extern const char kHostKey[];
extern const char kProductKey[];

class CSetupExtTest : public testing::Test
{
protected:
    CSetupExtTest();

    void SetUp() override;
    void TearDown() override;

    // The host key holds "EXE Path", "ProgramDir" and "Working Directory"
    // (the work folder, with a trailing backslash); the product key's
    // default value is the product folder.
    void SetHostValue(const std::string& name, const std::string& value, DWORD dwType = REG_SZ);
    // A working folder whose name may lie outside the ANSI code page,
    // stored as UTF-16 with a trailing backslash.
    void SetWorkFolder(const std::filesystem::path& folder);
    void SetHostBytes(const std::string& name, const std::string& bytes);
    void DeleteHostValue(const std::string& name);
    void DeleteHostKey();
    void SetProductDir(const std::string& value, DWORD dwType = REG_SZ);
    void DeleteProductDir();
    void DeleteProductKey();

    // Sets a variable of this process, where the library runs; the old
    // value comes back after the test.
    void SetEnvironment(const std::string& name, const std::string& value);

    const std::filesystem::path& WorkDir() const { return m_workDir; }
    const std::filesystem::path& ProductDir() const { return m_productDir; }
    const std::filesystem::path& TempDir() const { return m_tempDir; }
    const std::filesystem::path& ScratchDir() const { return m_scratch.Path(); }

    // Puts a plug-in library of the tests into the product folder.
    void InstallPlugin(const std::string& sourceName, const std::string& installedName);
    // What the plug-in libraries recorded: "attach", "TurnOnPlugin a b", "detach".
    std::vector<std::string> PluginLog() const;

    // The build of the library that the test calls.
    virtual std::filesystem::path LibraryPath() const { return AnsiLibraryPath(); }
    CSetupExtLibrary& Library() { return *m_library; }

    // Calls an entry point that answers a question, on a stack that holds
    // two entries of the installer. Returns the answer, or nothing when it
    // pushed none; fails the test if it took or changed anything else.
    std::optional<std::string> Ask(const char* pszEntryPoint);
    // Calls an entry point that takes one string, with an entry of the
    // installer below it; fails the test unless it took exactly that one.
    void CallWithArgument(const char* pszEntryPoint, const std::string& argument,
                          int nStringSize = 1024);
    // Calls an entry point that takes and gives nothing; fails the test if
    // the stack changed.
    void CallWithoutArgument(const char* pszEntryPoint);

private:
    testsupport::ScopedTempDir m_scratch;
    std::filesystem::path m_workDir;
    std::filesystem::path m_productDir;
    std::filesystem::path m_tempDir;
    std::map<std::string, std::optional<std::string>> m_savedEnvironment;
    std::unique_ptr<CSetupExtLibrary> m_library;
};

// A path of the given length in characters that names folder: the folder,
// then as many ".\" steps as it takes and one "." when the count is odd,
// ending in a backslash.
std::string PaddedFolder(const std::filesystem::path& folder, size_t cch);

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::filesystem::path& path);

// Another process that holds a file open without sharing it, until the
// object goes.
class CFileHolder
{
public:
    CFileHolder() = default;
    ~CFileHolder();

    CFileHolder(const CFileHolder&) = delete;
    CFileHolder& operator=(const CFileHolder&) = delete;

    // Returns once the other process holds the file.
    testing::AssertionResult Hold(const std::filesystem::path& path);

private:
    testsupport::ChildProcess m_child;
    fw::CKernelHandle m_ready;
    fw::CKernelHandle m_release;
};

} // namespace setupext_test
