#include "update/wizard/pg_download.h"

#include "update/wizard/update_wizard.h"

namespace {
constexpr ULONG kCopyBlock = 4095;
}

void CPgUpdateDownload::OnActivate()
{
    m_pWizard->EnableButtons(kButtonCancel);
    Download(m_pWizard->m_installerUrl.c_str(), false);
}

void CPgUpdateDownload::OnCancel()
{
    if (ConfirmCancel(m_hWnd, *m_pWizard, 126))
        Cancel();
}

void CPgUpdateDownload::OnDownloadComplete(IStream* pStream, HRESULT hResult, const char*)
{
    if (SUCCEEDED(hResult))
    {
        if (pStream == nullptr || !SaveInstaller(pStream) || !m_pWizard->LaunchInstaller())
        {
            hResult = E_FAIL;
        }
        else
        {
            m_pWizard->SetNotifyDownload(0);
            m_pWizard->PostMessage(WM_QUIT, 0, 0);
            return;
        }
    }
    m_pWizard->FinishWithMessage(hResult == E_ABORT ? IDS_CANCELLED : IDS_UPDATE_FAILED);
}

bool CPgUpdateDownload::SaveInstaller(IStream* pStream)
{
    const std::string path = m_pWizard->GetInstallerPath();
    if (path.empty() || pStream == nullptr)
        return false;
    CInstallerFile& installer = m_pWizard->m_installerFile;
    if (!installer.Create(path))
        return false;

    bool bComplete = true;
    LARGE_INTEGER zero = {};
    if (FAILED(pStream->Seek(zero, STREAM_SEEK_SET, nullptr)))
        bComplete = false;
    char block[kCopyBlock];
    while (bComplete)
    {
        ULONG cbRead = 0;
        const HRESULT hr = pStream->Read(block, kCopyBlock, &cbRead);
        if (FAILED(hr))
        {
            bComplete = false;
            break;
        }
        if (cbRead == 0)
            break;
        if (!installer.Write(block, cbRead))
            bComplete = false;
    }
    if (!bComplete || !installer.Finish())
    {
        // A part of an installer is no installer.
        installer.Discard();
        return false;
    }
    return true;
}
