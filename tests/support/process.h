// Starting and watching the programs under test, as a user or a scheduler
// would start them.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

namespace testsupport {

// A program that this test started. One that is still running when the
// object goes is ended: a test ends only processes it started itself.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // commandLine is what the program's GetCommandLineA will return. With an
    // empty applicationPath, the program is found from the command line.
    bool Start(const std::string& commandLine, const std::string& applicationPath = "",
               const std::string& currentDirectory = "");
    // The same for a command line that the ANSI code page can't hold.
    bool Start(const std::wstring& commandLine);

    // False on time-out; the process then keeps running.
    bool WaitForExit(DWORD dwTimeoutMs, DWORD* pdwExitCode = nullptr);
    bool IsRunning() const;
    void Terminate();

    DWORD Id() const { return m_dwProcessId; }
    HANDLE Handle() const { return m_process.Get(); }

private:
    void Adopt(const PROCESS_INFORMATION& info);

    fw::CKernelHandle m_process;
    DWORD m_dwProcessId = 0;
};

// Runs a program to its end. Returns false if it could not be started or
// did not end within the time limit (it is then ended).
bool RunToExit(const std::string& commandLine, DWORD dwTimeoutMs, DWORD* pdwExitCode,
               const std::string& applicationPath = "", const std::string& currentDirectory = "");

} // namespace testsupport
