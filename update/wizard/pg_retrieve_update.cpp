#include "update/wizard/pg_retrieve_update.h"

#include <string>

#include "framework/system_text.h"
#include "update/info/update_decision.h"
#include "update/trust/built_in_keys.h"
#include "update/trust/rollout_share.h"
#include "update/result_codes.h"
#include "update/update_globals.h"
#include "update/wizard/failure_line.h"
#include "update/wizard/resource_text.h"
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

    const std::string url = m_pWizard->UpdateInfoUrl();
    if (url.empty())
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
    Download(url.c_str(), true);
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

HRESULT CPgUpdateRetrieveUpdate::ReadBody(IStream* pStream, std::string& text)
{
    if (pStream == nullptr)
        return E_UPDATE_INFO_UNREADABLE;
    LARGE_INTEGER zero = {};
    if (FAILED(pStream->Seek(zero, STREAM_SEEK_SET, nullptr)))
        return E_UPDATE_INFO_UNREADABLE;

    text.clear();
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
        if (text.size() + cbRead > kMaxUpdateInfoSize)
            return E_UPDATE_INFO_UNREADABLE;
        text.append(block, cbRead);
    }
    return S_OK;
}

void CPgUpdateRetrieveUpdate::OnDownloadComplete(IStream* pStream, HRESULT hResult, const char*)
{
    std::string body;
    bool bOffer = false;
    if (SUCCEEDED(hResult))
        hResult = ReadBody(pStream, body);
    if (SUCCEEDED(hResult))
        hResult = TakeUpdateInfo(body, bOffer);
    if (SUCCEEDED(hResult))
    {
        OnUpdateInfoTaken(bOffer);
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
        m_pWizard->FinishWithMessage(IsTrustRefusal(hResult) ? IDS_UPDATE_UNTRUSTED
                                                             : IDS_UPDATE_FAILED);
    }
    else
    {
        m_pWizard->PostponeLastUpdateTime(kTicksPerTenMinutes);
        m_pWizard->EndRun();
    }
}

void CPgUpdateRetrieveUpdate::OnUpdateInfoTaken(bool bOffer)
{
    CUpdateWizard* pWizard = m_pWizard;
    pWizard->StampLastUpdateTime();
    if (!bOffer)
    {
        pWizard->SetNotifyDownload(0);
        if (pWizard->m_manual)
            pWizard->FinishWithMessage(IDS_NO_NEW_VERSION);
        else
            pWizard->EndRun();
        return;
    }
    if (!pWizard->SetActivePage(kPageNextAction))
    {
        // The update cannot be offered: say so rather than leave a page
        // whose only button can no longer do anything.
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

HRESULT CPgUpdateRetrieveUpdate::TakeUpdateInfo(const std::string& body, bool& bOffer)
{
    UpdateSettings& settings = m_pWizard->m_settings;
    UpdateInfo info;
    UpdateFacts facts;
    if (ReadUpdateInfo(body.data(), body.size(), info, &facts.fault))
        facts.pInfo = &info;
    facts.bKeysBuiltIn = UpdatesAreSigned();
    if (facts.pInfo != nullptr && facts.bKeysBuiltIn)
        facts.trust = CheckWithBuiltInKeys(info);
    AddWhatThisRunKnows(facts);

    const UpdateDecision decision = DecideUpdate(facts);
    switch (decision.verdict)
    {
    case UpdateVerdict::Offer:
    case UpdateVerdict::NothingNew:
    case UpdateVerdict::OutsideRollout:
        break;
    case UpdateVerdict::HeldByPolicy:
        m_pWizard->m_failureLine =
            FormatResourceString(IDS_POLICY_HELD_AT, m_pWizard->m_policy.targetPrefixText.c_str(),
                                 decision.offered.Text().c_str());
        break;
    case UpdateVerdict::Unreadable:
        return E_UPDATE_INFO_UNREADABLE;
    case UpdateVerdict::NotWebAddress:
        return E_UPDATE_INFO_NOT_WEB_ADDRESS;
    case UpdateVerdict::Untrusted:
        return E_UPDATE_INFO_UNTRUSTED;
    case UpdateVerdict::NoExpiry:
        return E_UPDATE_INFO_NO_EXPIRY;
    case UpdateVerdict::InsecureAddress:
        return E_UPDATE_INFO_INSECURE_ADDRESS;
    case UpdateVerdict::Expired:
        m_pWizard->m_failureLine = ExpiredFailureLine(*info.expires);
        return E_UPDATE_INFO_EXPIRED;
    case UpdateVerdict::RolledBack:
        m_pWizard->m_failureLine = RolledBackFailureLine(decision.offered, facts.highest);
        return E_UPDATE_INFO_ROLLED_BACK;
    }
    if (decision.bNewHighest)
        settings.SetHighestVersion(decision.offered);
    TakePending(decision.pending);
    m_pWizard->m_availableVersion = decision.offered;
    m_pWizard->m_installerSize = info.installerSize;
    m_pWizard->m_releaseNotesUrl = info.releaseNotesUrl;
    m_pWizard->m_installerUrl = info.installerUrl;
    m_pWizard->m_installerMirrors = info.mirrors;
    m_pWizard->m_installerFile.Expect(info.installerSha256);
    bOffer = decision.verdict == UpdateVerdict::Offer;
    m_pWizard->ForgetOtherParts(bOffer);
    return S_OK;
}

void CPgUpdateRetrieveUpdate::AddWhatThisRunKnows(UpdateFacts& facts)
{
    UpdateSettings& settings = m_pWizard->m_settings;
    facts.now = fw::NowTicks();
    facts.highest = settings.HighestVersion();
    facts.installed = settings.InstalledVersion();
    facts.announced = settings.AvailableVersion();
    facts.mode = m_pWizard->m_manual ? RunMode::Manual : RunMode::Automatic;
    facts.policy = m_pWizard->m_policy;
    facts.pending = settings.PendingVersion();
    facts.pendingSince = settings.PendingSince();
    // The identity is made only by a run that needs it: a scheduled one
    // that reads a staged release.
    const UpdateInfo* pInfo = facts.pInfo;
    InstallationId id;
    if (pInfo != nullptr && pInfo->rolloutTenths && facts.mode == RunMode::Automatic &&
        settings.InstallationIdentity(id))
        facts.rolloutBucket = RolloutBucket(id, VersionNumber(pInfo->versionText));
}

void CPgUpdateRetrieveUpdate::TakePending(PendingUpdate pending)
{
    UpdateSettings& settings = m_pWizard->m_settings;
    if (pending == PendingUpdate::Forget)
    {
        settings.ClearPending();
    }
    else if (pending == PendingUpdate::NotInstalled)
    {
        const uint64_t ftSince = settings.PendingSince();
        const std::string day = fw::LocalTimeText(ftSince, DATE_LONGDATE, false);
        m_pWizard->m_pendingLine =
            FormatResourceString(IDS_PENDING_NOT_INSTALLED, settings.PendingVersion().Text().c_str(),
                                 (day.empty() ? UtcTimeText(ftSince) : day).c_str());
    }
}
