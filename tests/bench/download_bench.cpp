// Measures the whole update with a large installer: how long the check and
// the download take, and how much memory update.exe uses meanwhile. Run by
// scripts/bench, which starts the Wine session and the loopback server.
//   download_bench [MEGABYTES]   (default 100)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"

namespace {

namespace fs = std::filesystem;
using testsupport::WizardPage;

constexpr DWORD kTimeoutMs = 600000;
constexpr char kSampleInstallerKey[] = "Software\\Vexil ZSP Sample Installer";

// The sample installer with megabytes of data behind it: still a program.
std::string MakeInstaller(size_t cbExtra)
{
    std::ifstream in(testsupport::BinDir() / "sample-installer.exe", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.reserve(bytes.size() + cbExtra);
    uint32_t state = 2463534242u;
    for (size_t i = 0; i < cbExtra; ++i)
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes.push_back(static_cast<char>(state));
    }
    return bytes;
}

struct Peak
{
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
};

void Sample(HANDLE hProcess, Peak& peak)
{
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    if (GetProcessMemoryInfo(hProcess, &counters, sizeof(counters)))
    {
        peak.workingSet = std::max(peak.workingSet, counters.PeakWorkingSetSize);
        peak.privateBytes = std::max(peak.privateBytes, counters.PeakPagefileUsage);
    }
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void EndSampleInstaller()
{
    auto pid = testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid");
    if (!pid)
        return;
    if (HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid->AsDword()))
    {
        TerminateProcess(hProcess, 0);
        WaitForSingleObject(hProcess, 5000);
        CloseHandle(hProcess);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const size_t nMegabytes = argc > 1 ? static_cast<size_t>(std::strtoul(argv[1], nullptr, 10)) : 100;
    testsupport::ClearProductKeys();
    testsupport::ClearHttpRoot();
    testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
    testsupport::WriteString(HKEY_LOCAL_MACHINE, testsupport::kSettingsKey, "Version", "2.4.2.218");

    const std::string installer = MakeInstaller(nMegabytes * 1024 * 1024);
    testsupport::ServeFile("/zsp/bench/setup.exe", installer);
    testsupport::ServeFile("/zsp/update.txt", "2.5.0.301\r\n" + std::to_string(installer.size()) +
                                                  "\r\n" + testsupport::HttpUrl("/zsp/notes.html") +
                                                  "\r\n" + testsupport::HttpUrl("/zsp/bench/setup.exe") +
                                                  "\r\n");

    LARGE_INTEGER tStart, tPage1, tNext, tEnd;
    QueryPerformanceCounter(&tStart);
    testsupport::ChildProcess child;
    if (!child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /man"))
    {
        std::fprintf(stderr, "bench: cannot start update.exe\n");
        return 1;
    }
    testsupport::WizardDriver driver(child.Id());
    Peak peak;
    if (!testsupport::WaitUntil(
            [&]() {
                Sample(child.Handle(), peak);
                return driver.CurrentPage() == WizardPage::NextAction;
            },
            kTimeoutMs))
    {
        std::fprintf(stderr, "bench: the release notes page did not come\n");
        return 1;
    }
    QueryPerformanceCounter(&tPage1);
    const Peak peakBeforeDownload = peak;

    QueryPerformanceCounter(&tNext);
    driver.Press(302);
    const bool bEnded = testsupport::WaitUntil(
        [&]() {
            Sample(child.Handle(), peak);
            return !child.IsRunning();
        },
        kTimeoutMs);
    QueryPerformanceCounter(&tEnd);
    Sample(child.Handle(), peak);

    const bool bStarted = static_cast<bool>(
        testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid"));
    EndSampleInstaller();
    testsupport::ClearHttpRoot();

    const double dMegabytes = static_cast<double>(installer.size()) / (1024.0 * 1024.0);
    const double dDownload = Seconds(tNext, tEnd);
    std::printf("installer size            %8.1f MB\n", dMegabytes);
    std::printf("start to release notes    %8.2f s\n", Seconds(tStart, tPage1));
    std::printf("download, save, start     %8.2f s   (%.1f MB/s)\n", dDownload,
                dDownload > 0 ? dMegabytes / dDownload : 0.0);
    std::printf("peak working set          %8.1f MB   (%.1f MB before the download)\n",
                static_cast<double>(peak.workingSet) / (1024.0 * 1024.0),
                static_cast<double>(peakBeforeDownload.workingSet) / (1024.0 * 1024.0));
    std::printf("peak private bytes        %8.1f MB\n",
                static_cast<double>(peak.privateBytes) / (1024.0 * 1024.0));
    std::printf("installer started         %8s\n", bEnded && bStarted ? "yes" : "NO");
    return bEnded && bStarted ? 0 : 1;
}
