// The Unicode build, x86-unicode/setupext.dll, as an installer of UTF-16
// text calls it: string size in characters, and names that the ANSI code
// page cannot hold.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/setupext/setupext_fixture.h"

namespace setupext_test {
namespace {

class UnicodeLibraryTest : public CSetupExtTest
{
protected:
    std::filesystem::path LibraryPath() const override { return UnicodeLibraryPath(); }
};

TEST_F(UnicodeLibraryTest, AnswersAreUtf16InEntriesOfStringSizeCharacters)
{
    WriteBytes(WorkDir() / "ZSPlugin.ini", "[AntiSpam]\r\nJunk=1\r\n");
    // Ask checks that the entry is a block of 1024 two-byte characters and
    // the header.
    EXPECT_EQ(Ask<wchar_t>("IsAntiSpamOn"), L"1");
    CWideInstallerStack stack(1);
    Library().Call("IsAntiSpamOn", stack);
    EXPECT_TRUE(stack.ChangedBy(0, {L""}));
}

TEST_F(UnicodeLibraryTest, StringSizeBeyondAnyBlockGetsNoEntry)
{
    // In two-byte characters these sizes and the header wrap round a 32-bit
    // size to a few bytes, into which the answer would be written.
    WriteBytes(WorkDir() / "ZSPlugin.ini", "[AntiSpam]\r\nJunk=1\r\n");
    CWideInstallerStack stack;
    stack.Push(L"installer's own");
    stack.Mark();
    for (int nStringSize : {INT_MAX, 0x7FFFFFFC, 0x7FFFFFF8})
    {
        Library().Call("IsAntiSpamOn", nullptr, nStringSize, stack.Anchor());
        EXPECT_TRUE(stack.Unchanged()) << "string size " << nStringSize;
    }
}

TEST_F(UnicodeLibraryTest, PluginNamedOutsideTheCodePageLoadsFromSuchAFolder)
{
    const std::filesystem::path productDir = ScratchDir() / L"Продукт 产品";
    ASSERT_TRUE(std::filesystem::create_directory(productDir));
    std::filesystem::copy_file(testsupport::BinDir() / "test_plugin.dll",
                               productDir / L"插件.dll");
    SetProductFolder(productDir);
    CallWithArgument("DoAntiSpam", std::wstring(L"插件.dll"));
    // A name longer than the buffer is popped without overrun, and names
    // no library.
    CallWithArgument("DoRegPlg", std::wstring(8191, L'я'), 8192);
    EXPECT_EQ(PluginLog(), (std::vector<std::string>{"attach", "TurnOnPlugin 0 1", "detach"}));
}

} // namespace
} // namespace setupext_test
