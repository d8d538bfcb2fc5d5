#include "update/wizard/pg_retrieve_update.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "update/download/update_trust.h"
#include "update/update_globals.h"
#include "update/wizard/update_info.h"
#include "update/wizard/update_wizard.h"

namespace {
constexpr ULONG kReadBlock = 4095;
}

void CPgUpdateRetrieveUpdate::OnActivate()
{
    m_pWizard->EnableButtons(kButtonCancel);
    if (m_pWizard->m_manual)
        m_pWizard->ShowWizard(true);

    if (!m_pWizard->IsInternetConnected())
    {
        if (m_pWizard->m_manual)
        {
            m_pWizard->FinishWithMessage(IDS_NO_CONNECTION);
        }
        else
        {
            m_pWizard->PostMessage(WM_QUIT, 0, 0);
        }
        return;
    }

    char szUrl[260] = {};
    const HINSTANCE hResources = fw::GetModule()->GetResourceInstance();
    if (LoadStringA(hResources, IDS_UPDATE_INFO_URL, szUrl, sizeof(szUrl)) == 0)
    {
        // Without an address there is nothing to fetch: a failed start.
        OnDownloadComplete(nullptr, E_FAIL, nullptr);
        return;
    }
    Download(szUrl, true);
}

void CPgUpdateRetrieveUpdate::OnCancel()
{
    if (ConfirmCancel(m_hWnd, *m_pWizard, 259))
        Cancel();
}

HRESULT CPgUpdateRetrieveUpdate::ReadBody(IStream* pStream)
{
    if (pStream == nullptr)
        return E_FAIL;
    LARGE_INTEGER zero = {};
    if (FAILED(pStream->Seek(zero, STREAM_SEEK_SET, nullptr)))
        return E_FAIL;

    std::vector<char> body;
    char block[kReadBlock];
    for (;;)
    {
        ULONG cbRead = 0;
        const HRESULT hr = pStream->Read(block, kReadBlock, &cbRead);
        if (FAILED(hr) || cbRead == 0)
            break;
        // Update information is short; anything larger is not one.
        if (body.size() + cbRead > kMaxUpdateInfoSize)
            return E_FAIL;
        body.insert(body.end(), block, block + cbRead);
    }

    std::istringstream in(std::string(body.begin(), body.end()));
    in.imbue(std::locale::classic());
    return ParseUpdateInfo(in) ? S_OK : E_FAIL;
}

void CPgUpdateRetrieveUpdate::OnDownloadComplete(IStream* pStream, HRESULT hResult, const char*)
{
    if (SUCCEEDED(hResult))
        hResult = ReadBody(pStream);

    if (SUCCEEDED(hResult))
    {
        CUpdateWizard* pWizard = m_pWizard;
        if (pWizard->IsNewVersionAvailable())
        {
            pWizard->StampLastUpdateTime();
            pWizard->SetActivePage(kPageNextAction);
            if (!g_bUserIsAdmin)
            {
                const HINSTANCE hResources = fw::GetModule()->GetResourceInstance();
                char szFormat[520] = {};
                LoadStringA(hResources, IDS_NO_ADMIN_NOTICE, szFormat, sizeof(szFormat));
                char szTarget[260] = {};
                LoadStringA(hResources, IDS_DOWNLOAD_PAGE_URL, szTarget, sizeof(szTarget));
                char szNotice[520] = {};
                std::snprintf(szNotice, sizeof(szNotice), szFormat,
                              pWizard->m_availableVersion.Text().c_str(), szTarget);
                pWizard->RememberAvailableVersion();
                pWizard->SetNotifyDownload(0);
                if (pWizard->m_pCurrentPage != nullptr)
                    pWizard->m_pCurrentPage->SetMessage(szNotice);
            }
            pWizard->ShowWizard(true);
        }
        else
        {
            pWizard->StampLastUpdateTime();
            pWizard->SetNotifyDownload(0);
            if (pWizard->m_manual)
            {
                pWizard->FinishWithMessage(IDS_NO_NEW_VERSION);
            }
            else
            {
                pWizard->PostMessage(WM_QUIT, 0, 0);
            }
        }
        return;
    }

    if (hResult == E_ABORT)
    {
        m_pWizard->StampLastUpdateTime();
        m_pWizard->FinishWithMessage(IDS_CANCELLED);
    }
    else if (m_pWizard->m_manual)
    {
        m_pWizard->FinishWithMessage(IDS_UPDATE_FAILED);
    }
    else
    {
        m_pWizard->PostponeLastUpdateTime(kTicksPerTenMinutes);
        m_pWizard->PostMessage(WM_QUIT, 0, 0);
    }
}

bool CPgUpdateRetrieveUpdate::ParseUpdateInfo(std::istream& in)
{
    UpdateInfo info;
    if (!ReadUpdateInfo(in, info) || !IsTrustedUpdateInfo(info))
        return false;
    m_pWizard->m_availableVersion.Parse(info.versionText);
    m_pWizard->m_installerSize = info.installerSize;
    m_pWizard->m_releaseNotesUrl = info.releaseNotesUrl;
    m_pWizard->m_installerUrl = info.installerUrl;
    m_pWizard->m_installerFile.Expect(info.installerSha256);
    return true;
}
