#include "framework/hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

namespace fw {

namespace {

const char kLinkColorsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";

// "R,G,B" in decimal, each 0-255, as the browser's settings store them;
// CLR_INVALID for anything else.
COLORREF ParseColor(const char* p)
{
    int c[3] = {};
    for (int i = 0; i < 3; ++i)
    {
        if (i > 0 && *p++ != ',')
            return CLR_INVALID;
        int nDigits = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
        {
            if (++nDigits > 3)
                return CLR_INVALID;
            c[i] = c[i] * 10 + (*p - '0');
        }
        if (nDigits == 0 || c[i] > 255)
            return CLR_INVALID;
    }
    return *p == '\0' ? RGB(c[0], c[1], c[2]) : CLR_INVALID;
}

COLORREF ReadColor(HKEY hKey, const char* pszName, COLORREF clrDefault)
{
    char szValue[32] = {};
    DWORD dwType = 0;
    DWORD cbValue = sizeof(szValue) - 1;
    if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue),
                         &cbValue) != ERROR_SUCCESS ||
        dwType != REG_SZ)
        return clrDefault;
    const COLORREF clr = ParseColor(szValue);
    return clr != CLR_INVALID ? clr : clrDefault;
}

// The client point of a mouse message; coordinates may be negative while the
// mouse is captured.
POINT PointOf(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

} // namespace

CHyperLink::~CHyperLink()
{
    // A control that outlives its object goes back to being a plain static,
    // so that no message reaches the freed thunk.
    if (::IsWindow(m_hWnd))
    {
        ReleaseResources();
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    }
}

BOOL CHyperLink::SetHyperLink(const char* pszTarget)
{
    if (pszTarget == nullptr)
        return FALSE;
    m_strTarget = pszTarget;
    if (m_tip.IsWindow())
    {
        TTTOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = m_hWnd;
        ti.lpszText = const_cast<char*>(m_strTarget.c_str());
        m_tip.SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    return TRUE;
}

BOOL CHyperLink::SetLabel(const char* pszLabel)
{
    if (pszLabel == nullptr)
        return FALSE;
    // Once attached, the control's text is the label (see OnSetText).
    if (m_hWnd != nullptr)
        return SetWindowText(pszLabel);
    m_strLabel = pszLabel;
    return TRUE;
}

BOOL CHyperLink::SubclassWindow(HWND hWnd)
{
    if (!CWindowImplBase::SubclassWindow(hWnd))
        return FALSE;
    Init();
    return TRUE;
}

bool CHyperLink::Navigate()
{
    if (m_strTarget.empty())
        return false;
    const HWND hWndParent = m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr;
    const HINSTANCE hResult =
        ShellExecuteA(hWndParent, "open", m_strTarget.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(hResult) <= 32)
        return false;
    m_bVisited = true;
    if (m_hWnd != nullptr)
        InvalidateRect(m_hWnd, nullptr, TRUE);
    return true;
}

COLORREF CHyperLink::GetLabelColor() const
{
    if (m_hWnd != nullptr && !::IsWindowEnabled(m_hWnd))
        return GetSysColor(COLOR_GRAYTEXT);
    return m_bVisited ? m_clrVisited : m_clrLink;
}

void CHyperLink::Init()
{
    // Without SS_NOTIFY a static is transparent to the mouse; without
    // WS_TABSTOP the keyboard never reaches it.
    const LONG lStyle = GetWindowLongA(m_hWnd, GWL_STYLE);
    if ((lStyle & (WS_TABSTOP | SS_NOTIFY)) != (WS_TABSTOP | SS_NOTIFY))
        SetWindowLongA(m_hWnd, GWL_STYLE, lStyle | WS_TABSTOP | SS_NOTIFY);

    CreateLinkFont();
    if (!m_strLabel.empty())
    {
        SetWindowText(m_strLabel.c_str());
    }
    else
    {
        std::string strText(GetWindowTextLengthA(m_hWnd) + 1, '\0');
        strText.resize(GetWindowText(&strText[0], static_cast<int>(strText.size())));
        m_strLabel = strText;
    }
    ReadLinkColors();
    CalcLinkRect();
    CreateToolTip();
}

void CHyperLink::CreateLinkFont()
{
    auto hFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (hFont == nullptr)
        hFont = reinterpret_cast<HFONT>(::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    if (hFont == nullptr)
        hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf = {};
    if (GetObjectA(hFont, sizeof(lf), &lf) == 0)
        return;
    lf.lfUnderline = TRUE;
    m_font.Reset(CreateFontIndirectA(&lf));
}

void CHyperLink::ReadLinkColors()
{
    m_clrLink = kDefaultLinkColor;
    m_clrVisited = kDefaultVisitedColor;
    CRegKeyHandle key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kLinkColorsKey, 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS)
        return;
    m_clrLink = ReadColor(key.Get(), "Anchor Color", kDefaultLinkColor);
    m_clrVisited = ReadColor(key.Get(), "Anchor Color Visited", kDefaultVisitedColor);
}

void CHyperLink::CreateToolTip()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    m_tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, nullptr, nullptr);
    if (!m_tip.IsWindow())
        return;
    // The first version of the structure, which every version of the common
    // controls accepts.
    TTTOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    GetClientRect(&ti.rect);
    ti.lpszText = const_cast<char*>(m_strTarget.c_str());
    m_tip.SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

UINT CHyperLink::DrawTextFormat() const
{
    const LONG lStyle = GetWindowLongA(m_hWnd, GWL_STYLE);
    UINT uFormat = DT_WORDBREAK;
    if ((lStyle & SS_TYPEMASK) == SS_CENTER)
        uFormat |= DT_CENTER;
    else if ((lStyle & SS_TYPEMASK) == SS_RIGHT)
        uFormat |= DT_RIGHT;
    if (lStyle & SS_NOPREFIX)
        uFormat |= DT_NOPREFIX;
    return uFormat;
}

// Only the label itself is the link: the hand, the click and the focus
// rectangle keep to the text's extent, placed as the static aligns it.
void CHyperLink::CalcLinkRect()
{
    RECT rcClient = {};
    GetClientRect(&rcClient);
    RECT rcText = rcClient;
    const HDC hdc = GetDC(m_hWnd);
    if (hdc == nullptr)
        return;
    const HGDIOBJ hOldFont = m_font ? SelectObject(hdc, m_font.Get()) : nullptr;
    const UINT uFormat = DrawTextFormat();
    DrawTextA(hdc, m_strLabel.c_str(), -1, &rcText, uFormat | DT_CALCRECT);
    if (hOldFont != nullptr)
        SelectObject(hdc, hOldFont);
    ReleaseDC(m_hWnd, hdc);

    const int cxText = rcText.right - rcText.left;
    if (uFormat & DT_CENTER)
        OffsetRect(&rcText, (rcClient.right - cxText) / 2 - rcText.left, 0);
    else if (uFormat & DT_RIGHT)
        OffsetRect(&rcText, rcClient.right - cxText - rcText.left, 0);
    IntersectRect(&m_rcLink, &rcText, &rcClient);
}

void CHyperLink::DoPaint(HDC hdc)
{
    // The parent's static-control brush is the dialog's background, so the
    // link sits on it as plain text would.
    RECT rcClient = {};
    GetClientRect(&rcClient);
    auto hBrush = reinterpret_cast<HBRUSH>(::SendMessageA(
        ::GetParent(m_hWnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
        reinterpret_cast<LPARAM>(m_hWnd)));
    FillRect(hdc, &rcClient, hBrush != nullptr ? hBrush : GetSysColorBrush(COLOR_BTNFACE));

    const int nSaved = SaveDC(hdc);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetLabelColor());
    if (m_font)
        SelectObject(hdc, m_font.Get());
    RECT rcText = m_rcLink;
    DrawTextA(hdc, m_strLabel.c_str(), -1, &rcText, DrawTextFormat());
    if (::GetFocus() == m_hWnd)
        DrawFocusRect(hdc, &m_rcLink);
    RestoreDC(hdc, nSaved);
}

bool CHyperLink::IsInLink(POINT pt) const
{
    return PtInRect(&m_rcLink, pt) != FALSE;
}

void CHyperLink::ReleaseResources()
{
    // The tooltip belongs to the dialog's window, which may have destroyed
    // it already.
    if (m_tip.IsWindow())
        m_tip.DestroyWindow();
    m_tip = nullptr;
    m_font.Reset();
}

LRESULT CHyperLink::OnPaint(UINT uMsg, WPARAM wParam, LPARAM, BOOL&)
{
    if (wParam != 0)
    {
        DoPaint(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    PAINTSTRUCT ps = {};
    const HDC hdc = BeginPaint(m_hWnd, &ps);
    if (hdc != nullptr)
    {
        DoPaint(hdc);
        EndPaint(m_hWnd, &ps);
    }
    return 0;
}

LRESULT CHyperLink::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&)
{
    // Painting fills the background itself, in the same pass as the text.
    return 1;
}

// The static control paints its own plain text at once when its text
// changes; only the storing of the text is wanted from it.
LRESULT CHyperLink::OnSetText(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const LRESULT lResult = ::DefWindowProcA(m_hWnd, uMsg, wParam, lParam);
    if (lResult)
    {
        m_strLabel = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        CalcLinkRect();
        InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    return lResult;
}

// The static control would paint itself in its own way here too.
LRESULT CHyperLink::OnInvalidatingChange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const LRESULT lResult = ::DefWindowProcA(m_hWnd, uMsg, wParam, lParam);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return lResult;
}

LRESULT CHyperLink::OnFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    InvalidateRect(m_hWnd, nullptr, TRUE);
    bHandled = FALSE;
    return 0;
}

LRESULT CHyperLink::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    CalcLinkRect();
    if (m_tip.IsWindow())
    {
        TTTOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = m_hWnd;
        GetClientRect(&ti.rect);
        m_tip.SendMessage(TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CHyperLink::OnSetCursor(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    POINT pt = {};
    if (LOWORD(lParam) == HTCLIENT && GetCursorPos(&pt) && ScreenToClient(m_hWnd, &pt) &&
        IsInLink(pt))
    {
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
    }
    bHandled = FALSE;
    return FALSE;
}

LRESULT CHyperLink::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    if (!IsInLink(PointOf(lParam)))
    {
        bHandled = FALSE;
        return 0;
    }
    ::SetFocus(m_hWnd);
    SetCapture(m_hWnd);
    return 0;
}

// A click is a press and a release both on the label.
LRESULT CHyperLink::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    if (GetCapture() != m_hWnd)
    {
        bHandled = FALSE;
        return 0;
    }
    ReleaseCapture();
    if (IsInLink(PointOf(lParam)))
        Navigate();
    return 0;
}

// Enter is asked for so that the dialog does not take it for its default
// button; Tab and the arrows are left to the dialog.
LRESULT CHyperLink::OnGetDlgCode(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (pMsg != nullptr && (pMsg->message == WM_KEYDOWN || pMsg->message == WM_CHAR) &&
        pMsg->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
    return DLGC_WANTCHARS;
}

// A held key repeats its WM_KEYDOWN; only the first press opens the target.
LRESULT CHyperLink::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    const bool bRepeat = (lParam & (1 << 30)) != 0;
    if ((wParam != VK_RETURN && wParam != VK_SPACE) || bRepeat)
    {
        bHandled = FALSE;
        return 0;
    }
    Navigate();
    return 0;
}

LRESULT CHyperLink::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    ReleaseResources();
    bHandled = FALSE;
    return 0;
}

} // namespace fw
