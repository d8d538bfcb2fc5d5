// Modeless dialogs over the derived class, in the manner of the template
// frameworks: the template T::IDD comes from the module's resource instance,
// and the dialog's messages go through T's message map.
#pragma once

#include "framework/window.h"

namespace fw {

class CDialogImplBase : public CWindowImplRoot
{
public:
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    virtual void OnFinalMessage(HWND) {}

    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    HWND CreateImpl(int nTemplateId, HWND hWndParent, LPARAM dwInitParam);
};

template <class T, class TBase = CWindow>
class CDialogImpl : public CDialogImplBase
{
public:
    HWND Create(HWND hWndParent, LPARAM dwInitParam = 0)
    {
        return CreateImpl(T::IDD, hWndParent, dwInitParam);
    }
};

} // namespace fw
