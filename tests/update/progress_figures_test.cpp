// The download page's figures with the English texts: sizes, the time left
// and when a new figure is due.
#include <windows.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "tests/update/updater_process.h"
#include "update/wizard/failure_line.h"
#include "update/wizard/progress_figures.h"

namespace {

class ProgressFiguresTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(PrepareProcessLikeTheUpdater()); }
};

TEST_F(ProgressFiguresTest, SizesAndTimesInSteadyFigures)
{
    EXPECT_EQ(FormatByteSize(1023), "1023 bytes");
    EXPECT_EQ(FormatByteSize(1536), "1.5 KB");
    EXPECT_EQ(FormatByteSize(1572864), "1.5 MB");
    EXPECT_EQ(FormatByteSize(5ull << 30), "5.0 GB");
    EXPECT_EQ(FormatTimeLeft(0), "about 5 seconds left");
    EXPECT_EQ(FormatTimeLeft(54), "about 55 seconds left");
    EXPECT_EQ(FormatTimeLeft(55), "about 1 minute left");
    EXPECT_EQ(FormatTimeLeft(3540), "about 59 minutes left");
    EXPECT_EQ(FormatTimeLeft(3599), "about 1 hour left");
    EXPECT_EQ(FormatTimeLeft(5400), "about 2 hours left");
}

TEST_F(ProgressFiguresTest, DueAFewTimesASecondWithTheTimeOnceARateIsKnown)
{
    CProgressFigures figures;
    figures.Restart(10000);
    std::string text;
    ASSERT_TRUE(figures.Update(0, 1000000, 10000, text));
    EXPECT_EQ(text, "0 bytes of 976.6 KB");
    EXPECT_FALSE(figures.Update(1000, 1000000, 10100, text));
    // 250 bytes a millisecond: the remaining 750000 bytes take 3 seconds.
    ASSERT_TRUE(figures.Update(250000, 1000000, 11000, text));
    EXPECT_EQ(text, "244.1 KB of 976.6 KB, about 5 seconds left");
    // The end is always shown.
    ASSERT_TRUE(figures.Update(1000000, 1000000, 11010, text));
    EXPECT_EQ(text, "976.6 KB of 976.6 KB");
    figures.Restart(0);
    ASSERT_TRUE(figures.Update(2048, 0, 0, text));
    EXPECT_EQ(text, "2.0 KB received");
}

// Each figure of the download page, the failure line and the size line of
// the next-action page, with the English texts, in the format of the
// locale given: the number's decimal separator and its groups of digits.
TEST_F(ProgressFiguresTest, FiguresInTheFormatOfTheLocale)
{
    struct Case
    {
        const char* pszLocale;
        LANGID langId;
        const char* pszSmall;
        const char* pszGrouped;
        const char* pszSizeLine;
        const char* pszLargeSizeLine;
    };
    // Russian groups with a no-break space, 0xA0 in the ANSI code pages.
    const Case cases[] = {
        {"en-US", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "76.0 KB", "1,023.9 KB",
         "Download size: 1.5 MB", "Download size: 4,096.0 MB"},
        {"de-DE", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "76,0 KB", "1.023,9 KB",
         "Download size: 1,5 MB", "Download size: 4.096,0 MB"},
        {"ru-RU", MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), "76,0 KB", "1\xA0" "023,9 KB",
         "Download size: 1,5 MB", "Download size: 4\xA0" "096,0 MB"},
    };
    // Whatever the runtime's own numeric locale: the updater sets it to the
    // system's, which may write 1,5.
    for (const char* pszRuntime : {"C", "German_Germany.1252"})
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(std::string(c.pszLocale) + ", the runtime in " + pszRuntime);
            ASSERT_NE(setlocale(LC_NUMERIC, pszRuntime), nullptr);
            char szRuntime[8] = {};
            std::snprintf(szRuntime, sizeof(szRuntime), "%.1f", 1.5);
            ASSERT_STREQ(szRuntime, std::string("C") == pszRuntime ? "1.5" : "1,5");
            const LCID lcid = MAKELCID(c.langId, SORT_DEFAULT);
            EXPECT_EQ(FormatByteSize(77824, lcid), c.pszSmall);
            EXPECT_EQ(FormatByteSize(1048473, lcid), c.pszGrouped);
            EXPECT_EQ(FormatByteSize(1000, lcid), "1000 bytes");
            EXPECT_EQ(SizeFailureLine(77824, 1048473, lcid),
                      std::string("The download was larger than announced (announced ") + c.pszSmall +
                          ", received at least " + c.pszGrouped + ").");
            EXPECT_EQ(FormatSizeLine(1572864, lcid), c.pszSizeLine);
            EXPECT_EQ(FormatSizeLine(0xFFFFFFFFu, lcid), c.pszLargeSizeLine);
        }
    }
    setlocale(LC_NUMERIC, "C");
}

} // namespace
