// Listens to the release notes' web browser for the one event the page acts
// on: the notes themselves could not be shown. Only a failed navigation of
// the top-level page before it ever arrived counts; a sub-frame that fails,
// or a link that the user follows inside the notes, takes the browser's own
// course.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "framework/dispatch.h"

class CBrowserEventSink final : public fw::IDispatchByIdImpl<IDispatch>
{
public:
    // Posts uMsg to hWndPage when the notes fail. pBrowser is the top-level
    // browser; only its identity is kept, to tell its events from a frame's.
    CBrowserEventSink(HWND hWndPage, UINT uMsg, IUnknown* pBrowser);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                        UINT* puArgErr) override;

private:
    ~CBrowserEventSink() = default;

    // Whether the argument counted from the first is the top-level browser.
    bool IsTopLevel(const DISPPARAMS* pDispParams, UINT nArgument) const;

    LONG m_cRef;
    HWND m_hWndPage;
    UINT m_uMsg;
    // Compared, never called: the browser holds the sink, not the other way.
    IUnknown* m_pBrowserIdentity;
    bool m_bArrived;
};
