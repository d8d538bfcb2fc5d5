// The update wizard: a modeless dialog owned by the hidden main window that
// hosts one page at a time and holds the state of one update run. Pages only
// move forward; a page ends the run with the wizard's EndRun.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "framework/handles.h"
#include "update/install/installer_file.h"
#include "update/install/partial_installer.h"
#include "update/install/update_folder.h"
#include "update/resource_ids.h"
#include "update/update_settings.h"
#include "update/info/update_policy.h"
#include "update/info/version_number.h"
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
// True when the user answers Yes and the page is still the current one: the
// run may have moved on while the question was open.
bool ConfirmCancel(CPgUpdatePage& page, CUpdateWizard& wizard, int cchCaption);

class CUpdateWizard : public fw::CDialogImpl<CUpdateWizard>
{
public:
    enum { IDD = IDD_UPDATE_WIZARD };

    CUpdateWizard();
    ~CUpdateWizard() override;

    BEGIN_MSG_MAP(CUpdateWizard)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDC_WIZ_NEXT, OnNext)
        COMMAND_ID_HANDLER(IDC_WIZ_CLOSE, OnClose)
        COMMAND_ID_HANDLER(IDC_WIZ_CANCEL, OnCancel)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    // True when the page was made and activated; false, with the current
    // page unchanged, when it could not be made.
    bool SetActivePage(int nIndex);
    void EnableButtons(UINT uMask);
    void ShowWizard(bool bShow);
    int RunMessageLoop();
    // Switches to the finish page and shows the string there; a finish page
    // that cannot be made ends the run instead.
    void FinishWithMessage(UINT uStringId);
    // Ends the run: RunMessageLoop returns once the messages posted before
    // are handled.
    void EndRun();
    // Ends the downloads still running, so that the platform never calls
    // into a page that is gone; they complete nothing.
    void AbandonTransfers();

    bool IsInternetConnected() const;
    bool RememberAvailableVersion();
    bool SetNotifyDownload(uint64_t ftInterval);
    bool StampLastUpdateTime();
    bool PostponeLastUpdateTime(uint64_t ftInterval);

    // The addresses the organisation's policy gives, else the built-in ones.
    std::string UpdateInfoUrl() const;
    std::string DownloadPageUrl() const;

    bool PrepareUpdateFolder();
    const std::string& GetInstallerPath();
    // Check the held installer's size, and its digest once the file has been
    // read (CInstallerFile::DigestStep); one that fails them is deleted. Then
    // the shell starts it, still held. Each gives S_OK, or why not with
    // m_failureLine saying so.
    HRESULT VerifyInstallerSize();
    // Whether a part left by an earlier run is of the update this run offers;
    // a run that offers no update, or another, deletes what it finds.
    bool PartIsOfThisUpdate(const PartRecord& record) const;
    void ForgetOtherParts(bool bOffered);
    // The installer's addresses: 0 the announced one, then its mirrors. The
    // index of an address, -1 for none of them; an index out of range is
    // the announced one.
    int InstallerAddressIndex(const std::string& url) const;
    const std::string& InstallerAddress(int nIndex) const;
    int InstallerAddressCount() const { return 1 + static_cast<int>(m_installerMirrors.size()); }
    HRESULT VerifyInstallerDigest();
    HRESULT StartInstaller();

    // The run's state, which the pages read and write.
    CPgUpdatePage* m_pCurrentPage;
    CPgUpdateRetrieveUpdate m_pgRetrieveUpdate;
    CPgUpdateNextAction m_pgNextAction;
    CPgUpdateDownload m_pgDownload;
    CPgUpdateFinish m_pgFinish;
    RECT m_rcPage;
    UpdateSettings m_settings;
    // The organisation's policy, read before the wizard's window is made.
    UpdatePolicy m_policy;
    VersionNumber m_availableVersion;
    uint32_t m_installerSize;
    std::string m_installerUrl;
    // Further addresses of the same installer, tried in turn after it.
    std::vector<std::string> m_installerMirrors;
    std::string m_releaseNotesUrl;
    std::string m_updateFolder;
    // The update folder and the level above it, held for the whole run.
    CUpdateFolder m_heldUpdateFolder;
    std::string m_installerPath;
    CInstallerFile m_installerFile;
    // The line the finish page shows under its message: why the run failed,
    // or what held the update back; empty where nothing more can be said.
    std::string m_failureLine;
    // Page 1's line above the choices when an update this run offers again
    // was started before and did not install; empty otherwise.
    std::string m_pendingLine;
    bool m_manual;

private:
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnNext(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnClose(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancel(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);

    CPgUpdatePage* PageAt(int nIndex);
};
