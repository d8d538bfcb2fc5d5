#include "update/download/update_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/registry.h"

namespace {

namespace fs = std::filesystem;

std::string LocalAppData()
{
    auto value = testsupport::ReadValue(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "Local AppData");
    return value ? value->AsString() : std::string();
}

class UpdateFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveProductFolder(); }
    void TearDown() override { RemoveProductFolder(); }
    static void RemoveProductFolder()
    {
        std::error_code ec;
        fs::remove_all(fs::path(LocalAppData()) / "Vexil ZSP", ec);
    }
};

TEST_F(UpdateFolderTest, CreatesBothLevelsAndNamesThemInGenericForm)
{
    const std::string base = LocalAppData();
    ASSERT_FALSE(base.empty());
    std::string expected = base;
    for (char& c : expected)
    {
        if (c == '\\')
            c = '/';
    }
    expected += "/Vexil ZSP/Update";

    std::string folder;
    ASSERT_TRUE(PrepareUpdateFolderPath(folder));
    EXPECT_EQ(folder, expected);
    EXPECT_TRUE(fs::is_directory(fs::path(base) / "Vexil ZSP" / "Update"));

    // Already there: fine, and the same answer.
    std::string again;
    ASSERT_TRUE(PrepareUpdateFolderPath(again));
    EXPECT_EQ(again, folder);
}

TEST_F(UpdateFolderTest, InstallerIsNamedAfterTheFourNumberVersion)
{
    EXPECT_EQ(MakeInstallerPath("D:/Profiles/u/Local/Vexil ZSP/Update", VersionNumber("2.5.1")),
              "D:/Profiles/u/Local/Vexil ZSP/Update\\vxzsp-2.5.1.0.exe");
    EXPECT_EQ(MakeInstallerPath("C:\\Update\\", VersionNumber("2.5.0.301")),
              "C:\\Update\\vxzsp-2.5.0.301.exe");
}

TEST_F(UpdateFolderTest, APathThatDoesNotFitIsEmpty)
{
    const VersionNumber version("2.5.0.301");
    const std::string fileName = "vxzsp-2.5.0.301.exe";
    // MAX_PATH - 1 characters in all, with the separator, still fit.
    const std::string fits(259 - fileName.size() - 1, 'a');
    EXPECT_EQ(MakeInstallerPath(fits, version).size(), 259u);
    EXPECT_EQ(MakeInstallerPath(fits + "a", version), "");
}

} // namespace
