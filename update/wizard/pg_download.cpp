#include "update/wizard/pg_download.h"

#include "update/download/installer_tries.h"
#include "update/info/content_range.h"
#include "update/install/partial_installer.h"
#include "update/install/product_holders.h"
#include "update/wizard/failure_line.h"
#include "update/wizard/resource_text.h"
#include "update/wizard/update_wizard.h"

namespace {
// How often the record of the part is brought up to date while it grows.
constexpr DWORD kRecordEveryMs = 10 * 1000;
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
    m_figures.Restart(GetTickCount());
    m_hrSave = S_OK;
    m_bDigesting = false;
    m_tries = Tries();
    m_tries.dwRecordedMs = GetTickCount();
    GoOnFromPart();
    StartTry();
}

void CPgUpdateDownload::GoOnFromPart()
{
    const std::string& installerPath = m_pWizard->GetInstallerPath();
    PartRecord record;
    // The record is trusted no further than the digest at the end.
    if (!installerPath.empty() && ReadPartRecord(installerPath, record) &&
        m_pWizard->PartIsOfThisUpdate(record) && !record.validator.empty() &&
        SUCCEEDED(m_pWizard->m_installerFile.Resume(PartPath(installerPath), record.cbWritten)))
    {
        // An address this update no longer names is another server's: its
        // validator is no use at the others, where the digest decides.
        m_tries.validator = record.validator;
        m_tries.validatorAddress = m_pWizard->InstallerAddressIndex(record.url);
        m_tries.nAddress = m_tries.validatorAddress < 0 ? 0 : m_tries.validatorAddress;
        return;
    }
    DeletePart(installerPath);
}

void CPgUpdateDownload::RecordPart()
{
    CInstallerFile& installer = m_pWizard->m_installerFile;
    if (!installer.IsWriting() || m_tries.validator.empty())
        return;
    PartRecord record;
    record.url = m_pWizard->InstallerAddress(m_tries.validatorAddress);
    record.validator = m_tries.validator;
    record.cbSize = m_pWizard->m_installerSize;
    const auto& digest = installer.Expected();
    record.sha256 = digest ? Sha256ToHex(*digest) : std::string();
    record.cbWritten = installer.BytesWritten();
    // Counted only once it is on the disk.
    m_tries.dwRecordedMs = GetTickCount();
    if (SUCCEEDED(installer.Flush()))
        WritePartRecord(m_pWizard->GetInstallerPath(), record);
}

void CPgUpdateDownload::KeepPart()
{
    RecordPart();
    m_pWizard->m_installerFile.Release();
}

LRESULT CPgUpdateDownload::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    // The window closed or the run ended while the installer arrived.
    if (m_pWizard->m_installerFile.IsWriting())
        KeepPart();
    bHandled = FALSE;
    return 0;
}

void CPgUpdateDownload::StartTry()
{
    CInstallerFile& installer = m_pWizard->m_installerFile;
    ++m_tries.nMade;
    // The same server's validator tells whether its file is still the one
    // the bytes came from. Another server's file is joined on only where a
    // digest decides at the end; otherwise, as without a validator, the file
    // starts again.
    const bool bSameServer =
        !m_tries.validator.empty() && m_tries.validatorAddress == m_tries.nAddress;
    const bool bDigestDecides = installer.Expected().has_value();
    m_tries.cbAskedFrom = installer.IsWriting() && (bSameServer || bDigestDecides)
                              ? installer.BytesWritten()
                              : 0;
    m_tries.cbBodyOffset = 0;
    SetRequestHeaders(RangeRequestHeaders(m_tries.cbAskedFrom,
                                          bSameServer ? m_tries.validator : std::string()));
    // A part of the file is never taken from the cache.
    Download(m_pWizard->InstallerAddress(m_tries.nAddress).c_str(), m_tries.cbAskedFrom != 0);
}

void CPgUpdateDownload::OnAnswered()
{
    const DWORD dwStatus = HttpStatus();
    // No answer at all (0), or an error status, ends the try on its own line.
    if (dwStatus == 0 || dwStatus >= 400)
        return;
    const auto offset = BodyOffset(dwStatus, ResponseHeader("Content-Range"), m_tries.cbAskedFrom,
                                   m_pWizard->m_installerSize);
    if (!offset)
    {
        AbortWith(E_DOWNLOAD_BAD_ANSWER);
        return;
    }
    m_tries.bAnswered = true;
    m_tries.cbBodyOffset = *offset;
    m_tries.validator = ValidatorOf(ResponseHeader("ETag"), ResponseHeader("Last-Modified"));
    m_tries.validatorAddress = m_tries.nAddress;
    if (*offset == 0 && m_tries.cbAskedFrom != 0)
        m_figures.Restart(GetTickCount());
    CInstallerFile& installer = m_pWizard->m_installerFile;
    if (installer.IsWriting())
    {
        m_hrSave = installer.BeginStreamAt(*offset);
        if (FAILED(m_hrSave))
            AbortWith(m_hrSave);
    }
}

void CPgUpdateDownload::OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax,
                                           ULONG ulStatusCode, const char* pszStatusText)
{
    // Before the data flows the progress counts other things.
    if (ulStatusCode != BINDSTATUS_BEGINDOWNLOADDATA &&
        ulStatusCode != BINDSTATUS_DOWNLOADINGDATA && ulStatusCode != BINDSTATUS_ENDDOWNLOADDATA)
        return;
    // The file's bytes, not the request's: a try that goes on from where the
    // last one stopped goes on in the figures too. Without a length from the
    // server, the announced size is the total.
    const ULONGLONG cbOffset = m_tries.cbBodyOffset;
    const ULONGLONG cbTotal =
        cbOffset + (ulProgressMax != 0 ? ulProgressMax : m_pWizard->m_installerSize - cbOffset);
    const ULONGLONG cbReceived = cbOffset + ulProgress;
    CProgressBase::OnDownloadProgress(static_cast<ULONG>(cbReceived), static_cast<ULONG>(cbTotal),
                                      ulStatusCode, pszStatusText);
    std::string text;
    if (m_figures.Update(cbReceived, cbTotal, GetTickCount(), text))
        ::SetDlgItemTextA(m_hWnd, IDC_DOWNLOAD_FIGURES, text.c_str());
}

void CPgUpdateDownload::OnCancel()
{
    if (m_bDigesting || m_tries.bWaiting)
    {
        // Neither the digest nor the next try goes on while the user decides.
        m_bAskingToCancel = true;
        const bool bCancel = ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars);
        m_bAskingToCancel = false;
        if (!m_bDigesting && !m_tries.bWaiting)
            return;
        if (bCancel)
        {
            ::KillTimer(m_hWnd, kRetryTimerId);
            // A whole file read for its digest has nothing left to fetch.
            if (m_bDigesting)
                m_pWizard->m_installerFile.Discard();
            else
                KeepPart();
            m_bDigesting = false;
            m_tries.bWaiting = false;
            m_pWizard->FinishWithMessage(IDS_CANCELLED);
            return;
        }
        if (m_bDigesting)
            ::PostMessageA(m_hWnd, kMsgDigestStep, 0, 0);
        return;
    }
    if (m_heldFolder.empty())
    {
        if (ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars) && IsDownloading())
            Cancel();
        return;
    }
    // The installer does not start while the user decides.
    ::KillTimer(m_hWnd, kHoldersTimerId);
    m_bAskingToCancel = true;
    const bool bCancel = ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars);
    m_bAskingToCancel = false;
    if (m_heldFolder.empty())
        return;
    if (!bCancel)
    {
        LookForHolders();
        return;
    }
    m_heldFolder.clear();
    m_pWizard->m_installerFile.Discard();
    m_pWizard->FinishWithMessage(IDS_CANCELLED);
}

LRESULT CPgUpdateDownload::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam == kRetryTimerId)
    {
        // The next try waits for the user's answer to the question.
        if (m_bAskingToCancel)
            return 0;
        ::KillTimer(m_hWnd, kRetryTimerId);
        m_tries.bWaiting = false;
        StartTry();
        return 0;
    }
    if (wParam != kHoldersTimerId)
    {
        bHandled = FALSE;
        return 0;
    }
    ::KillTimer(m_hWnd, kHoldersTimerId);
    LookForHolders();
    return 0;
}

LRESULT CPgUpdateDownload::OnHoldersFound(UINT, WPARAM, LPARAM, BOOL&)
{
    std::vector<ProductHolder> holders;
    const HRESULT hr = m_holderSearch.TakeFindings(holders);
    // Findings that come while the user decides, or after the wait ended,
    // are dropped; a search that failed to look is tried again.
    if (hr == S_FALSE || m_heldFolder.empty() || m_bAskingToCancel)
        return 0;
    if (SUCCEEDED(hr) && holders.empty())
    {
        m_heldFolder.clear();
        StartInstaller();
        return 0;
    }
    if (SUCCEEDED(hr))
        ShowHolders(holders);
    ::SetTimer(m_hWnd, kHoldersTimerId, kHoldersPeriodMs, nullptr);
    return 0;
}

void CPgUpdateDownload::StartWhenFree()
{
    std::string folder;
    if (!m_pWizard->m_settings.ReadProductFolder(folder) || !IsSearchableProductFolder(folder))
    {
        StartInstaller();
        return;
    }
    m_heldFolder = folder;
    LookForHolders();
}

void CPgUpdateDownload::LookForHolders()
{
    if (FAILED(m_holderSearch.Start(m_hWnd, kMsgHoldersFound, m_heldFolder)))
        ::SetTimer(m_hWnd, kHoldersTimerId, kHoldersPeriodMs, nullptr);
}

void CPgUpdateDownload::ShowHolders(const std::vector<ProductHolder>& holders)
{
    const std::string names = JoinHolderNames(holders);
    if (names == m_holderNames)
        return;
    m_holderNames = names;
    const std::string notice = FormatResourceString(
        holders.size() == 1 ? IDS_CLOSE_HOLDER : IDS_CLOSE_HOLDERS, names.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_DOWNLOAD_FIGURES, notice.c_str());
}

void CPgUpdateDownload::StartInstaller()
{
    if (SUCCEEDED(m_pWizard->StartInstaller()))
    {
        m_pWizard->SetNotifyDownload(0);
        m_pWizard->EndRun();
        return;
    }
    m_pWizard->FinishWithMessage(IDS_UPDATE_FAILED);
}

void CPgUpdateDownload::OnDataArrived(IStream* pStream)
{
    m_hrSave = SaveInstaller(pStream);
    if (FAILED(m_hrSave))
    {
        AbortWith(m_hrSave);
        return;
    }
    // Now and then, so that a crash or a power cut loses little; seldom, as
    // the flush before it waits for the disk.
    if (GetTickCount() - m_tries.dwRecordedMs >= kRecordEveryMs)
        RecordPart();
}

void CPgUpdateDownload::OnDownloadComplete(IStream* pStream, HRESULT hResult, const char*)
{
    CInstallerFile& installer = m_pWizard->m_installerFile;
    if (SUCCEEDED(hResult))
    {
        m_hrSave = pStream != nullptr ? SaveInstaller(pStream) : E_UNEXPECTED;
        if (SUCCEEDED(m_hrSave))
            m_hrSave = installer.Finish();
        hResult = m_hrSave;
    }
    if (SUCCEEDED(m_hrSave) && TryAgainLater(hResult))
        return;
    if (SUCCEEDED(hResult))
    {
        // One that fails its checks goes; one the shell cannot start stays.
        hResult = m_pWizard->VerifyInstallerSize();
        if (SUCCEEDED(hResult))
        {
            m_bDigesting = true;
            ::PostMessageA(m_hWnd, kMsgDigestStep, 0, 0);
            return;
        }
    }
    else
    {
        if (FAILED(m_hrSave))
            m_pWizard->m_failureLine = SaveFailureLine(m_hrSave);
        else if (hResult == E_DOWNLOAD_CUT_SHORT)
            m_pWizard->m_failureLine =
                SizeFailureLine(m_pWizard->m_installerSize, installer.BytesWritten());
        else
            m_pWizard->m_failureLine =
                InstallerFailureLine(hResult, *this, m_pWizard->m_installerSize);
        // Where there were several, the line says which address failed last.
        if (m_pWizard->InstallerAddressCount() > 1)
            m_pWizard->m_failureLine = FormatResourceString(
                IDS_FAIL_AT_ADDRESS, m_pWizard->m_failureLine.c_str(),
                m_pWizard->InstallerAddress(m_tries.nAddress).c_str());
        // What was written is left for the next run to go on from, unless
        // it is already more than the installer can be.
        if (hResult == E_DOWNLOAD_TOO_LARGE)
            installer.Discard();
        else
            KeepPart();
    }
    m_pWizard->FinishWithMessage(hResult == E_ABORT ? IDS_CANCELLED : IDS_UPDATE_FAILED);
}

bool CPgUpdateDownload::TryAgainLater(HRESULT hResult)
{
    if (m_tries.nMade >= kMaxInstallerTries || hResult == E_ABORT ||
        hResult == E_DOWNLOAD_TOO_LARGE)
        return false;
    // A try that fails at one address goes on at the next, at once where
    // this one refused; with no other, a server that never answered is not
    // there, and an error status is its answer.
    const int nAddresses = m_pWizard->InstallerAddressCount();
    const bool bOther = m_tries.nAddress + 1 < nAddresses;
    if (hResult == E_DOWNLOAD_HTTP_STATUS || !m_tries.bAnswered)
    {
        if (!bOther)
            return false;
        ++m_tries.nAddress;
        m_tries.bWaiting = true;
        ::SetTimer(m_hWnd, kRetryTimerId, 1, nullptr);
        return true;
    }
    if (!IsWorthAnotherTry(hResult))
        return false;
    m_tries.nAddress = (m_tries.nAddress + 1) % nAddresses;
    const UINT uDelayMs = RetryDelayMs(m_tries.nMade);
    m_tries.bWaiting = true;
    ::SetTimer(m_hWnd, kRetryTimerId, uDelayMs, nullptr);
    ::SetDlgItemTextA(m_hWnd, IDC_DOWNLOAD_FIGURES,
                      FormatResourceString(IDS_RETRYING, uDelayMs / 1000).c_str());
    return true;
}

LRESULT CPgUpdateDownload::OnDigestStep(UINT, WPARAM, LPARAM, BOOL&)
{
    // A step posted before a cancel, or while the user decides, is dropped;
    // the answer posts the next.
    if (!m_bDigesting || m_bAskingToCancel)
        return 0;
    bool bDone = false;
    HRESULT hr = m_pWizard->m_installerFile.DigestStep(bDone);
    if (SUCCEEDED(hr) && !bDone)
    {
        ::PostMessageA(m_hWnd, kMsgDigestStep, 0, 0);
        return 0;
    }
    m_bDigesting = false;
    if (FAILED(hr))
        m_pWizard->m_failureLine = SaveFailureLine(hr);
    else
        hr = m_pWizard->VerifyInstallerDigest();
    if (SUCCEEDED(hr))
    {
        StartWhenFree();
        return 0;
    }
    m_pWizard->m_installerFile.Discard();
    m_pWizard->FinishWithMessage(IDS_UPDATE_FAILED);
    return 0;
}

HRESULT CPgUpdateDownload::SaveInstaller(IStream* pStream)
{
    CInstallerFile& installer = m_pWizard->m_installerFile;
    if (!installer.IsWriting())
    {
        const HRESULT hr = installer.Create(PartPath(m_pWizard->GetInstallerPath()));
        if (FAILED(hr))
            return hr;
    }
    const HRESULT hr = installer.AppendFrom(pStream);
    // Over all tries, the file never grows beyond the announced size.
    if (SUCCEEDED(hr) && installer.BytesWritten() > m_pWizard->m_installerSize)
        return E_DOWNLOAD_TOO_LARGE;
    return hr;
}
