#include "update/wizard/pg_retrieve_update.h"

#include <sstream>
#include <vector>

#include "update/download/update_trust.h"
#include "update/result_codes.h"
#include "update/update_globals.h"
#include "update/wizard/failure_line.h"
#include "update/wizard/resource_text.h"
#include "update/wizard/update_info.h"
#include "update/wizard/update_wizard.h"

namespace {
constexpr ULONG kReadBlock = 4095;
// The question before cancelling carries this much of the wizard's title.
constexpr int kCancelCaptionChars = 259;
// A check that has not ended by then is given up: a hidden automatic run
// must never wait for ever on a server that accepts and says nothing.
constexpr uint32_t kCheckLimitMs = 60 * 1000;
// A check still running after this long tells the user what it waits for.
constexpr UINT kWaitingAfterMs = 3000;
constexpr UINT_PTR kWaitingTimerId = 0x5A51;

// The system's UTC time in FILETIME ticks.
uint64_t NowTicks()
{
    FILETIME ftNow;
    GetSystemTimeAsFileTime(&ftNow);
    return (static_cast<uint64_t>(ftNow.dwHighDateTime) << 32) | ftNow.dwLowDateTime;
}
} // namespace

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
            m_pWizard->EndRun();
        }
        return;
    }

    char szUrl[260];
    if (fw::LoadResString(IDS_UPDATE_INFO_URL, szUrl) == 0)
    {
        // Without an address there is nothing to fetch: a failed start.
        OnDownloadComplete(nullptr, E_FAIL, nullptr);
        return;
    }
    // Update information is short: a server announcing or sending more is
    // not sending update information, and is not listened to any further.
    TransferLimits limits;
    limits.msTotal = kCheckLimitMs;
    limits.cbMax = kMaxUpdateInfoSize;
    SetLimits(limits);
    ::SetTimer(m_hWnd, kWaitingTimerId, kWaitingAfterMs, nullptr);
    Download(szUrl, true);
}

LRESULT CPgUpdateRetrieveUpdate::OnWaitingTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != kWaitingTimerId)
    {
        bHandled = FALSE;
        return 0;
    }
    ::KillTimer(m_hWnd, kWaitingTimerId);
    if (IsDownloading())
        ::SetDlgItemTextA(m_hWnd, IDC_RETRIEVE_STATUS, LoadResourceString(IDS_WAITING_FOR_SERVER).c_str());
    return 0;
}

void CPgUpdateRetrieveUpdate::OnCancel()
{
    if (ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars) && IsDownloading())
        Cancel();
}

HRESULT CPgUpdateRetrieveUpdate::ReadBody(IStream* pStream)
{
    if (pStream == nullptr)
        return E_UPDATE_INFO_UNREADABLE;
    LARGE_INTEGER zero = {};
    if (FAILED(pStream->Seek(zero, STREAM_SEEK_SET, nullptr)))
        return E_UPDATE_INFO_UNREADABLE;

    std::vector<char> body;
    char block[kReadBlock];
    for (;;)
    {
        ULONG cbRead = 0;
        // A read that fails is no end of the data: what came before it may
        // be any part of the file.
        if (FAILED(pStream->Read(block, kReadBlock, &cbRead)))
            return E_UPDATE_INFO_UNREADABLE;
        if (cbRead == 0)
            break;
        // Update information is short; anything larger is not one.
        if (body.size() + cbRead > kMaxUpdateInfoSize)
            return E_UPDATE_INFO_UNREADABLE;
        body.insert(body.end(), block, block + cbRead);
    }

    std::istringstream in(std::string(body.begin(), body.end()));
    in.imbue(std::locale::classic());
    return ParseUpdateInfo(in);
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
            if (!pWizard->SetActivePage(kPageNextAction))
            {
                // The update cannot be offered: say so rather than leave a
                // page whose only button can no longer do anything.
                pWizard->FinishWithMessage(IDS_UPDATE_FAILED);
                pWizard->ShowWizard(true);
                return;
            }
            if (!g_bUserIsAdmin)
            {
                pWizard->RememberAvailableVersion();
                pWizard->SetNotifyDownload(0);
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
                pWizard->EndRun();
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
        // A refusal of information that was read has said why already.
        if (m_pWizard->m_failureLine.empty())
            m_pWizard->m_failureLine = CheckFailureLine(hResult, *this);
        m_pWizard->FinishWithMessage(IDS_UPDATE_FAILED);
    }
    else
    {
        m_pWizard->PostponeLastUpdateTime(kTicksPerTenMinutes);
        m_pWizard->EndRun();
    }
}

HRESULT CPgUpdateRetrieveUpdate::ParseUpdateInfo(std::istream& in)
{
    UpdateInfo info;
    UpdateInfoFault fault = UpdateInfoFault::None;
    if (!ReadUpdateInfo(in, info, &fault))
        return fault == UpdateInfoFault::InstallerAddress ? E_UPDATE_INFO_NOT_WEB_ADDRESS
                                                          : E_UPDATE_INFO_UNREADABLE;
    if (!IsTrustedUpdateInfo(info))
        return E_UPDATE_INFO_UNTRUSTED;
    // Where the publisher signs, the installer comes only over a connection
    // that nobody on the way can read or change: a swapped installer would
    // be caught by its digest, but only once all of it had come.
    const bool bSigned = UpdatesAreSigned();
    if (bSigned && !IsSecureWebAddress(info.installerUrl))
        return E_UPDATE_INFO_INSECURE_ADDRESS;
    // A file past its time may be an old one served again.
    if (info.expires && NowTicks() >= *info.expires)
    {
        m_pWizard->m_failureLine = ExpiredFailureLine(*info.expires);
        return E_UPDATE_INFO_EXPIRED;
    }
    // Signed information of an older release, served again, must not undo
    // what later information announced. Without keys anyone can announce
    // any version, so nothing is remembered there.
    const VersionNumber offered(info.versionText);
    if (bSigned)
    {
        const VersionNumber highest = m_pWizard->m_settings.HighestVersion();
        if (offered.IsOlderThan(highest))
        {
            m_pWizard->m_failureLine = RolledBackFailureLine(offered, highest);
            return E_UPDATE_INFO_ROLLED_BACK;
        }
        if (offered.IsNewerThan(highest))
            m_pWizard->m_settings.SetHighestVersion(offered);
    }
    m_pWizard->m_availableVersion = offered;
    m_pWizard->m_installerSize = info.installerSize;
    m_pWizard->m_releaseNotesUrl = info.releaseNotesUrl;
    m_pWizard->m_installerUrl = info.installerUrl;
    m_pWizard->m_installerFile.Expect(info.installerSha256);
    return S_OK;
}
