#include "framework/hyperlink.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/paths.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"

namespace {

const char kColorsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const char kLinkColorName[] = "Anchor Color";
const char kVisitedColorName[] = "Anchor Color Visited";

constexpr int kLinkId = 100;
constexpr int kTextId = 101;
constexpr COLORREF kDialogBackground = RGB(200, 230, 200);
constexpr COLORREF kRegistryLink = RGB(10, 20, 30);
constexpr COLORREF kRegistryVisited = RGB(40, 50, 60);
constexpr DWORD kRunTimeoutMs = 10000;

// A dialog in memory as a page has it: the link's static, hidden until the
// link is set up; a static whose own text is to become a label; OK.
class DialogTemplate
{
public:
    DialogTemplate()
    {
        AddDword(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT);
        AddDword(0);
        m_words.push_back(0);  // the number of items, counted below
        AddRect(0, 0, 200, 80);
        m_words.push_back(0);  // no menu
        m_words.push_back(0);  // the standard class
        AddString(L"Link test");
        m_words.push_back(8);
        AddString(L"MS Shell Dlg");
        AddItem(kLinkId, 0x0082, SS_LEFT, L"Placeholder", 7, 7, 186, 10);
        AddItem(kTextId, 0x0082, SS_LEFT | WS_VISIBLE, L"Read the notes", 7, 20, 186, 10);
        AddItem(IDOK, 0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, L"OK", 7, 50, 50, 14);
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void AddDword(DWORD dw)
    {
        m_words.push_back(LOWORD(dw));
        m_words.push_back(HIWORD(dw));
    }
    void AddRect(short x, short y, short cx, short cy)
    {
        m_words.insert(m_words.end(), {static_cast<WORD>(x), static_cast<WORD>(y),
                                       static_cast<WORD>(cx), static_cast<WORD>(cy)});
    }
    void AddString(const wchar_t* psz)
    {
        do
            m_words.push_back(*psz);
        while (*psz++ != L'\0');
    }
    void AddItem(WORD wId, WORD wClassAtom, DWORD dwStyle, const wchar_t* pszText, short x,
                 short y, short cx, short cy)
    {
        if (m_words.size() % 2 != 0)
            m_words.push_back(0);
        AddDword(WS_CHILD | dwStyle);
        AddDword(0);
        AddRect(x, y, cx, cy);
        m_words.push_back(wId);
        m_words.push_back(0xFFFF);
        m_words.push_back(wClassAtom);
        AddString(pszText);
        m_words.push_back(0);  // no creation data
        ++m_words[4];
    }

    std::vector<WORD> m_words;
};

struct DialogState
{
    HBRUSH hBackground = nullptr;
    int nOkCommands = 0;
};

INT_PTR CALLBACK TestDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG)
    {
        SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
        return TRUE;
    }
    auto* pState = reinterpret_cast<DialogState*>(GetWindowLongPtrA(hDlg, DWLP_USER));
    if (pState == nullptr)
        return FALSE;
    if (uMsg == WM_CTLCOLORSTATIC)
        return reinterpret_cast<INT_PTR>(pState->hBackground);
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDOK)
    {
        ++pState->nOkCommands;
        return TRUE;
    }
    return FALSE;
}

// A copy of touch_helper.exe to open through the shell: each start leaves
// the marker beside it.
class ShellTarget
{
public:
    ShellTarget() : m_dir("hyperlink")
    {
        m_exe = m_dir.Path() / "target.exe";
        m_marker = m_dir.Path() / "target.exe.ran";
        std::error_code ec;
        std::filesystem::copy_file(testsupport::BinDir() / "touch_helper.exe", m_exe, ec);
    }
    ~ShellTarget()
    {
        // A started copy may still be ending; the folder goes once it has.
        testsupport::WaitUntil(
            [&]() {
                std::error_code ec;
                std::filesystem::remove(m_exe, ec);
                return !std::filesystem::exists(m_exe, ec);
            },
            kRunTimeoutMs);
    }

    std::string Path() const { return m_exe.string(); }
    bool WaitForRun() const
    {
        return testsupport::WaitUntil([&]() { return std::filesystem::exists(m_marker); },
                                      kRunTimeoutMs);
    }
    bool ForgetRun() const
    {
        return testsupport::WaitUntil(
            [&]() {
                std::error_code ec;
                return std::filesystem::remove(m_marker, ec) && !std::filesystem::exists(m_marker);
            },
            kRunTimeoutMs);
    }

private:
    testsupport::ScopedTempDir m_dir;
    std::filesystem::path m_exe;
    std::filesystem::path m_marker;
};

struct ToolInfo
{
    UINT uFlags = 0;
    HWND hWnd = nullptr;
    RECT rect = {};
    std::string text;
};

// The tooltip windows of this process and their first tool.
std::vector<HWND> ToolTipsOfProcess()
{
    std::vector<HWND> result;
    for (HWND hWnd : testsupport::TopLevelWindowsOf(GetCurrentProcessId(), false))
    {
        if (testsupport::ClassNameOf(hWnd) == TOOLTIPS_CLASSA)
            result.push_back(hWnd);
    }
    return result;
}

ToolInfo FirstTool(HWND hWndTip)
{
    char szText[512] = {};
    TTTOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.lpszText = szText;
    ToolInfo info;
    if (SendMessageA(hWndTip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti)))
        info = {ti.uFlags, ti.hwnd, ti.rect, szText};
    return info;
}

// The control's client area as it paints itself, one COLORREF a pixel.
std::vector<COLORREF> Render(HWND hWnd)
{
    RECT rc = {};
    GetClientRect(hWnd, &rc);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = rc.right;
    bmi.bmiHeader.biHeight = -rc.bottom;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hdc = CreateCompatibleDC(nullptr);
    HBITMAP hBitmap = CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    std::vector<COLORREF> pixels;
    if (hdc != nullptr && hBitmap != nullptr)
    {
        HGDIOBJ hOld = SelectObject(hdc, hBitmap);
        SendMessageA(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
        GdiFlush();
        const auto* pRgb = static_cast<const DWORD*>(pBits);
        for (LONG i = 0; i < rc.right * rc.bottom; ++i)
            pixels.push_back(RGB((pRgb[i] >> 16) & 0xFF, (pRgb[i] >> 8) & 0xFF, pRgb[i] & 0xFF));
        SelectObject(hdc, hOld);
    }
    if (hBitmap != nullptr)
        DeleteObject(hBitmap);
    if (hdc != nullptr)
        DeleteDC(hdc);
    return pixels;
}

size_t CountOf(const std::vector<COLORREF>& pixels, COLORREF clr)
{
    size_t n = 0;
    for (COLORREF pixel : pixels)
        n += pixel == clr ? 1 : 0;
    return n;
}

LPARAM ClientPoint(POINT pt)
{
    return MAKELPARAM(pt.x, pt.y);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The user's link colours are saved, cleared for the test and put back.
class HyperLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bKeyExisted = testsupport::KeyExists(HKEY_CURRENT_USER, kColorsKey);
        m_savedLink = testsupport::ReadValue(HKEY_CURRENT_USER, kColorsKey, kLinkColorName);
        m_savedVisited = testsupport::ReadValue(HKEY_CURRENT_USER, kColorsKey, kVisitedColorName);
        DeleteColorValues();
        m_state.hBackground = CreateSolidBrush(kDialogBackground);
    }

    void TearDown() override
    {
        if (m_hDlg != nullptr)
            DestroyWindow(m_hDlg);
        DeleteObject(m_state.hBackground);
        DeleteColorValues();
        Restore(kLinkColorName, m_savedLink);
        Restore(kVisitedColorName, m_savedVisited);
        if (!m_bKeyExisted)
            testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kColorsKey);
    }

    static void DeleteColorValues()
    {
        fw::CRegKeyHandle key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kColorsKey, 0, KEY_SET_VALUE, key.Receive()) !=
            ERROR_SUCCESS)
            return;
        RegDeleteValueA(key.Get(), kLinkColorName);
        RegDeleteValueA(key.Get(), kVisitedColorName);
    }

    static void Restore(const char* pszName, const std::optional<testsupport::RegistryValue>& value)
    {
        if (value)
            testsupport::WriteValue(HKEY_CURRENT_USER, kColorsKey, pszName, value->type,
                                    value->data.data(), static_cast<DWORD>(value->data.size()));
    }

    static void WriteColors(const char* pszLink, const char* pszVisited)
    {
        ASSERT_TRUE(
            testsupport::WriteString(HKEY_CURRENT_USER, kColorsKey, kLinkColorName, pszLink));
        ASSERT_TRUE(
            testsupport::WriteString(HKEY_CURRENT_USER, kColorsKey, kVisitedColorName, pszVisited));
    }

    HWND CreateTestDialog()
    {
        if (m_hDlg != nullptr)
            DestroyWindow(m_hDlg);
        m_state.nOkCommands = 0;
        m_hDlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), m_template.Get(), nullptr,
                                            TestDialogProc, reinterpret_cast<LPARAM>(&m_state));
        if (m_hDlg != nullptr)
            ShowWindow(m_hDlg, SW_SHOW);
        Pump();
        return m_hDlg;
    }

    // In the page's order: target, label, subclass, then show.
    void AttachLink(fw::CHyperLink& link, const std::string& target, const char* pszLabel)
    {
        ASSERT_NE(CreateTestDialog(), nullptr);
        const HWND hStatic = GetDlgItem(m_hDlg, kLinkId);
        ASSERT_TRUE(link.SetHyperLink(target.c_str()));
        ASSERT_TRUE(link.SetLabel(pszLabel));
        ASSERT_TRUE(link.SubclassWindow(hStatic));
        ShowWindow(hStatic, SW_SHOW);
        Pump();
    }

    // A point on the label's first letter, and one on the control right of
    // the label's end.
    POINT OnLabel() const { return {3, 5}; }
    POINT BesideLabel() const
    {
        RECT rc = {};
        GetClientRect(m_link, &rc);
        return {rc.right - 3, 5};
    }

    // Moves the dialog so that the point of the link lies under the mouse.
    // The dialog moves rather than the mouse: under Wine a pointer moved by
    // SetCursorPos may report its old place for a while.
    void PutUnderPointer(POINT ptClient)
    {
        POINT ptCursor = {};
        GetCursorPos(&ptCursor);
        POINT ptScreen = ptClient;
        ClientToScreen(m_link, &ptScreen);
        RECT rcDialog = {};
        GetWindowRect(m_hDlg, &rcDialog);
        SetWindowPos(m_hDlg, nullptr, rcDialog.left + ptCursor.x - ptScreen.x,
                     rcDialog.top + ptCursor.y - ptScreen.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    BOOL DialogMessage(UINT uMsg, WPARAM wParam, LPARAM lParam = 1)
    {
        MSG msg = {GetFocus(), uMsg, wParam, lParam};
        const BOOL bResult = IsDialogMessageA(m_hDlg, &msg);
        Pump();
        return bResult;
    }

    DialogTemplate m_template;
    DialogState m_state;
    HWND m_hDlg = nullptr;
    fw::CHyperLink m_link;
    bool m_bKeyExisted = false;
    std::optional<testsupport::RegistryValue> m_savedLink;
    std::optional<testsupport::RegistryValue> m_savedVisited;
};

TEST_F(HyperLinkTest, SubclassedStaticShowsTheLabelInTheUnderlinedDialogFont)
{
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, "http://127.0.0.1/notes", "See the release notes"));
    const HWND hStatic = GetDlgItem(m_hDlg, kLinkId);
    EXPECT_EQ(m_link.m_hWnd, hStatic);
    EXPECT_EQ(testsupport::TextOf(hStatic), "See the release notes");
    EXPECT_EQ(m_link.GetLabel(), "See the release notes");
    EXPECT_EQ(m_link.GetHyperLink(), "http://127.0.0.1/notes");
    const LONG lStyle = GetWindowLongA(hStatic, GWL_STYLE);
    EXPECT_TRUE(lStyle & WS_TABSTOP);
    EXPECT_TRUE(lStyle & SS_NOTIFY);

    LOGFONTA lfDialog = {}, lfLink = {};
    ASSERT_NE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(m_hDlg, WM_GETFONT, 0, 0)),
                         sizeof(lfDialog), &lfDialog),
              0);
    ASSERT_NE(GetObjectA(m_link.GetLinkFont(), sizeof(lfLink), &lfLink), 0);
    EXPECT_TRUE(lfLink.lfUnderline);
    EXPECT_EQ(lfLink.lfHeight, lfDialog.lfHeight);
    EXPECT_EQ(lfLink.lfWeight, lfDialog.lfWeight);
    EXPECT_STREQ(lfLink.lfFaceName, lfDialog.lfFaceName);

    // A label changed later, by either way, is the text and what is drawn.
    ASSERT_TRUE(m_link.SetLabel("Download page"));
    EXPECT_EQ(testsupport::TextOf(hStatic), "Download page");
    SetWindowTextA(hStatic, "Help");
    EXPECT_EQ(m_link.GetLabel(), "Help");
    EXPECT_EQ(testsupport::TextOf(hStatic), "Help");

    // Without a label of its own the link takes the static's text.
    fw::CHyperLink plain;
    ASSERT_TRUE(plain.SubclassWindow(GetDlgItem(m_hDlg, kTextId)));
    EXPECT_EQ(plain.GetLabel(), "Read the notes");
    EXPECT_FALSE(plain.SubclassWindow(hStatic));
    DestroyWindow(m_hDlg);
    m_hDlg = nullptr;
}

TEST_F(HyperLinkTest, ShowsItsTargetAsATooltipOverTheControl)
{
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, "http://127.0.0.1/download", "Download page"));
    const std::vector<HWND> tips = ToolTipsOfProcess();
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(SendMessageA(tips[0], TTM_GETTOOLCOUNT, 0, 0), 1);
    ToolInfo tool = FirstTool(tips[0]);
    EXPECT_EQ(tool.hWnd, m_link.m_hWnd);
    EXPECT_TRUE(tool.uFlags & TTF_SUBCLASS);
    RECT rcClient = {};
    GetClientRect(m_link, &rcClient);
    EXPECT_TRUE(EqualRect(&tool.rect, &rcClient));
    EXPECT_EQ(tool.text, "http://127.0.0.1/download");

    ASSERT_TRUE(m_link.SetHyperLink("http://127.0.0.1/other"));
    EXPECT_EQ(FirstTool(tips[0]).text, "http://127.0.0.1/other");

    // The tool follows the control's size.
    SetWindowPos(m_link, nullptr, 0, 0, 90, 20, SWP_NOMOVE | SWP_NOZORDER);
    tool = FirstTool(tips[0]);
    EXPECT_EQ(tool.rect.right, 90);
    EXPECT_EQ(tool.rect.bottom, 20);
}

TEST_F(HyperLinkTest, DrawsTheLabelInTheRegistryColourOnTheDialogBackground)
{
    ASSERT_NO_FATAL_FAILURE(WriteColors("10,20,30", "40,50,60"));
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, "http://127.0.0.1/download", "Download page"));
    EXPECT_EQ(m_link.GetLabelColor(), kRegistryLink);

    const std::vector<COLORREF> unfocused = Render(m_link);
    ASSERT_FALSE(unfocused.empty());
    EXPECT_GT(CountOf(unfocused, kRegistryLink), 20u);
    EXPECT_EQ(CountOf(unfocused, kRegistryVisited), 0u);
    EXPECT_EQ(CountOf(unfocused, fw::CHyperLink::kDefaultLinkColor), 0u);
    // What is not the label is the dialog's own background.
    EXPECT_EQ(unfocused.back(), kDialogBackground);
    EXPECT_GT(CountOf(unfocused, kDialogBackground), unfocused.size() / 2);

    // Focused, it adds its focus rectangle.
    SetFocus(m_link);
    Pump();
    ASSERT_EQ(GetFocus(), m_link.m_hWnd);
    EXPECT_NE(Render(m_link), unfocused);
    SetFocus(GetDlgItem(m_hDlg, IDOK));
    EXPECT_EQ(Render(m_link), unfocused);

    // Disabled, it is grey text like any other.
    EnableWindow(m_link, FALSE);
    EXPECT_EQ(m_link.GetLabelColor(), GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(CountOf(Render(m_link), kRegistryLink), 0u);
}

TEST_F(HyperLinkTest, MalformedOrMissingColoursFallBackToTheDefaults)
{
    const std::vector<std::optional<std::string>> values = {
        std::nullopt, "",       "10,20",    "10,20,30,40", "a,b,c", "10,20,256",
        "10, 20, 30", "-1,2,3", "10,,30",   "0010,20,30",  "10,20,30,", ",10,20,30"};
    for (const auto& value : values)
    {
        SCOPED_TRACE(value ? "\"" + *value + "\"" : "no value");
        DeleteColorValues();
        if (value)
        {
            ASSERT_NO_FATAL_FAILURE(WriteColors(value->c_str(), value->c_str()));
        }
        fw::CHyperLink link;
        ASSERT_NO_FATAL_FAILURE(AttachLink(link, "http://127.0.0.1/", "Link"));
        EXPECT_EQ(link.GetLabelColor(), fw::CHyperLink::kDefaultLinkColor);
        DestroyWindow(m_hDlg);
        m_hDlg = nullptr;
    }

    // A value of another type is no colour either; the visited colour then
    // is the default one too.
    ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kColorsKey, kLinkColorName, 0x00FF00));
    ASSERT_TRUE(
        testsupport::WriteDword(HKEY_CURRENT_USER, kColorsKey, kVisitedColorName, 0x00FF00));
    ShellTarget target;
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, target.Path(), "Link"));
    EXPECT_EQ(m_link.GetLabelColor(), fw::CHyperLink::kDefaultLinkColor);
    ASSERT_TRUE(m_link.Navigate());
    EXPECT_TRUE(target.WaitForRun());
    EXPECT_EQ(m_link.GetLabelColor(), fw::CHyperLink::kDefaultVisitedColor);
}

TEST_F(HyperLinkTest, ShowsTheHandOverTheLabelOnly)
{
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, "http://127.0.0.1/", "Link"));
    const HCURSOR hHand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(hHand, nullptr);
    // The cursor the control sets when the mouse stands at that point of it.
    auto cursorAt = [&](POINT ptClient) {
        PutUnderPointer(ptClient);
        SetCursor(nullptr);
        const LRESULT lResult = SendMessageA(m_link, WM_SETCURSOR,
                                             reinterpret_cast<WPARAM>(m_link.m_hWnd),
                                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return lResult ? GetCursor() : nullptr;
    };
    EXPECT_TRUE(testsupport::WaitUntil([&]() { return cursorAt(OnLabel()) == hHand; }, 2000));
    // Beside it the static's own answer stands (under Wine: none).
    EXPECT_TRUE(testsupport::WaitUntil([&]() { return cursorAt(BesideLabel()) != hHand; }, 2000));
}

TEST_F(HyperLinkTest, AClickOnTheLabelOpensTheTargetAndMarksItVisited)
{
    ASSERT_NO_FATAL_FAILURE(WriteColors("10,20,30", "40,50,60"));
    ShellTarget target;
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, target.Path(), "Download page"));

    // Neither a press beside the label nor one released beside it is a click.
    SendMessageA(m_link, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(BesideLabel()));
    SendMessageA(m_link, WM_LBUTTONUP, 0, ClientPoint(BesideLabel()));
    EXPECT_NE(GetFocus(), m_link.m_hWnd);
    SendMessageA(m_link, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(OnLabel()));
    EXPECT_EQ(GetFocus(), m_link.m_hWnd);
    SendMessageA(m_link, WM_LBUTTONUP, 0, ClientPoint(BesideLabel()));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(m_link.GetLabelColor(), kRegistryLink);

    SendMessageA(m_link, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(OnLabel()));
    SendMessageA(m_link, WM_LBUTTONUP, 0, ClientPoint(OnLabel()));
    EXPECT_TRUE(target.WaitForRun());
    EXPECT_EQ(m_link.GetLabelColor(), kRegistryVisited);
    const std::vector<COLORREF> pixels = Render(m_link);
    EXPECT_GT(CountOf(pixels, kRegistryVisited), 20u);
    EXPECT_EQ(CountOf(pixels, kRegistryLink), 0u);
}

TEST_F(HyperLinkTest, TabReachesItAndEnterOrSpaceOpensTheTarget)
{
    ShellTarget target;
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, target.Path(), "Download page"));

    // Only Enter is asked of the dialog; Tab and the rest stay its own.
    MSG msg = {m_link, WM_KEYDOWN, VK_RETURN, 1};
    EXPECT_EQ(SendMessageA(m_link, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&msg)),
              DLGC_WANTMESSAGE);
    msg = {m_link, WM_CHAR, VK_RETURN, 1};
    EXPECT_EQ(SendMessageA(m_link, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&msg)),
              DLGC_WANTMESSAGE);
    msg = {m_link, WM_KEYDOWN, VK_TAB, 1};
    EXPECT_EQ(SendMessageA(m_link, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&msg)),
              DLGC_WANTCHARS);
    EXPECT_EQ(SendMessageA(m_link, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);

    // Enter on the button is still the dialog's.
    SetFocus(GetDlgItem(m_hDlg, IDOK));
    EXPECT_TRUE(DialogMessage(WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(m_state.nOkCommands, 1);

    EXPECT_TRUE(DialogMessage(WM_KEYDOWN, VK_TAB));
    ASSERT_EQ(GetFocus(), m_link.m_hWnd);

    // A key held down opens nothing more than its first press did.
    DialogMessage(WM_KEYDOWN, VK_RETURN, 1 | (1 << 30));
    EXPECT_EQ(m_link.GetLabelColor(), fw::CHyperLink::kDefaultLinkColor);

    EXPECT_TRUE(DialogMessage(WM_KEYDOWN, VK_RETURN));
    EXPECT_TRUE(target.WaitForRun());
    EXPECT_EQ(m_state.nOkCommands, 1);
    EXPECT_EQ(m_link.GetLabelColor(), fw::CHyperLink::kDefaultVisitedColor);

    ASSERT_TRUE(target.ForgetRun());
    EXPECT_TRUE(DialogMessage(WM_KEYDOWN, VK_SPACE));
    EXPECT_TRUE(target.WaitForRun());

    EXPECT_TRUE(DialogMessage(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(GetFocus(), GetDlgItem(m_hDlg, IDOK));
}

TEST_F(HyperLinkTest, ReleasesItsTooltipAndFontWithTheControl)
{
    ASSERT_NO_FATAL_FAILURE(AttachLink(m_link, "http://127.0.0.1/", "Link"));
    const std::vector<HWND> tips = ToolTipsOfProcess();
    ASSERT_EQ(tips.size(), 1u);
    const HFONT hFont = m_link.GetLinkFont();
    ASSERT_EQ(GetObjectType(hFont), static_cast<DWORD>(OBJ_FONT));
    DestroyWindow(m_hDlg);
    m_hDlg = nullptr;
    EXPECT_FALSE(IsWindow(tips[0]));
    EXPECT_EQ(GetObjectType(hFont), 0u);
    EXPECT_EQ(m_link.m_hWnd, nullptr);
    EXPECT_EQ(m_link.GetLinkFont(), nullptr);

    // An object that goes before its control gives the control back to the
    // static's own procedure.
    ASSERT_NE(CreateTestDialog(), nullptr);
    const HWND hStatic = GetDlgItem(m_hDlg, kTextId);
    const LONG_PTR staticProc = GetWindowLongPtrA(hStatic, GWLP_WNDPROC);
    {
        fw::CHyperLink link;
        ASSERT_TRUE(link.SetLabel("Temporary"));
        ASSERT_TRUE(link.SubclassWindow(hStatic));
        EXPECT_EQ(ToolTipsOfProcess().size(), 1u);
    }
    EXPECT_TRUE(ToolTipsOfProcess().empty());
    EXPECT_EQ(GetWindowLongPtrA(hStatic, GWLP_WNDPROC), staticProc);
    RedrawWindow(hStatic, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(testsupport::TextOf(hStatic), "Temporary");
}

} // namespace
