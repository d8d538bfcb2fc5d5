// The wizard and its pages in-process, as the entry sets them up: what each
// page shows, which buttons each choice enables and what Close stores, for
// users with and without administrator rights.
#include <windows.h>
#include <commctrl.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/http_content.h"
#include "tests/support/paths.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tests/support/wizard_driver.h"
#include "tests/update/updater_process.h"
#include "update/exe_module.h"
#include "update/resource_mgr.h"
#include "update/update_globals.h"
#include "update/wizard/browser_events.h"
#include "update/wizard/update_wizard.h"
#include "update/wizard/wizard_look.h"

namespace {

using testsupport::kSettingsKey;

constexpr DWORD kWaitMs = 20000;

// Runs this thread's messages as the wizard's loop would, until the
// condition holds or the time is up.
bool PumpUntil(HWND hDialog, const std::function<bool()>& condition, DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
                continue;
            if (!IsDialogMessageA(hDialog, &msg))
            {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (condition())
            return true;
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Whether a WM_QUIT is waiting; takes it.
bool QuitPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

class WizardPagesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(PrepareProcessLikeTheUpdater()); }

    void SetUp() override
    {
        testsupport::ClearProductKeys();
        g_bUserIsAdmin = TRUE;
        m_pWizard = new CUpdateWizard;
        ASSERT_TRUE(m_pWizard->m_settings.Open());
        ASSERT_TRUE(m_pWizard->m_settings.Load());
        ASSERT_NE(m_pWizard->Create(nullptr, 0), nullptr);
        m_pWizard->m_availableVersion = VersionNumber("2.5.0.301");
        m_pWizard->m_installerSize = 1572864;
        m_pWizard->m_releaseNotesUrl = "http://127.0.0.1:1/notes.html";
    }

    void TearDown() override
    {
        if (m_pWizard != nullptr && m_pWizard->IsWindow())
            m_pWizard->DestroyWindow();
        delete m_pWizard;
        QuitPosted();
        testsupport::ClearProductKeys();
    }

    HWND Page1() const { return m_pWizard->m_pgNextAction.m_hWnd; }
    HWND Control(int nId) const { return GetDlgItem(Page1(), nId); }
    bool IsShown(int nId) const { return (GetWindowLongA(Control(nId), GWL_STYLE) & WS_VISIBLE) != 0; }

    unsigned EnabledButtons() const
    {
        unsigned uMask = 0;
        if (IsWindowEnabled(m_pWizard->GetDlgItem(IDC_WIZ_NEXT)))
            uMask |= kButtonNext;
        if (IsWindowEnabled(m_pWizard->GetDlgItem(IDC_WIZ_CLOSE)))
            uMask |= kButtonClose;
        if (IsWindowEnabled(m_pWizard->GetDlgItem(IDC_WIZ_CANCEL)))
            uMask |= kButtonCancel;
        return uMask;
    }

    // A user's click on a radio button.
    void Choose(int nId) { SendMessageA(Control(nId), BM_CLICK, 0, 0); }
    void Press(int nButtonId)
    {
        SendMessageA(m_pWizard->m_hWnd, WM_COMMAND, MAKEWPARAM(nButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(m_pWizard->GetDlgItem(nButtonId)));
    }

    static std::string StoredString(const char* pszName)
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, pszName);
        return value ? value->AsString() : "<missing>";
    }
    static uint64_t StoredQword(const char* pszName)
    {
        auto value = testsupport::ReadValue(HKEY_CURRENT_USER, kSettingsKey, pszName);
        return value ? value->AsQword() : ~0ull;
    }

    // Answers the next message box of this process from another thread, as
    // the user would, and returns its text.
    std::thread AnswerMessageBox(int nButton, std::string* pText)
    {
        return std::thread([nButton, pText]() {
            HWND hBox = testsupport::WaitForTopLevelWindow(GetCurrentProcessId(), "#32770", kWaitMs);
            for (int i = 0; hBox != nullptr && GetDlgItem(hBox, 0xFFFF) == nullptr && i < 100; ++i)
            {
                Sleep(20);
                hBox = testsupport::WaitForTopLevelWindow(GetCurrentProcessId(), "#32770", kWaitMs);
            }
            testsupport::MessageBoxContents contents;
            if (hBox != nullptr && testsupport::ReadMessageBox(hBox, contents))
            {
                *pText = contents.text;
                testsupport::ClickDialogButton(hBox, nButton);
            }
        });
    }

    CUpdateWizard* m_pWizard = nullptr;
};

TEST_F(WizardPagesTest, AdministratorStartsWithInstallNowChecked)
{
    m_pWizard->SetActivePage(kPageNextAction);
    ASSERT_EQ(m_pWizard->m_pCurrentPage, &m_pWizard->m_pgNextAction);
    for (int nId = IDC_RB_INSTALL_NOW; nId <= IDC_RB_REMIND_WEEK; ++nId)
        EXPECT_TRUE(IsShown(nId)) << nId;
    EXPECT_EQ(IsDlgButtonChecked(Page1(), IDC_RB_INSTALL_NOW), static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(IsShown(IDC_NOTICE));
    EXPECT_FALSE(IsShown(IDC_HYPERLINK));
    EXPECT_EQ(EnabledButtons(), kButtonNext | kButtonCancel);
    EXPECT_EQ(testsupport::TextOf(Control(IDC_VERSION_LINE)), "New version: 2.5.0.301");
    EXPECT_EQ(testsupport::TextOf(Control(IDC_SIZE_LINE)), "Download size: 1.5 MB");

    Choose(IDC_RB_REMIND_DAY);
    EXPECT_EQ(EnabledButtons(), kButtonClose | kButtonCancel);
    Choose(IDC_RB_INSTALL_NOW);
    EXPECT_EQ(EnabledButtons(), kButtonNext | kButtonCancel);
    Choose(IDC_RB_SKIP_VERSION);
    EXPECT_EQ(EnabledButtons(), kButtonClose | kButtonCancel);
    Choose(IDC_RB_REMIND_WEEK);
    EXPECT_EQ(EnabledButtons(), kButtonClose | kButtonCancel);
}

TEST_F(WizardPagesTest, SizesFromTwoGibibytesUpAreShownPositive)
{
    m_pWizard->m_installerSize = 2147483648u;
    m_pWizard->SetActivePage(kPageNextAction);
    EXPECT_EQ(testsupport::TextOf(Control(IDC_SIZE_LINE)), "Download size: 2,048.0 MB");
    delete m_pWizard;
    m_pWizard = new CUpdateWizard;
    ASSERT_NE(m_pWizard->Create(nullptr, 0), nullptr);
    m_pWizard->m_installerSize = 4294967295u;
    m_pWizard->SetActivePage(kPageNextAction);
    EXPECT_EQ(testsupport::TextOf(Control(IDC_SIZE_LINE)), "Download size: 4,096.0 MB");
}

TEST_F(WizardPagesTest, CloseStoresTheAdministratorsChoice)
{
    struct Case
    {
        int nChoice;
        const char* pszAvailable;
        uint64_t notify;
    };
    const Case cases[] = {
        {IDC_RB_SKIP_VERSION, "2.5.0.301", 0},
        {IDC_RB_REMIND_DAY, "2.4.2.218", 864000000000ull},
        {IDC_RB_REMIND_WEEK, "2.4.2.218", 6048000000000ull},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.nChoice);
        TearDown();
        SetUp();
        ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload", 5));
        m_pWizard->SetActivePage(kPageNextAction);
        Choose(c.nChoice);
        Press(IDC_WIZ_CLOSE);
        EXPECT_TRUE(QuitPosted());
        EXPECT_EQ(StoredString("AvailableVersion"), c.pszAvailable);
        EXPECT_EQ(StoredQword("NotifyDownload"), c.notify);
    }
}

TEST_F(WizardPagesTest, UserWithoutAdministratorRightsGetsTheNoticeAndTheLink)
{
    g_bUserIsAdmin = FALSE;
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload", 5));
    m_pWizard->SetActivePage(kPageNextAction);
    for (int nId = IDC_RB_INSTALL_NOW; nId <= IDC_RB_REMIND_WEEK; ++nId)
        EXPECT_FALSE(IsShown(nId)) << nId;
    EXPECT_TRUE(IsShown(IDC_NOTICE));
    const std::string notice = testsupport::TextOf(Control(IDC_NOTICE));
    EXPECT_NE(notice.find(m_pWizard->m_availableVersion.Text()), std::string::npos) << notice;
    EXPECT_TRUE(IsShown(IDC_HYPERLINK));
    EXPECT_EQ(EnabledButtons(), kButtonClose);
    EXPECT_EQ(m_pWizard->m_pgNextAction.m_hyperlink.m_hWnd, Control(IDC_HYPERLINK));
    EXPECT_EQ(testsupport::TextOf(Control(IDC_HYPERLINK)), "&Download the new version");
    EXPECT_EQ(m_pWizard->m_pgNextAction.m_hyperlink.GetHyperLink(), ZSP_TEST_DOWNLOAD_PAGE_URL);

    // Close stores nothing here.
    Press(IDC_WIZ_CLOSE);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(StoredString("AvailableVersion"), "2.4.2.218");
    EXPECT_EQ(StoredQword("NotifyDownload"), 5u);
}

TEST_F(WizardPagesTest, TheOrganisationsDownloadPageReplacesTheBuiltInOne)
{
    g_bUserIsAdmin = FALSE;
    m_pWizard->m_policy.downloadPageUrl = "https://software.corp.test/zsp";
    m_pWizard->SetActivePage(kPageNextAction);
    EXPECT_EQ(m_pWizard->m_pgNextAction.m_hyperlink.GetHyperLink(), "https://software.corp.test/zsp");
    const std::string notice = testsupport::TextOf(Control(IDC_NOTICE));
    EXPECT_NE(notice.find("https://software.corp.test/zsp"), std::string::npos) << notice;
}

TEST_F(WizardPagesTest, CancelOnThePageAsksAndYesEndsOnTheFinishPage)
{
    g_bUserIsAdmin = FALSE;
    m_pWizard->SetActivePage(kPageNextAction);
    // Esc reaches the page even with Cancel disabled; No does nothing.
    std::string question;
    std::thread answerNo = AnswerMessageBox(IDNO, &question);
    Press(IDCANCEL);
    answerNo.join();
    EXPECT_EQ(question, "Do you want to stop the update?");
    EXPECT_EQ(m_pWizard->m_pCurrentPage, &m_pWizard->m_pgNextAction);

    std::thread answerYes = AnswerMessageBox(IDYES, &question);
    Press(IDCANCEL);
    answerYes.join();
    ASSERT_EQ(m_pWizard->m_pCurrentPage, &m_pWizard->m_pgFinish);
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(m_pWizard->m_pgFinish.m_hWnd, IDC_FINISH_TEXT)),
              testsupport::kFinishCancelled);
    EXPECT_EQ(EnabledButtons(), kButtonClose);
    EXPECT_EQ(StoredString("AvailableVersion"), "2.4.2.218");
    // The page that was left is hidden and disabled.
    EXPECT_FALSE(GetWindowLongA(Page1(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowEnabled(Page1()));
}

TEST_F(WizardPagesTest, TheBrowserHostCountsInTheLockCount)
{
    EXPECT_EQ(g_module.GetLockCount(), 0);
    m_pWizard->SetActivePage(kPageNextAction);
    EXPECT_GT(g_module.GetLockCount(), 0);
    m_pWizard->DestroyWindow();
    EXPECT_EQ(g_module.GetLockCount(), 0);
}

TEST_F(WizardPagesTest, ReleaseNotesOnlyFromWebAddresses)
{
    m_pWizard->m_releaseNotesUrl = "file:///C:/windows/win.ini";
    m_pWizard->SetActivePage(kPageNextAction);
    EXPECT_FALSE(m_pWizard->m_pgNextAction.m_spWebBrowser);
    EXPECT_NE(testsupport::TextOf(Control(IDC_BROWSER_HOST)).find("file:///C:/windows/win.ini"),
              std::string::npos);
    // The rest of the page works as ever.
    EXPECT_EQ(EnabledButtons(), kButtonNext | kButtonCancel);
}

TEST_F(WizardPagesTest, AFailedNavigationShowsTheAddressInstead)
{
    m_pWizard->SetActivePage(kPageNextAction);
    // Wine has no HTML engine here: the navigation fails and the page shows
    // the address in plain text instead of an empty hole.
    ASSERT_TRUE(PumpUntil(
        m_pWizard->m_hWnd,
        [&]() {
            return testsupport::TextOf(Control(IDC_BROWSER_HOST)).find("notes.html") !=
                   std::string::npos;
        },
        kWaitMs));
    EXPECT_FALSE(m_pWizard->m_pgNextAction.m_spWebBrowser);
}

// The pixels of an icon's colour image, to tell one icon from another.
std::string IconBits(HICON hIcon)
{
    ICONINFO info = {};
    if (hIcon == nullptr || !GetIconInfo(hIcon, &info))
        return std::string();
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
    std::string bits(static_cast<size_t>(bitmap.bmWidthBytes) * bitmap.bmHeight, '\0');
    GetBitmapBits(info.hbmColor, static_cast<LONG>(bits.size()), bits.data());
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits;
}

// What the finish page's message said when the page was being shown.
std::string g_textWhenShown;

LRESULT CALLBACK RecordFinishTextWhenShown(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg->message == WM_SHOWWINDOW && pMsg->wParam != FALSE)
        if (HWND hText = GetDlgItem(pMsg->hwnd, IDC_FINISH_TEXT))
            g_textWhenShown = testsupport::TextOf(hText);
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

TEST_F(WizardPagesTest, TheFinishPageShowsAHeaderAndAnIconForItsOutcome)
{
    g_textWhenShown = "(not shown)";
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROC, RecordFinishTextWhenShown, nullptr,
                                    GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);
    m_pWizard->FinishWithMessage(IDS_NO_NEW_VERSION);
    UnhookWindowsHookEx(hHook);
    // Whoever reads the page as it appears reads its message, never a blank.
    EXPECT_EQ(g_textWhenShown, "Vexil Junquell is up to date. There is no newer version to install.");
    HWND hPage = m_pWizard->m_pgFinish.m_hWnd;
    HWND hIcon = GetDlgItem(hPage, IDC_FINISH_ICON);
    RECT rc;
    GetClientRect(hIcon, &rc);
    auto expectIcon = [&](LPCSTR pszIcon) {
        const int cx = FittingIconSize(rc.right < rc.bottom ? rc.right : rc.bottom);
        fw::CIconHandle icon(static_cast<HICON>(LoadImageA(nullptr, pszIcon, IMAGE_ICON, cx, cx, 0)));
        EXPECT_EQ(IconBits(reinterpret_cast<HICON>(SendMessageA(hIcon, STM_GETICON, 0, 0))),
                  IconBits(icon.Get()));
    };
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(hPage, IDC_PAGE_HEADER)),
              "No update needed\nYou have the newest version of Vexil Junquell.");
    expectIcon(IDI_INFORMATION);
    m_pWizard->m_pCurrentPage->SetMessageId(IDS_UPDATE_FAILED);
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(hPage, IDC_PAGE_HEADER)),
              "The update did not complete\nNothing was installed.");
    expectIcon(IDI_WARNING);
    m_pWizard->m_pCurrentPage->SetMessageId(IDS_CANCELLED);
    expectIcon(IDI_WARNING);
}

constexpr UINT kMsgFailed = WM_APP + 7;
constexpr UINT kMsgLink = WM_APP + 8;
constexpr wchar_t kSinkNotes[] = L"http://h.test/zsp/notes.html";

// Fires an event of pDisp (the browser or a frame) at a sink as the browser
// does, arguments last first, and tells whether the sink cancelled it:
// BeforeNavigate2 to pszUrl, NewWindow3 of pszUrl, or another with pDisp only.
bool Fire(IDispatch* pSink, DISPID dispId, IDispatch* pDisp, const wchar_t* pszUrl = L"",
          LONG lNewWindowFlags = 0)
{
    const bool bNewWindow = dispId == DISPID_NEWWINDOW3;
    VARIANT url = {};
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(pszUrl);
    VARIANT_BOOL bCancel = VARIANT_FALSE;
    VARIANT args[7] = {};
    const UINT cArgs = dispId == DISPID_BEFORENAVIGATE2 ? 7 : bNewWindow ? 5 : 2;
    args[cArgs - 1].vt = VT_DISPATCH;
    args[cArgs - 1].pdispVal = pDisp;
    args[bNewWindow ? 3 : 0].vt = VT_BYREF | VT_BOOL;
    args[bNewWindow ? 3 : 0].pboolVal = &bCancel;
    args[5].vt = VT_BYREF | VT_VARIANT;
    args[5].pvarVal = &url;
    args[2].vt = VT_I4;
    args[2].lVal = lNewWindowFlags;
    if (bNewWindow)
        args[0] = url;
    DISPPARAMS params = {args, nullptr, cArgs, 0};
    pSink->Invoke(dispId, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    VariantClear(&url);
    return bCancel == VARIANT_TRUE;
}

bool Posted(HWND hWnd, UINT uMsg)
{
    MSG msg;
    return PeekMessageA(&msg, hWnd, uMsg, uMsg, PM_REMOVE) != FALSE;
}

// The page window that a sink posts to, and two sinks that serve as dispatch
// objects: one the browser, one a frame in it.
class BrowserEventSinkTest : public testing::Test
{
protected:
    BrowserEventSinkTest()
        : hPage(CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
    {
        browser.Attach(new CBrowserEventSink(nullptr, 0, 0, nullptr, L""));
        frame.Attach(new CBrowserEventSink(nullptr, 0, 0, nullptr, L""));
    }
    ~BrowserEventSinkTest() override { DestroyWindow(hPage); }

    HWND hPage;
    fw::CComPtr<CBrowserEventSink> browser;
    fw::CComPtr<CBrowserEventSink> frame;
};

// Only a failure of the top-level page before it arrived stands for notes
// that cannot be shown.
TEST_F(BrowserEventSinkTest, OnlyTheTopLevelPageBeforeItArrivedCounts)
{
    fw::CComPtr<CBrowserEventSink> sink;
    auto fire = [&](DISPID dispId, IDispatch* pDisp) {
        Fire(sink, dispId, pDisp);
        return Posted(hPage, kMsgFailed);
    };

    sink.Attach(new CBrowserEventSink(hPage, kMsgFailed, kMsgLink, browser, kSinkNotes));
    EXPECT_FALSE(fire(DISPID_NAVIGATEERROR, frame));
    EXPECT_TRUE(fire(DISPID_NAVIGATEERROR, browser));
    // Once the notes arrived, a link that fails inside them is the browser's.
    sink.Attach(new CBrowserEventSink(hPage, kMsgFailed, kMsgLink, browser, kSinkNotes));
    EXPECT_FALSE(fire(DISPID_NAVIGATECOMPLETE2, frame));
    EXPECT_TRUE(fire(DISPID_NAVIGATEERROR, browser));
    EXPECT_FALSE(fire(DISPID_NAVIGATECOMPLETE2, browser));
    EXPECT_FALSE(fire(DISPID_NAVIGATEERROR, browser));
}

// The browser goes to the notes and nowhere else, and opens no window; a
// web address the user follows from the arrived notes is offered to the
// page for the user's own browser.
TEST_F(BrowserEventSinkTest, TheBrowserStaysOnTheNotes)
{
    constexpr DISPID kGo = DISPID_BEFORENAVIGATE2;
    constexpr DISPID kWindow = DISPID_NEWWINDOW3;
    constexpr LONG kUser = 0x2;  // NWMF_USERINITED
    const struct
    {
        const char* pszWhat;
        DISPID dispId;
        bool bArrived;
        bool bFrame;
        const wchar_t* pszUrl;
        LONG lFlags;
        bool bCancelled;
        const char* pszLink;  // offered to the page, or null
    } cases[] = {
        {"the notes", kGo, false, false, kSinkNotes, 0, false, nullptr},
        {"a place in the notes", kGo, true, false, L"HTTP://H.test/zsp/notes.html#a", 0, false, 0},
        {"on before the notes arrived", kGo, false, false, L"http://h.test/b.html", 0, true, 0},
        {"a frame elsewhere", kGo, true, true, L"http://h.test/frame.html", 0, true, nullptr},
        {"a link", kGo, true, false, L"https://e.test/a.exe", 0, true, "https://e.test/a.exe"},
        {"an escaped link", kGo, true, false, L"https://e.test/a%20b", 0, true, "https://e.test/a%20b"},
        // A look-alike of a quote would become one in the code page, and the
        // browser's command line would take what follows as its arguments.
        {"a fullwidth quote", kGo, true, false,
         L"http://e.test/a\xFF02 --new-window \xFF02" L"file:///C:/x", 0, true, nullptr},
        {"a space", kGo, true, false, L"http://e.test/a --new-window", 0, true, nullptr},
        {"a file", kGo, true, false, L"file:///C:/windows/notepad.exe", 0, true, nullptr},
        {"a share", kGo, true, false, L"\\\\server\\share\\a.exe", 0, true, nullptr},
        {"script", kGo, true, false, L"javascript:alert(1)", 0, true, nullptr},
        {"a window", DISPID_NEWWINDOW2, true, false, L"", 0, true, nullptr},
        {"a window not the user's", kWindow, true, false, L"https://e.test/w.html", 0, true, 0},
        {"the user's window", kWindow, true, false, L"https://e.test/w.html", kUser, true,
         "https://e.test/w.html"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        fw::CComPtr<CBrowserEventSink> sink;
        sink.Attach(new CBrowserEventSink(hPage, kMsgFailed, kMsgLink, browser, kSinkNotes));
        if (c.bArrived)
            Fire(sink, DISPID_NAVIGATECOMPLETE2, browser);
        EXPECT_EQ(Fire(sink, c.dispId, c.bFrame ? frame : browser, c.pszUrl, c.lFlags),
                  c.bCancelled);
        EXPECT_EQ(Posted(hPage, kMsgLink), c.pszLink != nullptr);
        std::string link;
        EXPECT_EQ(sink->TakeLink(link), c.pszLink != nullptr);
        EXPECT_EQ(link, c.pszLink != nullptr ? c.pszLink : "");
    }
}

TEST_F(WizardPagesTest, TypedCharactersReachAFocusedEditOnce)
{
    m_pWizard->SetActivePage(kPageFinish);
    HWND hEdit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 100, 20,
                                 m_pWizard->m_pgFinish.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_NE(hEdit, nullptr);
    SetFocus(hEdit);
    PostMessageA(hEdit, WM_KEYDOWN, 'A', 0x001E0001);
    PostMessageA(hEdit, WM_KEYUP, 'A', 0xC01E0001);
    // The loop ends only once no other message is waiting, the characters
    // that the keys bring included.
    PostQuitMessage(0);
    m_pWizard->RunMessageLoop();
    EXPECT_EQ(testsupport::TextOf(hEdit), "a");
}

class WizardRetrievePageTest : public WizardPagesTest
{
protected:
    void SetUp() override
    {
        WizardPagesTest::SetUp();
        testsupport::ClearHttpRoot();
    }
    void TearDown() override
    {
        testsupport::ClearHttpRoot();
        WizardPagesTest::TearDown();
    }
};

TEST_F(WizardRetrievePageTest, UserWithoutRightsIsToldOfTheNewVersionAndItIsRemembered)
{
    g_bUserIsAdmin = FALSE;
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload", 5));
    testsupport::ServeFile("/zsp/update.txt", "2.5.1 1048576 " +
                                                  testsupport::HttpUrl("/zsp/notes.html") + " " +
                                                  testsupport::HttpUrl("/zsp/setup.exe"));
    m_pWizard->m_manual = false;
    m_pWizard->SetActivePage(kPageRetrieveUpdate);
    ASSERT_TRUE(PumpUntil(
        m_pWizard->m_hWnd,
        [&]() { return m_pWizard->m_pCurrentPage == &m_pWizard->m_pgNextAction; }, kWaitMs));
    EXPECT_TRUE(m_pWizard->IsWindowVisible());

    const std::string notice = testsupport::TextOf(Control(IDC_NOTICE));
    EXPECT_NE(notice.find("2.5.1.0"), std::string::npos) << notice;
    EXPECT_NE(notice.find(ZSP_TEST_DOWNLOAD_PAGE_URL), std::string::npos) << notice;
    EXPECT_EQ(StoredString("AvailableVersion"), "2.5.1.0");
    EXPECT_EQ(StoredQword("NotifyDownload"), 0u);
    EXPECT_EQ(testsupport::TextOf(Control(IDC_SIZE_LINE)), "Download size: 1.0 MB");
}

} // namespace

namespace {

// Vetoes the creation of the page dialogs of one wizard that do not exist
// yet, as an exhausted desktop heap would.
HWND g_hWizardToStarve = nullptr;

LRESULT CALLBACK RefusePageDialogs(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND)
    {
        const CREATESTRUCTA* pcs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (pcs->hwndParent == g_hWizardToStarve && pcs->lpszClass == MAKEINTRESOURCEA(32770))
            return 1;
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

} // namespace

TEST_F(WizardRetrievePageTest, AnUpdateThatCannotBeOfferedEndsOnTheFailureMessage)
{
    testsupport::ServeFile("/zsp/update.txt", "2.5.1 1048576 " +
                                                  testsupport::HttpUrl("/zsp/notes.html") + " " +
                                                  testsupport::HttpUrl("/zsp/setup.exe"));
    ASSERT_NE(m_pWizard->m_pgFinish.CreatePage(m_pWizard->m_hWnd, m_pWizard->m_rcPage), nullptr);
    m_pWizard->m_manual = true;
    m_pWizard->SetActivePage(kPageRetrieveUpdate);
    g_hWizardToStarve = m_pWizard->m_hWnd;
    HHOOK hHook = SetWindowsHookExA(WH_CBT, RefusePageDialogs, nullptr, GetCurrentThreadId());
    ASSERT_NE(hHook, nullptr);
    const bool bFinished = PumpUntil(
        m_pWizard->m_hWnd, [&]() { return m_pWizard->m_pCurrentPage == &m_pWizard->m_pgFinish; },
        kWaitMs);
    UnhookWindowsHookEx(hHook);
    ASSERT_TRUE(bFinished);
    EXPECT_EQ(testsupport::TextOf(GetDlgItem(m_pWizard->m_pgFinish.m_hWnd, IDC_FINISH_TEXT)),
              testsupport::kFinishFailed);
    EXPECT_EQ(EnabledButtons(), kButtonClose);
    EXPECT_TRUE(m_pWizard->IsWindowVisible());
}

// A run that ends while the check is still receiving takes the transfer
// down with it: the server sees the connection closed, and nothing calls
// back into the pages that are gone. (A server that sends nothing at all
// keeps its connection under Wine until the process ends, which a run does
// right after.)
TEST_F(WizardRetrievePageTest, ACheckStillRunningGoesWithTheWizard)
{
    testsupport::ServeFile("/zsp/update.txt", "2.5.1 1048576 a b" + std::string(1000, ' '),
                           "trickle 10 200");
    m_pWizard->m_manual = true;
    m_pWizard->SetActivePage(kPageRetrieveUpdate);
    // Gone once the answer has begun to come.
    const CPgUpdateRetrieveUpdate& page = m_pWizard->m_pgRetrieveUpdate;
    ASSERT_TRUE(PumpUntil(m_pWizard->m_hWnd, [&]() { return page.HttpStatus() == 200; }, kWaitMs));
    m_pWizard->DestroyWindow();
    delete m_pWizard;
    m_pWizard = nullptr;
    EXPECT_TRUE(PumpUntil(
        nullptr, []() { return !testsupport::HttpResponses().empty(); }, 10000));
    const auto responses = testsupport::HttpResponses();
    ASSERT_FALSE(responses.empty());
    EXPECT_TRUE(testsupport::JsonTrue(responses[0], "client_left")) << responses[0];
}

namespace {

// The shell opens web addresses with the program that the registry names
// for http: a stand-in there records the address it was given.
class NotesBrowserTest : public WizardRetrievePageTest
{
protected:
    static constexpr char kHttpOpenKey[] = "Software\\Classes\\http\\shell\\open\\command";

    void SetUp() override
    {
        WizardRetrievePageTest::SetUp();
        const std::filesystem::path browser = m_dir.Path() / "browser.exe";
        std::filesystem::copy_file(testsupport::BinDir() / "touch_helper.exe", browser);
        m_command.emplace(HKEY_LOCAL_MACHINE, kHttpOpenKey, "",
                          testsupport::Quoted(browser.string()) + " \"%1\"");
        ASSERT_TRUE(m_command->IsWritten());
    }

    testsupport::ScopedTempDir m_dir{"zsp-default-browser"};
    std::optional<testsupport::ScopedValue> m_command;
};

} // namespace

TEST_F(NotesBrowserTest, NothingButTheNotesIsFetchedAndTheUsersLinksOpenInTheirBrowser)
{
    testsupport::ServeFile("/zsp/notes.html", "<html><body>Fixes</body></html>");
    testsupport::ServeFile("/zsp/setup.exe", "MZ");
    m_pWizard->m_releaseNotesUrl = testsupport::HttpUrl("/zsp/notes.html");
    m_pWizard->SetActivePage(kPageNextAction);
    CPgUpdateNextAction& page = m_pWizard->m_pgNextAction;
    fw::CComPtr<IWebBrowser2> spBrowser = page.m_spWebBrowser;
    ASSERT_TRUE(spBrowser && page.m_spEventSink);
    // Before its first answer, the browser is sent on as the notes could.
    const std::string setup = testsupport::HttpUrl("/zsp/setup.exe");
    BSTR bstrUrl = SysAllocString(std::wstring(setup.begin(), setup.end()).c_str());
    VARIANT empty = {};
    spBrowser->Navigate(bstrUrl, &empty, &empty, &empty, &empty);
    SysFreeString(bstrUrl);
    // Posted messages come in order: once this window has gone, the browser
    // has taken up the navigation posted before.
    HWND hSentinel = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(PostMessageA(hSentinel, WM_CLOSE, 0, 0));
    // This Wine has no HTML engine: the notes fail once they have arrived.
    ASSERT_TRUE(PumpUntil(
        m_pWizard->m_hWnd, [&]() { return !page.m_spWebBrowser && !IsWindow(hSentinel); },
        kWaitMs));
    // A request that the browser had been let make left before this one.
    testsupport::Fetch(testsupport::HttpUrl("/zsp/sentinel.txt"));
    const auto requests = testsupport::HttpRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("\"path\": \"/zsp/notes.html\""), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("\"path\": \"/zsp/sentinel.txt\""), std::string::npos)
        << requests[1];

    // As if the notes had been shown and the user clicked a link in them.
    Fire(page.m_spEventSink, DISPID_NAVIGATECOMPLETE2, spBrowser);
    EXPECT_TRUE(Fire(page.m_spEventSink, DISPID_BEFORENAVIGATE2, spBrowser,
                     L"http://example.test/more.html"));
    const std::filesystem::path marker = m_dir.Path() / "browser.exe.ran";
    std::error_code ec;
    ASSERT_TRUE(PumpUntil(
        m_pWizard->m_hWnd, [&]() { return std::filesystem::file_size(marker, ec) > 0 && !ec; },
        kWaitMs));
    const std::string commandLine = testsupport::ReadFileBytes(marker);
    EXPECT_NE(commandLine.find("\"http://example.test/more.html\""), std::string::npos)
        << commandLine;
    EXPECT_EQ(m_pWizard->m_pCurrentPage, &m_pWizard->m_pgNextAction);
}
