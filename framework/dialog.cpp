#include "framework/dialog.h"

namespace fw {

HWND CDialogImplBase::CreateImpl(int nTemplateId, HWND hWndParent, LPARAM dwInitParam)
{
    if (m_hWnd != nullptr)
        return nullptr;
    CComModule* pModule = GetModule();
    const HINSTANCE hResources =
        pModule != nullptr ? pModule->GetResourceInstance() : GetModuleHandleA(nullptr);
    AddCreateWndData(this);
    HWND hWnd = CreateDialogParamA(hResources, MAKEINTRESOURCEA(nTemplateId), hWndParent,
                                   StartDialogProc, dwInitParam);
    ExtractCreateWndData();
    return hWnd;
}

INT_PTR CALLBACK CDialogImplBase::StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam,
                                                  LPARAM lParam)
{
    auto* pThis = static_cast<CDialogImplBase*>(ExtractCreateWndData());
    if (pThis == nullptr)
        return FALSE;
    pThis->m_hWnd = hWnd;
    if (!pThis->m_thunk.Init(reinterpret_cast<WNDPROC>(pThis->GetDialogProc()), pThis))
    {
        pThis->m_hWnd = nullptr;
        return FALSE;
    }
    auto pProc = reinterpret_cast<DLGPROC>(pThis->m_thunk.GetWNDPROC());
    SetWindowLongPtrA(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(pProc));
    return pProc(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // The thunk has put the object where the window handle was.
    auto* pThis = reinterpret_cast<CDialogImplBase*>(hWnd);
    const HWND hWndReal = pThis->m_hWnd;
    LRESULT lResult = 0;
    BOOL bHandled = FALSE;
    try
    {
        bHandled = pThis->ProcessWindowMessage(hWndReal, uMsg, wParam, lParam, lResult, 0);
    }
    catch (...)
    {
        bHandled = FALSE;
    }

    if (uMsg == WM_NCDESTROY)
    {
        pThis->m_hWnd = nullptr;
        pThis->OnFinalMessage(hWndReal);
        return bHandled ? TRUE : FALSE;
    }
    if (!bHandled)
        return FALSE;
    switch (uMsg)
    {
    // These answer through the procedure's return value.
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(lResult);
    default:
        SetWindowLongPtrA(hWndReal, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
}

} // namespace fw
