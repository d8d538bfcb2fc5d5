#include "update/wizard/wizard_look.h"

int FittingIconSize(int cxAvailable)
{
    static const int kSizes[] = {256, 128, 96, 64, 48, 40, 32, 24, 20, 16};
    for (int cx : kSizes)
    {
        if (cx <= cxAvailable)
            return cx;
    }
    return 16;
}

fw::CIconHandle LoadFittingIcon(HINSTANCE hInstance, LPCSTR pszIcon, int cxAvailable)
{
    const int cx = FittingIconSize(cxAvailable);
    return fw::CIconHandle(
        static_cast<HICON>(LoadImageA(hInstance, pszIcon, IMAGE_ICON, cx, cx, 0)));
}

void FocusDefaultButton(HWND hDialog, const int* pButtonIds, int cButtons)
{
    const LRESULT lDefault = SendMessageA(hDialog, DM_GETDEFID, 0, 0);
    HWND hDefault = HIWORD(lDefault) == DC_HASDEFID ? GetDlgItem(hDialog, LOWORD(lDefault)) : nullptr;
    if (hDefault != nullptr && IsWindowEnabled(hDefault))
    {
        // As the dialog moves the focus itself, so that it also knows which
        // control to give it back to when it is activated again.
        SendMessageA(hDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hDefault), TRUE);
        return;
    }
    for (int i = 0; i < cButtons; ++i)
    {
        HWND hButton = GetDlgItem(hDialog, pButtonIds[i]);
        if (hButton != nullptr && IsWindowEnabled(hButton))
        {
            // Focused, but not made the default: on a page that offers no
            // step forward, Enter still presses nothing.
            SetFocus(hButton);
            return;
        }
    }
}
