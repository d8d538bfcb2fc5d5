// A static control of a dialog turned into a link: its label drawn
// underlined in the user's link colours, its target shown as a tooltip and
// opened through the shell on a click, Enter or Space.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"
#include "framework/window.h"

namespace fw {

// Fonts this code creates, held as handles.h holds other handles.
class CHyperLink : public CWindowImpl<CHyperLink>
{
public:
    // The colours when the user's settings name none (or none readable).
    static constexpr COLORREF kDefaultLinkColor = RGB(0, 0, 255);
    static constexpr COLORREF kDefaultVisitedColor = RGB(128, 0, 128);

    CHyperLink() = default;
    ~CHyperLink() override;

    CHyperLink(const CHyperLink&) = delete;
    CHyperLink& operator=(const CHyperLink&) = delete;

    // Either may be called before or after SubclassWindow.
    BOOL SetHyperLink(const char* pszTarget);
    BOOL SetLabel(const char* pszLabel);
    const std::string& GetHyperLink() const { return m_strTarget; }
    const std::string& GetLabel() const { return m_strLabel; }

    // Takes over a static control; without a label set, its text becomes
    // the label.
    BOOL SubclassWindow(HWND hWnd);

    // Opens the target with the shell; true when the shell started it.
    bool Navigate();

    // What the label is drawn with now.
    COLORREF GetLabelColor() const;
    HFONT GetLinkFont() const { return m_font.Get(); }

    BEGIN_MSG_MAP(CHyperLink)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_ENABLE, OnInvalidatingChange)
        MESSAGE_HANDLER(WM_UPDATEUISTATE, OnInvalidatingChange)
        MESSAGE_HANDLER(WM_SETFOCUS, OnFocus)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnFocus)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEraseBackground(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetText(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnInvalidatingChange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnGetDlgCode(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void Init();
    void CreateLinkFont();
    void ReadLinkColors();
    void CreateToolTip();
    UINT DrawTextFormat() const;
    void CalcLinkRect();
    void DoPaint(HDC hdc);
    bool IsInLink(POINT pt) const;
    void ReleaseResources();

    std::string m_strTarget;
    std::string m_strLabel;
    CFontHandle m_font;
    CWindow m_tip;
    RECT m_rcLink = {};
    bool m_bVisited = false;
    COLORREF m_clrLink = kDefaultLinkColor;
    COLORREF m_clrVisited = kDefaultVisitedColor;
};

} // namespace fw
