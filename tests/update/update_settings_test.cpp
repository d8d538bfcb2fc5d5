#include "update/update_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/registry.h"

namespace {

using testsupport::kSettingsKey;
using testsupport::ReadValue;

class UpdateSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::ClearProductKeys(); }
    void TearDown() override { testsupport::ClearProductKeys(); }

    static void SetInstalledVersion(const std::string& text, DWORD dwType = REG_SZ)
    {
        ASSERT_TRUE(testsupport::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Version", text,
                                             dwType));
    }

    static void SetSetting(const char* pszName, DWORD dwType, const void* pData, DWORD cbData)
    {
        ASSERT_TRUE(
            testsupport::WriteValue(HKEY_CURRENT_USER, kSettingsKey, pszName, dwType, pData, cbData));
    }

    // A missing value fails the test and reads as empty.
    static testsupport::RegistryValue Stored(const char* pszName)
    {
        auto value = ReadValue(HKEY_CURRENT_USER, kSettingsKey, pszName);
        if (!value)
            ADD_FAILURE() << pszName << " is missing";
        return value.value_or(testsupport::RegistryValue());
    }

    static std::string StoredAvailableVersion()
    {
        auto value = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
        return value ? value->AsString() : "<missing>";
    }

    static std::string Pending(const UpdateSettings& settings)
    {
        return settings.PendingVersion().Text() + "@" + std::to_string(settings.PendingSince());
    }

    UpdateSettings m_settings;
};

TEST_F(UpdateSettingsTest, FirstRunWritesEveryDefault)
{
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());

    auto names = testsupport::ValueNames(HKEY_CURRENT_USER, kSettingsKey);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"AutoUpdateEnable", "AvailableVersion", "Frequency",
                                               "LastUpdateTime", "NotifyDownload"}));
    // Nothing is refused for announcing less until trusted information has
    // announced a version.
    EXPECT_EQ(m_settings.HighestVersion().Text(), "0.0.0.0");

    auto available = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
    ASSERT_TRUE(available);
    EXPECT_EQ(available->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(available->data.size(), sizeof("2.4.2.218"));
    EXPECT_EQ(available->AsString(), "2.4.2.218");

    for (const char* pszName : {"LastUpdateTime", "NotifyDownload", "Frequency"})
    {
        auto value = ReadValue(HKEY_CURRENT_USER, kSettingsKey, pszName);
        ASSERT_TRUE(value) << pszName;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_QWORD)) << pszName;
        EXPECT_EQ(value->data.size(), 8u) << pszName;
    }
    EXPECT_EQ(Stored("LastUpdateTime").AsQword(), 0u);
    EXPECT_EQ(Stored("NotifyDownload").AsQword(), 0u);
    EXPECT_EQ(Stored("Frequency").AsQword(), 864000000000ull);

    auto autoUpdate = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable");
    ASSERT_TRUE(autoUpdate);
    EXPECT_EQ(autoUpdate->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(autoUpdate->AsDword(), 1u);

    EXPECT_EQ(m_settings.InstalledVersion().Text(), "2.4.2.218");
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.4.2.218");
    EXPECT_EQ(m_settings.Frequency(), 864000000000ull);
    EXPECT_TRUE(m_settings.AutoUpdateEnable());

    // The product key is only ever read.
    EXPECT_FALSE(testsupport::KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
}

TEST_F(UpdateSettingsTest, InstalledVersionComesFromTheProductKey)
{
    SetInstalledVersion("3.1.2");
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.InstalledVersion().Text(), "3.1.2.0");
    EXPECT_EQ(StoredAvailableVersion(), "3.1.2.0");
}

TEST_F(UpdateSettingsTest, InstalledVersionOfTwoNumbersIsZero)
{
    SetInstalledVersion("3.1");
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.InstalledVersion().Text(), "0.0.0.0");
    EXPECT_EQ(StoredAvailableVersion(), "0.0.0.0");
}

TEST_F(UpdateSettingsTest, InstalledVersionOfAnyTypeAndWithoutTerminator)
{
    // 261 bytes without a terminator: read whole, and still ends safely.
    std::string text = "5.6.7.8";
    text.resize(261, 'x');
    ASSERT_TRUE(testsupport::WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, "Version", REG_BINARY,
                                        text.data(), static_cast<DWORD>(text.size())));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.InstalledVersion().Text(), "5.6.7.8");
}

TEST_F(UpdateSettingsTest, InstalledVersionTooLongFallsBackToDefault)
{
    std::string text = "5.6.7.8";
    text.resize(262, 'x');
    SetInstalledVersion(text);
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.InstalledVersion().Text(), "2.4.2.218");
}

TEST_F(UpdateSettingsTest, AvailableVersionWithSameFirstThreeNumbersIsKept)
{
    const char szVersion[] = "2.4.2.300";
    SetSetting("AvailableVersion", REG_SZ, szVersion, sizeof(szVersion));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.4.2.300");
    EXPECT_EQ(StoredAvailableVersion(), "2.4.2.300");
}

TEST_F(UpdateSettingsTest, AvailableVersionOlderThanInstalledIsReplaced)
{
    const char szVersion[] = "2.4.1.999";
    SetSetting("AvailableVersion", REG_SZ, szVersion, sizeof(szVersion));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.4.2.218");
    EXPECT_EQ(StoredAvailableVersion(), "2.4.2.218");
}

TEST_F(UpdateSettingsTest, AvailableVersionAsExpandableStringIsAccepted)
{
    const char szVersion[] = "2.6.0";
    SetSetting("AvailableVersion", REG_EXPAND_SZ, szVersion, sizeof(szVersion));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.6.0.0");
    // A value that was read is not written back.
    EXPECT_EQ(Stored("AvailableVersion").type, static_cast<DWORD>(REG_EXPAND_SZ));
}

TEST_F(UpdateSettingsTest, MalformedAvailableVersionIsReplaced)
{
    struct Case
    {
        const char* pszWhat;
        DWORD dwType;
        std::string data;
    };
    std::string longest(259, ' ');
    longest.replace(0, 5, "2.9.0");
    std::string unterminated(260, ' ');
    unterminated.replace(0, 5, "2.9.0");
    std::string tooLong(260, ' ');
    tooLong.replace(0, 5, "2.9.0");
    const Case cases[] = {
        {"foreign type", REG_BINARY, std::string("2.9.0", 6)},
        {"number type", REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
        // Filling the whole read without a terminator: the system cannot add
        // one for us.
        {"unterminated", REG_SZ, unterminated},
        {"empty", REG_SZ, std::string()},
        {"not a version", REG_SZ, std::string("latest", 7)},
        {"longer than 260 bytes", REG_SZ, tooLong + '\0'},
    };
    for (const Case& c : cases)
    {
        testsupport::ClearProductKeys();
        SetSetting("AvailableVersion", c.dwType, c.data.data(), static_cast<DWORD>(c.data.size()));
        UpdateSettings settings;
        ASSERT_TRUE(settings.Open()) << c.pszWhat;
        ASSERT_TRUE(settings.Load()) << c.pszWhat;
        EXPECT_EQ(settings.AvailableVersion().Text(), "2.4.2.218") << c.pszWhat;
        auto stored = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
        ASSERT_TRUE(stored) << c.pszWhat;
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << c.pszWhat;
        EXPECT_EQ(stored->AsString(), "2.4.2.218") << c.pszWhat;
    }

    // 259 characters and the terminator fill the 260 bytes exactly.
    testsupport::ClearProductKeys();
    SetSetting("AvailableVersion", REG_SZ, longest.c_str(), static_cast<DWORD>(longest.size() + 1));
    UpdateSettings settings;
    ASSERT_TRUE(settings.Open());
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.AvailableVersion().Text(), "2.9.0.0");
}

TEST_F(UpdateSettingsTest, ShortTickValuesReplaceOnlyTheLowBytes)
{
    const DWORD dwFrequency = 0x12345678;
    SetSetting("Frequency", REG_DWORD, &dwFrequency, sizeof(dwFrequency));
    const WORD wNotify = 0xBEEF;
    SetSetting("NotifyDownload", REG_BINARY, &wNotify, sizeof(wNotify));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());

    // 864000000000 is 0xC9_2A69C000: its upper 32 bits stay.
    EXPECT_EQ(m_settings.Frequency(), 0xC912345678ull);
    EXPECT_EQ(m_settings.NotifyDownload(), 0xBEEFull);
    // Values that were read stay as they were stored.
    EXPECT_EQ(Stored("Frequency").type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(UpdateSettingsTest, LongTickValuesAreReplacedByTheDefault)
{
    const BYTE bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    SetSetting("LastUpdateTime", REG_BINARY, bytes, sizeof(bytes));
    SetSetting("Frequency", REG_BINARY, bytes, sizeof(bytes));
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.LastUpdateTime(), 0u);
    EXPECT_EQ(m_settings.Frequency(), 864000000000ull);
    auto stored = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(stored->AsQword(), 0u);
}

TEST_F(UpdateSettingsTest, ExistingValuesAreReadAndKept)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion",
                                         "2.5.0.301"));
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "LastUpdateTime", 1234));
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "NotifyDownload",
                                        kTicksPerWeek));
    ASSERT_TRUE(testsupport::WriteQword(HKEY_CURRENT_USER, kSettingsKey, "Frequency", 42));
    ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable", 0));
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "HighestVersion", "2.6.1"));

    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.5.0.301");
    EXPECT_EQ(m_settings.HighestVersion().Text(), "2.6.1.0");
    EXPECT_EQ(m_settings.LastUpdateTime(), 1234u);
    EXPECT_EQ(m_settings.NotifyDownload(), kTicksPerWeek);
    EXPECT_EQ(m_settings.Frequency(), 42u);
    EXPECT_FALSE(m_settings.AutoUpdateEnable());
    EXPECT_EQ(Stored("AutoUpdateEnable").AsDword(), 0u);
}

TEST_F(UpdateSettingsTest, SettersWriteThrough)
{
    ASSERT_TRUE(m_settings.Open());
    ASSERT_TRUE(m_settings.Load());

    EXPECT_TRUE(m_settings.AddToLastUpdateTime(kTicksPerTenMinutes));
    EXPECT_EQ(m_settings.LastUpdateTime(), 6000000000ull);
    EXPECT_EQ(Stored("LastUpdateTime").AsQword(), 6000000000ull);

    EXPECT_TRUE(m_settings.SetNotifyDownload(kTicksPerDay));
    EXPECT_EQ(Stored("NotifyDownload").AsQword(), 864000000000ull);

    EXPECT_TRUE(m_settings.SetAutoUpdateEnable(7));
    auto autoUpdate = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable");
    ASSERT_TRUE(autoUpdate);
    EXPECT_EQ(autoUpdate->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(autoUpdate->AsDword(), 1u);

    EXPECT_TRUE(m_settings.SetAvailableVersion(VersionNumber("2.5.1")));
    auto available = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "AvailableVersion");
    ASSERT_TRUE(available);
    EXPECT_EQ(available->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(available->data.size(), sizeof("2.5.1.0"));
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "2.5.1.0");

    EXPECT_TRUE(m_settings.SetHighestVersion(VersionNumber("2.6.0.7")));
    auto highest = ReadValue(HKEY_CURRENT_USER, kSettingsKey, "HighestVersion");
    ASSERT_TRUE(highest);
    EXPECT_EQ(highest->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(highest->AsString(), "2.6.0.7");
    EXPECT_EQ(m_settings.HighestVersion().Text(), "2.6.0.7");
}

// Made once and then kept; one too short, too long or of another type is
// replaced.
TEST_F(UpdateSettingsTest, AnInstallationIdentityIsMadeOnceAndKeptAndAMalformedOneReplaced)
{
    InstallationId made = {}, kept = {};
    ASSERT_TRUE(m_settings.Open() && m_settings.InstallationIdentity(made));
    ASSERT_TRUE(m_settings.InstallationIdentity(kept));
    EXPECT_TRUE(kept == made && made != InstallationId{});
    const BYTE malformed[17] = {0xAB};
    const std::pair<DWORD, DWORD> stored[] = {{REG_BINARY, 15}, {REG_BINARY, 17}, {REG_SZ, 16}};
    for (const auto& value : stored)
    {
        SetSetting("InstallationId", value.first, malformed, value.second);
        ASSERT_TRUE(m_settings.InstallationIdentity(kept));
        EXPECT_NE(kept, made);
        EXPECT_EQ(Stored("InstallationId").type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(Stored("InstallationId").data, std::vector<BYTE>(kept.begin(), kept.end()));
        made = kept;
    }
}

// Both values or neither; half a pair, a time of another type or no
// version is nothing pending.
TEST_F(UpdateSettingsTest, APendingVersionIsKeptWithItsTimeAndClearedWithIt)
{
    ASSERT_TRUE(m_settings.Open() && m_settings.SetPending(VersionNumber("2.6.0.1"), 1234));
    UpdateSettings again;
    ASSERT_TRUE(again.Open() && again.Load());
    EXPECT_EQ(Pending(again), "2.6.0.1@1234");
    ASSERT_TRUE(again.ClearPending() && again.ClearPending()) << "what is absent counts as removed";
    EXPECT_EQ(Pending(again), "0.0.0.0@0");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettingsKey, "PendingVersion") ||
                 ReadValue(HKEY_CURRENT_USER, kSettingsKey, "PendingSince"));
    const uint64_t ftSince = 1234;
    const std::pair<const char*, DWORD> pairs[] = {{"2.6.0.1", 0}, {"2.6.0.1", 4}, {"latest", 8}};
    for (const auto& pair : pairs)
    {
        testsupport::ClearProductKeys();
        ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, kSettingsKey, "PendingVersion", pair.first));
        if (pair.second != 0)
            SetSetting("PendingSince", pair.second == 8 ? REG_QWORD : REG_DWORD, &ftSince, pair.second);
        UpdateSettings settings;
        ASSERT_TRUE(settings.Open() && settings.Load());
        EXPECT_EQ(Pending(settings), "0.0.0.0@0") << pair.first << " " << pair.second;
    }
}

TEST_F(UpdateSettingsTest, StampIsTheCurrentUtcTime)
{
    ASSERT_TRUE(m_settings.Open());
    FILETIME ftBefore;
    GetSystemTimeAsFileTime(&ftBefore);
    ASSERT_TRUE(m_settings.SetLastUpdateTimeToNow());
    FILETIME ftAfter;
    GetSystemTimeAsFileTime(&ftAfter);

    auto toTicks = [](const FILETIME& ft) {
        return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    };
    const uint64_t stored = Stored("LastUpdateTime").AsQword();
    // SYSTEMTIME has millisecond resolution.
    EXPECT_GE(stored + 10000, toTicks(ftBefore));
    EXPECT_LE(stored, toTicks(ftAfter));
    EXPECT_EQ(m_settings.LastUpdateTime(), stored);
}

TEST_F(UpdateSettingsTest, FailedWriteLeavesMemoryUnchanged)
{
    // Not opened: every write fails.
    EXPECT_FALSE(m_settings.SetFrequency(5));
    EXPECT_FALSE(m_settings.SetNotifyDownload(5));
    EXPECT_FALSE(m_settings.SetLastUpdateTime(5));
    EXPECT_FALSE(m_settings.SetAutoUpdateEnable(FALSE));
    EXPECT_FALSE(m_settings.SetAvailableVersion(VersionNumber("9.9.9")));
    EXPECT_EQ(m_settings.Frequency(), 864000000000ull);
    EXPECT_EQ(m_settings.NotifyDownload(), 0u);
    EXPECT_EQ(m_settings.LastUpdateTime(), 0u);
    EXPECT_TRUE(m_settings.AutoUpdateEnable());
    EXPECT_EQ(m_settings.AvailableVersion().Text(), "0.0.0.0");
    EXPECT_FALSE(testsupport::KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(UpdateSettingsTest, OpenFailsOnAKeyThatCannotBeWritten)
{
    ASSERT_TRUE(testsupport::WriteDword(HKEY_CURRENT_USER, kSettingsKey, "AutoUpdateEnable", 1));
    ASSERT_TRUE(testsupport::SetKeyAccess(HKEY_CURRENT_USER, kSettingsKey, "D:P(A;;KR;;;WD)"));
    EXPECT_FALSE(m_settings.Open());
    EXPECT_FALSE(m_settings.Load());
}

TEST_F(UpdateSettingsTest, OpenTwiceKeepsTheKey)
{
    ASSERT_TRUE(m_settings.Open());
    EXPECT_TRUE(m_settings.Open());
}

} // namespace
