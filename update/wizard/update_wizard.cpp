#include "update/wizard/update_wizard.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "framework/handles.h"
#include "framework/system_text.h"
#include "update/install/update_folder.h"
#include "update/result_codes.h"
#include "update/trust/built_in_keys.h"
#include "update/update_globals.h"
#include "update/wizard/failure_line.h"
#include "update/wizard/resource_text.h"
#include "update/wizard/wizard_look.h"

namespace {
// The wizard's own buttons, in the order the keyboard falls back on them.
const int kButtonIds[] = {IDC_WIZ_NEXT, IDC_WIZ_CLOSE, IDC_WIZ_CANCEL};
} // namespace

bool ConfirmCancel(CPgUpdatePage& page, CUpdateWizard& wizard, int cchCaption)
{
    char szCaption[260] = {};
    wizard.GetWindowText(szCaption, cchCaption + 1 < 260 ? cchCaption + 1 : 260);
    char szQuestion[260];
    fw::LoadResString(IDS_CONFIRM_CANCEL, szQuestion);
    const int nAnswer = MessageBoxA(page.GetPageWindow(), szQuestion, szCaption,
                                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST);
    return nAnswer == IDYES && wizard.m_pCurrentPage == &page;
}

CUpdateWizard::CUpdateWizard()
    : m_pCurrentPage(nullptr), m_pgRetrieveUpdate(this), m_pgNextAction(this), m_pgDownload(this),
      m_pgFinish(this), m_rcPage(), m_installerSize(0), m_manual(false)
{
}

CUpdateWizard::~CUpdateWizard()
{
    AbandonTransfers();
}

LRESULT CUpdateWizard::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    RECT rcArea = {};
    ::GetWindowRect(GetDlgItem(IDC_WIZ_PAGE_AREA), &rcArea);
    POINT corners[2] = {{rcArea.left, rcArea.top}, {rcArea.right, rcArea.bottom}};
    ::ScreenToClient(m_hWnd, &corners[0]);
    ::ScreenToClient(m_hWnd, &corners[1]);
    m_rcPage = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};

    if (m_policy.IsManaged())
        ::ShowWindow(GetDlgItem(IDC_WIZ_POLICY_LINE), SW_SHOWNA);

    // An owned window gets no taskbar button of its own without this.
    ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);

    // Each in the size the system draws it at, not one scaled from the other.
    const HINSTANCE hResources = fw::GetModule()->GetResourceInstance();
    for (BOOL bBig : {TRUE, FALSE})
    {
        const int cx = GetSystemMetrics(bBig ? SM_CXICON : SM_CXSMICON);
        SetIcon(static_cast<HICON>(LoadImageA(hResources, MAKEINTRESOURCEA(IDI_PRODUCT),
                                              IMAGE_ICON, cx, cx, LR_SHARED)),
                bBig);
    }
    return TRUE;
}

LRESULT CUpdateWizard::OnNext(WORD, WORD, HWND, BOOL&)
{
    if (m_pCurrentPage != nullptr)
        m_pCurrentPage->OnNext();
    return 0;
}

LRESULT CUpdateWizard::OnClose(WORD, WORD, HWND, BOOL&)
{
    if (m_pCurrentPage != nullptr)
        m_pCurrentPage->OnClose();
    return 0;
}

LRESULT CUpdateWizard::OnCancel(WORD, WORD, HWND, BOOL&)
{
    if (m_pCurrentPage != nullptr)
        m_pCurrentPage->OnCancel();
    return 0;
}

CPgUpdatePage* CUpdateWizard::PageAt(int nIndex)
{
    switch (nIndex)
    {
    case kPageRetrieveUpdate:
        return &m_pgRetrieveUpdate;
    case kPageNextAction:
        return &m_pgNextAction;
    case kPageDownload:
        return &m_pgDownload;
    case kPageFinish:
        return &m_pgFinish;
    default:
        return nullptr;
    }
}

bool CUpdateWizard::SetActivePage(int nIndex)
{
    CPgUpdatePage* pPage = PageAt(nIndex);
    if (pPage == nullptr)
        return false;
    if (pPage == m_pCurrentPage)
        return true;
    if (pPage->CreatePage(m_hWnd, m_rcPage) == nullptr)
        return false;

    fw::CWindow pageWindow = pPage->GetPageWindow();
    pageWindow.EnableWindow(TRUE);

    CPgUpdatePage* pPrevious = m_pCurrentPage;
    pPage->OnActivate();
    // Activation may itself have moved on, for instance when a download
    // failed to start: that switch stands.
    if (m_pCurrentPage != pPrevious)
        return true;

    pageWindow.ShowWindow(SW_SHOW);
    if (pPrevious != nullptr)
    {
        fw::CWindow previousWindow = pPrevious->GetPageWindow();
        previousWindow.EnableWindow(FALSE);
        previousWindow.ShowWindow(SW_HIDE);
    }
    m_pCurrentPage = pPage;
    FocusDefaultButton(m_hWnd, kButtonIds, 3);
    return true;
}

void CUpdateWizard::FinishWithMessage(UINT uStringId)
{
    // The message is in place before the page is shown, so the finish page
    // never appears, to the user or to anything reading it, without it.
    // Without a finish page there is nothing left to show: the run ends
    // rather than leave a wizard that cannot be closed.
    if (m_pgFinish.CreatePage(m_hWnd, m_rcPage) == nullptr)
    {
        EndRun();
        return;
    }
    m_pgFinish.SetMessageId(uStringId);
    if (!SetActivePage(kPageFinish))
        EndRun();
}

void CUpdateWizard::EndRun()
{
    // Posted, not PostQuitMessage: it comes in its turn after what the
    // pages posted before it.
    PostMessage(WM_QUIT, 0, 0);
}

void CUpdateWizard::AbandonTransfers()
{
    m_pgRetrieveUpdate.Abandon();
    m_pgDownload.Abandon();
}

void CUpdateWizard::EnableButtons(UINT uMask)
{
    ::EnableWindow(GetDlgItem(IDC_WIZ_NEXT), (uMask & kButtonNext) != 0);
    ::EnableWindow(GetDlgItem(IDC_WIZ_CLOSE), (uMask & kButtonClose) != 0);
    ::EnableWindow(GetDlgItem(IDC_WIZ_CANCEL), (uMask & kButtonCancel) != 0);
    // Enter takes the step forward that the page offers, if any; it never
    // cancels.
    int nDefault = IDOK;
    if (uMask & kButtonNext)
        nDefault = IDC_WIZ_NEXT;
    else if (uMask & kButtonClose)
        nDefault = IDC_WIZ_CLOSE;
    SendMessage(DM_SETDEFID, static_cast<WPARAM>(nDefault));
    for (int nId : {IDC_WIZ_NEXT, IDC_WIZ_CLOSE, IDC_WIZ_CANCEL})
        ::SendDlgItemMessageA(m_hWnd, nId, BM_SETSTYLE,
                              nId == nDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

std::string CUpdateWizard::UpdateInfoUrl() const
{
    return m_policy.updateInfoUrl.empty() ? LoadResourceString(IDS_UPDATE_INFO_URL)
                                          : m_policy.updateInfoUrl;
}

std::string CUpdateWizard::DownloadPageUrl() const
{
    return m_policy.downloadPageUrl.empty() ? LoadResourceString(IDS_DOWNLOAD_PAGE_URL)
                                            : m_policy.downloadPageUrl;
}

void CUpdateWizard::ShowWizard(bool bShow)
{
    if (bShow)
    {
        EnableWindow(TRUE);
        ShowWindow(SW_SHOW);
        ::SetForegroundWindow(m_hWnd);
        ::SetActiveWindow(m_hWnd);
        // A dialog made active while it was still hidden keeps an inactive
        // caption; draw it as what it now is.
        if (::GetForegroundWindow() == m_hWnd)
            SendMessage(WM_NCACTIVATE, TRUE);
    }
    else
    {
        ShowWindow(SW_HIDE);
        EnableWindow(FALSE);
    }
}

int CUpdateWizard::RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        // A second instance's request to come forward, posted rather than
        // sent, whatever window it was posted to.
        if (msg.message == g_uActivateMessage && msg.wParam == 1)
        {
            ShowWizard(true);
            continue;
        }
        // A message that the dialog takes for keyboard navigation is not
        // translated: a typed character would reach an edit twice.
        if (m_hWnd != nullptr && IsDialogMessageA(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    AbandonTransfers();
    return 0;
}

bool CUpdateWizard::IsInternetConnected() const
{
    return m_settings.IsInternetConnected();
}

bool CUpdateWizard::RememberAvailableVersion()
{
    return m_settings.SetAvailableVersion(m_availableVersion);
}

bool CUpdateWizard::SetNotifyDownload(uint64_t ftInterval)
{
    return m_settings.SetNotifyDownload(ftInterval);
}

bool CUpdateWizard::StampLastUpdateTime()
{
    return m_settings.SetLastUpdateTimeToNow();
}

bool CUpdateWizard::PostponeLastUpdateTime(uint64_t ftInterval)
{
    return m_settings.AddToLastUpdateTime(ftInterval);
}

bool CUpdateWizard::PrepareUpdateFolder()
{
    return PrepareUpdateFolderPath(m_updateFolder, m_heldUpdateFolder);
}

const std::string& CUpdateWizard::GetInstallerPath()
{
    if (m_installerPath.empty())
        m_installerPath = MakeInstallerPath(m_updateFolder, m_availableVersion);
    return m_installerPath;
}

HRESULT CUpdateWizard::VerifyInstallerSize()
{
    const std::string& path = GetInstallerPath();
    // The whole size counts: a file 4 GiB longer is not the same file.
    uint64_t cbSize = 0;
    HRESULT hr = path.empty() ? E_UNEXPECTED : m_installerFile.GetSize(cbSize);
    if (FAILED(hr))
    {
        m_failureLine = SaveFailureLine(hr);
        return hr;
    }
    if (cbSize != m_installerSize)
    {
        m_failureLine = SizeFailureLine(m_installerSize, cbSize);
        m_installerFile.Discard();
        return cbSize > m_installerSize ? E_DOWNLOAD_TOO_LARGE : E_DOWNLOAD_CUT_SHORT;
    }
    return S_OK;
}

HRESULT CUpdateWizard::VerifyInstallerDigest()
{
    if (!m_installerFile.HasExpectedDigest())
    {
        m_failureLine = FormatResourceString(IDS_FAIL_DIGEST);
        m_installerFile.Discard();
        return TRUST_E_BAD_DIGEST;
    }
    // Only now is it the installer.
    const HRESULT hr = m_installerFile.TakeName(GetInstallerPath());
    if (FAILED(hr))
    {
        m_failureLine = SaveFailureLine(hr);
        m_installerFile.Discard();
    }
    return hr;
}

bool CUpdateWizard::PartIsOfThisUpdate(const PartRecord& record) const
{
    const auto& digest = m_installerFile.Expected();
    const std::string sha256 = digest ? Sha256ToHex(*digest) : std::string();
    // Where the publisher signs, the digest names the file; elsewhere the
    // address and the size must be the same too.
    if (UpdatesAreSigned())
        return digest && record.sha256 == sha256;
    return record.cbSize == m_installerSize && InstallerAddressIndex(record.url) >= 0 &&
           record.sha256 == sha256;
}

int CUpdateWizard::InstallerAddressIndex(const std::string& url) const
{
    if (url == m_installerUrl)
        return 0;
    for (size_t i = 0; i < m_installerMirrors.size(); ++i)
    {
        if (url == m_installerMirrors[i])
            return static_cast<int>(i + 1);
    }
    return -1;
}

const std::string& CUpdateWizard::InstallerAddress(int nIndex) const
{
    return nIndex <= 0 || static_cast<size_t>(nIndex) > m_installerMirrors.size()
               ? m_installerUrl
               : m_installerMirrors[static_cast<size_t>(nIndex - 1)];
}

void CUpdateWizard::ForgetOtherParts(bool bOffered)
{
    const std::vector<std::string> names = FindPartNames(m_updateFolder);
    if (names.empty())
        return;
    const std::string installerPath = MakeInstallerPath(m_updateFolder, m_availableVersion);
    PartRecord record;
    if (bOffered && !installerPath.empty() &&
        lstrcmpiA(names[0].c_str(), PathFindFileNameA(PartPath(installerPath).c_str())) == 0 &&
        ReadPartRecord(installerPath, record) && PartIsOfThisUpdate(record))
        return;
    for (const std::string& name : names)
        DeleteFileA((m_updateFolder + "\\" + name).c_str());
}

HRESULT CUpdateWizard::StartInstaller()
{
    // Whatever came into the folder since the run began goes first: the
    // installer would load a library lying beside it.
    const std::string leftover =
        ClearUpdateFolder(m_updateFolder, PathFindFileNameA(GetInstallerPath().c_str()));
    if (!leftover.empty())
    {
        m_installerFile.Release();
        m_failureLine = FormatResourceString(IDS_FAIL_FOLDER_NOT_EMPTY, leftover.c_str());
        return E_UPDATE_FOLDER_NOT_EMPTY;
    }
    // Started while still held, so that nothing can change it in between.
    const HRESULT hr = ShellExecuteResult(ShellExecuteA(nullptr, "open", GetInstallerPath().c_str(),
                                                        nullptr, nullptr, SW_SHOWNORMAL));
    m_installerFile.Release();
    if (SUCCEEDED(hr))
    {
        // The next run learns from the installed version whether it went in.
        m_settings.SetPending(m_availableVersion, fw::NowTicks());
        return S_OK;
    }
    ShowSystemError(SystemErrorOf(hr));
    m_failureLine = StartFailureLine(hr);
    return hr;
}
