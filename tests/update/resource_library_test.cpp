// The resource libraries, English beside the updater, German in de\ and
// Russian in ru\, as the updater loads them: every dialog with its controls,
// every string with the arguments its callers pass, room for every text at the
// DPI of the run and at 144 and 192 DPI, and no mnemonic twice on a page.
// The updater reads its texts in the system's ANSI code page, so each library
// is checked in a run whose code page is its language's (1252 for English and
// German, 1251 for Russian: tests/update/CMakeLists.txt); in a run of another
// code page its cases are skipped.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "update/exe_module.h"
#include "update/resource_ids.h"
#include "update/resource_mgr.h"
#include "update/wizard/progress_figures.h"
#include "update/wizard/wizard_header.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    return uMsg == WM_INITDIALOG ? TRUE : FALSE;
}

// Every string the updater loads, with the printf conversions its callers
// pass, in order.
struct StringSpec
{
    UINT uId;
    const char* pszConversions;
};
const StringSpec kStrings[] = {
    {IDS_UPDATE_INFO_URL, ""},      {IDS_DOWNLOAD_PAGE_URL, ""},    {IDS_CONFIRM_CANCEL, ""},
    {IDS_NO_CONNECTION, ""},        {IDS_NO_NEW_VERSION, ""},       {IDS_UPDATE_FAILED, ""},
    {IDS_VERSION_LINE, "s"},        {IDS_SIZE_LINE, ".1f"},         {IDS_CANCELLED, ""},
    {IDS_NO_ADMIN_NOTICE, "ss"},    {IDS_DOWNLOAD_PAGE_LABEL, ""},  {IDS_FAIL_UNREACHABLE, ""},
    {IDS_FAIL_HTTP_STATUS, "us"},   {IDS_FAIL_STALLED, ""},         {IDS_FAIL_INFO_UNREADABLE, ""},
    {IDS_FAIL_SIGNATURE, ""},       {IDS_FAIL_DIGEST, ""},          {IDS_FAIL_TOO_LARGE, "ss"},
    {IDS_FAIL_TOO_SMALL, "ss"},     {IDS_FAIL_SAVE, "s"},           {IDS_FAIL_START, "s"},
    {IDS_WAITING_FOR_SERVER, ""},   {IDS_NOTES_UNAVAILABLE, "s"},
    {IDS_FINISH_HEADER_OFFLINE, ""}, {IDS_FINISH_HEADER_UP_TO_DATE, ""},
    {IDS_FINISH_HEADER_FAILED, ""}, {IDS_FINISH_HEADER_CANCELLED, ""},
    {IDS_SIZE_BYTES, "u"},          {IDS_SIZE_KB, "s"},     {IDS_SIZE_MB, "s"},
    {IDS_SIZE_GB, "s"},     {IDS_FIGURES_RECEIVED, "s"},    {IDS_FIGURES_OF, "ss"},
    {IDS_FIGURES_OF_TIME_LEFT, "sss"}, {IDS_TIME_LEFT_SECONDS, "u"}, {IDS_TIME_LEFT_MINUTE, ""},
    {IDS_TIME_LEFT_MINUTES, "u"},   {IDS_TIME_LEFT_HOUR, ""},       {IDS_TIME_LEFT_HOURS, "u"},
    {IDS_CLOSE_HOLDER, "s"},        {IDS_CLOSE_HOLDERS, "s"},
    {IDS_FAIL_EXPIRED, "s"},        {IDS_FAIL_ROLLED_BACK, "ss"},   {IDS_FAIL_NOT_WEB_ADDRESS, ""},
    {IDS_FAIL_INSECURE_ADDRESS, ""},
    {IDS_FAIL_REPLACED, ""},        {IDS_FAIL_FOLDER_NOT_EMPTY, "s"},
    {IDS_NOTES_NOT_SECURE, "s"},    {IDS_UPDATE_UNTRUSTED, ""},     {IDS_FAIL_NO_EXPIRY, ""},
    {IDS_RETRYING, "u"},            {IDS_FAIL_AT_ADDRESS, "ss"},
    {IDS_UPDATES_TURNED_OFF, ""},   {IDS_FINISH_HEADER_TURNED_OFF, ""}, {IDS_POLICY_HELD_AT, "ss"},
    {IDS_PENDING_NOT_INSTALLED, "ss"},
};

// The conversions of a printf format, each without its %: "s", ".1f".
std::string Conversions(const std::string& format)
{
    std::string result;
    for (size_t i = format.find('%'); i != std::string::npos; i = format.find('%', i + 1))
    {
        if (format[i + 1] == '%')
        {
            ++i;
            continue;
        }
        const size_t nEnd = format.find_first_of("csdiuxXfeEgGp", i + 1);
        result += format.substr(i + 1, nEnd - i);
        i = nEnd;
    }
    return result;
}

bool TakesConversions(const std::string& format, const char* pszConversions)
{
    const std::string conversions = Conversions(format);
    return conversions == pszConversions;
}

// A library and the ANSI code page of the Windows of its language. The
// system's texts are Windows' own in that language, the longest that a
// failure line quotes (ERROR_SHARING_VIOLATION), and the long date and time
// of the longest day.
struct Library
{
    const char* pszName;
    const char* pszPath;
    UINT uCodePage;
    const wchar_t* pszSystemText;
    const wchar_t* pszLongDate;
};
const Library kLibraries[] = {
    {"en", "res.dll", 1252,
     L"The process cannot access the file because it is being used by another process.",
     L"Wednesday, 31 December 2099 23:59"},
    {"de", "de\\res.dll", 1252,
     L"Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess "
     L"verwendet wird.",
     L"Mittwoch, 31. Dezember 2099 23:59"},
    {"ru", "ru\\res.dll", 1251,
     L"Процесс не может получить доступ к файлу, так как этот файл занят другим процессом.",
     L"среда, 31 декабря 2099 г. 23:59"},
};

std::string AnsiOf(const wchar_t* pszText)
{
    char szText[600] = {};
    WideCharToMultiByte(CP_ACP, 0, pszText, -1, szText, sizeof(szText) - 1, nullptr, nullptr);
    return szText;
}

// The letter that a mnemonic stands for, in either case.
int MnemonicLetter(char chLetter)
{
    char szLetter[2] = {chLetter, '\0'};
    CharLowerBuffA(szLetter, 1);
    return static_cast<unsigned char>(szLetter[0]);
}

std::vector<HWND> ChildrenOf(HWND hParent)
{
    std::vector<HWND> children;
    for (HWND hChild = GetWindow(hParent, GW_CHILD); hChild != nullptr;
         hChild = GetWindow(hChild, GW_HWNDNEXT))
        children.push_back(hChild);
    return children;
}

class ResourceLibraryTest : public ::testing::TestWithParam<Library>
{
protected:
    static void SetUpTestSuite()
    {
        static fw::ObjMapEntry s_objectMap[] = {{nullptr, nullptr, 0}};
        g_module.Init(s_objectMap, GetModuleHandleA(nullptr), nullptr);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        RegisterWizardHeaderClass();
        // The browser host control of the next-action page; the real one
        // belongs to the updater.
        WNDCLASSA wc = {};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "AtlAxWin90";
        RegisterClassA(&wc);
    }

    void SetUp() override
    {
        if (GetACP() != GetParam().uCodePage)
            GTEST_SKIP() << "shown in code page " << GetParam().uCodePage << ", this run has "
                         << GetACP();
        m_hLib = LoadLibraryA((testsupport::BinDir() / GetParam().pszPath).string().c_str());
        ASSERT_NE(m_hLib, nullptr);
        m_hPrevious = g_module.SetResourceInstance(m_hLib);
    }

    void TearDown() override
    {
        for (HWND hWnd : m_windows)
            DestroyWindow(hWnd);
        g_module.SetResourceInstance(m_hPrevious);
        if (m_hLib != nullptr)
            FreeLibrary(m_hLib);
    }

    HWND Create(int nId, HWND hParent)
    {
        HWND hWnd = CreateDialogParamA(m_hLib, MAKEINTRESOURCEA(nId), hParent, PlainDialogProc, 0);
        if (hWnd != nullptr && hParent == nullptr)
            m_windows.push_back(hWnd);
        return hWnd;
    }

    std::string StringOf(UINT uId)
    {
        char szText[1024] = {};
        LoadStringA(m_hLib, uId, szText, sizeof(szText));
        return szText;
    }

    // Whether the ANSI code page has every character of the string, so that
    // none comes out as '?'.
    bool HeldByCodePage(UINT uId)
    {
        const wchar_t* pszText = nullptr;
        const int cch = LoadStringW(m_hLib, uId, reinterpret_cast<LPWSTR>(&pszText), 0);
        BOOL bDefaultUsed = FALSE;
        char szText[1024];
        return cch > 0 && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, pszText, cch, szText,
                                              sizeof(szText), nullptr, &bDefaultUsed) == cch &&
               !bDefaultUsed;
    }

    // The string as a printf format with the arguments that follow.
    std::string Format(UINT uId, ...)
    {
        char szText[600] = {};
        va_list args;
        va_start(args, uId);
        std::vsnprintf(szText, sizeof(szText), StringOf(uId).c_str(), args);
        va_end(args);
        return szText;
    }

    static void ExpectControl(HWND hDlg, int nId, const char* pszClass, bool bVisible)
    {
        HWND hCtl = GetDlgItem(hDlg, nId);
        ASSERT_NE(hCtl, nullptr) << "control " << nId;
        EXPECT_STRCASEEQ(testsupport::ClassNameOf(hCtl).c_str(), pszClass) << "control " << nId;
        EXPECT_EQ((GetWindowLongA(hCtl, GWL_STYLE) & WS_VISIBLE) != 0, bVisible)
            << "control " << nId;
    }

    // Whether the control's text, drawn as the control draws it, has room.
    static void ExpectTextFits(HWND hCtl)
    {
        const std::string cls = testsupport::ClassNameOf(hCtl);
        const std::string text = testsupport::TextOf(hCtl);
        const LONG lStyle = GetWindowLongA(hCtl, GWL_STYLE);
        SCOPED_TRACE(text);
        if (cls == kWizardHeaderClass)
        {
            WizardHeaderLayout layout = {};
            ASSERT_TRUE(LayOutWizardHeader(hCtl, layout));
            EXPECT_LE(layout.cxTitleNeeded, layout.rcTitle.right - layout.rcTitle.left);
            EXPECT_LE(layout.cySubtitleNeeded, layout.rcSubtitle.bottom - layout.rcSubtitle.top);
            return;
        }
        const bool bStatic = cls == "Static" && (lStyle & SS_TYPEMASK) <= SS_RIGHT;
        if (text.empty() || (!bStatic && cls != "Button"))
            return;
        RECT rcClient;
        GetClientRect(hCtl, &rcClient);
        // A button's frame or a radio button's circle take room from the text.
        RECT rcText = {0, 0, rcClient.right - (bStatic ? 0 : GetSystemMetrics(SM_CXMENUCHECK) + 4), 0};
        const int cxRoom = rcText.right;
        HDC hdc = GetDC(hCtl);
        SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageA(hCtl, WM_GETFONT, 0, 0)));
        DrawTextA(hdc, text.c_str(), -1, &rcText,
                  DT_CALCRECT | (bStatic ? DT_WORDBREAK : DT_SINGLELINE) |
                      ((lStyle & SS_NOPREFIX) && bStatic ? DT_NOPREFIX : 0));
        ReleaseDC(hCtl, hdc);
        EXPECT_LE(rcText.right, cxRoom);
        EXPECT_LE(rcText.bottom, rcClient.bottom);
    }

    // The texts that the updater puts into its controls, the longest it can.
    std::map<int, std::vector<std::string>> LongestTexts()
    {
        const std::string size = Format(IDS_SIZE_MB, FormatOneDecimal(1023.9).c_str());
        const std::string systemText = AnsiOf(GetParam().pszSystemText);
        // Four numbers of the most digits "%d" writes.
        const char kLongestVersion[] = "-2147483648.-2147483648.-2147483648.-2147483648";
        std::map<int, std::vector<std::string>> texts = {
            {IDC_RETRIEVE_STATUS, {StringOf(IDS_WAITING_FOR_SERVER)}},
            {IDC_VERSION_LINE, {Format(IDS_VERSION_LINE, "2.5.0.301")}},
            {IDC_SIZE_LINE, {Format(IDS_SIZE_LINE, 4095.9)}},
            {IDC_NOTICE, {Format(IDS_NO_ADMIN_NOTICE, "2.5.0.301",
                                 StringOf(IDS_DOWNLOAD_PAGE_URL).c_str())}},
            {IDC_HYPERLINK, {StringOf(IDS_DOWNLOAD_PAGE_LABEL)}},
            {IDC_PENDING_LINE, {Format(IDS_PENDING_NOT_INSTALLED, "2.5.0.301",
                                       AnsiOf(GetParam().pszLongDate).c_str())}},
            {IDC_DOWNLOAD_FIGURES, {Format(IDS_FIGURES_OF_TIME_LEFT, size.c_str(), size.c_str(),
                                           Format(IDS_TIME_LEFT_MINUTES, 59u).c_str()),
                                    Format(IDS_CLOSE_HOLDER, "Kestrix! Mail and Calendar"),
                                    Format(IDS_CLOSE_HOLDERS, "Kestrix!, Kestrix! Address Book")}},
            {IDC_FINISH_TEXT, {StringOf(IDS_NO_CONNECTION), StringOf(IDS_NO_NEW_VERSION),
                               StringOf(IDS_UPDATE_FAILED), StringOf(IDS_CANCELLED),
                               StringOf(IDS_UPDATES_TURNED_OFF)}},
            {IDC_FINISH_DETAIL, {Format(IDS_FAIL_HTTP_STATUS, 503u, "Service Unavailable"),
                                 Format(IDS_FAIL_TOO_LARGE, size.c_str(), size.c_str()),
                                 Format(IDS_FAIL_SAVE, systemText.c_str()),
                                 Format(IDS_FAIL_START, systemText.c_str()),
                                 Format(IDS_FAIL_EXPIRED, AnsiOf(GetParam().pszLongDate).c_str()),
                                 Format(IDS_FAIL_ROLLED_BACK, kLongestVersion, kLongestVersion),
                                 StringOf(IDS_FAIL_NOT_WEB_ADDRESS),
                                 StringOf(IDS_FAIL_INSECURE_ADDRESS),
                                 StringOf(IDS_FAIL_REPLACED),
                                 Format(IDS_FAIL_FOLDER_NOT_EMPTY, "vxzsp-2.4.2.218.exe"),
                                 Format(IDS_POLICY_HELD_AT, "2.5.1", kLongestVersion)}},
        };
        for (UINT uId = IDS_FAIL_UNREACHABLE; uId <= IDS_FAIL_DIGEST; ++uId)
            texts[IDC_FINISH_DETAIL].push_back(StringOf(uId));
        for (UINT uId = IDS_FINISH_HEADER_OFFLINE; uId <= IDS_FINISH_HEADER_CANCELLED; ++uId)
            texts[IDC_PAGE_HEADER].push_back(StringOf(uId));
        texts[IDC_PAGE_HEADER].push_back(StringOf(IDS_FINISH_HEADER_TURNED_OFF));
        return texts;
    }

    HMODULE m_hLib = nullptr;
    HINSTANCE m_hPrevious = nullptr;
    std::vector<HWND> m_windows;
};

INSTANTIATE_TEST_SUITE_P(Languages, ResourceLibraryTest, ::testing::ValuesIn(kLibraries),
                         [](const ::testing::TestParamInfo<Library>& info) {
                             return std::string(info.param.pszName);
                         });

TEST_P(ResourceLibraryTest, WizardFrameIsCreatedHiddenWithItsButtons)
{
    HWND hWizard = Create(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    EXPECT_FALSE(IsWindowVisible(hWizard));
    EXPECT_FALSE(GetWindowLongA(hWizard, GWL_STYLE) & WS_VISIBLE);
    for (int nId : {IDC_WIZ_CANCEL, IDC_WIZ_CLOSE, IDC_WIZ_NEXT})
        ExpectControl(hWizard, nId, "Button", true);
    ExpectControl(hWizard, IDC_WIZ_PAGE_AREA, "Static", false);
}

TEST_P(ResourceLibraryTest, PagesHaveTheirControlsAndFitThePageArea)
{
    HWND hWizard = Create(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    RECT rcArea;
    GetWindowRect(GetDlgItem(hWizard, IDC_WIZ_PAGE_AREA), &rcArea);

    for (int nPage : {IDD_PG_RETRIEVE_UPDATE, IDD_PG_NEXT_ACTION, IDD_PG_DOWNLOAD, IDD_PG_FINISH})
    {
        SCOPED_TRACE(nPage);
        HWND hPage = Create(nPage, hWizard);
        ASSERT_NE(hPage, nullptr);
        EXPECT_TRUE(GetWindowLongA(hPage, GWL_STYLE) & WS_CHILD);
        EXPECT_FALSE(GetWindowLongA(hPage, GWL_STYLE) & WS_VISIBLE);
        RECT rcPage;
        GetWindowRect(hPage, &rcPage);
        EXPECT_LE(rcPage.right - rcPage.left, rcArea.right - rcArea.left);
        EXPECT_LE(rcPage.bottom - rcPage.top, rcArea.bottom - rcArea.top);
        ExpectControl(hPage, IDC_PAGE_HEADER, kWizardHeaderClass, true);

        switch (nPage)
        {
        case IDD_PG_RETRIEVE_UPDATE:
        case IDD_PG_DOWNLOAD:
            ExpectControl(hPage, IDC_PROGRESS, PROGRESS_CLASSA, true);
            // The label that names the bar stands right before it.
            EXPECT_EQ(GetWindow(GetDlgItem(hPage, IDC_PROGRESS), GW_HWNDPREV),
                      GetDlgItem(hPage, IDC_PROGRESS_LABEL));
            ExpectControl(hPage, nPage == IDD_PG_DOWNLOAD ? IDC_DOWNLOAD_FIGURES : IDC_RETRIEVE_STATUS,
                          "Static", true);
            break;
        case IDD_PG_NEXT_ACTION:
            ExpectControl(hPage, IDC_BROWSER_HOST, "AtlAxWin90", true);
            EXPECT_EQ(GetWindow(GetDlgItem(hPage, IDC_BROWSER_HOST), GW_HWNDPREV),
                      GetDlgItem(hPage, IDC_NOTES_LABEL));
            ExpectControl(hPage, IDC_VERSION_LINE, "Static", true);
            ExpectControl(hPage, IDC_SIZE_LINE, "Static", true);
            for (int nRadio = IDC_RB_INSTALL_NOW; nRadio <= IDC_RB_REMIND_WEEK; ++nRadio)
            {
                ExpectControl(hPage, nRadio, "Button", false);
                EXPECT_EQ(GetWindowLongA(GetDlgItem(hPage, nRadio), GWL_STYLE) & BS_TYPEMASK,
                          BS_AUTORADIOBUTTON);
            }
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(hPage, IDC_RB_INSTALL_NOW), GWL_STYLE) &
                        WS_GROUP);
            ExpectControl(hPage, IDC_NOTICE, "Static", false);
            ExpectControl(hPage, IDC_HYPERLINK, "Static", false);
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(hPage, IDC_HYPERLINK), GWL_STYLE) & SS_NOTIFY);
            break;
        case IDD_PG_FINISH:
            ExpectControl(hPage, IDC_FINISH_TEXT, "Static", true);
            ExpectControl(hPage, IDC_FINISH_ICON, "Static", true);
            ExpectControl(hPage, IDC_FINISH_DETAIL, "Static", true);
            EXPECT_EQ(testsupport::TextOf(GetDlgItem(hPage, IDC_FINISH_DETAIL)), "");
            break;
        }
    }
}

TEST_P(ResourceLibraryTest, IconHasTheSizesOfEveryDpi)
{
    HRSRC hGroup = FindResourceA(m_hLib, MAKEINTRESOURCEA(IDI_PRODUCT), MAKEINTRESOURCEA(14));
    ASSERT_NE(hGroup, nullptr);
    const BYTE* pDir = static_cast<const BYTE*>(LockResource(LoadResource(m_hLib, hGroup)));
    ASSERT_NE(pDir, nullptr);
    const WORD wCount = *reinterpret_cast<const WORD*>(pDir + 4);
    std::string sizes;
    for (WORD i = 0; i < wCount; ++i)
    {
        const BYTE* pEntry = pDir + 6 + i * 14;
        const int nWidth = pEntry[0] == 0 ? 256 : pEntry[0];
        const WORD wBits = *reinterpret_cast<const WORD*>(pEntry + 6);
        EXPECT_EQ(wBits, 32);
        sizes += std::to_string(nWidth) + " ";
    }
    EXPECT_EQ(sizes, "16 20 24 32 40 48 64 256 ");
}

TEST_P(ResourceLibraryTest, EveryStringExistsAndTakesItsCallersArguments)
{
    for (const StringSpec& spec : kStrings)
    {
        const std::string text = StringOf(spec.uId);
        EXPECT_FALSE(text.empty()) << spec.uId;
        // 177 is read with room for 519 characters, all others 259.
        EXPECT_LT(text.size(), spec.uId == IDS_NO_ADMIN_NOTICE ? 520u : 260u) << spec.uId;
        EXPECT_TRUE(TakesConversions(text, spec.pszConversions)) << spec.uId << ": " << text;
        EXPECT_TRUE(HeldByCodePage(spec.uId)) << spec.uId << ": " << text;
    }
    EXPECT_EQ(StringOf(IDS_UPDATE_INFO_URL), ZSP_TEST_UPDATE_INFO_URL);
    EXPECT_EQ(StringOf(IDS_DOWNLOAD_PAGE_URL), ZSP_TEST_DOWNLOAD_PAGE_URL);
    // Headers are a title and one line under it.
    for (UINT uId = IDS_FINISH_HEADER_OFFLINE; uId <= IDS_FINISH_HEADER_CANCELLED; ++uId)
    {
        const std::string header = StringOf(uId);
        EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 1) << uId;
    }
}

// Run at the DPI of this process; DialogsFitAtHigherDpi runs it at others.
TEST_P(ResourceLibraryTest, DialogsFitTheirTexts)
{
    if (const char* pszDpi = std::getenv("ZSP_TEST_DPI"))
    {
        HDC hdc = GetDC(nullptr);
        ASSERT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), std::atoi(pszDpi));
        ReleaseDC(nullptr, hdc);
    }
    HWND hWizard = Create(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    for (int nId : {IDC_WIZ_NEXT, IDC_WIZ_CLOSE, IDC_WIZ_CANCEL, IDC_WIZ_POLICY_LINE})
        ExpectTextFits(GetDlgItem(hWizard, nId));

    std::map<int, std::vector<std::string>> longest = LongestTexts();
    for (int nPage : {IDD_PG_RETRIEVE_UPDATE, IDD_PG_NEXT_ACTION, IDD_PG_DOWNLOAD, IDD_PG_FINISH})
    {
        SCOPED_TRACE(nPage);
        HWND hPage = Create(nPage, hWizard);
        ASSERT_NE(hPage, nullptr);
        RECT rcPage;
        GetWindowRect(hPage, &rcPage);
        const std::vector<HWND> controls = ChildrenOf(hPage);
        for (size_t i = 0; i < controls.size(); ++i)
        {
            const int nId = GetDlgCtrlID(controls[i]);
            SCOPED_TRACE(nId);
            ExpectTextFits(controls[i]);
            for (const std::string& text : longest[nId])
            {
                SetWindowTextA(controls[i], text.c_str());
                ExpectTextFits(controls[i]);
            }
            RECT rc;
            RECT rcBoth;
            GetWindowRect(controls[i], &rc);
            IntersectRect(&rcBoth, &rc, &rcPage);
            EXPECT_TRUE(EqualRect(&rcBoth, &rc)) << "outside the page";
            for (size_t j = i + 1; j < controls.size(); ++j)
            {
                // The choice and the notice with its link take turns.
                const int nOther = GetDlgCtrlID(controls[j]);
                if (nId >= IDC_RB_INSTALL_NOW && nId <= IDC_RB_REMIND_WEEK &&
                    (nOther == IDC_NOTICE || nOther == IDC_HYPERLINK))
                    continue;
                // The notes end above the line about an update not installed
                // when it is shown.
                if (nId == IDC_BROWSER_HOST && nOther == IDC_PENDING_LINE)
                    continue;
                RECT rcOther;
                GetWindowRect(controls[j], &rcOther);
                EXPECT_FALSE(IntersectRect(&rcBoth, &rc, &rcOther)) << "overlaps " << nOther;
            }
        }
    }
}

TEST_P(ResourceLibraryTest, NoMnemonicTwiceOnAPage)
{
    HWND hWizard = Create(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    for (int nPage : {IDD_PG_RETRIEVE_UPDATE, IDD_PG_NEXT_ACTION, IDD_PG_DOWNLOAD, IDD_PG_FINISH})
    {
        HWND hPage = Create(nPage, hWizard);
        ASSERT_NE(hPage, nullptr);
        // The link's label comes from a string.
        std::vector<std::string> texts;
        if (nPage == IDD_PG_NEXT_ACTION)
            texts.push_back(StringOf(IDS_DOWNLOAD_PAGE_LABEL));
        for (HWND hCtl : ChildrenOf(hWizard))
            texts.push_back(testsupport::TextOf(hCtl));
        for (HWND hCtl : ChildrenOf(hPage))
            texts.push_back(testsupport::TextOf(hCtl));
        std::set<int> letters;
        for (const std::string& text : texts)
        {
            const size_t i = text.find('&');
            if (i != std::string::npos && i + 1 < text.size())
            {
                EXPECT_TRUE(letters.insert(MnemonicLetter(text[i + 1])).second)
                    << nPage << ": " << text;
            }
        }
    }
}

TEST_P(ResourceLibraryTest, DialogsFitAtHigherDpi)
{
    char szSelf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    const std::string filter =
        std::string(" --gtest_filter=*/ResourceLibraryTest.DialogsFitTheirTexts/") + GetParam().pszName;
    for (DWORD dwDpi : {144u, 192u})
    {
        SCOPED_TRACE(dwDpi);
        testsupport::ScopedDpi dpi(dwDpi);
        SetEnvironmentVariableA("ZSP_TEST_DPI", std::to_string(dwDpi).c_str());
        DWORD dwExit = 1;
        EXPECT_TRUE(testsupport::RunToExit(testsupport::Quoted(szSelf) + filter, 60000, &dwExit));
        EXPECT_EQ(dwExit, 0u);
        SetEnvironmentVariableA("ZSP_TEST_DPI", nullptr);
    }
}

TEST(ResourceMgr, LoadsTheLibraryBesideTheProgramOnce)
{
    const std::string expected = (testsupport::BinDir() / "res.dll").string();
    {
        ResourceMgr mgr;
        mgr.LoadResourceLibrary();
        ASSERT_NE(mgr.m_hModule.Get(), nullptr);
        EXPECT_STRCASEEQ(mgr.m_strPath.c_str(), expected.c_str());
        const HMODULE hFirst = mgr.m_hModule.Get();
        mgr.LoadResourceLibrary();
        EXPECT_EQ(mgr.m_hModule.Get(), hFirst);
    }
    // Freed with the manager, once: the second load did not add a reference.
    EXPECT_EQ(GetModuleHandleA(expected.c_str()), nullptr);
}

TEST(UpdaterResources, VersionBlockAndManifest)
{
    const std::string exe = testsupport::UpdateExePath();
    DWORD dwHandle = 0;
    const DWORD cbInfo = GetFileVersionInfoSizeA(exe.c_str(), &dwHandle);
    ASSERT_GT(cbInfo, 0u);
    std::string info(cbInfo, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, cbInfo, info.data()));
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &cbFixed));
    EXPECT_EQ(pFixed->dwFileVersionMS, MAKELONG(4, 2));
    EXPECT_EQ(pFixed->dwFileVersionLS, MAKELONG(218, 2));
    EXPECT_EQ(pFixed->dwProductVersionMS, MAKELONG(4, 2));
    EXPECT_EQ(pFixed->dwProductVersionLS, MAKELONG(218, 2));

    HMODULE hExe = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hExe, nullptr);
    HRSRC hManifest = FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(hManifest, nullptr);
    const char* pText = static_cast<const char*>(LockResource(LoadResource(hExe, hManifest)));
    const std::string manifest(pText, SizeofResource(hExe, hManifest));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    FreeLibrary(hExe);
}

} // namespace
