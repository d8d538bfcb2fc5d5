#include "update/main_wnd.h"

#include <gtest/gtest.h>

#include "tests/support/windows.h"
#include "tests/update/updater_process.h"
#include "update/exe_module.h"
#include "update/resource_ids.h"
#include "update/resource_mgr.h"

namespace {

DWORD WINAPI SendActivation(void* pWindow)
{
    SendMessageA(static_cast<HWND>(pWindow), g_uActivateMessage, 1, 0);
    return 0;
}

class MainWndTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(PrepareProcessLikeTheUpdater()); }

    void SetUp() override
    {
        ASSERT_NE(m_wnd.Create(nullptr, nullptr, kProductTitle, 0, 0), nullptr);
    }

    void TearDown() override
    {
        if (m_wnd.IsWindow())
            m_wnd.DestroyWindow();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }

    // A plain hidden window standing in for the wizard.
    static HWND CreateStandInWizard()
    {
        return CreateWindowExA(0, "Static", "wizard", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
    }

    CMainWnd m_wnd;
};

TEST_F(MainWndTest, IsFoundByClassAndTitle)
{
    EXPECT_EQ(FindWindowA("B22A7DB8_DFA7_4737_A8FE_7F6196339463", "Vexil Junquell for Kestrix!"),
              m_wnd.m_hWnd);
    EXPECT_EQ(testsupport::ClassNameOf(m_wnd), "B22A7DB8_DFA7_4737_A8FE_7F6196339463");
    EXPECT_EQ(testsupport::TextOf(m_wnd), "Vexil Junquell for Kestrix!");
    EXPECT_EQ(GetParent(m_wnd), nullptr);
}

TEST_F(MainWndTest, ClassStylesAndTraits)
{
    EXPECT_EQ(GetClassLongA(m_wnd, GCL_STYLE), static_cast<DWORD>(0x0B));
    EXPECT_EQ(GetClassLongPtrA(m_wnd, GCLP_HBRBACKGROUND), COLOR_WINDOW + 1);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(m_wnd, GCLP_HCURSOR)),
              LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(GetClassLongPtrA(m_wnd, GCLP_HICON), 0);
    EXPECT_EQ(GetClassLongA(m_wnd, GCL_CBWNDEXTRA), 0u);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(m_wnd, GCLP_HMODULE)),
              GetModuleHandleA(nullptr));

    const DWORD dwStyle = GetWindowLongA(m_wnd, GWL_STYLE);
    const DWORD dwExpected = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    EXPECT_EQ(dwStyle & dwExpected, dwExpected);
    EXPECT_EQ(dwStyle & WS_VISIBLE, 0u);
    const DWORD dwExStyle = GetWindowLongA(m_wnd, GWL_EXSTYLE);
    EXPECT_EQ(dwExStyle & (WS_EX_APPWINDOW | WS_EX_WINDOWEDGE),
              static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
}

TEST_F(MainWndTest, CarriesTheProductIcon)
{
    const HICON hBig = reinterpret_cast<HICON>(m_wnd.SendMessage(WM_GETICON, ICON_BIG));
    const HICON hSmall = reinterpret_cast<HICON>(m_wnd.SendMessage(WM_GETICON, ICON_SMALL));
    EXPECT_NE(hBig, nullptr);
    EXPECT_EQ(hSmall, hBig);
    EXPECT_EQ(hBig, LoadIconA(g_resourceMgr.m_hModule.Get(), MAKEINTRESOURCEA(IDI_PRODUCT)));
}

TEST_F(MainWndTest, ActivationShowsTheWizardButNeverItself)
{
    // Nothing to show yet.
    EXPECT_EQ(m_wnd.SendMessage(g_uActivateMessage, 1, 0), 0);
    EXPECT_FALSE(m_wnd.IsWindowVisible());

    HWND hWizard = CreateStandInWizard();
    ASSERT_NE(hWizard, nullptr);
    m_wnd.m_hWndWizard = hWizard;
    // Whatever the parameters, the wizard is shown normally.
    m_wnd.SendMessage(g_uActivateMessage, 7, 99);
    EXPECT_TRUE(IsWindowVisible(hWizard));
    WINDOWPLACEMENT placement = {sizeof(placement)};
    GetWindowPlacement(hWizard, &placement);
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_FALSE(m_wnd.IsWindowVisible());
    DestroyWindow(hWizard);
}

TEST_F(MainWndTest, ActivationFromAnotherThreadAsASecondInstanceSendsIt)
{
    HWND hWizard = CreateStandInWizard();
    m_wnd.m_hWndWizard = hWizard;
    const HWND hMain = m_wnd.m_hWnd;
    // The sender blocks until this thread has handled the message, which it
    // does while it waits in its own message loop.
    HANDLE hThread = CreateThread(nullptr, 0, SendActivation, hMain, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    for (;;)
    {
        const DWORD dwWait = MsgWaitForMultipleObjects(1, &hThread, FALSE, 5000, QS_ALLINPUT);
        if (dwWait != WAIT_OBJECT_0 + 1)
        {
            EXPECT_EQ(dwWait, WAIT_OBJECT_0);
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    CloseHandle(hThread);
    EXPECT_TRUE(IsWindowVisible(hWizard));
    DestroyWindow(hWizard);
}

TEST_F(MainWndTest, DestructionPostsQuit)
{
    m_wnd.DestroyWindow();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

} // namespace
