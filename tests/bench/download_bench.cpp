// Measures the updater's download of a large installer against the
// platform's own transfer of the same file from the same server, in the same
// run: alternating rounds, medians, their ratio, and the peak private bytes
// of both processes. Run by scripts/bench, which starts the Wine session and
// the loopback server.
//   download_bench [MEGABYTES [ROUNDS]]   (default 100 MB, 3 rounds)
#include <windows.h>
#include <psapi.h>

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"
#include "update/trust/sha256.h"

namespace {

namespace fs = std::filesystem;
using testsupport::WizardPage;

constexpr DWORD kTimeoutMs = 600000;
constexpr char kSampleInstallerKey[] = "Software\\Vexil ZSP Sample Installer";

// The sample installer with megabytes of data behind it: still a program.
std::string MakeInstaller(size_t cbExtra)
{
    std::string bytes = testsupport::ReadFileBytes(testsupport::BinDir() / "sample-installer.exe");
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

// A cache of earlier runs would serve the next one from disk: every run
// starts from an empty one, as a user's first download does.
void ClearPlatformCache()
{
    char szCache[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, szCache)))
    {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(szCache, ec))
            fs::remove_all(entry.path(), ec);
    }
}

struct Run
{
    double seconds = 0;
    double hashSeconds = 0;
    double startSeconds = 0;
    Peak peak;
    bool ok = false;
};

// The platform's own transfer to a file and its SHA-256 of it, in a process
// of its own.
Run RunBareTransfer(const std::string& url, const fs::path& target)
{
    Run run;
    ClearPlatformCache();
    const fs::path timeFile = target.parent_path() / "seconds.txt";
    testsupport::ChildProcess child;
    if (!child.Start(testsupport::Quoted((testsupport::BinDir() / "bare_download.exe").string()) +
                     " " + url + " " + testsupport::Quoted(target.string()) + " " +
                     testsupport::Quoted(timeFile.string())))
        return run;
    DWORD dwExit = 1;
    while (!child.WaitForExit(10, &dwExit))
        Sample(child.Handle(), run.peak);
    Sample(child.Handle(), run.peak);
    std::ifstream in(timeFile);
    run.ok = dwExit == 0 && static_cast<bool>(in >> run.seconds >> run.hashSeconds);
    // The shell's start of the same installer, until it has recorded itself:
    // the updater's time ends there too.
    testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
    LARGE_INTEGER tStart, tEnd;
    QueryPerformanceCounter(&tStart);
    run.ok = run.ok &&
             reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.string().c_str(), nullptr,
                                                     nullptr, SW_SHOWNORMAL)) > 32 &&
             testsupport::WaitUntil(
                 []() {
                     return static_cast<bool>(
                         testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid"));
                 },
                 kTimeoutMs);
    QueryPerformanceCounter(&tEnd);
    run.startSeconds = Seconds(tStart, tEnd);
    EndSampleInstaller();
    return run;
}

// The updater from Next until the installer it started is running.
Run RunUpdater(double* pdNotesSeconds)
{
    Run run;
    ClearPlatformCache();
    testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
    LARGE_INTEGER tStart, tPage1, tNext, tEnd;
    QueryPerformanceCounter(&tStart);
    testsupport::ChildProcess child;
    if (!child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /man"))
        return run;
    testsupport::WizardDriver driver(child.Id());
    if (!testsupport::WaitUntil(
            [&]() {
                Sample(child.Handle(), run.peak);
                return driver.CurrentPage() == WizardPage::NextAction;
            },
            kTimeoutMs))
        return run;
    QueryPerformanceCounter(&tPage1);
    *pdNotesSeconds = Seconds(tStart, tPage1);

    QueryPerformanceCounter(&tNext);
    driver.Press(302);
    // The sample installer records itself as the first thing it does.
    run.ok = testsupport::WaitUntil(
        [&]() {
            Sample(child.Handle(), run.peak);
            return static_cast<bool>(
                testsupport::ReadValue(HKEY_CURRENT_USER, kSampleInstallerKey, "LastPid"));
        },
        kTimeoutMs);
    QueryPerformanceCounter(&tEnd);
    run.seconds = Seconds(tNext, tEnd);
    child.WaitForExit(kTimeoutMs);
    EndSampleInstaller();
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The announced digest, so that the updater checks what it saved.
std::string DigestToken(const std::string& bytes)
{
    Sha256Digest digest = {};
    if (FAILED(CSha256::Of(bytes.data(), static_cast<ULONG>(bytes.size()), digest)))
        return std::string();
    std::string token = "sha256=";
    char szByte[3];
    for (const uint8_t b : digest)
    {
        std::snprintf(szByte, sizeof(szByte), "%02x", b);
        token += szByte;
    }
    return token;
}

double Megabytes(SIZE_T cb)
{
    return static_cast<double>(cb) / (1024.0 * 1024.0);
}

constexpr char kBenchPath[] = "/zsp/bench/setup.exe";

// A run of the updater whose installer transfer the server cuts once at
// half: the seconds from Next until the installer runs, and the bytes
// fetched beyond the installer's own.
Run RunCutOnce(const std::string& installer, long long* pcbAgain)
{
    testsupport::ServeFile(kBenchPath, installer, "cut " + std::to_string(installer.size() / 2));
    const unsigned long long cbBefore = testsupport::BytesSent(kBenchPath);
    double dNotes = 0;
    const Run run = RunUpdater(&dNotes);
    *pcbAgain = static_cast<long long>(testsupport::BytesSent(kBenchPath) - cbBefore) -
                static_cast<long long>(installer.size());
    testsupport::ServeFile(kBenchPath, installer);
    return run;
}

// A run stopped by the user at half, then the next run: the bytes the
// second run fetched.
bool RunStoppedAtHalf(const std::string& installer, unsigned long long* pcbSecond)
{
    testsupport::ServeFile(kBenchPath, installer, "pause " + std::to_string(installer.size() / 2) + " 600");
    ClearPlatformCache();
    testsupport::ChildProcess child;
    if (!child.Start(testsupport::Quoted(testsupport::UpdateExePath()) + " /man"))
        return false;
    testsupport::WizardDriver driver(child.Id());
    if (!driver.WaitForPage(WizardPage::NextAction, kTimeoutMs))
        return false;
    driver.Press(302);
    char szLocal[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, szLocal)))
        return false;
    const fs::path part = fs::path(szLocal) / "Vexil ZSP" / "Update" / "vxzsp-2.5.0.301.exe.part";
    std::error_code ec;
    if (!testsupport::WaitUntil(
            [&]() { return fs::file_size(part, ec) >= installer.size() / 2 && !ec; }, kTimeoutMs))
        return false;
    driver.Press(300);
    HWND hBox = driver.WaitForMessageBox(kTimeoutMs);
    if (hBox == nullptr)
        return false;
    testsupport::ClickDialogButton(hBox, IDYES);
    if (!driver.WaitForPage(WizardPage::Finish, kTimeoutMs))
        return false;
    driver.Press(301);
    child.WaitForExit(kTimeoutMs);
    testsupport::ServeFile(kBenchPath, installer);
    const unsigned long long cbAfterFirst = testsupport::BytesSent(kBenchPath);
    double dNotes = 0;
    const Run second = RunUpdater(&dNotes);
    *pcbSecond = testsupport::BytesSent(kBenchPath) - cbAfterFirst;
    return second.ok;
}

// What a cut costs: once in the same run, and a run stopped at half.
struct ResumeFigures
{
    Run cut;
    long long cbFetchedAgain = 0;
    bool bStoppedOk = false;
    unsigned long long cbSecondRun = 0;
};

ResumeFigures MeasureResume(const std::string& installer)
{
    ResumeFigures figures;
    figures.cut = RunCutOnce(installer, &figures.cbFetchedAgain);
    figures.bStoppedOk = RunStoppedAtHalf(installer, &figures.cbSecondRun);
    return figures;
}

void PrintResume(const ResumeFigures& figures, size_t cbInstaller, double dUncut)
{
    // The page waits this long before its second try.
    constexpr double kPause = 2.0;
    std::printf("cut once at half: Next to up   %8.2f s   (%.3f of uncut + %.0f s pause)\n",
                figures.cut.seconds, figures.cut.seconds / (dUncut + kPause), kPause);
    std::printf("cut once at half: fetched again %7lld bytes\n", figures.cbFetchedAgain);
    std::printf("stopped at half: next run took %8.1f MB   (%+lld bytes beyond half)\n",
                Megabytes(figures.cbSecondRun),
                static_cast<long long>(figures.cbSecondRun) - static_cast<long long>(cbInstaller / 2));
}

} // namespace

int main(int argc, char** argv)
{
    const size_t nMegabytes = argc > 1 ? static_cast<size_t>(std::strtoul(argv[1], nullptr, 10)) : 100;
    const int nRounds = argc > 2 ? std::atoi(argv[2]) : 3;
    testsupport::ClearProductKeys();
    testsupport::ClearHttpRoot();
    testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kSampleInstallerKey);
    testsupport::WriteString(HKEY_LOCAL_MACHINE, testsupport::kSettingsKey, "Version", "2.4.2.218");

    const std::string installer = MakeInstaller(nMegabytes * 1024 * 1024);
    const std::string url = testsupport::HttpUrl(kBenchPath);
    testsupport::ServeFile(kBenchPath, installer);
    testsupport::ServeFile("/zsp/update.txt", "2.5.0.301\r\n" + std::to_string(installer.size()) +
                                                  "\r\n" + testsupport::HttpUrl("/zsp/notes.html") +
                                                  "\r\n" + url + "\r\n" +
                                                  DigestToken(installer) + "\r\n");
    testsupport::ScopedTempDir bareDir("bench-bare");

    std::vector<double> bare, bareHash, bareStart, updater, notes;
    Peak barePeak, updaterPeak;
    // Alternating, so that whatever else the machine does falls on both.
    for (int i = 0; i < nRounds; ++i)
    {
        const Run b = RunBareTransfer(url, bareDir.Path() / "setup.exe");
        double dNotes = 0;
        const Run u = RunUpdater(&dNotes);
        if (!b.ok || !u.ok)
        {
            std::fprintf(stderr, "bench: round %d failed (bare %s, updater %s)\n", i + 1,
                         b.ok ? "ok" : "failed", u.ok ? "ok" : "failed");
            testsupport::ClearHttpRoot();
            return 1;
        }
        bare.push_back(b.seconds);
        bareHash.push_back(b.hashSeconds);
        bareStart.push_back(b.startSeconds);
        updater.push_back(u.seconds);
        notes.push_back(dNotes);
        barePeak.privateBytes = std::max(barePeak.privateBytes, b.peak.privateBytes);
        updaterPeak.privateBytes = std::max(updaterPeak.privateBytes, u.peak.privateBytes);
        updaterPeak.workingSet = std::max(updaterPeak.workingSet, u.peak.workingSet);
    }
    const ResumeFigures resume = MeasureResume(installer);
    testsupport::ClearHttpRoot();
    ClearPlatformCache();
    if (!resume.cut.ok || !resume.bStoppedOk)
    {
        std::fprintf(stderr, "bench: the cut rounds failed (cut once %s, stopped at half %s)\n",
                     resume.cut.ok ? "ok" : "failed", resume.bStoppedOk ? "ok" : "failed");
        return 1;
    }

    const double dMegabytes = Megabytes(installer.size());
    const double dTransfer = Median(bare), dHash = Median(bareHash), dStart = Median(bareStart);
    const double dUpdater = Median(updater);
    const double dBare = dTransfer + dHash;
    std::printf("installer size                 %8.1f MB, %d rounds, medians\n", dMegabytes, nRounds);
    std::printf("start to release notes         %8.2f s\n", Median(notes));
    std::printf("platform transfer to a file    %8.2f s   (%.1f MB/s)\n", dTransfer,
                dTransfer > 0 ? dMegabytes / dTransfer : 0.0);
    std::printf("platform SHA-256 of the file   %8.2f s   (%.1f MB/s)\n", dHash,
                dHash > 0 ? dMegabytes / dHash : 0.0);
    std::printf("updater: Next to installer up  %8.2f s   (%.1f MB/s)\n", dUpdater,
                dUpdater > 0 ? dMegabytes / dUpdater : 0.0);
    std::printf("shell's start of the installer %8.2f s\n", dStart);
    std::printf("ratio updater / (transfer + SHA-256)          %6.3f\n",
                dBare > 0 ? dUpdater / dBare : 0.0);
    std::printf("ratio updater / (transfer + SHA-256 + start)  %6.3f\n",
                dBare + dStart > 0 ? dUpdater / (dBare + dStart) : 0.0);
    std::printf("peak private bytes: platform   %8.1f MB\n", Megabytes(barePeak.privateBytes));
    std::printf("peak private bytes: updater    %8.1f MB   (%+.1f MB)\n",
                Megabytes(updaterPeak.privateBytes),
                Megabytes(updaterPeak.privateBytes) - Megabytes(barePeak.privateBytes));
    std::printf("peak working set: updater      %8.1f MB\n", Megabytes(updaterPeak.workingSet));
    PrintResume(resume, installer.size(), dUpdater);
    return 0;
}
