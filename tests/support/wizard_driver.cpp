#include "tests/support/wizard_driver.h"

#include <commctrl.h>

#include <vector>

#include "tests/support/windows.h"
#include "update/resource_ids.h"

namespace testsupport {

namespace {

BOOL CALLBACK CollectDirectChild(HWND hWnd, LPARAM lParam)
{
    auto* pResult = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(lParam);
    if (GetParent(hWnd) == pResult->first)
        pResult->second.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> DirectChildren(HWND hParent)
{
    std::pair<HWND, std::vector<HWND>> result(hParent, {});
    EnumChildWindows(hParent, CollectDirectChild, reinterpret_cast<LPARAM>(&result));
    return result.second;
}

WizardPage KindOf(HWND hPage)
{
    if (GetDlgItem(hPage, IDC_FINISH_TEXT) != nullptr)
        return WizardPage::Finish;
    if (GetDlgItem(hPage, IDC_BROWSER_HOST) != nullptr)
        return WizardPage::NextAction;
    if (GetDlgItem(hPage, IDC_PROGRESS) == nullptr)
        return WizardPage::None;
    // Both downloading pages have a progress bar; only the download page
    // shows figures beside it.
    return GetDlgItem(hPage, IDC_DOWNLOAD_FIGURES) != nullptr ? WizardPage::Download
                                                               : WizardPage::RetrieveUpdate;
}

} // namespace

const char* PageName(WizardPage page)
{
    switch (page)
    {
    case WizardPage::RetrieveUpdate:
        return "retrieve-update";
    case WizardPage::NextAction:
        return "next-action";
    case WizardPage::Download:
        return "download";
    case WizardPage::Finish:
        return "finish";
    default:
        return "none";
    }
}

bool IsWizardWindow(HWND hWnd)
{
    return ClassNameOf(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_WIZ_NEXT) != nullptr &&
           GetDlgItem(hWnd, IDC_WIZ_CLOSE) != nullptr &&
           GetDlgItem(hWnd, IDC_WIZ_CANCEL) != nullptr;
}

HWND WizardDriver::FindWizard()
{
    if (m_hWizard != nullptr && IsWindow(m_hWizard))
        return m_hWizard;
    for (HWND hWnd : TopLevelWindowsOf(m_dwProcessId, false))
    {
        if (IsWizardWindow(hWnd))
        {
            m_hWizard = hWnd;
            return hWnd;
        }
    }
    return nullptr;
}

HWND WizardDriver::WaitForWizard(DWORD dwTimeoutMs)
{
    WaitUntil([this]() { return FindWizard() != nullptr; }, dwTimeoutMs);
    return FindWizard();
}

bool WizardDriver::IsWizardVisible()
{
    HWND hWizard = FindWizard();
    return hWizard != nullptr && IsWindowVisible(hWizard);
}

HWND WizardDriver::PageWindow(WizardPage page)
{
    HWND hWizard = FindWizard();
    if (hWizard == nullptr)
        return nullptr;
    for (HWND hChild : DirectChildren(hWizard))
    {
        if (ClassNameOf(hChild) == "#32770" && KindOf(hChild) == page)
            return hChild;
    }
    return nullptr;
}

WizardPage WizardDriver::CurrentPage()
{
    HWND hWizard = FindWizard();
    if (hWizard == nullptr)
        return WizardPage::None;
    for (HWND hChild : DirectChildren(hWizard))
    {
        if (ClassNameOf(hChild) == "#32770" &&
            (GetWindowLongA(hChild, GWL_STYLE) & WS_VISIBLE) != 0)
            return KindOf(hChild);
    }
    return WizardPage::None;
}

bool WizardDriver::WaitForPage(WizardPage page, DWORD dwTimeoutMs)
{
    return WaitUntil([&]() { return CurrentPage() == page; }, dwTimeoutMs);
}

unsigned WizardDriver::EnabledButtons()
{
    HWND hWizard = FindWizard();
    unsigned uMask = 0;
    if (hWizard == nullptr)
        return uMask;
    if (IsWindowEnabled(GetDlgItem(hWizard, IDC_WIZ_NEXT)))
        uMask |= 1;
    if (IsWindowEnabled(GetDlgItem(hWizard, IDC_WIZ_CLOSE)))
        uMask |= 2;
    if (IsWindowEnabled(GetDlgItem(hWizard, IDC_WIZ_CANCEL)))
        uMask |= 4;
    return uMask;
}

void WizardDriver::Press(int nButtonId)
{
    if (HWND hWizard = FindWizard())
        ClickDialogButton(hWizard, nButtonId);
}

void WizardDriver::PressEscape()
{
    if (HWND hWizard = FindWizard())
        PostMessageA(hWizard, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::string WizardDriver::PageText(WizardPage page, int nControlId)
{
    HWND hPage = PageWindow(page);
    HWND hControl = hPage != nullptr ? GetDlgItem(hPage, nControlId) : nullptr;
    return hControl != nullptr ? TextOf(hControl) : std::string();
}

bool WizardDriver::IsPageControlVisible(WizardPage page, int nControlId)
{
    HWND hPage = PageWindow(page);
    HWND hControl = hPage != nullptr ? GetDlgItem(hPage, nControlId) : nullptr;
    return hControl != nullptr && (GetWindowLongA(hControl, GWL_STYLE) & WS_VISIBLE) != 0;
}

int WizardDriver::ProgressPosition(WizardPage page)
{
    HWND hPage = PageWindow(page);
    HWND hBar = hPage != nullptr ? GetDlgItem(hPage, IDC_PROGRESS) : nullptr;
    return hBar != nullptr ? static_cast<int>(SendMessageA(hBar, PBM_GETPOS, 0, 0)) : -1;
}

int WizardDriver::FocusedControlId()
{
    HWND hWizard = FindWizard();
    HWND hFocus = hWizard != nullptr ? FocusedWindowOf(hWizard) : nullptr;
    return hFocus != nullptr && IsChild(hWizard, hFocus) ? GetDlgCtrlID(hFocus) : -1;
}

HWND WizardDriver::WaitForMessageBox(DWORD dwTimeoutMs)
{
    HWND hFound = nullptr;
    WaitUntil(
        [&]() {
            for (HWND hWnd : TopLevelWindowsOf(m_dwProcessId, true))
            {
                if (hWnd != FindWizard() && ClassNameOf(hWnd) == "#32770" &&
                    GetDlgItem(hWnd, 0xFFFF) != nullptr)
                {
                    hFound = hWnd;
                    return true;
                }
            }
            return false;
        },
        dwTimeoutMs);
    return hFound;
}

} // namespace testsupport
