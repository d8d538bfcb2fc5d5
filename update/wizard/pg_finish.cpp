#include "update/wizard/pg_finish.h"

#include "update/wizard/update_wizard.h"

void CPgUpdateFinish::OnActivate()
{
    m_pWizard->EnableButtons(kButtonClose);
}

void CPgUpdateFinish::OnClose()
{
    m_pWizard->PostMessage(WM_QUIT, 0, 0);
}

void CPgUpdateFinish::SetMessage(const char* pszText)
{
    ::SetDlgItemTextA(m_hWnd, IDC_FINISH_TEXT, pszText);
}

void CPgUpdateFinish::SetMessageId(UINT uId)
{
    char szText[260];
    fw::LoadResString(uId, szText);
    SetMessage(szText);
}
