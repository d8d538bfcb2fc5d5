// The updater's hidden top-level window. A running updater is found by its
// class and title; it receives the activation message of a second instance
// and owns the wizard.
#pragma once

#include "framework/window.h"
#include "update/update_globals.h"

using CMainWndTraits = fw::CWinTraits<WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                      WS_EX_APPWINDOW | WS_EX_WINDOWEDGE>;

class CMainWnd : public fw::CWindowImpl<CMainWnd, fw::CWindow, CMainWndTraits>
{
public:
    DECLARE_WND_CLASS_EX(kMainWindowClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)

    CMainWnd();

    BEGIN_MSG_MAP(CMainWnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(g_uActivateMessage, OnActivateMessage)
    END_MSG_MAP()

    HWND m_hWndWizard;

private:
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnActivateMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
};
