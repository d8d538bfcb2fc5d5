#include "update/main_wnd.h"

#include "update/resource_ids.h"

CMainWnd::CMainWnd() : m_hWndWizard(nullptr)
{
}

LRESULT CMainWnd::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    RECT rc;
    GetClientRect(&rc);
    DrawTextA(hdc, "MainWindow", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CMainWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    HICON hIcon = LoadIconA(fw::GetModule()->GetResourceInstance(), MAKEINTRESOURCEA(IDI_PRODUCT));
    SetIcon(hIcon, TRUE);
    SetIcon(hIcon, FALSE);
    return 0;
}

LRESULT CMainWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    PostQuitMessage(0);
    return 0;
}

LRESULT CMainWnd::OnActivateMessage(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_hWndWizard != nullptr)
        ::ShowWindow(m_hWndWizard, SW_SHOWNORMAL);
    return 0;
}
