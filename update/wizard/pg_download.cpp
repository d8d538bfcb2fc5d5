#include "update/wizard/pg_download.h"

#include "framework/handles.h"
#include "update/wizard/update_wizard.h"

namespace {
constexpr ULONG kCopyBlock = 4095;
}

void CPgUpdateDownload::OnActivate()
{
    m_pWizard->EnableButtons(kButtonCancel);
    m_figures.Restart(GetTickCount());
    Download(m_pWizard->m_installerUrl.c_str(), false);
}

void CPgUpdateDownload::OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax,
                                           ULONG ulStatusCode, const char* pszStatusText)
{
    CProgressBase::OnDownloadProgress(ulProgress, ulProgressMax, ulStatusCode, pszStatusText);
    // Before the data flows the progress counts other things.
    if (ulStatusCode != BINDSTATUS_BEGINDOWNLOADDATA &&
        ulStatusCode != BINDSTATUS_DOWNLOADINGDATA && ulStatusCode != BINDSTATUS_ENDDOWNLOADDATA)
        return;
    // Without a length from the server, the announced size is the total.
    const ULONGLONG cbTotal = ulProgressMax != 0 ? ulProgressMax : m_pWizard->m_installerSize;
    std::string text;
    if (m_figures.Update(ulProgress, cbTotal, GetTickCount(), text))
        ::SetDlgItemTextA(m_hWnd, IDC_DOWNLOAD_FIGURES, text.c_str());
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
    // Others may read, write or delete it meanwhile: nothing is locked out.
    fw::CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
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
        DWORD cbWritten = 0;
        if (!WriteFile(file.Get(), block, cbRead, &cbWritten, nullptr) || cbWritten != cbRead)
            bComplete = false;
    }
    file.Reset();
    if (!bComplete)
    {
        // A part of an installer is no installer.
        DeleteFileA(path.c_str());
        return false;
    }
    return true;
}
