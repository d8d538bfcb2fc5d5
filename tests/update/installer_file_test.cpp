// The saved installer from its check until the shell has started it:
// another process can neither overwrite nor delete it, and the shell starts
// it all the same; a file put in its place before it is held is refused.
#include "update/install/installer_file.h"

#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "update/result_codes.h"

namespace {

// Another process, as a user or a program would try it.
DWORD RunCmd(const std::string& command)
{
    DWORD dwExit = 0xFFFFFFFF;
    EXPECT_TRUE(testsupport::RunToExit("cmd.exe /c " + command, 20000, &dwExit)) << command;
    return dwExit;
}

// Saves the bytes as they arrive from a download: in two parts, each read
// from the growing stream. The end of the writing gives hrFinish.
void Save(CInstallerFile& file, const std::string& path, const std::string& bytes,
          HRESULT hrFinish = S_OK)
{
    ASSERT_EQ(file.Create(path), S_OK);
    IStream* pStream = SHCreateMemStream(nullptr, 0);
    ASSERT_NE(pStream, nullptr);
    const size_t cbFirst = bytes.size() / 2;
    const LARGE_INTEGER zero = {};
    for (const auto& [from, to] : {std::make_pair(size_t{0}, cbFirst), std::make_pair(cbFirst, bytes.size())})
    {
        pStream->Seek(zero, STREAM_SEEK_END, nullptr);
        pStream->Write(bytes.data() + from, static_cast<ULONG>(to - from), nullptr);
        EXPECT_EQ(file.AppendFrom(pStream), S_OK);
    }
    pStream->Release();
    ASSERT_EQ(file.Finish(), hrFinish);
    if (hrFinish != S_OK)
        return;
    bool bDone = false;
    for (size_t i = 0; i <= bytes.size() / 4096 && !bDone; ++i)
        ASSERT_EQ(file.DigestStep(bDone), S_OK);
    EXPECT_TRUE(bDone);
}

// Another program acts on the installer in the moment between the writing
// handle's close and the reopening.
class CProbedInstallerFile : public CInstallerFile
{
public:
    explicit CProbedInstallerFile(std::function<bool()> act) : m_act(std::move(act)) {}

    bool m_bActed = false;

protected:
    void OnWritingClosed() override { m_bActed = m_act(); }

private:
    std::function<bool()> m_act;
};

TEST(InstallerFile, HeldFromTheCheckUntilTheShellHasStartedIt)
{
    testsupport::ScopedTempDir dir("installer-file");
    // A program that ends by itself when started without arguments.
    const std::string program = testsupport::ReadFileBytes(testsupport::BinDir() / "update-info.exe");
    ASSERT_FALSE(program.empty());
    const std::string path = (dir.Path() / "vxzsp-9.9.9.9.exe").string();
    const std::string other = (dir.Path() / "other.exe").string();
    std::ofstream(other, std::ios::binary) << std::string(program.size(), 'x');

    Sha256Digest digest;
    ASSERT_EQ(CSha256::Of(program.data(), static_cast<ULONG>(program.size()), digest), S_OK);
    CInstallerFile file;
    file.Expect(digest);
    Save(file, path, program);
    uint64_t cbSize = 0;
    ASSERT_EQ(file.GetSize(cbSize), S_OK);
    EXPECT_EQ(cbSize, program.size());
    EXPECT_TRUE(file.HasExpectedDigest());

    EXPECT_NE(RunCmd("copy /y " + testsupport::Quoted(other) + " " + testsupport::Quoted(path)), 0u);
    RunCmd("del " + testsupport::Quoted(path));
    EXPECT_EQ(testsupport::ReadFileBytes(path), program);
    // Let go, it is an ordinary file again.
    file.Release();
    EXPECT_EQ(RunCmd("copy /y " + testsupport::Quoted(other) + " " + testsupport::Quoted(path)), 0u);

    // Held again, the shell starts it all the same.
    Save(file, path, program);
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    const INT_PTR nResult = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    QueryPerformanceCounter(&end);
    EXPECT_GT(nResult, 32);
    std::printf("ShellExecuteA of the held file: %lld in %.1f ms\n", static_cast<long long>(nResult),
                1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
    file.Release();
}

// A file moved into its place has the very bytes written, so only the
// file's identity tells it apart; bytes changed in place keep the identity
// and the size, so only the digest of the held file tells them apart.
TEST(InstallerFile, AnythingDoneToItBeforeItIsHeldIsRefused)
{
    testsupport::ScopedTempDir dir("installer-swap");
    const std::string bytes(100000, 'i');
    const std::string path = (dir.Path() / "vxzsp-9.9.9.9.exe").string();
    const std::string impostor = (dir.Path() / "impostor.exe").string();
    std::ofstream(impostor, std::ios::binary) << bytes;

    CProbedInstallerFile moved([&]() {
        return MoveFileExA(impostor.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    });
    Save(moved, path, bytes, E_INSTALLER_REPLACED);
    EXPECT_TRUE(moved.m_bActed);
    uint64_t cbSize = 7;
    EXPECT_EQ(moved.GetSize(cbSize), E_UNEXPECTED);
    EXPECT_FALSE(moved.HasExpectedDigest());
    // Not held: the file in the installer's place goes with the refusal.
    moved.Discard();
    EXPECT_FALSE(std::filesystem::exists(path));

    CProbedInstallerFile edited([&]() {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        return static_cast<bool>(file.write("EVIL", 4));
    });
    Sha256Digest digest;
    ASSERT_EQ(CSha256::Of(bytes.data(), static_cast<ULONG>(bytes.size()), digest), S_OK);
    edited.Expect(digest);
    Save(edited, path, bytes);
    EXPECT_TRUE(edited.m_bActed);
    EXPECT_EQ(testsupport::ReadFileBytes(path).substr(0, 4), "EVIL");
    EXPECT_FALSE(edited.HasExpectedDigest());
    edited.Discard();
}

// Without a written file held no system call failed: the system's last
// error is none of the size's business.
TEST(InstallerFile, NoSizeWithoutAWrittenFileHeld)
{
    testsupport::ScopedTempDir dir("installer-size");
    CInstallerFile file;
    uint64_t cbSize = 7;
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(file.GetSize(cbSize), E_UNEXPECTED);
    ASSERT_EQ(file.Create((dir.Path() / "vxzsp-9.9.9.9.exe").string()), S_OK);
    EXPECT_EQ(file.GetSize(cbSize), E_UNEXPECTED);
    EXPECT_EQ(cbSize, 7u);
    file.Discard();
}

// The shell tells why it could not start a program only by its result.
TEST(InstallerFile, TheShellsResultReadsAsTheSystemsError)
{
    const std::pair<INT_PTR, HRESULT> cases[] = {
        {33, S_OK},
        {0, E_OUTOFMEMORY},
        {SE_ERR_FNF, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {SE_ERR_OOM, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
        {ERROR_BAD_FORMAT, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)},
        {SE_ERR_SHARE, HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)},
        {SE_ERR_ASSOCINCOMPLETE, HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION)},
        {SE_ERR_NOASSOC, HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION)},
        {SE_ERR_DDEFAIL, E_FAIL},
        {SE_ERR_DLLNOTFOUND, E_FAIL},
    };
    for (const auto& [nResult, hrExpected] : cases)
        EXPECT_EQ(ShellExecuteResult(reinterpret_cast<HINSTANCE>(nResult)), hrExpected) << nResult;
}

// The digest of "abc" as every SHA-256 gives it; a swapped installer is
// refused end to end in the download's tests.
TEST(InstallerFile, TheDigestIsSha256)
{
    Sha256Digest digest;
    ASSERT_EQ(CSha256::Of("abc", 3, digest), S_OK);
    EXPECT_EQ(Sha256ToHex(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

} // namespace
