#include "update/wizard/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

#include "framework/com_guard.h"
#include "framework/com_ptr.h"

CBrowserEventSink::CBrowserEventSink(HWND hWndPage, UINT uMsg, IUnknown* pBrowser)
    : m_cRef(1), m_hWndPage(hWndPage), m_uMsg(uMsg), m_pBrowserIdentity(nullptr),
      m_bArrived(false)
{
    fw::CComPtr<IUnknown> spIdentity;
    if (pBrowser != nullptr &&
        SUCCEEDED(pBrowser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&spIdentity))))
        m_pBrowserIdentity = spIdentity;
}

STDMETHODIMP CBrowserEventSink::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2))
    {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CBrowserEventSink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CBrowserEventSink::Release()
{
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

bool CBrowserEventSink::IsTopLevel(const DISPPARAMS* pDispParams, UINT nArgument) const
{
    // Arguments arrive last first.
    if (pDispParams == nullptr || pDispParams->rgvarg == nullptr ||
        nArgument >= pDispParams->cArgs || m_pBrowserIdentity == nullptr)
        return false;
    const VARIANT& arg = pDispParams->rgvarg[pDispParams->cArgs - 1 - nArgument];
    if (arg.vt != VT_DISPATCH || arg.pdispVal == nullptr)
        return false;
    fw::CComPtr<IUnknown> spIdentity;
    return SUCCEEDED(arg.pdispVal->QueryInterface(IID_IUnknown,
                                                  reinterpret_cast<void**>(&spIdentity))) &&
           spIdentity == m_pBrowserIdentity;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                                       DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*, UINT*)
{
    return fw::ComGuard([&] {
        switch (dispIdMember)
        {
        case DISPID_NAVIGATECOMPLETE2:
            if (IsTopLevel(pDispParams, 0))
                m_bArrived = true;
            break;
        case DISPID_NAVIGATEERROR:
            // The page is told later, outside the browser's own call.
            if (!m_bArrived && IsTopLevel(pDispParams, 0) && IsWindow(m_hWndPage))
                PostMessageA(m_hWndPage, m_uMsg, 0, 0);
            break;
        default:
            break;
        }
        return S_OK;
    });
}
