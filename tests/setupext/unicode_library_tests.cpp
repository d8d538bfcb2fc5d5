// The Unicode build's side of the stack, x86-unicode/setupext.dll: text
// in UTF-16 and string size in characters. The example installer runs this
// build in folders outside the ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "tests/setupext/setupext_fixture.h"

namespace setupext_test {
namespace {

class UnicodeLibraryTest : public CSetupExtTest
{
protected:
    std::filesystem::path LibraryPath() const override { return UnicodeLibraryPath(); }

    void SetUp() override
    {
        CSetupExtTest::SetUp();
        WriteBytes(WorkDir() / "ZSPlugin.ini", "[AntiSpam]\r\nJunk=1\r\n");
    }
};

TEST_F(UnicodeLibraryTest, AnswerIsUtf16InABlockOfStringSizeCharacters)
{
    for (int nStringSize : {1024, 2, 1})
    {
        CInstallerStack stack(nStringSize);
        Library().Call("IsAntiSpamOn", stack);
        const StackEntry* pEntry = *stack.Anchor();
        ASSERT_NE(pEntry, nullptr) << "string size " << nStringSize;
        EXPECT_EQ(GlobalSize(const_cast<StackEntry*>(pEntry)), nStringSize * 2u + sizeof(StackEntry));
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(pEntry->szText)),
                  nStringSize == 1 ? L"" : L"1");
    }
}

TEST_F(UnicodeLibraryTest, StringSizeBeyondAnyBlockGetsNoEntry)
{
    // In two-byte characters these sizes and the header wrap round a 32-bit
    // size to a few bytes, into which the answer would be written.
    CInstallerStack stack;
    stack.Push("installer's own");
    stack.Mark();
    for (int nStringSize : {INT_MAX, 0x7FFFFFFC, 0x7FFFFFF8})
    {
        Library().Call("IsAntiSpamOn", nullptr, nStringSize, stack.Anchor());
        EXPECT_TRUE(stack.Unchanged()) << "string size " << nStringSize;
    }
}

} // namespace
} // namespace setupext_test
