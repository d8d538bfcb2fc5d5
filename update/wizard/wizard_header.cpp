#include "update/wizard/wizard_header.h"

#include <string>

#include "framework/handles.h"
#include "framework/module.h"
#include "update/resource_ids.h"
#include "update/wizard/wizard_look.h"

namespace {

// The font the dialog gave the control, kept in the window's extra bytes.
constexpr int kFontSlot = 0;

// Margins in dialog units, as Windows wizards place their header texts.
constexpr RECT kMargins = {14, 7, 7, 4};
constexpr int kSubtitleIndent = 21;
constexpr int kTitleToSubtitle = 2;

constexpr UINT kTitleFormat = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr UINT kSubtitleFormat = DT_WORDBREAK | DT_NOPREFIX;

// What the header shows: its two texts and the fonts they are drawn in.
struct HeaderParts
{
    explicit HeaderParts(HWND hWnd)
    {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(hWnd)) + 1, '\0');
        text.resize(
            static_cast<size_t>(GetWindowTextA(hWnd, &text[0], static_cast<int>(text.size()))));
        const size_t nBreak = text.find('\n');
        title = text.substr(0, nBreak);
        if (nBreak != std::string::npos)
            subtitle = text.substr(nBreak + 1);

        hFont = reinterpret_cast<HFONT>(GetWindowLongPtrA(hWnd, kFontSlot));
        if (hFont == nullptr)
            hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        LOGFONTA logFont = {};
        if (GetObjectA(hFont, sizeof(logFont), &logFont) != 0)
        {
            logFont.lfWeight = FW_BOLD;
            titleFont.Reset(CreateFontIndirectA(&logFont));
        }
    }

    HFONT TitleFont() const { return titleFont ? titleFont.Get() : hFont; }

    std::string title;
    std::string subtitle;
    HFONT hFont = nullptr;
    fw::CFontHandle titleFont;
};

// The extent DrawText gives the text in that font, wrapped at the
// rectangle's width where the format wraps.
SIZE TextExtent(HDC hdc, HFONT hFont, const std::string& text, const RECT& rc, UINT uFormat)
{
    const HGDIOBJ hOld = SelectObject(hdc, hFont);
    RECT rcCalc = rc;
    DrawTextA(hdc, text.c_str(), -1, &rcCalc, uFormat | DT_CALCRECT);
    SelectObject(hdc, hOld);
    return {rcCalc.right - rcCalc.left, rcCalc.bottom - rcCalc.top};
}

bool LayOut(HWND hWnd, HDC hdc, const HeaderParts& parts, WizardHeaderLayout& layout)
{
    // Dialog units of the page that holds the header, so that the header
    // grows with the page's font and the DPI.
    RECT rcMargins = kMargins;
    RECT rcSteps = {kSubtitleIndent, kTitleToSubtitle, 0, 0};
    HWND hParent = GetParent(hWnd);
    if (hParent == nullptr || !MapDialogRect(hParent, &rcMargins) ||
        !MapDialogRect(hParent, &rcSteps))
        return false;

    RECT rcClient = {};
    GetClientRect(hWnd, &rcClient);
    const int cyClient = rcClient.bottom;
    const int cxIcon = FittingIconSize(cyClient * 3 / 5);
    const int xIcon = rcClient.right - rcMargins.right - cxIcon;
    const int yIcon = (cyClient - cxIcon) / 2;
    layout.rcIcon = {xIcon, yIcon, xIcon + cxIcon, yIcon + cxIcon};

    const int xTextEnd = xIcon - rcMargins.right;
    layout.rcTitle = {rcMargins.left, rcMargins.top, xTextEnd, cyClient};
    const SIZE title = TextExtent(hdc, parts.TitleFont(), parts.title.empty() ? " " : parts.title,
                                  layout.rcTitle, kTitleFormat);
    layout.cxTitleNeeded = title.cx;
    layout.rcTitle.bottom = layout.rcTitle.top + title.cy;

    layout.rcSubtitle = {rcSteps.left, layout.rcTitle.bottom + rcSteps.top, xTextEnd,
                         cyClient - rcMargins.bottom};
    layout.cySubtitleNeeded =
        parts.subtitle.empty()
            ? 0
            : TextExtent(hdc, parts.hFont, parts.subtitle, layout.rcSubtitle, kSubtitleFormat).cy;
    return true;
}

void Paint(HWND hWnd, HDC hdc)
{
    RECT rcClient = {};
    GetClientRect(hWnd, &rcClient);
    FillRect(hdc, &rcClient, GetSysColorBrush(COLOR_WINDOW));
    DrawEdge(hdc, &rcClient, EDGE_ETCHED, BF_BOTTOM);

    const HeaderParts parts(hWnd);
    WizardHeaderLayout layout = {};
    if (!LayOut(hWnd, hdc, parts, layout))
        return;

    const int nSaved = SaveDC(hdc);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    SelectObject(hdc, parts.TitleFont());
    DrawTextA(hdc, parts.title.c_str(), -1, &layout.rcTitle, kTitleFormat);
    SelectObject(hdc, parts.hFont);
    DrawTextA(hdc, parts.subtitle.c_str(), -1, &layout.rcSubtitle, kSubtitleFormat);
    RestoreDC(hdc, nSaved);

    const int cxIcon = layout.rcIcon.right - layout.rcIcon.left;
    const fw::CIconHandle icon = LoadFittingIcon(fw::GetModule()->GetResourceInstance(),
                                                 MAKEINTRESOURCEA(IDI_PRODUCT), cxIcon);
    if (icon)
        DrawIconEx(hdc, layout.rcIcon.left, layout.rcIcon.top, icon.Get(), cxIcon, cxIcon, 0,
                   nullptr, DI_NORMAL);
}

LRESULT CALLBACK HeaderWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_SETFONT:
        SetWindowLongPtrA(hWnd, kFontSlot, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(hWnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return GetWindowLongPtrA(hWnd, kFontSlot);
    case WM_SETTEXT:
    {
        const LRESULT lResult = DefWindowProcA(hWnd, uMsg, wParam, lParam);
        InvalidateRect(hWnd, nullptr, TRUE);
        return lResult;
    }
    case WM_ERASEBKGND:
        // Painting fills the background in the same pass as the text.
        return 1;
    case WM_PRINTCLIENT:
        Paint(hWnd, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_PAINT:
    {
        PAINTSTRUCT ps = {};
        if (HDC hdc = BeginPaint(hWnd, &ps))
        {
            Paint(hWnd, hdc);
            EndPaint(hWnd, &ps);
        }
        return 0;
    }
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

bool RegisterWizardHeaderClass()
{
    const HINSTANCE hInstance = fw::GetModule()->GetModuleInstance();
    WNDCLASSEXA existing = {sizeof(existing)};
    if (GetClassInfoExA(hInstance, kWizardHeaderClass, &existing))
        return existing.lpfnWndProc == HeaderWindowProc;

    WNDCLASSEXA wc = {sizeof(wc)};
    // Global, so that the templates of another module, the resource
    // library, find it.
    wc.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HeaderWindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kWizardHeaderClass;
    return RegisterClassExA(&wc) != 0;
}

bool LayOutWizardHeader(HWND hWnd, WizardHeaderLayout& layout)
{
    HDC hdc = GetDC(hWnd);
    if (hdc == nullptr)
        return false;
    const bool bDone = LayOut(hWnd, hdc, HeaderParts(hWnd), layout);
    ReleaseDC(hWnd, hdc);
    return bDone;
}
