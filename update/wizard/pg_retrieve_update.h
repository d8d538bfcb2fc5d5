// Page 0: fetches the update information, reads it into the wizard and
// decides where the run goes: to the release notes when there is something
// new, to the finish page with a message, or, in an automatic run, straight
// to the end without a word.
#pragma once

#include "framework/dialog.h"
#include "update/download/download_progress.h"
#include "update/resource_ids.h"
#include "update/wizard/update_page.h"

#include <istream>

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
    END_MSG_MAP()

    void OnActivate() override;
    void OnCancel() override;
    void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char* pszError) override;

    // Reads the four fields into the wizard; false, storing nothing, when the
    // text is not update information.
    bool ParseUpdateInfo(std::istream& in);

private:
    HRESULT ReadBody(IStream* pStream);
};
