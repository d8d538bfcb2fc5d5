// Drives the wizard of a running update.exe from outside, as a user would:
// finds it, reads what its pages show and which buttons are enabled, presses
// buttons and answers the cancel question.
#pragma once

#include <windows.h>

#include <string>

#include "update/resource_ids.h"

namespace testsupport {

enum class WizardPage
{
    None,
    RetrieveUpdate,
    NextAction,
    Download,
    Finish,
};

const char* PageName(WizardPage page);

// What the finish page of the English resource library says after a failure,
// after information refused for trust, and after a cancel.
constexpr char kFinishFailed[] =
    "The update could not be completed. Check your Internet connection and try again later.";
constexpr char kFinishUntrusted[] =
    "The update information from the server could not be trusted, so nothing was downloaded. "
    "Please let the publisher of Vexil Junquell know.";
constexpr char kFinishCancelled[] =
    "The update was cancelled. You can check for updates again at any time.";

// Whether a top-level window is the wizard: a dialog with Next, Close and
// Cancel.
bool IsWizardWindow(HWND hWnd);

class WizardDriver
{
public:
    explicit WizardDriver(DWORD dwProcessId) : m_dwProcessId(dwProcessId) {}

    // The wizard dialog of the process (visible or not), or null.
    HWND FindWizard();
    HWND WaitForWizard(DWORD dwTimeoutMs);
    bool IsWizardVisible();

    // The page shown now: the visible page dialog inside the wizard.
    WizardPage CurrentPage();
    HWND PageWindow(WizardPage page);
    bool WaitForPage(WizardPage page, DWORD dwTimeoutMs);

    // Bits 1 Next, 2 Close, 4 Cancel for the enabled buttons.
    unsigned EnabledButtons();
    void Press(int nButtonId);
    // Esc or the close box: IDCANCEL, not a button of the frame.
    void PressEscape();

    std::string PageText(WizardPage page, int nControlId);
    std::string FinishText() { return PageText(WizardPage::Finish, IDC_FINISH_TEXT); }
    // The line under a failure message that says why the run failed.
    std::string FailureLine() { return PageText(WizardPage::Finish, IDC_FINISH_DETAIL); }
    bool IsPageControlVisible(WizardPage page, int nControlId);
    int ProgressPosition(WizardPage page);

    // The id of the control of the wizard or its page that has the keyboard
    // focus; -1 when the focus is elsewhere.
    int FocusedControlId();

    // The cancel question or an error box of the process, or null.
    HWND WaitForMessageBox(DWORD dwTimeoutMs);

private:
    DWORD m_dwProcessId;
    HWND m_hWizard = nullptr;
};

} // namespace testsupport
