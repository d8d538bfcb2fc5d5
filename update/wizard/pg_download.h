// Page 2: downloads the installer into the update folder, checks its size,
// starts it and ends the updater so that the installer can replace the
// product. A failure or a cancel ends on the finish page and leaves no file.
#pragma once

#include "framework/dialog.h"
#include "update/download/download_progress.h"
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

    BEGIN_MSG_MAP(CPgUpdateDownload)
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

private:
    CProgressFigures m_figures;
    // Why the installer could not be saved, if that ended the download.
    HRESULT m_hrSave = S_OK;
};
