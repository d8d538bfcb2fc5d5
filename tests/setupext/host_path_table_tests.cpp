// The table of the host's and the product's folders, built from the real
// registry by the library's own code, called directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setupext/host_path_table.h"
#include "tests/setupext/setupext_fixture.h"
#include "tests/support/registry.h"

namespace setupext_test {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The four values the table is built from, with the place of each entry;
// the product key's default value has the empty name.
struct SourceValue
{
    const char* pszName;
    size_t nEntry;
};

const SourceValue kSourceValues[] = {
    {"EXE Path", 0}, {"ProgramDir", 1}, {"Working Directory", 2}, {"", 3}};

class HostPathTableTest : public CSetupExtTest
{
protected:
    // The table's entries in order, or nothing when the build fails.
    static std::optional<Entries> Build()
    {
        char achTable[setupext::kcchHostPathTable];
        if (!setupext::BuildHostPathTable(achTable))
            return std::nullopt;
        Entries entries;
        for (const char* p = achTable; *p != '\0';)
        {
            const std::string name = p;
            p += name.size() + 1;
            const std::string value = p;
            p += value.size() + 1;
            entries.emplace_back(name, value);
        }
        return entries;
    }

    void SetValue(const std::string& name, const std::string& value, DWORD dwType = REG_SZ)
    {
        if (name.empty())
            SetProductDir(value, dwType);
        else
            SetHostValue(name, value, dwType);
    }

    void SetValueBytes(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(testsupport::WriteValue(name.empty() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                            name.empty() ? kProductKey : kHostKey, name,
                                            REG_BINARY, bytes.data(),
                                            static_cast<DWORD>(bytes.size())));
    }

    Entries FullTable() const
    {
        return {{"%EXEDRIVE%", "C:"},
                {"%PROGRAMDIR%", "C:\\Program Files\\Kestrix\\"},
                {"%WDIR%", WorkDir().string() + "\\"},
                {"%VZSPDIR%", ProductDir().string()}};
    }
};

TEST_F(HostPathTableTest, HoldsTheFourFoldersInOrder)
{
    EXPECT_EQ(Build(), FullTable());
}

TEST_F(HostPathTableTest, WithoutTheProductKeyHoldsTheHostsThree)
{
    DeleteProductKey();
    Entries expected = FullTable();
    expected.pop_back();
    EXPECT_EQ(Build(), expected);
}

TEST_F(HostPathTableTest, ProductKeyWithoutAUsableDefaultValueFailsTheBuild)
{
    DeleteProductDir();
    EXPECT_EQ(Build(), std::nullopt) << "no default value";
    SetProductDir("");
    EXPECT_EQ(Build(), std::nullopt) << "empty default value";
}

TEST_F(HostPathTableTest, EachHostValueMissingOrEmptyFailsTheBuild)
{
    for (const SourceValue& source : kSourceValues)
    {
        if (*source.pszName == '\0')
            continue;
        SetHostValue(source.pszName, "");
        EXPECT_EQ(Build(), std::nullopt) << source.pszName << " empty";
        DeleteHostValue(source.pszName);
        EXPECT_EQ(Build(), std::nullopt) << source.pszName << " missing";
        SetHostValue(source.pszName, FullTable()[source.nEntry].second);
        EXPECT_TRUE(Build().has_value());
    }
    DeleteHostKey();
    EXPECT_EQ(Build(), std::nullopt) << "no host key";
}

TEST_F(HostPathTableTest, ValueOf259CharactersIsKeptWholeAndLongerOnesFailTheBuild)
{
    for (const SourceValue& source : kSourceValues)
    {
        const std::string longest = "C:" + std::string(257, 'v');
        SetValue(source.pszName, longest);
        const std::optional<Entries> entries = Build();
        ASSERT_TRUE(entries.has_value()) << "\"" << source.pszName << "\" of 259 characters";
        EXPECT_EQ(entries->at(source.nEntry).second, source.nEntry == 0 ? "C:" : longest);

        // 260 characters can be read, but their expansion leaves no room
        // for the terminator; 261 can't even be read.
        for (size_t cch : {260u, 261u, 400u})
        {
            SetValue(source.pszName, "C:" + std::string(cch - 2, 'v'));
            EXPECT_EQ(Build(), std::nullopt)
                << "\"" << source.pszName << "\" of " << cch << " characters";
        }
        SetValue(source.pszName, FullTable()[source.nEntry].second);
    }
}

TEST_F(HostPathTableTest, ValueStoredWithoutTerminatorEndsAtTheReadLimit)
{
    for (const SourceValue& source : kSourceValues)
    {
        SetValueBytes(source.pszName, "C:" + std::string(257, 'b'));
        const std::optional<Entries> entries = Build();
        ASSERT_TRUE(entries.has_value()) << "\"" << source.pszName << "\" of 259 bytes";
        EXPECT_EQ(entries->at(source.nEntry).second.size(), source.nEntry == 0 ? 2u : 259u);

        SetValueBytes(source.pszName, "C:" + std::string(259, 'b'));
        EXPECT_EQ(Build(), std::nullopt) << "\"" << source.pszName << "\" of 261 bytes";
        SetValue(source.pszName, FullTable()[source.nEntry].second);
    }
}

TEST_F(HostPathTableTest, UnterminatedValueOf261BytesFailsEvenWhereItsExpansionFits)
{
    // The values name the real folders through a variable whose name is
    // longer than its value, so the expansion is short enough; only the
    // missing terminator within 261 bytes tells the value is too long.
    const auto reference = [this](const std::filesystem::path& folder, size_t cch) {
        const std::string name(folder.string().size() + 20, 'V');
        SetEnvironment(name, folder.string());
        return PaddedFolder("%" + name + "%", cch);
    };
    InstallPlugin("test_plugin.dll", "vxzsp.dll");
    WriteBytes(WorkDir() / "kxuser.def", "[mMarkSpamJUNK][mMarkSpamNOTJUNK]");

    SetHostBytes("Working Directory", reference(WorkDir(), 260));
    EXPECT_EQ(Ask("IsToolBar"), "1") << "260 bytes without a terminator";
    SetHostBytes("Working Directory", reference(WorkDir(), 261));
    EXPECT_EQ(Ask("IsToolBar"), std::nullopt) << "261 bytes without a terminator";
    SetHostValue("Working Directory", WorkDir().string());

    SetValueBytes("", reference(ProductDir(), 260));
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    EXPECT_EQ(PluginLog().size(), 3u) << "260 bytes without a terminator";
    SetValueBytes("", reference(ProductDir(), 261));
    CallWithArgument("DoRegPlg", "vxzsp.dll");
    EXPECT_EQ(PluginLog().size(), 3u) << "261 bytes without a terminator";
}

TEST_F(HostPathTableTest, EnvironmentReferencesAreExpandedWhateverTheValueType)
{
    SetEnvironment("SETUPEXT_TEST_ROOT", ScratchDir().string());
    SetEnvironment("SETUPEXT_TEST_DRIVE", "D:\\Mail");
    SetHostValue("EXE Path", "%SETUPEXT_TEST_DRIVE%\\kestrix.exe", REG_EXPAND_SZ);
    SetHostValue("ProgramDir", "%SETUPEXT_TEST_DRIVE%\\", REG_SZ);
    SetHostValue("Working Directory", "%SETUPEXT_TEST_ROOT%\\work\\", REG_EXPAND_SZ);
    SetProductDir("%SETUPEXT_TEST_ROOT%\\product", REG_SZ);
    EXPECT_EQ(Build(), (Entries{{"%EXEDRIVE%", "D:"},
                                {"%PROGRAMDIR%", "D:\\Mail\\"},
                                {"%WDIR%", WorkDir().string() + "\\"},
                                {"%VZSPDIR%", ProductDir().string()}}));
}

TEST_F(HostPathTableTest, ExpansionIsBoundedByItsOwnResultNotByTheStoredText)
{
    // 260 stored characters that expand to fewer are fine; a short value
    // that expands beyond the buffer fails, never kept half-expanded.
    SetEnvironment("SETUPEXT_TEST_SHORT", "s");
    SetEnvironment("SETUPEXT_TEST_LONG", std::string(300, 'l'));
    const std::string shortReference = "%SETUPEXT_TEST_SHORT%";
    const std::string stored = "C:" + std::string(258 - shortReference.size(), 'v') + shortReference;
    ASSERT_EQ(stored.size(), 260u);
    for (const SourceValue& source : kSourceValues)
    {
        SetValue(source.pszName, stored, REG_EXPAND_SZ);
        const std::optional<Entries> entries = Build();
        ASSERT_TRUE(entries.has_value()) << source.pszName;
        if (source.nEntry != 0)
        {
            EXPECT_EQ(entries->at(source.nEntry).second,
                      "C:" + std::string(258 - shortReference.size(), 'v') + "s");
        }

        SetValue(source.pszName, "C:\\%SETUPEXT_TEST_LONG%", REG_EXPAND_SZ);
        EXPECT_EQ(Build(), std::nullopt) << source.pszName;
        SetValue(source.pszName, FullTable()[source.nEntry].second);
    }
}

TEST_F(HostPathTableTest, ExePathOfOneCharacterGivesAOneCharacterDrive)
{
    SetHostValue("EXE Path", "C");
    const std::optional<Entries> entries = Build();
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(entries->at(0), (std::pair<std::string, std::string>{"%EXEDRIVE%", "C"}));
}

TEST_F(HostPathTableTest, LookupIgnoresLetterCase)
{
    char achTable[setupext::kcchHostPathTable];
    ASSERT_TRUE(setupext::BuildHostPathTable(achTable));
    const std::string workDir = WorkDir().string() + "\\";
    for (const char* pszName : {"%wdir%", "%WDIR%", "%WdIr%"})
    {
        const char* pszValue = setupext::FindPathEntry(achTable, pszName);
        ASSERT_NE(pszValue, nullptr) << pszName;
        EXPECT_EQ(pszValue, workDir);
    }
    EXPECT_EQ(setupext::FindPathEntry(achTable, "%vzspdir%"), ProductDir().string());
    for (const char* pszName : {"%WDIR", "WDIR", "%WDIR%%", ""})
        EXPECT_EQ(setupext::FindPathEntry(achTable, pszName), nullptr) << pszName;
}

TEST(HostPathTableLookup, ComparesNamesOnlyAndWalksPastEmptyValues)
{
    // A value that reads like a name is no name, and an empty value is no
    // end of the table.
    const char achTable[] = "%A%\0%B%\0%C%\0\0%B%\0right\0";
    EXPECT_STREQ(setupext::FindPathEntry(achTable, "%B%"), "right");
    EXPECT_STREQ(setupext::FindPathEntry(achTable, "%C%"), "");
    EXPECT_STREQ(setupext::FindPathEntry(achTable, "%a%"), "%B%");
    EXPECT_EQ(setupext::FindPathEntry(achTable, "right"), nullptr);
}

} // namespace
} // namespace setupext_test
