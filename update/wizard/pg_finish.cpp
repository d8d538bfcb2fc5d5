#include "update/wizard/pg_finish.h"

#include "update/wizard/resource_text.h"
#include "update/wizard/update_wizard.h"
#include "update/wizard/wizard_look.h"

void CPgUpdateFinish::OnActivate()
{
    m_pWizard->EnableButtons(kButtonClose);
}

void CPgUpdateFinish::OnClose()
{
    m_pWizard->EndRun();
}

void CPgUpdateFinish::SetMessage(const char* pszText)
{
    ::SetDlgItemTextA(m_hWnd, IDC_FINISH_TEXT, pszText);
}

void CPgUpdateFinish::SetMessageId(UINT uId)
{
    SetMessage(LoadResourceString(uId).c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_FINISH_DETAIL,
                      uId == IDS_UPDATE_FAILED || uId == IDS_UPDATE_UNTRUSTED ||
                              uId == IDS_NO_NEW_VERSION
                          ? m_pWizard->m_failureLine.c_str()
                          : "");
    ShowOutcome(uId);
}

void CPgUpdateFinish::ShowOutcome(UINT uId)
{
    UINT uHeaderId = IDS_FINISH_HEADER_FAILED;
    switch (uId)
    {
    case IDS_NO_CONNECTION:
        uHeaderId = IDS_FINISH_HEADER_OFFLINE;
        break;
    case IDS_NO_NEW_VERSION:
        uHeaderId = IDS_FINISH_HEADER_UP_TO_DATE;
        break;
    case IDS_CANCELLED:
        uHeaderId = IDS_FINISH_HEADER_CANCELLED;
        break;
    case IDS_UPDATES_TURNED_OFF:
        uHeaderId = IDS_FINISH_HEADER_TURNED_OFF;
        break;
    default:
        break;
    }
    ::SetDlgItemTextA(m_hWnd, IDC_PAGE_HEADER, LoadResourceString(uHeaderId).c_str());

    // Being up to date, or held where the organisation wants it, is news;
    // anything else ended short of an update.
    HWND hIcon = GetDlgItem(IDC_FINISH_ICON);
    RECT rcIcon = {};
    ::GetClientRect(hIcon, &rcIcon);
    fw::CIconHandle icon =
        LoadFittingIcon(nullptr,
                        uId == IDS_NO_NEW_VERSION || uId == IDS_UPDATES_TURNED_OFF ? IDI_INFORMATION
                                                                                  : IDI_WARNING,
                        rcIcon.right < rcIcon.bottom ? rcIcon.right : rcIcon.bottom);
    ::SendMessageA(hIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
    // The control draws the new icon before the old one goes.
    m_icon = std::move(icon);
}
