// Listens to the release notes' web browser, and keeps it on the notes. The
// notes come from the network and show in the trusted wizard, so the browser
// goes nowhere else: every navigation of the page or of a frame in it to
// another address is cancelled, and every new window. A link to a web
// address that the user follows once the notes have arrived is handed to the
// page, which opens it in the user's own browser.
//
// The page is also told when the notes themselves could not be shown: only a
// failed navigation of the top-level page before it ever arrived counts.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <oaidl.h>

#include <string>

#include "framework/dispatch.h"

class CBrowserEventSink final
    : public fw::CComObjectRoot<
          fw::AnswersAlso<fw::IDispatchByIdImpl<IDispatch>, DIID_DWebBrowserEvents2>>
{
public:
    // Posts uMsgFailed to hWndPage when the notes fail, and uMsgLink when a
    // link waits in TakeLink. pBrowser is the top-level browser; only its
    // identity is kept, to tell its events from a frame's. notesUrl is the
    // one address the browser may go to.
    CBrowserEventSink(HWND hWndPage, UINT uMsgFailed, UINT uMsgLink, IUnknown* pBrowser,
                      const std::wstring& notesUrl);

    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                        UINT* puArgErr) override;

    // The web address of the link the user followed last, once; false when
    // none waits.
    bool TakeLink(std::string& url);

private:
    ~CBrowserEventSink() override = default;

    // Whether the argument counted from the first is the top-level browser.
    bool IsTopLevel(const DISPPARAMS* pDispParams, UINT nArgument) const;
    // The notes' own address, with or without a place in them.
    bool IsNotesAddress(const wchar_t* pszUrl) const;
    void OfferLink(const wchar_t* pszUrl);

    HWND m_hWndPage;
    UINT m_uMsgFailed;
    UINT m_uMsgLink;
    // Compared, never called: the browser holds the sink, not the other way.
    IUnknown* m_pBrowserIdentity;
    std::wstring m_notesUrl;
    bool m_bArrived;
    std::string m_link;
};
