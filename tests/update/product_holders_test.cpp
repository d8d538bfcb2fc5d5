// Who holds the product: real processes with a library loaded from a
// product folder, found as the download page finds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/windows.h"
#include "update/install/holder_search.h"
#include "update/install/product_holders.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kWindowTimeoutMs = 15000;

bool HasHolder(const std::vector<ProductHolder>& holders, DWORD dwProcessId)
{
    return std::any_of(holders.begin(), holders.end(),
                       [&](const ProductHolder& h) { return h.dwProcessId == dwProcessId; });
}

class ProductHoldersTest : public testing::Test
{
protected:
    ProductHoldersTest() : m_dir("holders"), m_product(m_dir.Path() / "Vexil ZSP")
    {
        fs::create_directories(m_product);
        fs::copy_file(testsupport::BinDir() / "test_plugin.dll", m_product / "vxzsp.dll");
    }

    // The stand-in mail client, started with the product's plug-in; its
    // window once it shows.
    HWND StartMailClient(testsupport::ChildProcess& client)
    {
        const std::string plugin = (m_product / "vxzsp.dll").string();
        if (!client.Start(testsupport::Quoted((testsupport::BinDir() / "kestrix.exe").string()) +
                          " " + plugin))
            return nullptr;
        return testsupport::WaitForTopLevelWindow(client.Id(), "ZspTestKestrix", kWindowTimeoutMs);
    }

    testsupport::ScopedTempDir m_dir;
    fs::path m_product;
};

TEST_F(ProductHoldersTest, AProgramWithALibraryOfTheFolderHoldsItUntilItEnds)
{
    EXPECT_TRUE(FindProductHolders(m_product.string()).empty());

    testsupport::ChildProcess client;
    const HWND hWndClient = StartMailClient(client);
    ASSERT_NE(hWndClient, nullptr);
    // However the folder is written, and named by its description.
    for (const std::string& folder : {m_product.string(), m_product.string() + "\\",
                                      m_product.generic_string()})
    {
        const std::vector<ProductHolder> holders = FindProductHolders(folder);
        ASSERT_EQ(holders.size(), 1u) << folder;
        EXPECT_EQ(holders[0].dwProcessId, client.Id());
        EXPECT_EQ(holders[0].name, "Kestrix!");
    }
    // A folder whose name only begins like it holds nothing.
    fs::create_directories(m_dir.Path() / "Vexil ZSP 2");
    EXPECT_TRUE(FindProductHolders((m_dir.Path() / "Vexil ZSP 2").string()).empty());

    PostMessageA(hWndClient, WM_CLOSE, 0, 0);
    ASSERT_TRUE(client.WaitForExit(kWindowTimeoutMs));
    EXPECT_TRUE(FindProductHolders(m_product.string()).empty());
}

TEST_F(ProductHoldersTest, ThisProcessNeverHoldsItAndAProgramWithoutDescriptionIsItsFileName)
{
    fw::CModuleHandle own(LoadLibraryA((m_product / "vxzsp.dll").string().c_str()));
    ASSERT_TRUE(own);
    EXPECT_FALSE(HasHolder(FindProductHolders(m_product.string()), GetCurrentProcessId()));

    // A copy of the updater, which carries a description, and of a program
    // without one.
    EXPECT_EQ(ProgramDisplayName(testsupport::UpdateExePath()),
              "Vexil Junquell for Kestrix! Update");
    EXPECT_EQ(ProgramDisplayName((testsupport::BinDir() / "file_holder.exe").string()),
              "file_holder.exe");
    EXPECT_EQ(ProgramDisplayName((m_dir.Path() / "gone.exe").string()), "gone.exe");
}

TEST(ProductHolderNames, EachNameOnceInTheOrderFound)
{
    EXPECT_EQ(JoinHolderNames({}), "");
    EXPECT_EQ(JoinHolderNames({{1, "Kestrix!"}}), "Kestrix!");
    EXPECT_EQ(JoinHolderNames({{1, "Kestrix!"}, {2, "Helper"}, {3, "Kestrix!"}}),
              "Kestrix!, Helper");
}

TEST(ProductHolderFolders, InsideMeansBelowTheFolderIgnoringCase)
{
    const struct
    {
        const char* pszPath;
        bool bInside;
    } kCases[] = {
        {"C:\\Program Files\\Vexil ZSP\\vxzsp.dll", true},
        {"c:\\program files\\VEXIL ZSP\\vxzsp.dll", true},
        {"C:\\Program Files\\Vexil ZSP\\lib\\helper.dll", true},
        {"C:\\Program Files\\Vexil ZSP", false},
        {"C:\\Program Files\\Vexil ZSP\\", false},
        {"C:\\Program Files\\Vexil ZSP 2\\vxzsp.dll", false},
        {"C:\\Program Files\\Vexil\\vxzsp.dll", false},
        {"", false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsInsideFolder(c.pszPath, "C:\\Program Files\\Vexil ZSP"), c.bInside)
            << c.pszPath;
    EXPECT_FALSE(IsInsideFolder("C:\\x.dll", ""));
}

// N: stands for a mapped network drive.
UINT WINAPI DriveNIsRemote(LPCSTR pszRoot)
{
    return (pszRoot[0] | 0x20) == 'n' ? DRIVE_REMOTE : DRIVE_FIXED;
}

TEST(ProductHolderFolders, OnlyAFullLocalPathBelowTheRootIsSearched)
{
    const struct
    {
        const char* pszFolder;
        bool bSearched;
    } kCases[] = {
        {"C:\\Program Files\\Vexil ZSP", true},
        {"c:/Program Files/Vexil ZSP/", true},
        {"D:\\Vexil..ZSP\\.lib", true},
        {"C:\\", false},
        {"C:", false},
        {"C:/", false},
        {"C:\\\\", false},
        {"\\\\server\\share\\Vexil ZSP", false},
        {"//server/share", false},
        {"\\\\?\\C:\\Vexil ZSP", false},
        {"N:\\Vexil ZSP", false},
        {"Vexil ZSP", false},
        {"\\Vexil ZSP", false},
        {"C:Vexil ZSP", false},
        {"C:\\Program Files\\..", false},
        {"C:\\Program Files\\..\\..\\Windows", false},
        {"C:\\.\\Vexil ZSP", false},
        {"C:\\Vexil ZSP\\. .\\", false},
        {"", false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsSearchableProductFolder(c.pszFolder, DriveNIsRemote), c.bSearched)
            << c.pszFolder;
}

// A search that looks only when the test lets it, as one on a busy machine
// takes its time.
HANDLE g_hLetTheSearchLook = nullptr;
LONG volatile g_lSearchesDone = 0;

std::vector<ProductHolder> SlowSearch(const std::string&)
{
    WaitForSingleObject(g_hLetTheSearchLook, kWindowTimeoutMs);
    InterlockedIncrement(&g_lSearchesDone);
    return {{7, "Kestrix!"}};
}

class HolderSearchTest : public testing::Test
{
protected:
    HolderSearchTest()
    {
        g_hLetTheSearchLook = m_let.Get();
        g_lSearchesDone = 0;
    }
    ~HolderSearchTest() override
    {
        SetEvent(m_let.Get());
        testsupport::WaitUntil([]() { return g_lSearchesDone == 1; }, kWindowTimeoutMs);
        DestroyWindow(m_hWnd);
    }

    static constexpr UINT kMsgFound = WM_APP + 1;
    static constexpr const char* kFolder = "C:\\Vexil ZSP";
    fw::CKernelHandle m_let{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HWND m_hWnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
};

TEST_F(HolderSearchTest, TheAskingThreadRunsOnWhileTheSearchLooksAndIsToldWhenItHas)
{
    CHolderSearch search(SlowSearch);
    ASSERT_EQ(search.Start(m_hWnd, kMsgFound, kFolder), S_OK);
    EXPECT_EQ(search.Start(m_hWnd, kMsgFound, kFolder), S_FALSE);
    // Back at once, with the search still waiting to look.
    std::vector<ProductHolder> holders;
    EXPECT_EQ(search.TakeFindings(holders), S_FALSE);
    EXPECT_EQ(g_lSearchesDone, 0);

    SetEvent(m_let.Get());
    MSG msg;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]() { return PeekMessageA(&msg, m_hWnd, kMsgFound, kMsgFound, PM_REMOVE) != FALSE; },
        kWindowTimeoutMs));
    ASSERT_EQ(search.TakeFindings(holders), S_OK);
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].name, "Kestrix!");
    EXPECT_EQ(search.TakeFindings(holders), S_FALSE);
}

TEST_F(HolderSearchTest, ASearchStillLookingKeepsItsOwnerFromEndingOnlyBriefly)
{
    const DWORD dwStart = GetTickCount();
    {
        CHolderSearch search(SlowSearch);
        ASSERT_EQ(search.Start(m_hWnd, kMsgFound, kFolder), S_OK);
    }
    // The search then finishes alone and posts to a window that is gone.
    const DWORD dwEnded = GetTickCount() - dwStart;
    EXPECT_GE(dwEnded + 50, CHolderSearch::kEndWaitMs);
    EXPECT_LT(dwEnded, kWindowTimeoutMs);
}

} // namespace
