#include "update/wizard/pg_download.h"

#include "update/wizard/update_wizard.h"

namespace {
constexpr ULONG kCopyBlock = 4095;
// The question before cancelling carries this much of the wizard's title.
constexpr int kCancelCaptionChars = 126;
// A download that receives nothing for this long is given up; a slow one
// that keeps receiving is never cut off.
constexpr uint32_t kStallLimitMs = 60 * 1000;
} // namespace

void CPgUpdateDownload::OnActivate()
{
    m_pWizard->EnableButtons(kButtonCancel);
    // Nothing larger than the announced installer is fetched.
    TransferLimits limits;
    limits.msStall = kStallLimitMs;
    limits.cbMax = m_pWizard->m_installerSize;
    SetLimits(limits);
    Download(m_pWizard->m_installerUrl.c_str(), false);
}

void CPgUpdateDownload::OnCancel()
{
    if (ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars) && IsDownloading())
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
