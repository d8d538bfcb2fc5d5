// Page 1: the release notes in an embedded web browser, the new version and
// the installer's size, and what to do next: install now, skip this version
// or be reminded after a day or a week. A user without administrator rights
// gets a notice and a link instead, and can only close.
#pragma once

#include <exdisp.h>

#include <string>

#include "framework/ax_host.h"
#include "framework/com_ptr.h"
#include "framework/dialog.h"
#include "framework/hyperlink.h"
#include "update/resource_ids.h"
#include "update/wizard/update_page.h"

class CBrowserEventSink;

class CPgUpdateNextAction : public CPgUpdatePageImpl<CPgUpdateNextAction>,
                            public fw::CDialogImpl<CPgUpdateNextAction>
{
public:
    enum { IDD = IDD_PG_NEXT_ACTION };

    explicit CPgUpdateNextAction(CUpdateWizard* pWizard);
    ~CPgUpdateNextAction() override;

    BEGIN_MSG_MAP(CPgUpdateNextAction)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(kMsgBrowserFailed, OnBrowserFailed)
        MESSAGE_HANDLER(kMsgLinkFollowed, OnLinkFollowed)
        COMMAND_HANDLER(IDC_RB_INSTALL_NOW, BN_CLICKED, OnInstallNowClicked)
        COMMAND_HANDLER(IDC_RB_SKIP_VERSION, BN_CLICKED, OnLaterChoiceClicked)
        COMMAND_HANDLER(IDC_RB_REMIND_DAY, BN_CLICKED, OnLaterChoiceClicked)
        COMMAND_HANDLER(IDC_RB_REMIND_WEEK, BN_CLICKED, OnLaterChoiceClicked)
    END_MSG_MAP()

    void OnActivate() override;
    void OnNext() override;
    void OnCancel() override;
    void OnClose() override;
    void SetMessage(const char* pszText) override;

    // Posted to the page when the browser reports that the release notes
    // could not be shown.
    static constexpr UINT kMsgBrowserFailed = WM_APP + 1;
    // Posted when the user followed a link in the notes.
    static constexpr UINT kMsgLinkFollowed = WM_APP + 2;

    fw::CAxWindow m_wndBrowserHost;
    fw::CComPtr<IWebBrowser2> m_spWebBrowser;
    fw::CComPtr<CBrowserEventSink> m_spEventSink;
    fw::CHyperLink m_hyperlink;

private:
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnBrowserFailed(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLinkFollowed(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnInstallNowClicked(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnLaterChoiceClicked(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);

    bool StartBrowser(const std::wstring& notesUrl);
    void ShowReleaseNotesAddress(UINT uTextId);
    void StopListening();
    void ShowPendingLine(const char* pszLine);

    DWORD m_dwEventCookie;
};
