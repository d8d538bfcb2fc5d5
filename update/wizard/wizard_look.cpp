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
    HWND hTarget = nullptr;
    const LRESULT lDefault = SendMessageA(hDialog, DM_GETDEFID, 0, 0);
    if (HIWORD(lDefault) == DC_HASDEFID)
    {
        HWND hDefault = GetDlgItem(hDialog, LOWORD(lDefault));
        if (hDefault != nullptr && IsWindowEnabled(hDefault))
            hTarget = hDefault;
    }
    for (int i = 0; hTarget == nullptr && i < cButtons; ++i)
    {
        HWND hButton = GetDlgItem(hDialog, pButtonIds[i]);
        if (hButton != nullptr && IsWindowEnabled(hButton))
            hTarget = hButton;
    }
    // As the dialog moves the focus itself, so that it also knows which
    // control to give it back to when it is activated again.
    if (hTarget != nullptr)
        SendMessageA(hDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hTarget), TRUE);
}
