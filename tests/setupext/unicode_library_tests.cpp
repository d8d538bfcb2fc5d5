// The Unicode build's stack, x86-unicode/setupext.dll, as an installer of
// UTF-16 text keeps it: string size in characters. The example installer
// runs this build in folders outside the ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

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

} // namespace
} // namespace setupext_test
