#include "tests/support/process.h"

#include <vector>

namespace testsupport {

ChildProcess::~ChildProcess()
{
    if (IsRunning())
        Terminate();
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& applicationPath,
                         const std::string& currentDirectory)
{
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(applicationPath.empty() ? nullptr : applicationPath.c_str(),
                        commandBuffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                        &info))
        return false;
    Adopt(info);
    return true;
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandBuffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    Adopt(info);
    return true;
}

void ChildProcess::Adopt(const PROCESS_INFORMATION& info)
{
    CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_dwProcessId = info.dwProcessId;
}

bool ChildProcess::WaitForExit(DWORD dwTimeoutMs, DWORD* pdwExitCode)
{
    if (!m_process)
        return false;
    if (WaitForSingleObject(m_process.Get(), dwTimeoutMs) != WAIT_OBJECT_0)
        return false;
    if (pdwExitCode != nullptr)
        GetExitCodeProcess(m_process.Get(), pdwExitCode);
    return true;
}

bool ChildProcess::IsRunning() const
{
    return m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate()
{
    if (!m_process)
        return;
    TerminateProcess(m_process.Get(), 0xDEAD);
    WaitForSingleObject(m_process.Get(), 5000);
}

bool RunToExit(const std::string& commandLine, DWORD dwTimeoutMs, DWORD* pdwExitCode,
               const std::string& applicationPath, const std::string& currentDirectory)
{
    ChildProcess child;
    if (!child.Start(commandLine, applicationPath, currentDirectory))
        return false;
    return child.WaitForExit(dwTimeoutMs, pdwExitCode);
}

} // namespace testsupport
