#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/paths.h"
#include "update/resource_ids.h"
#include "update/resource_mgr.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    return uMsg == WM_INITDIALOG ? TRUE : FALSE;
}

class ResourceLibraryTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
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
        m_hLib = LoadLibraryA((testsupport::BinDir() / "res.dll").string().c_str());
        ASSERT_NE(m_hLib, nullptr);
    }

    void TearDown() override
    {
        if (m_hLib != nullptr)
            FreeLibrary(m_hLib);
    }

    HWND CreatePage(int nId, HWND hParent)
    {
        return CreateDialogParamA(m_hLib, MAKEINTRESOURCEA(nId), hParent, PlainDialogProc, 0);
    }

    std::string StringOf(UINT uId)
    {
        char szText[1024] = {};
        LoadStringA(m_hLib, uId, szText, sizeof(szText));
        return szText;
    }

    static void ExpectControl(HWND hDlg, int nId, const char* pszClass, bool bVisible)
    {
        HWND hCtl = GetDlgItem(hDlg, nId);
        ASSERT_NE(hCtl, nullptr) << "control " << nId;
        char szClass[64] = {};
        GetClassNameA(hCtl, szClass, sizeof(szClass));
        EXPECT_STRCASEEQ(szClass, pszClass) << "control " << nId;
        EXPECT_EQ((GetWindowLongA(hCtl, GWL_STYLE) & WS_VISIBLE) != 0, bVisible)
            << "control " << nId;
    }

    HMODULE m_hLib = nullptr;
};

TEST_F(ResourceLibraryTest, WizardFrameIsCreatedHiddenWithItsButtons)
{
    HWND hWizard = CreatePage(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    EXPECT_FALSE(IsWindowVisible(hWizard));
    ExpectControl(hWizard, IDC_WIZ_NEXT, "Button", true);
    ExpectControl(hWizard, IDC_WIZ_CLOSE, "Button", true);
    ExpectControl(hWizard, IDC_WIZ_CANCEL, "Button", true);
    ASSERT_NE(GetDlgItem(hWizard, IDC_WIZ_PAGE_AREA), nullptr);
    EXPECT_GT(GetWindowTextLengthA(hWizard), 0);
    DestroyWindow(hWizard);
}

TEST_F(ResourceLibraryTest, PagesHaveTheirControlsAndFitThePageArea)
{
    HWND hWizard = CreatePage(IDD_UPDATE_WIZARD, nullptr);
    ASSERT_NE(hWizard, nullptr);
    RECT rcArea;
    GetWindowRect(GetDlgItem(hWizard, IDC_WIZ_PAGE_AREA), &rcArea);

    for (int nPage : {IDD_PG_RETRIEVE_UPDATE, IDD_PG_NEXT_ACTION, IDD_PG_DOWNLOAD, IDD_PG_FINISH})
    {
        HWND hPage = CreatePage(nPage, hWizard);
        ASSERT_NE(hPage, nullptr) << "page " << nPage;
        EXPECT_TRUE(GetWindowLongA(hPage, GWL_STYLE) & WS_CHILD) << "page " << nPage;
        EXPECT_FALSE(GetWindowLongA(hPage, GWL_STYLE) & WS_VISIBLE) << "page " << nPage;
        RECT rcPage;
        GetWindowRect(hPage, &rcPage);
        EXPECT_LE(rcPage.right - rcPage.left, rcArea.right - rcArea.left) << "page " << nPage;
        EXPECT_LE(rcPage.bottom - rcPage.top, rcArea.bottom - rcArea.top) << "page " << nPage;

        switch (nPage)
        {
        case IDD_PG_RETRIEVE_UPDATE:
        case IDD_PG_DOWNLOAD:
            ExpectControl(hPage, IDC_PROGRESS, PROGRESS_CLASSA, true);
            break;
        case IDD_PG_NEXT_ACTION:
            ExpectControl(hPage, IDC_BROWSER_HOST, "AtlAxWin90", true);
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
            break;
        }
    }
    DestroyWindow(hWizard);
}

TEST_F(ResourceLibraryTest, IconHasTheUsualSizes)
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
    EXPECT_EQ(sizes, "16 24 32 48 256 ");

    for (int nSize : {16, 32})
    {
        HICON hIcon = static_cast<HICON>(
            LoadImageA(m_hLib, MAKEINTRESOURCEA(IDI_PRODUCT), IMAGE_ICON, nSize, nSize, 0));
        EXPECT_NE(hIcon, nullptr) << nSize;
        DestroyIcon(hIcon);
    }
}

TEST_F(ResourceLibraryTest, EveryStringExistsAndFitsItsBuffer)
{
    const UINT ids[] = {IDS_UPDATE_INFO_URL,   IDS_DOWNLOAD_PAGE_URL, IDS_CONFIRM_CANCEL,
                        IDS_NO_CONNECTION,     IDS_NO_NEW_VERSION,    IDS_UPDATE_FAILED,
                        IDS_VERSION_LINE,      IDS_SIZE_LINE,         IDS_CANCELLED,
                        IDS_NO_ADMIN_NOTICE,   IDS_DOWNLOAD_PAGE_LABEL};
    for (UINT uId : ids)
    {
        const std::string text = StringOf(uId);
        EXPECT_FALSE(text.empty()) << uId;
        // 111 is read with room for 259 characters, 177 for 519, all others 259.
        EXPECT_LT(text.size(), uId == IDS_NO_ADMIN_NOTICE ? 520u : 260u) << uId;
    }
    EXPECT_EQ(StringOf(IDS_UPDATE_INFO_URL), ZSP_TEST_UPDATE_INFO_URL);
    EXPECT_EQ(StringOf(IDS_DOWNLOAD_PAGE_URL), ZSP_TEST_DOWNLOAD_PAGE_URL);
}

TEST_F(ResourceLibraryTest, FormatStringsTakeTheirArguments)
{
    char szOut[600];
    std::snprintf(szOut, sizeof(szOut), StringOf(IDS_VERSION_LINE).c_str(), "2.5.0.301");
    EXPECT_NE(std::string(szOut).find("2.5.0.301"), std::string::npos) << szOut;

    std::snprintf(szOut, sizeof(szOut), StringOf(IDS_SIZE_LINE).c_str(), 1.5);
    EXPECT_NE(std::string(szOut).find("1.5"), std::string::npos) << szOut;
    std::snprintf(szOut, sizeof(szOut), StringOf(IDS_SIZE_LINE).c_str(), 2048.0);
    EXPECT_NE(std::string(szOut).find("2048"), std::string::npos) << szOut;

    std::snprintf(szOut, sizeof(szOut), StringOf(IDS_NO_ADMIN_NOTICE).c_str(), "2.5.0.301",
                  "http://example.test/get");
    const std::string notice = szOut;
    EXPECT_LT(notice.find("2.5.0.301"), notice.find("http://example.test/get")) << notice;

    // Only the placeholders that the callers pass.
    auto countConversions = [](const std::string& format) {
        int n = 0;
        for (size_t i = format.find('%'); i != std::string::npos; i = format.find('%', i + 2))
            n += (i + 1 < format.size() && format[i + 1] != '%') ? 1 : 0;
        return n;
    };
    EXPECT_EQ(countConversions(StringOf(IDS_VERSION_LINE)), 1);
    EXPECT_EQ(countConversions(StringOf(IDS_SIZE_LINE)), 1);
    EXPECT_EQ(countConversions(StringOf(IDS_NO_ADMIN_NOTICE)), 2);
    for (UINT uId : {IDS_CONFIRM_CANCEL, IDS_NO_CONNECTION, IDS_NO_NEW_VERSION,
                     IDS_UPDATE_FAILED, IDS_CANCELLED, IDS_DOWNLOAD_PAGE_LABEL})
        EXPECT_EQ(countConversions(StringOf(uId)), 0) << uId;
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
    FreeLibrary(hExe);
}

} // namespace
