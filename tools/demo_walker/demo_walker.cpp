// Walks the updater's wizard for the demo, one step per run, so that the
// demo script can take a screenshot between the steps. It finds the wizard
// of whichever process shows it and waits for every step within a time
// limit; a step that does not come in time ends with exit code 1 and a
// message that says what was awaited.
//
//   demo-walker wait-page retrieve|next-action|download|finish TIMEOUT_MS
//   demo-walker wait-progress PERCENT TIMEOUT_MS   (on the download page)
//   demo-walker press next|close|cancel TIMEOUT_MS (once it is enabled)
//   demo-walker wait-window TITLE TIMEOUT_MS       (prints its process id)
//   demo-walker close-window TITLE TIMEOUT_MS      (and waits until it is gone)
//   demo-walker wait-gone TITLE TIMEOUT_MS
//   demo-walker window-rect wizard|TITLE TIMEOUT_MS (prints WxH+X+Y)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"
#include "update/resource_ids.h"

namespace {

using testsupport::WizardDriver;
using testsupport::WizardPage;

constexpr int kDone = 0;
constexpr int kTimedOut = 1;
constexpr int kUsage = 2;

struct WizardSearch
{
    DWORD dwProcessId = 0;
};

BOOL CALLBACK FindWizardWindow(HWND hWnd, LPARAM lParam)
{
    if (!testsupport::IsWizardWindow(hWnd))
        return TRUE;
    GetWindowThreadProcessId(hWnd, &reinterpret_cast<WizardSearch*>(lParam)->dwProcessId);
    return FALSE;
}

// The wizard belongs to an update.exe that the script started through
// Wine: only its window tells which process it is.
std::optional<WizardDriver> FindWizard()
{
    WizardSearch search;
    EnumWindows(FindWizardWindow, reinterpret_cast<LPARAM>(&search));
    if (search.dwProcessId == 0)
        return std::nullopt;
    return WizardDriver(search.dwProcessId);
}

// Waits until the wizard is there and the condition holds for it.
template <typename Condition>
bool WaitForWizard(DWORD dwTimeoutMs, Condition condition)
{
    std::optional<WizardDriver> driver;
    return testsupport::WaitUntil(
        [&]() {
            if (!driver || driver->FindWizard() == nullptr)
                driver = FindWizard();
            return driver && driver->IsWizardVisible() && condition(*driver);
        },
        dwTimeoutMs);
}

std::optional<WizardPage> PageNamed(const char* pszName)
{
    for (WizardPage page : {WizardPage::RetrieveUpdate, WizardPage::NextAction,
                            WizardPage::Download, WizardPage::Finish})
    {
        if (strcmp(pszName, testsupport::PageName(page)) == 0)
            return page;
    }
    // The short name that the demo script uses for page 0.
    if (strcmp(pszName, "retrieve") == 0)
        return WizardPage::RetrieveUpdate;
    return std::nullopt;
}

// The percentage of the download page's progress bar, or -1 while there is
// none.
int DownloadPercent(WizardDriver& driver)
{
    HWND hPage = driver.PageWindow(WizardPage::Download);
    HWND hBar = hPage != nullptr ? GetDlgItem(hPage, IDC_PROGRESS) : nullptr;
    if (hBar == nullptr)
        return -1;
    // With no PBRANGE pointer, which would not cross the process boundary,
    // the answer is the low or the high limit itself.
    const LRESULT low = SendMessageA(hBar, PBM_GETRANGE, TRUE, 0);
    const LRESULT high = SendMessageA(hBar, PBM_GETRANGE, FALSE, 0);
    const LRESULT pos = SendMessageA(hBar, PBM_GETPOS, 0, 0);
    if (high <= low)
        return -1;
    return static_cast<int>((pos - low) * 100 / (high - low));
}

HWND VisibleWindowTitled(const char* pszTitle)
{
    HWND hWnd = FindWindowA(nullptr, pszTitle);
    return hWnd != nullptr && IsWindowVisible(hWnd) ? hWnd : nullptr;
}

int TimedOut(const std::string& what, DWORD dwTimeoutMs)
{
    fprintf(stderr, "demo-walker: %s did not happen within %lu ms\n", what.c_str(), dwTimeoutMs);
    return kTimedOut;
}

int WaitPage(const char* pszPage, DWORD dwTimeoutMs)
{
    const std::optional<WizardPage> page = PageNamed(pszPage);
    if (!page)
    {
        fprintf(stderr, "demo-walker: unknown page %s\n", pszPage);
        return kUsage;
    }
    if (!WaitForWizard(dwTimeoutMs,
                       [&](WizardDriver& driver) { return driver.CurrentPage() == *page; }))
        return TimedOut(std::string("the wizard's page ") + pszPage, dwTimeoutMs);
    return kDone;
}

int WaitProgress(int nPercent, DWORD dwTimeoutMs)
{
    if (!WaitForWizard(dwTimeoutMs, [&](WizardDriver& driver) {
            return driver.CurrentPage() == WizardPage::Download &&
                   DownloadPercent(driver) >= nPercent;
        }))
        return TimedOut("a download progress of " + std::to_string(nPercent) + " %", dwTimeoutMs);
    return kDone;
}

int Press(const char* pszButton, DWORD dwTimeoutMs)
{
    // The bits of WizardDriver::EnabledButtons.
    struct Button
    {
        const char* pszName;
        int nId;
        unsigned uEnabledBit;
    };
    constexpr Button kButtons[] = {
        {"next", IDC_WIZ_NEXT, 1}, {"close", IDC_WIZ_CLOSE, 2}, {"cancel", IDC_WIZ_CANCEL, 4}};
    for (const Button& button : kButtons)
    {
        if (strcmp(pszButton, button.pszName) != 0)
            continue;
        if (!WaitForWizard(dwTimeoutMs, [&](WizardDriver& driver) {
                if ((driver.EnabledButtons() & button.uEnabledBit) == 0)
                    return false;
                driver.Press(button.nId);
                return true;
            }))
            return TimedOut(std::string("an enabled ") + pszButton + " button", dwTimeoutMs);
        return kDone;
    }
    fprintf(stderr, "demo-walker: unknown button %s\n", pszButton);
    return kUsage;
}

int WaitWindow(const char* pszTitle, DWORD dwTimeoutMs)
{
    HWND hWnd = nullptr;
    if (!testsupport::WaitUntil([&]() { return (hWnd = VisibleWindowTitled(pszTitle)) != nullptr; },
                                dwTimeoutMs))
        return TimedOut(std::string("a window \"") + pszTitle + "\"", dwTimeoutMs);
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    printf("%lu\n", dwProcessId);
    return kDone;
}

int WaitGone(const char* pszTitle, DWORD dwTimeoutMs)
{
    if (!testsupport::WaitUntil([&]() { return FindWindowA(nullptr, pszTitle) == nullptr; },
                                dwTimeoutMs))
        return TimedOut(std::string("the end of the window \"") + pszTitle + "\"", dwTimeoutMs);
    return kDone;
}

int CloseWindow(const char* pszTitle, DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    HWND hWnd = nullptr;
    if (!testsupport::WaitUntil([&]() { return (hWnd = VisibleWindowTitled(pszTitle)) != nullptr; },
                                dwTimeoutMs))
        return TimedOut(std::string("a window \"") + pszTitle + "\"", dwTimeoutMs);
    // As the close box does it.
    PostMessageA(hWnd, WM_CLOSE, 0, 0);
    const DWORD dwSpent = GetTickCount() - dwStart;
    return WaitGone(pszTitle, dwSpent < dwTimeoutMs ? dwTimeoutMs - dwSpent : 0);
}

// The window's frame on the screen, as ImageMagick's -crop takes it.
int WindowRect(const char* pszTitle, DWORD dwTimeoutMs)
{
    HWND hWnd = nullptr;
    const bool bWizard = strcmp(pszTitle, "wizard") == 0;
    if (!testsupport::WaitUntil(
            [&]() {
                if (bWizard)
                {
                    std::optional<WizardDriver> driver = FindWizard();
                    hWnd = driver && driver->IsWizardVisible() ? driver->FindWizard() : nullptr;
                }
                else
                {
                    hWnd = VisibleWindowTitled(pszTitle);
                }
                return hWnd != nullptr;
            },
            dwTimeoutMs))
        return TimedOut(std::string("a window \"") + pszTitle + "\"", dwTimeoutMs);
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    printf("%ldx%ld+%ld+%ld\n", rc.right - rc.left, rc.bottom - rc.top, rc.left, rc.top);
    return kDone;
}

int Usage()
{
    fputs("usage: demo-walker wait-page retrieve|next-action|download|finish TIMEOUT_MS\n"
          "       demo-walker wait-progress PERCENT TIMEOUT_MS\n"
          "       demo-walker press next|close|cancel TIMEOUT_MS\n"
          "       demo-walker wait-window|close-window|wait-gone TITLE TIMEOUT_MS\n"
          "       demo-walker window-rect wizard|TITLE TIMEOUT_MS\n",
          stderr);
    return kUsage;
}

bool ParseNumber(const char* pszText, unsigned long& value)
{
    char* pszEnd = nullptr;
    value = strtoul(pszText, &pszEnd, 10);
    return *pszText != '\0' && *pszEnd == '\0';
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long timeoutMs = 0;
    if (argc != 4 || !ParseNumber(argv[3], timeoutMs))
        return Usage();
    const std::string command = argv[1];
    const char* pszArgument = argv[2];
    const DWORD dwTimeoutMs = static_cast<DWORD>(timeoutMs);

    if (command == "wait-page")
        return WaitPage(pszArgument, dwTimeoutMs);
    if (command == "wait-progress")
    {
        unsigned long percent = 0;
        if (!ParseNumber(pszArgument, percent) || percent > 100)
            return Usage();
        return WaitProgress(static_cast<int>(percent), dwTimeoutMs);
    }
    if (command == "press")
        return Press(pszArgument, dwTimeoutMs);
    if (command == "wait-window")
        return WaitWindow(pszArgument, dwTimeoutMs);
    if (command == "close-window")
        return CloseWindow(pszArgument, dwTimeoutMs);
    if (command == "wait-gone")
        return WaitGone(pszArgument, dwTimeoutMs);
    if (command == "window-rect")
        return WindowRect(pszArgument, dwTimeoutMs);
    return Usage();
}
