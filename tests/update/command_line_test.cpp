#include "update/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Scan
{
    CommandLineAction action;
    bool bManual;
};

Scan ScanWith(const char* pszCommandLine, bool bManualBefore = false)
{
    bool bManual = bManualBefore;
    const CommandLineAction action = ScanCommandLine(pszCommandLine, bManual);
    return {action, bManual};
}

TEST(CommandLine, SwitchAtTheEndSelectsTheMode)
{
    EXPECT_TRUE(ScanWith("\"C:\\Program Files\\Vexil ZSP\\update.exe\" /man").bManual);
    EXPECT_TRUE(ScanWith("update.exe -man").bManual);
    EXPECT_TRUE(ScanWith("update.exe /MAN").bManual);
    EXPECT_TRUE(ScanWith("update.exe /mAn").bManual);
    EXPECT_FALSE(ScanWith("update.exe /auto", true).bManual);
    EXPECT_FALSE(ScanWith("update.exe /AUTO", true).bManual);
    EXPECT_EQ(ScanWith("update.exe /man").action, CommandLineAction::Run);
}

TEST(CommandLine, SwitchCountsOnlyAsTheLastThingOnTheLine)
{
    // "man /x" and "x" match nothing.
    EXPECT_FALSE(ScanWith("update.exe /man /x").bManual);
    // A trailing blank is part of the token.
    EXPECT_FALSE(ScanWith("update.exe /man ").bManual);
    EXPECT_FALSE(ScanWith("update.exe man").bManual);
    EXPECT_FALSE(ScanWith("update.exe").bManual);
    EXPECT_FALSE(ScanWith("").bManual);
    EXPECT_FALSE(ScanWith(nullptr).bManual);
    // The last switch wins because it alone reaches the end of the line.
    EXPECT_FALSE(ScanWith("update.exe /man /auto").bManual);
}

TEST(CommandLine, RegistrationSwitches)
{
    EXPECT_EQ(ScanWith("update.exe -RegServer").action, CommandLineAction::RegServer);
    EXPECT_EQ(ScanWith("update.exe /regserver").action, CommandLineAction::RegServer);
    EXPECT_EQ(ScanWith("update.exe -UnregServer").action, CommandLineAction::UnregServer);
    EXPECT_EQ(ScanWith("update.exe /UNREGSERVER").action, CommandLineAction::UnregServer);

    // The first token is "RegServer /auto": no registration, automatic mode.
    const Scan scan = ScanWith("update.exe /RegServer /auto", true);
    EXPECT_EQ(scan.action, CommandLineAction::Run);
    EXPECT_FALSE(scan.bManual);
    EXPECT_EQ(ScanWith("update.exe /RegServer ").action, CommandLineAction::Run);
}

TEST(CommandLine, DashesAndSlashesInTheProgramPathDoNotDisturb)
{
    EXPECT_TRUE(ScanWith("\"C:\\pro-grams\\a/b\\up-date.exe\" /man").bManual);
    EXPECT_TRUE(ScanWith("C:/tools/vexil-zsp/update.exe -man").bManual);
    EXPECT_EQ(ScanWith("\"Z:\\x-RegServer\\update.exe\" /auto").action, CommandLineAction::Run);
    // A path that itself ends the line with a switch word does register.
    EXPECT_EQ(ScanWith("Z:\\build\\update.exe-RegServer").action, CommandLineAction::RegServer);
}

TEST(CommandLine, QuotedArgumentIsNotASwitch)
{
    // The quote is part of the token.
    EXPECT_FALSE(ScanWith("update.exe \"/man\"").bManual);
    EXPECT_TRUE(ScanWith("\"update.exe\" /man").bManual);
}

} // namespace
