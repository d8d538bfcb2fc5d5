// IsAntiSpamOn: the plug-in's settings file in the host's working folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/setupext/setupext_fixture.h"

namespace setupext_test {
namespace {

class AntiSpamStateTest : public CSetupExtTest
{
protected:
    void WriteSettings(const std::string& text) { WriteBytes(WorkDir() / "ZSPlugin.ini", text); }
    std::optional<std::string> Answer() { return Ask("IsAntiSpamOn"); }
};

TEST_F(AntiSpamStateTest, JunkOtherThanZeroIsOn)
{
    for (const char* pszJunk : {"5", "1", "-1"})
    {
        WriteSettings(std::string("[General]\r\nJunk=0\r\n[AntiSpam]\r\nJunk=") + pszJunk +
                      "\r\n");
        EXPECT_EQ(Answer(), "1") << "Junk=" << pszJunk;
    }
}

TEST_F(AntiSpamStateTest, FileWithoutAJunkSwitchOnIsOff)
{
    for (const char* pszSettings : {"[AntiSpam]\r\nJunk=0\r\n", "[AntiSpam]\r\nOther=1\r\n",
                                    "[Other]\r\nJunk=1\r\n", ""})
    {
        WriteSettings(pszSettings);
        EXPECT_EQ(Answer(), "0") << pszSettings;
    }
}

TEST_F(AntiSpamStateTest, NoSettingsFileIsOff)
{
    EXPECT_EQ(Answer(), "0");
}

TEST_F(AntiSpamStateTest, FileNameFollowsTheFolderWithoutASeparator)
{
    WriteSettings("[AntiSpam]\r\nJunk=0\r\n");
    WriteBytes(ScratchDir() / "workZSPlugin.ini", "[AntiSpam]\r\nJunk=5\r\n");
    SetHostValue("Working Directory", WorkDir().string());
    EXPECT_EQ(Answer(), "1");
}

TEST_F(AntiSpamStateTest, NeedsNothingButTheWorkingFolder)
{
    WriteSettings("[AntiSpam]\r\nJunk=5\r\n");
    DeleteHostValue("EXE Path");
    DeleteHostValue("ProgramDir");
    DeleteProductKey();
    EXPECT_EQ(Answer(), "1");
}

TEST_F(AntiSpamStateTest, NoAnswerWithoutAWorkingFolder)
{
    WriteSettings("[AntiSpam]\r\nJunk=5\r\n");
    SetHostValue("Working Directory", "");
    EXPECT_EQ(Answer(), std::nullopt) << "empty";
    SetHostValue("Working Directory", "C:" + std::string(259, 'w'));
    EXPECT_EQ(Answer(), std::nullopt) << "261 characters";
    SetEnvironment("SETUPEXT_TEST_LONG", std::string(300, 'w'));
    SetHostValue("Working Directory", "C:\\%SETUPEXT_TEST_LONG%\\", REG_EXPAND_SZ);
    EXPECT_EQ(Answer(), std::nullopt) << "expands beyond a path";
    DeleteHostValue("Working Directory");
    EXPECT_EQ(Answer(), std::nullopt) << "missing";
    DeleteHostKey();
    EXPECT_EQ(Answer(), std::nullopt) << "no host key";
}

TEST_F(AntiSpamStateTest, FolderThatLeavesNoRoomForTheFileNameGivesNoAnswer)
{
    // The folder and "ZSPlugin.ini" must fit a path together.
    WriteSettings("[AntiSpam]\r\nJunk=5\r\n");
    SetHostValue("Working Directory", PaddedFolder(WorkDir(), 247));
    EXPECT_EQ(Answer(), "1") << "247 characters";
    SetHostValue("Working Directory", PaddedFolder(WorkDir(), 248));
    EXPECT_EQ(Answer(), std::nullopt) << "248 characters";
}

} // namespace
} // namespace setupext_test
