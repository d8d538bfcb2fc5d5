// Page 2: downloads the installer into the update folder, checks its size,
// starts it and ends the updater so that the installer can replace the
// product. A failure or a cancel ends on the finish page and leaves no file.
// While a program (the mail client, most often) has a library of the
// product loaded, the installer could not replace it: the page asks for the
// program to be closed and starts the installer once it is.
#pragma once

#include <string>
#include <vector>

#include "framework/dialog.h"
#include "update/download/download_progress.h"
#include "update/install/holder_search.h"
#include "update/resource_ids.h"
#include "update/wizard/progress_figures.h"
#include "update/wizard/update_page.h"

class CPgUpdateDownload : public CPgUpdatePageImpl<CPgUpdateDownload>,
                          public fw::CDialogImpl<CPgUpdateDownload>,
                          public CDownloadProgressImpl<CPgUpdateDownload, IDC_PROGRESS>
{
public:
    using CProgressBase = CDownloadProgressImpl<CPgUpdateDownload, IDC_PROGRESS>;
    enum { IDD = IDD_PG_DOWNLOAD };

    explicit CPgUpdateDownload(CUpdateWizard* pWizard) : CPgUpdatePageImpl(pWizard) {}

    // How often the page looks whether the product is still held.
    static constexpr UINT kHoldersPeriodMs = 500;
    static constexpr UINT_PTR kHoldersTimerId = 0x5A52;
    // Posted to the page when a search for the holders has looked.
    static constexpr UINT kMsgHoldersFound = WM_APP + 1;
    // Posted by the page to itself for the next step of the digest.
    static constexpr UINT kMsgDigestStep = WM_APP + 2;
    // Set while the page waits before the next try of a broken-off transfer.
    static constexpr UINT_PTR kRetryTimerId = 0x5A53;

    BEGIN_MSG_MAP(CPgUpdateDownload)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(kMsgHoldersFound, OnHoldersFound)
        MESSAGE_HANDLER(kMsgDigestStep, OnDigestStep)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        CHAIN_MSG_MAP(CProgressBase)
    END_MSG_MAP()

    void OnActivate() override;
    void OnCancel() override;
    void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char* pszError) override;
    // The bar, and beside it the figures.
    void OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                            const char* pszStatusText) override;

    // Saves what has arrived of the installer since the last call, creating
    // the file at the installer path on the first. S_OK, or why the file
    // cannot be written.
    HRESULT SaveInstaller(IStream* pStream);

protected:
    void OnDataArrived(IStream* pStream) override;
    void OnAnswered() override;

private:
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Starts the installer once nothing holds the product; else names the
    // holders and looks again after a while.
    LRESULT OnHoldersFound(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Reads the next part of the saved installer into its digest; at the end
    // checks it and goes on to the start.
    LRESULT OnDigestStep(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Goes on from the part that an earlier run left of this update, if it
    // left one; deletes what it left otherwise.
    void GoOnFromPart();
    // Brings the record of the part written up to date, once its bytes are
    // on the disk; KeepPart also lets the part go, for the next run.
    void RecordPart();
    void KeepPart();
    // Asks for the installer, or for the rest of it after a try that broke
    // off.
    void StartTry();
    // After a try that failed with hResult: waits and tries again, saying
    // so, if the failure and the tries left allow it; false if not.
    bool TryAgainLater(HRESULT hResult);
    // Starts the verified installer, or waits while the product is held.
    void StartWhenFree();
    // Has the search look again; a search that cannot start is tried again
    // after a while.
    void LookForHolders();
    void ShowHolders(const std::vector<ProductHolder>& holders);
    void StartInstaller();

    // The tries at the installer in this run.
    struct Tries
    {
        int nMade = 0;
        // The server answered a try as it should; one that never did is not
        // there to try again.
        bool bAnswered = false;
        bool bWaiting = false;
        // Where the running try asked to start, and where its body goes.
        uint64_t cbAskedFrom = 0;
        uint64_t cbBodyOffset = 0;
        // The installer's address the tries are at (InstallerAddress).
        int nAddress = 0;
        // What tells the file of the last answer from a changed one, and the
        // address that answered.
        std::string validator;
        int validatorAddress = 0;
        // When the record of the part was last brought up to date.
        DWORD dwRecordedMs = 0;
    };

    CProgressFigures m_figures;
    Tries m_tries;
    // The product folder while the installer waits for it to be free;
    // empty otherwise.
    std::string m_heldFolder;
    std::string m_holderNames;
    CHolderSearch m_holderSearch;
    // While the user is asked whether to cancel, nothing the search finds
    // starts the installer, and the digest waits.
    bool m_bAskingToCancel = false;
    // The saved installer is being read for its digest.
    bool m_bDigesting = false;
    // Why the installer could not be saved, if that ended the download.
    HRESULT m_hrSave = S_OK;
};
