// The library as the installer meets it: its names, its resource, the
// string stack, and the message box of Check.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "setupext/string_stack.h"
#include "tests/setupext/installer_host.h"
#include "tests/setupext/setupext_fixture.h"
#include "tests/support/windows.h"

namespace setupext_test {
namespace {

// The names in the export table, and whether every export has a name.
std::vector<std::string> ExportedNames(HMODULE hModule, bool& bAllNamed)
{
    const auto* pBase = reinterpret_cast<const BYTE*>(hModule);
    const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
    const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    bAllNamed = true;
    if (directory.VirtualAddress == 0)
        return names;
    const auto* pExports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(pBase + directory.VirtualAddress);
    const auto* pNameRvas = reinterpret_cast<const DWORD*>(pBase + pExports->AddressOfNames);
    for (DWORD i = 0; i < pExports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(pBase + pNameRvas[i]));
    bAllNamed = pExports->NumberOfFunctions == pExports->NumberOfNames;
    std::sort(names.begin(), names.end());
    return names;
}

// Both builds: setupext.dll and x86-unicode/setupext.dll.
class SetupExtLibrary : public testing::TestWithParam<std::filesystem::path>
{
};

INSTANTIATE_TEST_SUITE_P(Builds, SetupExtLibrary,
                         testing::Values(AnsiLibraryPath(), UnicodeLibraryPath()));

TEST_P(SetupExtLibrary, ExportsTheSixEntryPointsByPlainNameAndNothingElse)
{
    CSetupExtLibrary library(GetParam());
    ASSERT_NE(library.Module(), nullptr);
    bool bAllNamed = false;
    EXPECT_EQ(ExportedNames(library.Module(), bAllNamed),
              (std::vector<std::string>{"Check", "DoAntiSpam", "DoRegPlg", "DoToolBar",
                                        "IsAntiSpamOn", "IsToolBar"}));
    EXPECT_TRUE(bAllNamed);
}

TEST_P(SetupExtLibrary, CarriesAnAsInvokerManifestAsResource2AndNoVersionBlock)
{
    CSetupExtLibrary library(GetParam());
    const HMODULE hModule = library.Module();
    ASSERT_NE(hModule, nullptr);

    EXPECT_EQ(FindResourceA(hModule, MAKEINTRESOURCEA(1), RT_VERSION), nullptr);
    HRSRC hInfo = FindResourceA(hModule, MAKEINTRESOURCEA(2), RT_MANIFEST);
    ASSERT_NE(hInfo, nullptr);
    const auto* pData = static_cast<const char*>(LockResource(LoadResource(hModule, hInfo)));
    ASSERT_NE(pData, nullptr);
    const std::string manifest(pData, SizeofResource(hModule, hInfo));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
}

// Shows the message box and closes it from another thread, the way a
// user's click on OK arrives, then reports what the box showed.
int CallCheckAndPressOk(CSetupExtLibrary& library, HWND hWndParent, int nStringSize,
                        StackEntry** ppTop, testsupport::MessageBoxContents& contents,
                        bool& bShown)
{
    bShown = false;
    std::thread user([&]() {
        HWND hBox = testsupport::WaitForTopLevelWindow(GetCurrentProcessId(), "#32770", 15000);
        bShown = testsupport::ReadMessageBox(hBox, contents);
        if (hBox != nullptr)
            testsupport::ClickDialogButton(hBox, IDOK);
    });
    const int nResult = library.Call("Check", hWndParent, nStringSize, ppTop);
    user.join();
    return nResult;
}

TEST(CheckEntryPoint, ShowsHelloWithoutCaptionAndLeavesTheStackAlone)
{
    CSetupExtLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    CInstallerStack stack;
    stack.Push("installer's second");
    stack.Push("installer's first");
    stack.Mark();

    testsupport::MessageBoxContents contents;
    bool bShown = false;
    // A string size that does not match the entries must not matter either.
    EXPECT_EQ(CallCheckAndPressOk(library, nullptr, 1, stack.Anchor(), contents, bShown), 0);
    ASSERT_TRUE(bShown);
    EXPECT_EQ(contents.text, "Hello");
    EXPECT_EQ(contents.caption, "");
    EXPECT_EQ(contents.buttonIds, std::vector<int>{IDOK});
    EXPECT_FALSE(contents.hasIcon);
    EXPECT_TRUE(stack.Unchanged());

    // The box has no owner, so a parent handle that names no window can't
    // keep it from showing.
    const HWND hWndNoWindow = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(CallCheckAndPressOk(library, hWndNoWindow, -1, stack.Anchor(), contents, bShown),
              0);
    EXPECT_TRUE(bShown);
    EXPECT_TRUE(stack.Unchanged());
}

// IsAntiSpamOn answers "1" here, which makes it a handy probe of pushing.
class StringStackTest : public CSetupExtTest
{
protected:
    void SetUp() override
    {
        CSetupExtTest::SetUp();
        WriteBytes(WorkDir() / "ZSPlugin.ini", "[AntiSpam]\r\nJunk=1\r\n");
    }
};

TEST_F(StringStackTest, StringSizeOneGivesAnEmptyText)
{
    CInstallerStack stack(1);
    stack.Push("");
    stack.Mark();
    Library().Call("IsAntiSpamOn", stack);
    EXPECT_TRUE(stack.ChangedBy(0, {""}));
}

TEST_F(StringStackTest, StringSizeWithoutRoomForATerminatorGetsNoEntry)
{
    CInstallerStack stack;
    stack.Push("installer's own");
    stack.Mark();
    for (int nStringSize : {0, -1, -9, INT_MIN})
    {
        Library().Call("IsAntiSpamOn", nullptr, nStringSize, stack.Anchor());
        EXPECT_TRUE(stack.Unchanged()) << "string size " << nStringSize;
    }
}

HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(StringStackTest, EntryThatCannotBeAllocatedIsNotPushed)
{
    CInstallerStack stack;
    stack.Push("installer's own");
    stack.Mark();
    {
        CImportPatch noMemory(Library().Module(), "kernel32.dll", "GlobalAlloc",
                              reinterpret_cast<const void*>(&FailingGlobalAlloc));
        ASSERT_TRUE(noMemory.IsApplied());
        Library().Call("IsAntiSpamOn", stack);
        EXPECT_TRUE(stack.Unchanged());
    }
    Library().Call("IsAntiSpamOn", stack);
    EXPECT_TRUE(stack.ChangedBy(0, {"1"}));
}

// The entry as both sides declare it has the layout of the installer's
// target that this build serves.
TEST(InstallerStackLayout, BothDeclarationsMatchTheInstallersTarget)
{
    const auto* pLayout =
        std::find_if(std::begin(kInstallerStackLayouts), std::end(kInstallerStackLayouts),
                     [](const InstallerStackLayout& layout) {
                         return layout.cbPointer == sizeof(void*);
                     });
    ASSERT_NE(pLayout, std::end(kInstallerStackLayouts));
    EXPECT_EQ(offsetof(StackEntry, szText), pLayout->ofsText) << pLayout->pszTarget;
    EXPECT_EQ(sizeof(StackEntry), pLayout->cbHeader) << pLayout->pszTarget;
    EXPECT_EQ(offsetof(setupext::StackNode, m_szText), pLayout->ofsText) << pLayout->pszTarget;
    EXPECT_EQ(sizeof(setupext::StackNode), pLayout->cbHeader) << pLayout->pszTarget;
}

TEST_F(StringStackTest, NullAnchorIsNeitherReadNorWritten)
{
    InstallPlugin("test_plugin.dll", "product.dll");
    for (const char* pszEntryPoint :
         {"DoRegPlg", "DoAntiSpam", "IsAntiSpamOn", "IsToolBar", "DoToolBar"})
        Library().Call(pszEntryPoint, nullptr, 1024, nullptr);
    EXPECT_TRUE(PluginLog().empty());
    EXPECT_EQ(Ask("IsAntiSpamOn"), "1");
}

TEST_F(StringStackTest, EmptyStackStaysEmptyAndAnEmptyNameLoadsNothing)
{
    // An empty name would leave the product folder itself as the path, and
    // the loader would add ".dll": a library beside the folder would go on.
    const std::filesystem::path besideFolder = ProductDir().string() + ".dll";
    std::filesystem::copy_file(testsupport::BinDir() / "test_plugin.dll", besideFolder);
    for (const char* pszEntryPoint : {"DoRegPlg", "DoAntiSpam"})
    {
        CInstallerStack stack;
        Library().Call(pszEntryPoint, stack);
        EXPECT_TRUE(stack.Texts().empty()) << pszEntryPoint;
        CallWithArgument(pszEntryPoint, "");
    }
    EXPECT_TRUE(PluginLog().empty());
}

TEST_F(StringStackTest, NameLongerThanItsBufferIsPoppedWithoutOverrun)
{
    InstallPlugin("test_plugin.dll", "vxzsp.dll");
    for (size_t cch : {260u, 261u, 1000u, 8191u})
        CallWithArgument("DoRegPlg", std::string(cch, 'n'), 8192);
    // A name that long names no library; what counts is that the entries
    // below are intact and the library still works.
    EXPECT_TRUE(PluginLog().empty());
    CallWithArgument("DoRegPlg", "vxzsp.dll", 8192);
    EXPECT_EQ(PluginLog(), (std::vector<std::string>{"attach", "TurnOnPlugin 1 1", "detach"}));
}

} // namespace
} // namespace setupext_test
