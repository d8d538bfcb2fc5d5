#include "framework/ax_host.h"

#include <downloadmgr.h>
#include <mshtmhst.h>
#include <olectl.h>
#include <servprov.h>

#include <new>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/dispatch.h"

namespace fw {

namespace {

// Asks a host window for its host object (same process only).
UINT GetHostMessage()
{
    static const UINT s_uMessage = RegisterWindowMessageA("ZspAxWinGetHost");
    return s_uMessage;
}

// Held by each COM object of the container: the module's lock count counts
// the object for as long as it lives.
class CModuleLock
{
protected:
    CModuleLock()
    {
        if (CComModule* pModule = GetModule())
            pModule->Lock();
    }
    ~CModuleLock()
    {
        if (CComModule* pModule = GetModule())
            pModule->Unlock();
    }
};

// The in-place UI window or, over IOleInPlaceFrame, the frame that the
// control asks its site for. Both only name a window; menus, tools and
// borders are not offered.
template <class TInterface>
class CAxUIWindowT
    : public fw::CComObjectRoot<
          fw::AnswersAlso<TInterface, IID_IOleWindow, IID_IOleInPlaceUIWindow>>,
      private CModuleLock
{
public:
    explicit CAxUIWindowT(HWND hWnd) : m_hWnd(hWnd) {}

    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        if (phwnd == nullptr)
            return E_POINTER;
        *phwnd = m_hWnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

private:
    HWND m_hWnd;
};

using CAxUIWindow = CAxUIWindowT<IOleInPlaceUIWindow>;

// The frame also takes, and ignores, the control's menus and status text.
class CAxFrame final : public CAxUIWindowT<IOleInPlaceFrame>
{
public:
    using CAxUIWindowT::CAxUIWindowT;

    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// The download manager the host offers its control: it takes every download
// and starts none, so that nothing reaches the disk or the user.
class CRefusedDownloads final : public fw::CComObjectRoot<IDownloadManager>, private CModuleLock
{
public:
    // Success without binding the moniker: the browser leaves the download
    // to us and shows no dialog of its own.
    STDMETHODIMP Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR,
                          UINT) override
    {
        return S_OK;
    }
};

class CAxHostWindow final
    : public fw::CComObjectRoot<IOleClientSite, fw::AnswersAlso<IOleInPlaceSite, IID_IOleWindow>,
                                IDocHostUIHandler, IServiceProvider,
                                fw::AnswersAlso<fw::IDispatchByIdImpl<IAxWinAmbientDispatch>,
                                                IID_IDispatch>>,
      private CModuleLock
{
public:
    explicit CAxHostWindow(HWND hWnd) : m_hWnd(hWnd) {}

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** ppmk) override
    {
        if (ppmk != nullptr)
            *ppmk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override
    {
        if (ppContainer != nullptr)
            *ppContainer = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        if (phwnd == nullptr)
            return E_POINTER;
        *phwnd = m_hWnd;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                  LPRECT lprcPosRect, LPRECT lprcClipRect,
                                  LPOLEINPLACEFRAMEINFO lpFrameInfo) override
    {
        if (ppFrame == nullptr || ppDoc == nullptr || lprcPosRect == nullptr ||
            lprcClipRect == nullptr)
            return E_POINTER;
        *ppFrame = nullptr;
        *ppDoc = nullptr;
        HWND hWndTop = GetAncestor(m_hWnd, GA_ROOT);
        if (!m_spFrame)
            m_spFrame.Attach(new (std::nothrow) CAxFrame(hWndTop));
        if (!m_spUIWindow)
            m_spUIWindow.Attach(new (std::nothrow) CAxUIWindow(m_hWnd));
        if (!m_spFrame || !m_spUIWindow)
            return E_OUTOFMEMORY;
        *ppFrame = m_spFrame;
        (*ppFrame)->AddRef();
        *ppDoc = m_spUIWindow;
        (*ppDoc)->AddRef();
        ::GetClientRect(m_hWnd, lprcPosRect);
        ::GetClientRect(m_hWnd, lprcClipRect);
        if (lpFrameInfo != nullptr)
        {
            lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
            lpFrameInfo->fMDIApp = FALSE;
            lpFrameInfo->hwndFrame = hWndTop;
            lpFrameInfo->haccel = nullptr;
            lpFrameInfo->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override
    {
        if (m_spInPlaceObject && lprcPosRect != nullptr)
            m_spInPlaceObject->SetObjectRects(lprcPosRect, lprcPosRect);
        return S_OK;
    }

    // IDocHostUIHandler: what the ambient properties say of menus and UI.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override
    {
        return m_bAllowContextMenu ? S_FALSE : S_OK;
    }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* pInfo) override
    {
        if (pInfo == nullptr)
            return E_POINTER;
        pInfo->dwFlags = m_dwDocHostFlags;
        pInfo->dwDoubleClick = m_dwDocHostDoubleClickFlags;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override
    {
        return m_bAllowShowUI ? S_FALSE : S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* pchKey, DWORD) override
    {
        if (pchKey != nullptr)
            *pchKey = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) override
    {
        if (ppDropTarget != nullptr)
            *ppDropTarget = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetExternal(IDispatch** ppDispatch) override
    {
        if (ppDispatch != nullptr)
            *ppDispatch = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut) override
    {
        if (ppchURLOut != nullptr)
            *ppchURLOut = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** ppDORet) override
    {
        if (ppDORet != nullptr)
            *ppDORet = nullptr;
        return S_FALSE;
    }

    // IServiceProvider: the control's downloads go to the refusing manager.
    STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(guidService, __uuidof(IDownloadManager)))
            return E_NOINTERFACE;
        CComPtr<CRefusedDownloads> spDownloads;
        spDownloads.Attach(new (std::nothrow) CRefusedDownloads);
        if (!spDownloads)
            return E_OUTOFMEMORY;
        return spDownloads->QueryInterface(riid, ppv);
    }

    // IDispatch: the ambient properties as the control reads them.
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS*,
                        VARIANT* pVarResult, EXCEPINFO*, UINT*) override
    {
        if (!(wFlags & DISPATCH_PROPERTYGET) || pVarResult == nullptr)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(pVarResult);
        switch (dispIdMember)
        {
        case DISPID_AMBIENT_USERMODE:
            return BoolResult(m_bUserMode, pVarResult);
        case DISPID_AMBIENT_DISPLAYASDEFAULT:
            return BoolResult(m_bDisplayAsDefault, pVarResult);
        case DISPID_AMBIENT_MESSAGEREFLECT:
            return BoolResult(m_bMessageReflect, pVarResult);
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
            return BoolResult(false, pVarResult);
        case DISPID_AMBIENT_DLCONTROL:
            pVarResult->vt = VT_I4;
            pVarResult->lVal = static_cast<LONG>(kAxDownloadControl);
            return S_OK;
        case DISPID_AMBIENT_LOCALEID:
            pVarResult->vt = VT_I4;
            pVarResult->lVal = static_cast<LONG>(m_lcid);
            return S_OK;
        case DISPID_AMBIENT_BACKCOLOR:
        case DISPID_AMBIENT_FORECOLOR:
            pVarResult->vt = VT_I4;
            pVarResult->lVal = static_cast<LONG>(dispIdMember == DISPID_AMBIENT_BACKCOLOR
                                                     ? m_clrBackground
                                                     : m_clrForeground);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    // IAxWinAmbientDispatch
    STDMETHODIMP put_AllowWindowlessActivation(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_AllowWindowlessActivation(VARIANT_BOOL* pb) override
    {
        return GetBool(false, pb);
    }
    STDMETHODIMP put_BackColor(OLE_COLOR clr) override
    {
        m_clrBackground = clr;
        return S_OK;
    }
    STDMETHODIMP get_BackColor(OLE_COLOR* pclr) override { return GetValue(m_clrBackground, pclr); }
    STDMETHODIMP put_ForeColor(OLE_COLOR clr) override
    {
        m_clrForeground = clr;
        return S_OK;
    }
    STDMETHODIMP get_ForeColor(OLE_COLOR* pclr) override { return GetValue(m_clrForeground, pclr); }
    STDMETHODIMP put_LocaleID(LCID lcid) override
    {
        m_lcid = lcid;
        return S_OK;
    }
    STDMETHODIMP get_LocaleID(LCID* plcid) override { return GetValue(m_lcid, plcid); }
    STDMETHODIMP put_UserMode(VARIANT_BOOL b) override
    {
        m_bUserMode = b != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_UserMode(VARIANT_BOOL* pb) override { return GetBool(m_bUserMode, pb); }
    STDMETHODIMP put_DisplayAsDefault(VARIANT_BOOL b) override
    {
        m_bDisplayAsDefault = b != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_DisplayAsDefault(VARIANT_BOOL* pb) override
    {
        return GetBool(m_bDisplayAsDefault, pb);
    }
    STDMETHODIMP put_Font(IFontDisp*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Font(IFontDisp** ppFont) override
    {
        if (ppFont != nullptr)
            *ppFont = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP put_MessageReflect(VARIANT_BOOL b) override
    {
        m_bMessageReflect = b != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_MessageReflect(VARIANT_BOOL* pb) override
    {
        return GetBool(m_bMessageReflect, pb);
    }
    STDMETHODIMP get_ShowGrabHandles(VARIANT_BOOL* pb) override { return GetBool(false, pb); }
    STDMETHODIMP get_ShowHatching(VARIANT_BOOL* pb) override { return GetBool(false, pb); }
    STDMETHODIMP put_DocHostFlags(DWORD dwFlags) override
    {
        m_dwDocHostFlags = dwFlags;
        return S_OK;
    }
    STDMETHODIMP get_DocHostFlags(DWORD* pdwFlags) override
    {
        return GetValue(m_dwDocHostFlags, pdwFlags);
    }
    STDMETHODIMP put_DocHostDoubleClickFlags(DWORD dwFlags) override
    {
        m_dwDocHostDoubleClickFlags = dwFlags;
        return S_OK;
    }
    STDMETHODIMP get_DocHostDoubleClickFlags(DWORD* pdwFlags) override
    {
        return GetValue(m_dwDocHostDoubleClickFlags, pdwFlags);
    }
    STDMETHODIMP put_AllowContextMenu(VARIANT_BOOL b) override
    {
        m_bAllowContextMenu = b != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_AllowContextMenu(VARIANT_BOOL* pb) override
    {
        return GetBool(m_bAllowContextMenu, pb);
    }
    STDMETHODIMP put_AllowShowUI(VARIANT_BOOL b) override
    {
        m_bAllowShowUI = b != VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_AllowShowUI(VARIANT_BOOL* pb) override { return GetBool(m_bAllowShowUI, pb); }
    STDMETHODIMP put_OptionKeyPath(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_OptionKeyPath(BSTR* pbstr) override
    {
        if (pbstr != nullptr)
            *pbstr = nullptr;
        return E_NOTIMPL;
    }

    HRESULT AttachControl(IUnknown* pControl)
    {
        if (pControl == nullptr)
            return E_POINTER;
        DetachControl();
        CComPtr<IOleObject> spOleObject;
        HRESULT hr = pControl->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&spOleObject));
        if (FAILED(hr))
            return hr;
        hr = spOleObject->SetClientSite(static_cast<IOleClientSite*>(this));
        if (FAILED(hr))
            return hr;
        CComPtr<IPersistStreamInit> spInit;
        if (SUCCEEDED(pControl->QueryInterface(IID_IPersistStreamInit,
                                               reinterpret_cast<void**>(&spInit))))
            spInit->InitNew();
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        hr = spOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                 static_cast<IOleClientSite*>(this), 0, m_hWnd, &rc);
        if (FAILED(hr))
        {
            spOleObject->SetClientSite(nullptr);
            return hr;
        }
        m_spControl = pControl;
        m_spOleObject = spOleObject;
        pControl->QueryInterface(IID_IOleInPlaceObject,
                                 reinterpret_cast<void**>(&m_spInPlaceObject));
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return S_OK;
    }

    void DetachControl()
    {
        if (m_spInPlaceObject)
            m_spInPlaceObject->InPlaceDeactivate();
        if (m_spOleObject)
        {
            m_spOleObject->Close(OLECLOSE_NOSAVE);
            m_spOleObject->SetClientSite(nullptr);
        }
        m_spInPlaceObject.Release();
        m_spOleObject.Release();
        m_spControl.Release();
        m_spFrame.Release();
        m_spUIWindow.Release();
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }

    HRESULT QueryControl(REFIID riid, void** ppv)
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        return m_spControl ? m_spControl->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }

    bool HasControl() const { return static_cast<IUnknown*>(m_spControl) != nullptr; }

    void Resize(int cx, int cy)
    {
        if (!m_spInPlaceObject)
            return;
        RECT rc = {0, 0, cx, cy};
        m_spInPlaceObject->SetObjectRects(&rc, &rc);
    }

private:
    static HRESULT BoolResult(bool bValue, VARIANT* pResult)
    {
        pResult->vt = VT_BOOL;
        pResult->boolVal = bValue ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT GetBool(bool bValue, VARIANT_BOOL* pb)
    {
        if (pb == nullptr)
            return E_POINTER;
        *pb = bValue ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    template <class V>
    static HRESULT GetValue(V value, V* pValue)
    {
        if (pValue == nullptr)
            return E_POINTER;
        *pValue = value;
        return S_OK;
    }

    HWND m_hWnd;
    CComPtr<IUnknown> m_spControl;
    CComPtr<IOleObject> m_spOleObject;
    CComPtr<IOleInPlaceObject> m_spInPlaceObject;
    CComPtr<IOleInPlaceFrame> m_spFrame;
    CComPtr<IOleInPlaceUIWindow> m_spUIWindow;

    bool m_bUserMode = true;
    bool m_bDisplayAsDefault = false;
    bool m_bMessageReflect = true;
    bool m_bAllowContextMenu = true;
    bool m_bAllowShowUI = false;
    OLE_COLOR m_clrBackground = 0x80000000 | COLOR_WINDOW;
    OLE_COLOR m_clrForeground = 0x80000000 | COLOR_WINDOWTEXT;
    LCID m_lcid = LOCALE_USER_DEFAULT;
    DWORD m_dwDocHostFlags = DOCHOSTUIFLAG_NO3DBORDER;
    DWORD m_dwDocHostDoubleClickFlags = DOCHOSTUIDBLCLK_DEFAULT;
};

CAxHostWindow* HostOf(HWND hWnd)
{
    return reinterpret_cast<CAxHostWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

// Without a control, the host shows its window text, so a page never has an
// empty hole where the control should be.
void PaintText(HWND hWnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    RECT rc;
    GetClientRect(hWnd, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_WINDOW));
    char szText[1024] = {};
    GetWindowTextA(hWnd, szText, sizeof(szText));
    if (szText[0] != '\0')
    {
        InflateRect(&rc, -8, -8);
        HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(hWnd), WM_GETFONT, 0, 0));
        HGDIOBJ hOld = hFont != nullptr ? SelectObject(hdc, hFont) : nullptr;
        SetBkMode(hdc, TRANSPARENT);
        SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextA(hdc, szText, -1, &rc, DT_WORDBREAK | DT_NOPREFIX);
        if (hOld != nullptr)
            SelectObject(hdc, hOld);
    }
    EndPaint(hWnd, &ps);
}

LRESULT CALLBACK AxWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == GetHostMessage())
        return reinterpret_cast<LRESULT>(HostOf(hWnd));

    switch (uMsg)
    {
    case WM_CREATE:
    {
        CAxHostWindow* pHost = new (std::nothrow) CAxHostWindow(hWnd);
        if (pHost == nullptr)
            return -1;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pHost));
        return 0;
    }
    case WM_SIZE:
        if (CAxHostWindow* pHost = HostOf(hWnd))
            pHost->Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
    {
        CAxHostWindow* pHost = HostOf(hWnd);
        if (pHost == nullptr || !pHost->HasControl())
        {
            PaintText(hWnd);
            return 0;
        }
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT:
    {
        const LRESULT lResult = DefWindowProcA(hWnd, uMsg, wParam, lParam);
        InvalidateRect(hWnd, nullptr, TRUE);
        return lResult;
    }
    case WM_DESTROY:
        if (CAxHostWindow* pHost = HostOf(hWnd))
        {
            SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
            pHost->DetachControl();
            pHost->Release();
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

} // namespace

bool AxWinInit()
{
    CComModule* pModule = GetModule();
    const HINSTANCE hInstance =
        pModule != nullptr ? pModule->GetModuleInstance() : GetModuleHandleA(nullptr);
    WNDCLASSEXA existing = {sizeof(existing)};
    if (GetClassInfoExA(hInstance, kAxWinClassName, &existing) &&
        existing.lpfnWndProc == AxWindowProc)
        return true;

    WNDCLASSEXA wc = {sizeof(wc)};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = AxWindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kAxWinClassName;
    return RegisterClassExA(&wc) != 0;
}

HRESULT CAxWindow::AttachControl(IUnknown* pControl, IUnknown** ppUnkContainer)
{
    if (ppUnkContainer != nullptr)
        *ppUnkContainer = nullptr;
    CAxHostWindow* pHost = reinterpret_cast<CAxHostWindow*>(SendMessage(GetHostMessage()));
    if (pHost == nullptr)
        return E_FAIL;
    const HRESULT hr = pHost->AttachControl(pControl);
    if (SUCCEEDED(hr) && ppUnkContainer != nullptr)
    {
        *ppUnkContainer = static_cast<IOleClientSite*>(pHost);
        pHost->AddRef();
    }
    return hr;
}

HRESULT CAxWindow::DetachControl()
{
    CAxHostWindow* pHost = reinterpret_cast<CAxHostWindow*>(SendMessage(GetHostMessage()));
    if (pHost == nullptr)
        return E_FAIL;
    pHost->DetachControl();
    return S_OK;
}

HRESULT CAxWindow::QueryHost(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    CAxHostWindow* pHost = reinterpret_cast<CAxHostWindow*>(SendMessage(GetHostMessage()));
    return pHost != nullptr ? pHost->QueryInterface(riid, ppv) : E_FAIL;
}

HRESULT CAxWindow::QueryControl(REFIID riid, void** ppv)
{
    CAxHostWindow* pHost = reinterpret_cast<CAxHostWindow*>(SendMessage(GetHostMessage()));
    if (pHost == nullptr)
    {
        if (ppv != nullptr)
            *ppv = nullptr;
        return E_FAIL;
    }
    return pHost->QueryControl(riid, ppv);
}

} // namespace fw
