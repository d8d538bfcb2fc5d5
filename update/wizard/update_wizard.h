// The update wizard: a modeless dialog owned by the hidden main window that
// hosts one page at a time and holds the state of one update run. Pages only
// move forward; a page ends the run by posting WM_QUIT to the wizard.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "framework/handles.h"
#include "update/resource_ids.h"
#include "update/update_settings.h"
#include "update/version_number.h"
#include "update/wizard/pg_download.h"
#include "update/wizard/pg_finish.h"
#include "update/wizard/pg_next_action.h"
#include "update/wizard/pg_retrieve_update.h"

// Pages by index.
constexpr int kPageRetrieveUpdate = 0;
constexpr int kPageNextAction = 1;
constexpr int kPageDownload = 2;
constexpr int kPageFinish = 3;

// Bits of EnableButtons.
constexpr UINT kButtonNext = 1;
constexpr UINT kButtonClose = 2;
constexpr UINT kButtonCancel = 4;

class CUpdateWizard;

// The question before a running step is cancelled, owned by the page and
// captioned with the wizard's title (at most cchCaption characters of it).
// True when the user answers Yes.
bool ConfirmCancel(HWND hWndPage, CUpdateWizard& wizard, int cchCaption);

class CUpdateWizard : public fw::CDialogImpl<CUpdateWizard>
{
public:
    enum { IDD = IDD_UPDATE_WIZARD };

    CUpdateWizard();

    BEGIN_MSG_MAP(CUpdateWizard)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

    void SetActivePage(int nIndex);
    void EnableButtons(UINT uMask);
    void ShowWizard(bool bShow);
    int RunMessageLoop();
    // Switches to the finish page and shows the string there.
    void FinishWithMessage(UINT uStringId);

    bool IsInternetConnected() const;
    bool IsNewVersionAvailable() const;
    bool RememberAvailableVersion();
    bool SetNotifyDownload(uint64_t ftInterval);
    bool StampLastUpdateTime();
    bool PostponeLastUpdateTime(uint64_t ftInterval);

    bool PrepareUpdateFolder();
    const std::string& GetInstallerPath();
    bool LaunchInstaller();

    // The run's state, which the pages read and write.
    CPgUpdatePage* m_pCurrentPage;
    CPgUpdateRetrieveUpdate m_pgRetrieveUpdate;
    CPgUpdateNextAction m_pgNextAction;
    CPgUpdateDownload m_pgDownload;
    CPgUpdateFinish m_pgFinish;
    RECT m_rcPage;
    UpdateSettings m_settings;
    VersionNumber m_availableVersion;
    uint32_t m_installerSize;
    std::string m_installerUrl;
    std::string m_releaseNotesUrl;
    std::string m_updateFolder;
    std::string m_installerPath;
    bool m_manual;

private:
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    CPgUpdatePage* PageAt(int nIndex);
};
