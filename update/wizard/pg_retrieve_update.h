// Page 0: fetches the update information, reads it into the wizard and
// decides where the run goes: to the release notes when there is something
// new, to the finish page with a message, or, in an automatic run, straight
// to the end without a word.
#pragma once

#include "framework/dialog.h"
#include "update/download/download_progress.h"
#include "update/info/update_decision.h"
#include "update/resource_ids.h"
#include "update/wizard/update_page.h"

#include <string>

class CPgUpdateRetrieveUpdate : public CPgUpdatePageImpl<CPgUpdateRetrieveUpdate>,
                                public fw::CDialogImpl<CPgUpdateRetrieveUpdate>,
                                public CDownloadProgressImpl<CPgUpdateRetrieveUpdate, IDC_PROGRESS>
{
public:
    using CProgressBase = CDownloadProgressImpl<CPgUpdateRetrieveUpdate, IDC_PROGRESS>;
    enum { IDD = IDD_PG_RETRIEVE_UPDATE };

    explicit CPgUpdateRetrieveUpdate(CUpdateWizard* pWizard) : CPgUpdatePageImpl(pWizard) {}

    BEGIN_MSG_MAP(CPgUpdateRetrieveUpdate)
        CHAIN_MSG_MAP(CProgressBase)
        MESSAGE_HANDLER(WM_TIMER, OnWaitingTimer)
    END_MSG_MAP()

    void OnActivate() override;
    void OnCancel() override;
    void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char* pszError) override;

    // Asks the one decision about the body that came, and acts on what it
    // says: a taken body goes into the wizard (and where keys are built in
    // may raise the highest version seen), with bOffer telling whether it
    // offers a new version. Else, storing nothing, why it is refused:
    // E_UPDATE_INFO_UNREADABLE, E_UPDATE_INFO_NOT_WEB_ADDRESS,
    // E_UPDATE_INFO_UNTRUSTED, E_UPDATE_INFO_INSECURE_ADDRESS, or
    // E_UPDATE_INFO_EXPIRED or E_UPDATE_INFO_ROLLED_BACK with m_failureLine
    // of the wizard saying why.
    HRESULT TakeUpdateInfo(const std::string& body, bool& bOffer);

private:
    HRESULT ReadBody(IStream* pStream, std::string& body);
    // What this run and this installation bring to the decision over the
    // update information that facts holds.
    void AddWhatThisRunKnows(UpdateFacts& facts);
    // Forgets the update an earlier run started, or has page 1 say that it
    // did not install.
    void TakePending(PendingUpdate pending);
    void OnUpdateInfoTaken(bool bOffer);
    // A check that takes long says what it waits for.
    LRESULT OnWaitingTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
};
