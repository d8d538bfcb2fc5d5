#include "update/info/content_range.h"
#include "update/info/update_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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
    ASSERT_TRUE(Read("2.5.1 10 a http://h/b c d e\n# comment", info));
    EXPECT_EQ(info.versionText, "2.5.1");
    EXPECT_EQ(info.installerUrl, "http://h/b");
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
    ASSERT_TRUE(Read("1.0.0 4294967295 a http://h/b", info));
    EXPECT_EQ(info.installerSize, 4294967295u);
    // Digits followed by letters: the number ends at the letters, which start
    // the next field.
    ASSERT_TRUE(Read("1.0.0 12abc http://h/s", info));
    EXPECT_EQ(info.installerSize, 12u);
    EXPECT_EQ(info.releaseNotesUrl, "abc");
}

TEST(UpdateInfo, TakesHighBytesButNoNulOrControlCharacter)
{
    UpdateInfo info;
    ASSERT_TRUE(Read("3.0.1 7 \xE9t\xE9 http://z", info));
    EXPECT_EQ(info.releaseNotesUrl, "\xE9t\xE9");
    for (const std::string& text : {std::string("3.0.1\0x 7 a http://z", 21),
                                     std::string("3.0.1 7 a http://x\0@127.0.0.1/", 31),
                                     std::string("3.0.1 7 a http://z sha256=\x1b[2J"),
                                     std::string("3.0.1 7 a\x7f http://z")})
    {
        UpdateInfoReading reading;
        EXPECT_FALSE(ReadUpdateInfo(text.data(), text.size(), info, reading));
        EXPECT_EQ(reading.fault, UpdateInfoFault::ControlCharacter);
        EXPECT_NE(reading.word.find_first_of(std::string("\0\x1b\x7f", 3)), std::string::npos)
            << reading.word;
    }
}

UpdateInfoFault FaultOf(const std::string& text)
{
    UpdateInfo info;
    UpdateInfoFault fault = UpdateInfoFault::None;
    EXPECT_FALSE(ReadUpdateInfo(text.data(), text.size(), info, &fault)) << text;
    return fault;
}

TEST(UpdateInfo, AVersionOfFewerThanThreeNumbersMakesTheFileUnreadable)
{
    for (const char* pszVersion : {"3.0", "latest", "2", "v2.5.0", ".2.5.0"})
        EXPECT_EQ(FaultOf(std::string(pszVersion) + " 10 http://h/n http://h/s"),
                  UpdateInfoFault::Version)
            << pszVersion;
}

TEST(UpdateInfo, SkipsAByteOrderMarkOnlyAtTheVeryStart)
{
    UpdateInfo info;
    ASSERT_TRUE(Read("\xEF\xBB\xBF" "2.5.0.301\r\n10\r\nhttp://h/n\r\nhttp://h/s\r\n", info));
    EXPECT_EQ(info.versionText, "2.5.0.301");
    EXPECT_EQ(FaultOf(" \xEF\xBB\xBF" "2.5.0.301 10 http://h/n http://h/s"), UpdateInfoFault::Version);
    EXPECT_EQ(FaultOf("\xEF\xBB\xBF\xEF\xBB\xBF" "2.5.0.301 10 http://h/n http://h/s"),
              UpdateInfoFault::Version);
}

constexpr char kFields[] = "2.5.0.301\r\n10\r\nhttp://h/n\r\nhttp://h/s\r\n";
const std::string kDigest(64, 'a');

TEST(UpdateInfo, ReadsTheDigestInEitherCase)
{
    UpdateInfo info;
    ASSERT_TRUE(Read(std::string(kFields) + "sha256=" + std::string(32, 'A') + std::string(32, 'f'), info));
    ASSERT_TRUE(info.installerSha256);
    EXPECT_EQ(Sha256ToHex(*info.installerSha256), std::string(32, 'a') + std::string(32, 'f'));
    EXPECT_FALSE(info.signature);

    ASSERT_TRUE(Read(kFields, info));
    EXPECT_FALSE(info.installerSha256);
}

TEST(UpdateInfo, RefusesAMalformedOrRepeatedDigest)
{
    const std::string fields(kFields);
    const std::string tokens[] = {"sha256=", "sha256=" + std::string(63, 'a'),
                                     "sha256=" + std::string(65, 'a'),
                                     "sha256=" + std::string(63, 'a') + "g",
                                     "sha256=" + kDigest + " sha256=" + kDigest};
    for (const std::string& token : tokens)
        EXPECT_EQ(FaultOf(fields + token), UpdateInfoFault::Digest) << token;
}

TEST(UpdateInfo, TheInstallerAddressIsAWebAddress)
{
    for (const char* pszUrl : {"\\\\server\\share\\setup.exe", "file:///C:/setup.exe", "setup.exe",
                               "ftp://h/setup.exe", "http:\\\\server\\setup.exe"})
        EXPECT_EQ(FaultOf(std::string("2.5.0.301 10 http://h/n ") + pszUrl),
                  UpdateInfoFault::InstallerAddress)
            << pszUrl;
    // The release notes are only shown, never started: any address reads.
    UpdateInfo info;
    EXPECT_TRUE(Read("2.5.0.301 10 file:///C:/notes.html http://h/s", info));
}

TEST(UpdateInfo, ReadsUpToFourMirrorsInOrderAndRefusesAnyOther)
{
    UpdateInfo info;
    const std::string four =
        "mirror=https://b/s sha256=" + kDigest + " mirror=http://a/s mirror=http://c/s mirror=http://d/s";
    ASSERT_TRUE(Read(kFields + four, info));
    EXPECT_EQ(info.mirrors, (std::vector<std::string>{"https://b/s", "http://a/s", "http://c/s", "http://d/s"}));
    // Not a web address, a repeat, a fifth: the fault names the token.
    const std::string refused[] = {"mirror=", "mirror=file:///C:/s.exe", "mirror=http://a/s mirror=http://a/s",
                                   four + " mirror=http://e/s"};
    for (const std::string& tokens : refused)
    {
        UpdateInfoReading reading;
        const std::string text = kFields + tokens;
        EXPECT_FALSE(ReadUpdateInfo(text.data(), text.size(), info, reading));
        EXPECT_EQ(reading.fault, UpdateInfoFault::Mirror) << tokens;
        EXPECT_EQ(reading.word, tokens.substr(tokens.rfind(' ') + 1)) << tokens;
        EXPECT_EQ(reading.bRepeated, &tokens == &refused[2]) << tokens;
    }
}

TEST(UpdateInfo, ReadsTheExpiryAsTicksSince1601)
{
    UpdateInfo info;
    ASSERT_TRUE(Read(kFields, info));
    EXPECT_FALSE(info.expires);
    ASSERT_TRUE(Read(std::string(kFields) + "expires=1970-01-01T00:00:00Z sha256=" + kDigest, info));
    ASSERT_TRUE(info.expires);
    EXPECT_EQ(*info.expires, 116444736000000000ull);

    const struct
    {
        const char* pszTime;
        uint64_t ticks;
    } times[] = {
        {"1601-01-01T00:00:00Z", 0},
        {"2000-02-29T23:59:59Z", 125963423990000000ull},
        {"2027-01-07T12:00:00Z", 134437968000000000ull},
        {"9999-12-31T23:59:59Z", 2650467743990000000ull},
    };
    for (const auto& t : times)
    {
        ASSERT_TRUE(Read(std::string(kFields) + "expires=" + t.pszTime, info)) << t.pszTime;
        EXPECT_EQ(*info.expires, t.ticks) << t.pszTime;
        EXPECT_EQ(UtcTimeText(t.ticks), t.pszTime);
    }
}

TEST(UpdateInfo, RefusesAnExpiryInAnyOtherSpellingOrGivenTwice)
{
    const std::string fields(kFields);
    for (const char* pszToken :
         {"expires=", "expires=2027-01-07", "expires=2027-01-07T12:00:00", "expires=2027-01-07T12:00:00z",
          "expires=2027-01-07T12:00:00+00:00", "expires=2027-01-07T12:00:00.5Z", "expires=2027-01-07 12:00:00Z",
          "expires=2027-1-07T12:00:00Z", "expires=2027-13-07T12:00:00Z", "expires=2027-02-29T12:00:00Z",
          "expires=1900-02-29T00:00:00Z", "expires=2027-01-00T12:00:00Z", "expires=2027-01-07T24:00:00Z",
          "expires=2027-01-07T12:60:00Z", "expires=2027-01-07T12:00:60Z", "expires=1600-12-31T23:59:59Z",
          "expires=+027-01-07T12:00:00Z", "expires=2027-01-07T12:00:00Z expires=2027-01-07T12:00:00Z"})
        EXPECT_EQ(FaultOf(fields + pszToken), UpdateInfoFault::Expiry) << pszToken;
}

TEST(UpdateInfo, ReadsARolloutOfAtMostOneDecimalAndRefusesAnyOtherSpellingOrARepeat)
{
    UpdateInfo info;
    ASSERT_TRUE(Read(kFields, info));
    EXPECT_FALSE(info.rolloutTenths);
    const std::pair<const char*, int> percents[] = {{"0", 0}, {"0.1", 1}, {"12.5", 125}, {"100", 1000}, {"100.0", 1000}};
    for (const auto& read : percents)
    {
        ASSERT_TRUE(Read(kFields + std::string("rollout=") + read.first, info)) << read.first;
        EXPECT_EQ(info.rolloutTenths, read.second) << read.first;
    }
    for (const char* pszPercent : {"100.5", "101", "-1", "5.25", ".5", "5.", "1e2", "+5", "05", "5,5", "", "5 rollout=5"})
        EXPECT_EQ(FaultOf(kFields + std::string("rollout=") + pszPercent), UpdateInfoFault::Rollout) << pszPercent;
}

TEST(UpdateInfo, TheSignatureSignsEveryByteBeforeItsToken)
{
    const std::string signedPart = "\xEF\xBB\xBF" + std::string(kFields) + "# build 7\r\nsha256=" + kDigest +
                                   "\r\nexpires=2027-01-07T12:00:00Z\r\nrollout=12.5\r\n";
    UpdateInfo info;
    ASSERT_TRUE(Read(signedPart + "signature=AAEC/w==\r\n \t", info));
    ASSERT_TRUE(info.signature);
    EXPECT_EQ(*info.signature, (std::vector<uint8_t>{0, 1, 2, 255}));
    EXPECT_EQ(info.signedBytes, signedPart);
    EXPECT_TRUE(info.installerSha256);
    EXPECT_TRUE(info.expires);
    EXPECT_EQ(info.rolloutTenths, 125);

    ASSERT_TRUE(Read(std::string(kFields) + "signature=+/+/", info));
    EXPECT_EQ(*info.signature, (std::vector<uint8_t>{0xFB, 0xFF, 0xBF}));
    EXPECT_EQ(info.signedBytes, kFields);
}

TEST(UpdateInfo, TheSignatureIsCanonicalBase64AndTheLastToken)
{
    const std::string fields(kFields);
    for (const char* pszToken : {"signature=", "signature=AAEC/w=", "signature=AAEC/w", "signature=AAEC/x==",
                                 "signature=AAF=", "signature=AA-_", "signature====", "signature=AAEC/w==="})
        EXPECT_EQ(FaultOf(fields + pszToken), UpdateInfoFault::Signature) << pszToken;
    EXPECT_EQ(FaultOf(fields + "signature=AAAA sha256=" + kDigest), UpdateInfoFault::AfterSignature);
    EXPECT_EQ(FaultOf(fields + "signature=AAAA signature=AAAA"), UpdateInfoFault::AfterSignature);
}

TEST(UpdateInfo, TheReadingNamesWhatIsAtFaultAndWhatWasSkipped)
{
    UpdateInfo info;
    UpdateInfoReading reading;
    const std::string split = "2.5.0.301 10kB";
    EXPECT_FALSE(ReadUpdateInfo(split.data(), split.size(), info, reading));
    EXPECT_EQ(reading.nFields, 3u);
    EXPECT_EQ(reading.sizeWord + "|" + reading.word, "10kB|");
    const std::string twice = std::string(kFields) + "# sha256=" + kDigest + " sha256=" + kDigest;
    EXPECT_FALSE(ReadUpdateInfo(twice.data(), twice.size(), info, reading));
    EXPECT_TRUE(reading.bRepeated);
    EXPECT_EQ(reading.ignored, std::vector<std::string>{"#"});
}

TEST(UpdateInfo, AStreamIsReadWholeUpToTheLimit)
{
    std::istringstream fits(std::string(kFields) + std::string(kMaxUpdateInfoSize - std::strlen(kFields), ' '));
    UpdateInfo info;
    EXPECT_TRUE(ReadUpdateInfo(fits, info));

    std::istringstream tooLarge(std::string(kFields) + std::string(kMaxUpdateInfoSize, ' '));
    UpdateInfoFault fault = UpdateInfoFault::None;
    EXPECT_FALSE(ReadUpdateInfo(tooLarge, info, &fault));
    EXPECT_EQ(fault, UpdateInfoFault::TooLarge);
}

TEST(UpdateInfo, WebAddressesAndSecureOnes)
{
    struct Case
    {
        std::string url;
        bool bWeb;
        bool bSecure;
    };
    const Case cases[] = {
        {"https://h/a%2Fb?q=1&r=(x)#top", true, true},
        {"https://h/a%2", false, false},
        {"https://h/a%zz", false, false},
        {"https://h/a\"b", false, false},
        {"https://h/a'b", false, false},
        {"https://h/a b", false, false},
        {"https://h/a\tb", false, false},
        {"https://h/\xEF\xBC\x82", false, false},
        {std::string("http://x\0@127.0.0.1/", 21), false, false},
        {"http://h/notes.html", true, false},
        {"HTTPS://h/notes.html", true, true},
        {"https://h:8443", true, true},
        {"http://127.0.0.1:47810/zsp/update.txt", true, true},
        {"http://127.1.2.3/", true, true},
        {"http://LocalHost/x", true, true},
        {"http://[::1]:80/x", true, true},
        {"http://127.0.0.1.example.test/x", true, false},
        {"http://127.0.0.1@example.test/x", true, false},
        {"http://example.test@127.0.0.1/x", true, true},
        {"http://1270.0.0.1/x", true, false},
        {"http://[::1/x", false, false},
        {"file:///C:/notes.html", false, false},
        {"\\\\server\\share\\setup.exe", false, false},
        {"http:\\\\server\\setup.exe", false, false},
        {"http://server\\share/setup.exe", false, false},
        {"http:/h", false, false},
        {"http://", false, false},
        {"http:///path", false, false},
        {"", false, false},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsWebAddress(c.url), c.bWeb) << c.url;
        EXPECT_EQ(IsSecureWebAddress(c.url), c.bSecure) << c.url;
    }
    EXPECT_EQ(InstallerFileName(VersionNumber("2.5.1")), "vxzsp-2.5.1.0.exe");
}

// Only an answer that continues the file exactly where it was asked to is
// joined to it; a 200 brings the whole file again.
TEST(UpdateInfo, TheAnswerToARangeGoesWhereItContinuesTheFile)
{
    const struct
    {
        unsigned long ulStatus;
        const char* pszRange;
        uint64_t cbFrom;
        long long nOffset; // -1: the try failed
    } cases[] = {
        {206, "bytes 600-999/1000", 600, 600},
        {200, "", 600, 0},
        {200, "", 0, 0},
        {206, "bytes 500-999/1000", 600, -1},   // not where it was asked to start
        {206, "bytes 600-998/1000", 600, -1},   // not to the end
        {206, "bytes 600-999/1001", 600, -1},   // another file's size
        {206, "bytes 600-999/*", 600, -1},
        {206, "bytes 0600-999/1000", 600, 600}, // leading zeros are still numbers
        {206, "bytes 600-999/1000 ", 600, -1},
        {206, "Bytes 600-999/1000", 600, -1},
        {206, "bytes 600-99999999999999999999/1000", 600, -1},
        {206, "bytes 0-999/1000", 0, -1},       // nothing asked for
        {416, "bytes */1000", 600, -1},
        {204, "", 600, -1},
    };
    for (const auto& c : cases)
    {
        const auto offset = BodyOffset(c.ulStatus, c.pszRange, c.cbFrom, 1000);
        EXPECT_EQ(offset ? static_cast<long long>(*offset) : -1, c.nOffset)
            << c.ulStatus << " " << c.pszRange;
    }
}

} // namespace
