// IsToolBar and DoToolBar: the host's toolbar file "kxuser.def" in its
// working folder and the installer's "script.txt" in the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "framework/handles.h"
#include "tests/setupext/setupext_fixture.h"

namespace setupext_test {
namespace {

using namespace std::string_literals;

// What the installer leaves: the product's section with both commands, in
// bytes that no text conversion may touch.
const std::string kScript =
    "\r\n[MailerForm_Vexil32Antispam]\r\nButtons=[mMarkSpamJUNK],[mMarkSpamNOTJUNK]\n"
    "\xE9t\xE9\0binary\x1A\r\r\n"s;

const std::string kBothCommands = "[Main]\r\n[mMarkSpamJUNK]\r\n[mMarkSpamNOTJUNK]\r\n";

class ToolbarFileTest : public CSetupExtTest
{
protected:
    std::filesystem::path ToolbarFile() const { return WorkDir() / "kxuser.def"; }
    std::filesystem::path Script() const { return TempDir() / "script.txt"; }

    std::optional<std::string> AskIsToolBar() { return Ask("IsToolBar"); }
    void RunDoToolBar() { CallWithoutArgument("DoToolBar"); }

    // Runs DoToolBar on a toolbar file of the given bytes and returns the
    // bytes it has afterwards.
    std::optional<std::string> AppendTo(const std::string& before)
    {
        WriteBytes(ToolbarFile(), before);
        RunDoToolBar();
        return ReadBytes(ToolbarFile());
    }
};

TEST_F(ToolbarFileTest, WithoutTheFileAnswersNoAndAppendCreatesItFromTheScript)
{
    WriteBytes(Script(), kScript);
    EXPECT_EQ(AskIsToolBar(), "0");
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), kScript);
    EXPECT_EQ(AskIsToolBar(), "1");
}

TEST_F(ToolbarFileTest, ScriptGoesRightAfterTheOldBytesAndOnlyOnce)
{
    WriteBytes(Script(), kScript);
    const std::string old = "[Main]\r\nButtons=a,b";
    EXPECT_EQ(AppendTo(old), old + kScript);
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), old + kScript);
}

TEST_F(ToolbarFileTest, ScriptOfManyBlocksIsCopiedWhole)
{
    std::string script = "[MailerForm_Vexil32Antispam]\r\n";
    for (int i = 0; script.size() < 3 * 16384 + 100; ++i)
        script += "Line" + std::to_string(i) + "\r\n";
    WriteBytes(Script(), script);
    EXPECT_EQ(AppendTo("old"), "old" + script);
}

TEST_F(ToolbarFileTest, MarkersAreFoundInAnyLetterCase)
{
    WriteBytes(Script(), kScript);
    WriteBytes(ToolbarFile(), "[MMARKSPAMjunk]\r\n[mmarkspamNotJunk]");
    EXPECT_EQ(AskIsToolBar(), "1");
    const std::string withHeader = "x[mailerform_VEXIL32ANTISPAM]x";
    EXPECT_EQ(AppendTo(withHeader), withHeader);
}

TEST_F(ToolbarFileTest, TextAfterTheFirstNulIsNotSearched)
{
    WriteBytes(Script(), kScript);
    const std::string hidden = "[Main]\0"s + kBothCommands + "[MailerForm_Vexil32Antispam]";
    WriteBytes(ToolbarFile(), hidden);
    EXPECT_EQ(AskIsToolBar(), "0");
    EXPECT_EQ(AppendTo(hidden), hidden + kScript);
}

TEST_F(ToolbarFileTest, OneCommandWithoutTheOtherAnswersNo)
{
    for (const char* pszText : {"[mMarkSpamJUNK]", "[mMarkSpamNOTJUNK]", "[mMarkSpamJUNK"})
    {
        WriteBytes(ToolbarFile(), std::string("[Main]\r\n") + pszText + "\r\n[mMarkSpamNOTJUNK");
        EXPECT_EQ(AskIsToolBar(), "0") << pszText;
    }
}

TEST_F(ToolbarFileTest, CommandsAndHeaderAreTestedApart)
{
    WriteBytes(Script(), kScript);
    WriteBytes(ToolbarFile(), kBothCommands);
    EXPECT_EQ(AskIsToolBar(), "1");
    EXPECT_EQ(AppendTo(kBothCommands), kBothCommands + kScript) << "commands but no header";

    const std::string headerOnly = "[MailerForm_Vexil32Antispam]\r\n[mMarkSpamJUNK]\r\n";
    WriteBytes(ToolbarFile(), headerOnly);
    EXPECT_EQ(AskIsToolBar(), "0");
    EXPECT_EQ(AppendTo(headerOnly), headerOnly) << "header but not both commands";
}

TEST_F(ToolbarFileTest, WorkingFolderWithOrWithoutTrailingBackslashNamesTheSameFile)
{
    WriteBytes(Script(), kScript);
    SetHostValue("Working Directory", WorkDir().string());
    EXPECT_EQ(AskIsToolBar(), "0");
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), kScript);
    EXPECT_EQ(AskIsToolBar(), "1");
    SetHostValue("Working Directory", WorkDir().string() + "\\");
    EXPECT_EQ(AskIsToolBar(), "1");
}

TEST_F(ToolbarFileTest, WithoutTheScriptTheFileKeepsItsBytes)
{
    const std::string old = "[Main]\0\xFF\r\n\x1A"s;
    EXPECT_EQ(AppendTo(old), old);
    std::filesystem::remove(ToolbarFile());
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), "") << "an absent file is created empty";
}

TEST_F(ToolbarFileTest, ToolbarFileHeldByAnotherProcessIsLeftAlone)
{
    WriteBytes(Script(), kScript);
    WriteBytes(ToolbarFile(), kBothCommands);
    {
        CFileHolder holder;
        ASSERT_TRUE(holder.Hold(ToolbarFile()));
        EXPECT_EQ(AskIsToolBar(), "0") << "a file that can't be read holds no markers";
        RunDoToolBar();
    }
    EXPECT_EQ(ReadBytes(ToolbarFile()), kBothCommands);
}

TEST_F(ToolbarFileTest, ScriptHeldByAnotherProcessAppendsNothing)
{
    WriteBytes(Script(), kScript);
    const std::string old = "[Main]\r\n";
    WriteBytes(ToolbarFile(), old);
    {
        CFileHolder holder;
        ASSERT_TRUE(holder.Hold(Script()));
        RunDoToolBar();
    }
    EXPECT_EQ(ReadBytes(ToolbarFile()), old);
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), old + kScript);
}

TEST_F(ToolbarFileTest, AToolbarFileThatIsALinkIsLeftAloneAndSoIsWhatItNames)
{
    // The installer has administrator rights, the folder is the user's:
    // through a link it would write to any file.
    WriteBytes(Script(), kScript);
    const std::filesystem::path target = ScratchDir() / "elsewhere.def";
    const struct
    {
        const char* pszKind;
        bool (*pfnMake)(const char* pszLink, const char* pszTarget);
    } kLinks[] = {
        {"symbolic link",
         [](const char* pszLink, const char* pszTarget) {
             return CreateSymbolicLinkA(pszLink, pszTarget,
                                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
         }},
        {"hard link",
         [](const char* pszLink, const char* pszTarget) {
             return CreateHardLinkA(pszLink, pszTarget, nullptr) != FALSE;
         }},
    };
    int cMade = 0;
    for (const auto& link : kLinks)
    {
        WriteBytes(target, "[Main]\r\n");
        std::filesystem::remove(ToolbarFile());
        // Wine answers TRUE to CreateSymbolicLinkA and makes nothing.
        if (!link.pfnMake(ToolbarFile().string().c_str(), target.string().c_str()) ||
            !std::filesystem::exists(ToolbarFile()))
        {
            std::printf("no %s on this system\n", link.pszKind);
            continue;
        }
        ++cMade;
        RunDoToolBar();
        EXPECT_EQ(ReadBytes(target), "[Main]\r\n") << link.pszKind;
    }
    EXPECT_NE(cMade, 0);
}

// The largest size that the file system lets this file have.
LONGLONG LargestFileSize(HANDLE hFile)
{
    LONGLONG llLow = 0;
    LONGLONG llHigh = LONGLONG(1) << 62;
    while (llLow < llHigh)
    {
        const LONGLONG llMiddle = llLow + (llHigh - llLow + 1) / 2;
        LARGE_INTEGER size;
        size.QuadPart = llMiddle;
        if (SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN) && SetEndOfFile(hFile))
            llLow = llMiddle;
        else
            llHigh = llMiddle - 1;
    }
    return llLow;
}

TEST_F(ToolbarFileTest, WriteThatFailsPartWayIsTakenBackWhole)
{
    // A sparse file that ends 20000 bytes short of the largest size the
    // file system allows: the second block of the script runs into that
    // limit as it would into a full disk.
    const std::string tail = "TAIL";
    LONGLONG llOldLength = 0;
    {
        fw::CFileHandle file(CreateFileA(ToolbarFile().string().c_str(),
                                         GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const LONGLONG llLimit = LargestFileSize(file.Get());
        if (llLimit >= (LONGLONG(1) << 62) || llLimit < (LONGLONG(1) << 33))
            GTEST_SKIP() << "no file size limit in reach on this file system: " << llLimit;
        llOldLength = llLimit - 20000;
        LARGE_INTEGER position;
        position.QuadPart = llOldLength - static_cast<LONGLONG>(tail.size());
        ASSERT_TRUE(SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get()));
        DWORD cbWritten = 0;
        ASSERT_TRUE(WriteFile(file.Get(), tail.data(), static_cast<DWORD>(tail.size()),
                              &cbWritten, nullptr));
    }
    WriteBytes(Script(), "[MailerForm_Vexil32Antispam]\r\n" + std::string(40000, 's'));

    RunDoToolBar();

    fw::CFileHandle file(CreateFileA(ToolbarFile().string().c_str(), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER size = {};
    ASSERT_TRUE(GetFileSizeEx(file.Get(), &size));
    EXPECT_EQ(size.QuadPart, llOldLength);
    LARGE_INTEGER position;
    position.QuadPart = llOldLength - static_cast<LONGLONG>(tail.size());
    ASSERT_TRUE(SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN));
    char achTail[8] = {};
    DWORD cbRead = 0;
    ASSERT_TRUE(ReadFile(file.Get(), achTail, sizeof(achTail), &cbRead, nullptr));
    EXPECT_EQ(std::string(achTail, cbRead), tail);
}

TEST_F(ToolbarFileTest, ToolbarPathBeyondAPathNamesNoFile)
{
    // The folder fits the table but leaves no room for "\kxuser.def".
    WriteBytes(Script(), kScript);
    WriteBytes(ToolbarFile(), kBothCommands);
    SetHostValue("Working Directory", PaddedFolder(WorkDir(), 249));
    EXPECT_EQ(AskIsToolBar(), "1") << "249 characters";
    SetHostValue("Working Directory", PaddedFolder(WorkDir(), 250));
    EXPECT_EQ(AskIsToolBar(), "0") << "250 characters";
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), kBothCommands);
}

TEST_F(ToolbarFileTest, NoAnswerAndNoChangeWithoutTheHostsFolders)
{
    WriteBytes(Script(), kScript);
    WriteBytes(ToolbarFile(), kBothCommands);
    SetProductDir("");
    EXPECT_EQ(AskIsToolBar(), std::nullopt) << "product key without its folder";
    RunDoToolBar();
    DeleteProductKey();
    DeleteHostValue("ProgramDir");
    EXPECT_EQ(AskIsToolBar(), std::nullopt) << "host key without ProgramDir";
    RunDoToolBar();
    EXPECT_EQ(ReadBytes(ToolbarFile()), kBothCommands);
}

} // namespace
} // namespace setupext_test
