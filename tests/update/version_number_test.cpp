#include "update/info/version_number.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionNumber, DefaultIsZero)
{
    VersionNumber version;
    EXPECT_EQ(version.Text(), "0.0.0.0");
    EXPECT_EQ(version.nMajor, 0);
    EXPECT_EQ(version.nBuild, 0);
}

TEST(VersionNumber, ParsesFourAndThreeNumbers)
{
    VersionNumber four("2.4.2.218");
    EXPECT_EQ(four.nMajor, 2);
    EXPECT_EQ(four.nMinor, 4);
    EXPECT_EQ(four.nRelease, 2);
    EXPECT_EQ(four.nBuild, 218);
    EXPECT_EQ(four.Text(), "2.4.2.218");

    VersionNumber three("3.1.2");
    EXPECT_EQ(three.nBuild, 0);
    EXPECT_EQ(three.Text(), "3.1.2.0");
}

TEST(VersionNumber, TextThatDoesNotParseIsZero)
{
    for (const char* pszText : {"3.1", "", "abc", "3", "3..1.2", "3.1.x", ".1.2.3"})
    {
        VersionNumber version(pszText);
        EXPECT_EQ(version.Text(), "0.0.0.0") << pszText;
        EXPECT_EQ(version.nMajor, 0) << pszText;
        EXPECT_EQ(version.nMinor, 0) << pszText;
    }
}

TEST(VersionNumber, FailedParseKeepsNumbersReadAndOldText)
{
    VersionNumber version("9.9.9.9");
    EXPECT_FALSE(version.Parse("3.1"));
    EXPECT_EQ(version.nMajor, 3);
    EXPECT_EQ(version.nMinor, 1);
    EXPECT_EQ(version.nRelease, 9);
    EXPECT_EQ(version.nBuild, 9);
    EXPECT_EQ(version.Text(), "9.9.9.9");
}

TEST(VersionNumber, ReadsLikeScanfDecimal)
{
    // Signs and leading blanks before each number, trailing text ignored.
    VersionNumber version(" 2. +4.-1.7 and more");
    EXPECT_EQ(version.Text(), "2.4.-1.7");
    EXPECT_EQ(VersionNumber("1.2.3.4.5").Text(), "1.2.3.4");
    EXPECT_EQ(VersionNumber("1.2.3x").Text(), "1.2.3.0");
    // No blank is allowed before a dot.
    EXPECT_EQ(VersionNumber("1 .2.3").Text(), "0.0.0.0");
    EXPECT_FALSE(VersionNumber().Parse(nullptr));
}

TEST(VersionNumber, HugeNumbersWrapInsteadOfOverflowing)
{
    VersionNumber version("4294967297.0.0.99999999999999999999");
    EXPECT_EQ(version.nMajor, 1);
    EXPECT_EQ(version.Text().substr(0, 4), "1.0.");
}

TEST(VersionNumber, ComparesFirstThreeNumbersOnly)
{
    const VersionNumber a("2.4.2.218");
    const VersionNumber b("2.4.2.219");
    EXPECT_TRUE(a.IsSameAs(b));
    EXPECT_FALSE(a.IsNewerThan(b));
    EXPECT_FALSE(b.IsNewerThan(a));
    EXPECT_FALSE(a.IsOlderThan(b));

    const VersionNumber older("2.4.1.999");
    EXPECT_TRUE(older.IsOlderThan(a));
    EXPECT_TRUE(a.IsNewerThan(older));
    EXPECT_TRUE(VersionNumber("3.0.0").IsNewerThan(VersionNumber("2.99.99.99")));
    EXPECT_TRUE(VersionNumber("2.10.0").IsNewerThan(VersionNumber("2.9.0")));
}

TEST(VersionNumber, ComparesAsUnsigned)
{
    // -1 is 4294967295 as an unsigned number: newer than anything positive.
    EXPECT_TRUE(VersionNumber("-1.0.0").IsNewerThan(VersionNumber("2000000000.0.0")));
    EXPECT_TRUE(VersionNumber("1.0.-1").IsNewerThan(VersionNumber("1.0.5")));
}

TEST(VersionNumber, CopiesNumbersAndText)
{
    VersionNumber original("5.6.7.8");
    VersionNumber copy = original;
    original.Parse("1.1.1");
    EXPECT_EQ(copy.Text(), "5.6.7.8");
    EXPECT_EQ(copy.nBuild, 8);
}

} // namespace
