// A small ActiveX container: the window class "AtlAxWin90", whose windows
// host one control each (the release notes' web browser, say). A dialog
// template can name the class for a control; the code then attaches the
// control object to it. The host and the frame and UI-window objects it
// hands to the control count in the module's lock count while they live.
//
// What a hosted browser shows may come from anywhere, so the host lets it
// act on nothing: its documents run no script, Java, behaviours or ActiveX
// controls, download no controls and no frames, follow no refresh, show no
// messages of their own, and every file download is refused.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <mshtmdid.h>

#include "framework/window.h"

namespace fw {

// The host's ambient properties, which the hosted control reads.
MIDL_INTERFACE("B6EA2051-048A-11D1-82B9-00C04FB9942E")
IAxWinAmbientDispatch : public IDispatch
{
    STDMETHOD(put_AllowWindowlessActivation)(VARIANT_BOOL bCanWindowlessActivate) = 0;
    STDMETHOD(get_AllowWindowlessActivation)(VARIANT_BOOL* pbCanWindowlessActivate) = 0;
    STDMETHOD(put_BackColor)(OLE_COLOR clrBackground) = 0;
    STDMETHOD(get_BackColor)(OLE_COLOR* pclrBackground) = 0;
    STDMETHOD(put_ForeColor)(OLE_COLOR clrForeground) = 0;
    STDMETHOD(get_ForeColor)(OLE_COLOR* pclrForeground) = 0;
    STDMETHOD(put_LocaleID)(LCID lcidLocaleID) = 0;
    STDMETHOD(get_LocaleID)(LCID* plcidLocaleID) = 0;
    STDMETHOD(put_UserMode)(VARIANT_BOOL bUserMode) = 0;
    STDMETHOD(get_UserMode)(VARIANT_BOOL* pbUserMode) = 0;
    STDMETHOD(put_DisplayAsDefault)(VARIANT_BOOL bDisplayAsDefault) = 0;
    STDMETHOD(get_DisplayAsDefault)(VARIANT_BOOL* pbDisplayAsDefault) = 0;
    STDMETHOD(put_Font)(IFontDisp* pFont) = 0;
    STDMETHOD(get_Font)(IFontDisp** pFont) = 0;
    STDMETHOD(put_MessageReflect)(VARIANT_BOOL bMsgReflect) = 0;
    STDMETHOD(get_MessageReflect)(VARIANT_BOOL* pbMsgReflect) = 0;
    STDMETHOD(get_ShowGrabHandles)(VARIANT_BOOL* pbShowGrabHandles) = 0;
    STDMETHOD(get_ShowHatching)(VARIANT_BOOL* pbShowHatching) = 0;
    STDMETHOD(put_DocHostFlags)(DWORD dwDocHostFlags) = 0;
    STDMETHOD(get_DocHostFlags)(DWORD* pdwDocHostFlags) = 0;
    STDMETHOD(put_DocHostDoubleClickFlags)(DWORD dwDocHostDoubleClickFlags) = 0;
    STDMETHOD(get_DocHostDoubleClickFlags)(DWORD* pdwDocHostDoubleClickFlags) = 0;
    STDMETHOD(put_AllowContextMenu)(VARIANT_BOOL bAllowContextMenu) = 0;
    STDMETHOD(get_AllowContextMenu)(VARIANT_BOOL* pbAllowContextMenu) = 0;
    STDMETHOD(put_AllowShowUI)(VARIANT_BOOL bAllowShowUI) = 0;
    STDMETHOD(get_AllowShowUI)(VARIANT_BOOL* pbAllowShowUI) = 0;
    STDMETHOD(put_OptionKeyPath)(BSTR bstrOptionKeyPath) = 0;
    STDMETHOD(get_OptionKeyPath)(BSTR* pbstrOptionKeyPath) = 0;
};

constexpr char kAxWinClassName[] = "AtlAxWin90";

// The host's answer to DISPID_AMBIENT_DLCONTROL. Pictures are the one
// thing besides the document that a hosted page still loads.
constexpr DWORD kAxDownloadControl = DLCTL_DLIMAGES | DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA |
                                     DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS |
                                     DLCTL_NO_FRAMEDOWNLOAD | DLCTL_NO_BEHAVIORS |
                                     DLCTL_NO_CLIENTPULL | DLCTL_SILENT;

// Registers the host window class in the module's own instance, as a class
// that dialog templates of any module can use. Safe to call more than once.
bool AxWinInit();

// A CWindow over a host window.
class CAxWindow : public CWindow
{
public:
    CAxWindow(HWND hWnd = nullptr) : CWindow(hWnd) {}
    CAxWindow& operator=(HWND hWnd)
    {
        m_hWnd = hWnd;
        return *this;
    }

    // Makes the control the host's one control and activates it in place.
    HRESULT AttachControl(IUnknown* pControl, IUnknown** ppUnkContainer = nullptr);
    // Closes and releases the hosted control; the host shows its window
    // text instead.
    HRESULT DetachControl();
    HRESULT QueryHost(REFIID riid, void** ppv);
    HRESULT QueryControl(REFIID riid, void** ppv);
};

} // namespace fw

__CRT_UUID_DECL(fw::IAxWinAmbientDispatch, 0xB6EA2051, 0x048A, 0x11D1, 0x82, 0xB9, 0x00, 0xC0,
                0x4F, 0xB9, 0x94, 0x2E)
