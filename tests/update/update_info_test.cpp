#include "update/wizard/update_info.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Read(const std::string& text, UpdateInfo& info)
{
    return ReadUpdateInfo(text.data(), text.size(), info);
}

TEST(UpdateInfo, ReadsOneFieldPerLineOrAllOnOneLine)
{
    UpdateInfo info;
    ASSERT_TRUE(Read("2.5.0.301\r\n1572864\r\nhttp://h/notes.html\r\nhttp://h/setup.exe\r\n", info));
    EXPECT_EQ(info.versionText, "2.5.0.301");
    EXPECT_EQ(info.installerSize, 1572864u);
    EXPECT_EQ(info.releaseNotesUrl, "http://h/notes.html");
    EXPECT_EQ(info.installerUrl, "http://h/setup.exe");

    UpdateInfo sameLine;
    ASSERT_TRUE(Read(" \t2.5.0.301 1572864\vhttp://h/notes.html\fhttp://h/setup.exe", sameLine));
    EXPECT_EQ(sameLine.installerUrl, "http://h/setup.exe");
    EXPECT_EQ(sameLine.installerSize, 1572864u);
}

TEST(UpdateInfo, IgnoresWhatFollowsTheFourthField)
{
    UpdateInfo info;
    ASSERT_TRUE(Read("2.5.1 10 a b c d e\n# comment", info));
    EXPECT_EQ(info.versionText, "2.5.1");
    EXPECT_EQ(info.installerUrl, "b");
}

TEST(UpdateInfo, RejectsMissingOrMalformedFields)
{
    const char* const bad[] = {
        "",
        "   \r\n",
        "2.5.0.301 100 http://h/notes.html",
        "2.5.0.301 big http://h/notes.html http://h/setup.exe",
        "2.5.0.301 4294967296 http://h/notes.html http://h/setup.exe",
        "2.5.0.301",
    };
    for (const char* pszText : bad)
    {
        UpdateInfo info;
        info.versionText = "untouched";
        EXPECT_FALSE(Read(pszText, info)) << pszText;
        EXPECT_EQ(info.versionText, "untouched") << pszText;
    }
}

TEST(UpdateInfo, SizeIsTheStreamsUnsignedExtraction)
{
    UpdateInfo info;
    ASSERT_TRUE(Read("1.0.0 4294967295 a b", info));
    EXPECT_EQ(info.installerSize, 4294967295u);
    // Digits followed by letters: the number ends at the letters, which start
    // the next field.
    ASSERT_TRUE(Read("1.0.0 12abc notes setup", info));
    EXPECT_EQ(info.installerSize, 12u);
    EXPECT_EQ(info.releaseNotesUrl, "abc");
}

TEST(UpdateInfo, TakesBytesAsTheyAreIncludingNulAndHighBytes)
{
    const std::string text("3.0\0x 7 \xE9t\xE9 z", 15);
    UpdateInfo info;
    ASSERT_TRUE(Read(text, info));
    EXPECT_EQ(info.versionText, std::string("3.0\0x", 5));
    EXPECT_EQ(info.releaseNotesUrl, "\xE9t\xE9");
}

TEST(UpdateInfo, ReleaseNotesOnlyFromWebAddressesInAnyCase)
{
    EXPECT_TRUE(IsReleaseNotesAddress("http://h/notes.html"));
    EXPECT_TRUE(IsReleaseNotesAddress("HTTPS://h/notes.html"));
    EXPECT_FALSE(IsReleaseNotesAddress("file:///C:/notes.html"));
    EXPECT_FALSE(IsReleaseNotesAddress("http:/h"));
    EXPECT_FALSE(IsReleaseNotesAddress(""));
    EXPECT_EQ(InstallerFileName(VersionNumber("2.5.1")), "vxzsp-2.5.1.0.exe");
}

} // namespace
