#include "update/wizard/pg_next_action.h"

#include <oleauto.h>
#include <shellapi.h>

#include <cstdio>
#include <new>
#include <string>

#include "framework/ansi_text.h"
#include "update/update_globals.h"
#include "update/update_settings.h"
#include "update/wizard/browser_events.h"
#include "update/wizard/progress_figures.h"
#include "update/wizard/resource_text.h"
#include "update/info/update_info.h"
#include "update/wizard/update_wizard.h"

namespace {

// The question before cancelling carries this much of the wizard's title.
constexpr int kCancelCaptionChars = 259;

const int kChoiceIds[] = {IDC_RB_INSTALL_NOW, IDC_RB_SKIP_VERSION, IDC_RB_REMIND_DAY,
                          IDC_RB_REMIND_WEEK};

} // namespace

CPgUpdateNextAction::CPgUpdateNextAction(CUpdateWizard* pWizard)
    : CPgUpdatePageImpl(pWizard), m_dwEventCookie(0)
{
    fw::AxWinInit();
}

CPgUpdateNextAction::~CPgUpdateNextAction()
{
    StopListening();
}

LRESULT CPgUpdateNextAction::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_wndBrowserHost = GetDlgItem(IDC_BROWSER_HOST);
    const std::string& notesUrl = m_pWizard->m_releaseNotesUrl;
    std::wstring wideUrl;
    // Notes that anyone on the way could change are not taken: they would
    // show in the wizard as the publisher's word.
    if (IsWebAddress(notesUrl) && !IsSecureWebAddress(notesUrl))
        ShowReleaseNotesAddress(IDS_NOTES_NOT_SECURE);
    else if (!IsWebAddress(notesUrl) || !fw::AnsiToWide(notesUrl.c_str(), wideUrl) ||
             !StartBrowser(wideUrl))
        ShowReleaseNotesAddress(IDS_NOTES_UNAVAILABLE);
    return TRUE;
}

bool CPgUpdateNextAction::StartBrowser(const std::wstring& notesUrl)
{
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_ALL, IID_IWebBrowser2,
                                reinterpret_cast<void**>(&m_spWebBrowser))))
        return false;
    if (FAILED(m_wndBrowserHost.AttachControl(m_spWebBrowser)))
    {
        m_spWebBrowser.Release();
        return false;
    }

    fw::CComPtr<fw::IAxWinAmbientDispatch> spAmbient;
    if (SUCCEEDED(m_wndBrowserHost.QueryHost(__uuidof(fw::IAxWinAmbientDispatch),
                                             reinterpret_cast<void**>(&spAmbient))))
        spAmbient->put_AllowContextMenu(VARIANT_FALSE);

    m_spWebBrowser->put_RegisterAsDropTarget(VARIANT_FALSE);
    m_spWebBrowser->put_RegisterAsBrowser(VARIANT_FALSE);
    m_spWebBrowser->put_Silent(VARIANT_FALSE);
    m_spWebBrowser->put_Offline(VARIANT_FALSE);

    fw::CComPtr<IConnectionPointContainer> spContainer;
    fw::CComPtr<IConnectionPoint> spPoint;
    if (SUCCEEDED(m_spWebBrowser->QueryInterface(IID_IConnectionPointContainer,
                                                 reinterpret_cast<void**>(&spContainer))) &&
        SUCCEEDED(spContainer->FindConnectionPoint(DIID_DWebBrowserEvents2, &spPoint)))
    {
        m_spEventSink.Attach(new (std::nothrow) CBrowserEventSink(
            m_hWnd, kMsgBrowserFailed, kMsgLinkFollowed, m_spWebBrowser, notesUrl));
        if (m_spEventSink && FAILED(spPoint->Advise(m_spEventSink, &m_dwEventCookie)))
            m_spEventSink.Release();
    }
    // A browser that nobody keeps on the notes is not let loose on them.
    if (!m_spEventSink)
    {
        m_dwEventCookie = 0;
        return false;
    }

    BSTR bstrUrl = SysAllocString(notesUrl.c_str());
    if (bstrUrl == nullptr)
        return false;
    VARIANT empty;
    VariantInit(&empty);
    const HRESULT hr = m_spWebBrowser->Navigate(bstrUrl, &empty, &empty, &empty, &empty);
    SysFreeString(bstrUrl);
    return SUCCEEDED(hr);
}

// The sink itself stays until the page goes: a link the user followed just
// before the browser went is still opened.
void CPgUpdateNextAction::StopListening()
{
    if (m_spEventSink && m_spWebBrowser && m_dwEventCookie != 0)
    {
        fw::CComPtr<IConnectionPointContainer> spContainer;
        fw::CComPtr<IConnectionPoint> spPoint;
        if (SUCCEEDED(m_spWebBrowser->QueryInterface(IID_IConnectionPointContainer,
                                                     reinterpret_cast<void**>(&spContainer))) &&
            SUCCEEDED(spContainer->FindConnectionPoint(DIID_DWebBrowserEvents2, &spPoint)))
            spPoint->Unadvise(m_dwEventCookie);
    }
    m_dwEventCookie = 0;
}

// Where the notes cannot be shown, the host shows their address in plain
// text instead of an empty hole; the rest of the page works as ever.
void CPgUpdateNextAction::ShowReleaseNotesAddress(UINT uTextId)
{
    StopListening();
    if (m_spWebBrowser)
    {
        m_wndBrowserHost.DetachControl();
        m_spWebBrowser.Release();
    }
    m_wndBrowserHost.SetWindowText(
        FormatResourceString(uTextId, m_pWizard->m_releaseNotesUrl.c_str()).c_str());
}

LRESULT CPgUpdateNextAction::OnBrowserFailed(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_spWebBrowser)
        ShowReleaseNotesAddress(IDS_NOTES_UNAVAILABLE);
    return 0;
}

// The link opens in the user's own browser, which the shell's "open" of a
// web address starts; the wizard stays on the notes.
LRESULT CPgUpdateNextAction::OnLinkFollowed(UINT, WPARAM, LPARAM, BOOL&)
{
    std::string url;
    if (m_spEventSink && m_spEventSink->TakeLink(url) && IsWebAddress(url))
        ShellExecuteA(m_hWnd, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

LRESULT CPgUpdateNextAction::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    StopListening();
    bHandled = FALSE;
    return 0;
}

void CPgUpdateNextAction::OnActivate()
{
    ::SetDlgItemTextA(
        m_hWnd, IDC_VERSION_LINE,
        FormatResourceString(IDS_VERSION_LINE, m_pWizard->m_availableVersion.Text().c_str()).c_str());

    ::SetDlgItemTextA(m_hWnd, IDC_SIZE_LINE, FormatSizeLine(m_pWizard->m_installerSize).c_str());
    if (!m_pWizard->m_pendingLine.empty())
        ShowPendingLine(m_pWizard->m_pendingLine.c_str());

    if (g_bUserIsAdmin)
    {
        for (int nId : kChoiceIds)
        {
            ::ShowWindow(GetDlgItem(nId), SW_SHOWNORMAL);
            // What the organisation's policy takes away stays in sight,
            // greyed, beside the line that says the organisation manages it.
            if (nId != IDC_RB_INSTALL_NOW)
                ::EnableWindow(GetDlgItem(nId), m_pWizard->m_policy.bSkipAndRemindAllowed);
        }
        ::CheckRadioButton(m_hWnd, IDC_RB_INSTALL_NOW, IDC_RB_REMIND_WEEK, IDC_RB_INSTALL_NOW);
        m_pWizard->EnableButtons(kButtonNext | kButtonCancel);
    }
    else
    {
        // Written here, before the page is shown, so that it never appears
        // without its notice.
        char szFormat[520];
        fw::LoadResString(IDS_NO_ADMIN_NOTICE, szFormat);
        const std::string target = m_pWizard->DownloadPageUrl();
        char szNotice[520] = {};
        std::snprintf(szNotice, sizeof(szNotice), szFormat,
                      m_pWizard->m_availableVersion.Text().c_str(), target.c_str());
        SetMessage(szNotice);
        ::ShowWindow(GetDlgItem(IDC_NOTICE), SW_SHOWNORMAL);
        m_pWizard->EnableButtons(kButtonClose);
        m_hyperlink.SetHyperLink(target.c_str());
        m_hyperlink.SetLabel(LoadResourceString(IDS_DOWNLOAD_PAGE_LABEL).c_str());
        m_hyperlink.SubclassWindow(GetDlgItem(IDC_HYPERLINK));
        ::ShowWindow(GetDlgItem(IDC_HYPERLINK), SW_SHOWNORMAL);
    }
}

// The release notes end above the line, which stands just over the choices.
void CPgUpdateNextAction::ShowPendingLine(const char* pszLine)
{
    HWND hLine = GetDlgItem(IDC_PENDING_LINE);
    HWND hNotes = GetDlgItem(IDC_BROWSER_HOST);
    ::SetWindowTextA(hLine, pszLine);
    RECT rcLine = {};
    RECT rcNotes = {};
    ::GetWindowRect(hLine, &rcLine);
    ::GetWindowRect(hNotes, &rcNotes);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcLine), 2);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcNotes), 2);
    RECT rcGap = {0, 0, 0, 2};
    ::MapDialogRect(m_hWnd, &rcGap);
    ::SetWindowPos(hNotes, nullptr, 0, 0, rcNotes.right - rcNotes.left,
                   rcLine.top - rcGap.bottom - rcNotes.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hLine, SW_SHOWNA);
}

LRESULT CPgUpdateNextAction::OnInstallNowClicked(WORD, WORD, HWND, BOOL&)
{
    m_pWizard->EnableButtons(kButtonNext | kButtonCancel);
    return 0;
}

LRESULT CPgUpdateNextAction::OnLaterChoiceClicked(WORD, WORD, HWND, BOOL&)
{
    m_pWizard->EnableButtons(kButtonClose | kButtonCancel);
    return 0;
}

void CPgUpdateNextAction::OnNext()
{
    m_pWizard->SetActivePage(kPageDownload);
}

void CPgUpdateNextAction::OnCancel()
{
    if (ConfirmCancel(*this, *m_pWizard, kCancelCaptionChars))
        m_pWizard->FinishWithMessage(IDS_CANCELLED);
}

void CPgUpdateNextAction::OnClose()
{
    if (g_bUserIsAdmin)
    {
        int nChecked = 0;
        for (int nId : kChoiceIds)
        {
            if (::IsDlgButtonChecked(m_hWnd, nId) == BST_CHECKED)
            {
                nChecked = nId;
                break;
            }
        }
        switch (nChecked)
        {
        case IDC_RB_SKIP_VERSION:
            m_pWizard->RememberAvailableVersion();
            m_pWizard->SetNotifyDownload(0);
            break;
        case IDC_RB_REMIND_DAY:
            m_pWizard->SetNotifyDownload(kTicksPerDay);
            break;
        case IDC_RB_REMIND_WEEK:
            m_pWizard->SetNotifyDownload(kTicksPerWeek);
            break;
        default:
            break;
        }
    }
    m_pWizard->EndRun();
}

void CPgUpdateNextAction::SetMessage(const char* pszText)
{
    ::SetDlgItemTextA(m_hWnd, IDC_NOTICE, pszText);
}
