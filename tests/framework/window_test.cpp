#include "framework/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A window that records what reaches its handlers.
class CRecordingWnd : public fw::CWindowImpl<CRecordingWnd, fw::CWindow,
                                             fw::CWinTraits<WS_OVERLAPPED, WS_EX_TOOLWINDOW>>
{
public:
    DECLARE_WND_CLASS_EX("ZspTestRecordingWindow", CS_DBLCLKS, COLOR_BTNFACE)

    BEGIN_MSG_MAP(CRecordingWnd)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_USER + 1, OnUser)
        MESSAGE_HANDLER(WM_USER + 2, OnDeclined)
    END_MSG_MAP()

    void OnFinalMessage(HWND hWnd) override { m_hWndFinal = hWnd; }

    std::vector<UINT> m_handled;
    HWND m_hWndAtCreate = nullptr;
    HWND m_hWndFinal = nullptr;

private:
    LRESULT OnCreate(UINT uMsg, WPARAM, LPARAM, BOOL&)
    {
        m_hWndAtCreate = m_hWnd;
        m_handled.push_back(uMsg);
        return 0;
    }
    LRESULT OnUser(UINT uMsg, WPARAM wParam, LPARAM, BOOL&)
    {
        m_handled.push_back(uMsg);
        return static_cast<LRESULT>(wParam * 2);
    }
    // Declines the message, so the default procedure answers it.
    LRESULT OnDeclined(UINT uMsg, WPARAM, LPARAM, BOOL& bHandled)
    {
        m_handled.push_back(uMsg);
        bHandled = FALSE;
        return 12345;
    }
};

TEST(WindowImpl, RoutesMessagesToTheObjectOfEachWindow)
{
    CRecordingWnd first, second;
    ASSERT_NE(first.Create(nullptr, nullptr, "first"), nullptr);
    ASSERT_NE(second.Create(nullptr, nullptr, "second"), nullptr);
    EXPECT_EQ(first.m_hWndAtCreate, first.m_hWnd);

    EXPECT_EQ(first.SendMessage(WM_USER + 1, 21), 42);
    EXPECT_EQ(second.SendMessage(WM_USER + 1, 5), 10);
    EXPECT_EQ(first.m_handled, (std::vector<UINT>{WM_CREATE, WM_USER + 1}));
    EXPECT_EQ(second.m_handled, (std::vector<UINT>{WM_CREATE, WM_USER + 1}));

    // A declined message and one without a handler go to the default
    // procedure, which answers 0 to both.
    EXPECT_EQ(first.SendMessage(WM_USER + 2), 0);
    EXPECT_EQ(first.SendMessage(WM_USER + 3), 0);
    EXPECT_EQ(first.m_handled.back(), static_cast<UINT>(WM_USER + 2));

    // Style 0 takes the traits; the class has its declared style.
    EXPECT_EQ(GetWindowLongA(first, GWL_STYLE) & WS_POPUP, 0);
    EXPECT_TRUE(GetWindowLongA(first, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetClassLongA(first, GCL_STYLE), static_cast<DWORD>(CS_DBLCLKS));

    const HWND hFirst = first.m_hWnd;
    ASSERT_TRUE(first.DestroyWindow());
    EXPECT_EQ(first.m_hWndFinal, hFirst);
    EXPECT_EQ(first.m_hWnd, nullptr);
    EXPECT_TRUE(second.IsWindow());
    second.DestroyWindow();
}

TEST(WindowImpl, CreatingTwiceFails)
{
    CRecordingWnd wnd;
    ASSERT_NE(wnd.Create(nullptr), nullptr);
    EXPECT_EQ(wnd.Create(nullptr), nullptr);
    wnd.DestroyWindow();
}

} // namespace
