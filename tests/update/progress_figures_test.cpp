// The download page's figures with the English texts: sizes, the time left
// and when a new figure is due.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/update/updater_process.h"
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

} // namespace
