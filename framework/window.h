// Window classes in the manner of the Windows template frameworks: a thin
// CWindow over a handle, window traits, a class registered on first
// creation, and a message map that routes each message to a member handler
// of the derived class.
#pragma once

#include <windows.h>

#include "framework/module.h"

namespace fw {

class CWindow
{
public:
    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    operator HWND() const { return m_hWnd; }
    CWindow& operator=(HWND hWnd)
    {
        m_hWnd = hWnd;
        return *this;
    }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL DestroyWindow()
    {
        if (!::DestroyWindow(m_hWnd))
            return FALSE;
        m_hWnd = nullptr;
        return TRUE;
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, uMsg, wParam, lParam);
    }
    BOOL PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, uMsg, wParam, lParam);
    }
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    BOOL SetWindowText(const char* pszText) { return ::SetWindowTextA(m_hWnd, pszText); }
    int GetWindowText(char* pszText, int cchMax) const
    {
        return ::GetWindowTextA(m_hWnd, pszText, cchMax);
    }
    BOOL GetClientRect(RECT* pRect) const { return ::GetClientRect(m_hWnd, pRect); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
    }

    HWND m_hWnd;
};

// Style and extended style that a window gets when its creator passes 0.
template <DWORD t_dwStyle = 0, DWORD t_dwExStyle = 0>
class CWinTraits
{
public:
    static DWORD GetWndStyle(DWORD dwStyle) { return dwStyle == 0 ? t_dwStyle : dwStyle; }
    static DWORD GetWndExStyle(DWORD dwExStyle) { return dwExStyle == 0 ? t_dwExStyle : dwExStyle; }
};

using CControlWinTraits = CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0>;

// The window class of one C++ window class, registered on first creation
// with the module's own instance.
struct CWndClassInfo
{
    WNDCLASSEXA m_wc;
    ATOM m_atom;

    ATOM Register(WNDPROC pfnStartProc);
};

#define DECLARE_WND_CLASS_EX(className, style, background)                                        \
    static ::fw::CWndClassInfo& GetWndClassInfo()                                                 \
    {                                                                                              \
        static ::fw::CWndClassInfo wc = {                                                          \
            {sizeof(WNDCLASSEXA), (style), nullptr, 0, 0, nullptr, nullptr, nullptr,              \
             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>((background) + 1)), nullptr,           \
             (className), nullptr},                                                                \
            0};                                                                                    \
        return wc;                                                                                 \
    }

// A small piece of executable code per window that replaces the window
// handle argument with the C++ object, so the window procedure finds its
// object without a lookup.
class CWndProcThunk
{
public:
    CWndProcThunk();
    ~CWndProcThunk();

    CWndProcThunk(const CWndProcThunk&) = delete;
    CWndProcThunk& operator=(const CWndProcThunk&) = delete;

    bool Init(WNDPROC pfnProc, void* pThis);
    WNDPROC GetWNDPROC() const { return reinterpret_cast<WNDPROC>(m_pCode); }

private:
    void* m_pCode;
};

// Hands the object being created to the first message of its window.
void AddCreateWndData(void* pThis);
void* ExtractCreateWndData();

class CMessageMap
{
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapId) = 0;
};

class CWindowImplRoot : public CWindow, public CMessageMap
{
public:
    virtual ~CWindowImplRoot() = default;

protected:
    // Takes over a window at its first message: the thunk becomes its
    // procedure (at nProcIndex, GWLP_WNDPROC or DWLP_DLGPROC), so that later
    // messages reach pfnProc with this object. Null if that fails.
    WNDPROC AttachThunk(HWND hWnd, WNDPROC pfnProc, int nProcIndex);
    // Offers a message to the map; nothing thrown gets past a window
    // procedure.
    BOOL DispatchToMap(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    CWndProcThunk m_thunk;
};

class CWindowImplBase : public CWindowImplRoot
{
public:
    CWindowImplBase() : m_pfnSuperWindowProc(::DefWindowProcA) {}

    virtual WNDPROC GetWindowProc() { return WindowProc; }
    virtual void OnFinalMessage(HWND) {}

    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        return ::CallWindowProcA(m_pfnSuperWindowProc, m_hWnd, uMsg, wParam, lParam);
    }

    static LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // Routes an existing window (a dialog control, say) through this
    // object's message map; unhandled messages go to its own procedure.
    BOOL SubclassWindow(HWND hWnd);

protected:
    HWND CreateImpl(HWND hWndParent, const RECT* pRect, const char* pszWindowName, DWORD dwStyle,
                    DWORD dwExStyle, HMENU hMenu, ATOM atom, void* pCreateParam);

    WNDPROC m_pfnSuperWindowProc;
};

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImpl : public CWindowImplBase
{
public:
    HWND Create(HWND hWndParent, const RECT* pRect = nullptr, const char* pszWindowName = nullptr,
                DWORD dwStyle = 0, DWORD dwExStyle = 0, HMENU hMenu = nullptr,
                void* pCreateParam = nullptr)
    {
        const ATOM atom = T::GetWndClassInfo().Register(StartWindowProc);
        if (atom == 0)
            return nullptr;
        return CreateImpl(hWndParent, pRect, pszWindowName, TWinTraits::GetWndStyle(dwStyle),
                          TWinTraits::GetWndExStyle(dwExStyle), hMenu, atom, pCreateParam);
    }
};

} // namespace fw

// Message maps: a routing table from messages to member handlers of the form
//   LRESULT OnXxx(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
#define BEGIN_MSG_MAP(theClass)                                                                   \
public:                                                                                            \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,                 \
                              LRESULT& lResult, DWORD dwMsgMapId = 0)                             \
    {                                                                                              \
        BOOL bHandled = TRUE;                                                                      \
        (void)bHandled;                                                                            \
        (void)hWnd;                                                                                \
        (void)dwMsgMapId;                                                                          \
        switch (dwMsgMapId)                                                                        \
        {                                                                                          \
        case 0:

#define MESSAGE_HANDLER(msg, func)                                                                \
    if (uMsg == (msg))                                                                             \
    {                                                                                              \
        bHandled = TRUE;                                                                           \
        lResult = func(uMsg, wParam, lParam, bHandled);                                           \
        if (bHandled)                                                                              \
            return TRUE;                                                                           \
    }

// WM_COMMAND from one control with one notification code, to a handler
//   LRESULT OnXxx(WORD wNotifyCode, WORD wId, HWND hWndCtl, BOOL& bHandled);
#define COMMAND_HANDLER(id, code, func)                                                           \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code))                 \
    {                                                                                              \
        bHandled = TRUE;                                                                           \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled)                                                                              \
            return TRUE;                                                                           \
    }

// WM_COMMAND from one control or menu item, whatever its notification code,
// to a handler of the same form as COMMAND_HANDLER's.
#define COMMAND_ID_HANDLER(id, func)                                                              \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id))                                              \
    {                                                                                              \
        bHandled = TRUE;                                                                           \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled)                                                                              \
            return TRUE;                                                                           \
    }

// Offers the message to the map of a base class.
#define CHAIN_MSG_MAP(theChainClass)                                                              \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))                 \
        return TRUE;

#define END_MSG_MAP()                                                                              \
    break;                                                                                         \
    default:                                                                                       \
        break;                                                                                     \
        }                                                                                          \
        return FALSE;                                                                              \
    }
