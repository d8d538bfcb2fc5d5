#include "update/wizard/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

#include <cwchar>

#include "framework/ansi_text.h"
#include "framework/com_guard.h"
#include "framework/com_ptr.h"
#include "update/info/update_info.h"

namespace {

// The argument counted from the first (arguments arrive last first), or null.
const VARIANT* Argument(const DISPPARAMS* pDispParams, UINT nArgument)
{
    if (pDispParams == nullptr || pDispParams->rgvarg == nullptr ||
        nArgument >= pDispParams->cArgs)
        return nullptr;
    return &pDispParams->rgvarg[pDispParams->cArgs - 1 - nArgument];
}

// A string argument, given directly or through a reference.
const wchar_t* StringArgument(const DISPPARAMS* pDispParams, UINT nArgument)
{
    const VARIANT* pArg = Argument(pDispParams, nArgument);
    if (pArg != nullptr && pArg->vt == (VT_BYREF | VT_VARIANT))
        pArg = pArg->pvarVal;
    return pArg != nullptr && pArg->vt == VT_BSTR ? pArg->bstrVal : nullptr;
}

void SetCancel(const DISPPARAMS* pDispParams, UINT nArgument)
{
    const VARIANT* pArg = Argument(pDispParams, nArgument);
    if (pArg != nullptr && pArg->vt == (VT_BYREF | VT_BOOL) && pArg->pboolVal != nullptr)
        *pArg->pboolVal = VARIANT_TRUE;
}

// BeforeNavigate2 (pDisp, URL, Flags, TargetFrameName, PostData, Headers,
// Cancel), NewWindow2 (ppDisp, Cancel), NewWindow3 (ppDisp, Cancel, dwFlags,
// bstrUrlContext, bstrUrl).
constexpr UINT kNavigateUrl = 1;
constexpr UINT kNavigateCancel = 6;
constexpr UINT kNewWindowCancel = 1;
constexpr UINT kNewWindowFlags = 2;
constexpr UINT kNewWindowUrl = 4;
// NWMF_USERINITED of NewWindow3's flags, which these headers declare only
// for a later Internet Explorer than this program asks for.
constexpr LONG kNewWindowUserInitiated = 0x2;

} // namespace

CBrowserEventSink::CBrowserEventSink(HWND hWndPage, UINT uMsgFailed, UINT uMsgLink,
                                     IUnknown* pBrowser, const std::wstring& notesUrl)
    : m_hWndPage(hWndPage), m_uMsgFailed(uMsgFailed), m_uMsgLink(uMsgLink),
      m_pBrowserIdentity(nullptr), m_notesUrl(notesUrl), m_bArrived(false)
{
    fw::CComPtr<IUnknown> spIdentity;
    if (pBrowser != nullptr &&
        SUCCEEDED(pBrowser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&spIdentity))))
        m_pBrowserIdentity = spIdentity;
}

bool CBrowserEventSink::IsTopLevel(const DISPPARAMS* pDispParams, UINT nArgument) const
{
    const VARIANT* pArg = Argument(pDispParams, nArgument);
    if (pArg == nullptr || pArg->vt != VT_DISPATCH || pArg->pdispVal == nullptr ||
        m_pBrowserIdentity == nullptr)
        return false;
    fw::CComPtr<IUnknown> spIdentity;
    return SUCCEEDED(pArg->pdispVal->QueryInterface(IID_IUnknown,
                                                    reinterpret_cast<void**>(&spIdentity))) &&
           spIdentity == m_pBrowserIdentity;
}

bool CBrowserEventSink::IsNotesAddress(const wchar_t* pszUrl) const
{
    if (pszUrl == nullptr || m_notesUrl.empty())
        return false;
    const wchar_t* pszPlace = std::wcschr(pszUrl, L'#');
    const size_t cch = pszPlace != nullptr ? static_cast<size_t>(pszPlace - pszUrl)
                                           : std::wcslen(pszUrl);
    return cch == m_notesUrl.size() && _wcsnicmp(pszUrl, m_notesUrl.c_str(), cch) == 0;
}

// Only a web address goes to the user's browser: never a file, a share or
// another program's scheme.
void CBrowserEventSink::OfferLink(const wchar_t* pszUrl)
{
    std::string url;
    if (pszUrl == nullptr || !fw::WideToAnsiExact(pszUrl, url) || !IsWebAddress(url))
        return;
    m_link = url;
    if (IsWindow(m_hWndPage))
        PostMessageA(m_hWndPage, m_uMsgLink, 0, 0);
}

bool CBrowserEventSink::TakeLink(std::string& url)
{
    if (m_link.empty())
        return false;
    url.swap(m_link);
    m_link.clear();
    return true;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                                       DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*, UINT*)
{
    return fw::ComGuard([&] {
        switch (dispIdMember)
        {
        case DISPID_BEFORENAVIGATE2:
        {
            const wchar_t* pszUrl = StringArgument(pDispParams, kNavigateUrl);
            if (IsNotesAddress(pszUrl))
                break;
            SetCancel(pDispParams, kNavigateCancel);
            // With script and refresh off, the page itself moves nowhere
            // once it has arrived: what moves it is the user's click.
            if (m_bArrived && IsTopLevel(pDispParams, 0))
                OfferLink(pszUrl);
            break;
        }
        case DISPID_NEWWINDOW2:
            SetCancel(pDispParams, kNewWindowCancel);
            break;
        case DISPID_NEWWINDOW3:
        {
            SetCancel(pDispParams, kNewWindowCancel);
            const VARIANT* pFlags = Argument(pDispParams, kNewWindowFlags);
            if (m_bArrived && pFlags != nullptr && pFlags->vt == VT_I4 &&
                (pFlags->lVal & kNewWindowUserInitiated) != 0)
                OfferLink(StringArgument(pDispParams, kNewWindowUrl));
            break;
        }
        case DISPID_NAVIGATECOMPLETE2:
            if (IsTopLevel(pDispParams, 0))
                m_bArrived = true;
            break;
        case DISPID_NAVIGATEERROR:
            // The page is told later, outside the browser's own call.
            if (!m_bArrived && IsTopLevel(pDispParams, 0) && IsWindow(m_hWndPage))
                PostMessageA(m_hWndPage, m_uMsgFailed, 0, 0);
            break;
        default:
            break;
        }
        return S_OK;
    });
}
