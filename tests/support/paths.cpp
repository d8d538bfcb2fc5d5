#include "tests/support/paths.h"

#include <windows.h>

#include <vector>

#include "framework/handles.h"
#include "tests/support/windows.h"

namespace testsupport {

namespace {

// Runs a Unix program on the Unix names of paths and waits until the link
// is there or gone: Wine gives no handle that such a program's end signals.
bool RunOnUnixNames(const std::string& command, const std::vector<std::filesystem::path>& paths,
                    const std::filesystem::path& link, bool bLinkWanted)
{
    using UnixNameProc = char*(CDECL*)(LPCWSTR);
    const auto pUnixName = reinterpret_cast<UnixNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (pUnixName == nullptr)
        return false;
    std::string commandLine = command;
    for (const std::filesystem::path& path : paths)
    {
        char* pszName = pUnixName(path.c_str());
        if (pszName == nullptr)
            return false;
        commandLine += " \"" + std::string(pszName) + "\"";
        HeapFree(GetProcessHeap(), 0, pszName);
    }
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    const std::string program = "Z:" + command.substr(0, command.find(' '));
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    fw::CKernelHandle process(info.hProcess), thread(info.hThread);
    return WaitUntil(
        [&]() { return (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) == bLinkWanted; }, 5000);
}

} // namespace

ScopedUnixLink::ScopedUnixLink(const std::filesystem::path& target, const std::filesystem::path& link)
    : m_link(link), m_bMade(RunOnUnixNames("/bin/ln -s", {target, link}, link, true))
{
}

ScopedUnixLink::~ScopedUnixLink()
{
    if (m_bMade)
        RunOnUnixNames("/bin/rm -f", {m_link}, m_link, false);
}

std::filesystem::path BinDir()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    return std::filesystem::path(szPath).parent_path();
}

std::string UpdateExePath()
{
    return (BinDir() / "update.exe").string();
}

ScopedTempDir::ScopedTempDir(const std::string& name)
{
    static int s_nCounter = 0;
    m_path = BinDir().parent_path() / "test-tmp" /
             (name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++s_nCounter));
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    std::filesystem::create_directories(m_path, ec);
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    // Sharing everything, as a reader that must not get in the way: the
    // updater holds its installer with the right to rename it.
    std::string bytes;
    fw::CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    char block[64 * 1024];
    DWORD cbRead = 0;
    while (file && ReadFile(file.Get(), block, sizeof(block), &cbRead, nullptr) && cbRead != 0)
        bytes.append(block, cbRead);
    return bytes;
}

} // namespace testsupport
