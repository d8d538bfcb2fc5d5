#include "framework/registrar.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/registry.h"

namespace {

using testsupport::KeyExists;
using testsupport::ReadValue;

constexpr char kTestRoot[] = "Software\\ZspRegistrarTest";

class RegistrarTest : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override
    {
        testsupport::SetKeyAccess(HKEY_CURRENT_USER, std::string(kTestRoot) + "\\Locked",
                                  "D:(A;;KA;;;WD)");
        testsupport::DeleteKeyTree(HKEY_CURRENT_USER, kTestRoot);
    }

    static std::string Key(const std::string& path) { return std::string(kTestRoot) + path; }

    static HRESULT Run(const std::string& script, bool bRegister)
    {
        return fw::CRegistrar().UpdateRegistry(script, bRegister);
    }

    // Everything below the test root, as "path=type:data" lines, so that a
    // test can tell that nothing at all changed.
    static std::string Snapshot(const std::string& subkey = kTestRoot)
    {
        std::string result;
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return "<none>";
        for (const std::string& name : testsupport::ValueNames(HKEY_CURRENT_USER, subkey))
        {
            auto value = ReadValue(HKEY_CURRENT_USER, subkey, name);
            result += subkey + "[" + name + "]=" + std::to_string(value->type) + ":" +
                      std::string(value->data.begin(), value->data.end()) + "\n";
        }
        for (DWORD i = 0;; ++i)
        {
            char szName[256];
            DWORD cchName = sizeof(szName);
            if (RegEnumKeyExA(hKey, i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            result += Snapshot(subkey + "\\" + szName);
        }
        RegCloseKey(hKey);
        return result.empty() ? subkey + "\n" : result;
    }
};

// The same shape as the updater's AppID script, below a test key.
const char kAppIdScript[] = R"(
HKCU
{
    NoRemove Software
    {
        NoRemove ZspRegistrarTest
        {
            NoRemove AppID
            {
                {8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E} = s 'Update'
                'Update.EXE'
                {
                    val AppID = s {8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}
                }
            }
        }
    }
}
)";

TEST_F(RegistrarTest, RegistersAndUnregistersTheAppIdScript)
{
    ASSERT_EQ(Run(kAppIdScript, true), S_OK);
    auto def = ReadValue(HKEY_CURRENT_USER, Key("\\AppID\\{8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}"),
                         "");
    ASSERT_TRUE(def);
    EXPECT_EQ(def->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(def->AsString(), "Update");
    auto appId = ReadValue(HKEY_CURRENT_USER, Key("\\AppID\\Update.EXE"), "AppID");
    ASSERT_TRUE(appId);
    EXPECT_EQ(appId->AsString(), "{8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}");

    ASSERT_EQ(Run(kAppIdScript, false), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("\\AppID")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\AppID\\Update.EXE")));
    EXPECT_FALSE(
        KeyExists(HKEY_CURRENT_USER, Key("\\AppID\\{8C31E6CF-EBA1-4BA5-84D1-166EEE16B28E}")));
    // Unregistering what is not there is no error.
    EXPECT_EQ(Run(kAppIdScript, false), S_OK);
}

TEST_F(RegistrarTest, KeyWithOtherSubkeysIsKeptOnUnregister)
{
    const char script[] = "HKCU { NoRemove Software { ZspRegistrarTest { Shared { Mine = s 'x' } } } }";
    ASSERT_EQ(Run(script, true), S_OK);
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Shared\\Theirs"), "v", "y"));

    ASSERT_EQ(Run(script, false), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\Shared\\Mine")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("\\Shared\\Theirs")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("\\Shared")));
}

TEST_F(RegistrarTest, KeyWithoutSubkeysGoesWithItsValues)
{
    const char script[] = "HKCU { NoRemove Software { ZspRegistrarTest { Leaf { val A = s 'a' } } } }";
    ASSERT_EQ(Run(script, true), S_OK);
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Leaf"), "Other", "o"));
    ASSERT_EQ(Run(script, false), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\Leaf")));
    // The parent had nothing else either.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestRoot));
}

TEST_F(RegistrarTest, ForceRemoveReplacesTheWholeKey)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Forced\\Old"), "v", "old"));
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Forced"), "Stale", "s"));
    const char script[] =
        "HKCU { NoRemove Software { NoRemove ZspRegistrarTest { ForceRemove Forced = s 'new' "
        "{ New { val Count = d 42 } } } } }";
    ASSERT_EQ(Run(script, true), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\Forced\\Old")));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Key("\\Forced"), "Stale"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Key("\\Forced"), "")->AsString(), "new");
    auto count = ReadValue(HKEY_CURRENT_USER, Key("\\Forced\\New"), "Count");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(count->AsDword(), 42u);

    // Unregistering a ForceRemove key takes everything below it.
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Forced\\Added"), "v", "a"));
    ASSERT_EQ(Run(script, false), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\Forced")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTestRoot));
}

TEST_F(RegistrarTest, QuotedNamesNumbersAndLongRootNames)
{
    const char script[] =
        "HKEY_CURRENT_USER { NoRemove Software { NoRemove ZspRegistrarTest { "
        "'Name with spaces' = s 'It''s here' { val 'Value name' = s '' val Hex = d 0x10 } "
        "'{' = s '}' } } }";
    ASSERT_EQ(Run(script, true), S_OK);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Key("\\Name with spaces"), "")->AsString(), "It's here");
    auto empty = ReadValue(HKEY_CURRENT_USER, Key("\\Name with spaces"), "Value name");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->AsString(), "");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Key("\\Name with spaces"), "Hex")->AsDword(), 16u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, Key("\\{"), "")->AsString(), "}");
}

TEST_F(RegistrarTest, MalformedScriptsChangeNothing)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Existing"), "v", "keep"));
    const std::string before = Snapshot();

    const char* const scripts[] = {
        // Each starts by writing something valid before the fault.
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' } Bad = s 'unterminated } }",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' } } ",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' } } } }",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' Bad = x 'y' } } }",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' Bad = d twelve } } }",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' Bad = } } }",
        "HKCU { NoRemove Software { ZspRegistrarTest { Good = s 'g' NoRemove } } }",
        "HKXX { Software { ZspRegistrarTest { Good = s 'g' } } }",
        "HKCU { val Top = s 'values need a key' }",
        "HKCU { NoRemove Software { ZspRegistrarTest { val Half = s } } }",
        "HKCU",
    };
    for (const char* pszScript : scripts)
    {
        EXPECT_TRUE(FAILED(Run(pszScript, true))) << pszScript;
        EXPECT_TRUE(FAILED(Run(pszScript, false))) << pszScript;
        EXPECT_EQ(Snapshot(), before) << pszScript;
    }
}

TEST_F(RegistrarTest, FailedRegistrationTakesBackWhatItWrote)
{
    ASSERT_TRUE(testsupport::WriteString(HKEY_CURRENT_USER, Key("\\Locked"), "v", "l"));
    ASSERT_TRUE(
        testsupport::SetKeyAccess(HKEY_CURRENT_USER, Key("\\Locked"), "D:P(A;;KR;;;WD)"));
    const char script[] =
        "HKCU { NoRemove Software { NoRemove ZspRegistrarTest { First = s '1' "
        "NoRemove Locked { Child = s 'c' } } } }";
    EXPECT_TRUE(FAILED(Run(script, true)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\First")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("\\Locked\\Child")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("\\Locked")));
}

} // namespace
