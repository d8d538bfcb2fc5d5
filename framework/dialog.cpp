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
    WNDPROC pProc = pThis != nullptr
                        ? pThis->AttachThunk(hWnd, reinterpret_cast<WNDPROC>(pThis->GetDialogProc()),
                                             DWLP_DLGPROC)
                        : nullptr;
    if (pProc == nullptr)
        return FALSE;
    return reinterpret_cast<DLGPROC>(pProc)(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // The thunk has put the object where the window handle was.
    auto* pThis = reinterpret_cast<CDialogImplBase*>(hWnd);
    const HWND hWndReal = pThis->m_hWnd;
    LRESULT lResult = 0;
    const BOOL bHandled = pThis->DispatchToMap(uMsg, wParam, lParam, lResult);

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
